#include "kit/Nib.h"

#include "kit/Button.h"
#include "kit/ColorWell.h"
#include "kit/Menu.h"
#include "kit/PopUpButton.h"
#include "kit/Slider.h"
#include "kit/TextField.h"
#include "kit/View.h"
#include "kit/Window.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QCoreApplication>
#include <QStringList>
#include <QUiLoader>
#include <QWidget>

namespace kit {

namespace {
std::map<std::string, Nib::ViewFactory>& viewClasses()
{
    static std::map<std::string, Nib::ViewFactory> classes;
    return classes;
}

std::string nameOf(const QObject* object)
{
    return object->objectName().toStdString();
}

std::string actionOf(const QObject* object)
{
    return object->property("action").toString().toStdString();
}
} // namespace

namespace {
// The files use Qt's own widgets and the kit's views only, yet the loader
// loads every Designer widget plugin it finds as it is made: several
// megabytes of libraries for none. It finds them through the library
// paths, so they are hidden while it is made.
class LibraryPathsHidden {
protected:
    LibraryPathsHidden()
        : m_saved(QCoreApplication::libraryPaths())
    {
        QCoreApplication::setLibraryPaths({});
    }
    void restoreLibraryPaths() { QCoreApplication::setLibraryPaths(m_saved); }

private:
    QStringList m_saved;
};
} // namespace

// Creates registered view classes where a file promotes a widget to one.
class Nib::Loader : private LibraryPathsHidden, public QUiLoader {
public:
    Loader()
    {
        restoreLibraryPaths();
        clearPluginPaths();
    }

    std::vector<std::unique_ptr<View>> views;
    std::map<QWidget*, View*> viewForWidget;

    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override
    {
        const auto it = viewClasses().find(className.toStdString());
        if (it == viewClasses().end())
            return QUiLoader::createWidget(className, parent, name);
        std::unique_ptr<View> view = it->second(Rect());
        if (!view || !view->widget())
            return nullptr;
        QWidget* widget = view->widget();
        widget->setObjectName(name);
        if (parent)
            widget->setParent(parent);
        viewForWidget[widget] = view.get();
        views.push_back(std::move(view));
        return widget;
    }
};

Nib::Nib() = default;

Nib::~Nib()
{
    // Wrappers first, then the widgets they point at.
    m_controls.clear();
    m_menus.clear();
    m_windows.clear();
    m_views.clear();
}

void Nib::outlet(const std::string& name, Window** slot)
{
    m_outlets[name] = Outlet{Outlet::Kind::Window, [slot](void* o) { return (*slot = static_cast<Window*>(o)); }};
}

void Nib::outlet(const std::string& name, Button** slot)
{
    m_outlets[name] = Outlet{Outlet::Kind::Button, [slot](void* o) {
                                 *slot = dynamic_cast<Button*>(static_cast<Control*>(o));
                                 return *slot != nullptr;
                             }};
}

void Nib::outlet(const std::string& name, Control** slot)
{
    m_outlets[name] = Outlet{Outlet::Kind::Control, [slot](void* o) { return (*slot = static_cast<Control*>(o)); }};
}

void Nib::outlet(const std::string& name, Menu** slot)
{
    m_outlets[name] = Outlet{Outlet::Kind::Menu, [slot](void* o) { return (*slot = static_cast<Menu*>(o)); }};
}

void Nib::outlet(const std::string& name, MenuItem** slot)
{
    m_outlets[name] = Outlet{Outlet::Kind::MenuItem, [slot](void* o) { return (*slot = static_cast<MenuItem*>(o)); }};
}

void Nib::action(const std::string& name, Control::Action action)
{
    m_actions[name] = std::move(action);
}

void Nib::menuAction(const std::string& name, MenuItem::Action action)
{
    m_menuActions[name] = std::move(action);
}

void Nib::registerViewClass(const std::string& className, ViewFactory factory)
{
    viewClasses()[className] = std::move(factory);
}

bool Nib::connectOutlet(const std::string& name, Outlet::Kind kind, void* object, std::string* error)
{
    const auto it = m_outlets.find(name);
    if (it == m_outlets.end())
        return true; // a name the owner does not care about (labels, layouts)
    Outlet& outlet = it->second;
    const bool controlFits = kind == Outlet::Kind::Button && outlet.kind == Outlet::Kind::Control;
    if ((outlet.kind != kind && !controlFits) || !outlet.connect(object)) {
        if (error)
            *error = "outlet \"" + name + "\" is connected to an object of the wrong kind";
        return false;
    }
    outlet.connected = true;
    return true;
}

bool Nib::wireWidget(QWidget* widget, std::string* error)
{
    const std::string name = nameOf(widget);
    const std::string actionName = actionOf(widget);
    const bool hasTag = widget->property("tag").isValid();
    const bool isOutlet = m_outlets.count(name) != 0;
    if (!isOutlet && actionName.empty() && !hasTag)
        return true;

    // Sliders, pop-ups and colour wells send their actions themselves (on a
    // user's change of value, choice of item, change of colour).
    std::unique_ptr<Control> control;
    Outlet::Kind kind = Outlet::Kind::Control;
    const bool isColorWell = widget->property("colorWell").toBool();
    if (isColorWell) {
        control = std::make_unique<ColorWell>(widget);
    } else if (qobject_cast<QAbstractButton*>(widget)) {
        control = std::make_unique<Button>(widget);
        kind = Outlet::Kind::Button;
    } else if (qobject_cast<QAbstractSlider*>(widget)) {
        control = std::make_unique<Slider>(widget);
    } else if (qobject_cast<QComboBox*>(widget)) {
        control = std::make_unique<PopUpButton>(widget);
    } else if (qobject_cast<QLineEdit*>(widget) || qobject_cast<QLabel*>(widget)) {
        control = std::make_unique<TextField>(widget);
    } else {
        control = std::make_unique<Control>(widget);
    }

    if (!actionName.empty()) {
        const auto it = m_actions.find(actionName);
        if (it == m_actions.end()) {
            if (error)
                *error = "\"" + name + "\" sends the unknown action \"" + actionName + "\"";
            return false;
        }
        control->setAction(actionName, it->second);
        if (auto* button = qobject_cast<QAbstractButton*>(widget); button && !isColorWell) {
            Control* raw = control.get();
            QObject::connect(button, &QAbstractButton::clicked, [raw] { raw->sendAction(); });
        }
    }
    if (!connectOutlet(name, kind, control.get(), error))
        return false;
    m_controls.push_back(std::move(control));
    return true;
}

bool Nib::wireMenu(Menu& menu, std::string* error)
{
    if (!connectOutlet(nameOf(menu.qmenu()), Outlet::Kind::Menu, &menu, error))
        return false;
    for (QAction* qaction : menu.qmenu()->actions()) {
        auto item = std::make_unique<MenuItem>(qaction);
        const std::string actionName = actionOf(qaction);
        if (!actionName.empty()) {
            const auto it = m_menuActions.find(actionName);
            if (it == m_menuActions.end()) {
                if (error)
                    *error = "menu item \"" + nameOf(qaction) + "\" sends the unknown action \"" + actionName + "\"";
                return false;
            }
            item->setAction(actionName, it->second);
        }
        if (QMenu* sub = qaction->menu()) {
            auto submenu = std::make_unique<Menu>(sub, false);
            if (!wireMenu(*submenu, error))
                return false;
            item->setSubmenu(submenu.get());
            m_menus.push_back(std::move(submenu));
        }
        if (!qaction->isSeparator() && !connectOutlet(nameOf(qaction), Outlet::Kind::MenuItem, item.get(), error))
            return false;
        menu.addItem(std::move(item));
    }
    return true;
}

bool Nib::load(const std::string& path, std::string* error)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = "cannot read the interface file " + path;
        return false;
    }
    Loader loader;
    QWidget* root = loader.load(&file, nullptr);
    if (!root) {
        if (error)
            *error = "cannot load the interface file " + path + ": " + loader.errorString().toStdString();
        return false;
    }
    for (auto& view : loader.views)
        m_views.push_back(std::move(view));

    std::string problem;
    bool ok = true;
    if (auto* container = qobject_cast<QMainWindow*>(root)) {
        // A file of menus: each menu of its menu bar becomes a top-level menu.
        std::vector<QMenu*> menus;
        if (QMenuBar* bar = container->menuBar()) {
            for (QAction* action : bar->actions()) {
                if (QMenu* menu = action->menu())
                    menus.push_back(menu);
            }
        }
        // The file's actions belong to the container, which goes: hand them
        // to the menus, which stay.
        if (!menus.empty()) {
            for (QAction* action : container->findChildren<QAction*>(Qt::FindDirectChildrenOnly))
                action->setParent(menus.front());
        }
        for (QMenu* qmenu : menus) {
            qmenu->setParent(nullptr, qmenu->windowFlags());
            auto menu = std::make_unique<Menu>(qmenu, true);
            Menu* raw = menu.get();
            m_menus.push_back(std::move(menu));
            if (ok && !wireMenu(*raw, &problem))
                ok = false;
        }
        delete root;
    } else {
        // Views take the frames the file gives their widgets (points, y up
        // in the parent). All are read before any is set: setting a view's
        // frame places its subviews by their frames.
        std::vector<std::pair<View*, Rect>> frames;
        for (const auto& [widget, view] : loader.viewForWidget) {
            const QRect geometry = widget->geometry();
            const QWidget* parent = widget->parentWidget();
            const double y = parent ? parent->height() - geometry.y() - geometry.height() : 0.0;
            frames.emplace_back(view, Rect(geometry.x(), y, geometry.width(), geometry.height()));
        }
        for (const auto& [view, frame] : frames)
            view->setFrame(frame);

        auto window = std::make_unique<Window>(root);
        Window* raw = window.get();
        m_windows.push_back(std::move(window));
        ok = connectOutlet(nameOf(root), Outlet::Kind::Window, raw, &problem);
        for (QWidget* widget : root->findChildren<QWidget*>()) {
            if (!ok)
                break;
            if (const auto it = loader.viewForWidget.find(widget); it != loader.viewForWidget.end())
                ok = connectOutlet(nameOf(widget), Outlet::Kind::View, it->second, &problem);
            else
                ok = wireWidget(widget, &problem);
        }
    }
    if (!ok && error)
        *error = path + ": " + problem;
    return ok;
}

bool Nib::verifyOutlets(std::string* error) const
{
    for (const auto& [name, outlet] : m_outlets) {
        if (!outlet.connected) {
            if (error)
                *error = "no interface file provides the outlet \"" + name + "\"";
            return false;
        }
    }
    return true;
}

} // namespace kit
