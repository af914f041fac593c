#pragma once
// A colour with straight (not premultiplied) components from 0.0 to 1.0.

struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;

    static Color calibratedRGB(double r, double g, double b, double a = 1) { return {r, g, b, a}; }
    static Color calibratedWhite(double w, double a = 1) { return {w, w, w, a}; }
    static Color black() { return {0, 0, 0, 1}; }
    static Color white() { return {1, 1, 1, 1}; }
    static Color clear() { return {0, 0, 0, 0}; }
    bool operator==(const Color&) const = default;
};
