#include "kit/UserDefaults.h"

#include "kit/Bundle.h"
#include "kit/RunLoop.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace kit;
using testing_support::readFile;
using testing_support::writeFile;

namespace {

class UserDefaultsTest : public testing_support::KitTest {
protected:
    std::string prefsPath() const { return configHome() + "/org.zintara.Zintara.plist"; }

    // What the next launch would see.
    UserDefaults& relaunch()
    {
        UserDefaults::resetStandardUserDefaults();
        return UserDefaults::standardUserDefaults();
    }

    std::vector<std::string> filesInConfig() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(configHome()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

} // namespace

TEST_F(UserDefaultsTest, AbsentKeysReadAsZeroNoAndNothing)
{
    UserDefaults& d = UserDefaults::standardUserDefaults();
    EXPECT_EQ(d.path(), prefsPath());
    EXPECT_EQ(d.integerForKey("menuSize"), 0);
    EXPECT_EQ(d.floatForKey("scrollSpeed"), 0.0f);
    EXPECT_FALSE(d.boolForKey("fontShadow"));
    EXPECT_EQ(d.stringForKey("fontName"), std::nullopt);
    EXPECT_EQ(d.objectForKey("menuSize"), std::nullopt);
    EXPECT_FALSE(d.loadProblem());
    EXPECT_TRUE(d.synchronize());
    EXPECT_FALSE(fs::exists(prefsPath())) << "nothing changed, so nothing is written";
}

TEST_F(UserDefaultsTest, EveryKindSurvivesTheFile)
{
    UserDefaults& d = UserDefaults::standardUserDefaults();
    d.setInteger(120, "menuSize");
    d.setInteger(std::numeric_limits<std::int64_t>::min(), "smallest");
    d.setFloat(0.1f, "scrollSpeed");
    d.setFloat(-2.75f, "negative");
    d.setBool(true, "fontShadow");
    d.setBool(false, "hideDockIcon");
    d.setObject("Zapf Dingbats ✿ «Ünïcödé» & <tags>", "fontName");
    d.setObject(PlistArray{1, "x"}, "list");
    d.setObject(PlistData{{0, 255}}, "blob");
    d.setInteger(5, "gone");
    d.removeObjectForKey("gone");
    ASSERT_TRUE(d.synchronize());

    const std::string text = readFile(prefsPath());
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC", 0), 0u);
    EXPECT_NE(text.find("\t<real>0.1</real>\n"), std::string::npos) << "a float is stored by its own short text";

    UserDefaults& again = relaunch();
    EXPECT_FALSE(again.loadProblem());
    EXPECT_EQ(again.integerForKey("menuSize"), 120);
    EXPECT_EQ(again.integerForKey("smallest"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(again.floatForKey("scrollSpeed"), 0.1f);
    EXPECT_EQ(again.floatForKey("negative"), -2.75f);
    EXPECT_TRUE(again.boolForKey("fontShadow"));
    EXPECT_FALSE(again.boolForKey("hideDockIcon"));
    EXPECT_TRUE(again.objectForKey("hideDockIcon")) << "a stored NO is present, unlike an absent key";
    EXPECT_EQ(again.stringForKey("fontName"), "Zapf Dingbats ✿ «Ünïcödé» & <tags>");
    EXPECT_EQ(again.objectForKey("list"), PlistValue(PlistArray{1, "x"}));
    EXPECT_EQ(again.objectForKey("blob"), PlistValue(PlistData{{0, 255}}));
    EXPECT_FALSE(again.objectForKey("gone"));
}

TEST_F(UserDefaultsTest, ValuesOfAnotherKindReadWithTheUsualConversions)
{
    UserDefaults& d = UserDefaults::standardUserDefaults();
    d.setObject("12abc", "leadingNumber");
    d.setObject("  -7", "spacedNegative");
    d.setObject("abc", "word");
    d.setObject("2.75", "decimal");
    d.setObject("", "empty");
    d.setObject("99999999999999999999", "tooBig");
    d.setObject(3.9, "real");
    d.setObject(-3.9, "negativeReal");
    d.setObject(1e300, "hugeReal");
    d.setObject(std::numeric_limits<double>::quiet_NaN(), "nan");
    d.setBool(true, "yes");
    d.setBool(false, "no");
    d.setInteger(42, "integer");
    d.setObject(PlistArray{1}, "array");
    d.setObject(PlistDictionary{{"a", 1}}, "dict");

    EXPECT_EQ(d.integerForKey("leadingNumber"), 12);
    EXPECT_EQ(d.integerForKey("spacedNegative"), -7);
    EXPECT_EQ(d.integerForKey("word"), 0);
    EXPECT_EQ(d.integerForKey("decimal"), 2);
    EXPECT_EQ(d.integerForKey("empty"), 0);
    EXPECT_EQ(d.integerForKey("tooBig"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(d.integerForKey("real"), 3);
    EXPECT_EQ(d.integerForKey("negativeReal"), -3) << "truncation is toward zero";
    EXPECT_EQ(d.integerForKey("hugeReal"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(d.integerForKey("nan"), 0);
    EXPECT_EQ(d.integerForKey("yes"), 1);
    EXPECT_EQ(d.integerForKey("no"), 0);
    EXPECT_EQ(d.integerForKey("array"), 0);
    EXPECT_EQ(d.integerForKey("dict"), 0);

    EXPECT_EQ(d.floatForKey("decimal"), 2.75f);
    EXPECT_EQ(d.floatForKey("leadingNumber"), 12.0f);
    EXPECT_EQ(d.floatForKey("word"), 0.0f);
    EXPECT_EQ(d.floatForKey("integer"), 42.0f);
    EXPECT_EQ(d.floatForKey("yes"), 1.0f);
    EXPECT_EQ(d.floatForKey("array"), 0.0f);

    EXPECT_TRUE(d.boolForKey("integer"));
    EXPECT_TRUE(d.boolForKey("real"));
    EXPECT_FALSE(d.boolForKey("nan"));
    EXPECT_TRUE(d.boolForKey("decimal"));
    EXPECT_FALSE(d.boolForKey("word"));
    EXPECT_FALSE(d.boolForKey("empty"));
    EXPECT_FALSE(d.boolForKey("array"));
    for (const char* yes : {"YES", "yes", "true", "TRUE", "Y", "y", "T", "t", "1", " 5 ", "yesterday", "+7", "-3", "007"}) {
        d.setObject(yes, "flag");
        EXPECT_TRUE(d.boolForKey("flag")) << yes;
    }
    for (const char* no : {"NO", "no", "false", "0", "0.0", "0.5", "N", "-", "nan", "", "  "}) {
        d.setObject(no, "flag");
        EXPECT_FALSE(d.boolForKey("flag")) << no;
    }
    d.setInteger(0, "flag");
    EXPECT_FALSE(d.boolForKey("flag"));

    EXPECT_EQ(d.stringForKey("integer"), "42");
    EXPECT_EQ(d.stringForKey("real"), "3.9");
    EXPECT_EQ(d.stringForKey("yes"), "1");
    EXPECT_EQ(d.stringForKey("array"), std::nullopt);
    EXPECT_EQ(d.stringForKey("dict"), std::nullopt);
}

TEST_F(UserDefaultsTest, ChangesReachTheFileByThemselvesAFewSecondsLater)
{
    UserDefaults& d = UserDefaults::standardUserDefaults();
    d.setInteger(120, "menuSize");
    runFor(UserDefaults::kAutosaveDelay - 0.5);
    d.setInteger(130, "menuSize"); // rides along with the pending write
    EXPECT_FALSE(fs::exists(prefsPath()));
    runFor(0.5);
    ASSERT_TRUE(fs::exists(prefsPath()));
    EXPECT_EQ(relaunch().integerForKey("menuSize"), 130);

    // A modal window or a tracked menu does not hold the write up.
    for (RunLoopMode mode : {RunLoopMode::ModalPanel, RunLoopMode::EventTracking}) {
        RunLoopModeScope scope(mode);
        UserDefaults::standardUserDefaults().setInteger(static_cast<int>(mode) + 1000, "mode");
        runFor(UserDefaults::kAutosaveDelay);
        EXPECT_EQ(relaunch().integerForKey("mode"), static_cast<int>(mode) + 1000);
    }
    EXPECT_EQ(RunLoop::main().timerCount(RunLoopMode::Default), 0u);
}

TEST_F(UserDefaultsTest, AStoreThatIsDroppedCancelsItsPendingWrite)
{
    UserDefaults::standardUserDefaults().setBool(true, "x");
    UserDefaults::resetStandardUserDefaults();
    runFor(UserDefaults::kAutosaveDelay * 2);
    EXPECT_FALSE(fs::exists(prefsPath()));
}

TEST_F(UserDefaultsTest, ACorruptFileIsMovedAsideAndTheLaunchStartsAfresh)
{
    const std::string garbage = "<?xml version=\"1.0\"?>\n<plist><dict><key>menuSize</key><integer>1";
    writeFile(prefsPath(), garbage);

    UserDefaults& d = relaunch();
    ASSERT_TRUE(d.loadProblem());
    EXPECT_NE(d.loadProblem()->find(prefsPath() + " "), std::string::npos) << *d.loadProblem();
    EXPECT_NE(d.loadProblem()->find(prefsPath() + ".corrupt"), std::string::npos) << *d.loadProblem();
    EXPECT_NE(d.loadProblem()->find("line 2"), std::string::npos) << *d.loadProblem();
    EXPECT_FALSE(d.objectForKey("menuSize"));
    EXPECT_EQ(readFile(prefsPath() + ".corrupt"), garbage) << "the user's bytes are kept, unchanged";
    EXPECT_FALSE(fs::exists(prefsPath()));

    d.setInteger(120, "menuSize");
    ASSERT_TRUE(d.synchronize());
    EXPECT_EQ(relaunch().integerForKey("menuSize"), 120);
    EXPECT_FALSE(UserDefaults::standardUserDefaults().loadProblem());
    EXPECT_EQ(readFile(prefsPath() + ".corrupt"), garbage);
}

TEST_F(UserDefaultsTest, EveryCorruptFileIsKeptUnderItsOwnName)
{
    writeFile(prefsPath() + ".corrupt", "an older casualty");
    writeFile(prefsPath() + ".corrupt.2", "one the user numbered");
    for (const std::string bytes : {"<plist><dict>", "<plist><array>", "not a plist"}) {
        writeFile(prefsPath(), bytes);
        relaunch();
    }
    EXPECT_EQ(readFile(prefsPath() + ".corrupt"), "an older casualty");
    EXPECT_EQ(readFile(prefsPath() + ".corrupt.1"), "<plist><dict>");
    EXPECT_EQ(readFile(prefsPath() + ".corrupt.2"), "one the user numbered");
    EXPECT_EQ(readFile(prefsPath() + ".corrupt.3"), "<plist><array>");
    EXPECT_EQ(readFile(prefsPath() + ".corrupt.4"), "not a plist");
    const auto& problem = UserDefaults::standardUserDefaults().loadProblem();
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("moved to " + prefsPath() + ".corrupt.4 "), std::string::npos) << *problem;
}

TEST_F(UserDefaultsTest, AWellFormedFileWhoseTopIsNotADictionaryIsMovedAside)
{
    const std::string array = plist::serialize(PlistArray{1, 2});
    writeFile(prefsPath(), array);
    UserDefaults& d = relaunch();
    ASSERT_TRUE(d.loadProblem());
    EXPECT_NE(d.loadProblem()->find("not a dictionary"), std::string::npos);
    EXPECT_EQ(readFile(prefsPath() + ".corrupt"), array);
}

TEST_F(UserDefaultsTest, AFileThatCanNeitherBeReadNorMovedIsNeverWrittenOver)
{
    // A file name of 248 bytes: room for the writer's 7-byte temporary
    // suffix, none for ".corrupt", so the move fails whoever runs the test.
    const std::string info = bundlePath() + "/Contents/Info.plist";
    auto parsed = plist::readFile(info);
    auto dict = std::get<PlistValue>(parsed).get<PlistDictionary>();
    dict["CFBundleIdentifier"] = PlistValue(std::string(242, 'z'));
    ASSERT_TRUE(plist::writeFileAtomically(info, PlistValue(dict)));
    const std::string path = configHome() + "/" + std::string(242, 'z') + ".plist";
    writeFile(path, "<plist><dict>");

    UserDefaults& d = relaunch();
    ASSERT_EQ(d.path(), path);
    ASSERT_TRUE(d.loadProblem());
    EXPECT_NE(d.loadProblem()->find("not be written over"), std::string::npos) << *d.loadProblem();
    EXPECT_NE(d.loadProblem()->find("File name too long"), std::string::npos) << *d.loadProblem();
    d.setInteger(1, "menuSize");
    EXPECT_FALSE(d.synchronize());
    runFor(UserDefaults::kAutosaveDelay);
    EXPECT_EQ(readFile(path), "<plist><dict>");
    EXPECT_EQ(d.integerForKey("menuSize"), 1) << "the run goes on with the values in memory";

    // Once the obstacle is gone, the store saves as usual.
    fs::remove(path);
    EXPECT_TRUE(d.synchronize());
    EXPECT_EQ(relaunch().integerForKey("menuSize"), 1);
}

TEST_F(UserDefaultsTest, AFileWithoutReadPermissionIsMovedAside)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    writeFile(prefsPath(), plist::serialize(PlistDictionary{{"menuSize", 1}}));
    chmod(prefsPath().c_str(), 0);
    UserDefaults& d = relaunch();
    ASSERT_TRUE(d.loadProblem());
    EXPECT_TRUE(fs::exists(prefsPath() + ".corrupt"));
}

TEST_F(UserDefaultsTest, AnUnwritableFolderFailsTheWriteAndChangesNothingElse)
{
    // A plain file where the folder should be: nothing can be created there,
    // whoever runs the test.
    const std::string blocked = tempDir() + "/blocked";
    writeFile(blocked, "not a folder");
    setenv("XDG_CONFIG_HOME", (blocked + "/config").c_str(), 1);

    UserDefaults& d = relaunch();
    EXPECT_FALSE(d.loadProblem());
    d.setInteger(120, "menuSize");
    EXPECT_FALSE(d.synchronize());
    runFor(UserDefaults::kAutosaveDelay * 2);
    EXPECT_EQ(d.integerForKey("menuSize"), 120);
    EXPECT_EQ(readFile(blocked), "not a folder");
}

TEST_F(UserDefaultsTest, AFailedWriteKeepsTheOldFileAndRetriesLater)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    UserDefaults& d = UserDefaults::standardUserDefaults();
    d.setInteger(1, "menuSize");
    ASSERT_TRUE(d.synchronize());
    const std::string before = readFile(prefsPath());
    chmod(configHome().c_str(), 0500);
    d.setInteger(2, "menuSize");
    EXPECT_FALSE(d.synchronize());
    EXPECT_EQ(readFile(prefsPath()), before);
    EXPECT_EQ(filesInConfig(), std::vector<std::string>{"org.zintara.Zintara.plist"});
    chmod(configHome().c_str(), 0700);
    EXPECT_TRUE(d.synchronize());
    EXPECT_EQ(relaunch().integerForKey("menuSize"), 2);
}

TEST_F(UserDefaultsTest, ResettingDeletesTheFileAndLeavesNothingToWriteBack)
{
    // The reset command deletes the file and quits; the flush at quit must
    // not write the old settings back.
    UserDefaults& d = UserDefaults::standardUserDefaults();
    d.setInteger(120, "menuSize");
    ASSERT_TRUE(d.synchronize());
    d.setInteger(2, "launchCount"); // not yet flushed
    d.removePersistentDomain();
    EXPECT_FALSE(fs::exists(prefsPath()));
    EXPECT_FALSE(d.objectForKey("menuSize"));
    EXPECT_TRUE(d.synchronize());
    runFor(UserDefaults::kAutosaveDelay * 2);
    EXPECT_FALSE(fs::exists(prefsPath()));
    EXPECT_FALSE(relaunch().objectForKey("menuSize"));

    // Later changes are saved as on a first launch.
    UserDefaults& fresh = UserDefaults::standardUserDefaults();
    fresh.setInteger(120, "menuSize");
    runFor(UserDefaults::kAutosaveDelay);
    EXPECT_EQ(relaunch().integerForKey("menuSize"), 120);
}

TEST_F(UserDefaultsTest, AFileDeletedFromOutsideIsWrittenAgainWhole)
{
    // Only the reset empties the store: a save after someone removed the
    // file must not lose the settings held in memory.
    UserDefaults& d = UserDefaults::standardUserDefaults();
    d.setInteger(120, "menuSize");
    d.setInteger(2, "syncTime");
    ASSERT_TRUE(d.synchronize());
    ASSERT_TRUE(fs::remove(prefsPath()));
    d.setInteger(200, "menuSize");
    EXPECT_TRUE(d.synchronize());
    UserDefaults& again = relaunch();
    EXPECT_EQ(again.integerForKey("menuSize"), 200);
    EXPECT_EQ(again.integerForKey("syncTime"), 2);
}

TEST_F(UserDefaultsTest, ThePathFollowsTheEnvironmentAndTheBundleIdentifier)
{
    EXPECT_EQ(UserDefaults::standardPath(), prefsPath());

    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(UserDefaults::standardPath(), tempDir() + "/.config/org.zintara.Zintara.plist");
    setenv("XDG_CONFIG_HOME", "relative/config", 1);
    EXPECT_EQ(UserDefaults::standardPath(), tempDir() + "/.config/org.zintara.Zintara.plist")
        << "a relative value is ignored";

    setenv("XDG_CONFIG_HOME", (tempDir() + "/deep/er/").c_str(), 1);
    auto info = plist::readFile(Bundle::mainBundle().infoPlistPath());
    ASSERT_TRUE(std::holds_alternative<PlistValue>(info));
    PlistDictionary dict = std::get<PlistValue>(info).get<PlistDictionary>();
    dict["CFBundleIdentifier"] = "com.example.Other";
    ASSERT_TRUE(plist::writeFileAtomically(Bundle::mainBundle().infoPlistPath(), dict));
    const std::string path = tempDir() + "/deep/er/com.example.Other.plist";
    EXPECT_EQ(UserDefaults::standardPath(), path);

    // The missing folders are made, private to the user.
    UserDefaults& d = relaunch();
    d.setBool(true, "x");
    ASSERT_TRUE(d.synchronize());
    EXPECT_TRUE(fs::exists(path));
    struct stat info2 {};
    ASSERT_EQ(stat((tempDir() + "/deep").c_str(), &info2), 0);
    EXPECT_EQ(info2.st_mode & 0777, 0700u);
}
