#pragma once

#include "kit/PropertyList.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kit {

class Timer;

// The application's typed settings store, kept as an XML property list at
// $XDG_CONFIG_HOME/<bundle identifier>.plist (~/.config when unset).
//
// A missing key reads as 0, 0.0, NO or nullopt. A value of another kind reads
// with the usual conversions: a numeric string gives its number, anything
// else 0 or NO. Changes reach the file a few seconds after they are made, at
// `synchronize`, and at quit.
class UserDefaults {
public:
    static UserDefaults& standardUserDefaults();
    // Drops the shared store so the next call reloads it from the file named
    // by the environment and bundle now in force (tests).
    static void resetStandardUserDefaults();

    explicit UserDefaults(std::string path);
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    // The file the store lives in.
    const std::string& path() const { return m_path; }
    static std::string standardPath();

    std::int64_t integerForKey(const std::string& key) const;
    float floatForKey(const std::string& key) const;
    bool boolForKey(const std::string& key) const;
    std::optional<std::string> stringForKey(const std::string& key) const;
    std::optional<PlistValue> objectForKey(const std::string& key) const;

    void setInteger(std::int64_t value, const std::string& key);
    void setFloat(float value, const std::string& key);
    void setBool(bool value, const std::string& key);
    void setObject(const PlistValue& value, const std::string& key);
    void removeObjectForKey(const std::string& key);

    // Writes the store to its file now if it changed (atomically). False when
    // the write failed; the values stay in memory and a later call retries.
    bool synchronize();
    // The same for a program ending without a way back to its event loop
    // (its display server went away): a failure is printed to standard
    // error, with no handler told, since no window may be shown any more.
    bool synchronizeAtExit();

    // Told of a failed write with the file's path and the system's reason:
    // the first failure, and then again only after a write has succeeded in
    // between. For every store; the answer keeps the handler registered
    // until its last copy goes (unless replaced meanwhile).
    using SaveFailureHandler = std::function<void(const std::string& path, const std::string& reason)>;
    [[nodiscard]] static std::shared_ptr<void> setSaveFailureHandler(SaveFailureHandler handler);

    // Deletes the file and empties the store, with nothing left to write:
    // how the settings are reset (the next launch is a first launch).
    void removePersistentDomain();

    // Set when the file could not be read at load: it was moved aside to the
    // first free name of `<path>.corrupt`, `<path>.corrupt.1`... (never over
    // one kept before) and the store started empty. The message names both.
    const std::optional<std::string>& loadProblem() const { return m_loadProblem; }

    // Seconds after a change before the automatic write.
    static constexpr double kAutosaveDelay = 3.0;

private:
    void load();
    void changed();
    // Writes what changed; false with the reason when the write failed.
    // True does not mean written: a file kept from being written over stays
    // as it is, and the store stays dirty.
    bool write(std::string& reason);

    std::string m_path;
    PlistDictionary m_values;
    bool m_dirty = false;
    std::optional<std::string> m_loadProblem;
    std::shared_ptr<Timer> m_autosave;
    // A file we could neither read nor move aside: never written over.
    bool m_protectFile = false;
    // The last write failed: the next failure is not news.
    bool m_saveFailing = false;
};

} // namespace kit
