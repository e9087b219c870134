#pragma once

#include <memory>
#include <string>

class QWidget;

namespace kit {

class Menu;
class StatusBar;
class View;

// One item of the status bar. Its face is a view (not owned) or a title.
class StatusItem {
public:
    StatusItem(StatusBar* bar, float length);
    ~StatusItem();
    StatusItem(const StatusItem&) = delete;
    StatusItem& operator=(const StatusItem&) = delete;

    StatusBar* statusBar() const { return m_bar; }
    float length() const { return m_length; }

    // The view shown in the item, sized to the item; not owned.
    void setView(View* view);
    View* view() const { return m_view; }
    // Event mask that sends the item's action (kept; clicks reach the view).
    void sendActionOn(unsigned mask) { m_actionMask = mask; }
    unsigned actionMask() const { return m_actionMask; }
    void setHighlightMode(bool flag) { m_highlightMode = flag; }
    bool highlightMode() const { return m_highlightMode; }
    void setTitle(const std::string& title) { m_title = title; }
    const std::string& title() const { return m_title; }

    // Shows `menu` under the item and returns when it closes, with the run
    // loop in the event-tracking mode meanwhile.
    void popUpStatusItemMenu(Menu& menu);

    // Left edge of the item in the bar, in points from the bar's left
    // (set by the bar's layout).
    double x() const { return m_x; }
    void setX(double x);

    // Kit-internal: the item's place in the bar's strip (the view's parent).
    QWidget* widget() const;

private:
    struct Private;
    StatusBar* m_bar;
    float m_length;
    View* m_view = nullptr;
    unsigned m_actionMask = 0;
    bool m_highlightMode = false;
    std::string m_title;
    double m_x = 0.0;
    std::unique_ptr<Private> d;
};

} // namespace kit
