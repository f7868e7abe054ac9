// The main pass: the ink-on-paper picture. Dust and tumbling figures behind a
// paper sheet whose holes let them through, tendrils with walking ants, the
// revealed part of the stroke path and the pencil that follows its newest point.
// Every random pattern is redrawn from a fixed seed each frame.
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

namespace {

double ease(double x) { return easeInOutPow(x, 1.0); }
double rand01() { return rng::rand() / 32767.0; }

// How far from its projected position a draw can touch pixels, and more: a
// smooth point of size 3, and an antialiased edge (also the holes layer's own).
constexpr double kPointReach = 4;
constexpr double kEdgeReach = 3;

// The paper sheet: the quad (−1, −1) … (1, 1) scaled by this.
const float kPaperScale[3] = {78.75f, 140, 120};

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

} // namespace

void part_start::mainPass(DemoContext& ctx)
{
    const double t = sceneTime;
    const int W = ctx.renderWidth, H = ctx.renderHeight;
    const int base = sceneTextureBase;

    // 1. Strokes: rebuild, join into one path, cut out the revealed window.
    const double strokesFrom = threadCpuSeconds();
    // Only the points the reveal window can show are made (from shown.first on);
    // the joined path kept in strokes is that part of it.
    strokes.clear();
    const StrokeWindow shown = strokePass(true);
    PathSpline joined;
    size_t total = 0;
    for (const PathSpline& stroke : strokes)
        total += stroke.points.size();
    joined.points.reserve(total);
    // Generated points carry tag 1 already, as addPoint would set it.
    for (const PathSpline& stroke : strokes) {
        const size_t used = std::min(static_cast<size_t>(std::max(stroke.count, 0)), stroke.points.size());
        joined.points.insert(joined.points.end(), stroke.points.begin(), stroke.points.begin() + used);
        joined.count += static_cast<int32_t>(used);
    }
    strokes.clear();
    strokes.push_back(std::move(joined));
    const PathSpline& path = strokes[0];
    // The joined path's length, or, when the pass stopped counting past the
    // window, a lower bound past its end: lo and hi come out the same.
    const long long n = shown.before;
    long long lo = std::min(static_cast<long long>(std::trunc(revealStart)), n - 1);
    if (lo <= 30)
        lo = 30;
    long long hi = std::min(static_cast<long long>(std::trunc(revealEnd)), n - 1);
    if (hi <= 30)
        hi = 30;
    std::vector<Vec3> polyline;
    if (lo + 10 < hi) {
        polyline.reserve(static_cast<size_t>(hi - lo - 10));
        const float r = static_cast<float>(2 * (1 - ease((t - 234) * 0.07)));
        // lo + 10 is shown.first here: the drawn points are the made ones.
        assert(lo + 10 == shown.first && hi - shown.first <= static_cast<long long>(path.points.size()) &&
               "the reveal window draws only points the stroke pass made");
        for (long long i = lo + 10; i < hi; ++i) {
            Vec3 p = path.points[static_cast<size_t>(i - shown.first)];
            const long long k = i - lo;
            double w = t > 255 ? 0 : ease((t - k * 0.00025 - 234) * 0.05);
            if (w > 0) {
                double a = (static_cast<double>(k) / static_cast<double>(hi - lo)) * 2 * M_PI + 4 * t;
                Vec3 q = makeVec3(static_cast<float>(std::sin(a) * r - 9 + 1.2),
                                  static_cast<float>(std::cos(a) * r + 0.46), 0);
                p = add(p, scale(sub(q, p), static_cast<float>(w)));
            }
            polyline.push_back(p);
        }
    }

    strokeSeconds = threadCpuSeconds() - strokesFrom;
    strokePoints = n;
    linePoints = static_cast<int64_t>(polyline.size());
    stepDone(SceneStep::strokes);

    // 2. Camera, and the clear unless the paper makes it invisible: with no hole
    // on screen an opaque paper that covers the viewport is drawn over every
    // sample, before anything reads the colour buffer, and nothing under it is
    // drawn (nor the figures, the only draws that test depth).
    beginScenePass(ctx, false, false);
    shaders.useNoProgram();
    double clip[16];
    const int viewport[4] = {0, 0, W, H};
    glPushMatrix();
    glScalef(kPaperScale[0], kPaperScale[1], kPaperScale[2]);
    currentClipMatrix(clip);
    glPopMatrix();
    const bool paperOverAll = paperOpaqueWithoutHoles && quadCoversViewport(clip, viewport, kEdgeReach);
    const bool cullBehindPaper = paperOverAll && !holeRegion.everywhere;
    const bool depthRead = glIsEnabled(GL_DEPTH_TEST) || (t > 118 && t < 160);
    const GLbitfield clearMask = GL_COLOR_BUFFER_BIT | (depthRead ? GL_DEPTH_BUFFER_BIT : 0);
    if (!cullBehindPaper) {
        glClear(clearMask);
    } else if (!holeRegion.empty()) {
        // Under the opaque paper the clear cannot show: only around the holes.
        const PixelRect area = holeRegion.pixelsAround(kPointReach, {0, 0, W, H});
        if (area.width > 0 && area.height > 0) {
            beginScissor(area.x, area.y, area.width, area.height);
            glClear(clearMask);
            endScissor();
        }
    }
    stepDone(SceneStep::clear);

    // 3. Dust drifting along +x behind the paper.
    glEnable(GL_POINT_SMOOTH);
    glPointSize(3);
    rng::srand(12323);
    rng::discard(100);
    glColor3f(1, 1, 1);
    glPushMatrix();
    if (t > 235)
        glTranslatef(-15, 0, 0);
    // Only the points that may show through a hole are drawn; every point still
    // takes its four numbers from the generator.
    currentClipMatrix(clip);
    VertexRun dust(3);
    dust.reserve(1500);
    for (int i = 0; i < 1500; ++i) {
        float y = static_cast<float>(40 * rand01() - 20);
        float z = static_cast<float>(-3 * rand01() - 10);
        float g = static_cast<float>(rand01() + 0.5);
        float fraction = static_cast<float>(std::fmod(rand01() + 0.005 * t, 1.0));
        const float point[3] = {60 * fraction - 30, y, z};
        if (cullBehindPaper) {
            ScreenRect at;
            if (holeRegion.empty() ||
                (projectedRect(clip, viewport, point, 1, at) && !holeRegion.touches(at, kPointReach)))
                continue;
        }
        dust.add(point[0], point[1], point[2], g, g, g, 1);
    }
    dust.draw(GL_POINTS);
    glPopMatrix();
    resetDrawState();
    glDisable(GL_TEXTURE_2D);
    stepDone(SceneStep::dust);

    // 4. Tumbling figures, a row of 25 passing right to left.
    if (t > 118 && t < 160) {
        rng::srand(3123);
        rng::discard(100);
        for (int i = 0; i < 25; ++i) {
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
            // A figure whose box lies wholly under opaque paper is not drawn.
            ScreenRect box;
            currentClipMatrix(clip);
            if (!cullBehindPaper || !projectedRect(clip, viewport, figureBox, 8, box) ||
                holeRegion.touches(box, kEdgeReach))
                drawMesh(objMeshes[3], -1);
            glPopMatrix();
        }
    }

    stepDone(SceneStep::figures);

    // 5. The paper, transparent where the holes layer is bright.
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glPushMatrix();
    glColor4f(1, 1, 1, 1);
    bindTexture(ctx, base + 412);
    glScalef(kPaperScale[0], kPaperScale[1], kPaperScale[2]);
    shaders.useProgram(materialProgram);
    shaders.setTextureUniform(GL_TEXTURE_2D, materialProgram, 0, "texture2d_1", textureName(ctx, base + 412));
    shaders.setTextureUniform(GL_TEXTURE_2D, materialProgram, 1, "texture2d_blend", textureName(ctx, holesTex));
    shaders.setUniform3f(materialProgram, "ScreenSize", static_cast<float>(W), static_cast<float>(H), 0);
    // With no hole on screen the paper's alpha is 1 everywhere, and blending it
    // gives the paper's own colour: the blend is left out.
    if (!(paperOpaqueWithoutHoles && holeRegion.empty()))
        glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    drawQuad(-1, -1, 1, 1, 30); // the paper repeats 30 times across the sheet
    shaders.useNoProgram();
    glPopMatrix();
    stepDone(SceneStep::paper);

    // 6. Line state.
    glActiveTexture(GL_TEXTURE0);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glLineWidth(2);
    Vec3 newest = makeVec3(0, 0, 0);
    glMatrixMode(GL_MODELVIEW);
    resetDrawState();
    glDisable(GL_TEXTURE_2D);

    // 7. Tendrils with ants at their tips, up to four between 182 s and 219 s.
    rng::srand(4226);
    rng::discard(100);
    const double tendrils = 4 * (ease(t - 182) - ease(t - 218));
    for (int k = 0; k < tendrils && k < 4; ++k) {
        if (t > 182 + 1.8 * k) {
            double u = rand01();
            if (std::sin(u + 0.4 * t + k) > -0.3)
                tendrilGrowth[k] += static_cast<float>(scaledStep);
        }
        double f = std::max(0.017 * tendrilGrowth[k], 0.0);
        PathSpline walkPath;
        Walk walk;
        walk.startX = 7.105f;
        walk.startY = static_cast<float>(8.680033 + 0.6 * rand01());
        walk.step = makeVec3(0.02f, static_cast<float>(-0.02 * rand01()), 0);
        walk.curlA = 0.01;
        walk.curlB = 0.02;
        buildWalk(walkPath, walk);

        glColor3f(0, 0, 0);
        glEnable(GL_BLEND);
        VertexRun trail(3);
        trail.reserve(600);
        for (int j = 0; j < 600 && j < 600 * f; ++j) {
            const Vec3& p = walkPath.points[j];
            trail.add(p.x, p.y, 0, 0, 0, 0, (k + j / 2) % 2 ? 0.7f : 0.0f);
        }
        trail.draw(GL_LINE_STRIP);
        drawAnt(walkPath, antMesh, f);
    }

    // 8. Three late ants without trails.
    if (t > 250) {
        for (int a = 0; a < 3; ++a) {
            double u = rand01();
            if (std::sin(u + 0.8 * t + a) > -0.85)
                antGrowth[a] += static_cast<float>(scaledStep);
            double f = std::max(0.017 * antGrowth[a], 0.0);
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
            drawAnt(walkPath, antMesh, f);
        }
    }

    stepDone(SceneStep::tendrils);

    // 9. The revealed stroke path; its last point is the newest stroke point.
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glLineWidth(2);
    VertexRun lines(2);
    lines.reserve(polyline.size());
    for (const Vec3& p : polyline) {
        Vec3 v = scale(p, 3);
        lines.add(v.x, v.y, 0, 0, 0, 0, 0.8f * v.z);
        newest = v;
    }
    lines.draw(GL_LINE_STRIP);

    stepDone(SceneStep::lines);

    // 10. Followers of the pencil, and its silence when the newest point rests.
    pen = add(pen, scale(sub(newest, pen), 0.58f));
    const double wobble = 20 * std::sin((5 * pen.y + pen.x) * 0.2);
    const float moved = length(sub(lastStrokePoint, newest));
    input.muteAmbient = moved < scaledStep / (1.0 / 60) * 0.0185 ? 1 : 0;
    lastStrokePoint = newest;
    penFocus = add(penFocus, scale(sub(newest, penFocus), 0.01f));
    if (t > 220 && t < 238)
        penFocus = add(penFocus, scale(sub(newest, penFocus), 0.08f));

    // 11. The pencil: shadow, then picture; two drawings alternate while it moves.
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glActiveTexture(GL_TEXTURE0);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glColor4f(1, 1, 1, 1);
    const int pose = input.muteAmbient == 1 ? 0 : 2 * (static_cast<long long>(6 * t) % 2);
    const double slide = (1 - ease(t)) + ease((t - 249.8) * 0.2);
    for (int layer = 0; layer < 2; ++layer) {
        if (layer == 0) {
            bindTexture(ctx, base + 511 + pose);
            glBlendFunc(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);
        } else {
            bindTexture(ctx, base + 510 + pose);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        }
        glPushMatrix();
        glTranslatef(newest.x, static_cast<float>(newest.y - 10 * slide), 0);
        glScalef(5.5f, 5.5f, 5.5f);
        glTranslatef(0, -0.0045f, 0);
        glRotatef(static_cast<float>(wobble - 48), 0, 0, 1);
        glTranslatef(-0.2369321f, -0.6293569f, 0);
        glScalef(1.3756717f, 1, 1);
        // Pixels away from the picture's drawn parts would blend to what they
        // were: the quad is drawn once per scissor rectangle around those parts.
        currentClipMatrix(clip);
        std::vector<double> parts;
        bool projected = true;
        for (const std::array<float, 4>& box : pencilBoxes[(layer == 0 ? 1 : 0) + pose]) {
            const double corners[4][2] = {{box[0], box[1]}, {box[2], box[1]}, {box[2], box[3]}, {box[0], box[3]}};
            for (const auto& c : corners) {
                double wx = 0, wy = 0;
                projected = projected && projectPoint(clip, viewport, c[0], c[1], 0, wx, wy);
                parts.push_back(wx);
                parts.push_back(wy);
            }
        }
        if (projected) {
            for (const PixelRect& rect : rectsCovering(parts, viewport, kEdgeReach)) {
                beginScissor(rect.x, rect.y, rect.width, rect.height);
                drawQuad(0, 0, 1, 1, 1);
            }
            endScissor();
        } else {
            drawQuad(0, 0, 1, 1, 1);
        }
        glPopMatrix();
    }

    // 12. End.
    glDisable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    stepDone(SceneStep::pencil);
}
