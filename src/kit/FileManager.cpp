#include "kit/FileManager.h"

#include <unistd.h>

namespace kit {

FileManager& FileManager::defaultManager()
{
    static FileManager manager;
    return manager;
}

bool FileManager::isWritableFileAtPath(const std::string& path) const
{
    return ::access(path.c_str(), W_OK) == 0;
}

bool FileManager::removeFileAtPath(const std::string& path) const
{
    return ::unlink(path.c_str()) == 0;
}

} // namespace kit
