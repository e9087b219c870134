#include "players/PlayerErrors.h"

#include <cmath>

namespace players::objects {

using script::Error;
using script::Reference;
using script::Value;
namespace errc = script::errc;

namespace {

std::string describeStep(const Reference& ref)
{
    switch (ref.kind) {
    case Reference::Kind::Property: return ref.term;
    case Reference::Kind::ElementByIndex: return ref.term + " " + std::to_string(ref.index);
    case Reference::Kind::ElementByName: return ref.term + " \"" + ref.name + "\"";
    }
    return ref.term;
}

} // namespace

std::string describe(const std::vector<Reference>& path, std::size_t count)
{
    std::string text;
    for (std::size_t i = count; i-- > 0;) {
        if (!text.empty())
            text += " of ";
        text += describeStep(path[i]);
    }
    return text;
}

Error cantGet(const std::vector<Reference>& path, std::size_t count)
{
    return Error{errc::CantGet, "Can't get " + describe(path, count) + "."};
}

Error cantSet(const std::vector<Reference>& path)
{
    return Error{errc::CantSet, "Can't set " + describe(path, path.size()) + "."};
}

Error cantMake(const Value& value, const std::string& wanted)
{
    const std::string text = value.stringValue().value_or("that value");
    return Error{errc::CantMakeType, "Can't make " + text + " into type " + wanted + "."};
}

bool isObjectStep(const Reference& ref)
{
    return ref.kind != Reference::Kind::Property || ref.term == "current track" || ref.term == "current playlist";
}

std::optional<double> number(const Value& v)
{
    if (v.type() == Value::Type::Integer)
        return double(v.asInteger());
    if (v.type() == Value::Type::Real && std::isfinite(v.asReal()))
        return v.asReal();
    return std::nullopt;
}

} // namespace players::objects
