#include "kit/Task.h"

#include <QProcess>
#include <QStringList>

namespace kit {

namespace {
Task::Launcher& launcher()
{
    static Task::Launcher l;
    return l;
}
} // namespace

void Task::setLauncher(Launcher l)
{
    launcher() = std::move(l);
}

bool Task::launchedTaskWithLaunchPath(const std::string& path, const std::vector<std::string>& arguments)
{
    if (launcher())
        return launcher()(path, arguments);
    QStringList args;
    for (const std::string& argument : arguments)
        args << QString::fromStdString(argument);
    return QProcess::startDetached(QString::fromStdString(path), args);
}

} // namespace kit
