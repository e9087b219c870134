// The MPRIS tests share one private session bus with mpv on it: started
// here before Qt's first bus connection, stopped when the tests end.
#include "players/mpris/MprisWorld.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

mpris_testing::MprisWorld* g_mprisWorld = nullptr;

namespace {
QtMessageHandler g_previousHandler = nullptr;

// The offscreen platform says so for every window it cannot raise; that is
// noise, not a finding.
void filterMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("This plugin does not support")))
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(message));
}
} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string runtime = (std::filesystem::temp_directory_path() / "zintara-test-runtime").string();
    std::filesystem::create_directories(runtime);
    chmod(runtime.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);

    // Listing the tests needs no players.
    const bool listing = ::testing::GTEST_FLAG(list_tests);
    mpris_testing::MprisWorld world;
    if (!listing) {
        if (auto problem = world.startBus(MPRIS_TEST_SERVICE)) {
            std::fprintf(stderr, "MPRIS tests: %s\n", problem->c_str());
            return 1;
        }
    }
    g_previousHandler = qInstallMessageHandler(filterMessages);
    QApplication app(argc, argv);
    if (!listing) {
        if (auto problem = world.startMpv()) {
            std::fprintf(stderr, "MPRIS tests: %s\n", problem->c_str());
            return 1;
        }
        g_mprisWorld = &world;
    }
    const int status = RUN_ALL_TESTS();
    world.stop();
    return status;
}
