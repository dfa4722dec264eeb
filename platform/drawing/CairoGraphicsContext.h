// The drawing layer's painter on cairo: what the plugin's window draws with, where no toolkit
// may enter the host's process.
//
// Made around one view's drawing pass with the cairo context of the window and the view's
// frame in window coordinates (y up, origin at the window's lower-left corner) and the
// window's height; it turns cairo's y-down space into the view's own y-up coordinates and puts
// everything back when it ends.
#pragma once

#include "GraphicsContext.h"

#include <string>

typedef struct _cairo cairo_t;

namespace toolkit {

class CairoGraphicsContext : public GraphicsContext {
public:
    CairoGraphicsContext(cairo_t* cairo, Rect frameInWindow, double windowHeight);
    ~CairoGraphicsContext() override;

    void fill(const BezierPath& path) override;
    void stroke(const BezierPath& path, double lineWidth) override;
    void fillGradient(const BezierPath& path, const Color& startColor, const Color& endColor,
                      Point from, Point to) override;

    // One line of text upright in `rect` (y-up view coordinates), at the top, in the current
    // colour: aligned left (-1), centred (0) or right (1), cut at the rectangle's edges.
    void drawText(const std::string& text, Rect rect, const std::string& family, double size,
                  int alignment);
    // The width of `text` in the font, in points.
    static double textWidth(cairo_t* cairo, const std::string& text, const std::string& family,
                            double size);

private:
    void addPath(const BezierPath& path);

    cairo_t* cr;
    double height;
};

} // namespace toolkit
