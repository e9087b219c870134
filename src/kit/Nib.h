#pragma once

#include "kit/Control.h"
#include "kit/Geometry.h"
#include "kit/MenuItem.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QObject;
class QWidget;

namespace kit {

class Button;
class Menu;
class View;
class Window;

// Builds windows, controls and menus from interface files (Qt Designer .ui)
// and connects them to their owner by name: an object's name is its outlet,
// a dynamic property `tag` (integer) its tag, and a dynamic property `action`
// ("btnClick:") the owner's action it sends. The file, not code, decides the
// layout. Widgets become controls by class: buttons and checkboxes Button,
// sliders Slider (property `scale`), combo boxes PopUpButton (property
// `itemTags`), labels and line edits TextField, and a button with the
// property `colorWell` set ColorWell. Loading fails with a message when a file names an action the owner
// lacks or a view class nobody registered; `verifyOutlets` fails when the
// owner declared an outlet no file provided.
class Nib {
public:
    Nib();
    ~Nib();
    Nib(const Nib&) = delete;
    Nib& operator=(const Nib&) = delete;

    // The owner's table: outlets and actions.
    void outlet(const std::string& name, Window** slot);
    void outlet(const std::string& name, Button** slot);
    void outlet(const std::string& name, Control** slot);
    void outlet(const std::string& name, Menu** slot);
    void outlet(const std::string& name, MenuItem** slot);
    template <class V>
    void viewOutlet(const std::string& name, V** slot)
    {
        m_outlets[name] = Outlet{Outlet::Kind::View, [slot](void* object) {
                                     *slot = dynamic_cast<V*>(static_cast<View*>(object));
                                     return *slot != nullptr;
                                 }};
    }
    // An outlet to a control of a kit class derived from Control (Slider,
    // PopUpButton, ColorWell, TextField).
    template <class C>
    void controlOutlet(const std::string& name, C** slot)
    {
        m_outlets[name] = Outlet{Outlet::Kind::Control, [slot](void* object) {
                                     *slot = dynamic_cast<C*>(static_cast<Control*>(object));
                                     return *slot != nullptr;
                                 }};
    }
    void action(const std::string& name, Control::Action action);
    void menuAction(const std::string& name, MenuItem::Action action);

    // Custom view classes the files may use (promoted widgets).
    using ViewFactory = std::function<std::unique_ptr<View>(Rect frame)>;
    static void registerViewClass(const std::string& className, ViewFactory factory);

    // Loads one file. False, with `error` set, when it cannot be read or
    // names an unknown action or view class.
    bool load(const std::string& path, std::string* error);
    // True when every declared outlet was connected; else names the first.
    bool verifyOutlets(std::string* error) const;

    const std::vector<std::unique_ptr<Window>>& windows() const { return m_windows; }
    const std::vector<std::unique_ptr<Menu>>& menus() const { return m_menus; }

private:
    struct Outlet {
        enum class Kind { Window, Button, Control, Menu, MenuItem, View };
        Kind kind;
        std::function<bool(void*)> connect;
        bool connected = false;
    };
    class Loader;

    bool wireWidget(QWidget* widget, std::string* error);
    bool wireMenu(Menu& menu, std::string* error);
    bool connectOutlet(const std::string& name, Outlet::Kind kind, void* object, std::string* error);

    std::map<std::string, Outlet> m_outlets;
    std::map<std::string, Control::Action> m_actions;
    std::map<std::string, MenuItem::Action> m_menuActions;

    std::vector<std::unique_ptr<Window>> m_windows;
    std::vector<std::unique_ptr<Menu>> m_menus;
    std::vector<std::unique_ptr<Control>> m_controls;
    std::vector<std::unique_ptr<View>> m_views;
};

} // namespace kit
