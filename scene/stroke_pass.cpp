// The stroke pass: which drawings are visible at the scene time, where each is
// placed, and how fast the reveal window runs along the joined stroke path. Each
// drawing is a mesh slot (or a tube swept along a procedural path) turned into
// pencil strokes under the fixed-function matrix stack. The drawings are a table
// of sections in the order their strokes join; each section is one function.
#include "gl/gl_api.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "base/random.h"
#include "scene/part_start.h"
#include "scene/timeline.h"

namespace {

double soften(double x) { return softStart(x); }
double u01() { return rng::rand() / 32767.0; }

// The reveal window moves for scene times below this (s): the whole show.
constexpr double kRevealUntil = 1800;

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

// Jumps of the reveal window in the order they apply, each once: at the first
// frame past its time (at it, where marked), which sets the one-shot flag of its
// row. A row moves the window's ends by its amounts (an amount of 0 leaves that
// end alone) or sets them to its amounts.
struct RevealJump {
    double after;      // s
    bool atTime;       // also at the time itself
    bool setsWindow;   // set the ends instead of moving them
    double start, end; // amounts for revealStart and revealEnd
};
const RevealJump kRevealJumps[] = {
    // after (s)  at it   sets    start     end
    {28,          false,  false,  -1600,   -1600},
    {68,          false,  false,      0,   -1300},
    {41,          true,   false, -10500,  -10500},
    {91,          false,  false,      0,   -2000},
    {154,         false,  true,       0,    7000},
    {163,         false,  false,   1000,    -800},
    {220,         false,  true,   -2000,    2900},
    {254,         false,  true,   -1400,    -300},
};
constexpr int kRevealJumpCount = static_cast<int>(sizeof kRevealJumps / sizeof kRevealJumps[0]);
static_assert(kRevealJumpCount == sizeof(part_start::oneShot), "one one-shot flag per jump");
// Scene times (s) in which revealStart moves 300 a second faster.
constexpr SceneWindow kRevealStartHurries = {30, 40};

// What the sections of one stroke pass share: the scene, its time, whether only
// the revealed points are made, the window of the joined path, and the working
// mesh for tubes (fresh every frame, shared by the worms and the spine worm).
struct StrokeFrame {
    part_start& scene;
    double t;
    bool onlyRevealed;
    StrokeWindow window;
    PolyMesh tube;
};

void lookAt(const Vec3& eye, const Vec3& centre)
{
    gluLookAt(eye.x, eye.y, eye.z, centre.x, centre.y, centre.z, 0, 1, 0);
}

void installDeform(PolyMesh& mesh)
{
    mesh.deform = strokeDeform;
    mesh.deformUsesIndex = false;
}

// Every drawing's points follow the earlier ones' on the joined path; with
// onlyRevealed they are made only where the reveal window can show them, and
// counted only as far as the window reaches.
void makeStrokes(StrokeFrame& f, PolyMesh& mesh, bool hatch, double density, unsigned step, double from, double to)
{
    std::vector<PathSpline>& strokes = f.scene.strokes;
    if (f.onlyRevealed) {
        // A drawing wholly past the window is not needed, not even its count.
        if (f.window.before <= f.window.last)
            mesh.generateStrokes(f.t, strokes, hatch, density, step, from, to, &f.window);
    } else {
        mesh.generateStrokes(f.t, strokes, hatch, density, step, from, to);
        f.window.before += strokes.back().count;
    }
}

// ---------------------------------------------------------------------------
// Set-up and the reveal window

// The drawing camera, and the matrix saved three times (endStrokeCamera pops them).
void beginStrokeCamera(part_start& scene)
{
    scene.strokes.clear();
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
    installDeform(scene.meshSlots[1]);
    scene.meshSlots[1].widthA = 1.6f;
}

void endStrokeCamera()
{
    glPopMatrix();
    glPopMatrix();
    glPopMatrix();
}

// The speed factor of the reveal window before 96 s: the opening curve.
double openingRevealSpeed(double t)
{
    double h = 3 * std::sin(M_PI * ease((t - 12) * 0.2)) + 1;
    if (t > 0.5)
        h = (0.9 * ease((t - 1) * 0.2) + 0.1) * h;
    double l = t > 84 ? 1 : (t > 60 ? 0.95 : h);
    if (t > 42 && t < 75)
        l = 0.65;
    return l;
}

void runRevealWindow(part_start& scene, double t, double s)
{
    const double l = openingRevealSpeed(t);
    double kE = 1.0, kS = 1.0;
    for (const RevealSpeed& row : kRevealSpeeds) {
        if (t <= row.until) {
            kE = row.kE < 0 ? l : row.kE;
            kS = row.kS < 0 ? l : row.kS;
            break;
        }
    }
    scene.revealEnd += s * 300 * kE;
    scene.revealStart += s * 300 * kS;
}

void applyRevealJump(part_start& scene, int row, double t)
{
    const RevealJump& jump = kRevealJumps[row];
    const bool due = jump.atTime ? t >= jump.after : t > jump.after;
    if (!due || scene.oneShot[row])
        return;
    if (jump.setsWindow) {
        scene.revealStart = jump.start;
        scene.revealEnd = jump.end;
    } else {
        if (jump.start != 0)
            scene.revealStart += jump.start;
        if (jump.end != 0)
            scene.revealEnd += jump.end;
    }
    scene.oneShot[row] = 1;
}

void jumpRevealWindow(part_start& scene, double t, double s)
{
    applyRevealJump(scene, 0, t);
    if (kRevealStartHurries.holds(t))
        scene.revealStart += s * 300;
    for (int row = 1; row < kRevealJumpCount; ++row)
        applyRevealJump(scene, row, t);
}

// The main pass draws the joined path's points from max(start, 30) + 10 up to
// (not including) the end of the reveal window, or fewer when the path is
// shorter; no other point is looked at.
void cutToRevealWindow(StrokeWindow& window, const part_start& scene)
{
    window.first = std::max(static_cast<int64_t>(std::trunc(scene.revealStart)), int64_t{30}) + 10;
    window.last = static_cast<int64_t>(std::trunc(scene.revealEnd));
}

// ---------------------------------------------------------------------------
// Title

// The title in 30 slices that float away one after another.
void drawTitle(StrokeFrame& f)
{
    const double t = f.t;
    for (int g = 0; g < 30; ++g) {
        glPushMatrix();
        if (g >= 3 && g <= 26 && g % 4 != 0) {
            double rise = std::max(t - 20 - 0.4 * g, 0.0) * 0.7;
            glTranslatef(0, static_cast<float>(rise * rise), 0);
        }
        glRotatef(static_cast<float>(t * 0.2 + 5), 0, 1, 0);
        glScalef(0.16f, 0.16f, 0.16f);
        makeStrokes(f, f.scene.meshSlots[2], true, 1, 0, g / 30.0, (g + 1) / 30.0);
        glPopMatrix();
    }
}

// ---------------------------------------------------------------------------
// Still life

// How far the cradle and the solid it holds have slid towards the camera.
double cradleSlide(double t) { return t > 92 ? 10.5 : (t - 85) * 1.5; }

void placeVase(double) {} // where the layer camera puts it

void placeFirstSolid(double t)
{
    const double p = t > 68 ? 12 : std::min((t - 60) * 1.5, 12.0);
    glTranslatef(static_cast<float>(p - 4), 0, -0.5f);
    glTranslatef(0, 1, 0);
    glRotatef(static_cast<float>(-40 * p), 0, 0, 1);
}

void placeFirstJug(double) { glTranslatef(12, 2.5f, 0); }

void placeSecondSolid(double t)
{
    const double p = t > 80.5 ? 8.25 : (t - 75) * 1.5;
    glTranslatef(static_cast<float>(p - 4), 0.8f, -0.5f);
    glTranslatef(13, 3.5f, 0);
    glRotatef(static_cast<float>(-40 * p), 0, 0, 1);
}

void placeSecondJug(double)
{
    glTranslatef(18, 5.5f, -4);
    glRotatef(90, 0, 1, 0);
}

void placeSolidInCradle(double t)
{
    const double p = cradleSlide(t);
    glTranslatef(17, 6.9f, static_cast<float>(0.5 - p));
    glRotatef(90, 0, 1, 0);
    glRotatef(static_cast<float>(-40 * p), 0, 0, 1);
}

void placeCradle(double t)
{
    glTranslatef(16, 7.4f, static_cast<float>(0.5 - cradleSlide(t)));
    glRotatef(90, 0, 1, 0);
    glRotatef(15, 0, 1, 0);
}

void placeCougar(double t)
{
    glTranslatef(15, 8.5f, static_cast<float>(0.5 - cradleSlide(t)));
    glRotatef(90, 0, 1, 0);
    glRotatef(static_cast<float>(-20 * ease((t - 105) * 0.1)), 0, 1, 0);
    glRotatef(static_cast<float>(20 * ease((t - 115) * 0.2)), 0, 1, 0);
    const float grow = static_cast<float>(0.2 * ease((t - 106) * 0.1) + 1);
    glScalef(grow, grow, grow);
    glScalef(0.35f, 0.35f, 0.35f);
}

// The layers of the still life, placed after the layer camera, in drawing order.
struct StillLifeLayer {
    SceneWindow window;
    int slot;
    bool hatch;
    double density;
    bool deformed; // the slot gets the stroke deform first
    void (*place)(double t);
};
const StillLifeLayer kStillLifeLayers[] = {
    // window (s)                                  slot  hatch  density  deformed  placement
    {{sectionStart(ShowSection::stillLife), 154},   4,   true,  1.0,     false,    placeVase},
    {{55, 154},                                    17,   true,  1.2,     false,    placeFirstSolid},
    {{68, 154},                                     5,   true,  1.0,     false,    placeFirstJug},
    {{70, 154},                                    17,   true,  1.2,     false,    placeSecondSolid},
    {{77, 154},                                     5,   true,  1.0,     false,    placeSecondJug},
    {{85, 220},                                    17,   true,  1.2,     false,    placeSolidInCradle},
    {{91, 220},                                     6,   false, 0.2,     false,    placeCradle},
    {{91, 154},                                    12,   true,  0.9,     true,     placeCougar},
};

// The layer camera circles the still life, then moves in front of it.
struct LayerCamera {
    Vec3 eye, centre;
};

LayerCamera layerCamera(double t)
{
    const double a = t * 0.03 + 0.2 - 1 + (0.2 * ease((t - 85) * 0.3) - 0.8 * ease(t - 68));
    LayerCamera camera;
    camera.eye = makeVec3(static_cast<float>(3 * std::sin(a)), 0.3f, static_cast<float>(3 * std::cos(a)));
    camera.centre = makeVec3(0, 0, 0);
    const float v = static_cast<float>(ease((t - 92) * 0.13));
    camera.eye = add(camera.eye, scale(sub(makeVec3(0, 0, 2), camera.eye), v));
    camera.centre = add(camera.centre, scale(sub(makeVec3(0, 0, 0), camera.centre), v));
    return camera;
}

void drawStillLife(StrokeFrame& f)
{
    const LayerCamera camera = layerCamera(f.t);
    for (const StillLifeLayer& layer : kStillLifeLayers) {
        if (!layer.window.holds(f.t))
            continue;
        PolyMesh& mesh = f.scene.meshSlots[layer.slot];
        if (layer.deformed)
            installDeform(mesh);
        glPushMatrix();
        lookAt(camera.eye, camera.centre);
        glTranslatef(2, -1, 0);
        glScalef(0.15f, 0.15f, 0.15f);
        layer.place(f.t);
        makeStrokes(f, mesh, layer.hatch, layer.density, 0, 0, 1);
        glPopMatrix();
    }
}

// ---------------------------------------------------------------------------
// Worms

// Worm r's path from the random numbers of its seed; end is one step past its
// last point, where the worm's head sits.
PathSpline wormPath(double t, int r, Vec3& end)
{
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
    end = p;
    return worm;
}

void placeWorms()
{
    glLoadIdentity();
    glTranslatef(4, 1.5f, 0);
    glScalef(0.3f, 0.3f, 0.3f);
}

// The caterpillar head at the end of the last worm.
void drawWormHead(StrokeFrame& f, const Vec3& headAt)
{
    const double t = f.t;
    PolyMesh& head = f.scene.meshSlots[13];
    installDeform(head);
    glPushMatrix();
    placeWorms();
    glTranslatef(headAt.x, headAt.y, headAt.z);
    glRotatef(30, 0, 1, 0);
    glRotatef(30, 1, 0, 0);
    glRotatef(static_cast<float>(20 * (t - soften(t - 156))), 0, 1, 0);
    glScalef(0.7f, 0.7f, 0.7f);
    const float grow = static_cast<float>(0.5 * ease((t - 149) * 0.2) + 1);
    glScalef(grow, grow, grow);
    makeStrokes(f, head, true, 1.7, 0, 0, 1);
    glPopMatrix();
}

// Three ringed tubes (until 154 s) and the caterpillar head.
void drawWorms(StrokeFrame& f)
{
    Vec3 headAt = makeVec3(0, 0, 0);
    for (int r = 0; r < 3; ++r) {
        const PathSpline worm = wormPath(f.t, r, headAt);
        glPushMatrix();
        placeWorms();
        if (f.t < 154) {
            f.tube.buildRingedTube(worm, 4);
            f.tube.widthA = 0.8f;
            makeStrokes(f, f.tube, true, 0.89, 0, 0, 1);
        }
        glPopMatrix();
    }
    drawWormHead(f, headAt);
}

// ---------------------------------------------------------------------------
// Walking ants

struct WalkingAnt {
    double from, x, y, sway;
    bool turned;
};

// One part of an ant: its body (slot 14) or a leg set (15, 16) that swings.
void drawAntPart(StrokeFrame& f, const WalkingAnt& ant, int slot)
{
    const double t = f.t;
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
    makeStrokes(f, f.scene.meshSlots[slot], false, 0.1, 5, 0, 1);
    glPopMatrix();
}

// Three ants, a body and two leg sets each, outline only.
void drawWalkingAnts(StrokeFrame& f)
{
    const double t = f.t;
    const double m = t - sectionStart(ShowSection::worms);
    const double sway = ease(0.2 * m) * std::cos(7.44 * m) + 2 * ease(0.2 * m) * std::cos(1.5 * m);
    const double weave = ease(0.15 * m) * std::sin(1.5 * m);
    const WalkingAnt ants[3] = {
        {sectionStart(ShowSection::worms), 0.5 * weave - 2, 0.51 * m - 1, 10 * sway, false},
        {163, 0.5 * weave - 1, 0.51 * m - 0.5 - (t - 163), -10 * sway, true},
        {169, 0.5 * weave, 0.51 * m - 8, 10 * sway, false},
    };
    for (const WalkingAnt& ant : ants) {
        if (!(t > ant.from && t < 220))
            continue;
        for (int slot : {14, 15, 16})
            drawAntPart(f, ant, slot);
    }
}

// ---------------------------------------------------------------------------
// Faces and hands

// One column of 30 bands of the face, falling apart band by band.
struct FaceColumn {
    Vec3 light;
    double fallFrom, fall; // s, and units per s²
    double bandFrom;       // the column's half of the polygon list
};

void drawFaceColumn(StrokeFrame& f, const FaceColumn& column, float x, double turn)
{
    PolyMesh& face = f.scene.meshSlots[1];
    face.light = column.light;
    for (int i = 0; i < 30; ++i) {
        const double q = std::max(f.t - column.fallFrom - 0.1 * i, 0.0);
        glPushMatrix();
        glTranslatef(0, static_cast<float>(-column.fall * q * q), 0);
        glTranslatef(x, 1.8f, 0);
        glScalef(0.4f, 0.4f, 0.4f);
        glRotatef(static_cast<float>(turn), 0, 1, 0);
        makeStrokes(f, face, true, 0.46, 0, column.bandFrom + i * 0.5 / 30, column.bandFrom + (i + 1) * 0.5 / 30);
        glPopMatrix();
    }
}

// Two faces turning towards each other, each falling apart in turn.
void drawFaces(StrokeFrame& f)
{
    const double t = f.t;
    drawFaceColumn(f, {makeVec3(0.707f, 0, 0.707f), 202, 0.4, 0.5}, 1, 2 - (t - 174) * 0.5);
    drawFaceColumn(f, {makeVec3(-0.707f, 0, 0.707f), 204, 0.2, 0}, static_cast<float>(0.2 * soften(t - 207) + 4),
                   (t - 174) * 0.5 - 2);
}

// Band i of the skeleton hand, turning and falling on its own.
void drawHandBand(StrokeFrame& f, int i)
{
    const double t = f.t;
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
    makeStrokes(f, f.scene.meshSlots[11], true, 0.5, 0, i * 0.99 / 60, (i + 1) * 0.99 / 60);
    glPopMatrix();
}

// 60 bands of the skeleton hand.
void drawHands(StrokeFrame& f)
{
    for (int i = 0; i < 60; ++i)
        drawHandBand(f, i);
}

// ---------------------------------------------------------------------------
// The spine worm and the last drawings

PathSpline spinePath(double t)
{
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
    return spine;
}

void drawSpineWorm(StrokeFrame& f)
{
    const PathSpline spine = spinePath(f.t);
    glPushMatrix();
    glTranslatef(2, 0, 0);
    f.tube.buildBeadedTube(spine, 5);
    makeStrokes(f, f.tube, true, 1.1, 0, 0, 1);
    glPopMatrix();
}

// The woman beside the spine worm, who falls from 234 s.
void drawWoman(StrokeFrame& f)
{
    const double t = f.t;
    const double b = t < 234 ? 0 : (t - 227) * 0.4 - 2.7;
    PolyMesh& woman = f.scene.meshSlots[7];
    woman.light = makeVec3(0.707f, 0, 0.707f);
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
    makeStrokes(f, woman, false, 0.1, 1, 0, 1);
    glPopMatrix();
}

void drawBird(StrokeFrame& f)
{
    const double t = f.t;
    PolyMesh& bird = f.scene.meshSlots[8];
    installDeform(bird);
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
    makeStrokes(f, bird, true, 0.2 * ease(t - 237) + 0.6, 0, 0, 1);
    glPopMatrix();
}

// The end text replaces every drawing before it: the joined path starts over.
void drawEndText(StrokeFrame& f)
{
    f.scene.strokes.clear();
    f.window.before = 0;
    PolyMesh& text = f.scene.meshSlots[9];
    text.widthA = 1.5f;
    glPushMatrix();
    glTranslatef(2.68f, 1.36f, 0);
    glTranslatef(-8.5f, -2.55f, 0);
    glScalef(0.11f, 0.11f, 0.11f);
    glTranslatef(-5, -1, 0);
    makeStrokes(f, text, true, 0.7, 0, 0, 1);
    glPopMatrix();
}

// ---------------------------------------------------------------------------
// The sections in the order their strokes join, each drawn while the scene time
// lies in its window. The title is there from the first frame.
struct StrokeSection {
    SceneWindow window;
    void (*draw)(StrokeFrame& f);
};
const StrokeSection kStrokeSections[] = {
    // from (s)                                  until (s)   section
    {{-kForever,                                    41},      drawTitle},
    {{sectionStart(ShowSection::stillLife),        220},      drawStillLife},
    {{110,                                         220},      drawWorms},
    {{sectionStart(ShowSection::worms),            220},      drawWalkingAnts},
    {{sectionStart(ShowSection::facesAndHands),    220},      drawFaces},
    {{sectionStart(ShowSection::facesAndHands),    220},      drawHands},
    {{sectionStart(ShowSection::spineWorm),   kForever},      drawSpineWorm},
    {{sectionStart(ShowSection::spineWorm),   kForever},      drawWoman},
    {{227,                                         258},      drawBird},
    {{sectionStart(ShowSection::endText),     kForever},      drawEndText},
};

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
    StrokeFrame frame{*this, sceneTime, onlyRevealed, {}, {}};
    beginStrokeCamera(*this);
    if (sceneTime < kRevealUntil) {
        runRevealWindow(*this, sceneTime, scaledStep);
        jumpRevealWindow(*this, sceneTime, scaledStep);
    }
    cutToRevealWindow(frame.window, *this);
    for (const StrokeSection& section : kStrokeSections)
        if (section.window.holds(sceneTime))
            section.draw(frame);
    endStrokeCamera();
    return frame.window;
}
