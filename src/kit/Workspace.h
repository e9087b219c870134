#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kit {

// An application the workspace can report and launch: this program itself,
// or a player stand-in that the scripts address by name.
class WorkspaceApplication {
public:
    virtual ~WorkspaceApplication() = default;
    virtual std::string applicationName() const = 0;
    virtual bool isRunning() const = 0;
    // Starts the application; true when it runs afterwards.
    virtual bool launch() = 0;
};

class Workspace {
public:
    static Workspace& sharedWorkspace();

    using ApplicationInfo = std::map<std::string, std::string>;

    // One dictionary per running application, each with "NSApplicationName";
    // this program first, then the registered applications that run.
    std::vector<ApplicationInfo> launchedApplications() const;

    // Launches a registered application by exact name; false when none has
    // that name or it did not start.
    bool launchApplication(const std::string& name);

    // Opens a URL in the user's browser.
    bool openURL(const std::string& url);

    // Registration; not owning. An application must unregister before it dies.
    void addApplication(WorkspaceApplication* app);
    void removeApplication(WorkspaceApplication* app);
    WorkspaceApplication* application(const std::string& name) const;

    // This program's own name in the list ("Zintara").
    void setOwnName(std::string name) { m_ownName = std::move(name); }

    // Replaces the browser (tests): the handler receives each URL.
    void setURLHandler(std::function<bool(const std::string&)> handler) { m_urlHandler = std::move(handler); }

private:
    std::vector<WorkspaceApplication*> m_apps;
    std::string m_ownName = "Zintara";
    std::function<bool(const std::string&)> m_urlHandler;
};

} // namespace kit
