#include "kit/UserDefaults.h"

#include "kit/AsciiText.h"
#include "kit/Bundle.h"
#include "kit/RunLoop.h"
#include "kit/Timer.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <pwd.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace kit {

namespace {

std::unique_ptr<UserDefaults>& sharedSlot()
{
    static std::unique_ptr<UserDefaults> defaults;
    return defaults;
}

bool pathExists(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// Creates the folder and any missing parents, private to the user as a
// configuration folder should be. On failure errno says why.
bool makeFolders(const std::string& dir)
{
    if (dir.empty()) {
        errno = ENOENT;
        return false;
    }
    struct stat info {};
    if (::stat(dir.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return true;
        errno = ENOTDIR;
        return false;
    }
    const std::size_t slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makeFolders(dir.substr(0, slash)))
        return false;
    return ::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string_view skipSpace(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\n' || s.front() == '\r'))
        s.remove_prefix(1);
    return s;
}

// The leading decimal integer of a string, as a number's text value reads:
// "12abc" gives 12, "abc" gives 0; too large clamps.
std::int64_t leadingInteger(std::string_view s)
{
    s = skipSpace(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    std::int64_t value = 0;
    for (const char c : s) {
        if (c < '0' || c > '9')
            break;
        const int digit = c - '0';
        if (value > (std::numeric_limits<std::int64_t>::max() - digit) / 10)
            return negative ? std::numeric_limits<std::int64_t>::min() : std::numeric_limits<std::int64_t>::max();
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

// The leading decimal number of a string ("2.5x" gives 2.5), 0 when none.
double leadingReal(std::string_view s)
{
    std::size_t used = 0;
    return plist::readDecimal(skipSpace(s), used);
}

std::int64_t truncateToInteger(double d)
{
    if (std::isnan(d))
        return 0;
    if (d >= 9223372036854775808.0)
        return std::numeric_limits<std::int64_t>::max();
    if (d < -9223372036854775808.0)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(d);
}


std::string formatReal(double d)
{
    if (std::isnan(d))
        return "nan";
    if (std::isinf(d))
        return d > 0 ? "inf" : "-inf";
    char buffer[64];
    const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, d);
    return ec == std::errc() ? std::string(buffer, ptr) : std::string("0");
}

// Moves an unreadable settings file out of the way without replacing any
// file kept aside before: the first free name of `<path>.corrupt`,
// `<path>.corrupt.1`, `<path>.corrupt.2`... The name used, or nullopt with
// the name tried and the system's reason.
std::optional<std::string> moveAside(const std::string& path, std::string& tried, std::string& why)
{
    constexpr int kMostKept = 10000;
    for (int n = 0; n < kMostKept; ++n) {
        tried = path + ".corrupt" + (n == 0 ? std::string() : "." + std::to_string(n));
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, tried.c_str(), RENAME_NOREPLACE) == 0)
            return tried;
        if (errno == EEXIST)
            continue;
        if (errno == EINVAL || errno == ENOSYS) {
            // A file system that cannot refuse to replace: look first.
            if (pathExists(tried))
                continue;
            if (::rename(path.c_str(), tried.c_str()) == 0)
                return tried;
        }
        why = std::strerror(errno);
        return std::nullopt;
    }
    why = "too many earlier copies are kept beside it";
    return std::nullopt;
}

std::string describe(const PlistError& error)
{
    if (error.line > 0)
        return error.message + " (line " + std::to_string(error.line) + ", column " + std::to_string(error.column)
            + ")";
    return error.message;
}

struct SaveFailureSlot {
    UserDefaults::SaveFailureHandler handler;
    std::uint64_t generation = 0;
};

SaveFailureSlot& saveFailureSlot()
{
    static SaveFailureSlot slot;
    return slot;
}

} // namespace

std::shared_ptr<void> UserDefaults::setSaveFailureHandler(SaveFailureHandler handler)
{
    SaveFailureSlot& slot = saveFailureSlot();
    slot.handler = std::move(handler);
    const std::uint64_t generation = ++slot.generation;
    return std::shared_ptr<void>(nullptr, [generation](void*) {
        SaveFailureSlot& current = saveFailureSlot();
        if (current.generation == generation)
            current.handler = nullptr;
    });
}

UserDefaults& UserDefaults::standardUserDefaults()
{
    auto& slot = sharedSlot();
    if (!slot)
        slot = std::make_unique<UserDefaults>(standardPath());
    return *slot;
}

void UserDefaults::resetStandardUserDefaults()
{
    sharedSlot().reset();
}

std::string UserDefaults::standardPath()
{
    std::string folder;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
        folder = xdg;
    } else {
        std::string home;
        if (const char* env = std::getenv("HOME"); env && *env)
            home = env;
        else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
            home = pw->pw_dir;
        folder = home + "/.config";
    }
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    std::string name = Bundle::mainBundle().bundleIdentifier();
    // The identifier names a file; it must not lead out of the folder.
    for (char& c : name) {
        if (c == '/')
            c = '_';
    }
    if (name.empty() || name == "." || name == "..")
        name = "org.zintara.Zintara";
    return folder + "/" + name + ".plist";
}

UserDefaults::UserDefaults(std::string path)
    : m_path(std::move(path))
{
    load();
}

UserDefaults::~UserDefaults()
{
    if (m_autosave)
        m_autosave->invalidate();
}

void UserDefaults::load()
{
    m_values.clear();
    if (!pathExists(m_path))
        return; // a first launch
    auto parsed = plist::readFile(m_path);
    std::string reason;
    if (const auto* error = std::get_if<PlistError>(&parsed)) {
        reason = describe(*error);
    } else if (auto* dict = std::get<PlistValue>(parsed).getIf<PlistDictionary>()) {
        m_values = *dict;
        return;
    } else {
        reason = "its top level is not a dictionary";
    }

    // Keep the user's file, out of the way, and start as a first launch.
    std::string aside;
    std::string why;
    if (moveAside(m_path, aside, why)) {
        m_loadProblem = "The preferences file " + m_path + " could not be read: " + reason + ". It was moved to "
            + aside + " and the settings start afresh.";
    } else {
        m_protectFile = true;
        m_loadProblem = "The preferences file " + m_path + " could not be read: " + reason
            + ". It could not be moved to " + aside + " either (" + why
            + "), so it is left as it is and will not be written over; the settings start afresh.";
    }
}

std::int64_t UserDefaults::integerForKey(const std::string& key) const
{
    const auto it = m_values.find(key);
    if (it == m_values.end())
        return 0;
    const PlistValue::Variant& v = it->second.variant();
    if (const auto* i = std::get_if<std::int64_t>(&v))
        return *i;
    if (const auto* d = std::get_if<double>(&v))
        return truncateToInteger(*d);
    if (const auto* b = std::get_if<bool>(&v))
        return *b ? 1 : 0;
    if (const auto* s = std::get_if<std::string>(&v))
        return leadingInteger(*s);
    return 0;
}

float UserDefaults::floatForKey(const std::string& key) const
{
    const auto it = m_values.find(key);
    if (it == m_values.end())
        return 0.0f;
    const PlistValue::Variant& v = it->second.variant();
    if (const auto* d = std::get_if<double>(&v))
        return static_cast<float>(*d);
    if (const auto* i = std::get_if<std::int64_t>(&v))
        return static_cast<float>(*i);
    if (const auto* b = std::get_if<bool>(&v))
        return *b ? 1.0f : 0.0f;
    if (const auto* s = std::get_if<std::string>(&v))
        return static_cast<float>(leadingReal(*s));
    return 0.0f;
}

bool UserDefaults::boolForKey(const std::string& key) const
{
    const auto it = m_values.find(key);
    if (it == m_values.end())
        return false;
    const PlistValue::Variant& v = it->second.variant();
    if (const auto* b = std::get_if<bool>(&v))
        return *b;
    if (const auto* i = std::get_if<std::int64_t>(&v))
        return *i != 0;
    if (const auto* d = std::get_if<double>(&v))
        return *d != 0.0 && !std::isnan(*d);
    if (const auto* s = std::get_if<std::string>(&v)) {
        // The platform's rule: past blanks, a sign and leading zeros, a first
        // character of Y, T or 1 to 9 (either case) means YES.
        std::string_view text = skipSpace(*s);
        if (!text.empty() && (text.front() == '+' || text.front() == '-'))
            text.remove_prefix(1);
        while (!text.empty() && text.front() == '0')
            text.remove_prefix(1);
        if (text.empty())
            return false;
        const char c = text.front();
        return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
    }
    return false;
}

std::optional<std::string> UserDefaults::stringForKey(const std::string& key) const
{
    const auto it = m_values.find(key);
    if (it == m_values.end())
        return std::nullopt;
    const PlistValue::Variant& v = it->second.variant();
    if (const auto* s = std::get_if<std::string>(&v))
        return *s;
    if (const auto* i = std::get_if<std::int64_t>(&v))
        return std::to_string(*i);
    if (const auto* d = std::get_if<double>(&v))
        return formatReal(*d);
    if (const auto* b = std::get_if<bool>(&v))
        return std::string(*b ? "1" : "0");
    return std::nullopt;
}

std::optional<PlistValue> UserDefaults::objectForKey(const std::string& key) const
{
    const auto it = m_values.find(key);
    if (it == m_values.end())
        return std::nullopt;
    return it->second;
}

void UserDefaults::setInteger(std::int64_t value, const std::string& key)
{
    setObject(PlistValue(value), key);
}

void UserDefaults::setFloat(float value, const std::string& key)
{
    // Keep the float's own shortest text (0.1f is stored as 0.1, not
    // 0.100000001490116), unless that would not read back as the same float.
    double stored = value;
    char buffer[32];
    if (std::isfinite(value)) {
        const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
        double shortest = 0;
        if (ec == std::errc() && std::from_chars(buffer, ptr, shortest).ec == std::errc()
            && static_cast<float>(shortest) == value)
            stored = shortest;
    }
    setObject(PlistValue(stored), key);
}

void UserDefaults::setBool(bool value, const std::string& key)
{
    setObject(PlistValue(value), key);
}

void UserDefaults::setObject(const PlistValue& value, const std::string& key)
{
    const auto it = m_values.find(key);
    if (it != m_values.end() && it->second == value && !(value.is<double>() && std::isnan(value.get<double>())))
        return;
    m_values.insert_or_assign(key, value);
    changed();
}

void UserDefaults::removeObjectForKey(const std::string& key)
{
    if (m_values.erase(key) > 0)
        changed();
}

void UserDefaults::changed()
{
    m_dirty = true;
    if (m_autosave && m_autosave->isValid())
        return; // the pending write takes this change along
    // The first change arms the write; later ones ride along, so a stream of
    // changes still reaches the file every few seconds. All three modes: a
    // menu being tracked or a modal window must not hold the save up.
    m_autosave = std::make_shared<Timer>(kAutosaveDelay, [this](Timer&) { synchronize(); }, false);
    RunLoop& loop = RunLoop::main();
    loop.addTimer(m_autosave, RunLoopMode::Default);
    loop.addTimer(m_autosave, RunLoopMode::EventTracking);
    loop.addTimer(m_autosave, RunLoopMode::ModalPanel);
}

bool UserDefaults::write(std::string& reason)
{
    if (m_autosave) {
        m_autosave->invalidate();
        m_autosave.reset();
    }
    if (!m_dirty)
        return true;
    if (m_protectFile) {
        if (pathExists(m_path))
            return true; // kept from the file until its owner deals with it
        m_protectFile = false; // its owner has dealt with it
    }
    const std::size_t slash = m_path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makeFolders(m_path.substr(0, slash))) {
        reason = std::strerror(errno);
        return false;
    }
    if (!plist::writeFileAtomically(m_path, PlistValue(m_values), &reason))
        return false;
    m_dirty = false;
    m_saveFailing = false;
    return true;
}

bool UserDefaults::synchronizeAtExit()
{
    std::string reason;
    if (write(reason))
        return true;
    std::fprintf(stderr, "zintara: the settings could not be written to %s: %s\n", m_path.c_str(), reason.c_str());
    return false;
}

bool UserDefaults::synchronize()
{
    std::string reason;
    if (write(reason))
        return !m_dirty;
    if (!m_saveFailing) {
        // News only after a save got through; a run of failures is one.
        m_saveFailing = true;
        if (SaveFailureHandler handler = saveFailureSlot().handler)
            handler(std::string(m_path), reason); // may run a modal alert: the store is consistent by now
    }
    return false;
}

void UserDefaults::removePersistentDomain()
{
    if (m_autosave) {
        m_autosave->invalidate();
        m_autosave.reset();
    }
    ::unlink(m_path.c_str());
    m_values.clear();
    m_dirty = false;
    m_protectFile = false;
}

} // namespace kit
