#include "support/TestEnvironment.h"

#include "kit/Bundle.h"
#include "kit/RunLoop.h"
#include "kit/UserDefaults.h"
#include "kit/Workspace.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTextDocument>
#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace testing_support {

void KitTest::SetUp()
{
    std::string pattern = (fs::temp_directory_path() / "zintara-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_temp = pattern;
    fs::create_directories(configHome());
    setenv("HOME", m_temp.c_str(), 1);
    setenv("XDG_CONFIG_HOME", configHome().c_str(), 1);

    m_bundle = m_temp + "/Zintara.app";
    fs::copy(ZINTARA_BUNDLE_DIR, m_bundle, fs::copy_options::recursive);
    kit::Bundle::setMainBundlePath(m_bundle);

    m_scopedClock = std::make_unique<kit::ScopedClock>(clock);
    kit::RunLoop::main().reset();
    kit::UserDefaults::resetStandardUserDefaults();
}

void KitTest::TearDown()
{
    kit::RunLoop::main().reset();
    kit::UserDefaults::resetStandardUserDefaults();
    m_scopedClock.reset();
    std::error_code ec;
    fs::permissions(m_temp, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_temp, ec);
}

void KitTest::runFor(double seconds)
{
    kit::RunLoop::main().runFor(seconds);
}

QString shownText(const QString& text, Qt::TextFormat format, bool mnemonics)
{
    QString shown = text;
    if (format == Qt::RichText || (format == Qt::AutoText && Qt::mightBeRichText(text))) {
        QTextDocument document;
        document.setHtml(text);
        shown = document.toPlainText(); // an image or other object shows as U+FFFC
    }
    if (!mnemonics)
        return shown;
    QString letters;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (shown[i] == u'&' && i + 1 < shown.size())
            ++i; // "&&" shows one '&'; "&x" an underlined x
        letters += shown[i];
    }
    return letters;
}

void sendMouse(QWidget* widget, QEvent::Type type, QPointF at)
{
    QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

} // namespace testing_support
