#pragma once

#include <string>

namespace kit {

// The few file operations the program asks of its platform.
class FileManager {
public:
    static FileManager& defaultManager();

    // Whether the file exists and this process may write it.
    bool isWritableFileAtPath(const std::string& path) const;
    // Removes a file; false when it could not be removed.
    bool removeFileAtPath(const std::string& path) const;
};

} // namespace kit
