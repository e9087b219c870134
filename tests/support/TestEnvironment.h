#pragma once

#include "kit/Clock.h"

#include <QEvent>
#include <QPointF>
#include <QString>

#include <gtest/gtest.h>

#include <memory>
#include <string>

class QWidget;

namespace testing_support {

// A fresh world for each test: a temporary HOME and XDG_CONFIG_HOME, a
// private copy of the bundle, a manual clock, an empty run loop and
// workspace, and a reloaded user-defaults store.
class KitTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Moves the manual clock forward, firing every timer due on the way in
    // the run loop's current mode.
    void runFor(double seconds);

    const std::string& tempDir() const { return m_temp; }
    const std::string& bundlePath() const { return m_bundle; }
    std::string configHome() const { return m_temp + "/config"; }

    kit::ManualClock clock;

private:
    std::string m_temp;
    std::string m_bundle;
    std::unique_ptr<kit::ScopedClock> m_scopedClock;
};

// Sends a left-button mouse event at a point in the widget's own (top-left)
// coordinates, as the platform would.
void sendMouse(QWidget* widget, QEvent::Type type, QPointF at);

// The letters a widget shows for its text: as markup when `format` says so or
// leaves it to the text (Qt::AutoText) and the text looks like markup, and
// with '&' read as a shortcut mark where `mnemonics` says so.
QString shownText(const QString& text, Qt::TextFormat format, bool mnemonics = false);

// Reads a whole file ("" when it cannot be read).
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

} // namespace testing_support
