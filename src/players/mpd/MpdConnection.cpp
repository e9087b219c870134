#include "players/mpd/MpdConnection.h"

#include <mpd/parser.h>
#include <mpd/settings.h>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

namespace players {

namespace {

using Clock = PollBudget::Clock;

int remainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? int(std::min<long long>(left.count(), 1 << 30)) : 0;
}

bool expired(Clock::time_point deadline)
{
    return Clock::now() >= deadline;
}

// Waits for `events` on `fd` until the deadline; true when they came.
bool waitFor(int fd, short events, Clock::time_point deadline)
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

int connectTo(const sockaddr* address, socklen_t length, Clock::time_point deadline)
{
    const int fd = ::socket(address->sa_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
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

std::vector<MpdEndpoint> lookUp(const std::string& host, unsigned port, int flags)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags;
    addrinfo* found = nullptr;
    std::vector<MpdEndpoint> endpoints;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return endpoints;
    for (addrinfo* a = found; a; a = a->ai_next) {
        if (a->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        MpdEndpoint e;
        std::memcpy(&e.address, a->ai_addr, a->ai_addrlen);
        e.length = a->ai_addrlen;
        endpoints.push_back(e);
    }
    ::freeaddrinfo(found);
    return endpoints;
}

// "OK MPD 0.23.5" as 23 (the minor version of protocol 0.x), -1 when the
// line is no MPD greeting.
int protocolMinor(const std::string& greeting)
{
    unsigned major = 0, minor = 0;
    if (greeting.rfind("OK MPD ", 0) != 0 || std::sscanf(greeting.c_str() + 7, "%u.%u", &major, &minor) != 2)
        return -1;
    return major > 0 ? 1000 : int(std::min(minor, 999u));
}

} // namespace

// A name lookup on its own thread: a name service that does not answer
// holds that thread, never the poll.
struct MpdConnection::Lookup {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::vector<MpdEndpoint> found;
};

const std::vector<MpdPair>& MpdAnswer::part(std::size_t index) const
{
    static const std::vector<MpdPair> none;
    return index < parts.size() ? parts[index] : none;
}

std::vector<MpdEndpoint> MpdConnection::systemResolver(const std::string& host, unsigned port)
{
    return lookUp(host, port, 0);
}

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
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_input.clear();
    m_inputStart = 0;
}

void MpdConnection::beginPoll(const PollBudget& budget)
{
    m_pollDeadline = budget.deadline();
    m_gaveUp = false;
    m_passwordRefusal.clear();
}

Clock::time_point MpdConnection::callDeadline() const
{
    return std::min(m_pollDeadline, Clock::now() + std::chrono::milliseconds(m_timeoutMs));
}

std::string MpdConnection::password() const
{
    if (!m_address.password.empty() || !m_address.host.empty())
        return m_address.password;
    // MPD_HOST may carry "password@host", as mpc reads it.
    std::string password;
    if (mpd_settings* settings = mpd_settings_new(nullptr, m_address.port, 0, nullptr, nullptr)) {
        if (const char* p = mpd_settings_get_password(settings))
            password = p;
        mpd_settings_free(settings);
    }
    return password;
}

std::string MpdConnection::command(const std::string& name, const std::vector<std::string>& arguments)
{
    std::string line = name;
    for (const std::string& argument : arguments) {
        line += " \"";
        for (const char c : argument) {
            if (c == '"' || c == '\\')
                line += '\\';
            // A line break would end the command early; no argument needs one.
            line += c == '\n' ? ' ' : c;
        }
        line += '"';
    }
    return line;
}

std::vector<MpdEndpoint> MpdConnection::endpoints(const std::string& host, unsigned port)
{
    // An address written as numbers needs no name service.
    std::vector<MpdEndpoint> numeric = lookUp(host, port, AI_NUMERICHOST | AI_NUMERICSERV);
    if (!numeric.empty())
        return numeric;

    const auto key = std::make_pair(host, port);
    std::shared_ptr<Lookup>& lookup = m_lookups[key];
    if (!lookup) {
        lookup = std::make_shared<Lookup>();
        std::thread([lookup, resolver = m_resolver, host, port] {
            std::vector<MpdEndpoint> found = resolver(host, port);
            std::lock_guard<std::mutex> lock(lookup->mutex);
            lookup->found = std::move(found);
            lookup->done = true;
            lookup->finished.notify_all();
        }).detach();
    }
    {
        // With addresses known from before, those are used at once and the
        // answer is taken when it has come; else it is awaited in the budget.
        std::unique_lock<std::mutex> lock(lookup->mutex);
        if (m_known[key].empty())
            lookup->finished.wait_until(lock, m_callDeadline, [&] { return lookup->done; });
        if (!lookup->done)
            return m_known[key];
        if (!lookup->found.empty())
            m_known[key] = lookup->found;
    }
    m_lookups.erase(key);
    return m_known[key];
}

int MpdConnection::connectSocket(const std::string& host, unsigned port)
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
        return connectTo(reinterpret_cast<const sockaddr*>(&address), length, m_callDeadline);
    }
    int fd = -1;
    for (const MpdEndpoint& e : endpoints(host, port)) {
        if (fd >= 0 || expired(m_callDeadline))
            break;
        fd = connectTo(reinterpret_cast<const sockaddr*>(&e.address), e.length, m_callDeadline);
    }
    return fd;
}

bool MpdConnection::open()
{
    if (m_gaveUp || !m_passwordRefusal.empty())
        return false;
    if (m_fd >= 0)
        return true;
    if (expired(m_pollDeadline)) {
        m_gaveUp = true;
        return false;
    }
    ++m_roundTrips; // connecting waits for the server's greeting

    m_callDeadline = callDeadline();
    for (const auto& [name, number] : m_address.targets()) {
        m_fd = connectSocket(name, number);
        if (m_fd >= 0 || expired(m_callDeadline))
            break;
    }
    if (m_fd < 0) {
        // A peer (or a name service) that let the connection hang is given
        // up like a silent one; a refusal is just a server that is not there.
        m_gaveUp = expired(m_callDeadline);
        return false;
    }
    std::string greeting;
    const Read read = readLine(greeting);
    const int minor = read == Read::Line ? protocolMinor(greeting) : -1;
    if (minor < 0) {
        lost(read == Read::Line ? Read::Closed : read);
        return false;
    }

    // The password first; then only the tags shown are asked for, so a
    // song with thousands of other tags costs nothing (tagtypes: 0.21).
    // Both go ahead of the first request, in its command list, so that
    // connecting costs no wait beyond the greeting.
    m_setup.clear();
    if (const std::string secret = password(); !secret.empty())
        m_setup.push_back(command("password", {secret}));
    if (minor >= 21) {
        m_setup.push_back("tagtypes clear");
        m_setup.push_back("tagtypes enable Artist Album Title Track");
    }
    return true;
}

MpdConnection::Outcome MpdConnection::request(const std::vector<std::string>& commands, MpdAnswer& answer)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        answer = MpdAnswer{};
        const bool reused = m_fd >= 0;
        if (!open())
            return m_gaveUp ? Outcome::TimedOut : !m_passwordRefusal.empty() ? Outcome::Denied : Outcome::Dropped;
        const Outcome outcome = exchange(commands, answer);
        // MPD closes clients that stayed quiet too long: a kept connection
        // that broke is worth one fresh try.
        if (outcome != Outcome::Dropped || !reused)
            return outcome;
    }
    return Outcome::Dropped;
}

MpdConnection::Outcome MpdConnection::lost(Read why)
{
    close();
    if (why == Read::TimedOut || why == Read::TooLarge) {
        m_gaveUp = true;
        return Outcome::TimedOut;
    }
    return Outcome::Dropped;
}

MpdConnection::Outcome MpdConnection::exchange(const std::vector<std::string>& commands, MpdAnswer& answer)
{
    if (expired(m_pollDeadline)) {
        m_gaveUp = true;
        return Outcome::TimedOut;
    }
    // A server speaks only when asked; anything left over is not MPD.
    if (m_inputStart < m_input.size())
        return lost(Read::Closed);
    ++m_roundTrips;
    m_callDeadline = callDeadline();

    const std::size_t setup = m_setup.size();
    std::string text;
    if (commands.size() + setup == 1) {
        text = commands.front() + '\n';
    } else {
        text = "command_list_ok_begin\n";
        for (const std::string& c : m_setup)
            text += c + '\n';
        for (const std::string& c : commands)
            text += c + '\n';
        text += "command_list_end\n";
    }
    m_setup.clear();
    if (!sendAll(text))
        return lost(expired(m_callDeadline) ? Read::TimedOut : Read::Closed);
    const Outcome outcome = receive(commands.size() + setup, answer);
    if (setup == 0 || (outcome != Outcome::Ok && outcome != Outcome::Refused))
        return outcome;
    if (outcome == Outcome::Refused && answer.at < setup) {
        // Only the password can be turned down here.
        m_passwordRefusal = answer.message.empty() ? "incorrect password" : answer.message;
        close();
        return Outcome::Denied;
    }
    answer.parts.erase(answer.parts.begin(), answer.parts.begin() + std::ptrdiff_t(std::min(setup, answer.parts.size())));
    answer.at -= outcome == Outcome::Refused ? unsigned(setup) : 0;
    return outcome;
}

MpdConnection::Outcome MpdConnection::receive(std::size_t commands, MpdAnswer& answer)
{
    std::unique_ptr<mpd_parser, decltype(&mpd_parser_free)> parser(mpd_parser_new(), mpd_parser_free);
    if (!parser)
        return lost(Read::Closed);
    answer.parts.assign(1, {});
    std::size_t bytes = 0;
    std::size_t kept = 0;
    std::string line;
    for (;;) {
        const Read read = readLine(line);
        if (read != Read::Line)
            return lost(read);
        bytes += line.size() + 1;
        if (bytes > kMaxAnswerBytes)
            return lost(Read::TooLarge);
        switch (mpd_parser_feed(parser.get(), line.data())) {
        case MPD_PARSER_PAIR:
            // Past its share, a command's lines are read and let go.
            if (answer.parts.back().size() < kMaxPartLines && kept + line.size() <= kMaxKeptBytes) {
                kept += line.size();
                answer.parts.back().push_back({mpd_parser_get_name(parser.get()), mpd_parser_get_value(parser.get())});
            }
            break;
        case MPD_PARSER_SUCCESS:
            if (mpd_parser_is_discrete(parser.get())) { // list_OK: the next command's lines follow
                answer.parts.emplace_back();
                break;
            }
            if (commands > 1 && answer.parts.size() > 1)
                answer.parts.pop_back(); // nothing follows the last list_OK
            return Outcome::Ok;
        case MPD_PARSER_ERROR: {
            answer.error = int(mpd_parser_get_server_error(parser.get()));
            answer.at = mpd_parser_get_at(parser.get());
            const char* message = mpd_parser_get_message(parser.get());
            answer.message = message ? message : "";
            return Outcome::Refused;
        }
        case MPD_PARSER_MALFORMED:
            return lost(Read::Closed);
        }
    }
}

bool MpdConnection::sendAll(const std::string& text)
{
    std::size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = ::send(m_fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += std::size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitFor(m_fd, POLLOUT, m_callDeadline))
            continue;
        return false;
    }
    return true;
}

MpdConnection::Read MpdConnection::readLine(std::string& line)
{
    std::size_t scanned = m_inputStart;
    for (;;) {
        const std::size_t end = m_input.find('\n', scanned);
        if (end != std::string::npos) {
            if (end - m_inputStart > kMaxLineBytes)
                return Read::TooLarge;
            line.assign(m_input, m_inputStart, end - m_inputStart);
            m_inputStart = end + 1;
            if (m_inputStart == m_input.size()) {
                m_input.clear();
                m_inputStart = 0;
            }
            return Read::Line;
        }
        if (m_input.size() - m_inputStart > kMaxLineBytes)
            return Read::TooLarge;
        // Checked before every read, so a peer that never stops sending
        // still ends at the deadline.
        if (expired(m_callDeadline))
            return Read::TimedOut;
        // Only part of one line is left here: moving it is cheap.
        m_input.erase(0, m_inputStart);
        m_inputStart = 0;
        scanned = m_input.size();

        char buffer[16384];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            m_input.append(buffer, std::size_t(n));
            continue;
        }
        if (n == 0)
            return Read::Closed;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return Read::Closed;
        if (!waitFor(m_fd, POLLIN, m_callDeadline))
            return Read::TimedOut;
    }
}

} // namespace players
