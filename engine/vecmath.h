// Small tagged vectors, a rotation built from three angles, easing curves and a
// random fraction. Vector arithmetic is single precision, easing is double; the
// precision rules matter because the show must repeat bit for bit.
#pragma once
#include <cmath>
#include <cstdint>

// Tag: 0 no value, 1 an ordinary vector, 2 normalised (unit length or zero).
struct Vec3 {
    int32_t tag = 1;
    float x = 0, y = 0, z = 0;
};
static_assert(sizeof(Vec3) == 16, "Vec3 is a 16-byte record");

inline Vec3 makeVec3(float x, float y, float z) { return Vec3{1, x, y, z}; }

// Sixteen floats, row-major: element (r, c) at 4r + c. Only the 3 x 3 block is used.
struct Mat4 {
    float m[16];
    Mat4();                                   // identity
    float& at(int r, int c) { return m[4 * r + c]; }
    float at(int r, int c) const { return m[4 * r + c]; }
};

// The vector helpers are inline: the stroke generator and the main pass call them
// for every polygon and stroke point. A tag-0 operand gives (tag 1, 0, 0, 0).
inline Vec3 add(const Vec3& a, const Vec3& b)
{
    if (a.tag == 0 || b.tag == 0)
        return Vec3{1, 0, 0, 0};
    return Vec3{1, a.x + b.x, a.y + b.y, a.z + b.z};
}

inline Vec3 sub(const Vec3& a, const Vec3& b)
{
    if (a.tag == 0 || b.tag == 0)
        return Vec3{1, 0, 0, 0};
    return Vec3{1, a.x - b.x, a.y - b.y, a.z - b.z};
}

inline Vec3 cross(const Vec3& a, const Vec3& b)
{
    if (a.tag == 0 || b.tag == 0)
        return Vec3{1, 0, 0, 0};
    return Vec3{1, a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline Vec3 scale(const Vec3& v, float s)
{
    if (v.tag == 0)
        return Vec3{1, 0, 0, 0};
    return Vec3{v.tag, v.x * s, v.y * s, v.z * s};
}

// Plain x·x + y·y + z·z in float, whatever the tags.
inline float dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// The square root of the float sum, taken in double and narrowed.
inline float length(const Vec3& v)
{
    float sum = v.x * v.x + v.y * v.y + v.z * v.z;
    return static_cast<float>(std::sqrt(static_cast<double>(sum)));
}

// Tag 1 becomes 2 (unit length, or zero when shorter than 1e-8); tags 0 and 2 stay.
inline void normalize(Vec3& v)
{
    if (v.tag != 1)
        return; // tag 0 has no value, tag 2 is already normalised
    float len = length(v);
    if (static_cast<double>(len) < 1e-8) {
        v = Vec3{2, 0, 0, 0};
        return;
    }
    float k = 1.0f / len;
    v.x *= k;
    v.y *= k;
    v.z *= k;
    v.tag = 2;
}

void rotationXYZ(Mat4& m, float a, float b, float c);
Vec3 transform(const Mat4& m, const Vec3& v);
void rotateVector(Vec3& v, double a, double b, double c);

double easeInOutPow(double t, double p);
double ease(double t); // easeInOutPow(t, 1): the parts' usual ease
double softStart(double t);

// rand() / 32767.0 from the process-wide generator: 0 to 1 inclusive.
double random01();
