// Which on-screen key a key of the computer keyboard plays, by the key's place on the keyboard
// rather than by what it types, so that QWERTY, AZERTY and QWERTZ players find the notes in the
// same places:
//
//   row above:  W  E     T  Y  U     O  P           (the black keys)
//   home row:  A  S  D  F  G  H  J  K  L  ;  '      (the white keys, from the lowest key up)
//   bottom row: Z one octave down, X one octave up (the "Octave" knob)
//
// With the panel's keyboard starting at C: A C, W C#, S D, E D#, D E, F F, T F#, G G, Y G#,
// H A, U A#, J B, K C, O C#, L D, P D#, ; E, ' F. Keys are named here by their US QWERTY
// labels.
//
// Places come from the scan code, which X11 and Wayland report as the evdev key code plus 8.
// Where it is 0 (key events made up by a program rather than typed), the key code stands in:
// the character the key types, placed where it sits on US QWERTY. That fallback is the same on
// every machine but follows what a key types, so on another layout it plays by letter.
#pragma once

#include <cstdint>

class ComputerKeyMap {
public:
    enum class Role { none, note, octaveDown, octaveUp };

    struct Binding {
        Role role = Role::none;
        // For a note: the on-screen key index, counted chromatically from the lowest key.
        int keyIndex = 0;
    };

    static Binding forScanCode(uint32_t scanCode);
    // `keyCode` is Qt's key code: for letters and punctuation the upper-case character.
    static Binding forKeyCode(int keyCode);
    // The scan code when there is one, else the key code.
    static Binding forKey(uint32_t scanCode, int keyCode) {
        return scanCode != 0 ? forScanCode(scanCode) : forKeyCode(keyCode);
    }
};
