// The toolkit layer: y-up frames on Qt widgets, window coordinates of mouse events, fonts,
// labels, the panel gradient, the main queue, and drawing at device pixel ratio 2.
#include "ControlsTestSupport.h"
#include "Font.h"
#include "KeyboardView.h"
#include "MainQueue.h"
#include "WindowKeyboard.h"
#include "ZVLabel.h"
#include "Zelvar_BackgroundView.h"
#include "Zelvar_GradientView.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
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

TEST(ZVLabel, IsACentredBorderlessCaption) {
    ZVLabel label;
    EXPECT_EQ(label.frame(), toolkit::Rect{});
    EXPECT_FALSE(label.isEditable());
    EXPECT_FALSE(label.isBordered());
    EXPECT_FALSE(label.drawsBackground());
    EXPECT_EQ(label.lineBreakMode(), toolkit::LineBreakMode::byTruncatingTail);
    EXPECT_EQ(label.alignment(), toolkit::TextAlignment::center);

    label.setFrame(toolkit::makeRect(0, 0, 165, 20));
    label.setStringValue("Resonance");
    label.setTextColor(toolkit::Color::darkGray());
    if (auto font = toolkit::Font::withName("Futura", 13)) {
        label.setFont(*font);
    }
    EXPECT_EQ(label.displayedText(), "Resonance");
    const QImage image = render(label);
    // Transparent around the text; dark grey glyphs centred: the ink's middle near x 82.5.
    EXPECT_EQ(pixelAt(image, 20, 2, 10).alpha(), 0);
    int left = 1000, right = -1;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (image.pixelColor(x, y).alpha() > 128) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    ASSERT_GE(right, 0);
    EXPECT_NEAR((left + right + 1) / 2.0, 82.5, 2.0);

    label.setFrameSize(toolkit::Size{30, 20});
    EXPECT_NE(label.displayedText(), "Resonance"); // cut at its end
    EXPECT_LT(label.displayedText().size(), std::string("Resonance").size());
    EXPECT_NE(label.displayedText().find("\u2026"), std::string::npos);
}

TEST(GradientView, BlendsFromUpperLeftToLowerRight) {
    Zelvar_GradientView panel(toolkit::makeRect(0, 0, 480, 360));
    const QImage image = render(panel);
    const QColor start = fromCode("#f9fed3"), end = fromCode("#ffdbb2");
    EXPECT_TRUE(near(pixelAt(image, 360, 0.5, 359.5), start, 4));
    EXPECT_TRUE(near(pixelAt(image, 360, 479.5, 0.5), end, 4));
    const QColor middle = pixelAt(image, 360, 240, 180);
    EXPECT_NEAR(middle.green(), (0xfe + 0xdb) / 2.0, 3);
    EXPECT_NEAR(middle.blue(), (0xd3 + 0xb2) / 2.0, 3);
    // Along the axis's perpendicular the colour stays: 20° below +x means (sin 20°, cos 20°).
    const QColor across = pixelAt(image, 360, 240 + 17.1, 180 + 47.0);
    EXPECT_TRUE(near(across, middle, 3));
    Zelvar_BackgroundView plain(toolkit::makeRect(0, 0, 10, 10));
    EXPECT_EQ(pixelAt(render(plain), 10, 5, 5).alpha(), 0);
}

TEST(HiDpi, DrawsAtDeviceResolutionWithGeometryInPoints) {
    KeyboardView keyboard(toolkit::makeRect(0, 0, 480, 120));
    keyboard.initialize();
    const QImage image = render(keyboard, 2.0);
    EXPECT_EQ(image.width(), 960);
    EXPECT_EQ(keyboard.frame(), toolkit::makeRect(0, 0, 480, 120));
    EXPECT_EQ(keyboard.judgeKeyIndex(20, 100), 1);
    // The C-sharp's left edge at 19.2 points is device pixel 38.4: exactly one device pixel
    // of the row is a blend; a picture drawn at 1x and enlarged would blur two.
    const QImage row = image.convertToFormat(QImage::Format_ARGB32);
    const int y = static_cast<int>((120 - 100) * 2);
    int blended = 0;
    for (int x = 30; x < 46; ++x) {
        const int level = row.pixelColor(x, y).red();
        if (level > 10 && level < 245) {
            ++blended;
        }
    }
    EXPECT_EQ(blended, 1);
    EXPECT_GT(row.pixelColor(37, y).red(), 245);
    EXPECT_LT(row.pixelColor(39, y).red(), 10);
}

TEST(HiDpi, WindowGrabFollowsTheScreensPixelRatio) {
    // Under QT_SCALE_FACTOR=2 the window's backing store has twice the pixels; the key is in
    // the same place in points either way.
    KeyboardView keyboard(toolkit::makeRect(0, 0, 480, 120));
    keyboard.initialize();
    keyboard.show();
    keyboard.keyViewNoteOn(1);
    const QImage image = keyboard.grab().toImage();
    const double ratio = keyboard.devicePixelRatioF();
    EXPECT_DOUBLE_EQ(image.devicePixelRatio(), ratio);
    EXPECT_EQ(image.width(), static_cast<int>(480 * ratio));
    EXPECT_TRUE(near(pixelAt(image, 120, 28.8, 100), QColor(128, 128, 128)));
    EXPECT_TRUE(near(pixelAt(image, 120, 17.0, 100), QColor(255, 255, 255)));
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

} // namespace
