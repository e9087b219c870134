#include "kit/Bundle.h"

#include "kit/PropertyList.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

namespace fs = std::filesystem;

namespace kit {

namespace {
constexpr const char* kBundleName = "Zintara.app";
constexpr const char* kFallbackIdentifier = "org.zintara.Zintara";

std::unique_ptr<Bundle>& mainSlot()
{
    static std::unique_ptr<Bundle> bundle;
    return bundle;
}

bool isBundle(const fs::path& dir)
{
    std::error_code ec;
    return fs::is_regular_file(dir / "Contents" / "Info.plist", ec);
}

std::string executablePath()
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.string();
}
} // namespace

std::string Bundle::locate(const std::string& exe)
{
    if (const char* env = std::getenv("ZINTARA_BUNDLE"); env && *env)
        return env;
    const fs::path dir = fs::path(exe).parent_path();
    std::vector<fs::path> candidates;
    if (dir.parent_path().filename() == "Contents")
        candidates.push_back(dir.parent_path().parent_path()); // Zintara.app/Contents/<dir>/exe
    candidates.push_back(dir / kBundleName);                     // build tree
    candidates.push_back(dir.parent_path() / "share" / "zintara" / kBundleName); // installed
    for (const fs::path& candidate : candidates) {
        if (isBundle(candidate))
            return fs::weakly_canonical(candidate).string();
    }
    // No bundle: resources will be missing, which every reader tolerates.
    return (dir / kBundleName).string();
}

Bundle& Bundle::mainBundle()
{
    auto& slot = mainSlot();
    if (!slot)
        slot = std::make_unique<Bundle>(locate(executablePath()));
    return *slot;
}

void Bundle::setMainBundlePath(const std::string& path)
{
    mainSlot() = std::make_unique<Bundle>(path);
}

std::optional<std::string> Bundle::pathForResource(const std::string& fileName) const
{
    if (fileName.empty() || fileName.find('/') != std::string::npos)
        return std::nullopt;
    const fs::path path = fs::path(resourcePath()) / fileName;
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return std::nullopt;
    return path.string();
}

std::optional<std::string> Bundle::infoString(const std::string& key) const
{
    auto parsed = plist::readFile(infoPlistPath());
    const auto* root = std::get_if<PlistValue>(&parsed);
    if (!root)
        return std::nullopt;
    const auto* dict = root->getIf<PlistDictionary>();
    if (!dict)
        return std::nullopt;
    const auto it = dict->find(key);
    if (it == dict->end())
        return std::nullopt;
    if (const auto* s = it->second.getIf<std::string>())
        return *s;
    return std::nullopt;
}

std::string Bundle::bundleIdentifier() const
{
    auto id = infoString("CFBundleIdentifier");
    return id && !id->empty() ? *id : kFallbackIdentifier;
}

} // namespace kit
