// The main window and the menu bar as the launch builds them — everything before sound and
// MIDI: size, style, title, centring, the panel inside, the two menu items and Quit's key; and
// that both Quit and a window manager closing the window end the application's loop.
#include "AppDelegate.h"
#include "KeyboardView.h"
#include "WindowKeyboard.h"
#include "WindowMouse.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        app.buildMainMenu();
        ASSERT_TRUE(app.openMainWindow()) << app.failureMessage();
        window = app.mainWindowController.get();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    }
    AppDelegate app;
    Zelvar_MainWindow* window = nullptr;
};

TEST(MainWindowGeometry, ContentIsCentredOnTheFullScreenFrameAndNeverClamped) {
    const toolkit::Size size{480, 360};
    EXPECT_EQ(AppDelegate::centredContentRect({1920, 1080}, size),
              toolkit::makeRect(720, 360, 480, 360));
    EXPECT_EQ(AppDelegate::centredContentRect({1366, 768}, size),
              toolkit::makeRect(443, 204, 480, 360));
    EXPECT_EQ(AppDelegate::centredContentRect({400, 300}, size),
              toolkit::makeRect(-40, -30, 480, 360));
    // y up from the screen's bottom edge, into Qt's y-down desktop; a second screen to the
    // right and a half-pixel origin land on whole pixels.
    EXPECT_EQ(Zelvar_MainWindow::topLeftOf(toolkit::makeRect(720, 360, 480, 360),
                                           QRect(0, 0, 1920, 1080)),
              QPoint(720, 360));
    EXPECT_EQ(Zelvar_MainWindow::topLeftOf(toolkit::makeRect(400, 100, 480, 360),
                                           QRect(1920, 0, 1280, 1024)),
              QPoint(2320, 564));
    EXPECT_EQ(Zelvar_MainWindow::topLeftOf(toolkit::makeRect(443.5, 204.5, 480, 360),
                                           QRect(0, 0, 1367, 769)),
              QPoint(443, 204));
}

TEST_F(MainWindow, HasA480By360ContentCentredOnTheMainScreen) {
    toolkit::View* content = window->contentView();
    EXPECT_EQ(content->frame(), toolkit::makeRect(0, 0, 480, 360));
    EXPECT_EQ(content->size(), QSize(480, 360));
    const QRect screen = AppDelegate::mainScreenFrame();
    const QPoint topLeft = content->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(topLeft, QPoint(screen.x() + (screen.width() - 480) / 2,
                              screen.y() + (screen.height() - 360) / 2));
    EXPECT_EQ(window->windowTitle(), "Corvena");
    EXPECT_EQ(window->palette().color(QPalette::Window), QColor("#fefff9"));
}

TEST_F(MainWindow, IsTitledAndMinimisableWithoutCloseButtonAndNotResizable) {
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::Window));
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint)) << "only the hints asked for";
    EXPECT_FALSE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    const QSize before = window->size();
    window->resize(before + QSize(100, 100));
    QCoreApplication::processEvents();
    EXPECT_EQ(window->size(), before);
    EXPECT_EQ(window->contentView()->size(), QSize(480, 360));
    // Minimised, the program goes on.
    window->showMinimized();
    QCoreApplication::processEvents();
    window->showNormal();
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindow, HoldsThePanelAtTheOriginOfItsContent) {
    ASSERT_NE(app.mainViewController, nullptr);
    ASSERT_TRUE(app.mainViewController->isViewLoaded());
    toolkit::View* panel = app.mainViewController->view();
    EXPECT_EQ(panel->superview(), window->contentView());
    EXPECT_EQ(panel->frame(), toolkit::makeRect(0, 0, 480, 360));
    EXPECT_EQ(panel->mapTo(window->contentView(), QPoint(0, 0)), QPoint(0, 0));
    // Knob centres in window coordinates are their panel positions.
    EXPECT_EQ(app.mainViewController->lpfCutoffKnob->convertPointToWindow({32.5, 32.5}),
              (toolkit::Point{177.5, 302.5}));
}

TEST_F(MainWindow, MenuCorvenaHoldsAboutWithoutKeyAndQuitOnControlQ) {
    QMenuBar* bar = window->menuBar();
    ASSERT_EQ(bar, app.mainMenu);
    const QList<QAction*> top = bar->actions();
    ASSERT_EQ(top.size(), 1);
    EXPECT_EQ(top[0]->text(), "Corvena");
    ASSERT_NE(top[0]->menu(), nullptr);
    const QList<QAction*> items = top[0]->menu()->actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0], app.aboutItem);
    EXPECT_EQ(items[0]->text(), "About Corvena");
    EXPECT_TRUE(items[0]->shortcut().isEmpty());
    EXPECT_EQ(items[1], app.quitItem);
    EXPECT_EQ(items[1]->text(), "Quit");
    EXPECT_EQ(items[1]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
}

// The application's loop, run until it ends or `seconds` pass; whether it ended by itself.
template <typename Action> bool loopEndsAfter(Action action, int seconds = 5) {
    bool timedOut = false;
    QTimer::singleShot(0, action);
    QTimer::singleShot(seconds * 1000, [&] {
        timedOut = true;
        QCoreApplication::exit(3);
    });
    const int status = QApplication::exec();
    return !timedOut && status == 0;
}

TEST_F(MainWindow, QuitItemEndsTheApplicationLoop) {
    EXPECT_TRUE(loopEndsAfter([this] { app.quitItem->trigger(); }));
    // Nothing is torn down on the way: the window and its panel are still there.
    EXPECT_NE(app.mainViewController->view(), nullptr);
    EXPECT_EQ(app.mainViewController->view()->superview(), window->contentView());
}

TEST_F(MainWindow, ControlQEndsTheApplicationLoop) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    EXPECT_TRUE(loopEndsAfter([this] { QTest::keyClick(window, Qt::Key_Q, Qt::ControlModifier); }));
}

TEST_F(MainWindow, WindowClosedByTheWindowManagerEndsTheApplicationLoop) {
    EXPECT_TRUE(loopEndsAfter([this] { window->close(); }));
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindow, ClicksReachTheOnScreenKeyboard) {
    auto* keyboard = dynamic_cast<KeyboardView*>(app.mainViewController->view()->subviews().back());
    ASSERT_NE(keyboard, nullptr);
    WindowMouse mouse(*window->contentView());
    mouse.press(10, 10);
    EXPECT_EQ(keyboard->keyViewArray[0]->keyState, KeyState::isOn);
    mouse.release(10, 10);
    EXPECT_EQ(keyboard->keyViewArray[0]->keyState, KeyState::isOff);
}

} // namespace

namespace {

TEST_F(MainWindow, ComputerKeysReachTheOnScreenKeyboardAndMinimisingLetsGoOfThem) {
    auto* keyboard = dynamic_cast<KeyboardView*>(app.mainViewController->view()->subviews().back());
    ASSERT_NE(keyboard, nullptr);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    EXPECT_EQ(QApplication::focusWidget(), keyboard) << "keys go to the keyboard from the start";
    WindowKeyboard::pressAt('A');
    WindowKeyboard::pressAt('D');
    EXPECT_EQ(keyboard->keyViewArray[0]->keyState, KeyState::isOn);
    EXPECT_EQ(keyboard->computerHeldKeys().size(), 2u);
    // Minimised, whether or not the window manager takes the focus away.
    window->showMinimized();
    QCoreApplication::processEvents();
    EXPECT_TRUE(keyboard->computerHeldKeys().empty());
    EXPECT_EQ(keyboard->keyViewArray[0]->keyState, KeyState::isOff);
    EXPECT_EQ(keyboard->keyViewArray[4]->keyState, KeyState::isOff);
    window->showNormal();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    WindowKeyboard::pressAt('G');
    EXPECT_EQ(keyboard->keyViewArray[7]->keyState, KeyState::isOn);
    WindowKeyboard::releaseAt('G');
    EXPECT_EQ(keyboard->keyViewArray[7]->keyState, KeyState::isOff);
}

} // namespace
