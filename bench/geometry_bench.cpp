// Geometry benchmarks: OBJ mesh load throughput against tinyobjloader on the same
// generated 50 MB file, and stroke generation throughput (points per second) on a
// 5000-polygon mesh with hatching. Prints Google Benchmark's table, then a summary
// with the ratio against the peer and the goal.
#include <benchmark/benchmark.h>
#include <tiny_obj_loader.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "formats/obj_mesh.h"
#include "scene/poly_mesh.h"

namespace {

std::string gObjPath;
size_t gObjBytes = 0;

// Deterministic generator for the test data (not the show's generator).
struct Lcg {
    uint32_t s = 12345;
    float next() { return ((s = s * 1664525u + 1013904223u) >> 8) * (1.0f / 16777216.0f); }
};

// Objects of a few thousand vertices with texture coordinates and normals;
// triangles and quads in v/vt/vn form, as exported meshes usually are.
void writeObj(const std::string& path, size_t targetBytes)
{
    FILE* f = std::fopen(path.c_str(), "w");
    Lcg rng;
    size_t written = 0;
    int base = 0, object = 0;
    char line[160];
    while (written < targetBytes) {
        written += std::fprintf(f, "o part%d\n", object++);
        const int grid = 40;
        for (int i = 0; i < grid * grid; ++i) {
            int n = std::snprintf(line, sizeof line, "v %.6f %.6f %.6f\n", i % grid + rng.next(), i / grid + rng.next(),
                                  rng.next() * 10 - 5);
            written += std::fwrite(line, 1, size_t(n), f);
        }
        for (int i = 0; i < grid * grid; ++i)
            written += std::fprintf(f, "vt %.6f %.6f\n", rng.next(), rng.next());
        for (int i = 0; i < grid * grid; ++i)
            written += std::fprintf(f, "vn %.6f %.6f %.6f\n", rng.next() - 0.5f, rng.next() - 0.5f, 1.0f);
        for (int y = 0; y + 1 < grid; ++y)
            for (int x = 0; x + 1 < grid; ++x) {
                int a = base + y * grid + x + 1, b = a + 1, c = a + grid + 1, d = a + grid;
                if ((x + y) % 3 == 0)
                    written += std::fprintf(f, "f %d/%d/%d %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b, c, c, c, d,
                                            d, d);
                else
                    written += std::fprintf(f, "f %d/%d/%d %d/%d/%d %d/%d/%d\nf %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a,
                                            b, b, b, c, c, c, a, a, a, c, c, c, d, d, d);
            }
        base += grid * grid;
    }
    std::fclose(f);
    gObjBytes = std::filesystem::file_size(path);
}

void BM_ObjMeshLoad(benchmark::State& state)
{
    for (auto _ : state) {
        ObjMesh mesh;
        mesh.load(gObjPath.c_str(), false);
        benchmark::DoNotOptimize(mesh.triangleCount);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(gObjBytes));
}

void BM_TinyObjLoad(benchmark::State& state)
{
    for (auto _ : state) {
        tinyobj::attrib_t attrib;
        std::vector<tinyobj::shape_t> shapes;
        std::vector<tinyobj::material_t> materials;
        std::string warn, err;
        tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, gObjPath.c_str());
        benchmark::DoNotOptimize(shapes.size());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(gObjBytes));
}

// A lumpy sphere of 5000 quads seen by a camera 10 units away, as the stroke pass
// places its drawings.
PolyMesh strokeMesh()
{
    PolyMesh mesh;
    const int rings = 50, segments = 100;
    auto at = [](int r, int s) {
        double th = M_PI * r / 50.0, ph = 2 * M_PI * s / 100.0;
        double rad = 2.0 + 0.2 * std::sin(5 * th) * std::cos(3 * ph);
        return Vec3{1, float(rad * std::sin(th) * std::cos(ph)), float(rad * std::cos(th)),
                    float(rad * std::sin(th) * std::sin(ph))};
    };
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            Polygon p;
            p.points = {at(r, s), at(r + 1, s), at(r + 1, s + 1), at(r, s + 1)};
            mesh.addPolygon(p);
        }
    return mesh;
}

const float kCamera[16] = {0.9f, 0.1f, -0.42f, 0, 0, 0.97f, 0.24f, 0, 0.43f, -0.2f, 0.88f, 0, 0.5f, -0.3f, -10, 1};

void BM_GenerateStrokes(benchmark::State& state)
{
    PolyMesh mesh = strokeMesh();
    std::vector<PathSpline> strokes;
    int64_t points = 0;
    double t = 0.0;
    for (auto _ : state) {
        strokes.clear();
        mesh.generateStrokesWithMatrix(kCamera, t, strokes, true, 1.0, 0, 0.0, 1.0);
        points += strokes.back().count;
        t += 0.016;
    }
    state.SetItemsProcessed(points);
    state.counters["points_per_call"] = double(points) / double(state.iterations());
}

BENCHMARK(BM_ObjMeshLoad)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_TinyObjLoad)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_GenerateStrokes)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

// Keeps the rates of each run for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> rate;  // bytes or items per second
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration)
                continue;
            for (const char* key : {"bytes_per_second", "items_per_second"}) {
                auto it = run.counters.find(key);
                if (it != run.counters.end())
                    rate[run.benchmark_name()] = it->second;
            }
        }
    }
};

} // namespace

int main(int argc, char** argv)
{
    gObjPath = (std::filesystem::temp_directory_path() / "geometry_bench_50mb.obj").string();
    writeObj(gObjPath, size_t(50) << 20);
    std::printf("generated %s: %.1f MB\n", gObjPath.c_str(), gObjBytes / 1048576.0);

    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto get = [&](const char* prefix) {
        for (auto& [name, value] : reporter.rate)
            if (name.rfind(prefix, 0) == 0)
                return value;
        return 0.0;
    };
    double ours = get("BM_ObjMeshLoad") / 1048576.0, peer = get("BM_TinyObjLoad") / 1048576.0;
    double strokes = get("BM_GenerateStrokes") / 1e6;
    std::printf("\n%-34s %12s %14s %8s\n", "measure", "ours", "reference", "ratio");
    std::printf("%-34s %9.1f MB/s %9.1f MB/s %7.2fx  (tinyobjloader; goal > 1)\n", "OBJ load, 50 MB file", ours, peer,
                peer > 0 ? ours / peer : 0.0);
    std::printf("%-34s %6.1f Mpts/s %7.1f Mpts/s %7.2fx  (goal >= 1)\n", "generateStrokes, 5000 polygons", strokes, 50.0,
                strokes / 50.0);
    std::remove(gObjPath.c_str());
    return 0;
}
