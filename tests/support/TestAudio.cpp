#include "support/TestAudio.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

extern char** environ;

namespace fs = std::filesystem;

namespace testing_support {
namespace {

// Runs a program with its arguments, without a shell, so file names need no
// quoting. Output goes to /dev/null; true when it exits with 0.
bool run(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool onPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::string::size_type start = 0;
    while (start <= dirs.size()) {
        const auto end = dirs.find(':', start);
        const std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0)
            return true;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return false;
}

} // namespace

std::vector<TestTrack> testTrackList()
{
    // Long enough that a test never sees a track end under it; the tones
    // differ so the files differ.
    return {
        {"01 Alpha.flac", "", "Alpha Song", "Test Artist", "Test Album", "1", 1, 0, 40},
        {"02 Beta.flac", "", "Beta Song", "Other Artist", "Test Album", "2/3", 2, 3, 50},
        {"03 Gamma.flac", "", "Gamma Song", "Test Artist", "Second Album", "3/3", 3, 3, 60},
        {"untagged take.flac", "", "", "", "", "", 0, 0, 30},
    };
}

bool testAudioToolsAvailable()
{
    return onPath("sox") && onPath("metaflac");
}

std::vector<TestTrack> makeTestAudio(const std::string& folder, std::string* error)
{
    auto fail = [&](const std::string& message) {
        if (error)
            *error = message;
        return std::vector<TestTrack>{};
    };
    if (!testAudioToolsAvailable())
        return fail("sox and metaflac are needed to make the test audio (tools/install-deps installs them)");

    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec)
        return fail("cannot create " + folder + ": " + ec.message());

    std::vector<TestTrack> tracks = testTrackList();
    int tone = 330;
    for (auto& track : tracks) {
        track.path = (fs::absolute(folder) / track.fileName).string();
        tone += 110;
        if (!run({"sox", "-n", "-r", "8000", "-c", "1", "-b", "16", track.path,
                  "synth", std::to_string(track.seconds), "sine", std::to_string(tone)}))
            return fail("sox could not write " + track.path);
        // sox may write tags of its own; start from none.
        std::vector<std::string> tag = {"metaflac", "--remove-all-tags"};
        if (!track.title.empty()) {
            tag.push_back("--set-tag=TITLE=" + track.title);
            tag.push_back("--set-tag=ARTIST=" + track.artist);
            tag.push_back("--set-tag=ALBUM=" + track.album);
            tag.push_back("--set-tag=TRACKNUMBER=" + track.trackTag);
        }
        tag.push_back(track.path);
        if (!run(tag))
            return fail("metaflac could not tag " + track.path);
    }
    if (error)
        error->clear();
    return tracks;
}

} // namespace testing_support
