#include "players/mpris/MprisWorld.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

extern char** environ;

namespace fs = std::filesystem;

namespace mpris_testing {

namespace {

using Clock = std::chrono::steady_clock;

bool waitUntil(double seconds, const std::function<bool()>& done)
{
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// argv and environment as C arrays for posix_spawn.
struct CArgs {
    std::vector<std::string> strings;
    std::vector<char*> pointers;
    explicit CArgs(std::vector<std::string> s) : strings(std::move(s))
    {
        for (auto& x : strings)
            pointers.push_back(x.data());
        pointers.push_back(nullptr);
    }
};

CArgs environmentWith(const std::vector<std::string>& overrides)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string key = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const auto& o : overrides)
            replaced = replaced || o.substr(0, o.find('=')) == key;
        if (!replaced)
            env.push_back(entry);
    }
    env.insert(env.end(), overrides.begin(), overrides.end());
    return CArgs(std::move(env));
}

} // namespace

bool ChildProcess::start(const std::vector<std::string>& argv, const std::vector<std::string>& environment)
{
    stop();
    CArgs args(argv);
    CArgs env = environmentWith(environment);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int spawned = posix_spawnp(&m_pid, args.pointers[0], &actions, nullptr, args.pointers.data(), env.pointers.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        m_pid = -1;
    return spawned == 0;
}

bool ChildProcess::running()
{
    if (m_pid <= 0)
        return false;
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_pid = -1;
        return false;
    }
    return true;
}

void ChildProcess::stop()
{
    if (!running())
        return;
    kill(m_pid, SIGTERM);
    if (!waitUntil(3.0, [this] { return !running(); })) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
}

std::optional<std::string> MprisWorld::startBus(const std::string& serviceProgram)
{
    std::string pattern = (fs::temp_directory_path() / "zintara-mpris-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        return std::string("cannot make a temporary folder");
    m_folder = pattern;
    fs::create_directories(m_folder + "/services");
    fs::create_directories(m_folder + "/mpv-config");
    const std::string address = "unix:path=" + m_folder + "/bus";
    {
        std::ofstream config(m_folder + "/bus.conf");
        config << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                  " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                  "<busconfig>\n  <type>session</type>\n  <listen>" << address << "</listen>\n"
               << "  <servicedir>" << m_folder << "/services</servicedir>\n"
               << "  <policy context=\"default\">\n    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                  "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n  </policy>\n</busconfig>\n";
        std::ofstream service(m_folder + "/services/org.mpris.MediaPlayer2." + kActivatableName + ".service");
        service << "[D-BUS Service]\nName=org.mpris.MediaPlayer2." << kActivatableName << "\nExec=" << serviceProgram
                << " --name " << kActivatableName << " --identity Activated\n";
    }
    // Known before the bus starts, so the bus and what it starts see it too.
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return std::string("cannot make a pipe");
    CArgs args({"dbus-daemon", "--config-file=" + m_folder + "/bus.conf", "--fork", "--print-pid=1"});
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    pid_t launcher = -1;
    const int spawned = posix_spawnp(&launcher, "dbus-daemon", &actions, nullptr, args.pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    std::string printed;
    char buffer[64];
    ssize_t n;
    while (spawned == 0 && (n = read(pipeFds[0], buffer, sizeof buffer)) != 0) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        printed.append(buffer, std::size_t(n));
    }
    close(pipeFds[0]);
    if (spawned != 0)
        return std::string("cannot start dbus-daemon (tools/install-deps installs it)");
    waitpid(launcher, nullptr, 0);
    m_busPid = std::atoi(printed.c_str());
    if (m_busPid <= 0)
        return "dbus-daemon did not start: " + printed;
    return std::nullopt;
}

std::optional<std::string> MprisWorld::startMpv()
{
    std::string error;
    m_tracks = testing_support::makeTestAudio(m_folder + "/audio", &error);
    if (m_tracks.empty())
        return error;
    // mpv reads its scripts, the MPRIS plugin among them, from the system's
    // folder; the user's own configuration is kept out.
    std::vector<std::string> argv = {"mpv", "--idle=yes", "--ao=null", "--no-video", "--no-terminal",
        "--no-resume-playback", "--loop-playlist=no"};
    for (const auto& t : m_tracks)
        argv.push_back(t.path);
    if (!m_mpv.start(argv, {"XDG_CONFIG_HOME=" + m_folder + "/mpv-config", "HOME=" + m_folder}))
        return std::string("cannot start mpv (tools/install-deps installs mpv and mpv-mpris)");
    m_mpvBusName = waitForMprisName("org.mpris.MediaPlayer2.mpv");
    if (m_mpvBusName.empty())
        return std::string("mpv did not appear on the bus: is mpv-mpris installed?");
    return std::nullopt;
}

void MprisWorld::stop()
{
    m_mpv.stop();
    if (m_busPid > 0) {
        kill(m_busPid, SIGTERM);
        if (!waitUntil(3.0, [this] { return kill(m_busPid, 0) != 0; }))
            kill(m_busPid, SIGKILL);
        m_busPid = -1;
    }
    if (!m_folder.empty()) {
        std::error_code ec;
        fs::remove_all(m_folder, ec);
        m_folder.clear();
    }
}

bool waitForBusName(const std::string& busName, bool present, double seconds)
{
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    return waitUntil(seconds, [&] { return bus->isServiceRegistered(QString::fromStdString(busName)).value() == present; });
}

std::string waitForMprisName(const std::string& prefix, double seconds)
{
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    std::string found;
    waitUntil(seconds, [&] {
        for (const QString& name : bus->registeredServiceNames().value()) {
            if (name.startsWith(QString::fromStdString(prefix))) {
                found = name.toStdString();
                return true;
            }
        }
        return false;
    });
    return found;
}

} // namespace mpris_testing
