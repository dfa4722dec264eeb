// Points, sizes and rectangles of the drawing layer, in points, y up.
//
// Every view keeps its frame in its parent's coordinates with the origin at the parent's
// lower-left corner, as the controls' geometry is written; the conversion to Qt's y-down
// integer widget rectangles happens only inside View.
#pragma once

namespace toolkit {

struct Point {
    double x = 0.0;
    double y = 0.0;
};

struct Size {
    double width = 0.0;
    double height = 0.0;
};

struct Rect {
    Point origin;
    Size size;

    double minX() const { return origin.x; }
    double minY() const { return origin.y; }
    double maxX() const { return origin.x + size.width; }
    double maxY() const { return origin.y + size.height; }
    double width() const { return size.width; }
    double height() const { return size.height; }
    // Half-open on the upper edges, so neighbouring rectangles never both contain a point.
    bool contains(Point p) const {
        return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
    }
};

inline Rect makeRect(double x, double y, double width, double height) {
    return Rect{Point{x, y}, Size{width, height}};
}

inline bool operator==(Point a, Point b) {
    return a.x == b.x && a.y == b.y;
}
inline bool operator==(Size a, Size b) {
    return a.width == b.width && a.height == b.height;
}
inline bool operator==(const Rect& a, const Rect& b) {
    return a.origin == b.origin && a.size == b.size;
}

} // namespace toolkit
