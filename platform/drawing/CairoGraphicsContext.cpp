// cairo measures angles from +x towards +y of user space; with y flipped up that is
// counter-clockwise, the panel's convention, so arcs go to cairo unchanged.
#include "CairoGraphicsContext.h"

#include <cairo.h>

#include <cmath>

namespace toolkit {

CairoGraphicsContext::CairoGraphicsContext(cairo_t* cairo, Rect frameInWindow, double windowHeight)
    : cr(cairo), height(frameInWindow.height()) {
    cairo_save(cr);
    cairo_translate(cr, frameInWindow.minX(), windowHeight - frameInWindow.minY());
    cairo_scale(cr, 1.0, -1.0);
}

CairoGraphicsContext::~CairoGraphicsContext() {
    cairo_restore(cr);
}

void CairoGraphicsContext::addPath(const BezierPath& path) {
    using Kind = BezierPath::Element::Kind;
    cairo_new_path(cr);
    for (const BezierPath::Element& e : path.elements()) {
        switch (e.kind) {
        case Kind::rect:
            cairo_rectangle(cr, e.rect.minX(), e.rect.minY(), e.rect.width(), e.rect.height());
            break;
        case Kind::oval:
            if (e.rect.width() > 0 && e.rect.height() > 0) {
                cairo_new_sub_path(cr);
                cairo_save(cr);
                cairo_translate(cr, e.rect.minX() + e.rect.width() / 2,
                                e.rect.minY() + e.rect.height() / 2);
                cairo_scale(cr, e.rect.width() / 2, e.rect.height() / 2);
                cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
                cairo_restore(cr);
                cairo_close_path(cr);
            }
            break;
        case Kind::moveTo:
            cairo_move_to(cr, e.rect.origin.x, e.rect.origin.y);
            break;
        case Kind::lineTo:
            cairo_line_to(cr, e.rect.origin.x, e.rect.origin.y);
            break;
        case Kind::arc: {
            if (e.joined)
                cairo_line_to(cr, e.start.x, e.start.y);
            else
                cairo_move_to(cr, e.start.x, e.start.y);
            const double from = e.startDegrees * M_PI / 180.0;
            const double to = (e.startDegrees + e.sweepDegrees) * M_PI / 180.0;
            if (e.sweepDegrees > 0)
                cairo_arc(cr, e.center.x, e.center.y, e.radius, from, to);
            else if (e.sweepDegrees < 0)
                cairo_arc_negative(cr, e.center.x, e.center.y, e.radius, from, to);
            break;
        }
        case Kind::close:
            cairo_close_path(cr);
            break;
        }
    }
}

void CairoGraphicsContext::fill(const BezierPath& path) {
    addPath(path);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    const Color& c = color();
    cairo_set_source_rgba(cr, c.red(), c.green(), c.blue(), c.alpha());
    cairo_fill(cr);
}

void CairoGraphicsContext::stroke(const BezierPath& path, double lineWidth) {
    addPath(path);
    const Color& c = color();
    cairo_set_source_rgba(cr, c.red(), c.green(), c.blue(), c.alpha());
    cairo_set_line_width(cr, lineWidth);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
    cairo_stroke(cr);
}

void CairoGraphicsContext::fillGradient(const BezierPath& path, const Color& startColor,
                                        const Color& endColor, Point from, Point to) {
    addPath(path);
    cairo_pattern_t* pattern = cairo_pattern_create_linear(from.x, from.y, to.x, to.y);
    cairo_pattern_add_color_stop_rgba(pattern, 0.0, startColor.red(), startColor.green(),
                                      startColor.blue(), startColor.alpha());
    cairo_pattern_add_color_stop_rgba(pattern, 1.0, endColor.red(), endColor.green(),
                                      endColor.blue(), endColor.alpha());
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    cairo_set_source(cr, pattern);
    cairo_fill(cr);
    cairo_pattern_destroy(pattern);
}

double CairoGraphicsContext::textWidth(cairo_t* cairo, const std::string& text,
                                       const std::string& family, double size) {
    cairo_save(cairo);
    cairo_select_font_face(cairo, family.c_str(), CAIRO_FONT_SLANT_NORMAL,
                           CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cairo, size);
    cairo_text_extents_t extents;
    cairo_text_extents(cairo, text.c_str(), &extents);
    cairo_restore(cairo);
    return extents.x_advance;
}

void CairoGraphicsContext::drawText(const std::string& text, Rect rect, const std::string& family,
                                    double size, int alignment) {
    cairo_save(cr);
    cairo_rectangle(cr, rect.minX(), rect.minY(), rect.width(), rect.height());
    cairo_clip(cr);
    // Glyphs must not be mirrored: back to y down, from the rectangle's top edge.
    cairo_translate(cr, rect.minX(), rect.maxY());
    cairo_scale(cr, 1.0, -1.0);
    cairo_select_font_face(cr, family.c_str(), CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_font_extents_t font;
    cairo_font_extents(cr, &font);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    double x = 0.0;
    if (alignment == 0)
        x = (rect.width() - extents.x_advance) / 2.0;
    else if (alignment > 0)
        x = rect.width() - extents.x_advance;
    const Color& c = color();
    cairo_set_source_rgba(cr, c.red(), c.green(), c.blue(), c.alpha());
    cairo_move_to(cr, x, font.ascent);
    cairo_show_text(cr, text.c_str());
    cairo_restore(cr);
}

} // namespace toolkit
