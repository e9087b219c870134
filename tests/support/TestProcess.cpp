#include "support/TestProcess.h"

#include <QtGlobal>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace testing_support {

namespace {
QtMessageHandler g_previousHandler = nullptr;

// The offscreen platform says so for every window it cannot raise; that is
// noise, not a finding.
void filterMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("This plugin does not support")))
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(message));
}
} // namespace

void prepareTestProcess()
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string runtime = (std::filesystem::temp_directory_path() / "zintara-test-runtime").string();
    std::filesystem::create_directories(runtime);
    chmod(runtime.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    g_previousHandler = qInstallMessageHandler(filterMessages);
}

} // namespace testing_support
