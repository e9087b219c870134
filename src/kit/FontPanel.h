#pragma once

#include "kit/Font.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kit {

// The shared font panel with its font manager: a non-modal font chooser
// that starts from the selected font and reports each change the user makes
// as `changeFont` to its delegate, which then asks `convertFont` for the font
// now chosen.
class FontPanel {
public:
    static FontPanel& sharedFontManager();

    FontPanel(const FontPanel&) = delete;
    FontPanel& operator=(const FontPanel&) = delete;

    // The font the panel starts from and converts. `isMultiple` (a selection
    // of several fonts) is accepted for the caller's sake and not used.
    void setSelectedFont(const std::optional<Font>& font, bool isMultiple);
    const std::optional<Font>& selectedFont() const { return m_selected; }

    // Shows the panel in front, on the selected font.
    void orderFrontFontPanel();
    bool isPanelVisible() const;
    void closePanel();

    // The font the user has chosen in the panel, at the size chosen (which
    // may have a fraction). Until the user chooses one after the panel was
    // opened or given a selected font, and for a family that is not
    // installed, the answer is `font` itself.
    std::optional<Font> convertFont(const std::optional<Font>& font) const;

    // The receiver of `changeFont`. The answer keeps it registered: when the
    // last copy goes, the delegate is removed (unless replaced meanwhile).
    using ChangeFont = std::function<void()>;
    [[nodiscard]] std::shared_ptr<void> setDelegate(ChangeFont changeFont);

    // Chooses a family (in its regular face, or in `style`) and size in the
    // panel as the user would, which reports the change (tests and scripted
    // use). Opens the panel first.
    void choose(const std::string& family, double pointSize);
    void choose(const std::string& family, const std::string& style, double pointSize);

    // The face and size the panel shows (tests): family, style, points.
    struct Shown {
        std::string family;
        std::string style;
        int pointSize = 0;
    };
    std::optional<Shown> shownFont() const;

private:
    FontPanel();
    ~FontPanel() = default;
    void ensurePanel();
    void fontChanged();

    struct Private;
    Private* d; // lives as long as the process: its widget may outlive the application object
    std::optional<Font> m_selected;
    ChangeFont m_delegate;
    std::uint64_t m_delegateGeneration = 0;
};

} // namespace kit
