#pragma once

#include "kit/Alert.h"
#include "kit/Application.h"
#include "kit/Window.h"
#include "players/BuiltinPlayer.h"
#include "players/PlayerFactory.h"
#include "support/TestEnvironment.h"
#include "zintara/Zintara.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

// A controller with its real interface files, the built-in player (not
// running unless a test launches it), alerts answered and recorded, and
// termination recorded instead of ending the process.
class ControllerTest : public testing_support::KitTest {
protected:
    void SetUp() override;
    // Rebuilds the player (from a library file's text; empty for the demo
    // playlist) and the controller.
    void build(const std::string& libraryJson);
    void TearDown() override;

    // Answers each modal window by its title as it comes up, and records
    // the order in which the windows came.
    void answerModal(const std::string& title, std::function<void(kit::Window&)> answer);

    players::BuiltinPlayer& player();
    bool playerRuns() { return player().isRunning(); }

    std::unique_ptr<players::PlayerDirectory> directory;
    std::unique_ptr<Zintara> controller;
    std::vector<std::string> modalTitles;
    std::vector<kit::Alert> alerts;
    bool terminated = false;

private:
    std::map<std::string, std::function<void(kit::Window&)>> m_answers;
};

// Clicks the button with `objectName` in `window`, as the user would.
void clickButton(kit::Window& window, const std::string& objectName);
void setCheckbox(kit::Window& window, const std::string& objectName, bool on);
