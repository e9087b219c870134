#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kit {

// Starts programs without waiting for them.
class Task {
public:
    // Starts `path` with `arguments` and returns at once; false when it
    // could not be started. Nobody waits for it.
    static bool launchedTaskWithLaunchPath(const std::string& path, const std::vector<std::string>& arguments);

    // Replaces the starting of programs (tests): the handler receives each
    // path and argument list instead.
    using Launcher = std::function<bool(const std::string&, const std::vector<std::string>&)>;
    static void setLauncher(Launcher launcher);
};

} // namespace kit
