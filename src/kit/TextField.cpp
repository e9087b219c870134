#include "kit/TextField.h"

#include <QLabel>
#include <QLineEdit>

#include <cctype>
#include <limits>

namespace kit {

TextField::TextField(QWidget* widget)
    : Control(widget)
{
}

std::string TextField::stringValue() const
{
    QWidget* w = widget();
    if (auto* line = qobject_cast<QLineEdit*>(w))
        return line->text().toStdString();
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text().toStdString();
    return {};
}

void TextField::setStringValue(const std::string& value)
{
    QWidget* w = widget();
    const QString text = QString::fromStdString(value);
    if (auto* line = qobject_cast<QLineEdit*>(w))
        line->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(text);
}

int TextField::intValue() const
{
    return intValueOf(stringValue());
}

int TextField::intValueOf(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr long long kMax = std::numeric_limits<int>::max();
    constexpr long long kMin = std::numeric_limits<int>::min();
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kMax + 1)
            break; // far enough out of range either way
    }
    if (negative)
        value = -value;
    if (value > kMax)
        return static_cast<int>(kMax);
    if (value < kMin)
        return static_cast<int>(kMin);
    return static_cast<int>(value);
}

} // namespace kit
