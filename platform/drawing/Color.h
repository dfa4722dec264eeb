// A colour of the drawing layer: red, green, blue and alpha, each 0..1 in sRGB.
//
// `set` makes the colour current for the following fills and strokes of the drawing pass in
// progress, the way the panel's drawing code is written; outside a drawing pass it does nothing.
#pragma once

namespace toolkit {

class Color {
public:
    Color() = default;
    static Color withRGBA(double red, double green, double blue, double alpha);
    static Color withWhite(double white, double alpha = 1.0);

    // Named colours with their grey levels: white 1, light grey 2/3, grey 1/2, dark grey 1/3.
    static Color white() { return withWhite(1.0); }
    static Color lightGray() { return withWhite(2.0 / 3.0); }
    static Color gray() { return withWhite(0.5); }
    static Color darkGray() { return withWhite(1.0 / 3.0); }
    static Color black() { return withWhite(0.0); }
    static Color clear() { return withWhite(0.0, 0.0); }

    double red() const { return r; }
    double green() const { return g; }
    double blue() const { return b; }
    double alpha() const { return a; }

    void set() const;

    bool operator==(const Color&) const = default;

private:
    double r = 0.0;
    double g = 0.0;
    double b = 0.0;
    double a = 1.0;
};

} // namespace toolkit
