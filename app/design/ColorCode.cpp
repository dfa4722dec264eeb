// Colour codes are counted in characters, not bytes: the leading character may be any one,
// even one that takes several bytes in UTF-8.
#include "ColorCode.h"

#include <optional>
#include <vector>

namespace {

// Code points of a UTF-8 text; a malformed sequence yields nothing.
std::optional<std::vector<char32_t>> decodeUtf8(std::string_view text) {
    std::vector<char32_t> result;
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int extra = 0;
        char32_t codePoint = 0;
        if (lead < 0x80) {
            codePoint = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            codePoint = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            codePoint = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            codePoint = lead & 0x07;
        } else {
            return std::nullopt;
        }
        if (i + static_cast<size_t>(extra) >= text.size()) {
            return std::nullopt; // truncated sequence
        }
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            if ((next & 0xC0) != 0x80) {
                return std::nullopt;
            }
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        result.push_back(codePoint);
        i += static_cast<size_t>(extra) + 1;
    }
    return result;
}

int hexDigit(char32_t c) {
    if (c >= U'0' && c <= U'9') {
        return static_cast<int>(c - U'0');
    }
    if (c >= U'a' && c <= U'f') {
        return static_cast<int>(c - U'a') + 10;
    }
    if (c >= U'A' && c <= U'F') {
        return static_cast<int>(c - U'A') + 10;
    }
    return -1;
}

// The two-digit group starting at `position`, 0..255, or -1 when it is not hexadecimal.
int group(const std::vector<char32_t>& characters, size_t position) {
    const int high = hexDigit(characters[position]);
    const int low = hexDigit(characters[position + 1]);
    return (high < 0 || low < 0) ? -1 : high * 16 + low;
}

} // namespace

toolkit::Color initWithColorCode(std::string_view code) {
    const toolkit::Color black = toolkit::Color::withRGBA(0.0, 0.0, 0.0, 1.0);
    const auto characters = decodeUtf8(code);
    if (!characters || (characters->size() != 7 && characters->size() != 9)) {
        return black;
    }
    const int red = group(*characters, 1);
    const int green = group(*characters, 3);
    const int blue = group(*characters, 5);
    const int alpha = characters->size() == 9 ? group(*characters, 7) : 255;
    if (red < 0 || green < 0 || blue < 0 || alpha < 0) {
        return black;
    }
    return toolkit::Color::withRGBA(red / 255.0, green / 255.0, blue / 255.0,
                                    characters->size() == 9 ? alpha / 255.0 : 1.0);
}
