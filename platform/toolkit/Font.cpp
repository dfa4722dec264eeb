// Font look-up through Qt's font database.
#include "Font.h"

#include <QFontDatabase>
#include <QGuiApplication>

#include <algorithm>
#include <cmath>

namespace toolkit {

namespace {

struct Substitute {
    std::string_view name;
    std::string_view family;
};

constexpr Substitute substitutes[] = {
    {"Futura", "URW Gothic"},
    {"Helvetica", "Nimbus Sans"},
};

// Families offered by several foundries are listed as "Name [foundry]"; the name alone
// selects any of them.
bool installed(const QString& family) {
    for (const QString& listed : QFontDatabase::families()) {
        const qsizetype bracket = listed.indexOf(QStringLiteral(" ["));
        const QString name = bracket < 0 ? listed : listed.left(bracket);
        if (name.compare(family, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

QFont atSize(QFont font, double size) {
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(size))));
    return font;
}

} // namespace

std::string Font::resolveFamily(std::string_view name) {
    const QString requested = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    if (installed(requested)) {
        return std::string(name);
    }
    for (const Substitute& s : substitutes) {
        if (s.name == name) {
            const QString family =
                QString::fromUtf8(s.family.data(), static_cast<qsizetype>(s.family.size()));
            return installed(family) ? std::string(s.family) : std::string();
        }
    }
    return {};
}

std::optional<Font> Font::withName(std::string_view name, double size) {
    const std::string family = resolveFamily(name);
    if (family.empty()) {
        return std::nullopt;
    }
    QFont font(QString::fromStdString(family));
    font.setStyleHint(QFont::SansSerif);
    return Font(atSize(font, size), size);
}

Font Font::systemFont(double size) {
    return Font(atSize(QGuiApplication::font(), size), size);
}

} // namespace toolkit
