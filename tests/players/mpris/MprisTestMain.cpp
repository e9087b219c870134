// The MPRIS tests share one private session bus with mpv on it: started
// here before Qt's first bus connection, stopped when the tests end.
#include "players/mpris/MprisWorld.h"
#include "support/TestProcess.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>

mpris_testing::MprisWorld* g_mprisWorld = nullptr;

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    testing_support::prepareTestProcess();
    // Listing the tests needs no players.
    const bool listing = ::testing::GTEST_FLAG(list_tests);
    mpris_testing::MprisWorld world;
    if (!listing) {
        if (auto problem = world.startBus(MPRIS_TEST_SERVICE)) {
            std::fprintf(stderr, "MPRIS tests: %s\n", problem->c_str());
            return 1;
        }
    }
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
