#pragma once

#include "support/TestAudio.h"

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace mpris_testing {

// A program the tests start and stop.
class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() { stop(); }

    // Starts argv[0] (looked up on PATH) with NAME=VALUE pairs added to the
    // environment; output is discarded.
    bool start(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {});
    // True while it runs; reaps it once it has ended.
    bool running();
    // Asks it to end, then forces it after a bounded wait.
    void stop();

private:
    pid_t m_pid = -1;
};

// A private session bus with mpv playing the test audio, for one test
// program: started before Qt's first bus connection, stopped at exit.
// The bus starts the test service by activation under the name
// org.mpris.MediaPlayer2.<kActivatableName>.
class MprisWorld {
public:
    static constexpr const char* kActivatableName = "zintaraactivated";

    // Starts the bus and points DBUS_SESSION_BUS_ADDRESS at it, before any
    // Qt bus connection exists; an error message on failure.
    std::optional<std::string> startBus(const std::string& serviceProgram);
    // Then mpv, playing the test audio (a Qt application must exist).
    std::optional<std::string> startMpv();
    void stop();
    ~MprisWorld() { stop(); }

    const std::string& folder() const { return m_folder; }
    const std::vector<testing_support::TestTrack>& tracks() const { return m_tracks; }
    // mpv's bus name, once it is up.
    const std::string& mpvBusName() const { return m_mpvBusName; }

private:
    std::string m_folder;
    pid_t m_busPid = -1;
    ChildProcess m_mpv;
    std::vector<testing_support::TestTrack> m_tracks;
    std::string m_mpvBusName;
};

// Waits, a bounded time, until the bus name has an owner (or none, when
// `present` is false). For outside processes starting and ending.
bool waitForBusName(const std::string& busName, bool present, double seconds = 10.0);

// The first MPRIS bus name that starts with `prefix`, waiting a bounded time.
std::string waitForMprisName(const std::string& prefix, double seconds = 10.0);

} // namespace mpris_testing
