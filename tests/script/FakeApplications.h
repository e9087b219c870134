#pragma once

#include "script/ScriptableApplication.h"

#include <string>
#include <vector>

namespace fake {

struct Track {
    std::string name;
    std::string artist;
    std::string album;
    std::int64_t trackNumber = 0;
    std::int64_t trackCount = 0;
    double duration = 0.0;
    std::int64_t rating = 0;
};

// A player that answers the terms the marquee's scripts use, over one
// playlist. It refuses every event while it is not running, so a test sees
// at once when the engine forgot to launch it.
class Player : public script::ScriptableApplication {
public:
    Player();

    std::string name() const override { return "iTunes"; }
    const script::Dictionary& dictionary() const override { return m_dictionary; }
    bool isRunning() override { return running; }
    void launch() override;
    std::string launchProblem() const override { return launchFailure; }

    script::Result<script::Value> get(const script::ObjectSpecifier& object) override;
    script::Result<script::Value> set(const script::ObjectSpecifier& object, const script::Value& value) override;
    script::Result<bool> exists(const script::ObjectSpecifier& object) override;
    script::Result<script::Value> command(const std::string& term,
                                          const std::optional<script::ObjectSpecifier>& directObject) override;

    std::vector<Track> playlist;
    std::size_t current = 0; // 1-based; 0: no current track
    std::string state = "stopped";
    double position = 0.0;
    bool shuffle = false;
    std::string songRepeat = "off";
    bool running = true;
    bool canLaunch = true;
    std::string launchFailure; // what launchProblem() says
    int launches = 0;
    int events = 0;
    std::vector<std::string> commands;

private:
    // Where a path leads: the application, the playlist, a track or a
    // property of one of them.
    struct Place {
        enum class Kind { Application, Playlist, Track, Property } kind = Kind::Application;
        std::size_t track = 0;
        std::string property;
        Kind owner = Kind::Application; // Property: whose property
    };
    script::Result<Place> walk(const script::ObjectSpecifier& object) const;
    script::Result<script::Value> read(const Place& place) const;
    script::Error refuse() const;

    script::Dictionary m_dictionary;
};

// Knows one element class, `process`, whose members are the running
// applications of the directory it is given.
class SystemEvents : public script::ScriptableApplication {
public:
    explicit SystemEvents(const script::ApplicationDirectory& apps);

    std::string name() const override { return "System Events"; }
    const script::Dictionary& dictionary() const override { return m_dictionary; }
    bool isRunning() override { return true; }
    void launch() override {}

    script::Result<script::Value> get(const script::ObjectSpecifier& object) override;
    script::Result<script::Value> set(const script::ObjectSpecifier& object, const script::Value& value) override;
    script::Result<bool> exists(const script::ObjectSpecifier& object) override;
    script::Result<script::Value> command(const std::string& term,
                                          const std::optional<script::ObjectSpecifier>& directObject) override;

private:
    const script::ApplicationDirectory& m_apps;
    script::Dictionary m_dictionary;
};

class Directory : public script::ApplicationDirectory {
public:
    void add(script::ScriptableApplication& app) { m_apps.push_back(&app); }
    script::ScriptableApplication* find(const std::string& name) const override;

private:
    std::vector<script::ScriptableApplication*> m_apps;
};

// The usual world of the tests: the player runs and plays track 2 of a
// three-track playlist, 50 of 200 seconds in, rated 80, shuffle off,
// repeating all.
struct World {
    World();
    Player player;
    Directory apps;
    SystemEvents systemEvents{apps};
};

} // namespace fake
