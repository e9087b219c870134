// Test programs run offscreen: discovery starts them without ctest's
// environment, so the platform is chosen here, before QApplication exists.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>

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

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string runtime = (std::filesystem::temp_directory_path() / "zintara-test-runtime").string();
    std::filesystem::create_directories(runtime);
    chmod(runtime.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);

    g_previousHandler = qInstallMessageHandler(filterMessages);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
