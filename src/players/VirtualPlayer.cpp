#include "players/VirtualPlayer.h"

#include "kit/Clock.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace players {

VirtualPlayer::VirtualPlayer(std::string name, Library library, std::uint32_t shuffleSeed)
    : m_name(std::move(name))
    , m_lib(std::move(library))
    , m_running(m_lib.running)
    , m_random(shuffleSeed)
{
    buildOrder();
    restartClock();
    kit::Workspace::sharedWorkspace().addApplication(this);
}

VirtualPlayer::~VirtualPlayer()
{
    kit::Workspace::sharedWorkspace().removeApplication(this);
}

bool VirtualPlayer::launch()
{
    if (m_running)
        return true;
    m_running = true;
    if (m_lib.tracks.empty())
        return true;
    if (m_lib.currentTrack == 0) {
        m_lib.currentTrack = m_order.front();
        m_lib.playerPosition = 0.0;
    }
    m_lib.playerState = PlayerState::Playing;
    restartClock();
    advancePastEnd();
    return true;
}

void VirtualPlayer::quit()
{
    if (!m_running)
        return;
    settle();
    if (m_lib.playerState == PlayerState::Playing)
        m_lib.playerState = PlayerState::Paused;
    m_running = false;
}

PlayerState VirtualPlayer::playerState()
{
    settle();
    return m_lib.playerState;
}

double VirtualPlayer::playerPosition()
{
    settle();
    return m_lib.playerPosition;
}

std::size_t VirtualPlayer::currentTrack()
{
    settle();
    return m_lib.currentTrack;
}

bool VirtualPlayer::setPlayerPosition(double seconds)
{
    settle();
    if (m_lib.currentTrack == 0)
        return false;
    const double duration = track(m_lib.currentTrack).duration;
    seconds = std::max(0.0, seconds);
    if (duration > 0)
        seconds = std::min(seconds, duration);
    m_lib.playerPosition = seconds;
    restartClock();
    if (m_lib.playerState == PlayerState::Playing)
        advancePastEnd();
    return true;
}

void VirtualPlayer::setRating(std::size_t index, std::int64_t rating)
{
    track(index).rating = int(std::clamp<std::int64_t>(rating, 0, 100));
}

void VirtualPlayer::setShuffle(bool on)
{
    settle(); // time already played counts under the old order
    if (on == m_lib.shuffle)
        return;
    m_lib.shuffle = on;
    buildOrder();
}

void VirtualPlayer::setSongRepeat(SongRepeat repeat)
{
    settle();
    m_lib.songRepeat = repeat;
}

void VirtualPlayer::play()
{
    if (!m_running)
        return;
    settle();
    switch (m_lib.playerState) {
    case PlayerState::Playing:
        return;
    case PlayerState::Paused:
        m_lib.playerState = PlayerState::Playing;
        restartClock();
        advancePastEnd();
        return;
    case PlayerState::Stopped:
        if (!m_lib.tracks.empty())
            playTrack(m_order.front());
        return;
    }
}

void VirtualPlayer::playTrack(std::size_t index)
{
    if (!m_running || index == 0 || index > m_lib.tracks.size())
        return;
    settle();
    m_lib.currentTrack = index;
    m_lib.playerPosition = 0.0;
    m_lib.playerState = PlayerState::Playing;
    restartClock();
}

void VirtualPlayer::pause()
{
    settle();
    if (m_lib.playerState == PlayerState::Playing)
        m_lib.playerState = PlayerState::Paused;
}

void VirtualPlayer::playPause()
{
    if (playerState() == PlayerState::Playing)
        pause();
    else
        play();
}

void VirtualPlayer::stop()
{
    settle();
    m_lib.playerState = PlayerState::Stopped;
    m_lib.currentTrack = 0;
    m_lib.playerPosition = 0.0;
}

void VirtualPlayer::nextTrack()
{
    settle();
    if (m_lib.currentTrack == 0)
        return;
    const std::size_t next = successor(m_lib.currentTrack);
    if (next == 0) {
        stopAtEnd();
        return;
    }
    m_lib.currentTrack = next;
    m_lib.playerPosition = 0.0;
    restartClock();
}

void VirtualPlayer::previousTrack()
{
    settle();
    if (m_lib.currentTrack == 0)
        return;
    if (m_lib.playerPosition <= kRestartThreshold) {
        if (const std::size_t previous = predecessor(m_lib.currentTrack))
            m_lib.currentTrack = previous;
    }
    m_lib.playerPosition = 0.0;
    restartClock();
}

void VirtualPlayer::settle()
{
    if (!m_running || m_lib.playerState != PlayerState::Playing)
        return;
    const double now = kit::Clock::current().now();
    if (now > m_since)
        m_lib.playerPosition += now - m_since;
    m_since = now;
    advancePastEnd();
}

void VirtualPlayer::advancePastEnd()
{
    bool cycled = false;
    while (m_lib.playerState == PlayerState::Playing && m_lib.currentTrack != 0) {
        const double duration = track(m_lib.currentTrack).duration;
        double& position = m_lib.playerPosition;
        if (duration <= 0 || position < duration)
            return;
        if (m_lib.songRepeat == SongRepeat::One) {
            position = std::fmod(position, duration);
            return;
        }
        if (m_lib.songRepeat == SongRepeat::All && !cycled) {
            // A whole pass of the play order brings the same track back at
            // the same place, so a long absence costs one pass at most.
            cycled = true;
            double cycle = 0.0;
            bool endless = false;
            for (const Track& t : m_lib.tracks) {
                endless = endless || t.duration <= 0;
                cycle += t.duration;
            }
            if (!endless && position >= cycle) {
                position = std::fmod(position, cycle);
                continue;
            }
        }
        position -= duration;
        const std::size_t next = successor(m_lib.currentTrack);
        if (next == 0) {
            stopAtEnd();
            return;
        }
        m_lib.currentTrack = next;
    }
}

void VirtualPlayer::stopAtEnd()
{
    m_lib.playerState = PlayerState::Stopped;
    m_lib.currentTrack = 0;
    m_lib.playerPosition = 0.0;
}

void VirtualPlayer::restartClock()
{
    m_since = kit::Clock::current().now();
}

void VirtualPlayer::buildOrder()
{
    m_order.resize(m_lib.tracks.size());
    std::iota(m_order.begin(), m_order.end(), std::size_t(1));
    if (m_lib.shuffle) {
        std::shuffle(m_order.begin(), m_order.end(), m_random);
        // The playing track stays current and leads the new order.
        if (m_lib.currentTrack != 0) {
            auto it = std::find(m_order.begin(), m_order.end(), m_lib.currentTrack);
            std::rotate(m_order.begin(), it, it + 1);
        }
    }
    m_place.resize(m_order.size());
    for (std::size_t i = 0; i < m_order.size(); ++i)
        m_place[m_order[i] - 1] = i;
}

std::size_t VirtualPlayer::successor(std::size_t index) const
{
    const std::size_t place = m_place[index - 1] + 1;
    if (place < m_order.size())
        return m_order[place];
    return m_lib.songRepeat == SongRepeat::All ? m_order.front() : 0;
}

std::size_t VirtualPlayer::predecessor(std::size_t index) const
{
    const std::size_t place = m_place[index - 1];
    if (place > 0)
        return m_order[place - 1];
    return m_lib.songRepeat == SongRepeat::All ? m_order.back() : 0;
}

} // namespace players
