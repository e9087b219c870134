#include "players/mpris/MprisBus.h"

#include "players/mpris/MprisDirectory.h"
#include "players/mpris/MprisSession.h"

#include <QCoreApplication>

#include <cstring>

namespace players {

QDBusConnection mprisSessionBus()
{
    if (!QCoreApplication::instance()) {
        // Lives as long as the process; a host with a Qt application of its
        // own never gets here.
        static int argc = 1;
        static char name[] = "zintara";
        static char* argv[] = {name, nullptr};
        static QCoreApplication* application = new QCoreApplication(argc, argv);
        (void)application;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    // A new connection hands out signals only once the thread's event loop
    // has run the call that enables it; a host that runs no loop between
    // scripts would never see one. Run that call now, once.
    static const bool dispatching = [] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        return true;
    }();
    (void)dispatching;
    return bus;
}

QDBusMessage busDaemonCall(const QString& method, const QVariantList& arguments, int timeoutMs)
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", method);
    message.setArguments(arguments);
    return mprisSessionBus().call(message, QDBus::Block, timeoutMs);
}

std::string fallbackIdentity(const std::string& busName)
{
    std::string name = busName.rfind(kMprisPrefix, 0) == 0 ? busName.substr(std::strlen(kMprisPrefix)) : busName;
    if (const auto instance = name.find(".instance"); instance != std::string::npos)
        name.erase(instance);
    return name;
}

std::vector<MprisPeer> listMprisPlayers(const std::optional<PollBudget>& budget)
{
    return MprisDirectory::shared().players(budget);
}

} // namespace players
