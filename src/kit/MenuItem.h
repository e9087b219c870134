#pragma once

#include <functional>
#include <memory>
#include <string>

class QAction;

namespace kit {

class Menu;

// An item of a menu: tag, title, check mark, enabled flag, action, and an
// optional submenu.
class MenuItem {
public:
    using Action = std::function<void(MenuItem* sender)>;

    explicit MenuItem(QAction* action);
    ~MenuItem();
    MenuItem(const MenuItem&) = delete;
    MenuItem& operator=(const MenuItem&) = delete;

    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }

    std::string title() const;
    void setTitle(const std::string& title);

    // 1 shows the check mark; 0 shows nothing where it was, as on an item
    // never marked.
    int state() const;
    void setState(int state);

    bool isEnabled() const;
    void setEnabled(bool enabled);

    Menu* submenu() const { return m_submenu; }
    void setSubmenu(Menu* menu) { m_submenu = menu; }

    const std::string& actionName() const { return m_actionName; }
    void setAction(std::string name, Action action);
    // Chooses the item as the user would (disabled items do nothing).
    void performAction();

    // Kit-internal.
    QAction* qaction() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
    int m_tag = 0;
    std::string m_actionName;
    Action m_action;
    Menu* m_submenu = nullptr;
};

} // namespace kit
