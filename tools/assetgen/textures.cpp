// Procedural pictures. Everything is computed in GL orientation (row 0 at the
// bottom), so texture coordinates can be used directly; the JPEG writer flips.
#include "tools/assetgen/textures.h"

#include "tools/assetgen/image_kit.h"
#include "tools/assetgen/mesh_kit.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

double smoothstep(double a, double b, double x)
{
    double t = std::clamp((x - a) / (b - a), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

// ---------------------------------------------------------------- paper

// The sheet repeats 30 times across a quad scaled 78.75 x 140, so one tile is
// 0.5625 times as wide as it is tall: 576 x 1024 keeps the grain round on screen.
Image paper()
{
    const int W = 576, H = 1024;
    Image img(W, H, 0, 0, 0);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            double u = x / double(W), v = y / double(H);
            double cloud = tileFbm(u * 4, v * 7, 4, 7, 4, 11);   // slow mottling
            double grain = tileFbm(u * 72, v * 128, 72, 128, 2, 12); // tooth of the paper
            double fine = tileNoise(u * 288, v * 512, 288, 512, 13);
            double g = 0.925 + 0.035 * (cloud - 0.5) + 0.05 * (grain - 0.5) + 0.025 * (fine - 0.5);
            float* p = img.at(x, y);
            p[0] = static_cast<float>(g * 1.0);
            p[1] = static_cast<float>(g * 0.966);
            p[2] = static_cast<float>(g * 0.895);
        }
    // Fibres: short curved hairs, some darker, some lighter, wrapped at the edges
    // so the tile stays seamless.
    Lcg rng(7);
    for (int f = 0; f < 900; ++f) {
        double x = rng.uniform() * W, y = rng.uniform() * H;
        double a = rng.uniform() * 2 * M_PI, bend = rng.signedUnit() * 0.06;
        int len = 12 + static_cast<int>(rng.uniform() * 40);
        bool dark = rng.uniform() < 0.55;
        float strength = static_cast<float>(0.05 + 0.08 * rng.uniform());
        for (int s = 0; s < len; ++s) {
            a += bend;
            x += std::cos(a) * 0.8;
            y += std::sin(a) * 0.8;
            int ix = ((static_cast<int>(std::floor(x)) % W) + W) % W;
            int iy = ((static_cast<int>(std::floor(y)) % H) + H) % H;
            float fade = strength * static_cast<float>(std::sin(M_PI * s / len));
            if (dark)
                img.blend(ix, iy, 0.70f, 0.64f, 0.55f, fade);
            else
                img.blend(ix, iy, 1.0f, 0.99f, 0.95f, fade * 1.4f);
        }
    }
    return img;
}

// ---------------------------------------------------------------- hole mask

// A blot with a ragged, torn rim: white where the paper is cut away, black around,
// and black at the border so the quads that carry it never show their edges.
Image hole()
{
    const int N = 256;
    Image img(N, N, 0, 0, 0);
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            double u = (x + 0.5) / N * 2 - 1, v = (y + 0.5) / N * 2 - 1;
            double r = std::sqrt(u * u + v * v), a = std::atan2(v, u);
            // Rim radius wobbles with angle (torn shape), plus fine fibres.
            double ang = (a + M_PI) / (2 * M_PI);
            double rim = 0.62 + 0.12 * (tileNoise(ang * 6, 0.5, 6, 1, 21) - 0.5) * 2 +
                         0.05 * (tileNoise(ang * 31, 0.5, 31, 1, 22) - 0.5) * 2;
            double rag = 0.04 * (tileFbm(u * 8 + 8, v * 8 + 8, 64, 64, 3, 23) - 0.5);
            double m = 1.0 - smoothstep(rim - 0.14, rim + 0.02, r + rag);
            m *= 1.0 - smoothstep(0.88, 0.98, r);
            float* p = img.at(x, y);
            p[0] = p[1] = p[2] = static_cast<float>(m);
        }
    return img;
}

// ---------------------------------------------------------------- pencil

// Pencil pictures are 704 x 512: the main pass stretches its quad 1.3756717 times
// wider than tall, so texels come out square. The graphite point ends in a small
// round centred on the tip coordinate, so the newest stroke point sits exactly
// under it.
constexpr int kPencilW = 704, kPencilH = 512;

struct PencilShape {
    double tipX, tipY; // texels
    double angle;      // direction from the tip towards the eraser
    // Local coordinates: s along the pencil from the tip, r across it.
    void local(double x, double y, double& s, double& r) const
    {
        double dx = x - tipX, dy = y - tipY;
        s = dx * std::cos(angle) + dy * std::sin(angle);
        r = -dx * std::sin(angle) + dy * std::cos(angle);
    }
};

constexpr double kPointLen = 26, kConeEnd = 105, kBodyEnd = 505, kFerruleEnd = 548, kEraserEnd = 585;
constexpr double kHalfWidth = 23, kTipRound = 3.2;

double pencilHalfWidth(double s)
{
    if (s < 0)
        return kTipRound;
    if (s < kConeEnd)
        return kTipRound + (kHalfWidth - kTipRound) * (s / kConeEnd);
    if (s < kBodyEnd)
        return kHalfWidth;
    if (s < kFerruleEnd)
        return kHalfWidth + 1.5;
    if (s < kEraserEnd)
        return kHalfWidth - 1;
    return -1;
}

// Signed distance to the pencil outline in texels, negative inside.
double pencilDistance(const PencilShape& p, double x, double y)
{
    double s, r;
    p.local(x, y, s, r);
    if (s < 0)
        return std::sqrt(s * s + r * r) - kTipRound;
    if (s > kEraserEnd - 6) {
        // Rounded corners on the eraser's end.
        double dr = std::max(std::fabs(r) - (kHalfWidth - 7), 0.0);
        return std::hypot(s - (kEraserEnd - 6), dr) - 6;
    }
    return std::fabs(r) - pencilHalfWidth(s);
}

struct PencilLayers {
    Image colour{kPencilW, kPencilH, 0, 0, 0};
    Image alpha{kPencilW, kPencilH, 0, 0, 0};
    Image shadow{kPencilW, kPencilH, 0, 0, 0};
};

// One hand-drawn variant: the pose turns slightly about the tip and the graphite
// outline and hatching wobble with their own seed, so the two pictures "boil"
// when they alternate.
PencilLayers drawPencil(int variant)
{
    PencilLayers out;
    PencilShape shape{kPencilTipU * kPencilW, kPencilTipV * kPencilH,
                      (variant == 0 ? kPencilAngleDegrees : -7.6) * M_PI / 180.0};
    const uint32_t seed = 500u + 17u * variant;
    for (int y = 0; y < kPencilH; ++y)
        for (int x = 0; x < kPencilW; ++x) {
            double cx = x + 0.5, cy = y + 0.5;
            double s, r;
            shape.local(cx, cy, s, r);
            double wob = 0.9 * (tileNoise(s * 0.05, variant * 3.0, 64, 8, seed) - 0.5);
            double d = pencilDistance(shape, cx, cy) + wob;
            double cover = std::clamp(0.5 - d, 0.0, 1.0);

            // Shadow: the pencil rests on its point, so the shadow starts at the tip
            // and drifts down and to the right along the body, softening with height.
            double lift = std::max(s, 0.0);
            double sx = cx - lift * 0.07, sy = cy + lift * 0.06;
            double sd = pencilDistance(shape, sx, sy);
            double soft = 1.5 + lift * 0.03;
            double shade = 0.42 * (1.0 - smoothstep(-soft, soft, sd)) * (0.6 + 0.4 * smoothstep(0, 60, lift));
            float* sp = out.shadow.at(x, y);
            sp[0] = sp[1] = sp[2] = static_cast<float>(shade);

            if (cover <= 0)
                continue;
            float* ap = out.alpha.at(x, y);
            ap[0] = ap[1] = ap[2] = static_cast<float>(cover);

            // Base colours by section; facets of the hexagonal body as three bands.
            double hw = std::max(pencilHalfWidth(s), 1.0);
            double across = std::clamp(r / hw, -1.0, 1.0); // +1 the upper edge
            double facet = across > 0.33 ? 1.08 : (across < -0.33 ? 0.78 : 0.94);
            double R, G, B;
            if (s < kPointLen) {
                R = G = B = 0.16 + 0.1 * (across + 1) * 0.5; // graphite
            } else if (s < kConeEnd) {
                double sc = 0.5 + 0.5 * (s - kPointLen) / (kConeEnd - kPointLen);
                R = 0.86 * sc + 0.2;
                G = 0.72 * sc + 0.16;
                B = 0.52 * sc + 0.1; // shaved wood
                double grain = tileNoise(s * 0.4, r * 0.08 + 3, 256, 8, seed + 1);
                R -= 0.08 * grain;
                G -= 0.08 * grain;
                B -= 0.06 * grain;
                // Scalloped edge where the paint was shaved off.
                double scallop = kConeEnd - 8 - 7 * std::fabs(std::sin(r * 0.2));
                if (s > scallop) {
                    R = 0.24 * facet;
                    G = 0.32 * facet;
                    B = 0.28 * facet;
                }
            } else if (s < kBodyEnd) {
                R = 0.24 * facet;
                G = 0.32 * facet;
                B = 0.28 * facet; // dark green lacquer
                if (std::fabs(across) < 0.06)
                    R += 0.05, G += 0.05, B += 0.05; // the ridge between facets
            } else if (s < kFerruleEnd) {
                double band = 0.55 + 0.25 * std::cos((s - kBodyEnd) * 0.9);
                R = G = B = band * facet; // crimped metal
                R *= 0.98;
                B *= 0.9;
            } else {
                R = 0.82 * facet;
                G = 0.52 * facet;
                B = 0.5 * facet; // eraser
            }
            // Graphite hatching on the shaded side, and an outline with pressure.
            double hatchPhase = (cx + cy * 0.55) * 0.42 + 2.0 * tileNoise(cx * 0.02, cy * 0.02, 64, 64, seed + 2);
            double hatch = smoothstep(0.55, 0.9, std::fabs(std::sin(hatchPhase))) * smoothstep(0.0, -0.9, across);
            double edge = 1.0 - smoothstep(0.6, 2.3, -d);
            double ink = std::clamp(0.55 * hatch + 0.85 * edge, 0.0, 1.0);
            for (double* c : {&R, &G, &B})
                *c = *c * (1 - ink) + 0.08 * ink;
            float* cp = out.colour.at(x, y);
            cp[0] = static_cast<float>(std::clamp(R, 0.0, 1.0));
            cp[1] = static_cast<float>(std::clamp(G, 0.0, 1.0));
            cp[2] = static_cast<float>(std::clamp(B, 0.0, 1.0));
        }
    return out;
}

// ---------------------------------------------------------------- drawing hand

double sdCapsule2(double x, double y, double ax, double ay, double bx, double by, double r)
{
    double px = x - ax, py = y - ay, vx = bx - ax, vy = by - ay;
    double h = std::clamp((px * vx + py * vy) / (vx * vx + vy * vy), 0.0, 1.0);
    return std::hypot(px - vx * h, py - vy * h) - r;
}

double handDistance(double x, double y)
{
    // A right hand seen from the thumb side, curled round a pencil that runs from
    // the lower right up to a point at the upper left; 512 x 512 texels, y up.
    double d = std::hypot((x - 300) / 1.2, (y - 215) / 0.95) - 92;                  // palm and back
    d = std::min(d, sdCapsule2(x, y, 350, 150, 470, 40, 72));                        // wrist
    d = std::min(d, sdCapsule2(x, y, 240, 280, 180, 318, 27));                       // index, first joint
    d = std::min(d, sdCapsule2(x, y, 180, 318, 150, 298, 23));                       // index tip, bent down
    d = std::min(d, sdCapsule2(x, y, 232, 232, 178, 250, 26));                       // middle
    d = std::min(d, sdCapsule2(x, y, 178, 250, 168, 222, 21));
    d = std::min(d, sdCapsule2(x, y, 245, 180, 205, 175, 24));                       // ring, tucked
    d = std::min(d, sdCapsule2(x, y, 270, 140, 236, 128, 22));                       // little finger
    d = std::min(d, sdCapsule2(x, y, 280, 300, 215, 345, 28));                       // thumb
    d = std::min(d, sdCapsule2(x, y, 215, 345, 178, 340, 22));
    return d;
}

double handPencilDistance(double x, double y)
{
    return sdCapsule2(x, y, 110, 330, 420, 470, 9); // the pencil behind the fingers
}

Image handPicture(bool alphaOnly)
{
    const int N = 512;
    Image img(N, N, alphaOnly ? 0.0f : 1.0f, alphaOnly ? 0.0f : 1.0f, alphaOnly ? 0.0f : 1.0f);
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            const double cx = x + 0.5, cy = y + 0.5;
            const double dh = handDistance(cx, cy), dp = handPencilDistance(cx, cy);
            const double d = std::min(dh, dp);
            const double cover = std::clamp(0.5 - d, 0.0, 1.0);
            float* p = img.at(x, y);
            if (alphaOnly) {
                p[0] = p[1] = p[2] = static_cast<float>(cover);
                continue;
            }
            if (cover <= 0)
                continue;
            double R, G, B;
            if (dh <= dp || dh < 0) {
                // Skin, hatched towards the palm's shaded lower side.
                double shade = smoothstep(260, 120, cy) * smoothstep(-80, -5, dh);
                double hatch = smoothstep(0.55, 0.95, std::fabs(std::sin((cx - cy) * 0.33))) * shade;
                R = 0.95 - 0.3 * hatch, G = 0.86 - 0.3 * hatch, B = 0.78 - 0.28 * hatch;
            } else {
                R = 0.24, G = 0.32, B = 0.28; // the pencil's lacquer
            }
            const double edge = 1.0 - smoothstep(0.8, 2.6, std::fabs(dh) < std::fabs(dp) ? std::fabs(dh) : std::fabs(dp));
            const double ink = 0.85 * edge;
            p[0] = static_cast<float>(R * (1 - ink) + 0.1 * ink);
            p[1] = static_cast<float>(G * (1 - ink) + 0.1 * ink);
            p[2] = static_cast<float>(B * (1 - ink) + 0.1 * ink);
        }
    return img;
}

// ---------------------------------------------------------------- graphite blot

// A graphite smudge: a soft, irregular patch rubbed in one direction, with the
// paper's tooth showing through.
Image blot()
{
    const int N = 256;
    Image img(N, N, 1, 1, 1);
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            double u = (x + 0.5) / N * 2 - 1, v = (y + 0.5) / N * 2 - 1;
            double n = tileFbm(u * 2 + 2, v * 2 + 2, 16, 16, 4, 41);
            double r = std::hypot(u * 1.1, v * 0.85) + 0.45 * (n - 0.5);
            double m = 1.0 - smoothstep(0.25, 0.85, r);
            // Rubbed along a diagonal: streaks stretched that way, broken by tooth.
            double along = u * 0.7 + v * 0.7, across = -u * 0.7 + v * 0.7;
            double streak = tileNoise(along * 3 + 5, across * 40 + 5, 64, 256, 42);
            double tooth = tileNoise(u * 90 + 90, v * 90 + 90, 256, 256, 43);
            double g = 1.0 - m * (0.55 + 0.25 * (streak - 0.5)) * (0.85 + 0.3 * (tooth - 0.5));
            float* p = img.at(x, y);
            p[0] = static_cast<float>(g * 0.99);
            p[1] = static_cast<float>(g * 0.99);
            p[2] = static_cast<float>(g);
        }
    return img;
}

} // namespace

Image paperPicture() { return paper(); }

void pencilPicture(Image& colour, Image& alpha)
{
    PencilLayers layers = drawPencil(0);
    colour = std::move(layers.colour);
    alpha = std::move(layers.alpha);
}

const std::vector<std::string>& textureFiles()
{
    static const std::vector<std::string> list = {
        "textures/paper.jpg",          "textures/hole.jpg",
        "textures/stroke_D_1.jpg",     "textures/stroke_D_1_ALPHA.jpg",
        "textures/stroke_D_1_SHD.jpg", "textures/stroke_D_2.jpg",
        "textures/stroke_D_2_ALPHA.jpg", "textures/stroke_D_2_SHD.jpg",
        "textures/hand.jpg",           "textures/handalpha.jpg",
        "textures/blob41b.jpg",
    };
    return list;
}

std::vector<uint8_t> buildTexture(const std::string& file)
{
    if (file == "textures/paper.jpg")
        return encodeJpeg(paper(), 90);
    if (file == "textures/hole.jpg")
        return encodeJpeg(hole(), 92);
    for (int variant = 0; variant < 2; ++variant) {
        const std::string stem = "textures/stroke_D_" + std::to_string(variant + 1);
        if (file == stem + ".jpg")
            return encodeJpeg(drawPencil(variant).colour, 92);
        if (file == stem + "_ALPHA.jpg")
            return encodeJpeg(drawPencil(variant).alpha, 95);
        if (file == stem + "_SHD.jpg")
            return encodeJpeg(drawPencil(variant).shadow, 90);
    }
    if (file == "textures/hand.jpg")
        return encodeJpeg(handPicture(false), 90);
    if (file == "textures/handalpha.jpg")
        return encodeJpeg(handPicture(true), 95);
    if (file == "textures/blob41b.jpg")
        return encodeJpeg(blot(), 90);
    return {};
}
