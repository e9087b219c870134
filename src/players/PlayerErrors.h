#pragma once

#include "script/Error.h"
#include "script/ObjectSpecifier.h"
#include "script/Value.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// What every player's object model says the same way: the errors a script
// sees for an object it cannot get or set, and how values are read.
namespace players::objects {

// "track 9 of current playlist": the first `count` steps, innermost first.
std::string describe(const std::vector<script::Reference>& path, std::size_t count);

script::Error cantGet(const std::vector<script::Reference>& path, std::size_t count);
script::Error cantSet(const std::vector<script::Reference>& path);
script::Error cantMake(const script::Value& value, const std::string& wanted);

// A step that names an object rather than a property's value: an element,
// or the application's current track or playlist.
bool isObjectStep(const script::Reference& ref);

// An integer or finite real as a number; nullopt for anything else.
std::optional<double> number(const script::Value& v);

} // namespace players::objects
