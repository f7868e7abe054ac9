// The stroke pass: which drawings are visible at the scene time, where each is
// placed, and how fast the reveal window runs along the joined stroke path. Each
// drawing is a mesh slot (or a tube swept along a procedural path) turned into
// pencil strokes under the fixed-function matrix stack.
#include "gl/gl_api.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "base/random.h"
#include "scene/part_start.h"

namespace {

double ease(double x) { return easeInOutPow(x, 1.0); }
double soften(double x) { return softStart(x); }
double u01() { return rng::rand() / 32767.0; }

// Reveal speeds for revealEnd (kE) and revealStart (kS) by scene time; each row
// holds from the previous row's bound (exclusive) up to its own (inclusive). The
// first row's speeds come from the opening curve instead (negative marks it).
struct RevealSpeed {
    double until, kE, kS;
};
const RevealSpeed kRevealSpeeds[] = {
    {96, -1, -1},   {100, 0.6, 0.5}, {110, 0.6, 0.3}, {124, 2.5, 1.2}, {135, 1.5, 1.7},
    {154, 1.2, 1.8}, {162, 1.0, 1.0}, {176, 1.7, 1.7}, {195, 2.1, 0.7}, {205, 4.2, 3.2},
    {215, 4.9, 4.9}, {220, 1.5, 3.0}, {232, 1.5, 1.5}, {237, 15.5, 2.0}, {252, 3.2, 7.0},
    {254, 1.2, 8.0},
};

void lookAt(const Vec3& eye, const Vec3& centre)
{
    gluLookAt(eye.x, eye.y, eye.z, centre.x, centre.y, centre.z, 0, 1, 0);
}

} // namespace

Vec3 strokeDeform(const Vec3& point, double d, int)
{
    Vec3 p = point;
    if (d < 126 && (p.z < 0.5f || p.y < 3))
        p.y = static_cast<float>(p.y + 0.5 * std::trunc(2 * std::sin(std::trunc(p.z) * 0.4 + 2 * d)));
    if (d > 220) {
        // The stroke generator asks for every corner of a drawing at one time,
        // and neighbouring polygons share corners: the wave's phase is worked
        // out once per time, and its sine kept for the last few hundred x.
        struct Wave {
            float x;
            double sine;
        };
        constexpr uint32_t kWaves = 512;
        thread_local double phaseTime = std::nan(""), phase = 0;
        thread_local Wave waves[kWaves];
        if (!(d == phaseTime)) {
            phaseTime = d;
            phase = 4 * (d - soften(d - 240));
            for (Wave& w : waves)
                w = {std::nanf(""), 0}; // matches no x
        }
        uint32_t bits;
        std::memcpy(&bits, &p.x, sizeof bits);
        Wave& w = waves[(bits * 2654435761u) >> 23];
        if (!(w.x == p.x) || std::signbit(w.x) != std::signbit(p.x))
            w = {p.x, std::sin(std::fabs(0.2 * p.x) - phase)};
        p.y = static_cast<float>(p.y + w.sine * 0.2 * std::fabs(p.x));
    }
    return p;
}

StrokeWindow part_start::strokePass(bool onlyRevealed)
{
    const double t = sceneTime;
    const double s = scaledStep;
    // Every drawing's points follow the earlier ones' on the joined path; with
    // onlyRevealed they are made only where the reveal window can show them, and
    // counted only as far as the window reaches.
    StrokeWindow window;
    auto makeStrokes = [&](PolyMesh& mesh, bool hatch, double density, unsigned step, double from, double to) {
        if (onlyRevealed) {
            // A drawing wholly past the window is not needed, not even its count.
            if (window.before <= window.last)
                mesh.generateStrokes(t, strokes, hatch, density, step, from, to, &window);
        } else {
            mesh.generateStrokes(t, strokes, hatch, density, step, from, to);
            window.before += strokes.back().count;
        }
    };

    // Set-up: the drawing camera, and the matrix saved three times.
    strokes.clear();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(85, 1, 0.1, 800);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, 3, 10, 0, 0, 0, 0, 1, 0);
    rng::srand(423423);
    glPushMatrix();
    glPushMatrix();
    meshSlots[1].deform = strokeDeform;
    meshSlots[1].deformUsesIndex = false;
    meshSlots[1].widthA = 1.6f;

    // Reveal window.
    if (t < 1800) {
        double h = 3 * std::sin(M_PI * ease((t - 12) * 0.2)) + 1;
        if (t > 0.5)
            h = (0.9 * ease((t - 1) * 0.2) + 0.1) * h;
        double l = t > 84 ? 1 : (t > 60 ? 0.95 : h);
        if (t > 42 && t < 75)
            l = 0.65;
        double kE = 1.0, kS = 1.0;
        for (const RevealSpeed& row : kRevealSpeeds) {
            if (t <= row.until) {
                kE = row.kE < 0 ? l : row.kE;
                kS = row.kS < 0 ? l : row.kS;
                break;
            }
        }
        revealEnd += s * 300 * kE;
        revealStart += s * 300 * kS;

        uint8_t* once = oneShot;
        if (t > 28 && !once[0]) {
            revealStart -= 1600;
            revealEnd -= 1600;
            once[0] = 1;
        }
        if (t > 30 && t < 40)
            revealStart += s * 300;
        if (t > 68 && !once[1]) {
            revealEnd -= 1300;
            once[1] = 1;
        }
        if (t >= 41 && !once[2]) {
            revealStart -= 10500;
            revealEnd -= 10500;
            once[2] = 1;
        }
        if (t > 91 && !once[3]) {
            revealEnd -= 2000;
            once[3] = 1;
        }
        if (t > 154 && !once[4]) {
            revealStart = 0;
            revealEnd = 7000;
            once[4] = 1;
        }
        if (t > 163 && !once[5]) {
            revealStart += 1000;
            revealEnd -= 800;
            once[5] = 1;
        }
        if (t > 220 && !once[6]) {
            revealStart = -2000;
            revealEnd = 2900;
            once[6] = 1;
        }
        if (t > 254 && !once[7]) {
            revealStart = -1400;
            revealEnd = -300;
            once[7] = 1;
        }
    }

    // The main pass draws the joined path's points from max(start, 30) + 10 up to
    // (not including) the end of the reveal window, or fewer when the path is
    // shorter; no other point is looked at.
    window.first = std::max(static_cast<int64_t>(std::trunc(revealStart)), int64_t{30}) + 10;
    window.last = static_cast<int64_t>(std::trunc(revealEnd));

    // Title, in 30 slices that float away one after another.
    if (t < 41) {
        for (int g = 0; g < 30; ++g) {
            glPushMatrix();
            if (g >= 3 && g <= 26 && g % 4 != 0) {
                double rise = std::max(t - 20 - 0.4 * g, 0.0) * 0.7;
                glTranslatef(0, static_cast<float>(rise * rise), 0);
            }
            glRotatef(static_cast<float>(t * 0.2 + 5), 0, 1, 0);
            glScalef(0.16f, 0.16f, 0.16f);
            makeStrokes(meshSlots[2], true, 1, 0, g / 30.0, (g + 1) / 30.0);
            glPopMatrix();
        }
    }

    // The layer camera circles the still life, then moves in front of it.
    const double a = t * 0.03 + 0.2 - 1 + (0.2 * ease((t - 85) * 0.3) - 0.8 * ease(t - 68));
    Vec3 layerEye = makeVec3(static_cast<float>(3 * std::sin(a)), 0.3f, static_cast<float>(3 * std::cos(a)));
    Vec3 layerCentre = makeVec3(0, 0, 0);
    const float v = static_cast<float>(ease((t - 92) * 0.13));
    layerEye = add(layerEye, scale(sub(makeVec3(0, 0, 2), layerEye), v));
    layerCentre = add(layerCentre, scale(sub(makeVec3(0, 0, 0), layerCentre), v));
    auto layer = [&](int slot, bool hatch, double density, auto&& place) {
        glPushMatrix();
        lookAt(layerEye, layerCentre);
        glTranslatef(2, -1, 0);
        glScalef(0.15f, 0.15f, 0.15f);
        place();
        makeStrokes(meshSlots[slot], hatch, density, 0, 0, 1);
        glPopMatrix();
    };
    const double p85 = t > 92 ? 10.5 : (t - 85) * 1.5;
    if (t > 33 && t < 154)
        layer(4, true, 1, [] {});
    if (t > 55 && t < 154) {
        const double p = t > 68 ? 12 : std::min((t - 60) * 1.5, 12.0);
        layer(17, true, 1.2, [&] {
            glTranslatef(static_cast<float>(p - 4), 0, -0.5f);
            glTranslatef(0, 1, 0);
            glRotatef(static_cast<float>(-40 * p), 0, 0, 1);
        });
    }
    if (t > 68 && t < 154)
        layer(5, true, 1, [] { glTranslatef(12, 2.5f, 0); });
    if (t > 70 && t < 154) {
        const double p = t > 80.5 ? 8.25 : (t - 75) * 1.5;
        layer(17, true, 1.2, [&] {
            glTranslatef(static_cast<float>(p - 4), 0.8f, -0.5f);
            glTranslatef(13, 3.5f, 0);
            glRotatef(static_cast<float>(-40 * p), 0, 0, 1);
        });
    }
    if (t > 77 && t < 154)
        layer(5, true, 1, [] {
            glTranslatef(18, 5.5f, -4);
            glRotatef(90, 0, 1, 0);
        });
    if (t > 85 && t < 220)
        layer(17, true, 1.2, [&] {
            glTranslatef(17, 6.9f, static_cast<float>(0.5 - p85));
            glRotatef(90, 0, 1, 0);
            glRotatef(static_cast<float>(-40 * p85), 0, 0, 1);
        });
    if (t > 91 && t < 220)
        layer(6, false, 0.2, [&] {
            glTranslatef(16, 7.4f, static_cast<float>(0.5 - p85));
            glRotatef(90, 0, 1, 0);
            glRotatef(15, 0, 1, 0);
        });
    if (t > 91 && t < 154) {
        meshSlots[12].deform = strokeDeform;
        meshSlots[12].deformUsesIndex = false;
        layer(12, true, 0.9, [&] {
            glTranslatef(15, 8.5f, static_cast<float>(0.5 - p85));
            glRotatef(90, 0, 1, 0);
            glRotatef(static_cast<float>(-20 * ease((t - 105) * 0.1)), 0, 1, 0);
            glRotatef(static_cast<float>(20 * ease((t - 115) * 0.2)), 0, 1, 0);
            const float grow = static_cast<float>(0.2 * ease((t - 106) * 0.1) + 1);
            glScalef(grow, grow, grow);
            glScalef(0.35f, 0.35f, 0.35f);
        });
    }

    PolyMesh tube; // the working mesh for tubes, fresh every frame

    // Procedural worms: three ringed tubes and a creature at the head.
    if (t > 110 && t < 220) {
        Vec3 headAt = makeVec3(0, 0, 0);
        for (int r = 0; r < 3; ++r) {
            rng::srand(12342);
            rng::discard(100);
            const double j = 0.5 * u01() - 0.5;
            const double k = 0.5 * u01() - 0.5;
            const double m = t - soften(t - 140);
            const double pa = j * 5.626 * m, pb = j - 0.6 * m + r, pc = k * 1.876 * m;
            const int n = r < 2 ? 25 : 40;
            PathSpline worm;
            Vec3 p = makeVec3(0, 0, 0);
            Vec3 f = makeVec3(-0.35f, 0, 0);
            for (int i = 0; i < n; ++i) {
                const double x = 0.1 * i;
                const double c = std::sin(1.3 * x + pc + r) * (std::sin(pb + x) * 0.2 * 1.2) + 0.1 * std::sin(4.2 * x + pa + r);
                rotateVector(f, 0, 0.01, c);
                if (r < 2)
                    rotateVector(f, 0, 0.02, 0.08);
                worm.addPoint(p);
                p = add(p, f);
            }
            headAt = p;
            glPushMatrix();
            glLoadIdentity();
            glTranslatef(4, 1.5f, 0);
            glScalef(0.3f, 0.3f, 0.3f);
            if (t < 154) {
                tube.buildRingedTube(worm, 4);
                tube.widthA = 0.8f;
                makeStrokes(tube, true, 0.89, 0, 0, 1);
            }
            glPopMatrix();
        }
        meshSlots[13].deform = strokeDeform;
        meshSlots[13].deformUsesIndex = false;
        glPushMatrix();
        glLoadIdentity();
        glTranslatef(4, 1.5f, 0);
        glScalef(0.3f, 0.3f, 0.3f);
        glTranslatef(headAt.x, headAt.y, headAt.z);
        glRotatef(30, 0, 1, 0);
        glRotatef(30, 1, 0, 0);
        glRotatef(static_cast<float>(20 * (t - soften(t - 156))), 0, 1, 0);
        glScalef(0.7f, 0.7f, 0.7f);
        const float grow = static_cast<float>(0.5 * ease((t - 149) * 0.2) + 1);
        glScalef(grow, grow, grow);
        makeStrokes(meshSlots[13], true, 1.7, 0, 0, 1);
        glPopMatrix();
    }

    // Walking ants: a body and two leg sets each, outline only.
    {
        const double m = t - 154;
        const double sway = ease(0.2 * m) * std::cos(7.44 * m) + 2 * ease(0.2 * m) * std::cos(1.5 * m);
        const double weave = ease(0.15 * m) * std::sin(1.5 * m);
        struct Ant {
            double from, x, y, sway;
            bool turned;
        } ants[3] = {
            {154, 0.5 * weave - 2, 0.51 * m - 1, 10 * sway, false},
            {163, 0.5 * weave - 1, 0.51 * m - 0.5 - (t - 163), -10 * sway, true},
            {169, 0.5 * weave, 0.51 * m - 8, 10 * sway, false},
        };
        for (const Ant& ant : ants) {
            if (!(t > ant.from && t < 220))
                continue;
            for (int slot : {14, 15, 16}) {
                glPushMatrix();
                glLoadIdentity();
                glTranslatef(static_cast<float>(ant.x), static_cast<float>(ant.y), 0);
                glTranslatef(3, 0, 0);
                glScalef(0.2f, 0.2f, 0.2f);
                glRotatef(-70, 1, 0, 0);
                if (slot == 15)
                    glRotatef(static_cast<float>(-35 * std::sin(30 * t)), 0, 0, 1);
                if (slot == 16)
                    glRotatef(static_cast<float>(35 * std::sin(30 * t)), 0, 0, 1);
                glRotatef(static_cast<float>(ant.sway), -0.7f, 1, 0);
                if (ant.turned)
                    glRotatef(180, 0, 1, 0);
                makeStrokes(meshSlots[slot], false, 0.1, 5, 0, 1);
                glPopMatrix();
            }
        }
    }

    // Faces: two columns of 30 bands of the face that fall apart in turn.
    if (t > 172 && t < 220) {
        meshSlots[1].light = makeVec3(0.707f, 0, 0.707f);
        for (int i = 0; i < 30; ++i) {
            const double q = std::max(t - 202 - 0.1 * i, 0.0);
            glPushMatrix();
            glTranslatef(0, static_cast<float>(-0.4 * q * q), 0);
            glTranslatef(1, 1.8f, 0);
            glScalef(0.4f, 0.4f, 0.4f);
            glRotatef(static_cast<float>(2 - (t - 174) * 0.5), 0, 1, 0);
            makeStrokes(meshSlots[1], true, 0.46, 0, 0.5 + i * 0.5 / 30, 0.5 + (i + 1) * 0.5 / 30);
            glPopMatrix();
        }
        meshSlots[1].light = makeVec3(-0.707f, 0, 0.707f);
        for (int i = 0; i < 30; ++i) {
            const double q = std::max(t - 204 - 0.1 * i, 0.0);
            glPushMatrix();
            glTranslatef(0, static_cast<float>(-0.2 * q * q), 0);
            glTranslatef(static_cast<float>(0.2 * soften(t - 207) + 4), 1.8f, 0);
            glScalef(0.4f, 0.4f, 0.4f);
            glRotatef(static_cast<float>((t - 174) * 0.5 - 2), 0, 1, 0);
            makeStrokes(meshSlots[1], true, 0.46, 0, i * 0.5 / 30, (i + 1) * 0.5 / 30);
            glPopMatrix();
        }
    }

    // Hands: 60 bands of the skeleton hand, each turning and falling on its own.
    if (t > 172 && t < 220) {
        for (int i = 0; i < 60; ++i) {
            glPushMatrix();
            const double q = std::max(t - 208 - 0.17 * i, 0.0);
            const double fall = 0.2 * ease((t - 213) * 0.3) + 0.08 * q * q;
            glTranslatef(2.5f, static_cast<float>(2.5 - 5 * fall + 0.5 - 0.04 * (t - 202)), 0);
            glScalef(0.22f, 0.22f, 0.22f);
            rng::srand(4233 + 41 * i);
            rng::discard(100);
            double spin = u01() + 0.5;
            if (rng::rand() % 2 == 0)
                spin = -spin;
            if (fall < 0.3) {
                const double tilt = u01();
                glRotatef(static_cast<float>(-800 * fall * spin), 0, 1, static_cast<float>(0.1 * tilt - 0.05));
            }
            glRotatef(static_cast<float>((t - 174) * 10 - 90 + 60 * ease(t - 206)), 0, 1, 0);
            glRotatef(180, 0, 0, 1);
            makeStrokes(meshSlots[11], true, 0.5, 0, i * 0.99 / 60, (i + 1) * 0.99 / 60);
            glPopMatrix();
        }
    }

    // The spine worm and the last drawings.
    if (t > 213.5) {
        rng::srand(12341);
        rng::discard(100);
        const double j = 0.5 * u01() - 0.5;
        const double k = 0.5 * u01() - 0.5;
        const double m = (t - 185 - soften(t - 215)) * 0.15;
        const double pb = j - 0.6 * m + 0.1, pc = k * 1.876 * m, pa = j * 5.626 * m;
        PathSpline spine;
        Vec3 pen = makeVec3(0, 0, 0);
        Vec3 step = makeVec3(0, 0.15f, 0);
        for (int i = 0; i < 70; ++i) {
            const double x = 0.1 * i;
            const double g = 0.1 * ease((t - 220) * 0.5) + 0.9;
            const double c = g * (std::sin(x + pb) * 0.5 * 1.2 * std::sin(1.3 * x + pc) + 0.3 * std::sin(4.2 * x + pa));
            rotateVector(step, 0, 0, c);
            spine.addPoint(pen);
            pen = add(pen, step);
        }
        glPushMatrix();
        glTranslatef(2, 0, 0);
        tube.buildBeadedTube(spine, 5);
        makeStrokes(tube, true, 1.1, 0, 0, 1);
        glPopMatrix();

        const double b = t < 234 ? 0 : (t - 227) * 0.4 - 2.7;
        meshSlots[7].light = makeVec3(0.707f, 0, 0.707f);
        glPushMatrix();
        glTranslatef(static_cast<float>(-b), static_cast<float>(-0.3 * b), 0);
        glTranslatef(-3.32f, -0.24f, 0);
        glScalef(0.2f, 0.2f, 0.2f);
        if (t > 234) {
            glTranslatef(0, static_cast<float>(-(t - 235) * (t - 235)), 0);
            glTranslatef(1.11f, 1.47f, 0);
            glRotatef(40, 0, 1, 0);
            glRotatef(100, 1, 0, 0);
        }
        glRotatef(-80, 0, 1, 0);
        makeStrokes(meshSlots[7], false, 0.1, 1, 0, 1);
        glPopMatrix();

        if (t > 227 && t < 258) {
            meshSlots[8].deform = strokeDeform;
            meshSlots[8].deformUsesIndex = false;
            const double bb = -((t - 227) * 0.4 - 2.7);
            glPushMatrix();
            glTranslatef(-3.32f, 0.36f, 0);
            glTranslatef(static_cast<float>(bb), static_cast<float>(0.3 * bb), 0);
            glScalef(0.17f, 0.17f, 0.17f);
            glRotatef(static_cast<float>(2 - (t - 174) * 0.5), 0, 1, 0);
            glRotatef(static_cast<float>(-5 * soften(t - 237)), 0, 1, 0.4f);
            glRotatef(static_cast<float>(4 * soften(t - 240)), 0, 1, 0.4f);
            glRotatef(20, 0, 1, 0);
            glRotatef(20, 0, 1, 0);
            glRotatef(-90, 0, 1, 0);
            makeStrokes(meshSlots[8], true, 0.2 * ease(t - 237) + 0.6, 0, 0, 1);
            glPopMatrix();
        }

        if (t > 254.6) {
            strokes.clear();
            window.before = 0;
            meshSlots[9].widthA = 1.5f;
            glPushMatrix();
            glTranslatef(2.68f, 1.36f, 0);
            glTranslatef(-8.5f, -2.55f, 0);
            glScalef(0.11f, 0.11f, 0.11f);
            glTranslatef(-5, -1, 0);
            makeStrokes(meshSlots[9], true, 0.7, 0, 0, 1);
            glPopMatrix();
        }
    }

    glPopMatrix();
    glPopMatrix();
    glPopMatrix();
    return window;
}
