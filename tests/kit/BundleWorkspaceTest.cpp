#include "kit/Bundle.h"
#include "kit/Workspace.h"
#include "support/TestEnvironment.h"

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

class BundleTest : public testing_support::KitTest {
protected:
    std::string makeBundle(const fs::path& at, const std::string& identifier)
    {
        fs::create_directories(at / "Contents" / "Resources");
        testing_support::writeFile((at / "Contents" / "Info.plist").string(),
                                   "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleIdentifier</key>"
                                   "<string>" + identifier + "</string></dict></plist>");
        return fs::weakly_canonical(at).string();
    }
    void TearDown() override
    {
        unsetenv("ZINTARA_BUNDLE");
        KitTest::TearDown();
    }
};

TEST_F(BundleTest, FoundBesideTheProgramInstalledOrFromTheEnvironment)
{
    const fs::path root = tempDir();
    const std::string buildTree = makeBundle(root / "build" / "Zintara.app", "build");
    EXPECT_EQ(kit::Bundle::locate((root / "build" / "zintara").string()), buildTree);

    const std::string installed = makeBundle(root / "usr" / "share" / "zintara" / "Zintara.app", "installed");
    EXPECT_EQ(kit::Bundle::locate((root / "usr" / "bin" / "zintara").string()), installed);

    const std::string inside = makeBundle(root / "Inside.app", "inside");
    EXPECT_EQ(kit::Bundle::locate((root / "Inside.app" / "Contents" / "Linux" / "zintara").string()), inside);

    setenv("ZINTARA_BUNDLE", "/somewhere/else", 1);
    EXPECT_EQ(kit::Bundle::locate((root / "build" / "zintara").string()), "/somewhere/else");
}

TEST_F(BundleTest, ReadsItsInfoAndResources)
{
    const kit::Bundle& bundle = kit::Bundle::mainBundle();
    EXPECT_EQ(bundle.bundlePath(), bundlePath());
    EXPECT_EQ(bundle.bundleIdentifier(), "org.zintara.Zintara");
    EXPECT_EQ(bundle.infoString("CFBundleName"), "Zintara");
    EXPECT_TRUE(bundle.pathForResource("Welcome.ui"));
    EXPECT_FALSE(bundle.pathForResource("absent.png"));
    EXPECT_FALSE(bundle.pathForResource("../Info.plist")) << "resources stay inside the folder";
    EXPECT_FALSE(bundle.pathForResource(""));

    // A bundle whose Info.plist is broken still has an identifier.
    testing_support::writeFile(bundle.infoPlistPath(), "<plist><dict><key>");
    EXPECT_EQ(bundle.bundleIdentifier(), "org.zintara.Zintara");
    EXPECT_FALSE(bundle.infoString("CFBundleName"));
}

class FakeApp : public kit::WorkspaceApplication {
public:
    explicit FakeApp(std::string name, bool startable = true) : m_name(std::move(name)), m_startable(startable) {}
    std::string applicationName() const override { return m_name; }
    bool isRunning() const override { return m_running; }
    bool launch() override
    {
        ++launches;
        m_running = m_startable;
        return m_running;
    }
    int launches = 0;

private:
    std::string m_name;
    bool m_startable;
    bool m_running = false;
};

TEST_F(BundleTest, WorkspaceListsRunningApplicationsAndLaunchesByExactName)
{
    kit::Workspace& workspace = kit::Workspace::sharedWorkspace();
    FakeApp player("iTunes");
    FakeApp broken("Broken", false);
    workspace.addApplication(&player);
    workspace.addApplication(&broken);
    workspace.addApplication(&player); // once only

    auto names = [&] {
        std::vector<std::string> list;
        for (const auto& info : workspace.launchedApplications())
            list.push_back(info.at("NSApplicationName"));
        return list;
    };
    EXPECT_EQ(names(), (std::vector<std::string>{"Zintara"}));
    EXPECT_FALSE(workspace.launchApplication("itunes"));
    EXPECT_TRUE(workspace.launchApplication("iTunes"));
    EXPECT_TRUE(workspace.launchApplication("iTunes")); // already running: not launched twice
    EXPECT_EQ(player.launches, 1);
    EXPECT_FALSE(workspace.launchApplication("Broken"));
    EXPECT_FALSE(workspace.launchApplication("Nothing"));
    EXPECT_EQ(names(), (std::vector<std::string>{"Zintara", "iTunes"}));

    std::vector<std::string> opened;
    workspace.setURLHandler([&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    EXPECT_TRUE(workspace.openURL("https://zintara.org"));
    EXPECT_EQ(opened, (std::vector<std::string>{"https://zintara.org"}));
    workspace.setURLHandler(nullptr);

    workspace.removeApplication(&player);
    workspace.removeApplication(&broken);
    EXPECT_EQ(names(), (std::vector<std::string>{"Zintara"}));
}

} // namespace
