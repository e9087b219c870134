#pragma once

namespace kit {

class Menu;

// What the application tells its delegate, and asks of it.
class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
    virtual void applicationDidFinishLaunching() {}
    virtual void applicationWillTerminate() {}
    // The menu a click on the Dock icon pops up; none by default.
    virtual Menu* applicationDockMenu() { return nullptr; }
};

} // namespace kit
