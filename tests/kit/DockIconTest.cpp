// The Dock icon as a tray icon follows the bundle's LSUIElement as the
// platform reads it at launch.
#include "kit/DockIcon.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QSystemTrayIcon>

#include <gtest/gtest.h>

#include <regex>

using namespace kit;

namespace {

class DockIconTest : public testing_support::KitTest {
protected:
    void TearDown() override
    {
        DockIcon::shared().resetForTesting();
        KitTest::TearDown();
    }

    // Rewrites the bundle's LSUIElement entry (`entry` is the whole value
    // element, or "" to drop the key).
    void setEntry(const std::string& entry)
    {
        const std::string path = bundlePath() + "/Contents/Info.plist";
        std::string info = testing_support::readFile(path);
        info = std::regex_replace(info, std::regex("\\s*<key>LSUIElement</key>\\s*<[^>]*>[^<]*</[^>]*>"), "");
        if (!entry.empty())
            info = std::regex_replace(info, std::regex("<dict>"), "<dict><key>LSUIElement</key>" + entry);
        testing_support::writeFile(path, info);
    }

    bool shownWith(const std::string& entry)
    {
        setEntry(entry);
        DockIcon::shared().applyBundleSetting();
        return DockIcon::shared().isShown();
    }
};

TEST_F(DockIconTest, ShownUnlessTheBundleSaysUIElement)
{
    EXPECT_TRUE(shownWith("<string>0</string>"));
    EXPECT_FALSE(shownWith("<string>1</string>"));
    EXPECT_TRUE(shownWith(""));                 // absent counts as 0
    EXPECT_TRUE(shownWith("<string></string>")); // so does the empty string
    EXPECT_FALSE(shownWith("<string>1</string>"));
}

TEST_F(DockIconTest, TooltipOnlyWhileShownAndAsWritten)
{
    shownWith("<string>0</string>");
    DockIcon::shared().setToolTip("Beta - Bob");
    EXPECT_EQ(DockIcon::shared().toolTip(), "Beta - Bob");
    // A track's title is plain text, whatever it looks like: no heading, no
    // image read from a file, entities as written.
    const QSystemTrayIcon* tray = qApp->findChild<QSystemTrayIcon*>();
    ASSERT_NE(tray, nullptr);
    for (const std::string title : {"<h1>Beta</h1><img src=\"/usr/share/pixmaps/debian-logo.png\"> - Bob",
                                    "Tom & Jerry &lt;live&gt;    NEXT: <b>x", "Tom & Jerry", "Beta - Bob"}) {
        DockIcon::shared().setToolTip(title);
        EXPECT_EQ(DockIcon::shared().toolTip(), title);
        EXPECT_EQ(testing_support::shownText(tray->toolTip(), Qt::AutoText).toStdString(), title);
    }
    shownWith("<string>1</string>");
    DockIcon::shared().setToolTip("Beta - Bob");
    EXPECT_EQ(DockIcon::shared().toolTip(), "");
}

} // namespace
