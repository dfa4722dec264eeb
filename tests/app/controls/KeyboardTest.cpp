// The on-screen keyboard: its keys, notes from synthesized presses and drags, and the key
// drawing, at device pixel ratio 2 too.
#include "ControlsTestSupport.h"
#include "KeyboardView.h"
#include "Zelvar_GradientView.h"

#include <gtest/gtest.h>

namespace {

// The panel's keyboard: 480 × 120 at the bottom of a 480 × 360 content view.
struct PanelKeyboard {
    PanelKeyboard() {
        panel = new Zelvar_GradientView(toolkit::makeRect(0, 0, 480, 360));
        keyboard = new KeyboardView();
        keyboard->setFrameOrigin(toolkit::Point{0, 0});
        keyboard->setFrame(toolkit::makeRect(0, 0, 480, 120));
        keyboard->keyboardDelegate = &delegate;
        keyboard->initialize();
        panel->addSubview(keyboard);
    }
    ~PanelKeyboard() { delete panel; }
    RecordingKeyboardDelegate delegate;
    Zelvar_GradientView* panel;
    KeyboardView* keyboard;
};

using Log = std::vector<std::string>;

TEST(KeyboardView, CreatesOneKeyViewPerKey) {
    PanelKeyboard p;
    ASSERT_EQ(p.keyboard->keyViewArray.size(), 25u);
    for (KeyView* key : p.keyboard->keyViewArray) {
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(key->keyState, KeyState::isOff);
        EXPECT_EQ(key->superview(), p.keyboard);
    }
    EXPECT_EQ(p.keyboard->keyViewArray[1]->keyType, KeyType::black);
    const toolkit::Rect cSharp = p.keyboard->keyViewArray[1]->frame();
    EXPECT_NEAR(cSharp.minX(), 19.2, 1e-12);
    EXPECT_NEAR(cSharp.width(), 19.2, 1e-12);
    EXPECT_DOUBLE_EQ(cSharp.minY(), 48.0);
    EXPECT_DOUBLE_EQ(cSharp.height(), 72.0);
    EXPECT_EQ(p.keyboard->keyViewArray[24]->frame(), toolkit::makeRect(448, 0, 32, 120));
    // Black keys lie above the white keys.
    const auto stack = p.keyboard->subviews();
    EXPECT_EQ(stack.front(), p.keyboard->keyViewArray[0]);
    EXPECT_EQ(stack[7], p.keyboard->keyViewArray[1]);
    EXPECT_EQ(stack.back(), p.keyboard->keyViewArray[24]);
}

TEST(KeyboardView, PressesPlayTheKeyUnderThePointer) {
    PanelKeyboard p;
    MouseDriver mouse(*p.panel);
    struct Case {
        double x, y;
        int note;
    };
    const Case cases[] = {{10, 10, 60},   {20, 100, 61}, {100, 100, 65}, {120, 100, 66},
                          {210, 100, 71}, {224, 10, 72}, {460, 10, 84},  {478, 100, 84}};
    for (const Case& c : cases) {
        p.delegate.log.clear();
        mouse.press(c.x, c.y);
        EXPECT_EQ(p.keyboard->currentKeyIndex, c.note - 60) << c.x << ", " << c.y;
        EXPECT_EQ(p.keyboard->keyViewArray[static_cast<size_t>(c.note - 60)]->keyState,
                  KeyState::isOn);
        mouse.release(c.x, c.y);
        EXPECT_EQ(p.delegate.log,
                  (Log{"on " + std::to_string(c.note) + " 100", "off " + std::to_string(c.note)}));
        EXPECT_EQ(p.keyboard->keyViewArray[static_cast<size_t>(c.note - 60)]->keyState,
                  KeyState::isOff);
    }
}

TEST(KeyboardView, GlissandoEndsTheOldNoteBeforeTheNewOne) {
    PanelKeyboard p;
    MouseDriver mouse(*p.panel);
    mouse.press(10, 10);
    mouse.drag(20, 10); // same key: nothing
    mouse.drag(40, 10);
    EXPECT_EQ(p.delegate.log, (Log{"on 60 100", "off 60", "on 62 100"}));
    EXPECT_EQ(p.keyboard->keyViewArray[0]->keyState, KeyState::isOff);
    EXPECT_EQ(p.keyboard->keyViewArray[2]->keyState, KeyState::isOn);
    mouse.drag(60, 100); // up into the black key D-sharp
    mouse.release(60, 100);
    EXPECT_EQ(p.delegate.log,
              (Log{"on 60 100", "off 60", "on 62 100", "off 62", "on 63 100", "off 63"}));
    EXPECT_EQ(p.keyboard->currentKeyIndex, 3); // kept after the release
}

TEST(KeyboardView, DragsOutsideTheKeyboardHoldTheEndKeys) {
    PanelKeyboard p;
    MouseDriver mouse(*p.panel);
    mouse.press(10, 10);
    mouse.drag(-10, 10);
    EXPECT_EQ(p.delegate.log, (Log{"on 60 100"}));
    mouse.drag(600, 10);
    mouse.drag(470, 200); // above the keyboard, over the panel
    mouse.release(470, 200);
    EXPECT_EQ(p.delegate.log, (Log{"on 60 100", "off 60", "on 84 100", "off 84"}));
}

TEST(KeyboardView, DoubleClickPlaysTwice) {
    PanelKeyboard p;
    MouseDriver mouse(*p.panel);
    mouse.press(10, 10);
    mouse.release(10, 10);
    mouse.press(10, 10, 50);
    mouse.release(10, 10);
    EXPECT_EQ(p.delegate.log, (Log{"on 60 100", "off 60", "on 60 100", "off 60"}));
}

TEST(KeyboardView, WorksWithoutDelegateAndIgnoresUnknownKeys) {
    PanelKeyboard p;
    p.keyboard->keyboardDelegate = nullptr;
    MouseDriver mouse(*p.panel);
    mouse.press(20, 100);
    EXPECT_EQ(p.keyboard->keyViewArray[1]->keyState, KeyState::isOn);
    mouse.release(20, 100);
    p.keyboard->keyViewNoteOn(-1);
    p.keyboard->keyViewNoteOn(25);
    p.keyboard->keyViewNoteOff(99);
    for (KeyView* key : p.keyboard->keyViewArray) {
        EXPECT_EQ(key->keyState, KeyState::isOff);
    }
}

TEST(KeyboardView, OutsideTrackingSendsNotesBeyondTheKeys) {
    PanelKeyboard p;
    p.keyboard->allowOutsideTracking = true;
    MouseDriver mouse(*p.panel);
    mouse.press(478, 100);
    mouse.drag(-10, 10);
    mouse.release(-10, 10);
    EXPECT_EQ(p.delegate.log, (Log{"on 85 100", "off 85", "on 59 100", "off 59"}));
    // Past MIDI's range nothing is sent.
    p.delegate.log.clear();
    p.keyboard->midiNoteOn(100);
    p.keyboard->midiNoteOff(-61);
    EXPECT_TRUE(p.delegate.log.empty());
}

TEST(KeyViewDrawing, ReleasedAndPressedKeys) {
    for (double ratio : {1.0, 2.0}) {
        SCOPED_TRACE(ratio);
        PanelKeyboard p;
        const QColor white(255, 255, 255), lightGrey(170, 170, 170), grey(128, 128, 128);
        QImage image = render(*p.keyboard, ratio);
        EXPECT_TRUE(near(pixelAt(image, 120, 10, 30), white));
        EXPECT_TRUE(near(pixelAt(image, 120, 0.5, 30), lightGrey)); // the frame
        EXPECT_TRUE(near(pixelAt(image, 120, 10, 119.5), lightGrey));
        EXPECT_TRUE(near(pixelAt(image, 120, 28.8, 100), Qt::black));

        p.keyboard->keyViewNoteOn(0);
        p.keyboard->keyViewNoteOn(1);
        image = render(*p.keyboard, ratio);
        EXPECT_TRUE(near(pixelAt(image, 120, 10, 30), lightGrey));
        EXPECT_TRUE(near(pixelAt(image, 120, 0.5, 30), lightGrey)); // no frame: same shade
        EXPECT_TRUE(near(pixelAt(image, 120, 28.8, 100), grey));
        EXPECT_TRUE(near(pixelAt(image, 120, 40, 30), white)); // its neighbour unchanged
        p.keyboard->keyViewNoteOff(0);
        image = render(*p.keyboard, ratio);
        EXPECT_TRUE(near(pixelAt(image, 120, 10, 30), white));
    }
}

TEST(KeyViewDrawing, PressedWhiteKeyHasNoFrame) {
    KeyView key(toolkit::makeRect(0, 0, 32, 120));
    key.keyState = KeyState::isOn;
    const QImage image = render(key);
    const QColor lightGrey(170, 170, 170);
    for (double x : {0.5, 16.0, 31.5}) {
        for (double y : {0.5, 60.0, 119.5}) {
            EXPECT_TRUE(near(pixelAt(image, 120, x, y), lightGrey)) << x << ", " << y;
        }
    }
    key.keyState = KeyState::isOff;
    const QImage released = render(key);
    EXPECT_TRUE(near(pixelAt(released, 120, 31.5, 60), lightGrey));
    EXPECT_TRUE(near(pixelAt(released, 120, 30.5, 60), QColor(255, 255, 255)));
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

} // namespace
