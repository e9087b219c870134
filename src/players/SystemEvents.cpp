#include "players/SystemEvents.h"

#include "kit/Workspace.h"

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
    std::string text;
    for (auto it = object.path.rbegin(); it != object.path.rend(); ++it) {
        if (!text.empty())
            text += " of ";
        text += it->term;
        if (it->kind == Reference::Kind::ElementByIndex)
            text += " " + std::to_string(it->index);
        else if (it->kind == Reference::Kind::ElementByName)
            text += " \"" + it->name + "\"";
    }
    return Error{errc::CantGet, "Can't get " + text + "."};
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
    const std::int64_t n = std::int64_t(apps.size());
    const std::int64_t index = ref.index < 0 ? n + 1 + ref.index : ref.index;
    if (index < 1 || index > n)
        return std::nullopt;
    auto it = apps[std::size_t(index - 1)].find("NSApplicationName");
    if (it == apps[std::size_t(index - 1)].end())
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
