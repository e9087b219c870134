#pragma once

#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace kit {

// A control from an interface file: a tag, and an action that it sends to
// its target (the controller) when the user works it.
class Control {
public:
    using Action = std::function<void(Control* sender)>;

    explicit Control(QWidget* widget);
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }

    // The action's name as the interface file gives it ("btnClick:").
    const std::string& actionName() const { return m_actionName; }
    void setAction(std::string name, Action action);
    // Sends the action to the target as a user's click would.
    void sendAction();

    bool isEnabled() const;
    void setEnabled(bool enabled);

    // Kit-internal.
    QWidget* widget() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
    int m_tag = 0;
    std::string m_actionName;
    Action m_action;
};

} // namespace kit
