#pragma once

#include "kit/ApplicationDelegate.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kit {
class Button;
class ColorWell;
class Control;
class Menu;
class MenuItem;
class Nib;
class PopUpButton;
class Slider;
class StatusItem;
class TextField;
class Timer;
class UserDefaults;
class Window;
} // namespace kit

namespace players {
class Player;
class PlayerDirectory;
struct PlayerOptions;
} // namespace players

namespace script {
class ApplicationDirectory;
class Script;
} // namespace script

class TunesView;

// The controller: the application's delegate and owner of all state. Its
// implementation is split into one source file per concern: launch and
// window buttons, default settings, settings application, scripts, rating,
// poll, preferences window, demo marquee, font selection, interface table,
// click.
class Zintara : public kit::ApplicationDelegate {
public:
    static constexpr int kScriptCount = 20;
    // The player's name, as the scripts and the workspace know it.
    static constexpr const char* kPlayerName = "iTunes";

    // `apps` are the applications the scripts address (System Events and
    // the player); not owned.
    explicit Zintara(const script::ApplicationDirectory& apps);
    ~Zintara() override;
    Zintara(const Zintara&) = delete;
    Zintara& operator=(const Zintara&) = delete;

    // Builds the windows and menus from the bundle's interface files and
    // connects the outlets and actions below. False, with a message, when a
    // file is missing or does not match this controller.
    bool loadInterface(std::string* error);

    // Launch and termination.
    void applicationDidFinishLaunching() override;
    void applicationWillTerminate() override;
    // The tray icon's menu: the drop-down menu.
    kit::Menu* applicationDockMenu() override { return dropDownMenu; }
    bool appIsRunning(const std::string& name) const;
    void launchITunes();
    int alert(const std::string& message, const std::string& informative, const std::string& defaultButton,
              const std::optional<std::string>& alternateButton);
    void btnClick(kit::Control* sender);

    // Settings.
    void setDefaultPrefs();
    void syncAppPrefsWithDefaults();

    // Scripts.
    void initScripts();
    std::optional<std::string> runScript(int slot);
    static bool emptyStr(const std::optional<std::string>& str);

    // Rating.
    void ratingMenu(kit::MenuItem* sender);
    void setTrackRating(int rating);

    // The preferences' player choice: its items from the players there are
    // now and the stored choice; the selected one into the store.
    void loadPlayerChoice();
    void savePlayerChoice();
    // Lets a saved choice replace the player at once: `directory` holds the
    // player built from `options`; not owned. Left unset when the command
    // line or ZINTARA_PLAYER chose the player, which the setting does not
    // override.
    void allowPlayerSwitch(players::PlayerDirectory& directory, const players::PlayerOptions& options);

    // Poll.
    void timerFire(void* sender);
    // The player's name as its user knows it ("MPD", a media player's own
    // name); the built-in player keeps kPlayerName.
    std::string playerDisplayName() const;
    // Polls again shortly when the player makes a change known by itself
    // (a new track's tags come after the answer to "next track").
    void listenToPlayer();

    // Preferences.
    void showPrefsWnd();
    void prepPrefsWnd();
    void savePrefs();
    void livePrefClick(kit::Control* sender);
    void prefClick(kit::Control* sender);

    // Demo marquee.
    void setDemoWidth(float width);
    void updateDemoTunesView();

    // Font selection.
    void chooseFont(kit::Control* sender);
    void changeFont(void* sender);
    void modifyFontViaPanel(void* sender);

    // Menus and clicks.
    void menuSelect(kit::MenuItem* sender);
    void tunesMenuClick(void* sender);
    void shakeWindow(kit::Window& window);

    // Fields. Outlets are set by the interface file and not owned.
    std::unique_ptr<TunesView> tunesView;
    kit::StatusItem* tunesMenu = nullptr; // the status item, kept by the status bar
    TunesView* demoTunesView = nullptr;
    kit::Window* introWnd = nullptr;
    kit::Window* prefsWnd = nullptr;
    kit::Window* launchWnd = nullptr;
    kit::Menu* dropDownMenu = nullptr;
    std::shared_ptr<kit::Timer> timer;
    std::shared_ptr<kit::Timer> m_pollSoon; // one poll asked for by the player's news
    std::array<const char*, kScriptCount> scripts{};
    std::array<std::unique_ptr<script::Script>, kScriptCount> compiledScripts;
    bool hasFinishedLaunching = false;
    std::array<bool, 9> trackPrefs{};
    kit::Button* alwaysLaunchBtn = nullptr;
    kit::Button* hideWelcome = nullptr;
    kit::Button* showShadow = nullptr;
    kit::Slider* sizeSlider = nullptr;
    kit::Slider* speedSlider = nullptr;
    kit::Slider* vertAdjustSlider = nullptr;
    kit::TextField* fontLabel = nullptr;
    kit::TextField* fontSizeLabel = nullptr;
    kit::ColorWell* colorWell = nullptr;
    kit::Button* noScroll = nullptr; // on when scrolling is enabled
    kit::Button* hideDock = nullptr;
    kit::Button* startAtLogin = nullptr;
    kit::Button* curTitle = nullptr;
    kit::Button* curArtist = nullptr;
    kit::Button* curAlbum = nullptr;
    kit::Button* curTrack = nullptr;
    kit::Button* nextTitle = nullptr;
    kit::Button* nextArtist = nullptr;
    kit::Button* nextAlbum = nullptr;
    kit::Button* nextTrack = nullptr;
    kit::Button* showPie = nullptr;
    kit::Button* clearPaused = nullptr;
    kit::Button* showNotes = nullptr;
    kit::Button* fadeEdges = nullptr;
    kit::PopUpButton* pieStyle = nullptr;
    kit::PopUpButton* syncTime = nullptr;
    kit::PopUpButton* targetFPS = nullptr;
    kit::PopUpButton* shouldLaunchiTunes = nullptr;
    // The player choice, stored as `player`; filled when the window opens.
    kit::PopUpButton* playerChoice = nullptr;
    kit::MenuItem* playPause = nullptr;
    kit::MenuItem* quitTunes = nullptr;
    kit::MenuItem* quitBoth = nullptr;
    kit::Menu* shuffleMenu = nullptr;
    kit::Menu* repeatMenu = nullptr;
    // The rating submenu (outlet "ratingMenu"; the name is taken by its action).
    kit::Menu* ratingSubmenu = nullptr;

private:
    void declareInterface(kit::Nib& nib);
    // Carries `hideDockIcon` into the bundle's Info.plist.
    void syncDockIcon();
    // Tells the user, once per run of failures, that the settings file
    // cannot be written.
    void reportSaveFailure(const std::string& path, const std::string& reason);
    // The tray icon's tooltip names what the marquee shows.
    void updateDockToolTip();
    // The "Start at login" checkbox: shows and sets the autostart entry.
    void prepLoginItem();
    void saveLoginItem();

    const script::ApplicationDirectory& m_apps;
    // The player behind kPlayerName, when it is one of ours: told where each
    // poll begins, asked for its name.
    players::Player* m_player = nullptr;
    // What the last poll showed in the quit/launch item: the player ran.
    bool m_playerShownRunning = false;
    // The choice each item of playerChoice stands for, by tag.
    std::vector<std::string> m_playerChoices;
    // Where a saved choice installs its player, and what built the one in
    // force; null while the choice waits for the next start.
    players::PlayerDirectory* m_switchDirectory = nullptr;
    std::unique_ptr<players::PlayerOptions> m_playerOptions;
    // Builds the player for `choice` and puts it in place of the current
    // one; an alert, and the current player kept, when it cannot be built.
    void switchPlayer(const std::string& choice);
    std::unique_ptr<kit::Nib> m_nib;
    // Keeps this controller the font panel's delegate while it lives.
    std::shared_ptr<void> m_fontPanelDelegate;
    // The `hideDockIcon` value whose failed write into the bundle the user
    // was told of; -1 when none.
    int m_dockFailureReported = -1;
    // Keeps this controller the one told of failed settings writes.
    std::shared_ptr<void> m_saveFailureReport;
};
