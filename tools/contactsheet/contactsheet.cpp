// contactsheet SHOWDIR OUT.png: one labelled picture of the generated assets.
// Every outline mesh is loaded with the show's own reader, placed as the stroke
// pass places it at a telling moment (the matrices are rebuilt here with GL's
// rules, so no GL context is needed), turned into its pencil path by the show's
// own stroke generator and drawn as the main pass draws it: a line strip whose
// opacity is 0.8 x 3 x the stroke width. Every texture is decoded with the
// show's JPEG decoder. Labels use DejaVu Sans through FreeType when it is there.
#include "formats/jpeg_decoder.h"
#include "formats/png_write.h"
#include "formats/obj_mesh.h"
#include "engine/vecmath.h"
#include "scene/part_start.h"
#include "scene/poly_mesh.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------- canvas

struct Canvas {
    int w, h;
    std::vector<float> px; // RGB
    Canvas(int width, int height) : w(width), h(height), px(3 * size_t(width) * height, 1.0f) {}
    void blend(int x, int y, float r, float g, float b, float a)
    {
        if (x < 0 || y < 0 || x >= w || y >= h || a <= 0)
            return;
        float* p = &px[3 * (size_t(y) * w + x)];
        a = std::min(a, 1.0f);
        p[0] += (r - p[0]) * a;
        p[1] += (g - p[1]) * a;
        p[2] += (b - p[2]) * a;
    }
    void fill(int x0, int y0, int x1, int y1, float r, float g, float b)
    {
        for (int y = std::max(y0, 0); y < std::min(y1, h); ++y)
            for (int x = std::max(x0, 0); x < std::min(x1, w); ++x)
                blend(x, y, r, g, b, 1);
    }
};

// An antialiased line of about 1.3 pixels, darkening towards graphite.
void drawLine(Canvas& c, double x0, double y0, double x1, double y1, float alpha)
{
    const double len = std::hypot(x1 - x0, y1 - y0);
    const int steps = std::max(1, static_cast<int>(len * 2));
    for (int i = 0; i <= steps; ++i) {
        double x = x0 + (x1 - x0) * i / steps, y = y0 + (y1 - y0) * i / steps;
        int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                double d = std::hypot(ix + dx + 0.5 - x, iy + dy + 0.5 - y);
                double cover = std::clamp(1.15 - d, 0.0, 1.0);
                c.blend(ix + dx, iy + dy, 0.12f, 0.12f, 0.13f, static_cast<float>(alpha * cover * 0.35));
            }
    }
}

// ---------------------------------------------------------------- labels

struct Labeller {
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
    Labeller()
    {
        if (FT_Init_FreeType(&lib) != 0)
            return;
        const char* paths[] = {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", "/usr/share/fonts/TTF/DejaVuSans.ttf"};
        for (const char* p : paths)
            if (FT_New_Face(lib, p, 0, &face) == 0)
                break;
    }
    ~Labeller()
    {
        if (face)
            FT_Done_Face(face);
        if (lib)
            FT_Done_FreeType(lib);
    }
    void text(Canvas& c, int x, int baseline, const std::string& s, int size, float grey)
    {
        if (!face)
            return;
        FT_Set_Pixel_Sizes(face, 0, size);
        for (unsigned char ch : s) {
            if (FT_Load_Char(face, ch, FT_LOAD_RENDER) != 0)
                continue;
            FT_GlyphSlot g = face->glyph;
            for (unsigned r = 0; r < g->bitmap.rows; ++r)
                for (unsigned col = 0; col < g->bitmap.width; ++col) {
                    float a = g->bitmap.buffer[r * g->bitmap.pitch + col] / 255.0f;
                    // Canvas rows run top down.
                    c.blend(x + g->bitmap_left + col, baseline - g->bitmap_top + r, grey, grey, grey, a);
                }
            x += g->advance.x >> 6;
        }
    }
};

// ---------------------------------------------------------------- GL-style matrices

struct Matrix {
    float m[16]; // column-major, as GL keeps it
    Matrix()
    {
        for (int i = 0; i < 16; ++i)
            m[i] = i % 5 == 0 ? 1.0f : 0.0f;
    }
    Matrix operator*(const Matrix& b) const
    {
        Matrix r;
        for (int c = 0; c < 4; ++c)
            for (int row = 0; row < 4; ++row) {
                double s = 0;
                for (int k = 0; k < 4; ++k)
                    s += double(m[k * 4 + row]) * b.m[c * 4 + k];
                r.m[c * 4 + row] = static_cast<float>(s);
            }
        return r;
    }
};

Matrix translate(double x, double y, double z)
{
    Matrix t;
    t.m[12] = float(x), t.m[13] = float(y), t.m[14] = float(z);
    return t;
}
Matrix scaling(double s)
{
    Matrix t;
    t.m[0] = t.m[5] = t.m[10] = float(s);
    return t;
}
Matrix rotate(double degrees, double x, double y, double z)
{
    double l = std::sqrt(x * x + y * y + z * z);
    x /= l, y /= l, z /= l;
    double a = degrees * M_PI / 180, c = std::cos(a), s = std::sin(a), k = 1 - c;
    Matrix r;
    r.m[0] = float(x * x * k + c), r.m[4] = float(x * y * k - z * s), r.m[8] = float(x * z * k + y * s);
    r.m[1] = float(y * x * k + z * s), r.m[5] = float(y * y * k + c), r.m[9] = float(y * z * k - x * s);
    r.m[2] = float(x * z * k - y * s), r.m[6] = float(y * z * k + x * s), r.m[10] = float(z * z * k + c);
    return r;
}
Matrix lookAt(double ex, double ey, double ez, double cx, double cy, double cz)
{
    double f[3] = {cx - ex, cy - ey, cz - ez};
    double fl = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
    for (double& v : f)
        v /= fl;
    const double up[3] = {0, 1, 0};
    double s[3] = {f[1] * up[2] - f[2] * up[1], f[2] * up[0] - f[0] * up[2], f[0] * up[1] - f[1] * up[0]};
    double sl = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
    for (double& v : s)
        v /= sl;
    double u[3] = {s[1] * f[2] - s[2] * f[1], s[2] * f[0] - s[0] * f[2], s[0] * f[1] - s[1] * f[0]};
    Matrix r;
    for (int i = 0; i < 3; ++i) {
        r.m[i * 4 + 0] = float(s[i]);
        r.m[i * 4 + 1] = float(u[i]);
        r.m[i * 4 + 2] = float(-f[i]);
    }
    return r * translate(-ex, -ey, -ez);
}

// The stroke pass's camera, and its still-life "layer camera" at scene time t.
Matrix setupCamera() { return lookAt(0, 3, 10, 0, 0, 0); }
Matrix layerCamera(double t)
{
    double a = t * 0.03 + 0.2 - 1 + (0.2 * ease((t - 85) * 0.3) - 0.8 * ease(t - 68));
    double ex = 3 * std::sin(a), ey = 0.3, ez = 3 * std::cos(a), cx = 0, cy = 0, cz = 0;
    double v = ease((t - 92) * 0.13);
    ex += (0 - ex) * v, ey += (0 - ey) * v, ez += (2 - ez) * v;
    return setupCamera() * lookAt(ex, ey, ez, cx, cy, cz) * translate(2, -1, 0) * scaling(0.15);
}

// ---------------------------------------------------------------- the placements

struct Call {
    Matrix modelview;
    bool hatch;
    double density;
    unsigned step;
    double from, to;
};

struct Panel {
    const char* file;    // several files are separated by '+', drawn with the same calls each
    const char* what;
    double time;
    float widthA;
    bool reverse, deform;
    Vec3 light;
    std::function<std::vector<Call>(double)> calls;
};

std::vector<Call> one(Matrix m, bool hatch, double density, unsigned step = 0)
{
    return {Call{m, hatch, density, step, 0, 1}};
}

std::vector<Panel> panels()
{
    const Vec3 none = makeVec3(0, 0, 0);
    auto antPart = [](int slot) {
        return [slot](double t) {
            double m = t - 154;
            double sway = ease(0.2 * m) * std::cos(7.44 * m) + 2 * ease(0.2 * m) * std::cos(1.5 * m);
            Matrix r = translate(0, 0, 0) * translate(3, 0, 0) * scaling(0.2) * rotate(-70, 1, 0, 0);
            if (slot == 15)
                r = r * rotate(-35 * std::sin(30 * t), 0, 0, 1);
            if (slot == 16)
                r = r * rotate(35 * std::sin(30 * t), 0, 0, 1);
            return one(r * rotate(10 * sway, -0.7, 1, 0), false, 0.1, 5);
        };
    };
    return {
        {"newobjects/title.obj", "title, 30 bands", 19.0, 1.2f, false, false, none,
         [](double t) {
             std::vector<Call> c;
             for (int g = 0; g < 30; ++g)
                 c.push_back({setupCamera() * rotate(t * 0.2 + 5, 0, 1, 0) * scaling(0.16), true, 1, 0, g / 30.0,
                              (g + 1) / 30.0});
             return c;
         }},
        {"newobjects/face.obj", "two heads, 2 x 30 bands", 185.0, 1.6f, false, true, none,
         [](double t) {
             std::vector<Call> c;
             for (int i = 0; i < 30; ++i)
                 c.push_back({setupCamera() * translate(1, 1.8, 0) * scaling(0.4) * rotate(2 - (t - 174) * 0.5, 0, 1, 0),
                              true, 0.46, 0, 0.5 + i * 0.5 / 30, 0.5 + (i + 1) * 0.5 / 30});
             for (int i = 0; i < 30; ++i)
                 c.push_back({setupCamera() * translate(0.2 * softStart(t - 207) + 4, 1.8, 0) * scaling(0.4) *
                                  rotate((t - 174) * 0.5 - 2, 0, 1, 0),
                              true, 0.46, 0, i * 0.5 / 30, (i + 1) * 0.5 / 30});
             return c;
         }},
        {"newobjects/baseshape.obj", "vase", 60.0, 1.5f, false, false, none,
         [](double t) { return one(layerCamera(t), true, 1); }},
        {"newobjects/solid1.obj", "rolling solid", 75.0, 1.5f, false, false, none,
         [](double t) {
             double p = 12;
             return one(layerCamera(t) * translate(p - 4, 0, -0.5) * translate(0, 1, 0) * rotate(-40 * p, 0, 0, 1), true,
                        1.2);
         }},
        {"newobjects/baseshape2.obj", "jug", 75.0, 1.0f, false, false, none,
         [](double t) { return one(layerCamera(t) * translate(12, 2.5, 0), true, 1); }},
        {"newobjects/holder2.obj", "cradle (reversed after loading)", 120.0, 1.5f, true, false, none,
         [](double t) {
             return one(layerCamera(t) * translate(16, 7.4, 0.5 - 10.5) * rotate(90, 0, 1, 0) * rotate(15, 0, 1, 0), false,
                        0.2);
         }},
        {"newobjects/objectscougar.obj", "cougar", 120.0, 1.0f, false, true, none,
         [](double t) {
             double grow = 0.2 * ease((t - 106) * 0.1) + 1;
             return one(layerCamera(t) * translate(15, 8.5, 0.5 - 10.5) * rotate(90, 0, 1, 0) *
                            rotate(-20 * ease((t - 105) * 0.1), 0, 1, 0) * rotate(20 * ease((t - 115) * 0.2), 0, 1, 0) *
                            scaling(grow) * scaling(0.35),
                        true, 0.9);
         }},
        {"newobjects/vellum.obj", "caterpillar head on the worm", 160.0, 1.0f, false, true, none,
         [](double t) {
             double grow = 0.5 * ease((t - 149) * 0.2) + 1;
             return one(translate(4, 1.5, 0) * scaling(0.3) * rotate(30, 0, 1, 0) * rotate(30, 1, 0, 0) *
                            rotate(20 * (t - softStart(t - 156)), 0, 1, 0) * scaling(0.7) * scaling(grow),
                        true, 1.7);
         }},
        {"newobjects/ant_Kormos.obj+newobjects/ant_Podi1.obj+newobjects/ant_Podi2.obj", "walking ant: body, legs, legs",
         160.0, 1.0f, false, false, none, [antPart](double t) {
             // One ant, its three meshes in the order the scene draws them.
             std::vector<Call> c;
             for (int slot : {14, 15, 16}) {
                 std::vector<Call> part = antPart(slot)(t);
                 c.push_back(part[0]);
             }
             return c;
         }},
        {"newobjects/skeletonhand2.obj", "skeleton hand, 60 bands", 183.0, 1.0f, false, false, none,
         [](double t) {
             std::vector<Call> c;
             for (int i = 0; i < 60; ++i)
                 c.push_back({setupCamera() * translate(2.5, 2.5 + 0.5 - 0.04 * (t - 202), 0) * scaling(0.22) *
                                  rotate((t - 174) * 10 - 90 + 60 * ease(t - 206), 0, 1, 0) * rotate(180, 0, 0, 1),
                              true, 0.5, 0, i * 0.99 / 60, (i + 1) * 0.99 / 60});
             return c;
         }},
        {"newobjects/woman.obj", "woman, outline only", 225.0, 1.0f, false, false, makeVec3(0.707f, 0, 0.707f),
         [](double) {
             return one(setupCamera() * translate(-3.32, -0.24, 0) * scaling(0.2) * rotate(-80, 0, 1, 0), false, 0.1, 1);
         }},
        {"newobjects/birdgood2.obj", "bird, wings beating", 245.0, 1.0f, false, true, none,
         [](double t) {
             double bb = -((t - 227) * 0.4 - 2.7);
             return one(setupCamera() * translate(-3.32, 0.36, 0) * translate(bb, 0.3 * bb, 0) * scaling(0.17) *
                            rotate(2 - (t - 174) * 0.5, 0, 1, 0) * rotate(-5 * softStart(t - 237), 0, 1, 0.4) *
                            rotate(4 * softStart(t - 240), 0, 1, 0.4) * rotate(20, 0, 1, 0) * rotate(20, 0, 1, 0) *
                            rotate(-90, 0, 1, 0),
                        true, 0.2 * ease(t - 237) + 0.6);
         }},
        {"newobjects/end.obj", "end text", 262.0, 1.5f, false, false, none,
         [](double) {
             return one(setupCamera() * translate(2.68, 1.36, 0) * translate(-8.5, -2.55, 0) * scaling(0.11) *
                            translate(-5, -1, 0),
                        true, 0.7);
         }},
        {"newobjects/torus.obj", "torus (loaded, never placed)", 0.0, 1.0f, false, false, none,
         [](double) { return one(setupCamera() * scaling(0.4) * rotate(60, 1, 0, 0), true, 1); }},
    };
}

// ---------------------------------------------------------------- pictures

struct Picture {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb; // top row first
};

Picture decodeJpeg(const std::string& path)
{
    Picture pic;
    jpeg_decoder_file_stream stream;
    if (!stream.open(path.c_str()))
        return pic;
    JpegDecoder dec(&stream, false);
    if (dec.errorCode() != 0 || dec.begin() != 0)
        return pic;
    pic.w = dec.width();
    pic.h = dec.height();
    const int bpp = dec.bytesPerPixel();
    pic.rgb.resize(3 * size_t(pic.w) * pic.h);
    for (int y = 0; y < pic.h; ++y) {
        const uint8_t* row = nullptr;
        uint32_t bytes = 0;
        if (dec.decodeLine(&row, &bytes) != 0)
            break;
        for (int x = 0; x < pic.w; ++x)
            for (int c = 0; c < 3; ++c)
                pic.rgb[3 * (size_t(y) * pic.w + x) + c] = bpp == 1 ? row[x] : row[4 * x + c];
    }
    return pic;
}

void drawPicture(Canvas& canvas, const Picture& pic, int x0, int y0, int w, int h)
{
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // Box filter over the source texels under this pixel.
            int sx0 = x * pic.w / w, sx1 = std::max(sx0 + 1, (x + 1) * pic.w / w);
            int sy0 = y * pic.h / h, sy1 = std::max(sy0 + 1, (y + 1) * pic.h / h);
            double sum[3] = {0, 0, 0};
            int n = 0;
            for (int sy = sy0; sy < sy1; ++sy)
                for (int sx = sx0; sx < sx1; ++sx, ++n)
                    for (int c = 0; c < 3; ++c)
                        sum[c] += pic.rgb[3 * (size_t(sy) * pic.w + sx) + c];
            canvas.blend(x0 + x, y0 + y, float(sum[0] / n / 255), float(sum[1] / n / 255), float(sum[2] / n / 255), 1);
        }
}

// A drawn mesh, read by the show's OBJ reader, flat-lit and depth-tested with
// back faces culled (so a wrong winding shows as a hole), fitted into the box.
void drawShadedMesh(Canvas& canvas, const std::string& path, const Matrix& view, int x0, int y0, int w, int h,
                    size_t& triangles)
{
    ObjMesh mesh;
    triangles = 0;
    if (!mesh.load(path.c_str(), false))
        return;
    triangles = static_cast<size_t>(mesh.triangleCount);
    std::vector<Vec3> pos(mesh.vertices.size()), nrm(mesh.vertices.size());
    double lo[2] = {1e9, 1e9}, hi[2] = {-1e9, -1e9};
    for (size_t i = 0; i < mesh.vertices.size(); ++i) {
        const MeshVertex& v = mesh.vertices[i];
        const float* m = view.m;
        pos[i] = makeVec3(m[0] * v.px + m[4] * v.py + m[8] * v.pz, m[1] * v.px + m[5] * v.py + m[9] * v.pz,
                          m[2] * v.px + m[6] * v.py + m[10] * v.pz);
        nrm[i] = makeVec3(m[0] * v.nx + m[4] * v.ny + m[8] * v.nz, m[1] * v.nx + m[5] * v.ny + m[9] * v.nz,
                          m[2] * v.nx + m[6] * v.ny + m[10] * v.nz);
        lo[0] = std::min(lo[0], double(pos[i].x)), hi[0] = std::max(hi[0], double(pos[i].x));
        lo[1] = std::min(lo[1], double(pos[i].y)), hi[1] = std::max(hi[1], double(pos[i].y));
    }
    const double s = std::min((w - 20) / (hi[0] - lo[0]), (h - 20) / (hi[1] - lo[1]));
    const double ox = x0 + (w - (hi[0] - lo[0]) * s) / 2, oy = y0 + (h - (hi[1] - lo[1]) * s) / 2;
    std::vector<float> depth(size_t(w) * h, -1e30f);
    Vec3 light = makeVec3(0.5f, 1.0f, 1.0f);
    normalize(light);
    for (size_t object = 0; object + 1 < mesh.objectStarts.size(); ++object) {
        const float tone[3][3] = {{0.55f, 0.5f, 0.45f}, {0.45f, 0.5f, 0.55f}, {0.85f, 0.5f, 0.35f}};
        const float* base = tone[(object + (mesh.objectStarts.size() == 2 ? 2 : 0)) % 3];
        for (int t = mesh.objectStarts[object]; t < mesh.objectStarts[object + 1]; ++t) {
            const uint32_t* idx = &mesh.triangleIndices[3 * size_t(t)];
            double X[3], Y[3], Z[3];
            for (int k = 0; k < 3; ++k) {
                X[k] = ox + (pos[idx[k]].x - lo[0]) * s;
                Y[k] = oy + (hi[1] - pos[idx[k]].y) * s;
                Z[k] = pos[idx[k]].z;
            }
            // Counter-clockwise in a y-up view is clockwise in canvas rows (y down).
            double area = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
            if (area >= 0)
                continue;
            int bx0 = std::max(int(std::floor(std::min({X[0], X[1], X[2]}))), x0);
            int bx1 = std::min(int(std::ceil(std::max({X[0], X[1], X[2]}))), x0 + w - 1);
            int by0 = std::max(int(std::floor(std::min({Y[0], Y[1], Y[2]}))), y0);
            int by1 = std::min(int(std::ceil(std::max({Y[0], Y[1], Y[2]}))), y0 + h - 1);
            for (int y = by0; y <= by1; ++y)
                for (int x = bx0; x <= bx1; ++x) {
                    double cx = x + 0.5, cy = y + 0.5;
                    double w0 = ((X[1] - cx) * (Y[2] - cy) - (X[2] - cx) * (Y[1] - cy)) / area;
                    double w1 = ((X[2] - cx) * (Y[0] - cy) - (X[0] - cx) * (Y[2] - cy)) / area;
                    double w2 = 1 - w0 - w1;
                    if (w0 < 0 || w1 < 0 || w2 < 0)
                        continue;
                    float z = float(w0 * Z[0] + w1 * Z[1] + w2 * Z[2]);
                    float& d = depth[size_t(y - y0) * w + (x - x0)];
                    if (z <= d)
                        continue;
                    d = z;
                    Vec3 n = add(add(scale(nrm[idx[0]], float(w0)), scale(nrm[idx[1]], float(w1))), scale(nrm[idx[2]], float(w2)));
                    normalize(n);
                    float lit = 0.25f + 0.75f * std::max(0.0f, dot(n, light));
                    canvas.blend(x, y, base[0] * lit, base[1] * lit, base[2] * lit, 1);
                }
        }
    }
}

bool writePng(const Canvas& c, const std::string& path)
{
    std::vector<uint8_t> rgb(c.px.size());
    for (size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = static_cast<uint8_t>(std::lround(std::clamp(c.px[i], 0.0f, 1.0f) * 255));
    return writeRgbPng(path, c.w, c.h, rgb.data(), false);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: contactsheet SHOWDIR OUT.png\n");
        return 2;
    }
    const std::string dir = argv[1];
    const int cols = 4, panelW = 450, panelH = 330, margin = 44;
    const std::vector<Panel> list = panels();
    const int meshRows = (static_cast<int>(list.size()) + 2 + cols - 1) / cols;
    const int thumbH = 200, texTop = margin + meshRows * panelH + 40;
    Canvas canvas(cols * panelW, texTop + 2 * (thumbH + 46) + 10);
    Labeller label;
    label.text(canvas, 14, 30, "Zoduv Aziridiru: generated assets, outline meshes as the stroke generator draws them", 20,
               0.1f);

    for (size_t i = 0; i < list.size(); ++i) {
        const Panel& p = list[i];
        const int px = static_cast<int>(i % cols) * panelW, py = margin + static_cast<int>(i / cols) * panelH;
        std::vector<std::string> files;
        for (std::string rest = p.file;;) {
            size_t plus = rest.find('+');
            files.push_back(rest.substr(0, plus));
            if (plus == std::string::npos)
                break;
            rest = rest.substr(plus + 1);
        }
        std::vector<PolyMesh> meshes(files.size());
        size_t polygons = 0;
        for (size_t f = 0; f < files.size(); ++f) {
            PolyMesh& mesh = meshes[f];
            mesh.loadPolygons((dir + "/" + files[f]).c_str());
            if (p.reverse)
                mesh.reversePolygons();
            mesh.widthA = p.widthA;
            mesh.light = p.light;
            if (p.deform)
                mesh.deform = strokeDeform;
            polygons += mesh.polygons.size();
        }
        std::vector<PathSpline> strokes;
        const std::vector<Call> calls = p.calls(p.time);
        for (size_t k = 0; k < calls.size(); ++k) {
            const Call& c = calls[k];
            PolyMesh& mesh = meshes[files.size() > 1 ? k : 0];
            mesh.generateStrokesWithMatrix(c.modelview.m, p.time, strokes, c.hatch, c.density, c.step, c.from, c.to);
        }
        std::vector<Vec3> pts;
        for (const PathSpline& s : strokes)
            pts.insert(pts.end(), s.points.begin(), s.points.begin() + s.count);

        canvas.fill(px + 6, py + 6, px + panelW - 6, py + panelH - 6, 0.985f, 0.975f, 0.95f);
        if (pts.size() >= 2) {
            double x0 = 1e9, x1 = -1e9, y0 = 1e9, y1 = -1e9;
            for (const Vec3& v : pts)
                x0 = std::min(x0, double(v.x)), x1 = std::max(x1, double(v.x)), y0 = std::min(y0, double(v.y)),
                y1 = std::max(y1, double(v.y));
            const double areaW = panelW - 30, areaH = panelH - 56;
            const double s = std::min(areaW / std::max(x1 - x0, 1e-6), areaH / std::max(y1 - y0, 1e-6));
            const double ox = px + 15 + (areaW - (x1 - x0) * s) / 2, oy = py + 40 + (areaH - (y1 - y0) * s) / 2;
            auto X = [&](const Vec3& v) { return ox + (v.x - x0) * s; };
            auto Y = [&](const Vec3& v) { return oy + (y1 - v.y) * s; };
            for (size_t k = 1; k < pts.size(); ++k) {
                float alpha = std::clamp(0.8f * 3.0f * pts[k].z, 0.05f, 1.0f);
                drawLine(canvas, X(pts[k - 1]), Y(pts[k - 1]), X(pts[k]), Y(pts[k]), alpha);
            }
        }
        std::string name;
        for (const std::string& f : files)
            name += (name.empty() ? "" : " + ") + f.substr(f.rfind('/') + 1);
        char line[200];
        std::snprintf(line, sizeof line, "%s  %zu polygons", name.c_str(), polygons);
        label.text(canvas, px + 14, py + 26, line, std::strlen(line) > 44 ? 12 : 15, 0.05f);
        std::snprintf(line, sizeof line, "%s; t = %.0f s: %zu points", p.what, p.time, pts.size());
        label.text(canvas, px + 14, py + panelH - 12, line, 12, 0.35f);
        std::printf("%-20s %6zu polygons  t=%5.1f  %7zu stroke points\n", name.c_str(), polygons, p.time, pts.size());
    }

    // The two meshes the show draws as solids.
    const struct {
        const char* file;
        const char* what;
        Matrix view;
    } solids[] = {
        {"newobjects/GoodAnt.obj", "walking ant from above: legs, legs, body", rotate(180, 0, 0, 1) * rotate(90, 1, 0, 0)},
        {"newobjects/vellumgood.obj", "tumbling acrobat, lit", rotate(40, 1, 0, 0) * rotate(35, 0, 1, 0)},
    };
    for (size_t k = 0; k < 2; ++k) {
        const size_t i = list.size() + k;
        const int px = static_cast<int>(i % cols) * panelW, py = margin + static_cast<int>(i / cols) * panelH;
        canvas.fill(px + 6, py + 6, px + panelW - 6, py + panelH - 6, 0.985f, 0.975f, 0.95f);
        size_t triangles = 0;
        drawShadedMesh(canvas, dir + "/" + solids[k].file, solids[k].view, px + 15, py + 40, panelW - 30, panelH - 56,
                       triangles);
        const std::string f = solids[k].file;
        char line[200];
        std::snprintf(line, sizeof line, "%s  %zu triangles", f.substr(f.rfind('/') + 1).c_str(), triangles);
        label.text(canvas, px + 14, py + 26, line, 15, 0.05f);
        label.text(canvas, px + 14, py + panelH - 12, solids[k].what, 12, 0.35f);
    }

    const char* textures[] = {"paper.jpg",        "hole.jpg",         "stroke_D_1.jpg",     "stroke_D_1_ALPHA.jpg",
                              "stroke_D_1_SHD.jpg", "stroke_D_2.jpg",   "stroke_D_2_ALPHA.jpg", "stroke_D_2_SHD.jpg",
                              "hand.jpg",         "handalpha.jpg",    "blob41b.jpg"};
    label.text(canvas, 14, texTop - 12, "Textures (decoded with the show's JPEG decoder)", 18, 0.1f);
    int tx = 14, ty = texTop;
    for (const char* name : textures) {
        Picture pic = decodeJpeg(dir + "/textures/" + name);
        if (pic.w == 0) {
            std::fprintf(stderr, "contactsheet: cannot decode %s\n", name);
            continue;
        }
        int w = pic.w * thumbH / pic.h;
        if (tx + w > canvas.w - 10)
            tx = 14, ty += thumbH + 46;
        canvas.fill(tx - 1, ty - 1, tx + w + 1, ty + thumbH + 1, 0.6f, 0.6f, 0.6f);
        drawPicture(canvas, pic, tx, ty, w, thumbH);
        char line[120];
        std::snprintf(line, sizeof line, "%s  %dx%d", name, pic.w, pic.h);
        label.text(canvas, tx, ty + thumbH + 18, line, 12, 0.1f);
        tx += std::max(w, 150) + 24;
    }
    if (!writePng(canvas, argv[2])) {
        std::fprintf(stderr, "contactsheet: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
