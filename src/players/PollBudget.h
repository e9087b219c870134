#pragma once

#include <algorithm>
#include <chrono>

namespace players {

// How long one poll, or one command from the menu, may wait on a player in
// all. Every wait on a peer until the next poll draws on the same deadline,
// so a slow or hung peer holds the interface at most this long, however many
// round trips it takes. Waits on sockets and buses are real time, so this is
// the steady clock and not the kit's.
class PollBudget {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kAllowance{250};

    explicit PollBudget(Clock::time_point deadline)
        : m_deadline(deadline)
    {
    }
    static PollBudget startingNow(std::chrono::milliseconds allowance = kAllowance)
    {
        return PollBudget(Clock::now() + allowance);
    }

    Clock::time_point deadline() const { return m_deadline; }
    bool isSpent() const { return Clock::now() >= m_deadline; }
    std::chrono::milliseconds remaining() const
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - Clock::now());
        return std::max(left, std::chrono::milliseconds(0));
    }
    // The end of one wait allowed at most `limit`, within the budget.
    Clock::time_point deadlineWithin(std::chrono::milliseconds limit) const
    {
        return std::min(m_deadline, Clock::now() + limit);
    }

private:
    Clock::time_point m_deadline;
};

} // namespace players
