#pragma once

// Plain text handed to Qt widgets that read more into a string than its
// letters: markup where it looks like markup, '&' as a shortcut mark, "[*]"
// as a window's modified mark. A title or a name from a player is shown as
// written, nothing else. Kit-internal.

#include <QString>
#include <QTextDocument>

namespace kit {

// For a widget that shows its text as markup when it looks like markup
// (tooltips, labels and message boxes left to decide). Text that would not
// be read as markup goes as it is, so hosts that take it as plain see it so.
// `spaces` says whether runs of spaces are kept (and lines never broken at
// them) or lines wrap.
inline QString autoTextForPlain(const QString& plain, Qt::WhiteSpaceMode spaces = Qt::WhiteSpacePre)
{
    return Qt::mightBeRichText(plain) ? Qt::convertFromPlainText(plain, spaces) : plain;
}

// For a text where '&' marks the next letter as the keyboard shortcut
// (menu items, buttons). A tab in a menu item's text would also start its
// shortcut column.
inline QString mnemonicTextForPlain(QString plain)
{
    return plain.replace(QLatin1Char('&'), QLatin1String("&&")).replace(QLatin1Char('\t'), QLatin1Char(' '));
}

// A menu item's or button's text as plain text again.
inline QString plainForMnemonicText(QString text)
{
    return text.replace(QLatin1String("&&"), QLatin1String("&"));
}

// For a window title, where "[*]" stands for the modified mark and "[*][*]"
// for the three characters themselves.
inline QString windowTitleForPlain(QString plain)
{
    return plain.replace(QLatin1String("[*]"), QLatin1String("[*][*]"));
}

// A window title as plain text again (titles here never use the mark).
inline QString plainForWindowTitle(QString title)
{
    return title.replace(QLatin1String("[*][*]"), QLatin1String("[*]"));
}

} // namespace kit
