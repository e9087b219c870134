#pragma once

#include "players/PollBudget.h"
#include "players/mpd/MpdAddress.h"

#include <sys/socket.h>

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace players {

// One "name: value" line of an answer.
struct MpdPair {
    std::string name;
    std::string value;
};

// The server's answer to one request: the lines of each command, one part
// per command of a command list. After a refusal (ACK) the parts hold the
// commands before the refused one and what the refused one sent.
struct MpdAnswer {
    std::vector<std::vector<MpdPair>> parts;
    int error = 0;   // the server's error number (enum mpd_server_error)
    unsigned at = 0; // which command of a list it refused, from 0
    std::string message;

    // The lines of command `index`, or none.
    const std::vector<MpdPair>& part(std::size_t index) const;
};

// One place a host name stands for.
struct MpdEndpoint {
    sockaddr_storage address{};
    socklen_t length = 0;
};

// The one connection to an MPD server, opened on first use and reopened at
// the next request after it drops. It speaks the protocol itself over a
// non-blocking socket, so that every wait, from the name lookup to the last
// line of an answer, draws on the poll's one budget (and at most the
// per-call timeout): the client library's own reads restart their timeout at
// every read, so a server that drips or streams an endless answer would
// hold the caller as long as it likes. An answer is capped in lines and
// bytes. When a wait runs out the connection gives up until the next poll,
// so a hung peer costs at most one budget per poll.
class MpdConnection {
public:
    static constexpr unsigned kDefaultTimeoutMs = 200;
    // The most of an answer that is kept: lines of one command, and bytes
    // in all. A status and a song are a few dozen short lines; the rest of
    // a song with thousands of tags is read and let go.
    static constexpr std::size_t kMaxPartLines = 10000;
    static constexpr std::size_t kMaxKeptBytes = std::size_t(1) << 20;
    // The most that is read of one answer, and of one line: a peer that
    // sends more is not answering.
    static constexpr std::size_t kMaxAnswerBytes = std::size_t(16) << 20;
    static constexpr std::size_t kMaxLineBytes = std::size_t(64) << 10;

    // Looks up a host name's addresses; may block as long as the name
    // service does (it runs on a thread of its own).
    using Resolver = std::function<std::vector<MpdEndpoint>(const std::string& host, unsigned port)>;
    // The system's name service (getaddrinfo).
    static std::vector<MpdEndpoint> systemResolver(const std::string& host, unsigned port);

    explicit MpdConnection(MpdAddress address, unsigned timeoutMs = kDefaultTimeoutMs);
    ~MpdConnection();
    MpdConnection(const MpdConnection&) = delete;
    MpdConnection& operator=(const MpdConnection&) = delete;

    const MpdAddress& address() const { return m_address; }
    // Replaces the name service (tests).
    void setResolver(Resolver resolver) { m_resolver = std::move(resolver); }

    // How a request went.
    enum class Outcome {
        Ok,
        Refused,  // the server answered with an error (ACK); the connection stays usable
        Dropped,  // no server there, or the connection broke; the next request reconnects
        TimedOut, // no whole answer within the budget; given up until the next poll
        Denied,   // the server turned the password down; nothing more until the next poll
    };

    // Sends `commands` (a command list when more than one) and reads the
    // whole answer into `answer`. A kept connection that the server closed
    // meanwhile is reopened once.
    Outcome request(const std::vector<std::string>& commands, MpdAnswer& answer);

    // A command line with its arguments quoted as the protocol wants.
    static std::string command(const std::string& name, const std::vector<std::string>& arguments = {});

    // A poll starts with this budget: a server that timed out or turned the
    // password down may be tried again.
    void beginPoll(const PollBudget& budget);
    bool hasGivenUp() const { return m_gaveUp; }
    // The server's words when it turned the password down at the last
    // connection, else empty.
    const std::string& passwordRefusal() const { return m_passwordRefusal; }
    // A password was given (in the address or in MPD_HOST).
    bool hasPassword() const { return !password().empty(); }

    // Request/response exchanges with the server so far (diagnostics,
    // benchmarks and tests). Opening counts the greeting as one.
    long roundTrips() const { return m_roundTrips; }

    void close();

private:
    struct Lookup;
    enum class Read { Line, TimedOut, Closed, TooLarge };

    bool open();
    int connectSocket(const std::string& host, unsigned port);
    std::vector<MpdEndpoint> endpoints(const std::string& host, unsigned port);
    Outcome exchange(const std::vector<std::string>& commands, MpdAnswer& answer);
    Outcome receive(std::size_t commands, MpdAnswer& answer);
    Outcome lost(Read why);
    bool sendAll(const std::string& text);
    Read readLine(std::string& line);
    PollBudget::Clock::time_point callDeadline() const;
    std::string password() const;

    MpdAddress m_address;
    unsigned m_timeoutMs;
    Resolver m_resolver = systemResolver;
    // Lookups under way and the last addresses a name had, by host and port.
    std::map<std::pair<std::string, unsigned>, std::shared_ptr<Lookup>> m_lookups;
    std::map<std::pair<std::string, unsigned>, std::vector<MpdEndpoint>> m_known;

    int m_fd = -1;
    std::string m_input; // received, not yet read as lines, from m_inputStart
    std::size_t m_inputStart = 0;
    PollBudget::Clock::time_point m_pollDeadline = PollBudget::Clock::time_point::max();
    PollBudget::Clock::time_point m_callDeadline;
    // Sent ahead of the first request on a new connection.
    std::vector<std::string> m_setup;
    bool m_gaveUp = false;
    std::string m_passwordRefusal;
    long m_roundTrips = 0;
};

} // namespace players
