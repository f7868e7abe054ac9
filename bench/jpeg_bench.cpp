// Decoding speed of the show's JPEG decoder (fast mode) against libjpeg-turbo
// (libjpeg API, JDCT_IFAST, no fancy upsampling, RGBX output: the same work and
// the same bytes out) on photo-like baseline images of about 1, 4 and 12 MP at
// quality 90 in 4:2:0 and 4:4:4, encoded in memory at start-up. Prints megapixels
// per second for each and the ratio ours / libjpeg-turbo, both from the two
// benchmark runs and as the median of rounds in which the decoders take turns.
#include "formats/jpeg_decoder.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

using Bytes = std::vector<uint8_t>;

struct Sample {
    std::string name;
    int width, height;
    Bytes jpeg;
};

// Smooth gradients, soft shapes, texture and noise: compresses like a photograph.
Bytes synthesise(int w, int h)
{
    Bytes rgb(static_cast<size_t>(w) * h * 3);
    uint32_t state = 12345;
    for (int y = 0; y < h; ++y) {
        const double v = static_cast<double>(y) / h;
        for (int x = 0; x < w; ++x) {
            const double u = static_cast<double>(x) / w;
            state = state * 1664525u + 1013904223u;
            const double noise = static_cast<double>((state >> 24) & 15) - 7.5;
            const double blob = std::exp(-((u - 0.4) * (u - 0.4) + (v - 0.55) * (v - 0.55)) * 9.0);
            const double texture = std::sin(x * 0.21 + 2.0 * std::sin(y * 0.013)) * std::sin(y * 0.17 + x * 0.002);
            const double base[3] = {70 + 120 * u + 50 * blob, 60 + 100 * v + 70 * blob, 150 - 90 * u * v + 30 * blob};
            for (int c = 0; c < 3; ++c) {
                const double value = base[c] + 14 * texture + noise;
                rgb[(static_cast<size_t>(y) * w + x) * 3 + c] =
                    static_cast<uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
            }
        }
    }
    return rgb;
}

Bytes encode(const Bytes& rgb, int w, int h, int lumaSampling)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = static_cast<JDIMENSION>(w);
    cinfo.image_height = static_cast<JDIMENSION>(h);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    cinfo.comp_info[0].h_samp_factor = lumaSampling;
    cinfo.comp_info[0].v_samp_factor = lumaSampling;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb.data() + static_cast<size_t>(cinfo.next_scanline) * w * 3);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes result(out, out + outSize);
    std::free(out);
    jpeg_destroy_compress(&cinfo);
    return result;
}

std::vector<Sample>& samples()
{
    static std::vector<Sample> all = [] {
        std::vector<Sample> v;
        const struct {
            const char* size;
            int w, h;
        } sizes[] = {{"1MP", 1152, 864}, {"4MP", 2304, 1728}, {"12MP", 4000, 3000}};
        for (const auto& s : sizes) {
            const Bytes rgb = synthesise(s.w, s.h);
            v.push_back({std::string("420_") + s.size, s.w, s.h, encode(rgb, s.w, s.h, 2)});
            v.push_back({std::string("444_") + s.size, s.w, s.h, encode(rgb, s.w, s.h, 1)});
        }
        return v;
    }();
    return all;
}

class MemoryStream : public jpeg_decoder_stream {
public:
    explicit MemoryStream(const Bytes& d) : data(d) {}
    int32_t read(uint8_t* buffer, int32_t maxBytes, bool* eofFlag) override
    {
        const size_t n = std::min(static_cast<size_t>(maxBytes), data.size() - pos);
        std::memcpy(buffer, data.data() + pos, n);
        pos += n;
        if (pos == data.size())
            *eofFlag = true;
        return static_cast<int32_t>(n);
    }

private:
    const Bytes& data;
    size_t pos = 0;
};

uint32_t decodeOurs(const Bytes& jpeg, bool simd)
{
    MemoryStream stream(jpeg);
    std::unique_ptr<JpegDecoder> dec(new JpegDecoder(&stream, true));
    dec->setSimd(simd);
    if (dec->errorCode() || dec->begin() != 0)
        throw std::runtime_error("decode failed");
    const uint8_t* row;
    uint32_t bytes;
    uint32_t sum = 0;
    while (dec->decodeLine(&row, &bytes) == 0)
        sum += row[0];
    return sum;
}

uint32_t decodeTurbo(const Bytes& jpeg, std::vector<uint8_t>& rowBuffer)
{
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.dct_method = JDCT_IFAST;
    cinfo.do_fancy_upsampling = FALSE;
    cinfo.out_color_space = JCS_EXT_RGBX;
    jpeg_start_decompress(&cinfo);
    rowBuffer.resize(static_cast<size_t>(cinfo.output_width) * 4);
    uint32_t sum = 0;
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = rowBuffer.data();
        jpeg_read_scanlines(&cinfo, &row, 1);
        sum += row[0];
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return sum;
}

void setRate(benchmark::State& state, const Sample& s)
{
    state.counters["MP/s"] =
        benchmark::Counter(static_cast<double>(s.width) * s.height / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Ours(benchmark::State& state, size_t index)
{
    const Sample& s = samples()[index];
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeOurs(s.jpeg, true));
    setRate(state, s);
}

void BM_OursScalar(benchmark::State& state, size_t index)
{
    const Sample& s = samples()[index];
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeOurs(s.jpeg, false));
    setRate(state, s);
}

void BM_Turbo(benchmark::State& state, size_t index)
{
    const Sample& s = samples()[index];
    std::vector<uint8_t> row;
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeTurbo(s.jpeg, row));
    setRate(state, s);
}

// Collects the CPU time per decode of every run so that ratios can be printed at
// the end (CPU time, not wall time: the build machine is shared).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration && r.error_occurred == false)
                seconds[r.benchmark_name()] = r.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> seconds;
};

// CPU time of this thread, in seconds.
double threadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Speed ratios ours / libjpeg-turbo from rounds in which the two decoders take
// turns on the same image (the order alternating from round to round), sorted.
// On a shared machine a slow spell then hits both sides of a round alike, which
// one long run of each, one after the other, does not promise.
std::vector<double> pairedRatios(const Sample& s, int rounds)
{
    std::vector<uint8_t> row;
    const double mp = static_cast<double>(s.width) * s.height / 1e6;
    const int decodes = std::max(1, static_cast<int>(std::lround(12.0 / mp))); // about 12 MP a side per round
    std::vector<double> ratios;
    for (int round = 0; round < rounds; ++round) {
        double oursSeconds = 0, turboSeconds = 0;
        for (int side = 0; side < 2; ++side) {
            const bool oursNow = (side == 0) == (round % 2 == 0);
            const double start = threadSeconds();
            for (int i = 0; i < decodes; ++i)
                benchmark::DoNotOptimize(oursNow ? decodeOurs(s.jpeg, true) : decodeTurbo(s.jpeg, row));
            (oursNow ? oursSeconds : turboSeconds) += threadSeconds() - start;
        }
        ratios.push_back(turboSeconds / oursSeconds);
    }
    std::sort(ratios.begin(), ratios.end());
    return ratios;
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    for (size_t i = 0; i < samples().size(); ++i) {
        const std::string& n = samples()[i].name;
        benchmark::RegisterBenchmark(("ours/" + n).c_str(), BM_Ours, i)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("turbo/" + n).c_str(), BM_Turbo, i)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("ours_scalar/" + n).c_str(), BM_OursScalar, i)->Unit(benchmark::kMillisecond);
    }
    // "ratio" compares the two Google Benchmark runs; "paired" is the median of
    // rounds in which both decoders take turns, with the middle half of those
    // rounds beside it: the figure to quote on a busy machine.
    constexpr int kPairedRounds = 21;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\n%-10s %12s %12s %12s %8s %8s %8s %13s\n", "image", "ours MP/s", "turbo MP/s", "scalar MP/s", "ratio",
                "scalar", "paired", "middle half");
    for (const Sample& s : samples()) {
        const double mp = static_cast<double>(s.width) * s.height / 1e6;
        const auto ours = reporter.seconds.find("ours/" + s.name);
        const auto turbo = reporter.seconds.find("turbo/" + s.name);
        const auto scalar = reporter.seconds.find("ours_scalar/" + s.name);
        if (ours == reporter.seconds.end() || turbo == reporter.seconds.end())
            continue;
        // Adjusted times are in the benchmark's unit (milliseconds).
        const double oursRate = mp / (ours->second / 1e3), turboRate = mp / (turbo->second / 1e3);
        const double scalarRate = scalar != reporter.seconds.end() ? mp / (scalar->second / 1e3) : 0.0;
        const std::vector<double> paired = pairedRatios(s, kPairedRounds);
        std::printf("%-10s %12.1f %12.1f %12.1f %8.2f %8.2f %8.2f %6.2f-%.2f\n", s.name.c_str(), oursRate, turboRate,
                    scalarRate, oursRate / turboRate, scalarRate / turboRate, paired[paired.size() / 2],
                    paired[paired.size() / 4], paired[paired.size() * 3 / 4]);
    }
    benchmark::Shutdown();
    return 0;
}
