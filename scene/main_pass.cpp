// The main pass: the ink-on-paper picture. Dust and tumbling figures behind a
// paper sheet whose holes let them through, tendrils with walking ants, the
// revealed part of the stroke path and the pencil that follows its newest point.
// Every random pattern is redrawn from a fixed seed each frame. The pass is one
// function per section, in drawing order; the generator's state runs on from the
// tendrils into the late ants.
#include "gl/gl_api.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <utility>

#include "render/draw_helpers.h"
#include "render/obj_mesh_draw.h"
#include "render/textures.h"
#include "render/vertex_run.h"
#include "base/random.h"
#include "platform/thread_clock.h"
#include "scene/part_start.h"
#include "scene/timeline.h"

namespace {

double rand01() { return rng::rand() / 32767.0; }

// How far from its projected position a draw can touch pixels, and more: a
// smooth point of size 3, and an antialiased edge (also the holes layer's own).
constexpr double kPointReach = 4;
constexpr double kEdgeReach = 3;

// The paper sheet: the quad (−1, −1) … (1, 1) scaled by this.
const float kPaperScale[3] = {78.75f, 140, 120};

// Scene times (s) of the pass's timed sections.
constexpr SceneWindow kFiguresWindow = {sectionStart(ShowSection::figures), 160};
constexpr double kTendrilsFrom = sectionStart(ShowSection::tendrils);
constexpr double kTendrilsGone = 218; // the tendrils' count falls back to none from here
constexpr SceneWindow kLateAntsWindow = {250, kForever};
constexpr double kRingFrom = sectionStart(ShowSection::ring);
constexpr double kRingGone = 255; // the stroke points are back at their own places after this

// What the sections of one main pass share: the scene and context, the viewport,
// the revealed stroke points to draw, whether what lies under opaque paper is
// left out, and the newest stroke point with the pencil's turn.
struct MainFrame {
    part_start& scene;
    DemoContext& ctx;
    double t;
    int viewport[4];
    std::vector<Vec3> polyline;
    bool cullBehindPaper = false;
    Vec3 newest = makeVec3(0, 0, 0);
    double wobble = 0;
};

// projection × modelview as GL holds them now.
void currentClipMatrix(double clip[16])
{
    float projection[16], modelview[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    multiplyMatrices(projection, modelview, clip);
}

// A walk of 600 small steps that turns a little at every step: the path of a
// tendril or of a late ant.
struct Walk {
    float startX, startY;
    Vec3 step;
    double curlA, curlB; // weights of the two slow turning waves
};

void buildWalk(PathSpline& path, const Walk& walk)
{
    Vec3 position = makeVec3(walk.startX, walk.startY, 0);
    Vec3 step = walk.step;
    normalize(step);
    step = scale(step, 0.02f);
    double r1 = rand01() - 0.5;
    double r2 = rand01() - 0.5;
    double r3 = rand01() - 0.5;
    for (int i = 0; i < 600; ++i) {
        double turn = walk.curlA * std::sin(12 * r2 * i / 200 + r3) + walk.curlB * std::sin(20 * r1 * i / 200) +
                      0.2 * (rand01() - 0.5);
        if (i > 200)
            turn += 0.05;
        rotateVector(step, 0, 0, turn);
        position = add(position, step);
        path.addPoint(position);
    }
}

// An ant at the tip of a walk grown to fraction f, legs swinging as it grows.
void drawAnt(PathSpline& path, const ObjMesh& ant, double f)
{
    Vec3 here, ahead;
    path.evaluateWithLookAhead(static_cast<float>(600 * f), 0.5f, here, ahead);
    Vec3 d = sub(ahead, here);
    normalize(d);
    Vec3 side = cross(d, makeVec3(0, 0, 1));
    glColor4f(0, 0, 0, 1);
    glEnable(GL_CULL_FACE);
    glPushMatrix();
    glTranslatef(here.x, here.y, here.z);
    glScalef(2, 2, 2);
    // Keep the position, replace the turn (and the scale) by the walking frame.
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    m[0] = d.x, m[1] = d.y, m[2] = d.z;
    m[4] = 0, m[5] = 0, m[6] = 1;
    m[8] = side.x, m[9] = side.y, m[10] = side.z;
    glLoadMatrixf(m);
    glRotatef(90, 0, 1, 0);
    glColor3f(0, 0, 0);
    glScalef(0.17f, 0.17f, 0.17f);
    const double phase = 1260 * f;
    glPushMatrix();
    glRotatef(static_cast<float>(15 * std::sin(phase)), 0, 1, 0);
    drawMesh(ant, 1);
    glPopMatrix();
    glPushMatrix();
    glRotatef(static_cast<float>(15 * std::sin(phase + 5)), 0, 1, 0);
    drawMesh(ant, 0);
    glPopMatrix();
    glPushMatrix();
    drawMesh(ant, 2);
    glPopMatrix();
    glPopMatrix();
}

// ---------------------------------------------------------------------------
// Strokes

// Joins the strokes into one path, the only element of strokes afterwards.
// Generated points carry tag 1 already, as addPoint would set it.
void joinStrokes(std::vector<PathSpline>& strokes)
{
    PathSpline joined;
    size_t total = 0;
    for (const PathSpline& stroke : strokes)
        total += stroke.points.size();
    joined.points.reserve(total);
    for (const PathSpline& stroke : strokes) {
        const size_t used = std::min(static_cast<size_t>(std::max(stroke.count, 0)), stroke.points.size());
        joined.points.insert(joined.points.end(), stroke.points.begin(), stroke.points.begin() + used);
        joined.count += static_cast<int32_t>(used);
    }
    strokes.clear();
    strokes.push_back(std::move(joined));
}

// Point k of hi − lo pulled towards the spinning ring that forms from 234 s.
Vec3 pullIntoRing(Vec3 p, long long k, long long span, double t, float radius)
{
    double w = t > kRingGone ? 0 : ease((t - k * 0.00025 - kRingFrom) * 0.05);
    if (w > 0) {
        double a = (static_cast<double>(k) / static_cast<double>(span)) * 2 * M_PI + 4 * t;
        Vec3 q = makeVec3(static_cast<float>(std::sin(a) * radius - 9 + 1.2),
                          static_cast<float>(std::cos(a) * radius + 0.46), 0);
        p = add(p, scale(sub(q, p), static_cast<float>(w)));
    }
    return p;
}

// The joined path's revealed points as the stroke line draws them. n is the
// path's length, or, when the pass stopped counting past the window, a lower
// bound past its end: lo and hi come out the same.
std::vector<Vec3> revealedPoints(const part_start& scene, const StrokeWindow& shown, double t)
{
    const PathSpline& path = scene.strokes[0];
    const long long n = shown.before;
    long long lo = std::min(static_cast<long long>(std::trunc(scene.revealStart)), n - 1);
    if (lo <= 30)
        lo = 30;
    long long hi = std::min(static_cast<long long>(std::trunc(scene.revealEnd)), n - 1);
    if (hi <= 30)
        hi = 30;
    std::vector<Vec3> polyline;
    if (lo + 10 >= hi)
        return polyline;
    polyline.reserve(static_cast<size_t>(hi - lo - 10));
    const float r = static_cast<float>(2 * (1 - ease((t - kRingFrom) * 0.07)));
    // lo + 10 is shown.first here: the drawn points are the made ones.
    assert(lo + 10 == shown.first && hi - shown.first <= static_cast<long long>(path.points.size()) &&
           "the reveal window draws only points the stroke pass made");
    for (long long i = lo + 10; i < hi; ++i)
        polyline.push_back(pullIntoRing(path.points[static_cast<size_t>(i - shown.first)], i - lo, hi - lo, t, r));
    return polyline;
}

// Rebuilds the strokes, joins them into one path and cuts out the revealed window.
// Only the points the reveal window can show are made (from shown.first on).
void makeStrokeLine(MainFrame& f)
{
    part_start& scene = f.scene;
    const double strokesFrom = threadCpuSeconds();
    scene.strokes.clear();
    const StrokeWindow shown = scene.strokePass(true);
    joinStrokes(scene.strokes);
    f.polyline = revealedPoints(scene, shown, f.t);
    scene.strokeSeconds = threadCpuSeconds() - strokesFrom;
    scene.strokePoints = shown.before;
    scene.linePoints = static_cast<int64_t>(f.polyline.size());
}

// ---------------------------------------------------------------------------
// Camera and clear

// The camera, and the clear unless the paper makes it invisible: with no hole
// on screen an opaque paper that covers the viewport is drawn over every
// sample, before anything reads the colour buffer, and nothing under it is
// drawn (nor the figures, the only draws that test depth).
void clearUnlessUnderPaper(MainFrame& f)
{
    part_start& scene = f.scene;
    beginScenePass(f.ctx, false, false);
    scene.shaders.useNoProgram();
    double clip[16];
    glPushMatrix();
    glScalef(kPaperScale[0], kPaperScale[1], kPaperScale[2]);
    currentClipMatrix(clip);
    glPopMatrix();
    const bool paperOverAll = scene.paperOpaqueWithoutHoles && quadCoversViewport(clip, f.viewport, kEdgeReach);
    f.cullBehindPaper = paperOverAll && !scene.holeRegion.everywhere;
    const bool depthRead = glIsEnabled(GL_DEPTH_TEST) || kFiguresWindow.holds(f.t);
    const GLbitfield clearMask = GL_COLOR_BUFFER_BIT | (depthRead ? GL_DEPTH_BUFFER_BIT : 0);
    if (!f.cullBehindPaper) {
        glClear(clearMask);
    } else if (!scene.holeRegion.empty()) {
        // Under the opaque paper the clear cannot show: only around the holes.
        const PixelRect area = scene.holeRegion.pixelsAround(kPointReach, {0, 0, f.viewport[2], f.viewport[3]});
        if (area.width > 0 && area.height > 0) {
            beginScissor(area.x, area.y, area.width, area.height);
            glClear(clearMask);
            endScissor();
        }
    }
}

// ---------------------------------------------------------------------------
// Dust, figures, paper

// Dust drifting along +x behind the paper. Only the points that may show
// through a hole are drawn; every point still takes its four numbers from the
// generator.
void drawDust(MainFrame& f)
{
    const ScreenRegion& holes = f.scene.holeRegion;
    glEnable(GL_POINT_SMOOTH);
    glPointSize(3);
    rng::srand(12323);
    rng::discard(100);
    glColor3f(1, 1, 1);
    glPushMatrix();
    if (f.t > 235)
        glTranslatef(-15, 0, 0);
    double clip[16];
    currentClipMatrix(clip);
    VertexRun dust(3);
    dust.reserve(1500);
    for (int i = 0; i < 1500; ++i) {
        float y = static_cast<float>(40 * rand01() - 20);
        float z = static_cast<float>(-3 * rand01() - 10);
        float g = static_cast<float>(rand01() + 0.5);
        float fraction = static_cast<float>(std::fmod(rand01() + 0.005 * f.t, 1.0));
        const float point[3] = {60 * fraction - 30, y, z};
        if (f.cullBehindPaper) {
            ScreenRect at;
            if (holes.empty() || (projectedRect(clip, f.viewport, point, 1, at) && !holes.touches(at, kPointReach)))
                continue;
        }
        dust.add(point[0], point[1], point[2], g, g, g, 1);
    }
    dust.draw(GL_POINTS);
    glPopMatrix();
    resetDrawState();
    glDisable(GL_TEXTURE_2D);
}

// Figure i of the row, lit in its own colour. A figure whose box lies wholly
// under opaque paper is not drawn; its random number is drawn all the same.
void drawFigure(MainFrame& f, int i)
{
    const double t = f.t;
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    const GLfloat lightPosition[4] = {0.5f, 1.0f, 1.0f, 0.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
    const GLfloat diffuse[4] = {static_cast<float>(i % 3 + 0.5), static_cast<float>((i + 1) % 4),
                                static_cast<float>((i + 2) % 4), 1.0f};
    glMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glPushMatrix();
    glTranslatef(static_cast<float>((t - 128) * -2 + 10 + 3 * i), static_cast<float>(6 * rand01() + 10 - 3), 0);
    glTranslatef(-5.03f, -4.1333f, -20);
    glRotatef(40, 1, 0, 0);
    glRotatef(static_cast<float>((i % 2 ? 120 : -120) * t), 0, 1, 0);
    float s = static_cast<float>((std::sin(i / 15.0 * 14 * M_PI + t) * 0.2 + 1) * 0.6);
    glScalef(s, s, s);
    ScreenRect box;
    double clip[16];
    currentClipMatrix(clip);
    if (!f.cullBehindPaper || !projectedRect(clip, f.viewport, f.scene.figureBox, 8, box) ||
        f.scene.holeRegion.touches(box, kEdgeReach))
        drawMesh(f.scene.objMeshes[3], -1);
    glPopMatrix();
}

// Tumbling figures, a row of 25 passing right to left.
void drawFigures(MainFrame& f)
{
    rng::srand(3123);
    rng::discard(100);
    for (int i = 0; i < 25; ++i)
        drawFigure(f, i);
}

// The paper, transparent where the holes layer is bright.
void drawPaper(MainFrame& f)
{
    part_start& scene = f.scene;
    const int paper = scene.sceneTextureBase + 412;
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glPushMatrix();
    glColor4f(1, 1, 1, 1);
    bindTexture(f.ctx, paper);
    glScalef(kPaperScale[0], kPaperScale[1], kPaperScale[2]);
    ShaderBank& shaders = scene.shaders;
    const int32_t program = scene.materialProgram;
    shaders.useProgram(program);
    shaders.setTextureUniform(GL_TEXTURE_2D, program, 0, "texture2d_1", textureName(f.ctx, paper));
    shaders.setTextureUniform(GL_TEXTURE_2D, program, 1, "texture2d_blend", textureName(f.ctx, scene.holesTex));
    const float width = static_cast<float>(f.viewport[2]), height = static_cast<float>(f.viewport[3]);
    shaders.setUniform3f(program, "ScreenSize", width, height, 0);
    // With no hole on screen the paper's alpha is 1 everywhere, and blending it
    // gives the paper's own colour: the blend is left out.
    if (!(scene.paperOpaqueWithoutHoles && scene.holeRegion.empty()))
        glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    drawQuad(-1, -1, 1, 1, 30); // the paper repeats 30 times across the sheet
    shaders.useNoProgram();
    glPopMatrix();
}

// ---------------------------------------------------------------------------
// Tendrils and ants

// The blend function set here stays in force for the tendrils.
void setLineState()
{
    glActiveTexture(GL_TEXTURE0);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glLineWidth(2);
    glMatrixMode(GL_MODELVIEW);
    resetDrawState();
    glDisable(GL_TEXTURE_2D);
}

// Growth fraction of a walk whose counter grows while its random test passes.
double grow(float& growth, bool growing, double step)
{
    if (growing)
        growth += static_cast<float>(step);
    return std::max(0.017 * growth, 0.0);
}

// Tendril k: its growth, its walk, its dashed trail and the ant at its tip.
void drawTendril(MainFrame& f, int k)
{
    part_start& scene = f.scene;
    const double t = f.t;
    bool growing = false;
    if (t > kTendrilsFrom + 1.8 * k) {
        double u = rand01();
        growing = std::sin(u + 0.4 * t + k) > -0.3;
    }
    const double grown = grow(scene.tendrilGrowth[k], growing, scene.scaledStep);
    Walk walk;
    walk.startX = 7.105f;
    walk.startY = static_cast<float>(8.680033 + 0.6 * rand01());
    walk.step = makeVec3(0.02f, static_cast<float>(-0.02 * rand01()), 0);
    walk.curlA = 0.01;
    walk.curlB = 0.02;
    PathSpline walkPath;
    buildWalk(walkPath, walk);

    glColor3f(0, 0, 0);
    glEnable(GL_BLEND);
    VertexRun trail(3);
    trail.reserve(600);
    for (int j = 0; j < 600 && j < 600 * grown; ++j) {
        const Vec3& p = walkPath.points[j];
        trail.add(p.x, p.y, 0, 0, 0, 0, (k + j / 2) % 2 ? 0.7f : 0.0f);
    }
    trail.draw(GL_LINE_STRIP);
    drawAnt(walkPath, scene.antMesh, grown);
}

// Up to four tendrils between 182 s and 219 s. The generator is seeded every
// frame: the late ants go on from where the tendrils leave it.
void drawTendrils(MainFrame& f)
{
    rng::srand(4226);
    rng::discard(100);
    const double tendrils = 4 * (ease(f.t - kTendrilsFrom) - ease(f.t - kTendrilsGone));
    for (int k = 0; k < tendrils && k < 4; ++k)
        drawTendril(f, k);
}

// Late ant a, walking without a trail.
void drawLateAnt(MainFrame& f, int a)
{
    part_start& scene = f.scene;
    double u = rand01();
    const double grown = grow(scene.antGrowth[a], std::sin(u + 0.8 * f.t + a) > -0.85, scene.scaledStep);
    double y0 = 2.6 * rand01() + 8.680033;
    double x0 = rand01() + 7.105;
    Walk walk;
    walk.startX = static_cast<float>(x0 - 28);
    walk.startY = static_cast<float>(y0 - 12);
    double drawn = rand01(); // drawn for every ant, used by the last two
    walk.step = a == 0 ? makeVec3(0.02f, -0.5f, 0) : makeVec3(0.02f, static_cast<float>(-0.02 * drawn), 0);
    walk.curlA = 0.02;
    walk.curlB = 0.02;
    PathSpline walkPath;
    buildWalk(walkPath, walk);
    drawAnt(walkPath, scene.antMesh, grown);
}

void drawLateAnts(MainFrame& f)
{
    for (int a = 0; a < 3; ++a)
        drawLateAnt(f, a);
}

// ---------------------------------------------------------------------------
// Stroke line and pencil

// The revealed stroke path; its last point is the newest stroke point.
void drawStrokeLine(MainFrame& f)
{
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glLineWidth(2);
    VertexRun lines(2);
    lines.reserve(f.polyline.size());
    for (const Vec3& p : f.polyline) {
        Vec3 v = scale(p, 3);
        lines.add(v.x, v.y, 0, 0, 0, 0, 0.8f * v.z);
        f.newest = v;
    }
    lines.draw(GL_LINE_STRIP);
}

// Followers of the pencil, and its silence when the newest point rests.
void followPencil(MainFrame& f)
{
    part_start& scene = f.scene;
    const Vec3 newest = f.newest;
    scene.pen = add(scene.pen, scale(sub(newest, scene.pen), 0.58f));
    f.wobble = 20 * std::sin((5 * scene.pen.y + scene.pen.x) * 0.2);
    const float moved = length(sub(scene.lastStrokePoint, newest));
    scene.input.muteAmbient = moved < scene.scaledStep / (1.0 / 60) * 0.0185 ? 1 : 0;
    scene.lastStrokePoint = newest;
    scene.penFocus = add(scene.penFocus, scale(sub(newest, scene.penFocus), 0.01f));
    if (f.t > 220 && f.t < 238)
        scene.penFocus = add(scene.penFocus, scale(sub(newest, scene.penFocus), 0.08f));
}

// Window corners of the boxes outside which a pencil picture leaves the
// picture below unchanged; false when a corner does not project.
bool pencilPartCorners(MainFrame& f, int picture, std::vector<double>& parts)
{
    double clip[16];
    currentClipMatrix(clip);
    bool projected = true;
    for (const std::array<float, 4>& box : f.scene.pencilBoxes[picture]) {
        const double corners[4][2] = {{box[0], box[1]}, {box[2], box[1]}, {box[2], box[3]}, {box[0], box[3]}};
        for (const auto& c : corners) {
            double wx = 0, wy = 0;
            projected = projected && projectPoint(clip, f.viewport, c[0], c[1], 0, wx, wy);
            parts.push_back(wx);
            parts.push_back(wy);
        }
    }
    return projected;
}

// One layer of the pencil (0: shadow, 1: picture) at the newest stroke point.
// Pixels away from the picture's drawn parts would blend to what they were: the
// quad is drawn once per scissor rectangle around those parts.
void drawPencilLayer(MainFrame& f, int layer, int pose, double slide)
{
    const int base = f.scene.sceneTextureBase;
    if (layer == 0) {
        bindTexture(f.ctx, base + 511 + pose);
        glBlendFunc(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);
    } else {
        bindTexture(f.ctx, base + 510 + pose);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }
    glPushMatrix();
    glTranslatef(f.newest.x, static_cast<float>(f.newest.y - 10 * slide), 0);
    glScalef(5.5f, 5.5f, 5.5f);
    glTranslatef(0, -0.0045f, 0);
    glRotatef(static_cast<float>(f.wobble - 48), 0, 0, 1);
    glTranslatef(-0.2369321f, -0.6293569f, 0);
    glScalef(1.3756717f, 1, 1);
    std::vector<double> parts;
    if (pencilPartCorners(f, (layer == 0 ? 1 : 0) + pose, parts)) {
        for (const PixelRect& rect : rectsCovering(parts, f.viewport, kEdgeReach)) {
            beginScissor(rect.x, rect.y, rect.width, rect.height);
            drawQuad(0, 0, 1, 1, 1);
        }
        endScissor();
    } else {
        drawQuad(0, 0, 1, 1, 1);
    }
    glPopMatrix();
}

// The pencil: shadow, then picture; two drawings alternate while it moves.
void drawPencil(MainFrame& f)
{
    const double t = f.t;
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glActiveTexture(GL_TEXTURE0);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glColor4f(1, 1, 1, 1);
    const int pose = f.scene.input.muteAmbient == 1 ? 0 : 2 * (static_cast<long long>(6 * t) % 2);
    const double slide = (1 - ease(t)) + ease((t - 249.8) * 0.2);
    for (int layer = 0; layer < 2; ++layer)
        drawPencilLayer(f, layer, pose, slide);
    glDisable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
}

} // namespace

void part_start::mainPass(DemoContext& ctx)
{
    MainFrame frame{*this, ctx, sceneTime, {0, 0, ctx.renderWidth, ctx.renderHeight}, {}};
    makeStrokeLine(frame);
    stepDone(SceneStep::strokes);
    clearUnlessUnderPaper(frame);
    stepDone(SceneStep::clear);
    drawDust(frame);
    stepDone(SceneStep::dust);
    if (kFiguresWindow.holds(sceneTime))
        drawFigures(frame);
    stepDone(SceneStep::figures);
    drawPaper(frame);
    stepDone(SceneStep::paper);
    setLineState();
    drawTendrils(frame);
    if (kLateAntsWindow.holds(sceneTime))
        drawLateAnts(frame);
    stepDone(SceneStep::tendrils);
    drawStrokeLine(frame);
    stepDone(SceneStep::lines);
    followPencil(frame);
    drawPencil(frame);
    stepDone(SceneStep::pencil);
}
