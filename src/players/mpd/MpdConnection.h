#pragma once

#include "players/mpd/MpdAddress.h"

#include <string>

struct mpd_connection;

namespace players {

// The one connection to an MPD server, opened on first use and reopened at
// the next request after it drops. Every call is bounded by the timeout
// (waited for here: the client library of some releases turns a timeout of
// N ms into N/1000 s plus N%1000 µs, so it only serves as a one-second
// backstop for an answer that stops halfway);
// after a server that did not answer in time the connection gives up until
// the next poll, so a hung peer costs one wait per poll, not one per call.
class MpdConnection {
public:
    static constexpr unsigned kDefaultTimeoutMs = 200;

    explicit MpdConnection(MpdAddress address, unsigned timeoutMs = kDefaultTimeoutMs);
    ~MpdConnection();
    MpdConnection(const MpdConnection&) = delete;
    MpdConnection& operator=(const MpdConnection&) = delete;

    const MpdAddress& address() const { return m_address; }

    // The open connection, opening it when needed; nullptr when the server
    // cannot be reached or did not answer during this poll. Connecting and
    // the server's greeting share one bound.
    mpd_connection* open();

    // Waits, within the bound, for the answer to what was just sent. False
    // when none came: finish() then reports TimedOut.
    bool awaitAnswer();

    // How the calls since open() went.
    enum class Outcome {
        Ok,
        Refused,  // the server answered with an error (ACK); the connection stays usable
        Dropped,  // the connection broke; the next open() reconnects
        TimedOut, // no answer in time; given up until the next poll
    };
    // Reads the connection's error state after a request: clears what can
    // be cleared, closes what cannot. `message` receives the server's or
    // the library's text.
    Outcome finish(std::string* message = nullptr);

    // True when the connection in use was opened before the current request,
    // so a drop may just be the server having closed an idle client.
    bool isReused() const { return m_reused; }

    // After Outcome::Refused: the server's error number (enum mpd_server_error)
    // and which command of a command list it refused, from 0.
    int serverError() const { return m_serverError; }
    unsigned errorLocation() const { return m_errorLocation; }

    // A poll starts: a server that timed out may be tried again.
    void beginPoll() { m_gaveUp = false; }
    bool hasGivenUp() const { return m_gaveUp; }

    // Request/response exchanges with the server so far (diagnostics,
    // benchmarks and tests). open() counts the greeting as one.
    long roundTrips() const { return m_roundTrips; }
    void countRoundTrip() { ++m_roundTrips; }

    void close();

private:
    MpdAddress m_address;
    unsigned m_timeoutMs;
    mpd_connection* m_connection = nullptr;
    bool m_gaveUp = false;
    bool m_unanswered = false;
    bool m_reused = false;
    long m_roundTrips = 0;
    int m_serverError = 0;
    unsigned m_errorLocation = 0;
};

} // namespace players
