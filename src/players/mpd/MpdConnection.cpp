#include "players/mpd/MpdConnection.h"

#include <mpd/async.h>
#include <mpd/client.h>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace players {

namespace {

// The library's own timeout: only a backstop, see the class comment.
constexpr unsigned kBackstopMs = 1000;

using Deadline = std::chrono::steady_clock::time_point;

int remainingMs(Deadline deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? int(left.count()) : 0;
}

// Waits for `events` on `fd` until the deadline; true when they came.
bool waitFor(int fd, short events, Deadline deadline)
{
    for (;;) {
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, remainingMs(deadline));
        if (r > 0)
            return true;
        if (r == 0 || errno != EINTR)
            return false;
    }
}

int connectTo(const sockaddr* address, socklen_t length, int family, Deadline deadline)
{
    const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, address, length) == 0)
        return fd;
    int error = errno;
    if ((error == EINPROGRESS || error == EAGAIN) && waitFor(fd, POLLOUT, deadline)) {
        socklen_t size = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0)
            return fd;
    }
    ::close(fd);
    return -1;
}

// A connected socket to the host (a name, an address, a socket path or an
// abstract "@name"), or -1.
int connectSocket(const std::string& host, unsigned port, Deadline deadline)
{
    if (!host.empty() && (host[0] == '/' || host[0] == '@')) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (host.size() >= sizeof address.sun_path)
            return -1;
        std::memcpy(address.sun_path, host.data(), host.size());
        if (host[0] == '@')
            address.sun_path[0] = '\0';
        const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + host.size() + (host[0] == '/' ? 1 : 0));
        return connectTo(reinterpret_cast<const sockaddr*>(&address), length, AF_UNIX, deadline);
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return -1;
    int fd = -1;
    for (addrinfo* a = found; a && fd < 0 && remainingMs(deadline) > 0; a = a->ai_next)
        fd = connectTo(a->ai_addr, a->ai_addrlen, a->ai_family, deadline);
    ::freeaddrinfo(found);
    return fd;
}

// The server's first line ("OK MPD 0.23.5"), read byte by byte so nothing
// after it is taken from the library; empty when it did not come in time.
std::string readGreeting(int fd, Deadline deadline, bool* timedOut)
{
    std::string line;
    while (line.size() < 256) {
        char c = 0;
        const ssize_t n = ::read(fd, &c, 1);
        if (n == 1) {
            if (c == '\n')
                return line;
            line += c;
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (waitFor(fd, POLLIN, deadline))
                continue;
            *timedOut = true;
        }
        break;
    }
    return {};
}

} // namespace

MpdConnection::MpdConnection(MpdAddress address, unsigned timeoutMs)
    : m_address(std::move(address))
    , m_timeoutMs(timeoutMs)
{
}

MpdConnection::~MpdConnection()
{
    close();
}

void MpdConnection::close()
{
    if (m_connection)
        mpd_connection_free(m_connection);
    m_connection = nullptr;
}

mpd_connection* MpdConnection::open()
{
    if (m_gaveUp)
        return nullptr;
    if (m_connection) {
        m_reused = true;
        return m_connection;
    }
    m_reused = false;
    ++m_roundTrips; // connecting waits for the server's greeting

    const Deadline deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_timeoutMs);
    int fd = -1;
    for (const auto& [name, number] : m_address.targets()) {
        fd = connectSocket(name, number, deadline);
        if (fd >= 0 || remainingMs(deadline) == 0)
            break;
    }
    if (fd < 0) {
        // A peer that let the connection hang is given up like a silent one;
        // a refusal is just a server that is not there.
        m_gaveUp = remainingMs(deadline) == 0;
        return nullptr;
    }
    bool timedOut = false;
    const std::string greeting = readGreeting(fd, deadline, &timedOut);
    mpd_async* async = greeting.empty() ? nullptr : mpd_async_new(fd);
    if (!async) {
        ::close(fd);
        m_gaveUp = timedOut;
        return nullptr;
    }
    m_connection = mpd_connection_new_async(async, greeting.c_str());
    if (!m_connection)
        return nullptr;
    if (mpd_connection_get_error(m_connection) != MPD_ERROR_SUCCESS) {
        close();
        return nullptr;
    }
    mpd_connection_set_timeout(m_connection, kBackstopMs);

    std::string password = m_address.password;
    if (password.empty() && m_address.host.empty()) {
        // MPD_HOST may carry "password@host", as mpc reads it.
        if (mpd_settings* settings = mpd_settings_new(nullptr, m_address.port, 0, nullptr, nullptr)) {
            if (const char* p = mpd_settings_get_password(settings))
                password = p;
            mpd_settings_free(settings);
        }
    }
    if (!password.empty()) {
        ++m_roundTrips;
        if (!mpd_send_password(m_connection, password.c_str()) || !awaitAnswer() || !mpd_response_finish(m_connection)) {
            finish(); // gives up on a server that did not answer
            close();
            return nullptr;
        }
    }
    return m_connection;
}

bool MpdConnection::awaitAnswer()
{
    if (!m_connection)
        return false;
    const Deadline deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_timeoutMs);
    if (waitFor(mpd_connection_get_fd(m_connection), POLLIN, deadline))
        return true;
    m_unanswered = true;
    return false;
}

MpdConnection::Outcome MpdConnection::finish(std::string* message)
{
    if (m_unanswered) {
        m_unanswered = false;
        close();
        m_gaveUp = true;
        return Outcome::TimedOut;
    }
    if (!m_connection)
        return m_gaveUp ? Outcome::TimedOut : Outcome::Dropped;
    const mpd_error error = mpd_connection_get_error(m_connection);
    if (error == MPD_ERROR_SUCCESS)
        return Outcome::Ok;
    if (message) {
        const char* text = mpd_connection_get_error_message(m_connection);
        *message = text ? text : "";
    }
    if (error == MPD_ERROR_SERVER) {
        m_serverError = mpd_connection_get_server_error(m_connection);
        m_errorLocation = mpd_connection_get_server_error_location(m_connection);
        if (mpd_connection_clear_error(m_connection))
            return Outcome::Refused;
    }
    close();
    if (error == MPD_ERROR_TIMEOUT) {
        m_gaveUp = true;
        return Outcome::TimedOut;
    }
    return Outcome::Dropped;
}

} // namespace players
