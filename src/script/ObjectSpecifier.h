#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace script {

// One step of an object reference, resolved against an application's
// dictionary: a property (`current track`), an element by index
// (`track 3`) or an element by name (`process "iTunes"`).
struct Reference {
    enum class Kind { Property, ElementByIndex, ElementByName };
    Kind kind = Kind::Property;
    std::string term;      // dictionary term: "current track", "track", "process"
    std::int64_t index = 0; // ElementByIndex: 1-based; negative counts from the end
    std::string name;      // ElementByName

    friend bool operator==(const Reference&, const Reference&) = default;
};

// A reference to an object inside an application: the steps from the
// application outward, so `name of track 2 of current playlist` is
// [current playlist, track 2, name]. An empty path is the application itself.
struct ObjectSpecifier {
    std::string application; // the application's name as registered
    std::vector<Reference> path;

    friend bool operator==(const ObjectSpecifier&, const ObjectSpecifier&) = default;
};

} // namespace script
