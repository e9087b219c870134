#include "support/MpdServer.h"

#include "support/MpdRequests.h"

#include <mpd/client.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

namespace testing_support {
namespace {

int listeningSocket(unsigned* port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t length = sizeof addr;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 16) != 0
        || getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
        close(fd);
        return -1;
    }
    *port = ntohs(addr.sin_port);
    return fd;
}

// Waiting on the real server: a bounded poll of the real clock.
template <class Condition>
bool waitFor(Condition condition, double seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

} // namespace

unsigned freeLocalPort()
{
    unsigned port = 0;
    const int fd = listeningSocket(&port);
    if (fd >= 0)
        close(fd);
    return port;
}

MpdServer::~MpdServer()
{
    stop();
}

bool MpdServer::start(const std::string& folder, std::string* error, bool stickers, const std::string& password)
{
    m_password = password;
    auto fail = [&](const std::string& message) {
        if (error)
            *error = message;
        stop();
        return false;
    };
    if (access("/usr/bin/mpd", X_OK) != 0)
        return fail("mpd is not installed (tools/install-deps installs it)");
    m_tracks = makeTestAudio(folder + "/music", error);
    if (m_tracks.empty())
        return false;
    m_port = freeLocalPort();
    const std::string config = folder + "/mpd.conf";
    {
        std::ofstream out(config);
        out << "music_directory \"" << folder << "/music\"\n"
            << "db_file \"" << folder << "/db\"\n"
            << "state_file \"" << folder << "/state\"\n"
            << "log_file \"" << folder << "/log\"\n"
            << (stickers ? "sticker_file \"" + folder + "/sticker.sql\"\n" : "")
            << "bind_to_address \"127.0.0.1\"\n"
            << "port \"" << m_port << "\"\n"
            << "zeroconf_enabled \"no\"\n"
            << (password.empty() ? "" : "password \"" + password + "@read,add,control,admin\"\ndefault_permissions \"\"\n")
            << "audio_output {\n  type \"null\"\n  name \"null\"\n}\n";
    }
    m_config = config;
    if (!launch(error))
        return false;
    // The first start scans the music folder by itself.
    const bool scanned = waitFor([&] {
        mpd_connection* c = control();
        mpd_stats* stats = c ? mpd_run_stats(c) : nullptr;
        const bool done = stats && mpd_stats_get_number_of_songs(stats) == m_tracks.size();
        if (stats)
            mpd_stats_free(stats);
        return done;
    }, 10);
    if (!scanned)
        return fail("mpd did not read the test audio");
    mpd_connection* c = control();
    mpd_run_clear(c);
    for (const auto& track : m_tracks)
        mpd_run_add(c, track.fileName.c_str());
    if (mpd_connection_get_error(c) != MPD_ERROR_SUCCESS)
        return fail(std::string("mpd refused the queue: ") + mpd_connection_get_error_message(c));
    return true;
}

bool MpdServer::launch(std::string* error)
{
    m_pid = fork();
    if (m_pid < 0) {
        if (error)
            *error = "cannot start mpd";
        return false;
    }
    if (m_pid == 0) {
        // A test that crashes or is killed takes its server with it.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        // It logs to its file; the test's output stays readable.
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        dup2(devnull, 2);
        execl("/usr/bin/mpd", "mpd", "--no-daemon", m_config.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (!waitFor([&] { return control() != nullptr; }, 10)) {
        if (error)
            *error = "mpd did not listen on " + address();
        stop();
        return false;
    }
    return true;
}

bool MpdServer::restart(std::string* error)
{
    stop();
    return launch(error);
}

mpd_connection* MpdServer::control()
{
    if (m_control && mpd_connection_get_error(m_control) != MPD_ERROR_SUCCESS
        && !mpd_connection_clear_error(m_control)) {
        mpd_connection_free(m_control);
        m_control = nullptr;
    }
    if (!m_control && m_pid > 0) {
        m_control = mpd_connection_new("127.0.0.1", m_port, 5000);
        if (m_control && !m_password.empty())
            mpd_run_password(m_control, m_password.c_str());
        if (m_control && mpd_connection_get_error(m_control) != MPD_ERROR_SUCCESS) {
            mpd_connection_free(m_control);
            m_control = nullptr;
        }
    }
    return m_control;
}

void MpdServer::stop()
{
    if (m_control)
        mpd_connection_free(m_control);
    m_control = nullptr;
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGTERM);
    int status = 0;
    if (!waitFor([&] { return waitpid(m_pid, &status, WNOHANG) == m_pid; }, 5)) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, &status, 0);
    }
    m_pid = -1;
}

SilentPeer::SilentPeer()
{
    m_socket = listeningSocket(&m_port);
}

SilentPeer::~SilentPeer()
{
    if (m_socket >= 0)
        close(m_socket);
}

FakeMpd::FakeMpd(Mode mode, std::string status, std::string song)
    : m_mode(mode)
    , m_status(std::move(status))
    , m_song(std::move(song))
{
    m_socket = listeningSocket(&m_port);
    if (m_socket >= 0)
        m_thread = std::thread([this] { serve(); });
}

FakeMpd::~FakeMpd()
{
    m_stopping = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_socket >= 0)
        close(m_socket);
}

std::string FakeMpd::defaultStatus()
{
    return "volume: 50\nrepeat: 0\nrandom: 0\nsingle: 0\nconsume: 0\nplaylist: 7\nplaylistlength: 3\n"
           "state: play\nsong: 0\nsongid: 1\nelapsed: 10.000\nduration: 100.000\nnextsong: 1\n";
}

std::string FakeMpd::defaultSong()
{
    return "file: fake/one.flac\nTitle: Fake One\nArtist: Fake Artist\nAlbum: Fake Album\nTrack: 1\n"
           "duration: 100.000\nPos: 0\nId: 1\n";
}

std::string FakeMpd::answer(const std::vector<std::string>& commands) const
{
    std::string text;
    for (const std::string& command : commands) {
        if (command == "status")
            text += m_status;
        else if (command == "currentsong" || command.rfind("playlistinfo", 0) == 0)
            text += m_song;
        if (commands.size() > 1)
            text += "list_OK\n";
    }
    return text + "OK\n";
}

// Sends `text` as the mode says; false once the peer is stopping or the
// client left.
bool FakeMpd::sendSlowly(int fd, const std::string& text)
{
    auto pause = [&](int ms) {
        for (int waited = 0; waited < ms && !m_stopping; waited += 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return !m_stopping;
    };
    auto write = [&](const std::string& part) {
        return ::send(fd, part.data(), part.size(), MSG_NOSIGNAL) == ssize_t(part.size());
    };
    switch (m_mode) {
    case Mode::Whole:
        return write(text);
    case Mode::Stall:
        return pause(1 << 30);
    case Mode::HalfAnswer:
        return write(text.substr(0, text.size() / 2)) && pause(1 << 30);
    case Mode::Slow:
        return pause(150) && write(text);
    case Mode::Drip:
        for (std::size_t from = 0; from < text.size();) {
            const std::size_t end = text.find('\n', from) + 1;
            if (!pause(900) || !write(text.substr(from, end - from)))
                return false;
            from = end;
        }
        return true;
    case Mode::Flood: {
        const std::string lines = [] {
            std::string many = "file: flood.flac\n";
            for (int i = 0; i < 1000; ++i)
                many += "Title: more and more\n";
            return many;
        }();
        while (!m_stopping) {
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 10) > 0 && !write(lines))
                return false;
        }
        return false;
    }
    case Mode::Garbage:
        return write(std::string("\x01\xff\0 no protocol\n", 16)) && pause(1 << 30);
    }
    return false;
}

void FakeMpd::converse(int fd)
{
    const std::string greeting = "OK MPD 0.23.5\n";
    if (::send(fd, greeting.data(), greeting.size(), MSG_NOSIGNAL) != ssize_t(greeting.size()))
        return;
    readMpdRequests(fd, [this] { return !m_stopping; },
                    [&](const std::vector<std::string>& commands) { return sendSlowly(fd, answer(commands)); });
}

void FakeMpd::serve()
{
    std::vector<std::thread> clients;
    while (!m_stopping) {
        pollfd p{m_socket, POLLIN, 0};
        if (::poll(&p, 1, 10) <= 0)
            continue;
        const int fd = accept4(m_socket, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        // Each client on its own thread, as a server takes a new client
        // while an old one is still being answered.
        clients.emplace_back([this, fd] {
            converse(fd);
            close(fd);
        });
    }
    for (std::thread& client : clients)
        client.join();
}

} // namespace testing_support
