#include "players/mpris/MprisMetadata.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace players {

namespace {

// The track id players send when there is no track.
constexpr char kNoTrack[] = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

QStringList textList(const QVariant& value)
{
    if (value.userType() == qMetaTypeId<QDBusArgument>())
        return qdbus_cast<QStringList>(value.value<QDBusArgument>());
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList();
    const QString single = value.toString();
    return single.isEmpty() ? QStringList{} : QStringList{single};
}

QString objectPath(const QVariant& value)
{
    if (value.userType() == qMetaTypeId<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.toString();
}

} // namespace

QVariantMap variantMap(const QVariant& value)
{
    if (value.userType() == qMetaTypeId<QDBusArgument>())
        return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    return value.toMap();
}

MprisTrack trackFromMetadata(const QVariantMap& metadata)
{
    MprisTrack track;
    track.trackId = objectPath(metadata.value("mpris:trackid")).toStdString();
    QString title = metadata.value("xesam:title").toString();
    const QString url = metadata.value("xesam:url").toString();
    if (title.isEmpty() && !url.isEmpty())
        title = QUrl(url).fileName();
    track.name = title.toStdString();
    track.artist = textList(metadata.value("xesam:artist")).join(", ").toStdString();
    track.album = metadata.value("xesam:album").toString().toStdString();
    track.trackNumber = metadata.value("xesam:trackNumber").toLongLong();
    track.duration = std::max(0.0, double(metadata.value("mpris:length").toLongLong()) / 1e6);
    const double rating = metadata.value("xesam:userRating").toDouble();
    if (std::isfinite(rating))
        track.rating = std::llround(std::clamp(rating, 0.0, 1.0) * 100.0);
    track.present = !(track.trackId.empty() || track.trackId == kNoTrack) || !title.isEmpty() || !url.isEmpty();
    return track;
}

double playPosition(double anchorSeconds, double elapsed, bool playing, const QVariant& rate, double duration)
{
    const double anchor = std::isfinite(anchorSeconds) ? anchorSeconds : 0.0;
    double seconds = anchor;
    if (playing && elapsed > 0.0) {
        bool known = false;
        double speed = rate.toDouble(&known);
        if (!known || !std::isfinite(speed))
            speed = 1.0;
        seconds += speed * elapsed;
        if (!std::isfinite(seconds))
            seconds = anchor;
    }
    seconds = std::max(0.0, seconds);
    if (duration > 0.0)
        seconds = std::min(seconds, duration);
    return seconds;
}

} // namespace players
