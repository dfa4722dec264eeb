// Fonts by family name and size in points (one point is one device-independent pixel).
//
// The panel names its fonts as the desktop it was drawn for knows them; where such a family
// is not installed, a close relative from the URW base-35 set stands in ("Futura" → URW
// Gothic, "Helvetica" → Nimbus Sans). A name with neither yields no font, and the caller keeps
// its default.
#pragma once

#include <QFont>

#include <optional>
#include <string>
#include <string_view>

namespace toolkit {

class Font {
public:
    static std::optional<Font> withName(std::string_view name, double size);
    // Qt's default application font at the given size.
    static Font systemFont(double size);

    // The installed family used for `name`, or empty when there is none.
    static std::string resolveFamily(std::string_view name);

    const QFont& qtFont() const { return font; }
    std::string family() const { return font.family().toStdString(); }
    double pointSize() const { return size; }

private:
    Font(const QFont& font, double size) : font(font), size(size) {}
    QFont font;
    double size;
};

} // namespace toolkit
