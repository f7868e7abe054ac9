// Small tagged vectors, a rotation built from three angles, easing curves and a
// random fraction. Vector arithmetic is single precision, easing is double; the
// precision rules matter because the show must repeat bit for bit.
#pragma once
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

Vec3 add(const Vec3& a, const Vec3& b);
Vec3 sub(const Vec3& a, const Vec3& b);
Vec3 cross(const Vec3& a, const Vec3& b);
Vec3 scale(const Vec3& v, float s);
float dot(const Vec3& a, const Vec3& b);     // plain x·x + y·y + z·z in float, whatever the tags
float length(const Vec3& v);                 // sqrt of the float sum, taken in double, narrowed
void normalize(Vec3& v);
void rotationXYZ(Mat4& m, float a, float b, float c);
Vec3 transform(const Mat4& m, const Vec3& v);
void rotateVector(Vec3& v, double a, double b, double c);

double easeInOutPow(double t, double p);
double softStart(double t);

// rand() / 32767.0 from the process-wide generator: 0 to 1 inclusive.
double random01();
