#include "players/mpris/MprisFixture.h"

#include "zintara/ScriptTable.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace mpris_testing {

MprisFixture::MprisFixture() = default;
MprisFixture::~MprisFixture() = default;

void MprisFixture::SetUp()
{
    KitTest::SetUp();
    ASSERT_NE(g_mprisWorld, nullptr);
}

void MprisFixture::TearDown()
{
    m_table.clear();
    m_apps.reset();
    service.stop();
    KitTest::TearDown();
}

std::string MprisFixture::startService(std::vector<std::string> options, const std::string& name)
{
    std::vector<std::string> argv = {MPRIS_TEST_SERVICE, "--name", name};
    argv.insert(argv.end(), options.begin(), options.end());
    const std::string busName = "org.mpris.MediaPlayer2." + name;
    // The bus may still list the last test's service under the same name
    // for a moment after it ended; the new one is only found once that
    // owner has left.
    EXPECT_TRUE(waitForBusName(busName, false)) << busName << " is still taken";
    EXPECT_TRUE(service.start(argv));
    EXPECT_TRUE(waitForBusName(busName, true)) << busName << " did not appear";
    return busName;
}

players::MprisPlayer& MprisFixture::usePlayer(const std::string& busName)
{
    m_table.clear();
    m_apps = std::make_unique<players::PlayerDirectory>();
    auto made = std::make_unique<players::MprisPlayer>("iTunes", busName);
    player = made.get();
    m_apps->setPlayer(std::move(made)); // and into the workspace, for the guard
    for (const char* source : zintara::kScriptSources)
        m_table.emplace_back(source, *m_apps);
    return *player;
}

std::optional<std::string> MprisFixture::runSlot(int slot)
{
    player->beginPoll(testBudget());
    return slotText(slot);
}

std::optional<std::string> MprisFixture::slotText(int slot)
{
    auto r = m_table.at(std::size_t(slot)).execute();
    if (!r.ok() || r.value().typeCode() == 0)
        return std::nullopt;
    return r.value().stringValue();
}

std::vector<std::optional<std::string>> MprisFixture::poll(const players::PollBudget& budget)
{
    player->beginPoll(budget);
    std::vector<std::optional<std::string>> results;
    for (int slot : kPollSlots)
        results.push_back(slotText(slot));
    return results;
}

script::Result<script::Value> MprisFixture::run(const std::string& source)
{
    if (player)
        player->beginPoll(testBudget());
    script::Script script(source, *m_apps);
    return script.execute();
}

std::string MprisFixture::text(const std::string& source)
{
    auto r = run("tell application \"iTunes\" to " + source);
    if (!r.ok())
        return "error " + std::to_string(r.error().number) + ": " + r.error().message;
    return r.value().stringValue().value_or("");
}

void callService(const std::string& busName, const char* method, const QVariantList& arguments, const char* interface)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromStdString(busName), "/org/mpris/MediaPlayer2", interface, method);
    call.setArguments(arguments);
    QDBusConnection::sessionBus().call(call, QDBus::Block, 2000);
}

} // namespace mpris_testing
