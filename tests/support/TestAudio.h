#pragma once

#include <string>
#include <vector>

namespace testing_support {

// One of the short audio files the real-player tests play. The tags are
// what a player reads back; an empty title means the file carries no tags
// at all, so a player falls back to its file name.
struct TestTrack {
    std::string fileName;  // inside the folder given to makeTestAudio
    std::string path;      // absolute
    std::string title;
    std::string artist;
    std::string album;
    std::string trackTag;  // the TRACKNUMBER comment as written: "1", "2/3", ""
    int trackNumber = 0;   // its first number, 0 when absent
    int trackCount = 0;    // its second number, 0 when absent
    int seconds = 0;       // length of the audio
};

// The files makeTestAudio writes, in queue order. `path` is empty here.
std::vector<TestTrack> testTrackList();

// Writes the test files (FLAC, 8 kHz mono sine tones, tagged with
// metaflac) into `folder`, creating it. Returns the tracks with their
// paths, or an empty list with `error` set when sox or metaflac is missing
// or fails.
std::vector<TestTrack> makeTestAudio(const std::string& folder, std::string* error = nullptr);

// True when sox and metaflac can be found on PATH.
bool testAudioToolsAvailable();

} // namespace testing_support
