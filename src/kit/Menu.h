#pragma once

#include <memory>
#include <string>
#include <vector>

class QMenu;

namespace kit {

class MenuItem;

// A menu of items, each found by position or by tag.
class Menu {
public:
    // Takes ownership of the menu widget when `owned` (a top-level menu).
    Menu(QMenu* menu, bool owned);
    ~Menu();
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    std::string title() const;
    int numberOfItems() const { return static_cast<int>(m_items.size()); }
    // Null when out of range; separators count as items.
    MenuItem* itemAtIndex(int index) const;
    // The first item with the tag, or null.
    MenuItem* itemWithTag(int tag) const;

    void addItem(std::unique_ptr<MenuItem> item);

    // Kit-internal.
    QMenu* qmenu() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
    std::vector<std::unique_ptr<MenuItem>> m_items;
};

} // namespace kit
