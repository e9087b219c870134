// Applying the stored settings: status item, marquee, poll timer, Dock icon.
#include "ControllerFixture.h"

#include "kit/PropertyList.h"
#include "kit/RunLoop.h"
#include "kit/StatusBar.h"
#include "kit/StatusItem.h"
#include "kit/Task.h"
#include "kit/Timer.h"
#include "kit/UserDefaults.h"
#include "zintara/TunesView.h"

#include <filesystem>
#include <unistd.h>

namespace {

class SettingsTest : public ControllerTest {
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        controller->setDefaultPrefs();
        kit::Task::setLauncher([this](const std::string& path, const std::vector<std::string>& args) {
            launched.push_back(path);
            for (const auto& arg : args)
                launched.push_back(arg);
            return true;
        });
    }
    void TearDown() override
    {
        kit::Task::setLauncher(nullptr);
        ControllerTest::TearDown();
    }
    kit::UserDefaults& store() { return kit::UserDefaults::standardUserDefaults(); }
    kit::StatusBar& bar() { return kit::StatusBar::systemStatusBar(); }

    std::optional<std::string> dockEntry()
    {
        auto parsed = kit::plist::readFile(bundlePath() + "/Contents/Info.plist");
        const auto& info = std::get<kit::PlistValue>(parsed).get<kit::PlistDictionary>();
        const auto it = info.find("LSUIElement");
        if (it == info.end())
            return std::nullopt;
        return it->second.get<std::string>();
    }
    void setDockEntry(const std::optional<std::string>& value)
    {
        const std::string path = bundlePath() + "/Contents/Info.plist";
        auto parsed = kit::plist::readFile(path);
        auto info = std::get<kit::PlistValue>(parsed).get<kit::PlistDictionary>();
        if (value)
            info["LSUIElement"] = kit::PlistValue(*value);
        else
            info.erase("LSUIElement");
        ASSERT_TRUE(kit::plist::writeFileAtomically(path, kit::PlistValue(info)));
    }

    std::vector<std::string> launched;
};

TEST_F(SettingsTest, BuildsTheStatusItemAndConfiguresTheMarquee)
{
    store().setInteger(150, "menuSize");
    store().setFloat(2.5f, "scrollSpeed");
    store().setBool(false, "fontShadow");
    store().setFloat(1.0f, "font_R");
    store().setFloat(0.5f, "font_G");
    store().setInteger(-3, "vertAdjust");
    store().setBool(false, "fadeEdges");
    store().setBool(false, "showNotes");
    store().setInteger(20, "framesPerSecond");
    store().setBool(false, "curArtist");
    store().setBool(true, "curAlbum");
    controller->syncAppPrefsWithDefaults();

    ASSERT_EQ(bar().items().size(), 1u);
    kit::StatusItem* item = controller->tunesMenu;
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->length(), 150.0f);
    EXPECT_EQ(item->view(), controller->tunesView.get());
    EXPECT_EQ(item->actionMask(), 0x42u);
    EXPECT_TRUE(item->highlightMode());
    EXPECT_EQ(item->title(), "");

    const TunesView& view = *controller->tunesView;
    EXPECT_EQ(view.frame(), kit::Rect(0, 0, 150, 26));
    EXPECT_EQ(view.zintara(), controller.get());
    EXPECT_FLOAT_EQ(view.scrollSpeed(), 2.5f);
    EXPECT_EQ(view.pieStyle(), 2);
    EXPECT_FALSE(view.drawShadow());
    EXPECT_EQ(view.fontColor(), kit::Color::colorWithDeviceRed(1.0, 0.5, 0.0, 1.0));
    EXPECT_EQ(view.vertAdjust(), -3);
    EXPECT_FALSE(view.fadeEdges());
    EXPECT_FALSE(view.drawNotes());
    EXPECT_EQ(view.fps(), 20);
    EXPECT_EQ(controller->trackPrefs, (std::array<bool, 9>{true, false, true, false, true, true, false, false, true}));
}

TEST_F(SettingsTest, PieStyleOnlyWhenTheIndicatorIsShown)
{
    store().setInteger(1, "pieStyle");
    controller->syncAppPrefsWithDefaults();
    EXPECT_EQ(controller->tunesView->pieStyle(), 1);
    store().setBool(false, "showPie");
    controller->syncAppPrefsWithDefaults();
    EXPECT_EQ(controller->tunesView->pieStyle(), 0);
}

TEST_F(SettingsTest, PollIntervalIsWholeSecondsOrHalfASecond)
{
    store().setInteger(0, "syncTime");
    controller->syncAppPrefsWithDefaults();
    EXPECT_DOUBLE_EQ(controller->timer->timeInterval(), 0.5);
    store().setInteger(2, "syncTime");
    controller->syncAppPrefsWithDefaults();
    EXPECT_DOUBLE_EQ(controller->timer->timeInterval(), 2.0);
    // A negative value from an edited file must not poll without pause.
    store().setInteger(-5, "syncTime");
    controller->syncAppPrefsWithDefaults();
    EXPECT_DOUBLE_EQ(controller->timer->timeInterval(), 0.5);
}

TEST_F(SettingsTest, ApplyingTwiceLeavesOneOfEverything)
{
    controller->syncAppPrefsWithDefaults();
    const auto firstTimer = controller->timer;
    const auto firstFrameTimer = controller->tunesView->timer();
    controller->syncAppPrefsWithDefaults();

    EXPECT_EQ(bar().items().size(), 1u);
    EXPECT_FALSE(firstTimer->isValid());
    EXPECT_TRUE(controller->timer->isValid());
    EXPECT_FALSE(firstFrameTimer->isValid()) << "the discarded marquee never ticks again";
    store().synchronize(); // no pending save in the count below
    // Besides the demo marquee's frame timer: one frame timer, one poll timer.
    EXPECT_EQ(kit::RunLoop::main().timerCount(kit::RunLoopMode::ModalPanel), 2u) << "two frame timers";
    EXPECT_EQ(kit::RunLoop::main().timerCount(kit::RunLoopMode::Default), 3u) << "poll and frame timers";
}

TEST_F(SettingsTest, TheMarqueeShowsAPollAtOnce)
{
    player().launch();
    controller->initScripts();
    controller->syncAppPrefsWithDefaults();
    EXPECT_FALSE(controller->tunesView->displayStr().empty());
}

TEST_F(SettingsTest, ARefusedStatusItemAlertsAndTerminates)
{
    store().setInteger(5000, "menuSize");
    controller->syncAppPrefsWithDefaults();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText(), "Error: couldn't create status item");
    EXPECT_EQ(alerts[0].defaultButton(), "OK");
    EXPECT_FALSE(alerts[0].alternateButton());
    EXPECT_EQ(alerts[0].informativeText().rfind(
                  "Oops! Zintara ran into an error trying to create the status item. Try choosing a smaller width "
                  "(size) in the preferences dialog, or trashing Zintara' prefs file.\n\nIf this error persists, "
                  "contact Quorble Software (",
                  0),
              0u);
    EXPECT_TRUE(terminated);
    EXPECT_TRUE(bar().items().empty());
}

TEST_F(SettingsTest, DockIconSettingReachesTheBundleWithTheLaunchMessageOnlyAtLaunch)
{
    setDockEntry(std::nullopt);
    store().setBool(true, "hideDockIcon");
    controller->hasFinishedLaunching = false;
    controller->syncAppPrefsWithDefaults();
    EXPECT_EQ(dockEntry(), "1");
    EXPECT_EQ(launched, (std::vector<std::string>{"/usr/bin/touch", bundlePath()}));
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText(), "Dock icon will be hidden on next launch");

    // Back again, at launch: written, no message.
    launched.clear();
    store().setBool(false, "hideDockIcon");
    controller->syncAppPrefsWithDefaults();
    EXPECT_EQ(dockEntry(), "0");
    EXPECT_EQ(launched.size(), 2u);
    EXPECT_EQ(alerts.size(), 1u);

    // After launch: written, no message.
    controller->hasFinishedLaunching = true;
    setDockEntry("");
    store().setBool(true, "hideDockIcon");
    controller->syncAppPrefsWithDefaults();
    EXPECT_EQ(dockEntry(), "1");
    EXPECT_EQ(alerts.size(), 1u);
}

TEST_F(SettingsTest, AnInfoPlistThatCannotBeReplacedIsReportedNotClaimed)
{
    // Info.plist itself is writable, but no new file can be made in its
    // place: its real name leaves no room for the temporary file's suffix,
    // which stops the write whoever runs the test (permissions do not bind
    // the superuser).
    setDockEntry(std::nullopt);
    const std::string path = bundlePath() + "/Contents/Info.plist";
    const std::string real = bundlePath() + "/Contents/" + std::string(249, 'i');
    std::filesystem::rename(path, real);
    std::filesystem::create_symlink(real, path);
    const std::string before = testing_support::readFile(real);

    store().setBool(true, "hideDockIcon");
    controller->hasFinishedLaunching = false;
    controller->syncAppPrefsWithDefaults();
    EXPECT_EQ(testing_support::readFile(real), before) << "the bundle is left alone";
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_TRUE(launched.empty()) << "nothing to touch";
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_NE(alerts[0].messageText(), "Dock icon will be hidden on next launch");
    EXPECT_EQ(alerts[0].messageText(), "The Dock icon setting could not be carried into Zintara");
    EXPECT_NE(alerts[0].informativeText().find(path), std::string::npos) << alerts[0].informativeText();
    EXPECT_NE(alerts[0].informativeText().find("File name too long"), std::string::npos)
        << alerts[0].informativeText();

    // The same failure at every later application of the settings is not
    // news; a write that works again behaves as usual.
    controller->hasFinishedLaunching = true;
    controller->syncAppPrefsWithDefaults();
    EXPECT_EQ(alerts.size(), 1u);
    std::filesystem::remove(path);
    std::filesystem::rename(real, path);
    controller->syncAppPrefsWithDefaults();
    EXPECT_EQ(dockEntry(), "1");
    EXPECT_EQ(alerts.size(), 1u);
    EXPECT_EQ(launched, (std::vector<std::string>{"/usr/bin/touch", bundlePath()}));
}

TEST_F(SettingsTest, AnUnwritableBundleFolderGivesNoSuccessMessage)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    setDockEntry(std::nullopt);
    const std::string contents = bundlePath() + "/Contents";
    const std::string before = testing_support::readFile(contents + "/Info.plist");
    std::filesystem::permissions(contents, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    store().setBool(true, "hideDockIcon");
    controller->hasFinishedLaunching = false;
    controller->syncAppPrefsWithDefaults();
    std::filesystem::permissions(contents, std::filesystem::perms::owner_all);
    EXPECT_EQ(testing_support::readFile(contents + "/Info.plist"), before);
    EXPECT_TRUE(launched.empty());
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_NE(alerts[0].informativeText().find("Permission denied"), std::string::npos)
        << alerts[0].informativeText();
}

TEST_F(SettingsTest, ADockEntryAlreadyInLineIsLeftAlone)
{
    setDockEntry("1");
    store().setBool(true, "hideDockIcon");
    const auto path = bundlePath() + "/Contents/Info.plist";
    const auto before = std::filesystem::last_write_time(path);
    controller->syncAppPrefsWithDefaults();
    EXPECT_EQ(std::filesystem::last_write_time(path), before);
    EXPECT_TRUE(launched.empty());
    EXPECT_TRUE(alerts.empty());

    // An Info.plist that cannot be read changes nothing either.
    testing_support::writeFile(path, "<plist><dict>");
    store().setBool(false, "hideDockIcon");
    controller->syncAppPrefsWithDefaults();
    EXPECT_EQ(testing_support::readFile(path), "<plist><dict>");
    EXPECT_TRUE(launched.empty());
}

} // namespace
