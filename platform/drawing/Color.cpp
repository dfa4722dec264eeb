// Colours keep their four components as doubles, so nothing is lost to 8 bits before a
// painter needs them.
#include "Color.h"

#include "GraphicsContext.h"

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

} // namespace toolkit
