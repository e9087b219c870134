#pragma once

// The controller: the application's delegate and owner of all state. Its
// implementation is split into one source file per concern.
class Zintara {
public:
    Zintara();
    ~Zintara();

    // The status-bar marquee was clicked.
    void tunesMenuClick(void* sender);
};
