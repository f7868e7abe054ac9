// JPEG decoder against libjpeg-turbo's command-line tools as the oracle: the tests
// synthesise photo-like images, encode them with cjpeg/jpegtran into a corpus
// cached in the build folder, and compare every decoded row with djpeg's output.
#include "formats/jpeg_decoder.h"
#include "formats/jpeg_kernels.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

// ---------------------------------------------------------------------------
// Helpers: streams, files, images
// ---------------------------------------------------------------------------

class MemoryStream : public jpeg_decoder_stream {
public:
    explicit MemoryStream(Bytes data, int32_t chunk = 1 << 30) : bytes(std::move(data)), chunkLimit(chunk) {}
    int32_t read(uint8_t* buffer, int32_t maxBytes, bool* eofFlag) override
    {
        ++reads;
        if (failAtRead >= 0 && reads > failAtRead)
            return -1;
        size_t n = std::min<size_t>(static_cast<size_t>(std::min(maxBytes, chunkLimit)), bytes.size() - pos);
        std::memcpy(buffer, bytes.data() + pos, n);
        pos += n;
        if (pos == bytes.size())
            *eofFlag = true;
        return static_cast<int32_t>(n);
    }
    void attach() override { ++attaches; }
    void detach() override { ++detaches; }

    Bytes bytes;
    size_t pos = 0;
    int32_t chunkLimit;
    int failAtRead = -1;
    int reads = 0, attaches = 0, detaches = 0;
};

struct Image {
    int width = 0, height = 0, channels = 0; // channels 1 or 3
    Bytes pixels;
    uint8_t at(int x, int y, int c) const { return pixels[(static_cast<size_t>(y) * width + x) * channels + c]; }
};

struct Decoded {
    int32_t constructError = 0;
    int32_t beginResult = 0;
    int32_t error = 0;     // errorCode() at the end
    int32_t damage = 0;    // damage() at the end
    int32_t lineStatus = 0; // first non-zero decodeLine result
    int rows = 0;
    Image image;
    bool fourthByteZero = true;
    bool rowBytesRight = true;
};

Decoded decodeBytes(const Bytes& data, bool fast, bool simd = true, size_t memoryLimit = 0)
{
    MemoryStream stream(data, 1000); // small chunks exercise the refill path
    Decoded d;
    std::unique_ptr<JpegDecoder> dec(new JpegDecoder(&stream, fast));
    d.constructError = dec->errorCode();
    dec->setSimd(simd);
    if (memoryLimit)
        dec->setMemoryLimit(memoryLimit);
    d.beginResult = dec->begin();
    d.image.width = dec->width();
    d.image.height = dec->height();
    d.image.channels = dec->bytesPerPixel() == 4 ? 3 : 1;
    if (d.beginResult == 0) {
        d.image.pixels.reserve(static_cast<size_t>(d.image.width) * d.image.height * d.image.channels);
        for (;;) {
            const uint8_t* row = nullptr;
            uint32_t bytes = 0;
            const int32_t r = dec->decodeLine(&row, &bytes);
            if (r != 0) {
                d.lineStatus = r;
                break;
            }
            ++d.rows;
            if (bytes != static_cast<uint32_t>(d.image.width * dec->bytesPerPixel()))
                d.rowBytesRight = false;
            for (int x = 0; x < d.image.width; ++x) {
                if (d.image.channels == 3) {
                    d.image.pixels.insert(d.image.pixels.end(), row + 4 * x, row + 4 * x + 3);
                    if (row[4 * x + 3] != 0)
                        d.fourthByteZero = false;
                } else {
                    d.image.pixels.push_back(row[x]);
                }
            }
            if (d.rows > d.image.height + 2)
                break;
        }
    }
    d.error = dec->errorCode();
    d.damage = dec->damage();
    return d;
}

Bytes readFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& p, const Bytes& b)
{
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// Binary PPM/PGM as djpeg writes them.
bool readPnm(const fs::path& p, Image& img)
{
    const Bytes b = readFile(p);
    size_t i = 0;
    auto token = [&]() {
        while (i < b.size() && std::isspace(b[i]))
            ++i;
        std::string t;
        while (i < b.size() && !std::isspace(b[i]))
            t.push_back(static_cast<char>(b[i++]));
        return t;
    };
    const std::string magic = token();
    if (magic != "P5" && magic != "P6")
        return false;
    img.channels = magic == "P6" ? 3 : 1;
    img.width = std::stoi(token());
    img.height = std::stoi(token());
    if (token() != "255")
        return false;
    ++i;
    const size_t n = static_cast<size_t>(img.width) * img.height * img.channels;
    if (b.size() < i + n)
        return false;
    img.pixels.assign(b.begin() + static_cast<std::ptrdiff_t>(i), b.begin() + static_cast<std::ptrdiff_t>(i + n));
    return true;
}

void writePnm(const fs::path& p, const Image& img)
{
    std::string header = (img.channels == 3 ? "P6\n" : "P5\n") + std::to_string(img.width) + " " +
                         std::to_string(img.height) + "\n255\n";
    Bytes b(header.begin(), header.end());
    b.insert(b.end(), img.pixels.begin(), img.pixels.end());
    writeFile(p, b);
}

// Photo-like test picture: smooth gradients, a few soft shapes, fine texture and
// noise, from a fixed-seed generator so the corpus is the same on every run.
Image synthesise(int w, int h, int channels, uint32_t seed)
{
    Image img;
    img.width = w;
    img.height = h;
    img.channels = channels;
    img.pixels.resize(static_cast<size_t>(w) * h * channels);
    uint32_t state = seed;
    auto noise = [&]() {
        state = state * 1664525u + 1013904223u;
        return static_cast<int>((state >> 24) & 31) - 16;
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double u = static_cast<double>(x) / std::max(1, w - 1), v = static_cast<double>(y) / std::max(1, h - 1);
            const double blob = std::exp(-((u - 0.35) * (u - 0.35) + (v - 0.6) * (v - 0.6)) * 18.0);
            const double texture = std::sin(x * 0.31 + std::sin(y * 0.07) * 3.0) * std::cos(y * 0.23);
            for (int c = 0; c < channels; ++c) {
                double value = 40 + 150 * (c == 0 ? u : (c == 1 ? v : 1 - u * v)) + 60 * blob * (c + 1) / 3.0 +
                               18 * texture * (c == 2 ? -1 : 1) + noise();
                if (((x / 37) + (y / 29)) % 5 == 0)
                    value = 255 - value; // hard edges
                img.pixels[(static_cast<size_t>(y) * w + x) * channels + c] =
                    static_cast<uint8_t>(std::lround(std::min(255.0, std::max(0.0, value))));
            }
        }
    return img;
}

bool run(const std::string& cmd) { return std::system((cmd + " 2>/dev/null").c_str()) == 0; }

bool haveTools()
{
    static const bool ok = run("cjpeg -version >/dev/null") && run("djpeg -version >/dev/null") &&
                           run("jpegtran -version >/dev/null");
    return ok;
}

// ---------------------------------------------------------------------------
// The corpus: generated once, cached in the build folder.
// ---------------------------------------------------------------------------

struct CorpusCase {
    const char* name;
    int width, height, channels;
    const char* cjpegArgs;
};

const CorpusCase kCorpus[] = {
    {"base_444", 203, 151, 3, "-quality 90 -sample 1x1"},
    {"base_422", 203, 151, 3, "-quality 90 -sample 2x1"},
    {"base_440", 203, 151, 3, "-quality 90 -sample 1x2"},
    {"base_420", 203, 151, 3, "-quality 90 -sample 2x2"},
    {"base_q100", 203, 151, 3, "-quality 100 -sample 1x1"},
    {"base_q50_opt", 203, 151, 3, "-quality 50 -optimize -sample 2x2"},
    {"grey", 203, 151, 1, "-quality 90"},
    {"grey_from_colour", 203, 151, 3, "-quality 85 -grayscale"},
    {"prog_420", 203, 151, 3, "-quality 90 -progressive -sample 2x2"},
    {"prog_444", 203, 151, 3, "-quality 90 -progressive -sample 1x1"},
    {"prog_422", 203, 151, 3, "-quality 90 -progressive -sample 2x1"},
    {"prog_440", 203, 151, 3, "-quality 90 -progressive -sample 1x2"},
    {"prog_grey", 203, 151, 1, "-quality 90 -progressive"},
    {"restart_rows", 203, 151, 3, "-quality 90 -restart 1 -sample 2x2"},
    {"restart_mcus", 203, 151, 3, "-quality 90 -restart 5B -sample 2x1"},
    {"restart_prog", 203, 151, 3, "-quality 90 -progressive -restart 3B -sample 2x2"},
    {"restart_grey", 203, 151, 1, "-quality 90 -restart 7B"},
    {"tiny_1x1", 1, 1, 3, "-quality 90 -sample 2x2"},
    {"tiny_1x1_grey", 1, 1, 1, "-quality 90"},
    {"odd_17x9_420", 17, 9, 3, "-quality 90 -sample 2x2"},
    {"odd_17x9_440", 17, 9, 3, "-quality 90 -sample 1x2"},
    {"odd_17x9_prog", 17, 9, 3, "-quality 90 -progressive -sample 2x2"},
    {"large_1023x767_420", 1023, 767, 3, "-quality 90 -sample 2x2"},
    {"large_1023x767_prog", 1023, 767, 3, "-quality 90 -progressive -sample 1x1"},
    {"quant16_extended", 203, 151, 3, "-quality 3 -sample 2x2"},
    {"quant16_prog", 203, 151, 3, "-quality 2 -progressive -sample 1x1"},
    {"multiscan_sequential", 203, 151, 3, "-quality 90 -scans @SEQSCANS@"},
};

fs::path corpusDir()
{
    static const fs::path dir = [] {
        const fs::path d = fs::path(ZUR_BINARY_DIR) / "jpeg_test_corpus" / "v1";
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

// Writes path via a temporary name so that parallel test processes never see a
// half-written file.
bool produce(const fs::path& path, const std::function<bool(const fs::path&)>& make)
{
    if (fs::exists(path))
        return true;
    const fs::path tmp = path.string() + ".tmp" + std::to_string(getpid());
    if (!make(tmp)) {
        fs::remove(tmp);
        return false;
    }
    fs::rename(tmp, path);
    return true;
}

struct CorpusFile {
    std::string name;
    fs::path jpeg;
    fs::path reference; // djpeg -dct int -nosmooth
    bool progressive = false;
};

// The JPEG and its reference decode for one case.
bool buildCase(const CorpusCase& c, CorpusFile& out)
{
    const fs::path dir = corpusDir();
    const fs::path source = dir / (std::string(c.name) + (c.channels == 3 ? ".ppm" : ".pgm"));
    out.name = c.name;
    out.jpeg = dir / (std::string(c.name) + ".jpg");
    out.reference = dir / (std::string(c.name) + ".ref.pnm");
    out.progressive = std::strstr(c.cjpegArgs, "-progressive") != nullptr;
    const fs::path scans = dir / "sequential.scans";
    bool ok = produce(scans, [](const fs::path& p) {
        std::ofstream(p) << "0;\n1;\n2;\n";
        return true;
    });
    ok = ok && produce(source, [&](const fs::path& p) {
             writePnm(p, synthesise(c.width, c.height, c.channels, 1234u + c.width * 7u + c.height));
             return true;
         });
    std::string args = c.cjpegArgs;
    const size_t at = args.find("@SEQSCANS@");
    if (at != std::string::npos)
        args.replace(at, 10, "'" + scans.string() + "'");
    ok = ok && produce(out.jpeg, [&](const fs::path& p) {
             return run("cjpeg " + args + " -outfile '" + p.string() + "' '" + source.string() + "'");
         });
    ok = ok && produce(out.reference, [&](const fs::path& p) {
             return run("djpeg -dct int -nosmooth -outfile '" + p.string() + "' '" + out.jpeg.string() + "'");
         });
    return ok;
}

const std::vector<CorpusFile>& corpus()
{
    static const std::vector<CorpusFile> files = [] {
        std::vector<CorpusFile> v;
        for (const CorpusCase& c : kCorpus) {
            CorpusFile f;
            if (buildCase(c, f))
                v.push_back(f);
            else
                ADD_FAILURE() << "could not build corpus case " << c.name;
        }
        return v;
    }();
    return files;
}

const CorpusFile& corpusFile(const std::string& name)
{
    for (const CorpusFile& f : corpus())
        if (f.name == name)
            return f;
    static CorpusFile none;
    ADD_FAILURE() << "no corpus file " << name;
    return none;
}

#define REQUIRE_TOOLS()                                                                                  \
    do {                                                                                                 \
        if (!haveTools())                                                                                \
            GTEST_SKIP() << "libjpeg-turbo tools (cjpeg, djpeg, jpegtran) are not installed";            \
    } while (0)

struct Difference {
    int maxAbs = 0;
    double psnr = 0;
};

Difference compare(const Image& a, const Image& b)
{
    Difference d;
    double sum = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        const int e = std::abs(static_cast<int>(a.pixels[i]) - static_cast<int>(b.pixels[i]));
        d.maxAbs = std::max(d.maxAbs, e);
        sum += static_cast<double>(e) * e;
    }
    const double mse = sum / static_cast<double>(std::max<size_t>(1, a.pixels.size()));
    d.psnr = mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
    return d;
}

// Segment-level editing of a JPEG file: markers with their payloads; the
// entropy-coded data after each SOS is kept as a segment of marker 0.
struct Segment {
    uint8_t marker;
    Bytes payload; // without the length field; raw bytes for marker 0
};

std::vector<Segment> splitSegments(const Bytes& f)
{
    std::vector<Segment> out;
    size_t i = 2; // after SOI
    while (i + 1 < f.size()) {
        const uint8_t m = f[i + 1];
        i += 2;
        if (m == 0xD9) {
            out.push_back({m, {}});
            break;
        }
        const size_t len = (static_cast<size_t>(f[i]) << 8) | f[i + 1];
        out.push_back({m, Bytes(f.begin() + static_cast<std::ptrdiff_t>(i + 2), f.begin() + static_cast<std::ptrdiff_t>(i + len))});
        i += len;
        if (m == 0xDA) {
            size_t j = i;
            while (j + 1 < f.size() && !(f[j] == 0xFF && f[j + 1] != 0 && (f[j + 1] < 0xD0 || f[j + 1] > 0xD7)))
                ++j;
            out.push_back({0, Bytes(f.begin() + static_cast<std::ptrdiff_t>(i), f.begin() + static_cast<std::ptrdiff_t>(j))});
            i = j;
        }
    }
    return out;
}

Bytes joinSegments(const std::vector<Segment>& segs)
{
    Bytes f = {0xFF, 0xD8};
    for (const Segment& s : segs) {
        if (s.marker == 0) {
            f.insert(f.end(), s.payload.begin(), s.payload.end());
            continue;
        }
        f.push_back(0xFF);
        f.push_back(s.marker);
        if (s.marker == 0xD9)
            continue;
        const size_t len = s.payload.size() + 2;
        f.push_back(static_cast<uint8_t>(len >> 8));
        f.push_back(static_cast<uint8_t>(len));
        f.insert(f.end(), s.payload.begin(), s.payload.end());
    }
    return f;
}

Segment* findSegment(std::vector<Segment>& segs, uint8_t marker, int nth = 0)
{
    for (Segment& s : segs)
        if (s.marker == marker && nth-- == 0)
            return &s;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Conformance against djpeg
// ---------------------------------------------------------------------------

TEST(JpegDecoder, AccurateModeMatchesDjpegWithinOne)
{
    REQUIRE_TOOLS();
    for (const CorpusFile& f : corpus()) {
        SCOPED_TRACE(f.name);
        Image ref;
        ASSERT_TRUE(readPnm(f.reference, ref));
        const Decoded d = decodeBytes(readFile(f.jpeg), false);
        ASSERT_EQ(d.constructError, 0);
        ASSERT_EQ(d.beginResult, 0) << d.error;
        EXPECT_EQ(d.lineStatus, 1) << "error " << d.error;
        ASSERT_EQ(d.rows, ref.height);
        ASSERT_EQ(d.image.width, ref.width);
        ASSERT_EQ(d.image.channels, ref.channels);
        EXPECT_TRUE(d.rowBytesRight);
        EXPECT_TRUE(d.fourthByteZero);
        EXPECT_LE(compare(d.image, ref).maxAbs, 1);
    }
}

// Fast mode against the accurate reference: at least 45 dB, and never worse than
// libjpeg-turbo's own fast IDCT on the same file. Quality 100 (all-ones tables)
// is the one place where pre-scaled 16-bit tables lose too much precision to
// reach 45 dB, for libjpeg-turbo's fast IDCT as much as for ours; it is held to
// the peer comparison only.
TEST(JpegDecoder, FastModeStaysAbove45DbAgainstAccurateReference)
{
    REQUIRE_TOOLS();
    double minimum = 1e9;
    std::string worst;
    for (const CorpusFile& f : corpus()) {
        SCOPED_TRACE(f.name);
        Image ref, peer;
        ASSERT_TRUE(readPnm(f.reference, ref));
        const fs::path peerPath = corpusDir() / (f.name + ".fast.pnm");
        ASSERT_TRUE(produce(peerPath, [&](const fs::path& p) {
            return run("djpeg -dct fast -nosmooth -outfile '" + p.string() + "' '" + f.jpeg.string() + "'");
        }));
        ASSERT_TRUE(readPnm(peerPath, peer));
        const Decoded d = decodeBytes(readFile(f.jpeg), true);
        ASSERT_EQ(d.beginResult, 0) << d.error;
        ASSERT_EQ(d.rows, ref.height);
        const Difference diff = compare(d.image, ref);
        EXPECT_GE(diff.psnr, compare(peer, ref).psnr - 0.1);
        if (f.name == "base_q100")
            continue;
        EXPECT_GE(diff.psnr, 45.0);
        if (diff.psnr < minimum) {
            minimum = diff.psnr;
            worst = f.name;
        }
    }
    std::printf("fast mode: minimum PSNR %.2f dB (%s)\n", minimum, worst.c_str());
}

TEST(JpegDecoder, SimdAndScalarKernelsGiveIdenticalBytes)
{
    REQUIRE_TOOLS();
    for (const CorpusFile& f : corpus()) {
        SCOPED_TRACE(f.name);
        const Bytes data = readFile(f.jpeg);
        const Decoded simd = decodeBytes(data, true, true);
        const Decoded scalar = decodeBytes(data, true, false);
        ASSERT_EQ(simd.rows, scalar.rows);
        EXPECT_TRUE(simd.image.pixels == scalar.image.pixels);
    }
}

TEST(JpegKernels, FastIdctSimdEqualsScalarOnExtremeAndRandomBlocks)
{
    uint32_t state = 99;
    auto next = [&]() {
        state = state * 1103515245u + 12345u;
        return state >> 8;
    };
    alignas(16) int16_t coef[64], quant[64];
    uint8_t a[8 * 12], b[8 * 12];
    for (int trial = 0; trial < 20000; ++trial) {
        const int mode = trial % 4;
        for (int i = 0; i < 64; ++i) {
            // Realistic, sparse, large, and full-range (wrapping) inputs.
            const int32_t r = static_cast<int32_t>(next());
            coef[i] = static_cast<int16_t>(mode == 0   ? (i < 10 ? r % 200 - 100 : 0)
                                           : mode == 1 ? (r % 7 == 0 ? r % 60 - 30 : 0)
                                           : mode == 2 ? r % 4096 - 2048
                                                       : r);
            quant[i] = static_cast<int16_t>(mode == 3 ? next() : 1 + next() % 2000);
        }
        std::memset(a, 0xAA, sizeof a);
        std::memset(b, 0xAA, sizeof b);
        jpegk::idctFastScalar(coef, quant, a, 12);
        jpegk::idctFastSimd(coef, quant, b, 12);
        ASSERT_EQ(0, std::memcmp(a, b, sizeof a)) << "trial " << trial;
    }
}

TEST(JpegKernels, FastIdctIsCloseToTheExactTransform)
{
    // Coefficients dequantised through pre-scaled tables q' = (q * S + 2048) >> 12,
    // S = 16384 a(row) a(col); the exact transform sees what q' really encodes.
    const double pi = 3.14159265358979323846;
    auto a = [&](int u) { return u == 0 ? 1.0 : std::cos(u * pi / 16) * std::sqrt(2.0); };
    uint32_t state = 7;
    double worst = 0, sumError = 0;
    int samples = 0;
    for (int trial = 0; trial < 2000; ++trial) {
        double f[64];
        alignas(16) int16_t coef[64], quant[64];
        for (int k = 0; k < 64; ++k) {
            state = state * 1103515245u + 12345u;
            const int row = k / 8, col = k % 8;
            const int32_t v = (row + col < 6) ? static_cast<int32_t>((state >> 16) % 41) - 20 : 0;
            const int q = 2 + (k * 3) % 11;
            const int32_t scale = static_cast<int32_t>(std::lround(16384 * a(row) * a(col)));
            coef[k] = static_cast<int16_t>(v);
            quant[k] = static_cast<int16_t>((q * scale + 2048) >> 12);
            f[k] = v * quant[k] * 4096.0 / scale;
        }
        uint8_t out[64];
        jpegk::idctFastScalar(coef, quant, out, 8);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                double s = 0;
                for (int v = 0; v < 8; ++v)
                    for (int u = 0; u < 8; ++u)
                        s += (u ? 1 : std::sqrt(0.5)) * (v ? 1 : std::sqrt(0.5)) * f[v * 8 + u] *
                             std::cos((2 * x + 1) * u * pi / 16) * std::cos((2 * y + 1) * v * pi / 16);
                const double exact = std::min(255.0, std::max(0.0, s / 4 + 128));
                const double e = out[y * 8 + x] - exact;
                worst = std::max(worst, std::fabs(e));
                sumError += e;
                ++samples;
            }
    }
    EXPECT_LT(worst, 3.5);
    // The truncating shifts pull results down by under one step on average.
    EXPECT_LT(std::fabs(sumError / samples), 1.0);
}

TEST(JpegKernels, ColourConversionSimdEqualsTablesForAllChromaPairs)
{
    jpegk::ColourTables t;
    jpegk::buildColourTables(t);
    // Every (Cb, Cr) pair against a spread of luma values; one row per Cr.
    uint8_t y[256 + 32], cb[256 + 32], cr[256 + 32];
    alignas(16) uint8_t a[4 * (256 + 32)], b[4 * (256 + 32)];
    for (int lumaStep = 0; lumaStep < 256; lumaStep += 15)
        for (int red = 0; red < 256; ++red) {
            for (int i = 0; i < 256 + 32; ++i) {
                y[i] = static_cast<uint8_t>((i * 7 + lumaStep) & 255);
                cb[i] = static_cast<uint8_t>(i);
                cr[i] = static_cast<uint8_t>(red);
            }
            for (int shift = 0; shift < 2; ++shift) {
                std::memset(a, 0x5C, sizeof a);
                std::memset(b, 0x5C, sizeof b);
                jpegk::yccToRgbxScalar(y, cb, cr, a, 256, shift, t);
                jpegk::yccToRgbxSimd(y, cb, cr, b, 256, shift, t);
                ASSERT_EQ(0, std::memcmp(a, b, 4 * 256)) << "Cr " << red << " shift " << shift;
                for (int i = 0; i < 256; ++i)
                    ASSERT_EQ(b[4 * i + 3], 0x5C); // fourth byte untouched
            }
        }
}

// ---------------------------------------------------------------------------
// Edge cases of the format
// ---------------------------------------------------------------------------

TEST(JpegDecoder, JunkBeforeStartOfImage)
{
    REQUIRE_TOOLS();
    const Bytes clean = readFile(corpusFile("base_420").jpeg);
    const Decoded reference = decodeBytes(clean, true);
    for (size_t junk : {size_t(1), size_t(200), size_t(511), size_t(512)}) {
        SCOPED_TRACE(junk);
        Bytes data(junk, 0);
        for (size_t i = 0; i < junk; ++i)
            data[i] = static_cast<uint8_t>(0x20 + i % 90); // never FF
        data.insert(data.end(), clean.begin(), clean.end());
        const Decoded d = decodeBytes(data, true);
        if (junk <= 511) {
            EXPECT_EQ(d.constructError, 0);
            EXPECT_TRUE(d.image.pixels == reference.image.pixels);
        } else {
            EXPECT_EQ(d.constructError, -217);
            EXPECT_EQ(d.beginResult, -1);
        }
    }
}

TEST(JpegDecoder, TruncatedFilesDecodeToFullHeight)
{
    REQUIRE_TOOLS();
    for (const char* name : {"base_420", "prog_444", "large_1023x767_420", "grey", "restart_rows", "restart_prog"}) {
        SCOPED_TRACE(name);
        const CorpusFile& f = corpusFile(name);
        Image ref;
        ASSERT_TRUE(readPnm(f.reference, ref));
        Bytes data = readFile(f.jpeg);
        data.resize(data.size() * 6 / 10);
        const Decoded d = decodeBytes(data, false);
        EXPECT_EQ(d.constructError, 0);
        EXPECT_EQ(d.beginResult, 0);
        EXPECT_EQ(d.lineStatus, 1);
        EXPECT_EQ(d.error, 0);
        ASSERT_EQ(d.rows, ref.height);
        if (!f.progressive) {
            // Rows coded before the cut are intact.
            const int intactRows = ref.height / 4;
            const size_t n = static_cast<size_t>(intactRows) * ref.width * ref.channels;
            int worst = 0;
            for (size_t i = 0; i < n; ++i)
                worst = std::max(worst, std::abs(int(d.image.pixels[i]) - int(ref.pixels[i])));
            EXPECT_LE(worst, 1);
        }
    }
}

// Damage that decoding survives is flagged: a cut file ends early, and wherever
// libjpeg-turbo's djpeg calls spoilt data corrupt (or refuses it) ours flags or
// refuses it too. Intact files of every layout carry no flag.
TEST(JpegDecoder, DamageIsFlaggedWhereLibjpegTurboSeesIt)
{
    REQUIRE_TOOLS();
    const fs::path spoilt = corpusDir() / ("spoilt_" + std::to_string(getpid()) + ".jpg");
    int judged = 0, flagged = 0;
    for (const CorpusFile& f : corpus()) {
        SCOPED_TRACE(f.name);
        const Bytes intact = readFile(f.jpeg);
        EXPECT_EQ(decodeBytes(intact, true).damage, 0);
        EXPECT_EQ(decodeBytes(intact, false).damage, 0);

        const Bytes cut(intact.begin(), intact.begin() + static_cast<long>(intact.size() / 2));
        const Decoded c = decodeBytes(cut, true);
        if (c.error == 0) {
            EXPECT_NE(c.damage & kJpegDataEnded, 0);
        }

        // One byte in every `step` of the data behind the first scan header changed.
        const size_t scan = std::string(intact.begin(), intact.end()).find("\xFF\xDA");
        ASSERT_NE(scan, std::string::npos);
        for (size_t step : {97u, 331u, 2000u}) {
            Bytes bytes = intact;
            for (size_t i = scan + 40; i + 2 < bytes.size(); i += step)
                bytes[i] = static_cast<uint8_t>(bytes[i] == 0x5A ? 0x3C : 0x5A);
            writeFile(spoilt, bytes);
            std::string said;
            if (std::FILE* pipe = popen(("djpeg -outfile /dev/null '" + spoilt.string() + "' 2>&1; echo status $?").c_str(), "r")) {
                char line[512];
                while (std::fgets(line, sizeof line, pipe))
                    said += line;
                pclose(pipe);
            }
            const bool djpegSaw =
                said.find("Corrupt JPEG data") != std::string::npos || said.find("status 0") == std::string::npos;
            const Decoded d = decodeBytes(bytes, true);
            const bool oursSaw = d.error != 0 || d.lineStatus != 1 || d.damage != 0;
            if (djpegSaw) {
                ++judged;
                EXPECT_TRUE(oursSaw) << "step " << step << ": " << said;
                flagged += oursSaw;
            }
        }
    }
    fs::remove(spoilt);
    EXPECT_GT(judged, 20) << "the spoilt files must be damaged in libjpeg-turbo's eyes";
}

TEST(JpegDecoder, OddHeightPairedRowsDeliverExactlyHeightRows)
{
    REQUIRE_TOOLS();
    for (const char* name : {"odd_17x9_420", "odd_17x9_440", "tiny_1x1", "large_1023x767_420"}) {
        SCOPED_TRACE(name);
        const CorpusFile& f = corpusFile(name);
        MemoryStream stream(readFile(f.jpeg));
        JpegDecoder dec(&stream, true);
        ASSERT_EQ(dec.begin(), 0);
        EXPECT_EQ(dec.begin(), 0); // already begun
        const uint8_t* row = nullptr;
        uint32_t bytes = 0;
        int rows = 0;
        while (dec.decodeLine(&row, &bytes) == 0)
            ++rows;
        EXPECT_EQ(rows, dec.height());
        EXPECT_EQ(dec.decodeLine(&row, &bytes), 1);
        EXPECT_EQ(dec.errorCode(), 0);
    }
}

TEST(JpegDecoder, GreyscaleRowsAreOneBytePerPixel)
{
    REQUIRE_TOOLS();
    for (const char* name : {"grey", "grey_from_colour", "prog_grey", "tiny_1x1_grey"}) {
        SCOPED_TRACE(name);
        MemoryStream stream(readFile(corpusFile(name).jpeg));
        JpegDecoder dec(&stream, true);
        EXPECT_EQ(dec.components(), 1);
        EXPECT_EQ(dec.bytesPerPixel(), 1);
        ASSERT_EQ(dec.begin(), 0);
        const uint8_t* row = nullptr;
        uint32_t bytes = 0;
        ASSERT_EQ(dec.decodeLine(&row, &bytes), 0);
        EXPECT_EQ(bytes, static_cast<uint32_t>(dec.width()));
    }
}

TEST(JpegDecoder, SixteenBitQuantisationTablesAreRead)
{
    REQUIRE_TOOLS();
    for (const char* name : {"quant16_extended", "quant16_prog"}) {
        SCOPED_TRACE(name);
        std::vector<Segment> segs = splitSegments(readFile(corpusFile(name).jpeg));
        bool wide = false;
        for (const Segment& s : segs)
            if (s.marker == 0xDB && !s.payload.empty() && (s.payload[0] >> 4) != 0)
                wide = true;
        EXPECT_TRUE(wide) << "the encoder did not write a 16-bit table";
    }
    // Tables above 8 bits make the encoder write an extended sequential frame.
    std::vector<Segment> extended = splitSegments(readFile(corpusFile("quant16_extended").jpeg));
    EXPECT_NE(findSegment(extended, 0xC1), nullptr);
}

TEST(JpegDecoder, LifecycleReturnValues)
{
    REQUIRE_TOOLS();
    const Bytes data = readFile(corpusFile("base_420").jpeg);
    MemoryStream stream(data);
    {
        JpegDecoder dec(&stream, true);
        EXPECT_EQ(stream.attaches, 1);
        const uint8_t* row = nullptr;
        uint32_t bytes = 0;
        EXPECT_EQ(dec.decodeLine(&row, &bytes), -1); // before begin
        EXPECT_EQ(dec.width(), 203);
        EXPECT_EQ(dec.height(), 151);
        EXPECT_EQ(dec.components(), 3);
        EXPECT_EQ(dec.bytesPerPixel(), 4);
        ASSERT_EQ(dec.begin(), 0);
        EXPECT_EQ(dec.begin(), 0);
    }
    EXPECT_EQ(stream.detaches, 1);

    // Corrupt entropy data: the failing call says -227, the code says why, and
    // every later call returns -1.
    std::vector<Segment> segs = splitSegments(data);
    Segment* scan = findSegment(segs, 0);
    ASSERT_NE(scan, nullptr);
    for (size_t i = scan->payload.size() / 2; i < scan->payload.size(); i += 2) {
        scan->payload[i] = 0xFF;
        scan->payload[i + 1 < scan->payload.size() ? i + 1 : i] = 0x00;
    }
    MemoryStream bad(joinSegments(segs));
    JpegDecoder dec(&bad, true);
    ASSERT_EQ(dec.begin(), 0);
    const uint8_t* row = nullptr;
    uint32_t bytes = 0;
    int32_t r = 0;
    int rows = 0;
    while ((r = dec.decodeLine(&row, &bytes)) == 0)
        ++rows;
    EXPECT_EQ(r, -227);
    EXPECT_EQ(dec.errorCode(), -227);
    EXPECT_GT(rows, 0);
    EXPECT_EQ(dec.decodeLine(&row, &bytes), -1);
    EXPECT_EQ(dec.begin(), 0); // begun before the error
    EXPECT_EQ(bad.detaches, 1);
}

// Every error code with the condition that raises it, made by editing a real file.
TEST(JpegDecoder, ErrorCodesForMalformedSegments)
{
    REQUIRE_TOOLS();
    const Bytes base = readFile(corpusFile("base_420").jpeg);
    const Bytes prog = readFile(corpusFile("prog_420").jpeg);
    const Bytes restart = readFile(corpusFile("restart_mcus").jpeg);
    enum Stage { kConstruct, kBegin, kLine };
    struct Case {
        const char* what;
        const Bytes* source;
        std::function<void(std::vector<Segment>&)> edit;
        int32_t code;
        Stage stage;
    };
    auto sof = [](std::vector<Segment>& s) -> Bytes& {
        Segment* f = findSegment(s, 0xC0);
        if (!f)
            f = findSegment(s, 0xC2);
        return f->payload;
    };
    auto before = [](std::vector<Segment>& s, uint8_t marker, Segment seg) {
        for (size_t i = 0; i < s.size(); ++i)
            if (s[i].marker == marker) {
                s.insert(s.begin() + static_cast<std::ptrdiff_t>(i), seg);
                return;
            }
    };
    Bytes fullCounts(17, 16); // 16 x 16 = 256 codes
    fullCounts[0] = 0x00;
    const std::vector<Case> cases = {
        {"DHT counts above 255", &base, [&](auto& s) { fullCounts.resize(17 + 256, 0); before(s, 0xC0, {0xC4, fullCounts}); }, -200, kConstruct},
        {"DHT index above 7", &base, [](auto& s) { findSegment(s, 0xC4)->payload[0] = 0x14; }, -201, kBegin},
        {"DHT short", &base, [](auto& s) { findSegment(s, 0xC4)->payload.resize(10); }, -202, kBegin},
        {"DQT short", &base, [](auto& s) { findSegment(s, 0xDB)->payload.resize(40); }, -219, kConstruct},
        {"DQT id 4", &base, [](auto& s) { findSegment(s, 0xDB)->payload[0] = 0x04; }, -204, kConstruct},
        {"12-bit samples", &base, [&](auto& s) { sof(s)[0] = 12; }, -205, kConstruct},
        {"height 0", &base, [&](auto& s) { sof(s)[1] = 0; sof(s)[2] = 0; }, -206, kConstruct},
        {"height 8193", &base, [&](auto& s) { sof(s)[1] = 0x20; sof(s)[2] = 0x01; }, -206, kConstruct},
        {"width 8193", &base, [&](auto& s) { sof(s)[3] = 0x20; sof(s)[4] = 0x01; }, -207, kConstruct},
        {"width 0", &base, [&](auto& s) { sof(s)[3] = 0; sof(s)[4] = 0; }, -207, kConstruct},
        {"5 components", &base, [&](auto& s) { sof(s)[5] = 5; }, -208, kConstruct},
        {"SOF length", &base, [&](auto& s) { sof(s).push_back(0); }, -209, kConstruct},
        {"DRI length 5", &base, [&](auto& s) { before(s, 0xC0, {0xDD, {0, 1, 0}}); }, -211, kConstruct},
        {"SOS no components", &base, [](auto& s) { findSegment(s, 0xDA)->payload[0] = 0; }, -212, kBegin},
        {"SOS unknown component", &base, [](auto& s) { findSegment(s, 0xDA)->payload[1] = 9; }, -213, kBegin},
        {"SOS component twice", &base, [](auto& s) { findSegment(s, 0xDA)->payload[3] = findSegment(s, 0xDA)->payload[1]; }, -213, kBegin},
        {"arithmetic frame", &base, [](auto& s) { findSegment(s, 0xC0)->marker = 0xC9; }, -215, kConstruct},
        {"DAC segment", &base, [&](auto& s) { before(s, 0xC0, {0xCC, {0x00, 0x10}}); }, -215, kConstruct},
        {"RST in headers", &base, [&](auto& s) { before(s, 0xC0, {0xD3, {}}); }, -216, kConstruct},
        {"SOS before frame", &base, [&](auto& s) { before(s, 0xC0, *findSegment(s, 0xDA)); }, -216, kConstruct},
        {"lossless frame", &base, [](auto& s) { findSegment(s, 0xC0)->marker = 0xC3; }, -218, kConstruct},
        {"hierarchical frame", &base, [](auto& s) { findSegment(s, 0xC0)->marker = 0xC5; }, -218, kConstruct},
        {"undefined quant table", &base, [&](auto& s) { sof(s)[6 + 2] = 3; }, -222, kBegin},
        {"undefined Huffman table", &base, [](auto& s) { findSegment(s, 0xDA)->payload[2] = 0x33; }, -223, kBegin},
        {"2 components", &base, [&](auto& s) { sof(s)[5] = 2; sof(s).resize(6 + 6); }, -225, kBegin},
        {"4 components", &base, [&](auto& s) {
             Bytes& p = sof(s);
             p[5] = 4;
             p.insert(p.end(), {4, 0x11, 1});
         }, -225, kBegin},
        {"chroma 2x1", &base, [&](auto& s) { sof(s)[6 + 4] = 0x21; }, -226, kBegin},
        {"luma 4x1", &base, [&](auto& s) { sof(s)[6 + 1] = 0x41; }, -226, kBegin},
        {"luma 0x0", &base, [&](auto& s) { sof(s)[6 + 1] = 0x00; }, -226, kBegin},
        {"wrong restart number", &restart, [](auto& s) {
             Bytes& d = findSegment(s, 0)->payload;
             for (size_t i = 0; i + 1 < d.size(); ++i)
                 if (d[i] == 0xFF && d[i + 1] == 0xD0) {
                     d[i + 1] = 0xD4;
                     break;
                 }
         }, -228, kLine},
        {"spectral Se < Ss", &prog, [](auto& s) {
             Bytes& p = findSegment(s, 0xDA, 1)->payload;
             p[p.size() - 2] = 0;
         }, -230, kBegin},
        {"DC scan with AC", &prog, [](auto& s) {
             Bytes& p = findSegment(s, 0xDA, 0)->payload;
             p[p.size() - 2] = 5;
         }, -230, kBegin},
        {"approximation jump", &prog, [](auto& s) {
             // The last scan is a refinement (Ah = Al + 1); make it skip a bit.
             int n = 0;
             while (findSegment(s, 0xDA, n + 1))
                 ++n;
             Bytes& p = findSegment(s, 0xDA, n)->payload;
             p[p.size() - 1] = static_cast<uint8_t>(((p[p.size() - 1] >> 4) + 2) << 4 | (p[p.size() - 1] & 15));
         }, -231, kBegin},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Segment> segs = splitSegments(*c.source);
        c.edit(segs);
        const Decoded d = decodeBytes(joinSegments(segs), true);
        switch (c.stage) {
        case kConstruct:
            EXPECT_EQ(d.constructError, c.code);
            EXPECT_EQ(d.beginResult, -1);
            break;
        case kBegin:
            EXPECT_EQ(d.constructError, 0);
            EXPECT_EQ(d.beginResult, -1);
            EXPECT_EQ(d.error, c.code);
            break;
        case kLine:
            EXPECT_EQ(d.beginResult, 0);
            EXPECT_EQ(d.lineStatus, -227);
            EXPECT_EQ(d.error, c.code);
            break;
        }
    }

    // Length fields below 2: DHT, DQT and a skipped segment, written by hand.
    struct Raw {
        uint8_t marker;
        int32_t code;
    };
    for (const Raw& r : {Raw{0xC4, -202}, Raw{0xDB, -203}, Raw{0xE1, -210}, Raw{0xFE, -210}}) {
        SCOPED_TRACE(r.marker);
        Bytes data = {0xFF, 0xD8, 0xFF, r.marker, 0x00, 0x01};
        data.insert(data.end(), base.begin() + 2, base.end());
        EXPECT_EQ(decodeBytes(data, true).constructError, r.code);
    }
    EXPECT_EQ(decodeBytes(Bytes(100, 0x41), true).constructError, -217);
    EXPECT_EQ(decodeBytes(Bytes{0xFF, 0xD8, 0x00, 0x00}, true).constructError, -217);
    // Headers that end before a frame: the padding EOI arrives where a frame is needed.
    EXPECT_EQ(decodeBytes(Bytes{0xFF, 0xD8, 0xFF}, true).constructError, -216);
}

TEST(JpegDecoder, ArithmeticCodedFileFromJpegtranIsRefused)
{
    REQUIRE_TOOLS();
    const fs::path out = corpusDir() / "arithmetic.jpg";
    ASSERT_TRUE(produce(out, [](const fs::path& p) {
        return run("jpegtran -arithmetic -outfile '" + p.string() + "' '" + corpusFile("base_420").jpeg.string() + "'");
    }));
    const Decoded d = decodeBytes(readFile(out), true);
    EXPECT_EQ(d.constructError, -215);
    EXPECT_EQ(d.beginResult, -1);
}

TEST(JpegDecoder, StreamAndMemoryFailuresEndInErrorCodes)
{
    REQUIRE_TOOLS();
    const Bytes data = readFile(corpusFile("large_1023x767_420").jpeg);
    {
        MemoryStream s(data, 4096);
        s.failAtRead = 0; // the first read already fails
        JpegDecoder dec(&s, true);
        EXPECT_EQ(dec.errorCode(), -232);
        EXPECT_EQ(s.detaches, 1);
    }
    {
        MemoryStream s(data, 4096);
        s.failAtRead = 5; // fails in the middle of the entropy data
        JpegDecoder dec(&s, true);
        ASSERT_EQ(dec.begin(), 0);
        const uint8_t* row;
        uint32_t bytes;
        int32_t r;
        while ((r = dec.decodeLine(&row, &bytes)) == 0) {
        }
        EXPECT_EQ(r, -227);
        EXPECT_EQ(dec.errorCode(), -232);
    }
    {
        const Decoded d = decodeBytes(data, true, true, 50000);
        EXPECT_EQ(d.beginResult, -1);
        EXPECT_EQ(d.error, -233);
    }
    {
        const Decoded d = decodeBytes(readFile(corpusFile("large_1023x767_prog").jpeg), true, true, 2000000);
        EXPECT_EQ(d.beginResult, -1);
        EXPECT_EQ(d.error, -233);
    }
}

TEST(JpegFileStream, ReadContract)
{
    const fs::path p = fs::path(::testing::TempDir()) / ("jpeg_stream_" + std::to_string(getpid()) + ".bin");
    Bytes content(10000);
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<uint8_t>(i * 13);
    writeFile(p, content);

    jpeg_decoder_file_stream s;
    uint8_t buf[6000];
    bool eof = false;
    EXPECT_EQ(s.read(buf, 10, &eof), -1); // no file yet
    EXPECT_FALSE(s.open((p.string() + ".missing").c_str()));
    ASSERT_TRUE(s.open(p.string().c_str()));
    EXPECT_EQ(s.read(buf, 6000, &eof), 6000);
    EXPECT_FALSE(eof);
    EXPECT_EQ(0, std::memcmp(buf, content.data(), 6000));
    EXPECT_EQ(s.read(buf, 6000, &eof), 4000);
    EXPECT_TRUE(eof);
    eof = false;
    EXPECT_EQ(s.read(buf, 6000, &eof), 0);
    EXPECT_TRUE(eof);
    // Re-opening clears the end flag.
    ASSERT_TRUE(s.open(p.string().c_str()));
    eof = false;
    EXPECT_EQ(s.read(buf, 100, &eof), 100);
    EXPECT_FALSE(eof);
    fs::remove(p);
}

TEST(JpegDecoder, FileStreamDecodesLikeMemory)
{
    REQUIRE_TOOLS();
    const CorpusFile& f = corpusFile("prog_420");
    jpeg_decoder_file_stream s;
    ASSERT_TRUE(s.open(f.jpeg.string().c_str()));
    std::unique_ptr<JpegDecoder> dec(new JpegDecoder(&s, true));
    ASSERT_EQ(dec->errorCode(), 0);
    ASSERT_EQ(dec->begin(), 0);
    const Decoded mem = decodeBytes(readFile(f.jpeg), true);
    size_t offset = 0;
    const uint8_t* row;
    uint32_t bytes;
    while (dec->decodeLine(&row, &bytes) == 0) {
        for (int x = 0; x < dec->width(); ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(row[4 * x + c], mem.image.pixels[offset + 3 * x + c]);
        offset += static_cast<size_t>(dec->width()) * 3;
    }
    EXPECT_EQ(offset, mem.image.pixels.size());
}

TEST(JpegDecoder, ErrorTextsCoverEveryCode)
{
    for (int32_t code : {-200, -201, -202, -203, -204, -205, -206, -207, -208, -209, -210, -211, -212, -213,
                         -215, -216, -217, -218, -219, -221, -222, -223, -225, -226, -227, -228, -229, -230,
                         -231, -232, -233})
        EXPECT_STRNE(jpegErrorText(code), "unknown error") << code;
}

} // namespace
