// Arbitrary Metadata maps, as a media player on the session bus might send
// them, read as a track; and arbitrary readings of position and Rate,
// extrapolated. No bus is needed: the bytes pick the keys (the ones the
// reading looks at, or any), the types and the values, nested maps included.
// Whatever comes in, the track's numbers and the position must be ones the
// scripts can show: finite, never negative, the rating within 0..100.

#include "players/mpris/MprisMetadata.h"

#include <QDBusObjectPath>
#include <QStringList>
#include <QVariantMap>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool empty() const { return m_at >= m_size; }
    std::uint8_t byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    template <typename T> T number()
    {
        T value{};
        std::uint8_t raw[sizeof(T)] = {};
        for (std::size_t i = 0; i < sizeof(T); ++i)
            raw[i] = byte();
        std::memcpy(&value, raw, sizeof(T));
        return value;
    }
    QString text()
    {
        const std::size_t length = std::min<std::size_t>(byte() % 24, m_size - std::min(m_at, m_size));
        const QString s = QString::fromUtf8(reinterpret_cast<const char*>(m_data + m_at), qsizetype(length));
        m_at += length;
        return s;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

const char* const kKeys[] = {"mpris:trackid", "xesam:title", "xesam:url", "xesam:artist", "xesam:album",
    "xesam:trackNumber", "mpris:length", "xesam:userRating"};

QVariant value(Bytes& in, int depth);

QVariantMap map(Bytes& in, int depth)
{
    QVariantMap m;
    const int entries = in.byte() % 10;
    for (int i = 0; i < entries && !in.empty(); ++i) {
        const std::uint8_t k = in.byte();
        const QString key = k < 200 ? QString::fromLatin1(kKeys[k % std::size(kKeys)]) : in.text();
        m.insert(key, value(in, depth + 1));
    }
    return m;
}

QVariant value(Bytes& in, int depth)
{
    switch (in.byte() % 12) {
    case 0: return in.text();
    case 1: return QStringList{in.text(), in.text()};
    case 2: return QVariant::fromValue(in.number<qlonglong>());
    case 3: return QVariant::fromValue(in.number<qulonglong>());
    case 4: return in.number<double>();
    case 5: return in.byte() % 2 == 0;
    case 6: return QVariant::fromValue(in.number<int>());
    case 7: return QVariant::fromValue(QDBusObjectPath(in.text()));
    case 8: return depth < 3 ? QVariant(map(in, depth)) : QVariant();
    case 9: return QVariant::fromValue(in.number<std::uint8_t>());
    case 10: return QByteArray::fromStdString(in.text().toStdString());
    default: return QVariant();
    }
}

bool showable(double x) { return std::isfinite(x) && x >= 0.0; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Bytes in(data, size);
    const QVariantMap metadata = players::variantMap(QVariant(map(in, 0)));
    const players::MprisTrack track = players::trackFromMetadata(metadata);
    if (!showable(track.duration) || track.rating < 0 || track.rating > 100)
        std::abort();

    const double anchor = in.number<double>();
    const double elapsed = in.number<double>();
    const bool playing = in.byte() % 2 == 0;
    const QVariant rate = value(in, 0);
    const double position = players::playPosition(anchor, elapsed, playing, rate, track.duration);
    if (!showable(position) || (track.duration > 0.0 && position > track.duration))
        std::abort();
    return 0;
}
