// Colours: four components, handed to Qt as floating-point RGBA so nothing is lost to 8 bits
// before the painter needs it.
#include "Color.h"

#include "GraphicsContext.h"

#include <algorithm>

namespace toolkit {

Color Color::withRGBA(double red, double green, double blue, double alpha) {
    Color c;
    c.r = red;
    c.g = green;
    c.b = blue;
    c.a = alpha;
    return c;
}

Color Color::withWhite(double white, double alpha) {
    return withRGBA(white, white, white, alpha);
}

void Color::set() const {
    if (GraphicsContext* context = GraphicsContext::current()) {
        context->setColor(*this);
    }
}

QColor Color::toQColor() const {
    auto unit = [](double v) { return static_cast<float>(std::clamp(v, 0.0, 1.0)); };
    return QColor::fromRgbF(unit(r), unit(g), unit(b), unit(a));
}

} // namespace toolkit
