#pragma once

#include "kit/Control.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

class QObject;

namespace kit {

// A pop-up button: a list of items, one of them selected, each with a tag.
//
// The widget is a QComboBox. Item tags come from the widget's dynamic
// property `itemTags`, a comma-separated list of integers in item order
// ("10,15,20"); an item beyond the list, or with an entry that is not a
// number, has tag 0. Selecting in code sends no action; the user's choice of
// an item sends it (also when the user picks the item already selected).
class PopUpButton : public Control {
public:
    explicit PopUpButton(QWidget* widget);
    ~PopUpButton() override;

    // Replaces the items: titles with their tags, in order. Nothing is
    // selected afterwards.
    void setItems(const std::vector<std::pair<std::string, int>>& items);

    int numberOfItems() const;
    int itemTag(int index) const;
    std::string itemTitle(int index) const;

    // Selects the first item with `tag`. With no such item nothing is
    // selected afterwards, and false is answered.
    bool selectItemWithTag(int tag);
    void selectItemAtIndex(int index);
    // -1 when nothing is selected.
    int indexOfSelectedItem() const;
    // The selected item's tag; -1 when nothing is selected.
    int selectedTag() const;

private:
    std::unique_ptr<QObject> m_listener; // holds the connection to the widget
};

} // namespace kit
