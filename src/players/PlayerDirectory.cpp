#include "players/PlayerDirectory.h"

namespace players {

namespace {

bool sameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

} // namespace

PlayerDirectory::PlayerDirectory() = default;

void PlayerDirectory::setPlayer(std::unique_ptr<script::ScriptableApplication> player)
{
    m_player = std::move(player);
}

script::ScriptableApplication* PlayerDirectory::find(const std::string& name) const
{
    if (m_player && sameName(name, m_player->name()))
        return m_player.get();
    if (sameName(name, m_systemEvents.name()))
        return &m_systemEvents;
    return nullptr;
}

} // namespace players
