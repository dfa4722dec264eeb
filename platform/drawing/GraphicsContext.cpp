// The current drawing context is a stack: a view drawn inside another's pass restores the
// outer one when it ends.
#include "GraphicsContext.h"

#include <algorithm>

namespace toolkit {

namespace {
GraphicsContext* currentContext = nullptr;
}

GraphicsContext::GraphicsContext() : previous(currentContext) {
    currentContext = this;
}

GraphicsContext::~GraphicsContext() {
    currentContext = previous;
}

GraphicsContext* GraphicsContext::current() {
    return currentContext;
}

void GraphicsContext::frameRectWithWidth(Rect rect, double width) {
    GraphicsContext* context = current();
    if (context == nullptr) {
        return;
    }
    // Four bands inside the rectangle; a frame wider than half the rectangle fills it.
    const double w = std::min(width, std::min(rect.width(), rect.height()) / 2.0);
    const double x = rect.minX(), y = rect.minY();
    const double rw = rect.width(), rh = rect.height();
    BezierPath path;
    path.appendRect(makeRect(x, y, rw, w));
    path.appendRect(makeRect(x, y + rh - w, rw, w));
    path.appendRect(makeRect(x, y + w, w, rh - 2 * w));
    path.appendRect(makeRect(x + rw - w, y + w, w, rh - 2 * w));
    context->fill(path);
}

} // namespace toolkit
