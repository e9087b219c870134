#pragma once

#include "support/TestAudio.h"

#include <sys/types.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

struct mpd_connection;

namespace testing_support {

// A private MPD server for a test: Debian's mpd on 127.0.0.1 at a free
// port, a null audio output, its own database, sticker file and state in
// `folder`, over the test audio, with the queue holding the test tracks in
// order and playback stopped.
class MpdServer {
public:
    MpdServer() = default;
    ~MpdServer();
    MpdServer(const MpdServer&) = delete;
    MpdServer& operator=(const MpdServer&) = delete;

    // False with `error` set when mpd is missing or does not come up.
    // Without stickers the server has no sticker database. With a password,
    // a client that does not give it may do nothing at all.
    bool start(const std::string& folder, std::string* error, bool stickers = true,
               const std::string& password = "");
    void stop();
    // Stops the server and starts it again on the same port and files; the
    // queue it had comes back from its state file.
    bool restart(std::string* error);
    bool isRunning() const { return m_pid > 0; }

    unsigned port() const { return m_port; }
    std::string address() const { return "127.0.0.1:" + std::to_string(m_port); }
    const std::vector<TestTrack>& tracks() const { return m_tracks; }

    // A connection of the test's own, to arrange and check the server.
    mpd_connection* control();

private:
    bool launch(std::string* error);

    pid_t m_pid = -1;
    std::string m_config;
    std::string m_password;
    unsigned m_port = 0;
    std::vector<TestTrack> m_tracks;
    mpd_connection* m_control = nullptr;
};

// A TCP peer on 127.0.0.1 that takes connections and never says a word:
// the kernel accepts for it, nobody reads or writes.
class SilentPeer {
public:
    SilentPeer();
    ~SilentPeer();
    SilentPeer(const SilentPeer&) = delete;
    SilentPeer& operator=(const SilentPeer&) = delete;

    unsigned port() const { return m_port; }

private:
    int m_socket = -1;
    unsigned m_port = 0;
};

// A peer on 127.0.0.1 that greets like MPD and then answers badly, on a
// thread of its own until it is destroyed. Its answers are what `status`
// and `song` say (the status's lines; the current song's, also given for
// any queue entry asked for), sent as `mode` says.
class FakeMpd {
public:
    enum class Mode {
        Whole,      // each answer at once
        Stall,      // greets, then never answers
        HalfAnswer, // the first half of each answer, then nothing
        Slow,       // each answer whole, 150 ms late
        Drip,       // each answer one line every 0.9 s
        Flood,      // tag lines at full speed, never ending
        Garbage,    // bytes that are no protocol
    };
    explicit FakeMpd(Mode mode, std::string status = defaultStatus(), std::string song = defaultSong());
    ~FakeMpd();
    FakeMpd(const FakeMpd&) = delete;
    FakeMpd& operator=(const FakeMpd&) = delete;

    unsigned port() const { return m_port; }
    std::string address() const { return "127.0.0.1:" + std::to_string(m_port); }
    // Playing the first of three songs, 10 s in.
    static std::string defaultStatus();
    static std::string defaultSong();

private:
    void serve();
    void converse(int fd);
    bool sendSlowly(int fd, const std::string& text);
    std::string answer(const std::vector<std::string>& commands) const;

    Mode m_mode;
    std::string m_status;
    std::string m_song;
    int m_socket = -1;
    unsigned m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

// A port on 127.0.0.1 that nothing listened on a moment ago.
unsigned freeLocalPort();

} // namespace testing_support
