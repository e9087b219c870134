// Runs every script of the golden folder and compares what it gives with
// the expectation written beside it (name.applescript + name.expected):
//
//   result: TEXT          the result's text form is TEXT
//   no result             the result has no text form
//   error: N [at L:C]     the script fails with error number N (at line L,
//                         column C, for compile errors)
//   launched: iTunes      (optional second line) the run launched the player;
//                         without it, the run must launch nothing
//
// Scripts in the folder itself run against the usual world (the player
// running and playing); scripts in stopped/ find the player not running.

#include "FakeApplications.h"
#include "script/Script.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string describe(const script::Result<script::Value>& r)
{
    if (!r)
        return "error " + std::to_string(r.error().number) + " at " + std::to_string(r.error().line) + ":"
            + std::to_string(r.error().column) + " (" + r.error().message + ")";
    auto text = r.value().stringValue();
    return text ? "result \"" + *text + "\"" : "no result";
}

void check(const fs::path& scriptPath)
{
    SCOPED_TRACE(scriptPath.string());
    fs::path expectedPath = scriptPath;
    expectedPath.replace_extension(".expected");
    ASSERT_TRUE(fs::exists(expectedPath));

    std::istringstream expected(readFile(expectedPath));
    std::string outcome, launched;
    std::getline(expected, outcome);
    std::getline(expected, launched);

    fake::World world;
    if (scriptPath.parent_path().filename() == "stopped")
        world.player.running = false;

    script::Script s(readFile(scriptPath), world.apps);
    auto r = s.execute();

    if (outcome.starts_with("result: ")) {
        ASSERT_TRUE(r.ok()) << describe(r);
        EXPECT_NE(r.value().typeCode(), 0u);
        EXPECT_EQ(r.value().stringValue(), outcome.substr(8)) << describe(r);
    } else if (outcome == "no result") {
        ASSERT_TRUE(r.ok()) << describe(r);
        EXPECT_EQ(r.value().stringValue(), std::nullopt) << describe(r);
    } else if (outcome.starts_with("error: ")) {
        int number = 0, line = 0, column = 0;
        int fields = std::sscanf(outcome.c_str(), "error: %d at %d:%d", &number, &line, &column);
        ASSERT_FALSE(r.ok()) << describe(r);
        EXPECT_EQ(r.error().number, number) << describe(r);
        EXPECT_FALSE(r.error().message.empty());
        if (fields == 3) {
            EXPECT_EQ(r.error().line, line) << describe(r);
            EXPECT_EQ(r.error().column, column) << describe(r);
        }
    } else {
        FAIL() << "unreadable expectation: " << outcome;
    }
    EXPECT_EQ(world.player.launches, launched == "launched: iTunes" ? 1 : 0);
}

TEST(Golden, EveryScriptGivesItsExpectedOutcome)
{
    std::vector<fs::path> scripts;
    for (const auto& entry : fs::recursive_directory_iterator(ZINTARA_SCRIPT_TESTDATA)) {
        if (entry.path().extension() == ".applescript")
            scripts.push_back(entry.path());
    }
    std::sort(scripts.begin(), scripts.end());
    ASSERT_GE(scripts.size(), 60u) << "golden scripts missing from " << ZINTARA_SCRIPT_TESTDATA;
    for (const fs::path& path : scripts)
        check(path);
}

} // namespace
