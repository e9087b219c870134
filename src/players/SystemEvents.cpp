#include "players/SystemEvents.h"

#include "kit/Workspace.h"
#include "players/PlayerObjects.h"

namespace players {

using script::Error;
using script::Reference;
using script::Result;
using script::Value;
namespace errc = script::errc;

namespace {

bool isProcessClass(const std::string& term)
{
    return term == "process" || term == "application process";
}

Error cantGet(const script::ObjectSpecifier& object)
{
    return objects::cantGet(object.path, object.path.size());
}

} // namespace

const script::Dictionary& SystemEvents::dictionary() const
{
    static const script::Dictionary dict{{"name"}, {"process", "application process"}, {}, {}};
    return dict;
}

std::optional<std::string> SystemEvents::process(const Reference& ref) const
{
    if (!isProcessClass(ref.term) || ref.kind == Reference::Kind::Property)
        return std::nullopt;
    const auto apps = kit::Workspace::sharedWorkspace().launchedApplications();
    if (ref.kind == Reference::Kind::ElementByName) {
        for (const auto& info : apps) {
            auto it = info.find("NSApplicationName");
            if (it != info.end() && it->second == ref.name)
                return it->second;
        }
        return std::nullopt;
    }
    const std::optional<std::size_t> place = objects::elementPlace(ref.index, apps.size());
    if (!place)
        return std::nullopt;
    const auto& info = apps[*place - 1];
    auto it = info.find("NSApplicationName");
    if (it == info.end())
        return std::nullopt;
    return it->second;
}

Result<Value> SystemEvents::get(const script::ObjectSpecifier& object)
{
    const auto& path = object.path;
    if (path.empty())
        return Value::object({name(), {}});
    const std::optional<std::string> found = process(path.front());
    if (!found || path.size() > 2 || (path.size() == 2 && path[1].term != "name"))
        return cantGet(object);
    if (path.size() == 2)
        return Value::text(*found);
    return Value::object({name(), {Reference{Reference::Kind::ElementByName, "process", 0, *found}}});
}

Result<Value> SystemEvents::set(const script::ObjectSpecifier&, const Value&)
{
    return Error{errc::CantSet, "System Events can't set that."};
}

Result<bool> SystemEvents::exists(const script::ObjectSpecifier& object)
{
    const auto& path = object.path;
    if (path.empty())
        return true;
    return process(path.front()) && (path.size() == 1 || (path.size() == 2 && path[1].term == "name"));
}

Result<Value> SystemEvents::command(const std::string& term, const std::optional<script::ObjectSpecifier>&)
{
    return Error{errc::DoesNotUnderstand, "System Events doesn't understand the \"" + term + "\" message."};
}

} // namespace players
