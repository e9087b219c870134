#include "kit/Workspace.h"

#include <QDesktopServices>
#include <QUrl>

#include <algorithm>

namespace kit {

Workspace& Workspace::sharedWorkspace()
{
    static Workspace workspace;
    return workspace;
}

std::vector<Workspace::ApplicationInfo> Workspace::launchedApplications() const
{
    std::vector<ApplicationInfo> list;
    list.push_back({{"NSApplicationName", m_ownName}});
    for (const WorkspaceApplication* app : m_apps) {
        if (app->isRunning())
            list.push_back({{"NSApplicationName", app->applicationName()}});
    }
    return list;
}

bool Workspace::launchApplication(const std::string& name)
{
    WorkspaceApplication* app = application(name);
    return app && (app->isRunning() || app->launch());
}

bool Workspace::openURL(const std::string& url)
{
    if (m_urlHandler)
        return m_urlHandler(url);
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

void Workspace::addApplication(WorkspaceApplication* app)
{
    if (app && std::find(m_apps.begin(), m_apps.end(), app) == m_apps.end())
        m_apps.push_back(app);
}

void Workspace::removeApplication(WorkspaceApplication* app)
{
    std::erase(m_apps, app);
}

WorkspaceApplication* Workspace::application(const std::string& name) const
{
    for (WorkspaceApplication* app : m_apps) {
        if (app->applicationName() == name)
            return app;
    }
    return nullptr;
}

} // namespace kit
