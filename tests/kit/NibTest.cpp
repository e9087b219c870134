#include "kit/Alert.h"
#include "kit/Bundle.h"
#include "kit/Button.h"
#include "kit/Menu.h"
#include "kit/MenuItem.h"
#include "kit/Nib.h"
#include "kit/Window.h"
#include "support/TestEnvironment.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeySequence>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <vector>

namespace {

class NibTest : public testing_support::KitTest {
protected:
    std::string resource(const std::string& name) { return *kit::Bundle::mainBundle().pathForResource(name); }
    std::string writeUi(const std::string& name, const std::string& body)
    {
        const std::string path = tempDir() + "/" + name;
        testing_support::writeFile(path, R"(<?xml version="1.0" encoding="UTF-8"?><ui version="4.0">)" + body
                                             + "</ui>");
        return path;
    }
};

TEST_F(NibTest, ConnectsOutletsTagsAndActionsOfAWindow)
{
    kit::Nib nib;
    kit::Window* launchWnd = nullptr;
    kit::Button* alwaysLaunchBtn = nullptr;
    std::vector<int> clicked;
    nib.outlet("launchWnd", &launchWnd);
    nib.outlet("alwaysLaunchBtn", &alwaysLaunchBtn);
    nib.action("btnClick:", [&](kit::Control* sender) { clicked.push_back(sender->tag()); });

    std::string error;
    ASSERT_TRUE(nib.load(resource("Launch.ui"), &error)) << error;
    ASSERT_TRUE(nib.verifyOutlets(&error)) << error;
    ASSERT_NE(launchWnd, nullptr);
    ASSERT_NE(alwaysLaunchBtn, nullptr);
    EXPECT_EQ(launchWnd->title(), "Launch iTunes?");

    EXPECT_EQ(alwaysLaunchBtn->state(), 0);
    alwaysLaunchBtn->performClick();
    EXPECT_EQ(alwaysLaunchBtn->state(), 1);
    EXPECT_TRUE(clicked.empty()) << "the checkbox sends no action";

    for (const char* name : {"dontLaunchButton", "launchButton"})
        launchWnd->widget()->findChild<QAbstractButton*>(name)->click();
    EXPECT_EQ(clicked, (std::vector<int>{4, 3}));
}

// A player's name put into a window's texts is plain text there: no markup
// in the label, no shortcut in the button, no modified mark in the title.
TEST_F(NibTest, ANameInAWindowsTextsIsShownAsWritten)
{
    kit::Nib nib;
    kit::Window* launchWnd = nullptr;
    nib.outlet("launchWnd", &launchWnd);
    nib.action("btnClick:", [](kit::Control*) {});
    std::string error;
    ASSERT_TRUE(nib.load(resource("Launch.ui"), &error)) << error;
    ASSERT_NE(launchWnd, nullptr);

    const std::string name = "<h1>Tom</h1> &Jerry [*]";
    launchWnd->nameInTexts("iTunes", name);
    QWidget* widget = launchWnd->widget();
    EXPECT_EQ(launchWnd->title(), "Launch " + name + "?");
    widget->winId();
    EXPECT_EQ(widget->windowHandle()->title().toStdString(), "Launch " + name + "?");
    const QLabel* label = widget->findChild<QLabel*>("launchText");
    EXPECT_EQ(testing_support::shownText(label->text(), label->textFormat()).toStdString(),
              name + " is not running. Zintara shows and controls what it plays. Would you like to launch " + name
                  + " now?");
    const QAbstractButton* launch = widget->findChild<QAbstractButton*>("launchButton");
    EXPECT_EQ(testing_support::shownText(launch->text(), Qt::PlainText, true).toStdString(), "Launch " + name);
    EXPECT_EQ(QKeySequence::mnemonic(launch->text()), QKeySequence::mnemonic(QStringLiteral("&Launch")));
}

// An alert's texts, which name players, files and their faults, are shown as
// written.
TEST_F(NibTest, AnAlertShowsItsTextsAsWritten)
{
    const std::string message = "<b>Tom</b> & Jerry";
    const std::string informative = "&lt;b&gt; <a href=\"file:///etc\">/home/<i>me</i></a>\nagain";
    const std::string button = "Quit Tom &Jerry";
    std::vector<std::string> shown;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (const char* name : {"qt_msgbox_label", "qt_msgbox_informativelabel"}) {
            const QLabel* label = box->findChild<QLabel*>(name);
            ASSERT_NE(label, nullptr) << name;
            shown.push_back(testing_support::shownText(label->text(), label->textFormat()).toStdString());
        }
        for (QAbstractButton* b : box->buttons())
            shown.push_back(testing_support::shownText(b->text(), Qt::PlainText, true).toStdString());
        box->buttons().front()->click();
    });
    kit::Alert::alertWithMessageText(message, button, std::nullopt, std::nullopt, informative).runModal();
    EXPECT_EQ(shown, (std::vector<std::string>{message, informative, button}));
}

TEST_F(NibTest, BuildsTheDropDownMenuWithItsSubmenus)
{
    kit::Nib nib;
    kit::Menu* dropDown = nullptr;
    kit::Menu* rating = nullptr;
    kit::Menu* shuffle = nullptr;
    kit::Menu* repeat = nullptr;
    kit::MenuItem* quitTunes = nullptr;
    std::vector<int> selected;
    std::vector<int> rated;
    nib.outlet("dropDownMenu", &dropDown);
    nib.outlet("ratingMenu", &rating);
    nib.outlet("shuffleMenu", &shuffle);
    nib.outlet("repeatMenu", &repeat);
    nib.outlet("quitTunes", &quitTunes);
    nib.menuAction("menuSelect:", [&](kit::MenuItem* item) { selected.push_back(item->tag()); });
    nib.menuAction("ratingMenu:", [&](kit::MenuItem* item) { rated.push_back(item->tag()); });

    std::string error;
    ASSERT_TRUE(nib.load(resource("DropDownMenu.ui"), &error)) << error;
    ASSERT_TRUE(nib.verifyOutlets(&error)) << error;

    ASSERT_EQ(rating->numberOfItems(), 6);
    for (int position = 0; position < 6; ++position) {
        kit::MenuItem* item = rating->itemAtIndex(position);
        EXPECT_EQ(item->tag(), position);
        EXPECT_EQ(item->actionName(), "ratingMenu:");
    }
    EXPECT_EQ(rating->itemAtIndex(6), nullptr);
    EXPECT_EQ(rating->itemAtIndex(-1), nullptr);
    EXPECT_NE(shuffle->itemWithTag(25), nullptr);
    EXPECT_NE(shuffle->itemWithTag(26), nullptr);
    for (int tag : {27, 28, 29})
        EXPECT_NE(repeat->itemWithTag(tag), nullptr) << tag;
    for (int tag : {1, 20, 21, 22, 30, 31, 32, 99})
        EXPECT_NE(dropDown->itemWithTag(tag), nullptr) << tag;
    EXPECT_EQ(quitTunes, dropDown->itemWithTag(32));

    rating->itemAtIndex(3)->performAction();
    dropDown->itemWithTag(20)->performAction();
    EXPECT_EQ(rated, (std::vector<int>{3}));
    EXPECT_EQ(selected, (std::vector<int>{20}));

    // Choosing an item leaves its check mark to the program.
    kit::MenuItem* on = shuffle->itemWithTag(26);
    on->setState(1);
    on->qaction()->trigger();
    EXPECT_EQ(on->state(), 1);
    on->setState(0);
    EXPECT_EQ(on->state(), 0);

    EXPECT_EQ(selected, (std::vector<int>{20, 26}));

    // A disabled item cannot be chosen.
    quitTunes->setEnabled(false);
    quitTunes->performAction();
    EXPECT_EQ(selected, (std::vector<int>{20, 26}));
}

TEST_F(NibTest, RefusesFilesThatDoNotMatchTheOwner)
{
    const std::string unknownAction = writeUi("a.ui", R"(<widget class="QWidget" name="w">
      <widget class="QPushButton" name="b"><property name="action" stdset="0"><string>nope:</string></property></widget>
    </widget>)");
    kit::Nib nib;
    std::string error;
    EXPECT_FALSE(nib.load(unknownAction, &error));
    EXPECT_NE(error.find("nope:"), std::string::npos) << error;

    kit::Nib owner;
    kit::Window* missing = nullptr;
    owner.outlet("prefsWnd", &missing);
    owner.action("btnClick:", [](kit::Control*) {});
    ASSERT_TRUE(owner.load(resource("Welcome.ui"), &error)) << error;
    EXPECT_FALSE(owner.verifyOutlets(&error));
    EXPECT_NE(error.find("prefsWnd"), std::string::npos) << error;

    kit::Nib wrongKind;
    kit::Menu* notAMenu = nullptr;
    wrongKind.outlet("introWnd", &notAMenu);
    wrongKind.action("btnClick:", [](kit::Control*) {});
    EXPECT_FALSE(wrongKind.load(resource("Welcome.ui"), &error));

    EXPECT_FALSE(kit::Nib().load(tempDir() + "/absent.ui", &error));
    EXPECT_FALSE(kit::Nib().load(writeUi("broken.ui", "<widget class="), &error));
    EXPECT_FALSE(kit::Nib().load(writeUi("unknown.ui", R"(<widget class="NoSuchView" name="v"/>)"), &error));
}

} // namespace
