// A small MPRIS player for the tests: three tracks in a TrackList, with
// track numbers and ratings, whose state changes only when asked. Options
// make it lack what some players lack, refuse what some refuse, never
// answer, or leave in the middle of a call:
//
//   --name NAME        owns org.mpris.MediaPlayer2.NAME (default "zintaratest")
//   --identity TEXT    its Identity (default "Test Player")
//   --no-tracklist     HasTrackList false, no TrackList interface
//   --cannot-quit      CanQuit false
//   --read-only        refuses to set Shuffle and LoopStatus
//   --hang             takes every call and never answers
//   --vanish-on NAME   exits, without answering, when a call NAME arrives
//                      (a method, or a property for Get)
//   --refuse NAME      answers a call NAME with an error (as --vanish-on;
//                      may be given more than once)
//   --odd-metadata     the first track's metadata in the loose types some
//                      players send (a lone artist string, an unsigned
//                      length, a rating past 1, a number as text)
//   --tracks N         N tracks (3 at least); the ones past the third are
//                      "Song N"
//   --no-length        no mpris:length in any track
//   --rate R           its Rate (default 1)
//   --slow MS          answers every call MS milliseconds late
//   --invalidate       after every answer, invalidates its Metadata
//   --foreign-ids      describes every track under an id it never listed
//   --churn MS         its name changes owner every MS milliseconds, between
//                      two connections of its own
//   --title-suffix T   T added to every title
//   --late-tags MS     on a change of track, knows only the new file's name
//                      (xesam:url, no title) until it was asked once, or
//                      for MS milliseconds, then says the tags
//
// Beside the MPRIS interfaces, org.zintara.Test on the same path:
// ReplaceList gives every track a new id and says so (TrackListReplaced);
// Described returns how many tracks GetTracksMetadata was asked for so far.
//
// Its position does not move by itself: it is 42 s until SetPosition.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QHash>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

struct Options {
    QString name = "zintaratest";
    QString identity = "Test Player";
    bool trackList = true;
    bool canQuit = true;
    bool readOnly = false;
    bool hang = false;
    bool oddMetadata = false;
    QString vanishOn;
    QStringList refused;
    int tracks = 3;
    bool length = true;
    double rate = 1.0;
    int slowMs = 0;
    bool invalidate = false;
    bool foreignIds = false;
    int churnMs = 0;
    int lateTagsMs = 0;
    QString titleSuffix;
};

const char kPath[] = "/org/mpris/MediaPlayer2";
const char kRoot[] = "org.mpris.MediaPlayer2";
const char kPlayer[] = "org.mpris.MediaPlayer2.Player";
const char kTrackList[] = "org.mpris.MediaPlayer2.TrackList";
const char kProperties[] = "org.freedesktop.DBus.Properties";
const char kTest[] = "org.zintara.Test";

class TestPlayer : public QDBusVirtualObject {
public:
    explicit TestPlayer(Options options) : m_options(std::move(options))
    {
        m_tracks = {
            track(1, "First Light", {"Ann", "Bob"}, "Dawn", 1, 180, 0.8),
            track(2, "", {"Cy"}, "Dawn", 0, 200, -1, "file:///music/second%20take.ogg"),
            track(3, "Third", {"Ann"}, "Dusk", 3, 240, 0.35),
        };
        for (int n = 4; n <= m_options.tracks; ++n)
            m_tracks << track(n, QString("Song %1").arg(n), {"Many"}, "Long", n, 100 + n % 200, -1);
        for (QVariantMap& t : m_tracks) {
            if (t.contains("xesam:title"))
                t["xesam:title"] = t["xesam:title"].toString() + m_options.titleSuffix;
        }
        if (!m_options.length) {
            for (QVariantMap& t : m_tracks)
                t.remove("mpris:length");
        }
        if (m_options.oddMetadata) {
            QVariantMap& odd = m_tracks[0];
            odd["xesam:title"] = "Odd\tOne";
            odd["xesam:artist"] = "Solo";
            odd["mpris:length"] = qulonglong(120) * 1000000;
            odd["xesam:userRating"] = 7.5;
            odd["xesam:trackNumber"] = "7";
            odd["xesam:album"] = QStringList{"not", "a", "text"};
        }
    }

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (m_options.hang)
            return true; // taken, never answered
        if (m_options.slowMs > 0) {
            QTimer::singleShot(m_options.slowMs, qApp, [this, message, connection] { answer(message, connection); });
            return true;
        }
        return answer(message, connection);
    }

private:
    bool answer(const QDBusMessage& message, const QDBusConnection& connection)
    {
        QDBusConnection bus = connection;
        const bool answered = dispatch(message, bus);
        if (m_options.invalidate && message.interface() != kTest) {
            QDBusMessage signal = QDBusMessage::createSignal(kPath, kProperties, "PropertiesChanged");
            signal << QString(kPlayer) << QVariantMap() << QStringList{"Metadata"};
            bus.send(signal);
        }
        return answered;
    }

    bool dispatch(const QDBusMessage& message, QDBusConnection& bus)
    {
        const QString member = message.member();
        const QList<QVariant> args = message.arguments();
        const QString subject = member == "Get" && args.size() >= 2 ? args[1].toString() : member;
        if (!m_options.vanishOn.isEmpty() && subject == m_options.vanishOn)
            _exit(0);
        if (m_options.refused.contains(subject)) {
            bus.send(message.createErrorReply("org.freedesktop.DBus.Error.AccessDenied", "not allowed: " + subject));
            return true;
        }
        if (message.interface() == kTest)
            return test(message, bus);
        if (message.interface() == kProperties)
            return properties(message, bus);
        if (message.interface() == kRoot || (message.interface().isEmpty() && member == "Quit")) {
            if (member == "Quit" && m_options.canQuit) {
                bus.send(message.createReply());
                QTimer::singleShot(0, qApp, &QCoreApplication::quit);
                return true;
            }
            if (member == "Raise")
                return reply(bus, message, {});
        }
        if (message.interface() == kPlayer)
            return player(message, bus);
        if (message.interface() == kTrackList && m_options.trackList)
            return trackList(message, bus);
        bus.send(message.createErrorReply("org.freedesktop.DBus.Error.UnknownMethod", "no such method: " + member));
        return true;
    }

    static QDBusObjectPath idOf(const QVariantMap& track)
    {
        return track.value("mpris:trackid").value<QDBusObjectPath>();
    }

    QList<QDBusObjectPath> ids() const
    {
        QList<QDBusObjectPath> listed;
        for (const QVariantMap& t : m_tracks)
            listed << idOf(t);
        return listed;
    }

    bool test(const QDBusMessage& message, QDBusConnection& bus)
    {
        if (message.member() == "Described")
            return reply(bus, message, {qlonglong(m_described)});
        if (message.member() == "ReplaceList") {
            ++m_generation;
            for (int i = 0; i < int(m_tracks.size()); ++i) {
                m_tracks[i]["mpris:trackid"] = QVariant::fromValue(
                    QDBusObjectPath(QString("/org/zintara/list%1/track/%2").arg(m_generation).arg(i + 1)));
            }
            QDBusMessage replaced = QDBusMessage::createSignal(kPath, kTrackList, "TrackListReplaced");
            replaced << QVariant::fromValue(ids()) << QVariant::fromValue(idOf(m_tracks[m_current]));
            bus.send(replaced);
            changed(bus, kPlayer, {{"Metadata", m_tracks[m_current]}});
            return reply(bus, message, {});
        }
        bus.send(message.createErrorReply("org.freedesktop.DBus.Error.UnknownMethod", "no such method"));
        return true;
    }

    static QVariantMap track(int id, const QString& title, const QStringList& artist, const QString& album,
        int number, int seconds, double rating, const QString& url = {})
    {
        QVariantMap m;
        m["mpris:trackid"] = QVariant::fromValue(QDBusObjectPath(QString("/org/zintara/track/%1").arg(id)));
        if (!title.isEmpty())
            m["xesam:title"] = title;
        m["xesam:artist"] = artist;
        m["xesam:album"] = album;
        if (number > 0)
            m["xesam:trackNumber"] = number;
        m["mpris:length"] = qlonglong(seconds) * 1000000;
        if (rating >= 0)
            m["xesam:userRating"] = rating;
        if (!url.isEmpty())
            m["xesam:url"] = url;
        return m;
    }

    bool reply(QDBusConnection& bus, const QDBusMessage& message, const QList<QVariant>& values)
    {
        QDBusMessage answer = message.createReply();
        answer.setArguments(values);
        bus.send(answer);
        return true;
    }

    QVariantMap rootProperties() const
    {
        return {{"Identity", m_options.identity}, {"CanQuit", m_options.canQuit}, {"CanRaise", false},
            {"HasTrackList", m_options.trackList}, {"DesktopEntry", "zintara-test"},
            {"SupportedUriSchemes", QStringList{"file"}}, {"SupportedMimeTypes", QStringList{}}};
    }

    QVariantMap playerProperties() const
    {
        return {{"PlaybackStatus", m_status}, {"LoopStatus", m_loop}, {"Shuffle", m_shuffle},
            {"Rate", m_options.rate}, {"Metadata", metadata()}, {"Volume", 1.0},
            {"Position", m_position}, {"MinimumRate", 1.0}, {"MaximumRate", 1.0},
            {"CanGoNext", true}, {"CanGoPrevious", true}, {"CanPlay", true}, {"CanPause", true},
            {"CanSeek", true}, {"CanControl", !m_options.readOnly}};
    }

    QVariantMap trackListProperties() const
    {
        return {{"Tracks", QVariant::fromValue(ids())}, {"CanEditTracks", false}};
    }

    QVariantMap propertiesOf(const QString& interface) const
    {
        if (interface == kRoot)
            return rootProperties();
        if (interface == kPlayer)
            return playerProperties();
        if (interface == kTrackList && m_options.trackList)
            return trackListProperties();
        return {};
    }

    void changed(QDBusConnection& bus, const QString& interface, const QVariantMap& values)
    {
        QDBusMessage signal = QDBusMessage::createSignal(kPath, kProperties, "PropertiesChanged");
        signal << interface << values << QStringList();
        bus.send(signal);
    }

    bool properties(const QDBusMessage& message, QDBusConnection& bus)
    {
        const QList<QVariant> args = message.arguments();
        const QString interface = args.value(0).toString();
        if (message.member() == "GetAll") {
            reply(bus, message, {propertiesOf(interface)});
            if (interface == kPlayer)
                knowTags(bus);
            return true;
        }
        const QString name = args.value(1).toString();
        if (message.member() == "Get") {
            const QVariantMap all = propertiesOf(interface);
            if (!all.contains(name)) {
                bus.send(message.createErrorReply("org.freedesktop.DBus.Error.InvalidArgs", "no property " + name));
                return true;
            }
            return reply(bus, message, {QVariant::fromValue(QDBusVariant(all.value(name)))});
        }
        if (message.member() == "Set" && interface == kPlayer && !m_options.readOnly) {
            const QVariant value = args.value(2).value<QDBusVariant>().variant();
            if (name == "Shuffle") {
                m_shuffle = value.toBool();
                reply(bus, message, {});
                changed(bus, kPlayer, {{"Shuffle", m_shuffle}});
                return true;
            }
            if (name == "LoopStatus" && QStringList{"None", "Track", "Playlist"}.contains(value.toString())) {
                m_loop = value.toString();
                reply(bus, message, {});
                changed(bus, kPlayer, {{"LoopStatus", m_loop}});
                return true;
            }
        }
        bus.send(message.createErrorReply("org.freedesktop.DBus.Error.PropertyReadOnly", "cannot set " + name));
        return true;
    }

    // The current track as the player knows it now.
    QVariantMap metadata() const
    {
        if (!m_switching)
            return m_tracks[m_current];
        return {{"mpris:trackid", m_tracks[m_current].value("mpris:trackid")},
            {"xesam:url", QString("file:///music/%1.flac").arg(m_current + 1)}};
    }

    void moveTo(QDBusConnection& bus, int index)
    {
        m_current = index;
        m_position = 0;
        m_switching = m_options.lateTagsMs > 0;
        changed(bus, kPlayer, {{"Metadata", metadata()}});
        if (m_switching)
            QTimer::singleShot(m_options.lateTagsMs, qApp, [this, bus]() mutable { knowTags(bus); });
    }

    void knowTags(QDBusConnection& bus)
    {
        if (!m_switching)
            return;
        m_switching = false;
        changed(bus, kPlayer, {{"Metadata", metadata()}});
    }

    void setStatus(QDBusConnection& bus, const QString& status)
    {
        m_status = status;
        changed(bus, kPlayer, {{"PlaybackStatus", m_status}});
    }

    bool player(const QDBusMessage& message, QDBusConnection& bus)
    {
        const QString member = message.member();
        const int last = int(m_tracks.size()) - 1;
        if (member == "Play")
            setStatus(bus, "Playing");
        else if (member == "Pause")
            setStatus(bus, "Paused");
        else if (member == "PlayPause")
            setStatus(bus, m_status == "Playing" ? "Paused" : "Playing");
        else if (member == "Stop")
            setStatus(bus, "Stopped");
        else if (member == "Next")
            moveTo(bus, m_current < last ? m_current + 1 : (m_loop == "Playlist" ? 0 : m_current));
        else if (member == "Previous")
            moveTo(bus, m_current > 0 ? m_current - 1 : 0);
        else if (member == "SetPosition") {
            m_position = message.arguments().value(1).toLongLong();
            QDBusMessage signal = QDBusMessage::createSignal(kPath, kPlayer, "Seeked");
            signal << m_position;
            bus.send(signal);
        } else {
            bus.send(message.createErrorReply("org.freedesktop.DBus.Error.UnknownMethod", "no such method: " + member));
            return true;
        }
        return reply(bus, message, {});
    }

    bool trackList(const QDBusMessage& message, QDBusConnection& bus)
    {
        if (message.member() == "GetTracksMetadata") {
            QList<QVariantMap> found;
            const auto asked = qdbus_cast<QList<QDBusObjectPath>>(message.arguments().value(0));
            m_described += asked.size();
            QHash<QString, int> places;
            for (int i = 0; i < int(m_tracks.size()); ++i)
                places.insert(idOf(m_tracks[i]).path(), i);
            for (const QDBusObjectPath& id : asked) {
                const int place = places.value(id.path(), -1);
                if (place < 0)
                    continue;
                found << m_tracks[place];
                if (m_options.foreignIds)
                    found.back()["mpris:trackid"] = QVariant::fromValue(QDBusObjectPath("/org/zintara/elsewhere/" + QString::number(found.size())));
            }
            return reply(bus, message, {QVariant::fromValue(found)});
        }
        if (message.member() == "GoTo") {
            const auto id = message.arguments().value(0).value<QDBusObjectPath>();
            for (int i = 0; i < int(m_tracks.size()); ++i) {
                if (idOf(m_tracks[i]) == id)
                    moveTo(bus, i);
            }
            return reply(bus, message, {});
        }
        bus.send(message.createErrorReply("org.freedesktop.DBus.Error.UnknownMethod", "no such method"));
        return true;
    }

    Options m_options;
    QList<QVariantMap> m_tracks;
    int m_current = 0;
    QString m_status = "Playing";
    QString m_loop = "None";
    bool m_shuffle = false;
    qlonglong m_position = 42000000;
    int m_generation = 0;
    bool m_switching = false;
    qlonglong m_described = 0;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qDBusRegisterMetaType<QList<QVariantMap>>();
    Options options;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == "--name" && i + 1 < args.size())
            options.name = args[++i];
        else if (a == "--identity" && i + 1 < args.size())
            options.identity = args[++i];
        else if (a == "--vanish-on" && i + 1 < args.size())
            options.vanishOn = args[++i];
        else if (a == "--refuse" && i + 1 < args.size())
            options.refused << args[++i];
        else if (a == "--no-tracklist")
            options.trackList = false;
        else if (a == "--cannot-quit")
            options.canQuit = false;
        else if (a == "--read-only")
            options.readOnly = true;
        else if (a == "--hang")
            options.hang = true;
        else if (a == "--odd-metadata")
            options.oddMetadata = true;
        else if (a == "--tracks" && i + 1 < args.size())
            options.tracks = std::max(3, args[++i].toInt());
        else if (a == "--no-length")
            options.length = false;
        else if (a == "--rate" && i + 1 < args.size())
            options.rate = args[++i].toDouble();
        else if (a == "--slow" && i + 1 < args.size())
            options.slowMs = args[++i].toInt();
        else if (a == "--invalidate")
            options.invalidate = true;
        else if (a == "--foreign-ids")
            options.foreignIds = true;
        else if (a == "--title-suffix" && i + 1 < args.size())
            options.titleSuffix = args[++i];
        else if (a == "--late-tags" && i + 1 < args.size())
            options.lateTagsMs = args[++i].toInt();
        else if (a == "--churn" && i + 1 < args.size())
            options.churnMs = args[++i].toInt();
        else {
            std::fprintf(stderr, "mpris-test-service: unknown argument %s\n", qPrintable(a));
            return 2;
        }
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    TestPlayer player(options);
    const QString service = QString("org.mpris.MediaPlayer2.") + options.name;
    if (!bus.registerVirtualObject(kPath, &player, QDBusConnection::SingleNode) || !bus.registerService(service)) {
        std::fprintf(stderr, "mpris-test-service: cannot register on the session bus\n");
        return 1;
    }
    // Churning: the name goes back and forth between this connection and a
    // second one, each time under the other unique name.
    QDBusConnection other = options.churnMs > 0 ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, "churn") : bus;
    QTimer churn;
    bool second = false;
    if (options.churnMs > 0) {
        if (!other.registerVirtualObject(kPath, &player, QDBusConnection::SingleNode))
            return 1;
        QObject::connect(&churn, &QTimer::timeout, [&] {
            QDBusConnection from = second ? other : bus;
            QDBusConnection to = second ? bus : other;
            from.unregisterService(service);
            to.registerService(service);
            second = !second;
        });
        churn.start(options.churnMs);
    }
    return app.exec();
}
