#include "kit/LoginItem.h"

#include "kit/Bundle.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <unistd.h>

namespace kit {

namespace fs = std::filesystem;

namespace {

std::string configHome()
{
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        return xdg;
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.config";
    const passwd* pw = ::getpwuid(::getuid());
    return std::string(pw && pw->pw_dir ? pw->pw_dir : "") + "/.config";
}

// The program's path as an Exec value: quoted, with the characters the
// desktop entry format reserves inside quotes escaped, then the string
// escapes of the format itself.
std::string execValue(const std::string& program)
{
    std::string quoted = "\"";
    for (const char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string value;
    for (const char c : quoted) {
        if (c == '\\')
            value += "\\\\";
        else if (c == '%')
            value += "%%";
        else
            value += c;
    }
    return value;
}

std::string reason(const std::string& path, int error)
{
    return path + ": " + std::strerror(error);
}

} // namespace

std::string LoginItem::path()
{
    std::string name = Bundle::mainBundle().bundleIdentifier();
    for (char& c : name) {
        if (c == '/')
            c = '_';
    }
    return configHome() + "/autostart/" + name + ".desktop";
}

bool LoginItem::isEnabled()
{
    std::error_code ec;
    return fs::exists(path(), ec);
}

std::string LoginItem::entryText(const std::string& executable)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Zintara\n"
           "Comment=Scroll the playing track in a strip at the top of the screen\n"
           "Exec=" + execValue(executable) + "\n"
           "Icon=org.zintara.Zintara\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

std::optional<std::string> LoginItem::setEnabled(bool enabled)
{
    const std::string target = path();
    if (!enabled) {
        if (::unlink(target.c_str()) != 0 && errno != ENOENT)
            return reason(target, errno);
        return std::nullopt;
    }
    std::error_code ec;
    const fs::path folder = fs::path(target).parent_path();
    fs::create_directories(folder, ec);
    if (ec)
        return reason(folder.string(), ec.value());
    // Written beside the entry and moved over it, so a session starting
    // meanwhile never reads half a file.
    const std::string temporary = target + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            return reason(temporary, errno ? errno : EACCES);
        out << entryText(QCoreApplication::applicationFilePath().toStdString());
        out.flush();
        if (!out) {
            const int error = errno ? errno : EIO;
            ::unlink(temporary.c_str());
            return reason(temporary, error);
        }
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return reason(target, error);
    }
    return std::nullopt;
}

} // namespace kit
