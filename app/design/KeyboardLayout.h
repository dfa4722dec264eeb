// The on-screen keyboard's geometry, free of any drawing or event: key widths, where each key
// sits, and which key a point falls on.
//
// Keys are numbered chromatically from the lowest C, 0 to 12 × octaves; after the last full
// octave comes one more white key, a C. Coordinates are the keyboard's own, y up, origin at
// its lower-left corner; black keys cover the upper 60 % of it. Black keys are placed as on a
// real keyboard: those of the C–E group centred at 3/10 and 7/10 of the group's width, those
// of the F–B group at 3/14, 7/14 and 11/14 of its width.
#pragma once

#include "Geometry.h"
#include "KeyType.h"

#include <array>
#include <vector>

class KeyboardLayout {
public:
    struct Key {
        int keyIndex;
        KeyType keyType;
        toolkit::Rect frame;
    };

    // Works the geometry out for a keyboard of the given size; `octaves` is at least 1.
    void compute(double width, double height, int octaveCount);

    int keyCount() const { return 12 * octaves + 1; }
    // Every key, in the order the keyboard stacks them: per octave the seven white keys, the
    // two black keys of C–E, the three of F–B; then the top C.
    std::vector<Key> keys() const;
    // The key under a point. With `allowOutsideTracking` false the result is held to the
    // keyboard's keys (left of it the lowest, right of it the highest).
    int judgeKeyIndex(double x, double y, bool allowOutsideTracking) const;

    int octaves = 2;
    double keyboradAreaWidth = 770.0;
    double keyboradAreaHeight = 120.0;
    double whiteKeyWidth = 0.0;
    double octaveWidth = 0.0;
    double blackKeyWidth = 0.0;
    double blackKeyHeight = 0.0;
    // Boundaries of the black-key zone within one octave, from the octave's left edge.
    std::array<double, 12> xCoordinateArrayUpper{};
    // Left edges of the white keys within one octave.
    std::array<double, 7> xCoordinateArrayLower{};
};
