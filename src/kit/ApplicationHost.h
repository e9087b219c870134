#pragma once

#include <memory>

namespace kit {

// Owns the platform's application object for the life of main(): creates
// it, names the program, and keeps it running when its last window closes
// (the marquee lives in the status bar, not in a window).
class ApplicationHost {
public:
    ApplicationHost(int& argc, char** argv);
    ~ApplicationHost();
    ApplicationHost(const ApplicationHost&) = delete;
    ApplicationHost& operator=(const ApplicationHost&) = delete;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace kit
