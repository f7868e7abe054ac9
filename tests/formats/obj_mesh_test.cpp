// OBJ mesh reader: face forms, index rules, vertex sharing, objects, keyword
// quirks, normal generation, malformed input, and agreement with tinyobjloader
// on generated files.
#include <gtest/gtest.h>
#include <tiny_obj_loader.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "formats/obj_mesh.h"
#include "base/random.h"

namespace {

ObjMesh parse(const std::string& text, bool forceNormals = false)
{
    ObjMesh mesh;
    mesh.loadFromMemory(text.data(), text.size(), forceNormals);
    return mesh;
}

std::vector<uint32_t> tri(const ObjMesh& m, int t)
{
    return {m.triangleIndices[3 * t], m.triangleIndices[3 * t + 1], m.triangleIndices[3 * t + 2]};
}

std::vector<float> cornerPosition(const ObjMesh& m, int t, int c)
{
    const MeshVertex& v = m.vertices[m.triangleIndices[3 * t + c]];
    return {v.px, v.py, v.pz};
}

std::string tempPath(const char* name)
{
    return std::string(ZUR_BINARY_DIR) + "/obj_mesh_test_" + name;
}

void writeFile(const std::string& path, const std::string& text)
{
    FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

const char* kSquare = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
                      "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
                      "vn 0 0 1\nvn 0 0 -1\n";

} // namespace

TEST(ObjMesh, FaceFormsAndFan)
{
    struct Case {
        const char* face;
        bool texcoords, normals;  // what the vertices carry
    } cases[] = {
        {"f 1 2 3 4", false, false},
        {"f 1/1 2/2 3/3 4/4", true, false},
        {"f 1/1/1 2/2/1 3/3/1 4/4/1", true, true},
        {"f 1//1 2//1 3//1 4//1", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.face);
        ObjMesh m = parse(std::string(kSquare) + "o sq\n" + c.face + "\n");
        ASSERT_TRUE(m.loaded);
        ASSERT_EQ(m.triangleCount, 2);
        EXPECT_EQ(tri(m, 0), (std::vector<uint32_t>{0, 1, 2}));
        EXPECT_EQ(tri(m, 1), (std::vector<uint32_t>{0, 2, 3}));
        ASSERT_EQ(m.vertices.size(), 4u);
        EXPECT_EQ(cornerPosition(m, 1, 2), (std::vector<float>{0, 1, 0}));
        EXPECT_EQ(m.vertices[2].u, c.texcoords ? 1.0f : 0.0f);
        EXPECT_EQ(m.vertices[2].v, c.texcoords ? 1.0f : 0.0f);
        // The file has "vn" lines, so nothing is generated: forms without normals
        // leave them 0 and still draw with a normal array.
        EXPECT_EQ(m.vertices[2].nz, c.normals ? 1.0f : 0.0f);
        EXPECT_TRUE(m.hasNormals);
    }
    // Only positions: normals are generated, texture coordinates absent.
    ObjMesh bare = parse("v 0 0 0\nv 1 0 0\nv 1 1 0\no a\nf 1 2 3\n");
    EXPECT_TRUE(bare.hasPositions && bare.hasNormals);
    EXPECT_FALSE(bare.hasTexcoords);
    EXPECT_EQ(bare.vertices[1].nz, 1.0f);
    // A face of five vertices continues over a line end while the reads convert numbers.
    ObjMesh m = parse("v 0 0 0\nv 1 0 0\nv 2 1 0\nv 1 2 0\nv 0 1 0\nf 1 2 3\n4 5\n");
    ASSERT_EQ(m.triangleCount, 3);
    EXPECT_EQ(tri(m, 2), (std::vector<uint32_t>{0, 3, 4}));
}

TEST(ObjMesh, NegativeIndicesCountBackFromElementsReadSoFar)
{
    ObjMesh m = parse("v 9 9 9\nv 1 0 0\nv 0 1 0\nv 0 0 1\nf -3 -2 -1\n"
                      "vt 0.5 0.5\nvn 1 0 0\nv 7 7 7\nf -1/-1/-1 -2/-1/-1 -3/-1/-1\n");
    ASSERT_EQ(m.triangleCount, 2);
    EXPECT_EQ(cornerPosition(m, 0, 0), (std::vector<float>{1, 0, 0}));
    EXPECT_EQ(cornerPosition(m, 0, 2), (std::vector<float>{0, 0, 1}));
    EXPECT_EQ(cornerPosition(m, 1, 0), (std::vector<float>{7, 7, 7}));
    EXPECT_EQ(cornerPosition(m, 1, 2), (std::vector<float>{0, 1, 0}));
    EXPECT_EQ(m.vertices[m.triangleIndices[3]].u, 0.5f);
    EXPECT_EQ(m.vertices[m.triangleIndices[3]].nx, 1.0f);
}

TEST(ObjMesh, VerticesAreSharedOnlyWhenEveryFieldMatches)
{
    // Same position, same texture coordinate and normal: one vertex.
    ObjMesh same = parse(std::string(kSquare) + "f 1/1/1 2/2/1 3/3/1\nf 1/1/1 3/3/1 4/4/1\n");
    EXPECT_EQ(same.vertices.size(), 4u);
    EXPECT_EQ(same.vertexBuckets.list(0), (std::vector<uint32_t>{0}));
    // Different texture coordinate at position 1: a second vertex in its bucket.
    ObjMesh tex = parse(std::string(kSquare) + "f 1/1/1 2/2/1 3/3/1\nf 1/4/1 3/3/1 4/4/1\n");
    EXPECT_EQ(tex.vertices.size(), 5u);
    EXPECT_EQ(tex.vertexBuckets.list(0), (std::vector<uint32_t>{0, 3}));
    EXPECT_EQ(tri(tex, 1), (std::vector<uint32_t>{3, 2, 4}));
    // Different normal: separate vertices too.
    ObjMesh nrm = parse(std::string(kSquare) + "f 1//1 2//1 3//1\nf 1//2 3//1 4//1\n");
    EXPECT_EQ(nrm.vertices.size(), 5u);
    // Comparison is bit for bit: 0 and -0 are different records.
    ObjMesh zero = parse("v 0 0 0\nv -0 0 0\nv 1 0 0\nv 0 1 0\nf 1 3 4\nf 2 3 4\n");
    EXPECT_EQ(zero.vertices.size(), 4u);
}

TEST(ObjMesh, ObjectsFromOLines)
{
    ObjMesh none = parse(std::string(kSquare) + "f 1 2 3\nf 1 3 4\n");
    EXPECT_EQ(none.objectStarts, (std::vector<int32_t>{2}));

    ObjMesh some = parse(std::string(kSquare) + "f 1 2 3\no a\nf 1 3 4\nf 1 2 4\no b\no c\nf 2 3 4\n");
    EXPECT_EQ(some.objectStarts, (std::vector<int32_t>{1, 3, 3, 4}));

    // "o my part": "my" is the name, "part" is read as a keyword and takes the
    // rest of the line with it (the face on that line is lost).
    ObjMesh named = parse(std::string(kSquare) + "o my part f 1 2 3\nf 1 3 4\n");
    EXPECT_EQ(named.triangleCount, 1);
    EXPECT_EQ(named.objectStarts, (std::vector<int32_t>{0, 1}));
    // The name is the next token even across a line end.
    ObjMesh bare = parse(std::string(kSquare) + "o\nf 1 2 3\nf 1 3 4\n");
    EXPECT_EQ(bare.triangleCount, 1);
}

TEST(ObjMesh, KeywordQuirksKeptForStoredFiles)
{
    // Third texture component: read as a token, the rest of its line skipped.
    ObjMesh vt = parse("vt 0.5 0.25 0 f 1 2 3\nvt 0.75 1\n");
    EXPECT_EQ(vt.texcoordCount, 2);
    EXPECT_EQ(vt.texcoords, (std::vector<float>{0.5f, 0.25f, 0.75f, 1.0f}));
    // "vp": nothing counted or skipped; "1" is an unknown keyword taking the line.
    ObjMesh vp = parse("vp 1 2 3\nv 4 5 6\n");
    EXPECT_EQ(vp.positionCount, 1);
    EXPECT_EQ(vp.positions, (std::vector<float>{4, 5, 6}));
    // Keywords by first character (two for "v"): "vnormal" is a normal, "face" a face,
    // "usemtl", "mtllib", "s", "g" and comments are skipped.
    ObjMesh words = parse("v 0 0 0\nv 1 0 0\nv 0 1 0\nvnormal 0 0 1\nmtllib x\nusemtl y\ng z\ns 1\n# c\n"
                          "face 1//1 2//1 3//1\n");
    EXPECT_EQ(words.normalCount, 1);
    EXPECT_EQ(words.triangleCount, 1);
    EXPECT_EQ(words.vertices[0].nz, 1.0f);
    // A fourth position component is read as a keyword and skips its line.
    ObjMesh w = parse("v 1 2 3 1.0 f\nv 4 5 6\n");
    EXPECT_EQ(w.positionCount, 2);
}

TEST(ObjMesh, GeneratedNormals)
{
    // Two triangles share vertex 0; the larger one weighs more.
    ObjMesh m = parse("v 0 0 0\nv 2 0 0\nv 0 2 0\nv 0 0 1\nf 1 2 3\nf 1 4 2\n");
    ASSERT_TRUE(m.hasNormals);
    const MeshVertex& shared = m.vertices[0];
    // (0,0,4) + (0,2,0) normalised.
    EXPECT_NEAR(shared.nz, 4 / std::sqrt(20.0), 1e-6);
    EXPECT_NEAR(shared.ny, 2 / std::sqrt(20.0), 1e-6);
    EXPECT_FLOAT_EQ(m.vertices[2].nz, 1.0f);
    // A vertex touched only by degenerate triangles gets a defined normal.
    ObjMesh flat = parse("v 0 0 0\nv 1 1 1\nv 2 2 2\nf 1 2 3\n");
    for (const MeshVertex& v : flat.vertices) {
        EXPECT_FALSE(std::isnan(v.nx) || std::isnan(v.ny) || std::isnan(v.nz));
        EXPECT_EQ(v.nz, 1.0f);
    }
    // File normals stay unless regeneration is forced.
    std::string text = std::string(kSquare) + "f 1//2 2//2 3//2\n";
    EXPECT_EQ(parse(text).vertices[0].nz, -1.0f);
    EXPECT_EQ(parse(text, true).vertices[0].nz, 1.0f);
}

TEST(ObjMesh, FacesNamingMissingElementsAreSkipped)
{
    const char* bad[] = {
        "f 0 1 2",        // zero
        "f 1 2 9",        // beyond the count
        "f -1 -2 -9",     // too far back
        "f 1/9 2/1 3/1",  // texture coordinate beyond its count
        "f 1//3 2//1 3//1",
        "f 1/1/1 2/2/1 3",  // a corner without the form's numbers
        "f x y z",
        "f 5 6 7\nv 0 0 0\nv 0 0 0\nv 0 0 0",  // forward reference
        "f 1 2 99999999999",
    };
    for (const char* face : bad) {
        SCOPED_TRACE(face);
        ObjMesh m = parse(std::string(kSquare) + "o a\n" + face + "\nf 1 2 3\n");
        EXPECT_EQ(m.triangleCount, 1);
        EXPECT_EQ(m.objectStarts, (std::vector<int32_t>{0, 1}));
        EXPECT_EQ(cornerPosition(m, 0, 1), (std::vector<float>{1, 0, 0}));
    }
}

TEST(ObjMesh, OverlongTokensAndLinesAreContained)
{
    std::string longWord(5000, 'x');
    ObjMesh m = parse("# " + longWord + " v 9 9 9\no " + longWord + "\nv 1 2 3\n" + longWord +
                      "\nv 4 5 6\nv 7 8 9\nf 1 2 3 " + longWord + "\n");
    EXPECT_EQ(m.positionCount, 3);
    EXPECT_EQ(m.triangleCount, 1);
    ObjMesh face = parse("v 0 0 0\nv 1 0 0\nv 0 1 0\nf " + std::string(400, '1') + " 2 3\nf 1 2 3\n");
    EXPECT_EQ(face.triangleCount, 1);
}

TEST(ObjMesh, LoadFromFileReseedsAndKeepsMeshOnMissingFile)
{
    ObjMesh m;
    EXPECT_FALSE(m.load("/nonexistent/dir/mesh.obj", false));
    EXPECT_FALSE(m.loaded);
    EXPECT_EQ(m.triangleCount, 0);

    std::string path = tempPath("small.obj");
    writeFile(path, std::string(kSquare) + "o a\nf 1 2 3 4\n");
    rng::srand(99);
    ASSERT_TRUE(m.load(path.c_str(), false));
    int after = rng::rand();
    rng::srand(123456);
    EXPECT_EQ(after, rng::rand());
    EXPECT_TRUE(m.loaded && m.hasPositions && m.hasTexcoords && m.hasNormals);
    EXPECT_EQ(m.positionCount, 4);
    EXPECT_EQ(m.texcoordCount, 4);
    EXPECT_EQ(m.normalCount, 2);
    EXPECT_EQ(m.triangleCount, 2);

    EXPECT_FALSE(m.load("/nonexistent/dir/mesh.obj", false));
    EXPECT_TRUE(m.loaded);
    EXPECT_EQ(m.triangleCount, 2);
    std::remove(path.c_str());
}

// Generated meshes in every face form, with negative indices, several objects and
// polygons of up to six corners. tinyobjloader reads the same file without
// triangulation; its polygons are cut into the same fans here.
TEST(ObjMesh, AgreesWithTinyObjLoader)
{
    std::mt19937 gen(7);
    std::uniform_real_distribution<float> coord(-50.0f, 50.0f);
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        std::string text = "# generated\n";
        int positions = 0, texcoords = 0, normals = 0;
        char line[256];
        for (int object = 0; object < 3; ++object) {
            std::snprintf(line, sizeof line, "o part%d\n", object);
            text += line;
            for (int i = 0; i < 40; ++i, ++positions) {
                std::snprintf(line, sizeof line, "v %.5f %.5f %.5f\n", coord(gen), coord(gen), coord(gen));
                text += line;
            }
            for (int i = 0; i < 10; ++i, ++texcoords) {
                std::snprintf(line, sizeof line, "vt %.4f %.4f\n", coord(gen) / 50, coord(gen) / 50);
                text += line;
            }
            for (int i = 0; i < 10; ++i, ++normals) {
                std::snprintf(line, sizeof line, "vn %.4f %.4f %.4f\n", coord(gen), coord(gen), coord(gen));
                text += line;
            }
            int form = (round + object) % 4;
            for (int face = 0; face < 60; ++face) {
                int corners = 3 + int(gen() % 4);
                text += "f";
                for (int c = 0; c < corners; ++c) {
                    int v = 1 + int(gen() % positions), t = 1 + int(gen() % texcoords), n = 1 + int(gen() % normals);
                    if (gen() % 3 == 0)
                        v = v - positions - 1;  // the same element, counted back
                    switch (form) {
                    case 0: std::snprintf(line, sizeof line, " %d", v); break;
                    case 1: std::snprintf(line, sizeof line, " %d/%d", v, t); break;
                    case 2: std::snprintf(line, sizeof line, " %d/%d/%d", v, t, n); break;
                    default: std::snprintf(line, sizeof line, " %d//%d", v, n); break;
                    }
                    text += line;
                }
                text += "\n";
            }
        }
        std::string path = tempPath("oracle.obj");
        writeFile(path, text);

        ObjMesh ours;
        ASSERT_TRUE(ours.load(path.c_str(), false));

        tinyobj::attrib_t attrib;
        std::vector<tinyobj::shape_t> shapes;
        std::vector<tinyobj::material_t> materials;
        std::string warn, err;
        ASSERT_TRUE(tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, path.c_str(), nullptr, false));

        std::vector<float> theirs;  // three floats per triangle corner
        int theirTriangles = 0;
        for (const tinyobj::shape_t& shape : shapes) {
            size_t offset = 0;
            for (unsigned char n : shape.mesh.num_face_vertices) {
                auto at = [&](size_t k) {
                    int vi = shape.mesh.indices[offset + k].vertex_index;
                    for (int a = 0; a < 3; ++a)
                        theirs.push_back(attrib.vertices[3 * vi + a]);
                };
                for (size_t k = 2; k < n; ++k) {
                    at(0);
                    at(k - 1);
                    at(k);
                    ++theirTriangles;
                }
                offset += n;
            }
        }
        ASSERT_EQ(ours.triangleCount, theirTriangles);
        for (int t = 0; t < theirTriangles; ++t)
            for (int c = 0; c < 3; ++c) {
                std::vector<float> p = cornerPosition(ours, t, c);
                for (int a = 0; a < 3; ++a)
                    ASSERT_NEAR(p[a], theirs[9 * t + 3 * c + a], 1e-4f) << "triangle " << t << " corner " << c;
            }
        EXPECT_EQ(ours.objectStarts.size(), 4u);
        std::remove(path.c_str());
    }
}

// Text no writer of OBJ produces is counted line by line; every mesh of the show
// as the asset generator writes it has none, and a changed character is found.
TEST(ObjMesh, MalformedLinesAreCountedAndTheShowsMeshesHaveNone)
{
    const struct {
        const char* text;
        size_t malformed;
    } rows[] = {
        {"v 1 2 3\nf 1// 2// 3//\n", 0},
        {"# made by hand\no a\ng b\ns off\nvt 0.5 0.5\nvn 0 0 1\nv -1e-3 +2 3\nf 1/1/1 2/2/2 3/3/3\nf -1 -2 -3\n", 0},
        {"v 1 2 3\r\nf 1 2 3\r\n", 0},
        {"v 1.2i45 2 3\n", 1},
        {"v 1 2 3\nf 1// 2x// 3//\n", 1},
        {"vx 1 2\nf 1/2/3/4 1 2\nf\n", 3},
    };
    for (const auto& row : rows)
        EXPECT_EQ(malformedObjLines(row.text, std::strlen(row.text)), row.malformed) << row.text;

    const std::filesystem::path meshes = std::filesystem::path(ZUR_SHOW_DIR) / "newobjects";
    if (!std::filesystem::exists(meshes))
        GTEST_SKIP() << "needs the generated assets";
    for (const auto& entry : std::filesystem::directory_iterator(meshes)) {
        if (entry.path().extension() != ".obj")
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(malformedObjLines(text.data(), text.size()), 0u) << entry.path();
        // One byte in 2000 changed, as the damage sweep does.
        for (size_t i = 2000; i < text.size(); i += 2000)
            text[i] = static_cast<char>(text[i] ^ 0x5A);
        if (text.size() > 2000) {
            EXPECT_GT(malformedObjLines(text.data(), text.size()), 0u) << entry.path();
        }
    }
}
