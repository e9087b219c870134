// Starting at login: the preferences window's checkbox shows whether the
// autostart entry exists and, when the window is saved, makes it so.
#include "zintara/Zintara.h"

#include "kit/Button.h"
#include "kit/LoginItem.h"

#include <iostream>

void Zintara::prepLoginItem()
{
    if (startAtLogin)
        startAtLogin->setState(kit::LoginItem::isEnabled() ? 1 : 0);
}

void Zintara::saveLoginItem()
{
    if (!startAtLogin)
        return;
    const bool wanted = startAtLogin->state() != 0;
    if (wanted == kit::LoginItem::isEnabled())
        return;
    if (const auto problem = kit::LoginItem::setEnabled(wanted)) {
        std::cerr << "zintara: " << *problem << '\n';
        alert(wanted ? "Zintara could not be set to start at login" : "Zintara could not be kept from starting at login",
              *problem, "OK", std::nullopt);
    }
}
