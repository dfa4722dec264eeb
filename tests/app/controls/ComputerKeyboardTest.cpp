// The on-screen keyboard played from the computer keyboard: the key map by place, then keys
// typed into the keyboard's window — chords, auto-repeat, releases, focus, shortcuts, the
// octave keys, and the mouse and a computer key on one key.
#include "ComputerKeyMap.h"
#include "ControlsTestSupport.h"
#include "KeyboardView.h"
#include "WindowKeyboard.h"
#include "Zelvar_GradientView.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;
using Role = ComputerKeyMap::Role;

// Which note each key plays, as a player reads it off a piano: the home row's white keys from C
// up, the row above's black keys between them.
const struct {
    char label;
    int keyIndex;
} notes[] = {{'A', 0},  {'W', 1},  {'S', 2},  {'E', 3},  {'D', 4},  {'F', 5},
             {'T', 6},  {'G', 7},  {'Y', 8},  {'H', 9},  {'U', 10}, {'J', 11},
             {'K', 12}, {'O', 13}, {'L', 14}, {'P', 15}, {';', 16}, {'\'', 17}};

TEST(ComputerKeyMap, HomeRowPlaysWhiteKeysAndTheRowAboveTheBlackKeysBetweenThem) {
    for (const auto& n : notes) {
        SCOPED_TRACE(n.label);
        const ComputerKeyMap::Binding byPlace =
            ComputerKeyMap::forScanCode(WindowKeyboard::scanCodeAt(n.label));
        EXPECT_EQ(byPlace.role, Role::note);
        EXPECT_EQ(byPlace.keyIndex, n.keyIndex);
        const ComputerKeyMap::Binding byCharacter = ComputerKeyMap::forKeyCode(n.label);
        EXPECT_EQ(byCharacter.role, Role::note);
        EXPECT_EQ(byCharacter.keyIndex, n.keyIndex);
    }
    // Where a piano has no black key (E–F, B–C), and the keys around, nothing plays.
    for (char label : {'Q', 'R', 'I', 'C', 'V', 'M'}) {
        EXPECT_EQ(ComputerKeyMap::forScanCode(WindowKeyboard::scanCodeAt(label)).role, Role::none)
            << label;
        EXPECT_EQ(ComputerKeyMap::forKeyCode(label).role, Role::none) << label;
    }
    EXPECT_EQ(ComputerKeyMap::forScanCode(WindowKeyboard::scanCodeAt('Z')).role, Role::octaveDown);
    EXPECT_EQ(ComputerKeyMap::forScanCode(WindowKeyboard::scanCodeAt('X')).role, Role::octaveUp);
    EXPECT_EQ(ComputerKeyMap::forKeyCode('Z').role, Role::octaveDown);
    EXPECT_EQ(ComputerKeyMap::forKeyCode('x').role, Role::none) << "Qt's key codes are upper case";
    EXPECT_EQ(ComputerKeyMap::forScanCode(9).role, Role::none); // Escape
}

TEST(ComputerKeyMap, ThePlaceDecidesWheneverThereIsAScanCode) {
    // AZERTY: the QWERTY A place types Q, the QWERTY Q place types A, the ; place types M.
    EXPECT_EQ(ComputerKeyMap::forKey(WindowKeyboard::scanCodeAt('A'), 'Q').keyIndex, 0);
    EXPECT_EQ(ComputerKeyMap::forKey(WindowKeyboard::scanCodeAt('A'), 'Q').role, Role::note);
    EXPECT_EQ(ComputerKeyMap::forKey(WindowKeyboard::scanCodeAt('Q'), 'A').role, Role::none);
    EXPECT_EQ(ComputerKeyMap::forKey(WindowKeyboard::scanCodeAt(';'), 'M').keyIndex, 16);
    // QWERTZ: the Y place types Z and must not step the octave.
    EXPECT_EQ(ComputerKeyMap::forKey(WindowKeyboard::scanCodeAt('Y'), 'Z').keyIndex, 8);
    EXPECT_EQ(ComputerKeyMap::forKey(WindowKeyboard::scanCodeAt('Z'), 'Y').role, Role::octaveDown);
    // Without a scan code the character stands in.
    EXPECT_EQ(ComputerKeyMap::forKey(0, 'G').keyIndex, 7);
}

// The panel's keyboard, shown as its own active window.
struct TypedKeyboard {
    TypedKeyboard() {
        panel = new Zelvar_GradientView(toolkit::makeRect(0, 0, 480, 360));
        keyboard = new KeyboardView();
        keyboard->setFrame(toolkit::makeRect(0, 0, 480, 120));
        keyboard->keyboardDelegate = &delegate;
        keyboard->initialize();
        panel->addSubview(keyboard);
        mouse = std::make_unique<MouseDriver>(*panel);
        panel->activateWindow();
        active = QTest::qWaitForWindowActive(panel);
    }
    ~TypedKeyboard() { delete panel; }
    KeyState shown(int keyIndex) const {
        return keyboard->keyViewArray[static_cast<size_t>(keyIndex)]->keyState;
    }
    RecordingKeyboardDelegate delegate;
    Zelvar_GradientView* panel;
    KeyboardView* keyboard;
    std::unique_ptr<MouseDriver> mouse;
    bool active = false;
};

TEST(ComputerKeyboard, TheKeyboardTakesKeyFocusWhenItsWindowBecomesActive) {
    TypedKeyboard t;
    ASSERT_TRUE(t.active);
    EXPECT_EQ(QApplication::focusWidget(), t.keyboard);
    // A click on a key keeps it there.
    t.mouse->press(10, 10);
    t.mouse->release(10, 10);
    EXPECT_EQ(QApplication::focusWidget(), t.keyboard);
}

TEST(ComputerKeyboard, KeysHeldTogetherPlayAChordAndEachReleaseEndsItsOwnNote) {
    TypedKeyboard t;
    ASSERT_TRUE(t.active);
    for (char label : {'A', 'D', 'G'})
        ASSERT_TRUE(WindowKeyboard::pressAt(label));
    EXPECT_EQ(t.delegate.log, (Log{"on 60 100", "on 64 100", "on 67 100"}));
    for (int k : {0, 4, 7})
        EXPECT_EQ(t.shown(k), KeyState::isOn) << k;
    EXPECT_EQ(t.shown(2), KeyState::isOff);
    EXPECT_EQ(t.keyboard->computerHeldKeys(), (std::set<int>{0, 4, 7}));

    WindowKeyboard::releaseAt('D');
    EXPECT_EQ(t.delegate.log.back(), "off 64");
    EXPECT_EQ(t.shown(4), KeyState::isOff);
    EXPECT_EQ(t.shown(0), KeyState::isOn);
    WindowKeyboard::releaseAt('G');
    WindowKeyboard::releaseAt('A');
    EXPECT_EQ(t.delegate.log,
              (Log{"on 60 100", "on 64 100", "on 67 100", "off 64", "off 67", "off 60"}));
    EXPECT_TRUE(t.keyboard->computerHeldKeys().empty());
    // A black key and the highest bound key.
    WindowKeyboard::pressAt('W');
    WindowKeyboard::pressAt('\'');
    WindowKeyboard::releaseAt('W');
    WindowKeyboard::releaseAt('\'');
    EXPECT_EQ(Log(t.delegate.log.end() - 4, t.delegate.log.end()),
              (Log{"on 61 100", "on 77 100", "off 61", "off 77"}));
}

TEST(ComputerKeyboard, KeysPlayByPlaceOnOtherLayouts) {
    TypedKeyboard t;
    ASSERT_TRUE(t.active);
    // AZERTY: the place of QWERTY's A types Q and plays C; the key typing A plays nothing.
    WindowKeyboard::press(WindowKeyboard::scanCodeAt('A'), Qt::Key_Q);
    WindowKeyboard::press(WindowKeyboard::scanCodeAt('Q'), Qt::Key_A);
    WindowKeyboard::release(WindowKeyboard::scanCodeAt('Q'), Qt::Key_A);
    WindowKeyboard::release(WindowKeyboard::scanCodeAt('A'), Qt::Key_Q);
    EXPECT_EQ(t.delegate.log, (Log{"on 60 100", "off 60"}));
}

TEST(ComputerKeyboard, AutoRepeatNeverRetriggersANote) {
    TypedKeyboard t;
    ASSERT_TRUE(t.active);
    const uint32_t a = WindowKeyboard::scanCodeAt('A');
    WindowKeyboard::press(a, Qt::Key_A);
    // X11 repeats a held key as release-press pairs, both marked as repeats.
    for (int i = 0; i < 3; ++i) {
        WindowKeyboard::release(a, Qt::Key_A, true);
        WindowKeyboard::press(a, Qt::Key_A, true);
    }
    // A second press without the mark (a platform that does not set it) is no new note either.
    WindowKeyboard::press(a, Qt::Key_A);
    EXPECT_EQ(t.delegate.log, (Log{"on 60 100"}));
    EXPECT_EQ(t.shown(0), KeyState::isOn);
    WindowKeyboard::release(a, Qt::Key_A);
    EXPECT_EQ(t.delegate.log, (Log{"on 60 100", "off 60"}));
    // A release of a key not held sends nothing.
    WindowKeyboard::release(a, Qt::Key_A);
    EXPECT_EQ(t.delegate.log.size(), 2u);
}

TEST(ComputerKeyboard, AnotherWindowComingToTheFrontReleasesEveryHeldNote) {
    TypedKeyboard t;
    ASSERT_TRUE(t.active);
    WindowKeyboard::pressAt('A');
    WindowKeyboard::pressAt('W');
    QWidget other;
    other.setWindowTitle("another program");
    other.resize(100, 100);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_EQ(t.delegate.log, (Log{"on 60 100", "on 61 100", "off 60", "off 61"}));
    EXPECT_EQ(t.shown(0), KeyState::isOff);
    EXPECT_EQ(t.shown(1), KeyState::isOff);
    // The releases go to the other window; back in front, the keyboard plays anew.
    WindowKeyboard::releaseAt('A');
    WindowKeyboard::releaseAt('W');
    other.hide();
    t.panel->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(t.panel));
    EXPECT_EQ(QApplication::focusWidget(), t.keyboard);
    WindowKeyboard::pressAt('A');
    WindowKeyboard::releaseAt('A');
    EXPECT_EQ(t.delegate.log,
              (Log{"on 60 100", "on 61 100", "off 60", "off 61", "on 60 100", "off 60"}));
}

TEST(ComputerKeyboard, ZAndXAskForOneOctaveStepPerPress) {
    TypedKeyboard t;
    ASSERT_TRUE(t.active);
    const uint32_t z = WindowKeyboard::scanCodeAt('Z');
    WindowKeyboard::press(z, Qt::Key_Z);
    WindowKeyboard::press(z, Qt::Key_Z, true);
    WindowKeyboard::release(z, Qt::Key_Z);
    WindowKeyboard::pressAt('X');
    WindowKeyboard::releaseAt('X');
    EXPECT_EQ(t.delegate.log, (Log{"octave -1", "octave 1"}));
    EXPECT_TRUE(t.keyboard->computerHeldKeys().empty());
}

TEST(ComputerKeyboard, ShortcutsPlayNothingButAReleaseEndsItsNoteWhateverIsHeld) {
    TypedKeyboard t;
    ASSERT_TRUE(t.active);
    const uint32_t a = WindowKeyboard::scanCodeAt('A');
    WindowKeyboard::press(a, Qt::Key_A, false, Qt::ControlModifier);
    WindowKeyboard::press(WindowKeyboard::scanCodeAt('X'), Qt::Key_X, false, Qt::AltModifier);
    EXPECT_TRUE(t.delegate.log.empty());
    WindowKeyboard::release(a, Qt::Key_A, false, Qt::ControlModifier);
    // Shift plays; Control pressed while the note sounds does not keep it from ending.
    WindowKeyboard::press(a, Qt::Key_A, false, Qt::ShiftModifier);
    WindowKeyboard::release(a, Qt::Key_A, false, Qt::ControlModifier);
    EXPECT_EQ(t.delegate.log, (Log{"on 60 100", "off 60"}));
}

TEST(ComputerKeyboard, AKeyHeldByTheMouseAndAComputerKeyShowsPressedUntilBothLetGo) {
    TypedKeyboard t;
    ASSERT_TRUE(t.active);
    WindowKeyboard::pressAt('A');
    t.mouse->press(10, 10);
    t.mouse->release(10, 10);
    EXPECT_EQ(t.delegate.log, (Log{"on 60 100", "on 60 100", "off 60"}));
    EXPECT_EQ(t.shown(0), KeyState::isOn) << "A still holds it";
    WindowKeyboard::releaseAt('A');
    EXPECT_EQ(t.shown(0), KeyState::isOff);

    // The other way round, with a glissando leaving the key.
    t.mouse->press(10, 10);
    WindowKeyboard::pressAt('A');
    t.mouse->drag(40, 10);
    EXPECT_EQ(t.shown(0), KeyState::isOn) << "A still holds it";
    EXPECT_EQ(t.shown(2), KeyState::isOn);
    WindowKeyboard::releaseAt('A');
    EXPECT_EQ(t.shown(0), KeyState::isOff);
    EXPECT_EQ(t.shown(2), KeyState::isOn) << "the mouse still holds D";
    t.mouse->release(40, 10);
    EXPECT_EQ(t.shown(2), KeyState::isOff);
}

TEST(ComputerKeyboard, WithoutScanCodesTheCharacterPlaysThroughTheWindowSystem) {
    // The offscreen platform's own key events carry no scan code.
    TypedKeyboard t;
    ASSERT_TRUE(t.active);
    QTest::keyPress(t.panel->windowHandle(), Qt::Key_H);
    QTest::keyPress(t.panel->windowHandle(), Qt::Key_H, Qt::NoModifier, -1);
    QTest::keyRelease(t.panel->windowHandle(), Qt::Key_H);
    EXPECT_EQ(t.delegate.log, (Log{"on 69 100", "off 69"}));
}

TEST(ComputerKeyboard, KeysBeyondASmallerKeyboardPlayNothing) {
    TypedKeyboard t;
    ASSERT_TRUE(t.active);
    // One octave and its top C: 13 keys, so K (the next C) is the last that plays.
    t.keyboard->octaves = 1;
    for (KeyView* key : t.keyboard->keyViewArray)
        delete key;
    t.keyboard->initialize();
    WindowKeyboard::pressAt('K');
    WindowKeyboard::pressAt('O');
    WindowKeyboard::releaseAt('O');
    WindowKeyboard::releaseAt('K');
    EXPECT_EQ(t.delegate.log, (Log{"on 72 100", "off 72"}));
}

} // namespace
