#include "kit/PopUpButton.h"

#include <QComboBox>
#include <QStringList>
#include <QVariant>

namespace kit {

namespace {
QComboBox* asComboBox(QWidget* widget)
{
    return qobject_cast<QComboBox*>(widget);
}
} // namespace

PopUpButton::PopUpButton(QWidget* widget)
    : Control(widget)
{
    if (QComboBox* box = asComboBox(widget)) {
        m_listener = std::make_unique<QObject>();
        // `activated` comes from the user only, never from code.
        QObject::connect(box, &QComboBox::activated, m_listener.get(), [this] { sendAction(); });
    }
}

PopUpButton::~PopUpButton() = default;

void PopUpButton::setItems(const std::vector<std::pair<std::string, int>>& items)
{
    QComboBox* box = asComboBox(widget());
    if (!box)
        return;
    QStringList tags;
    box->clear();
    for (const auto& [title, tag] : items) {
        box->addItem(QString::fromStdString(title));
        tags << QString::number(tag);
    }
    box->setProperty("itemTags", tags.join(QLatin1Char(',')));
    box->setCurrentIndex(-1);
}

int PopUpButton::numberOfItems() const
{
    QComboBox* box = asComboBox(widget());
    return box ? box->count() : 0;
}

int PopUpButton::itemTag(int index) const
{
    QWidget* w = widget();
    if (!w || index < 0 || index >= numberOfItems())
        return 0;
    const QStringList tags = w->property("itemTags").toString().split(QLatin1Char(','));
    if (index >= tags.size())
        return 0;
    bool ok = false;
    const int tag = tags.at(index).trimmed().toInt(&ok);
    return ok ? tag : 0;
}

std::string PopUpButton::itemTitle(int index) const
{
    QComboBox* box = asComboBox(widget());
    if (!box || index < 0 || index >= box->count())
        return {};
    return box->itemText(index).toStdString();
}

bool PopUpButton::selectItemWithTag(int tag)
{
    for (int index = 0; index < numberOfItems(); ++index) {
        if (itemTag(index) == tag) {
            selectItemAtIndex(index);
            return true;
        }
    }
    selectItemAtIndex(-1);
    return false;
}

void PopUpButton::selectItemAtIndex(int index)
{
    if (QComboBox* box = asComboBox(widget()))
        box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
}

int PopUpButton::indexOfSelectedItem() const
{
    QComboBox* box = asComboBox(widget());
    return box ? box->currentIndex() : -1;
}

int PopUpButton::selectedTag() const
{
    const int index = indexOfSelectedItem();
    return index < 0 ? -1 : itemTag(index);
}

} // namespace kit
