#include "kit/Alert.h"

#include "kit/Application.h"
#include "kit/PlainText.h"
#include "kit/RunLoop.h"

#include <QMessageBox>
#include <QPushButton>

namespace kit {

namespace {
Alert::Responder& responder()
{
    static Alert::Responder r;
    return r;
}
} // namespace

Alert Alert::alertWithMessageText(std::string message, std::string defaultButton,
                                  std::optional<std::string> alternateButton,
                                  std::optional<std::string> otherButton, std::string informativeText)
{
    Alert alert;
    alert.m_message = std::move(message);
    alert.m_default = std::move(defaultButton);
    alert.m_alternate = std::move(alternateButton);
    alert.m_other = std::move(otherButton);
    alert.m_informative = std::move(informativeText);
    return alert;
}

void Alert::setResponder(Responder r)
{
    responder() = std::move(r);
}

int Alert::runModal() const
{
    RunLoopModeScope mode(RunLoopMode::ModalPanel);
    if (responder())
        return responder()(*this);

    QMessageBox box;
    box.setIcon(QMessageBox::Warning);
    // Every text is shown exactly as given: the message's format is set, the
    // informative text's label decides for itself, and buttons take '&' as
    // a shortcut mark.
    box.setText(QString::fromStdString(m_message));
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(autoTextForPlain(QString::fromStdString(m_informative), Qt::WhiteSpaceNormal));
    auto button = [&box](const std::string& title, QMessageBox::ButtonRole role) {
        return box.addButton(mnemonicTextForPlain(QString::fromStdString(title)), role);
    };
    QPushButton* def = button(m_default, QMessageBox::AcceptRole);
    QPushButton* alt = m_alternate ? button(*m_alternate, QMessageBox::RejectRole) : nullptr;
    QPushButton* other = m_other ? button(*m_other, QMessageBox::DestructiveRole) : nullptr;
    box.setDefaultButton(def);
    box.exec();
    if (alt && box.clickedButton() == alt)
        return NSAlertAlternateReturn;
    if (other && box.clickedButton() == other)
        return NSAlertOtherReturn;
    return NSAlertDefaultReturn;
}

} // namespace kit
