#pragma once

#include <optional>
#include <string>

namespace kit {

// The application bundle: a folder "Zintara.app" holding Contents/Info.plist
// and Contents/Resources (images, interface files).
class Bundle {
public:
    static Bundle& mainBundle();

    // Points the main bundle at another folder (tests use a temporary copy).
    static void setMainBundlePath(const std::string& path);

    // Finds the bundle from the executable's place: $ZINTARA_BUNDLE, then the
    // folder the executable sits in (Contents/<dir>/exe), then "Zintara.app"
    // beside the executable (build tree), then ../share/zintara/Zintara.app
    // (installed).
    static std::string locate(const std::string& executablePath);

    explicit Bundle(std::string path) : m_path(std::move(path)) {}

    const std::string& bundlePath() const { return m_path; }
    std::string infoPlistPath() const { return m_path + "/Contents/Info.plist"; }
    std::string resourcePath() const { return m_path + "/Contents/Resources"; }

    // Full path of a resource file, if it exists.
    std::optional<std::string> pathForResource(const std::string& fileName) const;

    // Read from Info.plist on each call (it may be rewritten while running).
    std::optional<std::string> infoString(const std::string& key) const;
    // CFBundleIdentifier, or "org.zintara.Zintara" when the plist lacks it.
    std::string bundleIdentifier() const;

private:
    std::string m_path;
};

} // namespace kit
