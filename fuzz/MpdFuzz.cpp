// Plays an MPD server whose every word comes from the input, and runs a
// poll's scripts and the menu's commands against it through the MPD
// player. The input is the server's side of the conversation: the parts
// between blank lines ("\n\n") are sent one by one, the greeting first and
// then one part for each request the player makes; when they run out the
// server hangs up. Nothing may crash, hang or grow without bound, and every
// failure must reach the scripts as an error with a number and a message.
#include "players/PlayerDirectory.h"
#include "players/PollBudget.h"
#include "players/mpd/MpdPlayer.h"
#include "script/Script.h"
#include "support/MpdRequests.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

const char* const kScripts[] = {
    "return name of current track",
    "return artist of current track",
    "return album of current track",
    "if player state is playing then\nset s to \"N\"\nelse\nset s to \"Y\"\nend if\n"
    "if shuffle of current playlist then\nset s to s & \"Y\"\nend if\n"
    "if song repeat of current playlist is all then\nset s to s & \"2\"\nend if\nreturn s",
    "get name of track ((get index of current track) + 1) of current playlist",
    "return \"(\" & (track number of current track) & \" of \" & (track count of current track) & \")\"",
    "return (player position) / (duration of current track)",
    "return rating of current track",
    "return name of track -1 of current playlist",
    "return index of track \"Fuzz\" of current playlist",
    "return current track",
    "set rating of current track to 60",
    "set song repeat of current playlist to off",
    "set player position to 12.5",
    "play track 2 of current playlist",
    "next track",
    "playpause",
};

// The server: an abstract local socket that answers from the input.
class Server {
public:
    Server()
    {
        m_name = "@zintara-fuzz-mpd-" + std::to_string(::getpid());
        m_socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path + 1, m_name.data() + 1, m_name.size() - 1);
        const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + m_name.size());
        if (m_socket < 0 || ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), length) != 0
            || ::listen(m_socket, 8) != 0) {
            std::perror("fuzz server");
            std::abort();
        }
    }
    const std::string& name() const { return m_name; }

    // Answers from `parts` until stop() is called.
    void start(std::vector<std::string> parts)
    {
        m_parts = std::move(parts);
        m_next = 0;
        m_stopping = false;
        m_thread = std::thread([this] { serve(); });
    }
    void stop()
    {
        m_stopping = true;
        m_thread.join();
    }

private:
    bool wait(int fd, short events)
    {
        while (!m_stopping) {
            pollfd p{fd, events, 0};
            if (::poll(&p, 1, 5) > 0)
                return true;
        }
        return false;
    }
    bool sendPart(int fd)
    {
        if (m_next >= m_parts.size())
            return false;
        const std::string& part = m_parts[m_next++];
        for (std::size_t sent = 0; sent < part.size();) {
            if (!wait(fd, POLLOUT))
                return false;
            const ssize_t n = ::send(fd, part.data() + sent, part.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            sent += std::size_t(n);
        }
        return true;
    }
    void converse(int fd)
    {
        if (!sendPart(fd))
            return;
        testing_support::readMpdRequests(fd, [this] { return !m_stopping; },
                                         [&](const std::vector<std::string>&) { return sendPart(fd); });
    }
    void serve()
    {
        while (wait(m_socket, POLLIN)) {
            const int fd = ::accept4(m_socket, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            converse(fd);
            ::close(fd);
        }
    }

    std::string m_name;
    int m_socket = -1;
    std::vector<std::string> m_parts;
    std::size_t m_next = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

std::vector<std::string> split(const std::string& input)
{
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t at; (at = input.find("\n\n", from)) != std::string::npos; from = at + 2)
        parts.push_back(input.substr(from, at - from + 1));
    parts.push_back(input.substr(from));
    return parts;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Server server;
    server.start(split(std::string(reinterpret_cast<const char*>(data), size)));
    {
        players::PlayerDirectory directory;
        // Short waits: an input that leaves an answer unfinished costs its
        // wait on every request.
        auto owned = std::make_unique<players::MpdPlayer>("iTunes", players::MpdAddress::parse(server.name()).value(), 10);
        players::MpdPlayer* player = owned.get();
        directory.setPlayer(std::move(owned));
        for (int poll = 0; poll < 2; ++poll) {
            player->beginPoll(players::PollBudget::startingNow(std::chrono::milliseconds(40)));
            for (const char* body : kScripts) {
                script::Script s(std::string("tell application \"iTunes\"\n") + body + "\nend tell", directory);
                auto r = s.execute();
                if (r) {
                    (void)r.value().stringValue();
                } else if (r.error().number == 0 || r.error().message.empty()) {
                    std::fprintf(stderr, "error without number or message: %d \"%s\"\n", r.error().number,
                                 r.error().message.c_str());
                    std::abort();
                }
            }
        }
    }
    server.stop();
    return 0;
}
