#pragma once

#include <memory>
#include <string>

namespace kit {

// The Dock icon of a Linux desktop: an icon in the system tray (a
// StatusNotifierItem where a watcher runs on the session bus, the XEmbed
// tray elsewhere) whose click pops up the delegate's Dock menu, and the
// application's windows listed in the taskbar. Like the Dock icon it follows
// the bundle's LSUIElement as read at launch: 0 (or absent) shows both, 1
// neither, until the next launch.
class DockIcon {
public:
    static DockIcon& shared();

    // Reads LSUIElement from the main bundle's Info.plist and shows or hides
    // the icon accordingly. The application calls it once as it starts.
    void applyBundleSetting();

    // True while the application has a Dock icon (LSUIElement 0 at launch).
    bool isShown() const;
    // The tooltip as last given (tests).
    std::string toolTip() const;

    // The tray icon's tooltip, what it names while the pointer rests on it:
    // plain text, shown as written even where it looks like markup.
    void setToolTip(const std::string& text);

    // Pops up the delegate's Dock menu at the pointer, with the run loop in
    // the event-tracking mode until it closes; what a click on the icon does.
    void popUpMenu();

    // Takes the icon away (tests).
    void resetForTesting();

private:
    DockIcon();
    ~DockIcon();
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace kit
