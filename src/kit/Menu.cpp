#include "kit/Menu.h"

#include "kit/MenuItem.h"

#include <QMenu>
#include <QPointer>

namespace kit {

struct Menu::Private {
    QPointer<QMenu> menu;
    bool owned = false;
};

Menu::Menu(QMenu* menu, bool owned)
    : d(std::make_unique<Private>())
{
    d->menu = menu;
    d->owned = owned;
}

Menu::~Menu()
{
    m_items.clear();
    if (d->owned && d->menu)
        delete d->menu.data();
}

QMenu* Menu::qmenu() const
{
    return d->menu.data();
}

std::string Menu::title() const
{
    return d->menu ? d->menu->title().toStdString() : std::string();
}

MenuItem* Menu::itemAtIndex(int index) const
{
    if (index < 0 || index >= numberOfItems())
        return nullptr;
    return m_items[static_cast<std::size_t>(index)].get();
}

MenuItem* Menu::itemWithTag(int tag) const
{
    for (const auto& item : m_items) {
        if (item->tag() == tag)
            return item.get();
    }
    return nullptr;
}

void Menu::addItem(std::unique_ptr<MenuItem> item)
{
    m_items.push_back(std::move(item));
}

} // namespace kit
