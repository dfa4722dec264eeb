// The About window: its size, place, style and four lines; how it ends (Escape or the close
// button, nothing else); that it is modal; and the build information it shows.
#include "AboutWindow.h"
#include "AppDelegate.h"
#include "Font.h"
#include "KeyboardView.h"
#include "TextLabel.h"
#include "Utility.h"
#include "WindowMouse.h"

#include <QApplication>
#include <QFileInfo>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

std::vector<toolkit::TextLabel*> labelsOf(const AboutWindow& window) {
    std::vector<toolkit::TextLabel*> labels;
    for (toolkit::View* view : window.contentView()->subviews())
        if (auto* label = dynamic_cast<toolkit::TextLabel*>(view))
            labels.push_back(label);
    return labels;
}

TEST(AboutWindow, Is360By240CentredWithTitleBarAndCloseButtonAndModal) {
    const QRect screen = AppDelegate::mainScreenFrame();
    auto window = AboutWindow::build(screen);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_EQ(window->size(), QSize(360, 240));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(window->geometry().topLeft(), QPoint(screen.x() + (screen.width() - 360) / 2,
                                                   screen.y() + (screen.height() - 240) / 2));
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(window->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(window->contentView()->frame(), toolkit::makeRect(0, 0, 360, 240));
    EXPECT_EQ(window->contentView()->size(), QSize(360, 240));
}

TEST(AboutWindow, ShowsFourCentredLinesTopToBottom) {
    auto window = AboutWindow::build(AppDelegate::mainScreenFrame());
    const auto labels = labelsOf(*window);
    ASSERT_EQ(labels.size(), 4u);
    struct Expected {
        std::string text;
        const char* font;
        double size;
        toolkit::Rect frame;
    };
    const Expected expected[] = {
        {"Corvena", "Futura", 15, toolkit::makeRect(0, 140, 360, 30)},
        {"Version 1.0.0", "Helvetica", 12, toolkit::makeRect(0, 80, 360, 50)},
        {"built on " + getBuildDate(), "Helvetica", 12, toolkit::makeRect(0, 60, 360, 50)},
        {aboutCopyrightLine, "Helvetica", 12, toolkit::makeRect(0, 50, 360, 25)},
    };
    double previousTop = 1e9;
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const toolkit::TextLabel* label = labels[i];
        EXPECT_EQ(label->stringValue(), expected[i].text);
        EXPECT_EQ(label->frame(), expected[i].frame);
        EXPECT_EQ(label->font().pointSize(), expected[i].size);
        const std::string family = toolkit::Font::resolveFamily(expected[i].font);
        if (!family.empty()) {
            EXPECT_EQ(label->font().family(), family);
        }
        EXPECT_EQ(label->alignment(), toolkit::TextAlignment::center);
        EXPECT_FALSE(label->isEditable());
        EXPECT_FALSE(label->isBordered());
        EXPECT_FALSE(label->drawsBackground());
        // Each line is drawn at the top of its frame: the tops read 170, 130, 110, 75.
        EXPECT_LT(label->frame().maxY(), previousTop);
        previousTop = label->frame().maxY();
    }
    EXPECT_NE(std::string(aboutCopyrightLine).find("20"), std::string::npos);
}

// Runs the About window modally through its controller, as the menu item does, with `during`
// run inside the modal loop; whether the run came back within five seconds.
bool runModalWith(AboutWindow& window, const std::function<void()>& during) {
    AboutWindowController controller(&window);
    controller.windowDidLoad();
    bool returned = false;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        during();
    });
    QTimer::singleShot(5000, [&] {
        if (!returned)
            window.stopModal();
    });
    const auto started = std::chrono::steady_clock::now();
    controller.runModal();
    returned = std::chrono::steady_clock::now() - started < std::chrono::seconds(5);
    return returned && !window.isVisible();
}

TEST(AboutWindow, EscapeClosesItAndOtherKeysDoNothing) {
    auto window = AboutWindow::build(AppDelegate::mainScreenFrame());
    bool openAfterOtherKeys = false;
    EXPECT_TRUE(runModalWith(*window, [&] {
        for (Qt::Key key : {Qt::Key_A, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_Q,
                            Qt::Key_F4, Qt::Key_Backspace})
            QTest::keyClick(window.get(), key);
        QTest::keyClick(window.get(), Qt::Key_W, Qt::ControlModifier);
        QCoreApplication::processEvents();
        openAfterOtherKeys = window->isVisible();
        QTest::keyClick(window.get(), Qt::Key_Escape);
    }));
    EXPECT_TRUE(openAfterOtherKeys);
}

TEST(AboutWindow, CloseButtonClosesIt) {
    auto window = AboutWindow::build(AppDelegate::mainScreenFrame());
    EXPECT_TRUE(runModalWith(*window, [&] { window->close(); }));
}

TEST(AboutWindow, WhileOpenTheMainWindowTakesNoClicks) {
    AppDelegate app;
    app.buildMainMenu();
    ASSERT_TRUE(app.openMainWindow());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(app.mainWindowController.get()));
    auto* keyboard = dynamic_cast<KeyboardView*>(app.mainViewController->view()->subviews().back());
    ASSERT_NE(keyboard, nullptr);
    WindowMouse mouse(*app.mainWindowController->contentView());

    bool keyWentDown = true;
    bool sawAboutWindow = false;
    QTimer::singleShot(0, [&] {
        auto* about = dynamic_cast<AboutWindow*>(QApplication::activeModalWidget());
        sawAboutWindow = about != nullptr;
        mouse.press(10, 10);
        keyWentDown = keyboard->keyViewArray[0]->keyState == KeyState::isOn;
        mouse.release(10, 10);
        if (about != nullptr)
            QTest::keyClick(about, Qt::Key_Escape);
    });
    app.aboutItem->trigger(); // returns when the window has closed
    EXPECT_TRUE(sawAboutWindow);
    EXPECT_FALSE(keyWentDown);
    // Closed again, the main window plays.
    mouse.press(10, 10);
    EXPECT_EQ(keyboard->keyViewArray[0]->keyState, KeyState::isOn);
    mouse.release(10, 10);
}

TEST(BuildInformation, VersionComesFromTheBuild) {
    EXPECT_EQ(getBuildVersion(), "1.0.0");
}

TEST(BuildInformation, DateIsFullEnglishMonthDayWithoutLeadingZeroAndYear) {
    const QTime noon(12, 0);
    EXPECT_EQ(formatBuildDate(QDateTime(QDate(2027, 1, 5), noon)), "January 5, 2027");
    EXPECT_EQ(formatBuildDate(QDateTime(QDate(2026, 12, 7), noon)), "December 7, 2026");
    EXPECT_EQ(formatBuildDate(QDateTime(QDate(2026, 9, 30), noon)), "September 30, 2026");
    // Whatever language the session speaks.
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(formatBuildDate(QDateTime(QDate(2026, 3, 1), noon)), "March 1, 2026");
    QLocale::setDefault(previous);
}

TEST(BuildInformation, DateIsTheRunningProgramsModificationDate) {
    const std::string path = executablePath();
    EXPECT_EQ(QFileInfo(QString::fromStdString(path)).canonicalFilePath(),
              QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());
    EXPECT_EQ(getBuildDate(),
              formatBuildDate(QFileInfo(QString::fromStdString(path)).lastModified()));
    EXPECT_FALSE(modificationDate("/nonexistent/corvena").has_value());
}

} // namespace
