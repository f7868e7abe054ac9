// The generated asset tree as the show will read it (and the modelling kit behind
// it, against the show's own readers): every file the scene and
// start-up open is there; each JPEG decodes with the show's decoder and agrees
// with libjpeg; each outline mesh loads with the outline reader, winds outwards
// and keeps its polygon budget; the drawn meshes load with the OBJ reader and
// agree with tinyobjloader; the pencil tip sits on the required texel; the camera
// files read back as intended; the fragment programs compile; and a second run
// gives the same bytes.
#include "formats/jpeg_decoder.h"
#include "formats/obj_mesh.h"
#include "scene/camera_keys.h"
#include "scene/handheld.h"
#include "scene/part_start.h"
#include "scene/poly_mesh.h"
#include "tests/support/gl_test_context.h"
#include "tests/support/test_files.h"
#include "tools/assetgen/glyphs.h"
#include "tools/assetgen/image_kit.h"
#include "tools/assetgen/mesh_kit.h"

#include "gl/gl_api.h"
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <tiny_obj_loader.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Polygon budgets (also in tools/assetgen/README.md).
const std::map<std::string, size_t> kOutlineBudget = {
    {"newobjects/face.obj", 3000},          {"newobjects/title.obj", 400},
    {"newobjects/baseshape.obj", 300},      {"newobjects/baseshape2.obj", 250},
    {"newobjects/holder2.obj", 350},        {"newobjects/woman.obj", 5500},
    {"newobjects/birdgood2.obj", 5800},     {"newobjects/end.obj", 350},
    {"newobjects/torus.obj", 300},          {"newobjects/skeletonhand2.obj", 2700},
    {"newobjects/objectscougar.obj", 650},  {"newobjects/vellum.obj", 100},
    {"newobjects/ant_Kormos.obj", 560},     {"newobjects/ant_Podi1.obj", 220},
    {"newobjects/ant_Podi2.obj", 220},      {"newobjects/solid1.obj", 80},
};
const char* kTextures[] = {"textures/paper.jpg",          "textures/hole.jpg",
                           "textures/stroke_D_1.jpg",     "textures/stroke_D_1_ALPHA.jpg",
                           "textures/stroke_D_1_SHD.jpg", "textures/stroke_D_2.jpg",
                           "textures/stroke_D_2_ALPHA.jpg", "textures/stroke_D_2_SHD.jpg",
                           "textures/hand.jpg",           "textures/handalpha.jpg",
                           "textures/blob41b.jpg"};
const char* kShaders[] = {"PostProcessing/f_material1", "PostProcessing/f_blurpass", "PostProcessing/f_simpleblur"};

struct Rgb {
    int w = 0, h = 0;
    std::vector<uint8_t> px; // top row first, 3 bytes per pixel
    const uint8_t* at(int x, int y) const { return &px[3 * (size_t(y) * w + x)]; }
};

bool runGenerator(const fs::path& dir, const std::string& paths = "")
{
    std::string cmd = std::string(ZUR_ASSETGEN) + " " + dir.string() + " " + paths + " > /dev/null";
    return std::system(cmd.c_str()) == 0;
}

std::string readAll(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

Rgb decodeWithShowDecoder(const fs::path& p, std::string& error)
{
    Rgb img;
    jpeg_decoder_file_stream stream;
    if (!stream.open(p.string().c_str())) {
        error = "cannot open";
        return img;
    }
    JpegDecoder dec(&stream, false);
    if (dec.errorCode() != 0 || dec.begin() != 0) {
        error = jpegErrorText(dec.errorCode());
        return img;
    }
    if (dec.bytesPerPixel() != 4) {
        error = "not a colour JPEG (the loaders take 4 bytes per pixel)";
        return img;
    }
    img.w = dec.width();
    img.h = dec.height();
    img.px.resize(3 * size_t(img.w) * img.h);
    for (int y = 0; y < img.h; ++y) {
        const uint8_t* row = nullptr;
        uint32_t bytes = 0;
        if (dec.decodeLine(&row, &bytes) != 0) {
            error = "row " + std::to_string(y) + " failed";
            return Rgb{};
        }
        for (int x = 0; x < img.w; ++x)
            for (int c = 0; c < 3; ++c)
                img.px[3 * (size_t(y) * img.w + x) + c] = row[4 * x + c];
    }
    return img;
}

Rgb decodeWithLibjpeg(const fs::path& p, bool fancy)
{
    Rgb img;
    FILE* f = std::fopen(p.string().c_str(), "rb");
    if (!f)
        return img;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    cinfo.do_fancy_upsampling = fancy ? TRUE : FALSE;
    jpeg_start_decompress(&cinfo);
    img.w = static_cast<int>(cinfo.output_width);
    img.h = static_cast<int>(cinfo.output_height);
    img.px.resize(3 * size_t(img.w) * img.h);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &img.px[3 * size_t(cinfo.output_scanline) * img.w];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    return img;
}

double meanDifference(const Rgb& a, const Rgb& b)
{
    double sum = 0;
    for (size_t i = 0; i < a.px.size(); ++i)
        sum += std::abs(int(a.px[i]) - int(b.px[i]));
    return sum / a.px.size();
}

// Signed volume of a polygon soup (fans from each polygon's first point): positive
// when the polygons wind counter-clockwise seen from outside.
double signedVolume(const PolyMesh& m)
{
    double v = 0;
    for (const Polygon& p : m.polygons)
        for (size_t i = 1; i + 1 < p.points.size(); ++i) {
            const Vec3 &a = p.points[0], &b = p.points[i], &c = p.points[i + 1];
            v += (double(a.x) * (double(b.y) * c.z - double(b.z) * c.y) - double(a.y) * (double(b.x) * c.z - double(b.z) * c.x) +
                  double(a.z) * (double(b.x) * c.y - double(b.y) * c.x)) / 6.0;
        }
    return v;
}

// Every visual file the scene and start-up open (the music is listed separately:
// it is slow to render and has its own test).
std::vector<std::string> visualFiles()
{
    std::vector<std::string> files = {kCameraKeyFile, kHandheldFile, "newobjects/GoodAnt.obj", "newobjects/vellumgood.obj"};
    for (const auto& [file, budget] : kOutlineBudget)
        files.push_back(file);
    for (const char* t : kTextures)
        files.push_back(t);
    for (const char* s : kShaders)
        files.push_back(std::string(s) + kShaderEnding);
    return files;
}
const char* kMusicFiles[] = {"music/pencil_bassy.mp3", "music/lanternsong.mp3"};

std::string joined(const std::vector<std::string>& names)
{
    std::string list;
    for (const std::string& n : names)
        list += n + " ";
    return list;
}

// Each test runs in its own process under CTest, so the suite writes only the
// visual files (under a second) instead of the whole tree.
// Walks every polygon's edges by their end points' coordinates. With outward winding
// throughout, each edge shared by polygons is walked as often one way as the other;
// a polygon facing the wrong way walks a shared edge in its neighbour's direction.
// Edges walked once in one direction only are open borders and allowed.
size_t inconsistentEdges(const std::vector<std::vector<std::array<float, 3>>>& polygons)
{
    std::map<std::pair<std::array<float, 3>, std::array<float, 3>>, int> walks;
    for (const auto& poly : polygons)
        for (size_t i = 0; i < poly.size(); ++i) {
            const auto &a = poly[i], &b = poly[(i + 1) % poly.size()];
            if (a != b)
                ++walks[{a, b}];
        }
    size_t bad = 0;
    for (const auto& [edge, n] : walks) {
        auto back = walks.find({edge.second, edge.first});
        int r = back == walks.end() ? 0 : back->second;
        if (n != r && !(n == 1 && r == 0))
            ++bad;
    }
    return bad;
}

class VisualAssets : public ::testing::Test {
protected:
    static fs::path dir;
    static bool generated;
    static void SetUpTestSuite()
    {
        dir = fs::temp_directory_path() / ("zur_visual_assets_" + std::to_string(getpid()));
        fs::remove_all(dir);
        generated = runGenerator(dir, joined(visualFiles()));
    }
    static void TearDownTestSuite() { fs::remove_all(dir); }
    void SetUp() override { ASSERT_TRUE(generated) << "assetgen failed"; }
};
fs::path VisualAssets::dir;
bool VisualAssets::generated = false;

TEST_F(VisualAssets, TreeHoldsEveryFileTheSceneAndStartUpRead)
{
    for (const std::string& f : visualFiles()) {
        EXPECT_TRUE(fs::is_regular_file(dir / f)) << f;
        EXPECT_GT(fs::file_size(dir / f), 3u) << f;
    }
    // A whole run writes the music beside them, unless its writer is not in the tree.
    const fs::path whole = dir.string() + "_whole";
    fs::remove_all(whole);
    ASSERT_TRUE(runGenerator(whole));
    if (fs::exists(whole / "music")) {
        for (const char* m : kMusicFiles)
            EXPECT_TRUE(fs::is_regular_file(whole / m)) << m;
    }
    for (const std::string& f : visualFiles())
        EXPECT_TRUE(fs::is_regular_file(whole / f)) << f;
    fs::remove_all(whole);
}

TEST_F(VisualAssets, EveryJpegDecodesWithTheShowsDecoderAndAgreesWithLibjpeg)
{
    for (const char* t : kTextures) {
        std::string error;
        Rgb ours = decodeWithShowDecoder(dir / t, error);
        ASSERT_TRUE(error.empty()) << t << ": " << error;
        EXPECT_EQ(ours.w % 16, 0) << t;
        EXPECT_EQ(ours.h % 16, 0) << t;
        Rgb plain = decodeWithLibjpeg(dir / t, false), fancy = decodeWithLibjpeg(dir / t, true);
        ASSERT_EQ(ours.w, plain.w) << t;
        ASSERT_EQ(ours.h, plain.h) << t;
        double diff = std::min(meanDifference(ours, plain), meanDifference(ours, fancy));
        EXPECT_LT(diff, 1.5) << t;
    }
}

TEST_F(VisualAssets, OutlineMeshesLoadWindOutwardsAndKeepTheirBudgets)
{
    std::map<std::string, size_t> count;
    for (const auto& [file, budget] : kOutlineBudget) {
        PolyMesh m;
        m.loadPolygons((dir / file).string().c_str());
        count[file] = m.polygons.size();
        EXPECT_GT(m.polygons.size(), 0u) << file;
        EXPECT_LE(m.polygons.size(), budget) << file;
        for (const Polygon& p : m.polygons)
            ASSERT_GE(p.points.size(), 3u) << file;
        EXPECT_GT(signedVolume(m), 0.0) << file << " winds inwards";
        std::vector<std::vector<std::array<float, 3>>> polys;
        for (const Polygon& p : m.polygons) {
            polys.emplace_back();
            for (const Vec3& v : p.points)
                polys.back().push_back({v.x, v.y, v.z});
        }
        EXPECT_EQ(inconsistentEdges(polys), 0u) << file << " has polygons facing the wrong way";
    }
    // What the stroke pass draws at the same time, by stretch of the show; slot 13
    // sits on procedural tubes of at most 400 quads, slots 14-16 are drawn per ant.
    auto n = [&](const char* name) { return count["newobjects/" + std::string(name) + ".obj"]; };
    const size_t tubes = 400;
    const size_t ants = 3 * (n("ant_Kormos") + n("ant_Podi1") + n("ant_Podi2"));
    const size_t stretches[] = {
        n("title") + n("baseshape"),
        n("baseshape") + 3 * n("solid1") + 2 * n("baseshape2") + n("holder2") + n("objectscougar") + n("vellum") + tubes,
        n("solid1") + n("holder2") + n("vellum") + ants + n("face") + n("skeletonhand2") + n("woman") + tubes,
        n("woman") + n("birdgood2") + tubes,
        n("end"),
    };
    for (size_t s : stretches)
        EXPECT_LT(s, 15000u);
}

TEST_F(VisualAssets, DrawnMeshesLoadWithTheObjReaderAndAgreeWithTinyobjloader)
{
    const struct {
        const char* file;
        size_t objects;
        size_t budget;
    } drawn[] = {{"newobjects/GoodAnt.obj", 3, 1700}, {"newobjects/vellumgood.obj", 1, 1900}};
    for (const auto& d : drawn) {
        ObjMesh mesh;
        ASSERT_TRUE(mesh.load((dir / d.file).string().c_str(), false)) << d.file;
        ASSERT_EQ(mesh.objectStarts.size(), d.objects + 1) << d.file;
        EXPECT_EQ(mesh.objectStarts.front(), 0) << d.file << ": triangles before the first object are never drawn";
        for (size_t k = 0; k < d.objects; ++k)
            EXPECT_LT(mesh.objectStarts[k], mesh.objectStarts[k + 1]) << d.file << " object " << k << " is empty";
        EXPECT_TRUE(mesh.hasNormals);

        tinyobj::attrib_t attrib;
        std::vector<tinyobj::shape_t> shapes;
        std::vector<tinyobj::material_t> materials;
        std::string warn, err;
        ASSERT_TRUE(tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, (dir / d.file).string().c_str(), nullptr,
                                     true))
            << err;
        ASSERT_EQ(shapes.size(), d.objects) << d.file;
        size_t triangles = 0, faces = 0;
        for (size_t k = 0; k < shapes.size(); ++k) {
            size_t objTriangles = shapes[k].mesh.num_face_vertices.size();
            triangles += objTriangles;
            EXPECT_EQ(static_cast<int32_t>(objTriangles), mesh.objectStarts[k + 1] - mesh.objectStarts[k]) << d.file;
        }
        EXPECT_EQ(static_cast<int32_t>(triangles), mesh.triangleCount);
        EXPECT_EQ(attrib.vertices.size() / 3, static_cast<size_t>(mesh.positionCount));
        tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, (dir / d.file).string().c_str(), nullptr, false);
        for (const auto& s : shapes)
            faces += s.mesh.num_face_vertices.size();
        EXPECT_LE(faces, d.budget) << d.file;
        std::vector<std::vector<std::array<float, 3>>> polys;
        for (const auto& shape : shapes) {
            size_t at = 0;
            for (unsigned char n : shape.mesh.num_face_vertices) {
                polys.emplace_back();
                for (unsigned k = 0; k < n; ++k) {
                    const int vi = shape.mesh.indices[at + k].vertex_index;
                    polys.back().push_back({attrib.vertices[3 * vi], attrib.vertices[3 * vi + 1], attrib.vertices[3 * vi + 2]});
                }
                at += n;
            }
        }
        EXPECT_EQ(inconsistentEdges(polys), 0u) << d.file << " has polygons facing the wrong way";
    }
}

TEST_F(VisualAssets, PaperTilesSeamlesslyAndTheHoleFadesToBlackAtItsBorder)
{
    std::string error;
    Rgb paper = decodeWithShowDecoder(dir / "textures/paper.jpg", error);
    ASSERT_TRUE(error.empty()) << error;
    // Across the wrap the step between neighbours is no larger than inside.
    auto step = [&](int x0, int y0, int x1, int y1) {
        const uint8_t *a = paper.at(x0, y0), *b = paper.at(x1, y1);
        return std::abs(int(a[0]) - int(b[0])) + std::abs(int(a[1]) - int(b[1])) + std::abs(int(a[2]) - int(b[2]));
    };
    double wrapX = 0, insideX = 0, wrapY = 0, insideY = 0;
    for (int y = 0; y < paper.h; ++y) {
        wrapX += step(paper.w - 1, y, 0, y);
        insideX += step(paper.w / 2 - 1, y, paper.w / 2, y);
    }
    for (int x = 0; x < paper.w; ++x) {
        wrapY += step(x, paper.h - 1, x, 0);
        insideY += step(x, paper.h / 2 - 1, x, paper.h / 2);
    }
    EXPECT_LT(wrapX, insideX * 1.5) << "visible seam at the left and right edges";
    EXPECT_LT(wrapY, insideY * 1.5) << "visible seam at the top and bottom edges";
    // Warm off-white: red above blue, and light.
    double r = 0, b = 0;
    for (size_t i = 0; i < paper.px.size(); i += 3)
        r += paper.px[i], b += paper.px[i + 2];
    r /= paper.px.size() / 3, b /= paper.px.size() / 3;
    EXPECT_GT(r, 200);
    EXPECT_GT(r, b + 10);

    Rgb hole = decodeWithShowDecoder(dir / "textures/hole.jpg", error);
    ASSERT_TRUE(error.empty()) << error;
    int brightest = 0;
    for (int i = 0; i < hole.w; ++i)
        for (int edge : {0, hole.w - 1}) {
            brightest = std::max({brightest, int(hole.at(i, edge)[1]), int(hole.at(edge, i)[1])});
        }
    EXPECT_LT(brightest, 12) << "the blot's quad would show its edges";
    EXPECT_GT(hole.at(hole.w / 2, hole.h / 2)[1], 240) << "the middle of the blot must cut the paper";
}

TEST_F(VisualAssets, PencilTipLiesOnTheRequiredTexel)
{
    // The main pass puts the newest stroke point at (0.2369321 / 1.3756717,
    // 0.6293569) of the picture, bottom-left origin.
    const double u = 0.2369321 / 1.3756717, v = 0.6293569;
    for (const char* stem : {"textures/stroke_D_1", "textures/stroke_D_2"}) {
        std::string error;
        Rgb alpha = decodeWithShowDecoder(dir / (std::string(stem) + "_ALPHA.jpg"), error);
        ASSERT_TRUE(error.empty()) << stem << ": " << error;
        Rgb colour = decodeWithShowDecoder(dir / (std::string(stem) + ".jpg"), error);
        ASSERT_TRUE(error.empty()) << stem << ": " << error;
        ASSERT_EQ(alpha.w, colour.w);
        ASSERT_EQ(alpha.h, colour.h);
        const int tx = static_cast<int>(u * alpha.w);
        const int ty = static_cast<int>((1 - v) * alpha.h); // rows run top down here
        EXPECT_GT(alpha.at(tx, ty)[1], 200) << stem << ": not opaque at the tip";
        const uint8_t* c = colour.at(tx, ty);
        EXPECT_LT(c[0] + c[1] + c[2], 3 * 110) << stem << ": the tip is not graphite";
        // Nothing of the pencil reaches past the tip: a few texels beyond it, and
        // everywhere further out on that side, the mask is transparent.
        for (int y = 0; y < alpha.h; ++y)
            for (int x = 0; x <= tx - 6; ++x)
                ASSERT_LT(alpha.at(x, y)[1], 60) << stem << " at " << x << "," << y;
        // The shadow is darkest near the body, not under the tip's free side.
        Rgb shadow = decodeWithShowDecoder(dir / (std::string(stem) + "_SHD.jpg"), error);
        ASSERT_TRUE(error.empty());
        EXPECT_LT(shadow.at(tx - 8, ty)[1], 40) << stem;
    }
}

TEST_F(VisualAssets, CameraFilesReadBackAsIntended)
{
    std::vector<CameraKey> keys;
    ASSERT_TRUE(loadCameraKeys((dir / kCameraKeyFile).string().c_str(), keys));
    EXPECT_TRUE(keys.empty()) << "a key would pin the camera until its time";
    for (double t : {0.0, 100.0, 270.0})
        EXPECT_EQ(activeKey(keys, t), nullptr);

    HandheldRecording rec;
    ASSERT_TRUE(rec.load((dir / kHandheldFile).string().c_str()));
    ASSERT_TRUE(rec.usable());
    EXPECT_GE(rec.samples.size(), size_t(35 * 120)) << "a few minutes at 35 samples a second";
    double maxPush = 0, maxStep = 0, maxSway = 0;
    for (size_t i = 0; i < rec.samples.size(); ++i) {
        const Vec3& s = rec.samples[i];
        maxPush = std::max(maxPush, std::hypot(double(s.x), double(s.y)) * 0.0001482);
        if (i > 0)
            maxStep = std::max(maxStep, std::hypot(double(s.x - rec.samples[i - 1].x), double(s.y - rec.samples[i - 1].y)) *
                                            0.0001482);
        maxSway = std::max(maxSway, std::fabs(0.4 * std::sin(rec.tilt[i] * 1.7188733853924696 * 0.0001482)));
    }
    EXPECT_GT(maxPush, 0.01);
    EXPECT_LT(maxPush, 0.08) << "offsets should move the target by a few hundredths";
    EXPECT_LT(maxStep, maxPush / 10) << "the motion jumps";
    EXPECT_GT(maxSway, 0.005);
    EXPECT_LT(maxSway, 0.08) << "the tilt should sway, not roll";
}

TEST_F(VisualAssets, FragmentProgramsCompileAndLink)
{
    GlTestContext gl(64, 64);
    if (!gl.ok())
        GTEST_SKIP() << "no GL context: " << gl.error();
    for (const char* s : kShaders) {
        const std::string text = readAll(dir / (std::string(s) + kShaderEnding));
        const char* src = text.c_str();
        GLuint shader = glCreateShader(GL_FRAGMENT_SHADER);
        glShaderSource(shader, 1, &src, nullptr);
        glCompileShader(shader);
        GLint ok = 0;
        glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
        char log[1000] = {};
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        EXPECT_EQ(ok, GL_TRUE) << s << ": " << log;
        GLuint program = glCreateProgram();
        glAttachShader(program, shader);
        glLinkProgram(program);
        glGetProgramiv(program, GL_LINK_STATUS, &ok);
        EXPECT_EQ(ok, GL_TRUE) << s;
        glDeleteProgram(program);
        glDeleteShader(shader);
    }
}

TEST_F(VisualAssets, ASecondRunOfTheVisualAssetsGivesTheSameBytes)
{
    // Regenerating by name also shows that one asset can be rebuilt alone.
    const fs::path again = dir.string() + "_again";
    fs::remove_all(again);
    for (const std::string& n : visualFiles()) {
        ASSERT_TRUE(runGenerator(again, n)) << n;
        EXPECT_EQ(readAll(dir / n), readAll(again / n)) << n;
    }
    size_t written = 0;
    for (const auto& entry : fs::recursive_directory_iterator(again))
        written += entry.is_regular_file();
    EXPECT_EQ(written, visualFiles().size()) << "only the named assets are written";
    fs::remove_all(again);
}

// ---------------------------------------------------------------- the modelling kit

TEST(AssetKit, SurfaceNetsGiveOutwardQuadsOnTheSurfaceNearTheTargetCount)
{
    struct Shape {
        const char* name;
        Sdf f;
        std::function<V3(V3)> outward; // analytic outward direction at a point
    } shapes[] = {
        {"sphere", [](V3 p) { return sdSphere(p, v3(0.2, -0.1, 0.3), 1.3); },
         [](V3 p) { return p - v3(0.2, -0.1, 0.3); }},
        {"torus", [](V3 p) { return sdTorus(p, 1.2, 0.45); },
         [](V3 p) { return p - unit3(v3(p.x, 0, p.z)) * 1.2; }},
    };
    for (const Shape& s : shapes)
        for (int target : {200, 1500}) {
            Mesh m = polygonise(s.f, v3(-2, -2, -2), v3(2, 2, 2), target);
            ASSERT_FALSE(m.faces.empty()) << s.name;
            EXPECT_GT(m.faces.size(), target * 0.75) << s.name;
            EXPECT_LT(m.faces.size(), target * 1.25) << s.name;
            for (size_t f = 0; f < m.faces.size(); ++f) {
                const auto& face = m.faces[f];
                ASSERT_EQ(face.size(), 4u);
                // The facing test of the stroke generator: (ctr - p0) x (ctr - p1).
                V3 c = faceCentre(m, static_cast<int>(f));
                V3 n = cross3(c - m.verts[face[0]], c - m.verts[face[1]]);
                ASSERT_GT(dot3(n, s.outward(c)), 0.0) << s.name << " face " << f;
            }
            double worst = 0;
            for (V3 v : m.verts)
                worst = std::max(worst, std::fabs(s.f(v)));
            EXPECT_LT(worst, 0.02) << s.name << ": vertices off the surface";
        }
}

TEST(AssetKit, OutlineTextReadsBackThroughTheOutlineReader)
{
    // Multi-digit indices, negative coordinates, a triangle, a quad and a 14-gon.
    Mesh m;
    for (int i = 0; i < 30; ++i)
        m.verts.push_back(v3(std::cos(i * 0.4) * 2 - 1, -0.5 * i, std::sin(i * 0.7)));
    m.faces = {{0, 1, 2}, {3, 4, 5, 6}, {7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}, {29, 21, 25}};
    const std::string text = outlineObjText(m, "test mesh: 4 polygons");
    PolyMesh read;
    read.loadPolygonsFromMemory(text.data(), text.size());
    ASSERT_EQ(read.polygons.size(), m.faces.size());
    for (size_t f = 0; f < m.faces.size(); ++f) {
        ASSERT_EQ(read.polygons[f].points.size(), m.faces[f].size()) << f;
        for (size_t k = 0; k < m.faces[f].size(); ++k) {
            const V3 want = m.verts[m.faces[f][k]];
            const Vec3& got = read.polygons[f].points[k];
            EXPECT_NEAR(got.x, want.x, 1e-5);
            EXPECT_NEAR(got.y, want.y, 1e-5);
            EXPECT_NEAR(got.z, want.z, 1e-5);
        }
    }
}

TEST(AssetKit, JpegRowsComeOutTheWayTheTextureLoaderFlipsThem)
{
    // Images are built with row 0 at the bottom, as GL sees textures; the show's
    // loader puts the first decoded row at the top, so the file must start with
    // the image's top row.
    Image img(32, 16, 0, 0, 0);
    for (int x = 0; x < 32; ++x)
        for (int y = 0; y < 16; ++y) {
            float* p = img.at(x, y);
            p[0] = y < 8 ? 1.0f : 0.0f; // bottom half red
            p[2] = y < 8 ? 0.0f : 1.0f; // top half blue
        }
    const std::vector<uint8_t> bytes = encodeJpeg(img, 95);
    const fs::path file = fs::temp_directory_path() / ("zur_rows_" + std::to_string(getpid()) + ".jpg");
    {
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    std::string error;
    Rgb rgb = decodeWithShowDecoder(file, error);
    fs::remove(file);
    ASSERT_TRUE(error.empty()) << error;
    EXPECT_GT(rgb.at(16, 2)[2], 200) << "first decoded row should be the top (blue)";
    EXPECT_LT(rgb.at(16, 2)[0], 60);
    EXPECT_GT(rgb.at(16, 13)[0], 200) << "last decoded row should be the bottom (red)";
}

TEST(AssetKit, NoiseRepeatsWithItsPeriodSoTexturesTile)
{
    Lcg rng(99);
    for (int i = 0; i < 200; ++i) {
        double x = rng.uniform() * 50 - 25, y = rng.uniform() * 50 - 25;
        EXPECT_DOUBLE_EQ(tileNoise(x, y, 7, 5, 3), tileNoise(x + 7, y, 7, 5, 3));
        EXPECT_DOUBLE_EQ(tileNoise(x, y, 7, 5, 3), tileNoise(x, y - 5, 7, 5, 3));
        EXPECT_NEAR(tileFbm(x, y, 4, 6, 4, 8), tileFbm(x + 4, y + 6, 4, 6, 4, 8), 1e-12);
    }
}

TEST(AssetKit, EveryLetterOfBothTextsIsInTheHand)
{
    for (const std::string text : {"Zoduv Aziridiru", "the end"})
        for (char c : text) {
            if (c == ' ')
                continue;
            double width = 0;
            auto lines = letterStrokes(std::string(1, c), 0, &width);
            EXPECT_FALSE(lines.empty()) << "no strokes for '" << c << "'";
            EXPECT_GT(width, 0.3) << c;
        }
}

// The two texts drawn flat with a round pen of the ribbons' width, black on white,
// and read back by an OCR engine: every letter must read as itself (a 'd' whose
// bowl stops short of its stem reads as "cl").
TEST(AssetKit, BothTextsReadBackAsTheirWordsThroughOcr)
{
    if (std::system("command -v tesseract >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "tesseract is not installed";
    const fs::path dir = fs::temp_directory_path() / ("zur_lettering_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    for (const std::string text : {"Zoduv Aziridiru", "the end"}) {
        double width = 0;
        const auto lines = letterStrokes(text, 0.14, &width);
        const double em = 100, margin = 40, radius = 0.06 * em;
        const int w = int((width + 0.3) * em + 2 * margin), h = int(em + 2 * margin);
        std::vector<unsigned char> image(size_t(w) * h, 255);
        for (const auto& line : lines)
            for (size_t i = 0; i + 1 < line.size(); ++i) {
                const double x0 = margin + line[i].x * em, y0 = margin + (1 - line[i].y) * em;
                const double x1 = margin + line[i + 1].x * em, y1 = margin + (1 - line[i + 1].y) * em;
                const int steps = int(std::hypot(x1 - x0, y1 - y0)) + 1;
                for (int k = 0; k <= steps; ++k) {
                    const double cx = x0 + (x1 - x0) * k / steps, cy = y0 + (y1 - y0) * k / steps;
                    for (int y = std::max(0, int(cy - radius)); y <= std::min(h - 1, int(cy + radius)); ++y)
                        for (int x = std::max(0, int(cx - radius)); x <= std::min(w - 1, int(cx + radius)); ++x)
                            if (std::hypot(x - cx, y - cy) <= radius)
                                image[size_t(y) * w + x] = 0;
                }
            }
        const fs::path file = dir / "text.pgm";
        std::ofstream out(file, std::ios::binary);
        out << "P5\n" << w << " " << h << "\n255\n";
        out.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
        out.close();
        std::string read = commandOutput("tesseract " + file.string() + " stdout --psm 7 2>/dev/null");
        while (!read.empty() && std::isspace(static_cast<unsigned char>(read.back())))
            read.pop_back();
        EXPECT_EQ(read, text);
    }
    fs::remove_all(dir);
}

TEST_F(VisualAssets, TheSolidIsARhombicosidodecahedron)
{
    PolyMesh m;
    m.loadPolygons((dir / "newobjects/solid1.obj").string().c_str());
    std::map<size_t, int> byCorners;
    for (const Polygon& p : m.polygons)
        ++byCorners[p.points.size()];
    EXPECT_EQ(byCorners, (std::map<size_t, int>{{3, 20}, {4, 30}, {5, 12}}));
}

} // namespace
