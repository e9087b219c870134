#pragma once

#include "script/Dictionary.h"
#include "script/Error.h"
#include "script/ObjectSpecifier.h"
#include "script/Value.h"

#include <optional>
#include <string>

namespace script {

// What the engine asks of an application a script addresses. The engine
// knows nothing else about it: no player, no platform.
class ScriptableApplication {
public:
    virtual ~ScriptableApplication() = default;

    virtual std::string name() const = 0;
    // Available whether or not the application runs, as terminology is.
    virtual const Dictionary& dictionary() const = 0;

    // Not const: a real player may have to ask (and remember the answer).
    virtual bool isRunning() = 0;
    // Starts the application. The engine calls it before sending any event
    // to an application that is not running.
    virtual void launch() = 0;
    // Why the last launch() left the application not running, in words for
    // the user; empty when there is nothing more to say than that it isn't.
    virtual std::string launchProblem() const { return {}; }

    virtual Result<Value> get(const ObjectSpecifier& object) = 0;
    virtual Result<Value> set(const ObjectSpecifier& object, const Value& value) = 0;
    virtual Result<bool> exists(const ObjectSpecifier& object) = 0;
    // A command such as "play" or "next track", with its direct object when
    // the script gave one (`quit`, `play track 3`).
    virtual Result<Value> command(const std::string& term, const std::optional<ObjectSpecifier>& directObject) = 0;
};

// Finds applications by name, without regard to case ("itunes" finds
// "iTunes"). Not owning.
class ApplicationDirectory {
public:
    virtual ~ApplicationDirectory() = default;
    virtual ScriptableApplication* find(const std::string& name) const = 0;
};

} // namespace script
