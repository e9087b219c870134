#pragma once

#include <memory>

class QCoreApplication;

namespace kit {

// The platform's event machinery for a program without windows: Qt's core
// application, through which the session bus delivers its signals to the
// media-bus players. A command-line program makes one first thing in main()
// and keeps it until main() returns.
class CommandLineHost {
public:
    CommandLineHost(int& argc, char** argv);
    ~CommandLineHost();
    CommandLineHost(const CommandLineHost&) = delete;
    CommandLineHost& operator=(const CommandLineHost&) = delete;

private:
    std::unique_ptr<QCoreApplication> m_application;
};

} // namespace kit
