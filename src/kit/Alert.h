#pragma once

#include <functional>
#include <optional>
#include <string>

namespace kit {

// A modal alert: a message, an informative text and up to three buttons.
class Alert {
public:
    static Alert alertWithMessageText(std::string message, std::string defaultButton,
                                      std::optional<std::string> alternateButton,
                                      std::optional<std::string> otherButton, std::string informativeText);

    const std::string& messageText() const { return m_message; }
    const std::string& informativeText() const { return m_informative; }
    const std::string& defaultButton() const { return m_default; }
    const std::optional<std::string>& alternateButton() const { return m_alternate; }
    const std::optional<std::string>& otherButton() const { return m_other; }

    // Shows the alert in the modal-panel mode and answers which button ended
    // it: NSAlertDefaultReturn, NSAlertAlternateReturn or NSAlertOtherReturn.
    int runModal() const;

    // Answers alerts without showing them (tests); null restores the dialog.
    using Responder = std::function<int(const Alert&)>;
    static void setResponder(Responder responder);

private:
    std::string m_message;
    std::string m_default;
    std::optional<std::string> m_alternate;
    std::optional<std::string> m_other;
    std::string m_informative;
};

} // namespace kit
