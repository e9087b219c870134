// The preferences window: loading, live changes on the demo marquee, saving
// and cancelling, the demo marquee's geometry, and font selection.
#include "ControllerFixture.h"

#include "kit/Button.h"
#include "kit/ColorWell.h"
#include "kit/Font.h"
#include "kit/Image.h"
#include "kit/FontPanel.h"
#include "kit/LoginItem.h"
#include "kit/PopUpButton.h"
#include "kit/Slider.h"
#include "kit/StatusItem.h"
#include "kit/Task.h"
#include "kit/TextField.h"
#include "kit/UserDefaults.h"
#include "zintara/TunesView.h"

#include <QAbstractButton>
#include <QColorDialog>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QSlider>

#include <cstdlib>
#include <filesystem>

#include <unistd.h>

namespace {

kit::UserDefaults& store()
{
    return kit::UserDefaults::standardUserDefaults();
}

class PrefsTest : public ControllerTest {
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        kit::Task::setLauncher([](const std::string&, const std::vector<std::string>&) { return true; });
        controller->setDefaultPrefs();
        // A launch with nothing to ask: settings applied, the font panel
        // reporting to the controller, the demo given its text.
        store().setBool(false, "showWelcome");
        store().setBool(false, "launchiTunes");
        controller->applicationDidFinishLaunching();
    }
    void TearDown() override
    {
        kit::FontPanel::sharedFontManager().closePanel();
        kit::Task::setLauncher(nullptr);
        ControllerTest::TearDown();
    }

    kit::Window& window() { return *controller->prefsWnd; }
    TunesView& demo() { return *controller->demoTunesView; }

    template <class W>
    W* child(const char* name)
    {
        W* widget = window().widget()->findChild<W*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    // The user's moves and choices.
    void drag(const char* slider, int steps) { child<QSlider>(slider)->setValue(steps); }
    void choose(const char* popUp, const char* title)
    {
        auto* box = child<QComboBox>(popUp);
        const int index = box->findText(title);
        ASSERT_GE(index, 0) << title;
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    void click(const char* button) { clickButton(window(), button); }

    void open() { controller->showPrefsWnd(); }
};

TEST_F(PrefsTest, LaunchGivesTheDemoMarqueeItsSampleText)
{
    store().setBool(false, "showWelcome");
    store().setBool(false, "launchiTunes");
    controller->applicationDidFinishLaunching();

    EXPECT_TRUE(demo().isDemoView());
    EXPECT_FLOAT_EQ(demo().timePerc(), 0.5f);
    EXPECT_EQ(demo().displayStr().rfind("Sample Scrolling Text - Thanks for trying Zintara", 0), 0u);
    EXPECT_EQ(demo().zintara(), nullptr) << "a click on the demo opens no menu";
    EXPECT_EQ(demo().fps(), 30);
}

TEST_F(PrefsTest, OpeningLoadsEveryControlAndTheDemoFromTheStore)
{
    store().setInteger(200, "menuSize");
    store().setFloat(2.5f, "scrollSpeed");
    store().setInteger(-3, "vertAdjust");
    store().setObject(std::string("DejaVu Serif"), "fontName");
    store().setInteger(14, "fontSize");
    store().setFloat(0.25f, "font_R");
    store().setFloat(0.5f, "font_G");
    store().setFloat(1.0f, "font_B");
    store().setBool(true, "scrollDisabled");
    store().setBool(true, "hideDockIcon");
    store().setBool(false, "fontShadow");
    store().setInteger(60, "framesPerSecond");
    store().setInteger(1, "pieStyle");
    store().setBool(false, "showPie");
    store().setInteger(0, "syncTime");
    store().setBool(true, "curAlbum");
    store().setBool(false, "nextTitle");
    store().setBool(false, "launchiTunes");
    store().removeObjectForKey("showNotes"); // a missing key reads as NO

    open();

    Zintara& z = *controller;
    EXPECT_TRUE(window().isVisible());
    EXPECT_TRUE(z.tunesView->isPaused());
    EXPECT_DOUBLE_EQ(z.sizeSlider->doubleValue(), 200.0);
    EXPECT_DOUBLE_EQ(z.speedSlider->doubleValue(), 2.5);
    EXPECT_EQ(child<QSlider>("speedSlider")->value(), 25) << "the speed slider counts tenths";
    EXPECT_DOUBLE_EQ(z.vertAdjustSlider->doubleValue(), -3.0);
    EXPECT_EQ(z.fontLabel->stringValue(), "DejaVu Serif");
    EXPECT_EQ(z.fontSizeLabel->stringValue(), "14");
    EXPECT_EQ(z.colorWell->color(), kit::Color::colorWithDeviceRed(0.25, 0.5, 1.0, 1.0));
    EXPECT_EQ(z.noScroll->state(), 0) << "shown inverted";
    EXPECT_EQ(z.hideDock->state(), 1);
    EXPECT_EQ(z.showShadow->state(), 0);
    EXPECT_EQ(z.showNotes->state(), 0);
    EXPECT_EQ(z.targetFPS->selectedTag(), 60);
    EXPECT_EQ(z.pieStyle->selectedTag(), 1);
    EXPECT_EQ(z.showPie->state(), 0);
    EXPECT_EQ(z.syncTime->selectedTag(), 0);
    EXPECT_EQ(z.syncTime->itemTitle(z.syncTime->indexOfSelectedItem()), "½ second");
    EXPECT_EQ(z.curAlbum->state(), 1);
    EXPECT_EQ(z.nextTitle->state(), 0);
    EXPECT_EQ(z.curTitle->state(), 1);
    EXPECT_EQ(z.shouldLaunchiTunes->selectedTag(), 2);

    EXPECT_FALSE(demo().drawShadow());
    EXPECT_FALSE(demo().drawNotes());
    ASSERT_TRUE(demo().oFont());
    EXPECT_EQ(demo().oFont()->fontName(), "DejaVu Serif");
    EXPECT_DOUBLE_EQ(demo().oFont()->pointSize(), 14.0);
    EXPECT_EQ(demo().fontColor(), kit::Color::colorWithDeviceRed(0.25, 0.5, 1.0, 1.0));
    EXPECT_EQ(demo().vertAdjust(), -3);
    EXPECT_EQ(demo().pieStyle(), 0) << "showPie off hides the indicator";
    EXPECT_TRUE(demo().scrollingDisabled());
    EXPECT_FLOAT_EQ(demo().scrollSpeed(), 2.5f);
    EXPECT_DOUBLE_EQ(demo().frame().width(), 200.0);
    EXPECT_EQ(demo().fps(), 30) << "the frame rate is not loaded on opening";
}

TEST_F(PrefsTest, CancelAndTitleBarCloseDiscardEditsAndResumeTheMarquee)
{
    open();
    drag("sizeSlider", 300);
    drag("speedSlider", 40);
    click("showShadow");
    choose("targetFPS", "10 fps");
    EXPECT_DOUBLE_EQ(demo().frame().width(), 300.0);
    EXPECT_FLOAT_EQ(demo().scrollSpeed(), 4.0f);
    EXPECT_EQ(demo().fps(), 10);

    click("cancelButton");
    EXPECT_FALSE(window().isVisible());
    EXPECT_FALSE(controller->tunesView->isPaused());
    EXPECT_EQ(store().integerForKey("menuSize"), 120);
    EXPECT_FLOAT_EQ(store().floatForKey("scrollSpeed"), 1.0f);
    EXPECT_EQ(controller->tunesMenu->length(), 120.0f) << "the status item keeps its width";

    open();
    EXPECT_DOUBLE_EQ(controller->sizeSlider->doubleValue(), 120.0);
    EXPECT_EQ(controller->showShadow->state(), 1);
    EXPECT_DOUBLE_EQ(demo().frame().width(), 120.0);
    EXPECT_FLOAT_EQ(demo().scrollSpeed(), 1.0f);
    EXPECT_TRUE(demo().drawShadow());
    EXPECT_EQ(demo().fps(), 10) << "the demo keeps a rate set by the pop-up";

    // Closing the window from its title bar is cancelling it.
    drag("sizeSlider", 250);
    window().widget()->close();
    EXPECT_FALSE(window().isVisible());
    EXPECT_FALSE(controller->tunesView->isPaused());
    EXPECT_EQ(store().integerForKey("menuSize"), 120);
}

TEST_F(PrefsTest, SaveStoresEveryControlWithItsConversion)
{
    store().setBool(true, "launchiTunes");
    store().setBool(true, "scrollDisabled");
    open();
    EXPECT_EQ(controller->noScroll->state(), 0);

    drag("sizeSlider", 200);
    drag("speedSlider", 25);
    controller->vertAdjustSlider->setDoubleValue(-2.7);
    click("noScroll");
    click("showNotes");
    click("curAlbum");
    click("nextArtist");
    click("clearPaused");
    choose("shouldLaunchiTunes", "Ask");
    choose("pieStyle", "Pie");
    choose("syncTime", "5 seconds");
    choose("targetFPS", "60 fps");
    controller->colorWell->setColor(kit::Color::colorWithDeviceRed(0.5, 0.25, 0.75, 1.0));
    controller->fontLabel->setStringValue("DejaVu Sans");
    controller->fontSizeLabel->setStringValue("13");

    click("saveButton");

    EXPECT_FALSE(window().isVisible());
    EXPECT_FALSE(controller->tunesView->isPaused());
    EXPECT_EQ(store().integerForKey("menuSize"), 200);
    EXPECT_FLOAT_EQ(store().floatForKey("scrollSpeed"), 2.5f);
    EXPECT_EQ(store().integerForKey("vertAdjust"), -2) << "truncated toward zero";
    EXPECT_FALSE(store().boolForKey("scrollDisabled")) << "noScroll on stores NO";
    EXPECT_FALSE(store().boolForKey("showNotes"));
    EXPECT_TRUE(store().boolForKey("curAlbum"));
    EXPECT_FALSE(store().boolForKey("nextArtist"));
    EXPECT_FALSE(store().boolForKey("clearPaused"));
    EXPECT_FALSE(store().objectForKey("launchiTunes")) << "the ask item removes the key";
    EXPECT_EQ(store().integerForKey("pieStyle"), 1);
    EXPECT_TRUE(store().boolForKey("showPie"));
    EXPECT_EQ(store().integerForKey("syncTime"), 5);
    EXPECT_EQ(store().integerForKey("framesPerSecond"), 60);
    EXPECT_FLOAT_EQ(store().floatForKey("font_R"), 0.5f);
    EXPECT_FLOAT_EQ(store().floatForKey("font_G"), 0.25f);
    EXPECT_FLOAT_EQ(store().floatForKey("font_B"), 0.75f);
    EXPECT_EQ(store().stringForKey("fontName"), "DejaVu Sans");
    EXPECT_EQ(store().integerForKey("fontSize"), 13);
    EXPECT_FALSE(store().boolForKey("hideDockIcon"));

    // Saved means applied: the status item and its marquee follow.
    EXPECT_EQ(controller->tunesMenu->length(), 200.0f);
    EXPECT_EQ(controller->tunesView->fps(), 60);
    EXPECT_EQ(controller->tunesView->pieStyle(), 1);
    EXPECT_FALSE(controller->trackPrefs[8]) << "clearPaused reached the cached switches";

    // And the store is on disk.
    kit::UserDefaults reread(store().path());
    EXPECT_EQ(reread.integerForKey("menuSize"), 200);

    // The other direction of the truncation.
    open();
    controller->vertAdjustSlider->setDoubleValue(3.9);
    click("saveButton");
    EXPECT_EQ(store().integerForKey("vertAdjust"), 3);
}

TEST_F(PrefsTest, LiveControlsChangeOnlyTheDemo)
{
    demo().setDisplayString("A line to render");
    open();
    kit::Image* firstImage = demo().img().get();

    click("showShadow");
    EXPECT_FALSE(demo().drawShadow());
    click("showNotes");
    EXPECT_FALSE(demo().drawNotes());
    click("fadeEdges");
    EXPECT_FALSE(demo().fadeEdges());
    drag("vertAdjustSlider", -4);
    EXPECT_EQ(demo().vertAdjust(), -4);
    choose("targetFPS", "24 fps");
    EXPECT_EQ(demo().fps(), 24);
    click("noScroll");
    EXPECT_TRUE(demo().scrollingDisabled());
    click("noScroll");
    EXPECT_FALSE(demo().scrollingDisabled());

    // The colour well: a change in its panel reaches the demo with alpha 1.
    click("colorWell");
    ASSERT_TRUE(controller->colorWell->isPanelVisible());
    auto* panel = window().widget()->findChild<QColorDialog*>();
    ASSERT_NE(panel, nullptr);
    panel->setCurrentColor(QColor::fromRgbF(1.0f, 0.0f, 0.0f, 0.5f));
    EXPECT_DOUBLE_EQ(demo().fontColor().redComponent(), 1.0);
    EXPECT_DOUBLE_EQ(demo().fontColor().alphaComponent(), 1.0);
    EXPECT_DOUBLE_EQ(controller->colorWell->color().redComponent(), 1.0);

    EXPECT_NE(demo().img().get(), firstImage) << "each live change renders the line again";

    // Nothing reached the status-bar marquee or the store.
    EXPECT_TRUE(controller->tunesView->drawShadow());
    EXPECT_EQ(controller->tunesView->fps(), 30);
    EXPECT_TRUE(store().boolForKey("fontShadow"));
    EXPECT_EQ(store().integerForKey("framesPerSecond"), 30);

    // A tag outside the table still re-renders.
    kit::Control stray(nullptr);
    stray.setTag(42);
    kit::Image* before = demo().img().get();
    controller->livePrefClick(&stray);
    EXPECT_NE(demo().img().get(), before);
}

TEST_F(PrefsTest, ThePositionStyleShowsOnlyWhileThePositionIsShown)
{
    store().setBool(false, "showPie");
    open();
    EXPECT_EQ(demo().pieStyle(), 0);

    choose("pieStyle", "Pie");
    EXPECT_EQ(demo().pieStyle(), 0) << "showPie off: the style waits";
    click("showPie");
    EXPECT_EQ(demo().pieStyle(), 1);
    choose("pieStyle", "Progress bar");
    EXPECT_EQ(demo().pieStyle(), 2);
    click("showPie");
    EXPECT_EQ(demo().pieStyle(), 0);
}

TEST_F(PrefsTest, SpeedResetTakesSliderAndDemoBackToOneButNotTheStore)
{
    store().setFloat(3.5f, "scrollSpeed");
    open();
    drag("speedSlider", 42);
    EXPECT_FLOAT_EQ(demo().scrollSpeed(), 4.2f);

    click("speedResetButton");
    EXPECT_DOUBLE_EQ(controller->speedSlider->doubleValue(), 1.0);
    EXPECT_EQ(child<QSlider>("speedSlider")->value(), 10);
    EXPECT_FLOAT_EQ(demo().scrollSpeed(), 1.0f);
    EXPECT_FLOAT_EQ(store().floatForKey("scrollSpeed"), 3.5f);
}

TEST_F(PrefsTest, HideDockAsksForARelaunchOrUndoesTheClickOnALockedBundle)
{
    open();
    click("hideDock");
    EXPECT_EQ(controller->hideDock->state(), 1);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText(), "Hide Dock Icon: Must relaunch");
    EXPECT_EQ(alerts[0].informativeText(),
              "Changes made to the Hide Dock Icon option will not be visible until the next time Zintara is launched.");
    EXPECT_EQ(alerts[0].defaultButton(), "Okie Dokie Artichokie");
    EXPECT_FALSE(alerts[0].alternateButton());
    EXPECT_FALSE(store().boolForKey("hideDockIcon")) << "only saving stores it";

    // A bundle whose Info.plist cannot be written (gone: the test runs as
    // any user, root included).
    std::filesystem::remove(bundlePath() + "/Contents/Info.plist");
    click("hideDock");
    EXPECT_EQ(controller->hideDock->state(), 1) << "the click is undone";
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_EQ(alerts[1].messageText(), "Oops, Zintara isn't writable");
    EXPECT_EQ(alerts[1].defaultButton(), "OK");
    EXPECT_EQ(alerts[1].informativeText(),
              "It appears you are running Zintara on a locked disk (perhaps you launched it directly from the disk "
              "image?), or you don't have adequate permissions to modify it.\n\nIn order to adjust the dock icon "
              "option, Zintara needs to be able to modify itself.\n\nUntil you have Zintara in a place where it is "
              "writable, the Hide Dock Icon option must remain unchanged.");

    click("saveButton");
    EXPECT_TRUE(store().boolForKey("hideDockIcon")) << "the checkbox reaches the store on save";
}

TEST_F(PrefsTest, HideDockUndoesTheClickWhenInfoPlistsFolderIsLocked)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    // The file alone is writable, but it can only be replaced as a whole.
    const std::string contents = bundlePath() + "/Contents";
    std::filesystem::permissions(contents, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    open();
    click("hideDock");
    std::filesystem::permissions(contents, std::filesystem::perms::owner_all);
    EXPECT_EQ(controller->hideDock->state(), 0) << "the click is undone";
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText(), "Oops, Zintara isn't writable");
}

TEST_F(PrefsTest, TheDemoIsCentredInItsFrameRoundingTowardZero)
{
    kit::View* frame = demo().superview();
    ASSERT_NE(frame, nullptr);
    EXPECT_GT(frame->frame().width(), 400.0) << "room for the widest marquee";
    frame->setFrame(kit::Rect(frame->frame().x(), frame->frame().y(), 300, frame->frame().height()));
    demo().setFrame(kit::Rect(3, 2, 50, 26.7));

    auto expectFrame = [&](double x, double width) {
        EXPECT_DOUBLE_EQ(demo().frame().x(), x);
        EXPECT_DOUBLE_EQ(demo().frame().y(), 8.0);
        EXPECT_DOUBLE_EQ(demo().frame().width(), width);
        EXPECT_DOUBLE_EQ(demo().frame().height(), 26.0);
    };
    controller->setDemoWidth(120);
    expectFrame(90, 120);
    controller->setDemoWidth(121);
    expectFrame(89, 121);
    controller->setDemoWidth(120.9f);
    expectFrame(89, 120);
    controller->setDemoWidth(321);
    expectFrame(-10, 321);

    // The size slider passes whole widths.
    controller->sizeSlider->setDoubleValue(120.9);
    controller->prefClick(controller->sizeSlider);
    expectFrame(90, 120);
}

TEST_F(PrefsTest, AFontChosenInThePanelReachesLabelsAndDemoButNotTheStore)
{
    store().setObject(std::string("DejaVu Sans"), "fontName");
    open();
    kit::FontPanel& panel = kit::FontPanel::sharedFontManager();
    click("fontButton");
    EXPECT_TRUE(panel.isPanelVisible());
    ASSERT_TRUE(panel.selectedFont());
    EXPECT_EQ(panel.selectedFont()->fontName(), "DejaVu Sans");
    EXPECT_DOUBLE_EQ(panel.selectedFont()->pointSize(), 10.0);

    panel.choose("DejaVu Serif", 13.5);
    EXPECT_EQ(controller->fontLabel->stringValue(), "DejaVu Serif");
    EXPECT_EQ(controller->fontSizeLabel->stringValue(), "13");
    ASSERT_TRUE(demo().oFont());
    EXPECT_EQ(demo().oFont()->fontName(), "DejaVu Serif");
    EXPECT_DOUBLE_EQ(demo().oFont()->pointSize(), 13.0);
    EXPECT_EQ(panel.selectedFont()->fontName(), "DejaVu Sans") << "each conversion starts from the chosen font";
    EXPECT_EQ(store().stringForKey("fontName"), "DejaVu Sans");
    const auto& statusFont = controller->tunesView->oFont();
    EXPECT_FALSE(statusFont && statusFont->fontName() == "DejaVu Serif") << "the status-bar marquee waits for save";

    click("cancelButton");
    EXPECT_EQ(store().stringForKey("fontName"), "DejaVu Sans");
    EXPECT_EQ(store().integerForKey("fontSize"), 10);
    open();
    EXPECT_EQ(controller->fontLabel->stringValue(), "DejaVu Sans");
    EXPECT_EQ(demo().oFont()->fontName(), "DejaVu Sans");

    panel.choose("DejaVu Serif", 13.5);
    click("saveButton");
    EXPECT_EQ(store().stringForKey("fontName"), "DejaVu Serif");
    EXPECT_EQ(store().integerForKey("fontSize"), 13);
    ASSERT_TRUE(controller->tunesView->oFont());
    EXPECT_EQ(controller->tunesView->oFont()->fontName(), "DejaVu Serif");
}

// Ink of a marquee's rendered line.
double inkOf(const TunesView& view)
{
    double sum = 0;
    if (!view.img())
        return sum;
    for (int y = 0; y < view.img()->pixelsHigh(); ++y)
        for (int x = 0; x < view.img()->pixelsWide(); ++x)
            sum += view.img()->colorAtPixel(x, y).alphaComponent();
    return sum;
}

TEST_F(PrefsTest, ABoldFaceSurvivesThePanelTheStoreAndARelaunch)
{
    store().setObject(std::string("DejaVu Sans Mono"), "fontName");
    store().setInteger(12, "fontSize");
    store().setBool(false, "fontShadow");
    open();
    kit::FontPanel& panel = kit::FontPanel::sharedFontManager();
    click("fontButton");
    panel.choose("DejaVu Sans Mono", "Bold", 12);
    EXPECT_EQ(controller->fontLabel->stringValue(), "DejaVu Sans Mono Bold");
    ASSERT_TRUE(demo().oFont());
    EXPECT_EQ(demo().oFont()->fontName(), "DejaVu Sans Mono Bold");
    click("saveButton");
    EXPECT_EQ(store().stringForKey("fontName"), "DejaVu Sans Mono Bold");
    ASSERT_TRUE(store().synchronize());

    // The next launch reads it back from the file and draws it bold.
    kit::UserDefaults::resetStandardUserDefaults();
    build("");
    controller->applicationDidFinishLaunching();
    ASSERT_TRUE(controller->tunesView->oFont());
    EXPECT_EQ(controller->tunesView->oFont()->fontName(), "DejaVu Sans Mono Bold");
    const std::string line = "Bold Title - Bold Artist";
    TunesView regular(kit::Rect(0, 0, 120, 22));
    regular.setDrawShadow(false);
    regular.setFont("DejaVu Sans Mono", 12);
    regular.setDisplayString(line);
    TunesView& drawn = *controller->tunesView;
    drawn.setDisplayString(line);
    EXPECT_GT(inkOf(drawn), inkOf(regular) * 1.2) << "the status-bar marquee draws the bold face";

    // And the panel opens on it again.
    open();
    click("fontButton");
    const auto shown = panel.shownFont();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->family, "DejaVu Sans Mono");
    EXPECT_EQ(shown->style, "Bold");
    EXPECT_EQ(shown->pointSize, 12);
}

TEST_F(PrefsTest, ThePanelOpensOnTheFontTheMarqueeReallyDraws)
{
    // The default "Monaco" is not installed: the marquee draws in the
    // default font, and that is where the panel starts.
    ASSERT_FALSE(kit::Font::fontWithName("Monaco", 10));
    open();
    kit::FontPanel& panel = kit::FontPanel::sharedFontManager();
    click("fontButton");
    const kit::Font drawnFont = kit::Font::defaultFont();
    ASSERT_TRUE(panel.selectedFont());
    EXPECT_EQ(panel.selectedFont()->fontName(), drawnFont.fontName());
    EXPECT_EQ(panel.selectedFont()->pointSize(), drawnFont.pointSize());
    const auto shown = panel.shownFont();
    ASSERT_TRUE(shown);
    EXPECT_EQ(drawnFont.fontName().rfind(shown->family, 0), 0u) << shown->family;
    EXPECT_EQ(shown->pointSize, 10);
    EXPECT_EQ(kit::Font::fontWithFace(shown->family, shown->style, 10)->fontName(), drawnFont.fontName());
    EXPECT_EQ(controller->fontLabel->stringValue(), "Monaco") << "opening the panel changes no label";
}

TEST_F(PrefsTest, AStoredValueThePopUpsDoNotOfferSurvivesASave)
{
    store().setInteger(25, "framesPerSecond");
    store().setInteger(7, "syncTime");
    store().setInteger(9, "pieStyle");
    open();
    click("saveButton");
    EXPECT_EQ(store().integerForKey("framesPerSecond"), 25);
    EXPECT_EQ(store().integerForKey("syncTime"), 7);
    EXPECT_EQ(store().integerForKey("pieStyle"), 9);
}

TEST_F(PrefsTest, ADiscardedControllerNoLongerHearsTheFontPanel)
{
    open();
    click("fontButton");
    controller.reset();
    kit::FontPanel::sharedFontManager().choose("DejaVu Serif", 12); // must not reach the old controller
    SUCCEED();
}

TEST_F(PrefsTest, ControlValuesFollowThePlatformsConversions)
{
    // Text read as an integer.
    EXPECT_EQ(kit::TextField::intValueOf("13.5"), 13);
    EXPECT_EQ(kit::TextField::intValueOf("  -7pt"), -7);
    EXPECT_EQ(kit::TextField::intValueOf("Monaco"), 0);
    EXPECT_EQ(kit::TextField::intValueOf("99999999999"), 2147483647);

    // A pop-up without the asked-for tag selects nothing.
    kit::PopUpButton& fps = *controller->targetFPS;
    EXPECT_FALSE(fps.selectItemWithTag(25));
    EXPECT_EQ(fps.selectedTag(), -1);
    EXPECT_TRUE(fps.selectItemWithTag(15));
    EXPECT_EQ(fps.itemTitle(fps.indexOfSelectedItem()), "15 fps");

    // Sliders clamp to their range and keep a set value exactly.
    kit::Slider& size = *controller->sizeSlider;
    size.setDoubleValue(1000);
    EXPECT_DOUBLE_EQ(size.doubleValue(), 400.0);
    size.setDoubleValue(10);
    EXPECT_DOUBLE_EQ(size.doubleValue(), 60.0);
    controller->speedSlider->setDoubleValue(1.25);
    EXPECT_DOUBLE_EQ(controller->speedSlider->doubleValue(), 1.25);
    EXPECT_DOUBLE_EQ(controller->speedSlider->minValue(), 0.1);
    EXPECT_DOUBLE_EQ(controller->speedSlider->maxValue(), 5.0);
}

} // namespace

// "Start at login" is the autostart entry's presence: saving writes or
// removes it, cancelling leaves it, and a change made outside shows at the
// next opening. Nothing goes into the store.
TEST_F(PrefsTest, StartAtLoginWritesOrRemovesTheAutostartEntry)
{
    const std::string entry = configHome() + "/autostart/org.zintara.Zintara.desktop";
    open();
    EXPECT_EQ(controller->startAtLogin->state(), 0);
    click("startAtLogin");
    click("cancelButton");
    EXPECT_FALSE(std::filesystem::exists(entry));

    open();
    click("startAtLogin");
    click("saveButton");
    const std::string text = testing_support::readFile(entry);
    EXPECT_NE(text.find("[Desktop Entry]\nType=Application\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nExec=\"" + QCoreApplication::applicationFilePath().toStdString() + "\"\n"),
              std::string::npos)
        << text;
    EXPECT_FALSE(store().objectForKey("startAtLogin"));
    EXPECT_TRUE(alerts.empty());

    open();
    EXPECT_EQ(controller->startAtLogin->state(), 1);
    click("startAtLogin");
    click("saveButton");
    EXPECT_FALSE(std::filesystem::exists(entry));

    // Removed or made outside: the checkbox follows the file.
    testing_support::writeFile(entry, "[Desktop Entry]\n");
    open();
    EXPECT_EQ(controller->startAtLogin->state(), 1);
    click("cancelButton");
}

TEST_F(PrefsTest, AnAutostartFolderThatCannotBeMadeIsReported)
{
    // A regular file where the folder should be: unwritable even for root.
    testing_support::writeFile(configHome() + "/autostart", "not a folder");
    open();
    click("startAtLogin");
    click("saveButton");
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText(), "Zintara could not be set to start at login");
    EXPECT_NE(alerts[0].informativeText().find(configHome() + "/autostart"), std::string::npos)
        << alerts[0].informativeText();
    open();
    EXPECT_EQ(controller->startAtLogin->state(), 0) << "the checkbox shows what is, not what was asked";
    click("cancelButton");
}

// The Exec value survives paths with spaces and the characters the desktop
// entry format reserves.
TEST(LoginItemEntry, QuotesAndEscapesTheProgramPath)
{
    EXPECT_NE(kit::LoginItem::entryText("/opt/my apps/zintara").find("\nExec=\"/opt/my apps/zintara\"\n"),
              std::string::npos);
    EXPECT_NE(kit::LoginItem::entryText("/a\"b$c`d\\e%f").find("\nExec=\"/a\\\\\"b\\\\$c\\\\`d\\\\\\\\e%%f\"\n"),
              std::string::npos)
        << kit::LoginItem::entryText("/a\"b$c`d\\e%f");
}

TEST_F(PrefsTest, TheAutostartEntryIsAValidDesktopEntry)
{
    if (std::system("command -v desktop-file-validate >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "desktop-file-validate is not installed";
    const std::string path = tempDir() + "/org.zintara.Zintara.desktop";
    testing_support::writeFile(path, kit::LoginItem::entryText("/opt/my apps/zin$tara"));
    EXPECT_EQ(std::system(("desktop-file-validate '" + path + "'").c_str()), 0);
}

TEST_F(PrefsTest, EveryLabelShowsItsWholeText)
{
    controller->showPrefsWnd();
    for (QLabel* label : controller->prefsWnd->widget()->findChildren<QLabel*>()) {
        if (label->wordWrap() || label->text().isEmpty() || label->textFormat() == Qt::RichText)
            continue;
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->contentsRect().width())
            << label->objectName().toStdString() << ": " << label->text().toStdString();
    }
}
