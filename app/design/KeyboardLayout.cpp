// Keyboard geometry and hit testing.
#include "KeyboardLayout.h"

#include <cmath>

void KeyboardLayout::compute(double width, double height, int octaveCount) {
    octaves = octaveCount;
    keyboradAreaWidth = width;
    keyboradAreaHeight = height;
    const double w = keyboradAreaWidth / (7.0 * octaves + 1.0);
    whiteKeyWidth = w;
    octaveWidth = 7.0 * w;
    blackKeyWidth = 0.6 * w;
    blackKeyHeight = 0.6 * keyboradAreaHeight;
    const double b = blackKeyWidth;

    auto& u = xCoordinateArrayUpper;
    u[0] = 0.0;
    u[1] = 0.9 * w - 0.5 * b;
    u[2] = u[1] + b;
    u[3] = 2.1 * w - 0.5 * b;
    u[4] = u[3] + b;
    u[5] = 3.0 * w;
    u[6] = u[5] + (6.0 / 7.0) * w - 0.5 * b;
    u[7] = u[6] + b;
    u[8] = u[6] + (8.0 / 7.0) * w;
    u[9] = u[8] + b;
    u[10] = u[8] + (8.0 / 7.0) * w;
    u[11] = u[10] + b;

    for (int j = 0; j < 7; ++j) {
        xCoordinateArrayLower[static_cast<size_t>(j)] = j * w;
    }
}

std::vector<KeyboardLayout::Key> KeyboardLayout::keys() const {
    constexpr int whiteOffsets[7] = {0, 2, 4, 5, 7, 9, 11};
    const double w = whiteKeyWidth, b = blackKeyWidth, h = keyboradAreaHeight;
    const double blackY = h - blackKeyHeight;
    std::vector<Key> result;
    for (int o = 0; o < octaves; ++o) {
        const double ox = o * octaveWidth;
        for (int j = 0; j < 7; ++j) {
            result.push_back(Key{12 * o + whiteOffsets[j], KeyType::white,
                                 toolkit::makeRect(ox + j * w, 0, w, h)});
        }
        for (int k = 0; k < 2; ++k) {
            const double x = ox + (4 * k + 3) * (3 * w / 10) - b / 2;
            result.push_back(Key{12 * o + 1 + 2 * k, KeyType::black,
                                 toolkit::makeRect(x, blackY, b, blackKeyHeight)});
        }
        for (int k = 0; k < 3; ++k) {
            const double x = ox + 3 * w + (4 * k + 3) * (4 * w / 14) - b / 2;
            result.push_back(Key{12 * o + 6 + 2 * k, KeyType::black,
                                 toolkit::makeRect(x, blackY, b, blackKeyHeight)});
        }
    }
    result.push_back(
        Key{12 * octaves, KeyType::white, toolkit::makeRect(octaves * octaveWidth, 0, w, h)});
    return result;
}

int KeyboardLayout::judgeKeyIndex(double x, double y, bool allowOutsideTracking) const {
    int o = 0;
    double xr = 0.0;
    if (x >= 0.0) {
        o = static_cast<int>(x / octaveWidth);
        xr = std::fmod(x, octaveWidth);
    } else {
        o = static_cast<int>(x / octaveWidth) - 1;
        xr = std::fmod(x, octaveWidth) + octaveWidth;
    }

    int index = 0;
    if (y > keyboradAreaHeight - blackKeyHeight) {
        const auto& u = xCoordinateArrayUpper;
        int p = 11;
        for (int i = 0; i < 11; ++i) {
            if (u[static_cast<size_t>(i)] <= xr && xr < u[static_cast<size_t>(i) + 1]) {
                p = i;
                break;
            }
        }
        // Above the top C the C-sharp interval lies on that key: there is no C-sharp there.
        if (p == 1 && !allowOutsideTracking && o == octaves) {
            p = 0;
        }
        index = 12 * o + p;
    } else {
        const int w = static_cast<int>(xr / whiteKeyWidth);
        index = w <= 2 ? 12 * o + 2 * w : 12 * o + 5 + 2 * (w - 3);
    }

    if (!allowOutsideTracking) {
        if (index < 0) {
            index = 0;
        }
        if (index > 12 * octaves) {
            index = 12 * octaves;
        }
    }
    return index;
}
