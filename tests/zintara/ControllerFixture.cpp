#include "ControllerFixture.h"

#include "kit/StatusBar.h"

#include <QAbstractButton>
#include <QWidget>

void ControllerTest::SetUp()
{
    KitTest::SetUp();
    kit::StatusBar::systemStatusBar().reset();
    kit::StatusBar::systemStatusBar().setWidthForTesting(1000);
    kit::Application& app = kit::Application::sharedApplication();
    app.resetForTesting();
    build("");
    app.setTerminationHandler([this] { terminated = true; });
    app.setModalObserver([this](kit::Window& window) {
        modalTitles.push_back(window.title());
        const auto it = m_answers.find(window.title());
        if (it == m_answers.end()) {
            // End the run, or the test would wait on it forever.
            kit::Application::sharedApplication().stopModal();
            FAIL() << "nobody answers the modal window \"" << window.title() << "\"";
        }
        it->second(window);
    });
    kit::Alert::setResponder([this](const kit::Alert& alert) {
        alerts.push_back(alert);
        return int(kit::NSAlertDefaultReturn);
    });
}

void ControllerTest::build(const std::string& libraryJson)
{
    controller.reset();
    directory.reset();
    players::PlayerOptions options;
    options.shuffleSeed = 1;
    if (!libraryJson.empty()) {
        options.libraryPath = tempDir() + "/library.json";
        testing_support::writeFile(options.libraryPath, libraryJson);
    }
    auto made = players::PlayerFactory::make(options);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<players::PlayerDirectory>>(made))
        << std::get<std::string>(made);
    directory = std::move(std::get<std::unique_ptr<players::PlayerDirectory>>(made));

    controller = std::make_unique<Zintara>(*directory);
    std::string error;
    ASSERT_TRUE(controller->loadInterface(&error)) << error;
    kit::Application::sharedApplication().setDelegate(controller.get());
}

void ControllerTest::TearDown()
{
    kit::Alert::setResponder(nullptr);
    kit::Application::sharedApplication().resetForTesting();
    controller.reset();
    directory.reset();
    kit::StatusBar::systemStatusBar().reset();
    kit::StatusBar::systemStatusBar().setWidthForTesting(0);
    KitTest::TearDown();
}

void ControllerTest::answerModal(const std::string& title, std::function<void(kit::Window&)> answer)
{
    m_answers[title] = std::move(answer);
}

players::BuiltinPlayer& ControllerTest::player()
{
    return *static_cast<players::BuiltinPlayer*>(directory->player());
}

namespace {
QAbstractButton* findButton(kit::Window& window, const std::string& objectName)
{
    auto* button = window.widget()->findChild<QAbstractButton*>(QString::fromStdString(objectName));
    EXPECT_NE(button, nullptr) << objectName;
    return button;
}
} // namespace

void clickButton(kit::Window& window, const std::string& objectName)
{
    if (QAbstractButton* button = findButton(window, objectName))
        button->click();
}

void setCheckbox(kit::Window& window, const std::string& objectName, bool on)
{
    if (QAbstractButton* button = findButton(window, objectName))
        button->setChecked(on);
}
