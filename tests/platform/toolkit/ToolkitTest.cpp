// The toolkit layer: y-up frames on Qt widgets, window coordinates of mouse and key events,
// fonts, labels, the main queue, and the conventions of arcs and gradient axes.
#include "BezierPath.h"
#include "Font.h"
#include "Gradient.h"
#include "MainQueue.h"
#include "QtGraphicsContext.h"
#include "TextLabel.h"
#include "ViewTestSupport.h"
#include "WindowKeyboard.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

namespace {

TEST(ToolkitView, FramesAreYUpInTheParent) {
    toolkit::View root(toolkit::makeRect(0, 0, 480, 360));
    auto* child = new toolkit::View(toolkit::makeRect(30, 270, 65, 65));
    root.addSubview(child);
    EXPECT_EQ(child->superview(), &root);
    EXPECT_EQ(child->frame(), toolkit::makeRect(30, 270, 65, 65));
    EXPECT_EQ(child->bounds(), toolkit::makeRect(0, 0, 65, 65));
    // Qt places it 25 pixels from the top: 360 − 270 − 65.
    EXPECT_EQ(child->geometry(), QRect(30, 25, 65, 65));
    // A frame set before joining the parent is placed on joining.
    auto* later = new toolkit::View();
    later->setFrame(toolkit::makeRect(0, 0, 480, 120));
    root.addSubview(later);
    EXPECT_EQ(later->geometry(), QRect(0, 240, 480, 120));
    // Growing the content view keeps children at their distance from its bottom.
    root.show();
    root.resize(480, 400);
    QCoreApplication::processEvents();
    EXPECT_EQ(root.frame().height(), 400.0);
    EXPECT_EQ(later->geometry(), QRect(0, 280, 480, 120));
}

TEST(ToolkitView, FractionalFramesKeepTheirExactPlace) {
    toolkit::View root(toolkit::makeRect(0, 0, 100, 100));
    auto* child = new toolkit::View(toolkit::makeRect(19.5, 24.7, 26, 15.6));
    root.addSubview(child);
    EXPECT_NEAR(child->frame().minY(), 24.7, 1e-12);
    // The widget encloses the exact rectangle.
    const QRect g = child->geometry();
    EXPECT_LE(g.left(), 19.5);
    EXPECT_GE(g.left() + g.width(), 45.5);
    EXPECT_LE(g.top(), 100 - 24.7 - 15.6);
    EXPECT_GE(g.top() + g.height(), 100 - 24.7);
    EXPECT_NEAR(child->convertPointToWindow(toolkit::Point{1, 2}).x, 20.5, 1e-12);
    EXPECT_NEAR(child->convertPointFromWindow(toolkit::Point{20.5, 26.7}).y, 2.0, 1e-12);
}

class RecordingView : public toolkit::View {
public:
    using View::View;
    void mouseDown(const toolkit::MouseEvent& e) override { events.push_back(e); }
    void mouseDragged(const toolkit::MouseEvent& e) override { events.push_back(e); }
    void mouseUp(const toolkit::MouseEvent& e) override { events.push_back(e); }
    std::vector<toolkit::MouseEvent> events;
};

TEST(ToolkitView, MouseEventsCarryWindowCoordinatesAndClickCounts) {
    RecordingView root(toolkit::makeRect(0, 0, 200, 100));
    auto* inner = new toolkit::View(toolkit::makeRect(50, 20, 40, 40)); // passes events on
    root.addSubview(inner);
    MouseDriver mouse(root);
    mouse.press(60, 30);
    mouse.drag(70, 35);
    mouse.release(70, 35);
    mouse.press(60, 30, 100);
    mouse.release(60, 30);
    ASSERT_EQ(root.events.size(), 5u);
    EXPECT_DOUBLE_EQ(root.events[0].locationInWindow.x, 60);
    EXPECT_DOUBLE_EQ(root.events[0].locationInWindow.y, 30);
    EXPECT_EQ(root.events[0].clickCount, 1);
    EXPECT_DOUBLE_EQ(root.events[1].locationInWindow.y, 35);
    EXPECT_EQ(root.events[3].clickCount, 2);
    EXPECT_EQ(inner->convertPointFromWindow(root.events[0].locationInWindow).x, 10.0);
}

class KeyRecordingView : public toolkit::View {
public:
    using View::View;
    void keyDown(const toolkit::KeyEvent& e) override { keys.push_back(e); }
    void keyUp(const toolkit::KeyEvent& e) override { keys.push_back(e); }
    void scrollWheel(const toolkit::ScrollEvent& e) override { wheels.push_back(e); }
    void keyFocusLost() override { ++focusLosses; }
    std::vector<toolkit::KeyEvent> keys;
    std::vector<toolkit::ScrollEvent> wheels;
    int focusLosses = 0;
};

TEST(ToolkitView, KeysAndWheelsTheFocusedViewLeavesGoToItsParent) {
    KeyRecordingView root(toolkit::makeRect(0, 0, 200, 100));
    auto* inner = new KeyRecordingView(toolkit::makeRect(50, 20, 40, 40));
    auto* plain = new toolkit::View(toolkit::makeRect(0, 0, 40, 40)); // passes everything on
    root.addSubview(inner);
    inner->addSubview(plain);
    plain->setAcceptsFirstResponder(true);
    EXPECT_TRUE(plain->acceptsFirstResponder());
    EXPECT_FALSE(root.acceptsFirstResponder());
    MouseDriver mouse(root);
    root.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&root));
    EXPECT_EQ(QApplication::focusWidget(), plain) << "the window's first view that takes keys";

    WindowKeyboard::press(38, Qt::Key_A, false, Qt::ShiftModifier | Qt::ControlModifier);
    WindowKeyboard::release(38, Qt::Key_A, true);
    ASSERT_EQ(inner->keys.size(), 2u);
    EXPECT_TRUE(root.keys.empty()) << "taken by the first parent that handles it";
    EXPECT_EQ(inner->keys[0].scanCode, 38u);
    EXPECT_EQ(inner->keys[0].keyCode, Qt::Key_A);
    EXPECT_EQ(inner->keys[0].modifierFlags, toolkit::KeyEvent::Shift | toolkit::KeyEvent::Control);
    EXPECT_FALSE(inner->keys[0].isARepeat);
    EXPECT_TRUE(inner->keys[1].isARepeat);

    mouse.wheel(60, 30, -60, true);
    ASSERT_EQ(inner->wheels.size(), 1u);
    EXPECT_EQ(inner->wheels[0].deltaY, -60.0);
    EXPECT_TRUE(inner->wheels[0].isDirectionInvertedFromDevice);
    EXPECT_DOUBLE_EQ(inner->wheels[0].locationInWindow.x, 60.0);
    EXPECT_DOUBLE_EQ(inner->wheels[0].locationInWindow.y, 30.0);

    // Only the view that had key focus hears that it lost it.
    plain->clearFocus();
    EXPECT_EQ(inner->focusLosses, 0);
    inner->setAcceptsFirstResponder(true);
    inner->setFocus();
    inner->clearFocus();
    EXPECT_EQ(inner->focusLosses, 1);
}

TEST(ToolkitLabel, FittingSizeHoldsTheWholeText) {
    toolkit::TextLabel label;
    label.setFont(toolkit::Font::systemFont(12));
    label.setStringValue("LPF Cutoff Frequency 1.25 kHz");
    const toolkit::Size fit = label.fittingSize();
    label.setFrameSize(fit);
    EXPECT_EQ(label.displayedText(), "LPF Cutoff Frequency 1.25 kHz");
    label.setFrameSize(toolkit::Size{fit.width - 8, fit.height});
    label.setLineBreakMode(toolkit::LineBreakMode::byTruncatingTail);
    EXPECT_NE(label.displayedText(), "LPF Cutoff Frequency 1.25 kHz");
    EXPECT_GE(fit.height, 12.0);
}

TEST(ToolkitFont, NamedFontsFallBackToTheirLookAlikes) {
    const auto futura = toolkit::Font::withName("Futura", 13);
    ASSERT_TRUE(futura.has_value());
    EXPECT_EQ(futura->qtFont().pixelSize(), 13);
    EXPECT_FALSE(futura->family().empty());
    const auto helvetica = toolkit::Font::withName("Helvetica", 12);
    ASSERT_TRUE(helvetica.has_value());
    EXPECT_FALSE(toolkit::Font::withName("No Such Family Anywhere", 13).has_value());
    if (!toolkit::Font::resolveFamily("URW Gothic").empty()) {
        EXPECT_TRUE(futura->family() == "Futura" || futura->family() == "URW Gothic");
    }
}

TEST(MainQueueThreads, RunsBlocksOnTheMainThreadInSubmissionOrder) {
    std::vector<int> order;
    std::atomic<bool> offMainThread{false};
    QThread* mainThread = QThread::currentThread();
    // Two submitters taking turns through a shared counter: the global submission order is
    // the counter's order.
    std::atomic<int> next{0};
    auto submitter = [&](int parity) {
        while (true) {
            const int n = next.load();
            if (n >= 200) {
                return;
            }
            if (n % 2 != parity) {
                continue;
            }
            toolkit::MainQueue::async([&order, &offMainThread, mainThread, n] {
                if (QThread::currentThread() != mainThread) {
                    offMainThread = true;
                }
                order.push_back(n);
            });
            next.store(n + 1);
        }
    };
    std::thread even(submitter, 0), odd(submitter, 1);
    even.join();
    odd.join();
    EXPECT_TRUE(order.empty()); // asynchronous: nothing ran yet
    drainMainQueue();
    ASSERT_EQ(order.size(), 200u);
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(order[static_cast<size_t>(i)], i);
    }
    EXPECT_FALSE(offMainThread);
}

TEST(ArcConvention, SweepFollowsTheDirectionFlag) {
    using toolkit::BezierPath;
    EXPECT_DOUBLE_EQ(BezierPath::arcSweepDegrees(225, -45, true), -270);   // knob travel
    EXPECT_DOUBLE_EQ(BezierPath::arcSweepDegrees(90, 157.5, false), 67.5); // ring to the left
    EXPECT_DOUBLE_EQ(BezierPath::arcSweepDegrees(90, 22.5, true), -67.5);
    EXPECT_DOUBLE_EQ(BezierPath::arcSweepDegrees(0, 90, true), -270);
    EXPECT_DOUBLE_EQ(BezierPath::arcSweepDegrees(40, 40, true), 0);
    EXPECT_DOUBLE_EQ(BezierPath::arcSweepDegrees(225, -135, true), -360);
}

TEST(ArcConvention, ArcPointsAreCounterClockwiseWithYUp) {
    toolkit::BezierPath path;
    path.appendArc(toolkit::Point{0, 0}, 10.0, 0.0, 90.0, false);
    const QPainterPath q = toolkit::toQPainterPath(path);
    EXPECT_NEAR(q.elementAt(0).x, 10.0, 1e-9);
    EXPECT_NEAR(q.elementAt(0).y, 0.0, 1e-9);
    EXPECT_NEAR(q.currentPosition().x(), 0.0, 1e-9);
    EXPECT_NEAR(q.currentPosition().y(), 10.0, 1e-9); // ends straight up
    // Half way the arc passes through 45°, not through -45°.
    EXPECT_NEAR(q.pointAtPercent(0.5).y(), 10.0 * std::sqrt(0.5), 1e-3);
}

TEST(GradientAxis, CoversTheRectangleAlongTheAngle) {
    toolkit::Point from, to;
    toolkit::Gradient::axisForRect(toolkit::makeRect(0, 0, 480, 360), -20.0, &from, &to);
    const double c = std::cos(-20 * M_PI / 180), s = std::sin(-20 * M_PI / 180);
    // Upper-left corner projects onto the start, lower-right onto the end.
    EXPECT_NEAR((0 - from.x) * c + (360 - from.y) * s, 0.0, 1e-9);
    EXPECT_NEAR((480 - to.x) * c + (0 - to.y) * s, 0.0, 1e-9);
    EXPECT_LT(to.y, from.y);
    EXPECT_GT(to.x, from.x);
}

} // namespace
