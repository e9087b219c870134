#pragma once

#include <poll.h>
#include <sys/socket.h>

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// The server's side of a conversation with an MPD client on `fd`: reads its
// requests until it leaves or `going` turns false, and hands each to
// `answer` (a command list as its commands), which returns false to hang up.
inline void readMpdRequests(int fd, const std::function<bool()>& going,
                            const std::function<bool(const std::vector<std::string>&)>& answer)
{
    std::string input;
    std::vector<std::string> commands;
    bool inList = false;
    while (going()) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 10) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        input.append(buffer, std::size_t(n));
        for (std::size_t end; (end = input.find('\n')) != std::string::npos;) {
            const std::string line = input.substr(0, end);
            input.erase(0, end + 1);
            if (line == "command_list_ok_begin" || line == "command_list_begin") {
                inList = true;
                continue;
            }
            if (line != "command_list_end")
                commands.push_back(line);
            if (inList && line != "command_list_end")
                continue;
            inList = false;
            if (!answer(commands))
                return;
            commands.clear();
        }
    }
}

} // namespace testing_support
