#pragma once

#include "players/PlayerDirectory.h"
#include "players/mpris/MprisPlayer.h"
#include "players/mpris/MprisWorld.h"
#include "script/Script.h"
#include "support/TestEnvironment.h"

#include <QVariantList>

#include <memory>
#include <optional>
#include <string>
#include <vector>

extern mpris_testing::MprisWorld* g_mprisWorld;

namespace mpris_testing {

// The slots of one full poll, in the order the controller runs them.
inline constexpr int kPollSlots[] = {19, 10, 4, 1, 2, 3, 8, 5, 6, 7, 9};

// A poll's budget in the tests, unless a test is about the budget: each
// call keeps its own bound, but a loaded machine does not cut polls short.
inline players::PollBudget testBudget()
{
    return players::PollBudget::startingNow(std::chrono::seconds(2));
}

// A player on the private bus behind the scripts' "iTunes", with the
// program's script table compiled against it.
class MprisFixture : public testing_support::KitTest {
protected:
    MprisFixture();
    ~MprisFixture() override;
    void SetUp() override;
    void TearDown() override;

    // Starts the test service with options and waits until it is on the
    // bus; its bus name.
    std::string startService(std::vector<std::string> options = {}, const std::string& name = "zintaratest");
    // Installs an MprisPlayer for the bus name.
    players::MprisPlayer& usePlayer(const std::string& busName);

    // A slot of the table, as the controller reads it: text, or nothing.
    // Like each script below, a poll of its own.
    std::optional<std::string> runSlot(int slot);
    // One poll: beginPoll, then the poll's slots.
    std::vector<std::optional<std::string>> poll(const players::PollBudget& budget = testBudget());
    // Any script against the same applications.
    script::Result<script::Value> run(const std::string& source);
    std::string text(const std::string& source);

    players::MprisPlayer* player = nullptr;
    ChildProcess service;

private:
    std::optional<std::string> slotText(int slot);

    std::unique_ptr<players::PlayerDirectory> m_apps;
    std::vector<script::Script> m_table;
};

// Calls the service as another client would (the player changing on its own).
void callService(const std::string& busName, const char* method, const QVariantList& arguments = {},
    const char* interface = "org.mpris.MediaPlayer2.Player");

} // namespace mpris_testing
