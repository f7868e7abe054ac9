// Tagged vector helpers and easing curves. Single precision for vectors (sums in
// float, square roots and trigonometry in double then narrowed), double for easing.
#include "engine/vecmath.h"

#include <algorithm>
#include <cmath>

#include "base/random.h"

Mat4::Mat4()
{
    for (int i = 0; i < 16; ++i)
        m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

void rotationXYZ(Mat4& m, float a, float b, float c)
{
    float ca = static_cast<float>(std::cos(static_cast<double>(a)));
    float sa = static_cast<float>(std::sin(static_cast<double>(a)));
    float cb = static_cast<float>(std::cos(static_cast<double>(b)));
    float sb = static_cast<float>(std::sin(static_cast<double>(b)));
    float cc = static_cast<float>(std::cos(static_cast<double>(c)));
    float sc = static_cast<float>(std::sin(static_cast<double>(c)));
    m.at(0, 0) = cb * cc;
    m.at(0, 1) = -(cb * sc);
    m.at(0, 2) = sb;
    m.at(1, 0) = sa * sb * cc + ca * sc;
    m.at(1, 1) = ca * cc - sa * sb * sc;
    m.at(1, 2) = -(sa * cb);
    m.at(2, 0) = sa * sc - ca * sb * cc;
    m.at(2, 1) = ca * sb * sc + sa * cc;
    m.at(2, 2) = ca * cb;
}

Vec3 transform(const Mat4& m, const Vec3& v)
{
    return Vec3{1, m.at(0, 0) * v.x + m.at(0, 1) * v.y + m.at(0, 2) * v.z,
                m.at(1, 0) * v.x + m.at(1, 1) * v.y + m.at(1, 2) * v.z,
                m.at(2, 0) * v.x + m.at(2, 1) * v.y + m.at(2, 2) * v.z};
}

void rotateVector(Vec3& v, double a, double b, double c)
{
    Mat4 m;
    rotationXYZ(m, static_cast<float>(a), static_cast<float>(b), static_cast<float>(c));
    v = transform(m, v);
}

double easeInOutPow(double t, double p)
{
    double u = std::clamp(t, 0.0, 1.0);
    // The scene's ramps use p = 1, where both powers are exactly their base
    // (pow(x, 1) = x): the same result without them, and without the cosine at
    // the ends, where the curve is exactly 0 and 1.
    if (p == 1.0) {
        if (u == 0.0)
            return 0.0;
        if (u == 1.0)
            return 1.0;
        return 1.0 - (std::cos(M_PI * u) + 1.0) * 0.5;
    }
    double w = (std::cos(M_PI * u) + 1.0) * 0.5;
    double q = (p - 1.0) * 0.5 + 1.0;
    return std::pow(1.0 - std::pow(w, q), p);
}

double ease(double t) { return easeInOutPow(t, 1.0); }

double softStart(double t)
{
    double c = t >= 0.0 ? t : 0.0;
    double b = std::pow(c * 0.5, 2.2);
    double d = std::clamp(c * 0.3, 0.0, 1.0);
    return (b - c) * (1.0 - d) + c;
}

double random01() { return rng::rand() / 32767.0; }
