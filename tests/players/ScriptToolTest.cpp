#include "tools/ScriptTool.h"

#include "support/MpdServer.h"
#include "support/TestEnvironment.h"

#include <mpd/client.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace {

class ScriptToolTest : public testing_support::KitTest {
protected:
    // The built-in player, whatever servers this machine runs.
    void SetUp() override
    {
        KitTest::SetUp();
        setenv("ZINTARA_PLAYER", "builtin", 1);
    }
    void TearDown() override
    {
        unsetenv("ZINTARA_PLAYER");
        KitTest::TearDown();
    }

    int run(std::vector<std::string> args, const std::string& input = "")
    {
        out.str("");
        err.str("");
        std::istringstream in(input);
        return tools::ScriptTool::run(args, out, err, in);
    }

    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(ScriptToolTest, RunsSourcesInOrderAgainstTheSameApplications)
{
    const std::string file = tempDir() + "/state.scpt";
    testing_support::writeFile(file, "tell application \"iTunes\"\nreturn player state\nend tell\n");
    const int status = run({"-e", "tell application \"System Events\" to exists process \"iTunes\"",
        "-e", "tell application \"itunes\" to play",
        file,
        "-e", "tell application \"iTunes\" to get track number of track 2 of current playlist",
        "-e", "tell application \"iTunes\" to set rating of current track to 60",
        "-e", "tell application \"iTunes\" to rating of current track"});
    EXPECT_EQ(status, 0) << err.str();
    // The play launched the demo player; later sources see it running.
    EXPECT_EQ(out.str(), "false\n\nplaying\n3\n\n60\n");
    EXPECT_EQ(err.str(), "");
}

TEST_F(ScriptToolTest, ErrorsGoToStandardErrorAndTheRunGoesOn)
{
    const int status = run({"-e", "tell application \"iTunes\" to get name of track 99 of current playlist",
        "-e", "set x to", "-e", "3 * 4", "--", "/nonexistent/script"});
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out.str(), "\n\n12\n\n");
    const std::string errors = err.str();
    EXPECT_NE(errors.find("error -1728: "), std::string::npos) << errors;
    EXPECT_NE(errors.find("(line 1, column "), std::string::npos) << errors; // the compile error's place
    EXPECT_NE(errors.find("cannot read /nonexistent/script"), std::string::npos) << errors;
}

TEST_F(ScriptToolTest, ReadsStandardInputWithoutSources)
{
    EXPECT_EQ(run({}, "2 + 3"), 0);
    EXPECT_EQ(out.str(), "5\n");
    EXPECT_EQ(run({"-e", "1", "-"}, "\"two\""), 0);
    EXPECT_EQ(out.str(), "1\ntwo\n");
}

TEST_F(ScriptToolTest, UsageAndSetupErrorsExitWithTwo)
{
    EXPECT_EQ(run({"--bogus"}), 2);
    EXPECT_NE(err.str().find("unknown option --bogus"), std::string::npos);
    EXPECT_EQ(run({"-e"}), 2);
    EXPECT_EQ(run({"--player=winamp", "-e", "1"}), 2);
    EXPECT_NE(err.str().find("unknown player"), std::string::npos);
    EXPECT_EQ(out.str(), "");

    const std::string library = tempDir() + "/lib.json";
    testing_support::writeFile(library, "{\"tracks\": [{\"rating\": 101}]}");
    EXPECT_EQ(run({"--library", library, "-e", "1"}), 2);
    EXPECT_EQ(err.str(), "zintara-script: " + library + ":1:24: \"rating\" must be a whole number from 0 to 100\n");
    EXPECT_EQ(out.str(), ""); // nothing ran on a half-read library

    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_NE(out.str().find("usage: zintara-script"), std::string::npos);
}

TEST_F(ScriptToolTest, UsesTheGivenLibrary)
{
    const std::string library = tempDir() + "/lib.json";
    testing_support::writeFile(library,
        R"({"running": true, "currentTrack": 2, "tracks": [{"name": "One"}, {"name": "Two", "trackNumber": 7, "trackCount": 8}]})");
    EXPECT_EQ(run({"--library=" + library, "-e",
                  "tell application \"iTunes\"\nset n to track number of current track\nreturn \"(\" & n & \" of \" & (track count of current track) & \")\"\nend tell"}),
        0)
        << err.str();
    EXPECT_EQ(out.str(), "(7 of 8)\n");
}

TEST_F(ScriptToolTest, TalksToAnMpdServerChosenOnTheCommandLineOrInTheEnvironment)
{
    testing_support::MpdServer server;
    std::string error;
    ASSERT_TRUE(server.start(tempDir() + "/mpd", &error)) << error;
    ASSERT_TRUE(mpd_run_play_pos(server.control(), 2));
    const std::string name = "tell application \"iTunes\" to get name of current track";

    EXPECT_EQ(run({"--player", "mpd:" + server.address(), "-e", name, "-e",
                  "tell application \"iTunes\" to next track", "-e", name}), 0) << err.str();
    EXPECT_EQ(out.str(), "Gamma Song\n\nuntagged take\n");

    setenv("ZINTARA_PLAYER", ("mpd:" + server.address()).c_str(), 1);
    EXPECT_EQ(run({"-e", "tell application \"System Events\" to exists process \"iTunes\""}), 0);
    EXPECT_EQ(out.str(), "true\n");
    server.stop();
    EXPECT_EQ(run({"-e", "tell application \"System Events\" to exists process \"iTunes\""}), 0);
    EXPECT_EQ(out.str(), "false\n");
}

} // namespace
