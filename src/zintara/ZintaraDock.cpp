// The hide-Dock-icon setting, carried into the bundle's Info.plist where it
// takes effect at the next launch.
#include "zintara/Zintara.h"

#include "kit/Bundle.h"
#include "kit/DockIcon.h"
#include "kit/FileManager.h"
#include "kit/PropertyList.h"
#include "kit/Task.h"
#include "kit/UserDefaults.h"
#include "script/TextNumbers.h"
#include "zintara/TunesView.h"

#include <cstdint>

namespace {
constexpr const char* kEntry = "LSUIElement";

// The entry as the system reads it: absent or "" is 0, text its integer
// value. The system only ever writes text; a boolean or number someone else
// wrote reads as its value.
std::int8_t currentEntry(const kit::PlistDictionary& info)
{
    const auto it = info.find(kEntry);
    if (it == info.end())
        return 0;
    if (const auto* text = it->second.getIf<std::string>())
        return static_cast<std::int8_t>(script::intValue(std::string_view(*text)));
    if (const auto* flag = it->second.getIf<bool>())
        return *flag ? 1 : 0;
    if (const auto* number = it->second.getIf<std::int64_t>())
        return static_cast<std::int8_t>(*number);
    return 0;
}
} // namespace

void Zintara::syncDockIcon()
{
    const kit::Bundle& bundle = kit::Bundle::mainBundle();
    const std::string path = bundle.bundlePath() + "/Contents/Info.plist";
    if (!kit::FileManager::defaultManager().isWritableFileAtPath(path))
        return;
    auto parsed = kit::plist::readFile(path);
    const auto* root = std::get_if<kit::PlistValue>(&parsed);
    const auto* read = root ? root->getIf<kit::PlistDictionary>() : nullptr;
    if (!read)
        return;
    kit::PlistDictionary info = *read;

    const std::int8_t current = currentEntry(info);
    kit::UserDefaults& defaults = kit::UserDefaults::standardUserDefaults();
    const int wanted = defaults.boolForKey("hideDockIcon") ? 1 : 0;
    if (wanted == current)
        return;
    info[kEntry] = kit::PlistValue(std::to_string(wanted));

    // Written atomically over the old file rather than after removing it, so
    // a failed write cannot leave the bundle without its Info.plist. A file
    // that is writable in a folder that is not cannot be replaced: the
    // bundle then stays as it was, and the user hears so instead of a
    // promise about the next launch (once per wish, not at every save).
    std::string reason;
    if (!kit::plist::writeFileAtomically(path, kit::PlistValue(info), &reason)) {
        if (m_dockFailureReported != wanted) {
            m_dockFailureReported = wanted;
            alert("The Dock icon setting could not be carried into Zintara",
                  "Zintara could not rewrite " + path + ": " + reason + ".\n\nThe Dock icon will be "
                      + (wanted ? "shown" : "hidden")
                      + " at the next launch as before, until Zintara is in a place where it can modify itself.",
                  "OK", std::nullopt);
        }
        return;
    }
    m_dockFailureReported = -1;
    kit::Task::launchedTaskWithLaunchPath("/usr/bin/touch", {bundle.bundlePath()});

    if (!hasFinishedLaunching && current == 0) {
        alert("Dock icon will be hidden on next launch",
              "Zintara needed to modify itself in order to stay in sync with your current preferences (to hide the "
              "Dock icon). The icon will be correctly hidden the next time you launch Zintara.",
              "OK", std::nullopt);
    }
}

void Zintara::updateDockToolTip()
{
    const std::string line = tunesView ? tunesView->displayStr() : std::string();
    kit::DockIcon::shared().setToolTip(line.find_first_not_of(' ') == std::string::npos ? "Zintara" : line);
}
