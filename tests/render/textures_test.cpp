// Texture table and loaders on a real GL context. JPEG files are written at run
// time with libjpeg-turbo, which also decodes them as the reference; generated
// textures are checked against the generator's published recurrence.
#include "render/textures.h"

#include "gl/gl_api.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include <jpeglib.h>
#include <sys/resource.h>
#include <unistd.h>

#include "formats/jpeg_decoder.h"
#include "render/allocation_failure.h"
#include "base/random.h"
#include "tests/support/gl_test_context.h"

namespace {

namespace fs = std::filesystem;

// A folder of its own for each test case (death-test children write the same files again).
fs::path caseFolder()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    fs::path folder = fs::path(ZUR_BINARY_DIR) / "render_test_files" /
                      (std::string(info->test_suite_name()) + "." + info->name());
    fs::create_directories(folder);
    return folder;
}

// Baseline JPEG at quality 100 with every component at full resolution, so colour
// edges stay where they are drawn.
void writeJpeg(const std::string& path, int width, int height, int components, const std::vector<uint8_t>& pixels)
{
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    jpeg_stdio_dest(&info, file);
    info.image_width = width;
    info.image_height = height;
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    for (int i = 0; i < info.num_components; ++i)
        info.comp_info[i].h_samp_factor = info.comp_info[i].v_samp_factor = 1;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&pixels[size_t(info.next_scanline) * width * components]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
}

// libjpeg-turbo's decoding as RGB with its fast integer transform, top row first.
std::vector<uint8_t> referenceRgb(const std::string& path, int& width, int& height)
{
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    FILE* file = std::fopen(path.c_str(), "rb");
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    info.dct_method = JDCT_IFAST;
    jpeg_start_decompress(&info);
    width = info.output_width;
    height = info.output_height;
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = &rgb[size_t(info.output_scanline) * width * 3];
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    return rgb;
}

// Pixels of a w x h image from a function of (x, y) giving an RGB triple or a grey value.
template <typename Pixel>
std::vector<uint8_t> image(int width, int height, int components, Pixel pixel)
{
    std::vector<uint8_t> out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::array<int, 3> p = pixel(x, y);
            for (int c = 0; c < components; ++c)
                out.push_back(uint8_t(p[c]));
        }
    return out;
}

int presentCalls = 0;
bool countPresent()
{
    ++presentCalls;
    return true;
}

class TextureTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { gl = new GlTestContext(); }
    static void TearDownTestSuite() { delete gl; }
    void SetUp() override
    {
        ASSERT_TRUE(gl->ok()) << gl->error();
        context = std::make_unique<RenderResources>();
        context->presentFrame = countPresent;
        presentCalls = 0;
        folder = caseFolder();
    }
    void TearDown() override
    {
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        fs::remove_all(folder);
    }
    std::string file(const std::string& name) const { return (folder / name).string(); }
    std::vector<uint8_t> texels(int textureId, int& width, int& height) const
    {
        return readTextureRgba(context->textures[context->textureBase + textureId], width, height);
    }

    static GlTestContext* gl;
    std::unique_ptr<RenderResources> context;
    fs::path folder;
};
GlTestContext* TextureTest::gl = nullptr;

void expectNear(const uint8_t* texel, std::array<int, 4> expected, int tolerance, const std::string& where)
{
    for (int c = 0; c < 4; ++c)
        EXPECT_NEAR(texel[c], expected[c], tolerance) << where << " channel " << c;
}

TEST_F(TextureTest, TopRowOfTheFileIsTheTopRowOfTheTexture)
{
    const std::string path = file("red_over_blue.jpg");
    writeJpeg(path, 3, 2, 3, image(3, 2, 3, [](int, int y) {
                  return y == 0 ? std::array<int, 3>{255, 0, 0} : std::array<int, 3>{0, 0, 255};
              }));
    loadJpegTexture(*context, path, 12);

    int width = 0, height = 0;
    const auto pixels = texels(12, width, height);
    ASSERT_EQ(width, 3);
    ASSERT_EQ(height, 2);
    for (int x = 0; x < 3; ++x) {
        expectNear(&pixels[(0 * 3 + x) * 4], {0, 0, 255, 255}, 12, "GL row 0");
        expectNear(&pixels[(1 * 3 + x) * 4], {255, 0, 0, 255}, 12, "GL row 1");
    }
    ASSERT_EQ(context->textureList.size(), 1u);
    const TextureRecord& record = context->textureList[0];
    EXPECT_EQ(record.name, path);
    EXPECT_EQ(record.textureId, 12);
    EXPECT_EQ(record.width, 3);
    EXPECT_EQ(record.height, 2);
    EXPECT_EQ(record.kind, 0);
    EXPECT_EQ(presentCalls, 1);

    GLint filter = 0, alignment = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(filter, GL_LINEAR);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4) << "the unpack alignment is put back after the upload";
}

// The decoder's own rows as RGB, top row first (greyscale repeated into R, G, B).
std::vector<uint8_t> decoderRgb(const std::string& path)
{
    jpeg_decoder_file_stream stream;
    EXPECT_TRUE(stream.open(path.c_str()));
    JpegDecoder decoder(&stream, true);
    EXPECT_EQ(decoder.errorCode(), 0);
    EXPECT_EQ(decoder.begin(), 0);
    const int step = decoder.bytesPerPixel();
    std::vector<uint8_t> rgb;
    for (int y = 0; y < decoder.height(); ++y) {
        const uint8_t* row = nullptr;
        uint32_t bytes = 0;
        EXPECT_EQ(decoder.decodeLine(&row, &bytes), 0);
        for (int x = 0; x < decoder.width(); ++x)
            for (int c = 0; c < 3; ++c)
                rgb.push_back(row[x * step + (step == 1 ? 0 : c)]);
    }
    return rgb;
}

// Odd widths (rows that are not a multiple of 4 bytes) and greyscale files arrive
// intact: every texel is the decoder's pixel of the mirrored row, and the picture
// agrees on average with libjpeg-turbo's decoding of the same file with its own
// fast integer transform (the kind ours uses; single pixels of sharp detail may
// differ by a few levels). Any lost, shifted or swapped row or channel breaks it.
TEST_F(TextureTest, TexelsAreTheDecodedPixelsBottomRowFirst)
{
    struct ImageCase {
        const char* name;
        int width, height, components;
    };
    const ImageCase cases[] = {
        {"odd_colour", 37, 19, 3}, {"grey", 5, 3, 1}, {"wide_grey", 43, 9, 1}, {"single", 1, 1, 3}, {"blocks", 32, 16, 3},
    };
    for (const ImageCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = file(std::string(c.name) + ".jpg");
        writeJpeg(path, c.width, c.height, c.components, image(c.width, c.height, c.components, [](int x, int y) {
                      return std::array<int, 3>{(x * 7 + y * 3) % 256, (x * x + 40 * y) % 256, x * y % 256};
                  }));
        loadJpegTexture(*context, path, 30);
        int width = 0, height = 0, refWidth = 0, refHeight = 0;
        const auto pixels = texels(30, width, height);
        const auto decoded = decoderRgb(path);
        const auto reference = referenceRgb(path, refWidth, refHeight);
        ASSERT_EQ(width, refWidth);
        ASSERT_EQ(height, refHeight);
        ASSERT_EQ(decoded.size(), reference.size());
        int mismatches = 0;
        double totalError = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                for (int ch = 0; ch < 4; ++ch) {
                    const int ours = pixels[((height - 1 - y) * width + x) * 4 + ch];
                    if (ch == 3) {
                        mismatches += ours != 255;
                        continue;
                    }
                    mismatches += ours != decoded[(y * width + x) * 3 + ch];
                    totalError += std::abs(ours - reference[(y * width + x) * 3 + ch]);
                }
        EXPECT_EQ(mismatches, 0);
        EXPECT_LT(totalError / (width * height * 3), 1.0);
    }
}

TEST_F(TextureTest, AlphaComesFromTheGreenOfTheSecondFile)
{
    // 8 x 8 blocks of flat colour, so each decodes to its exact value.
    const std::string colourPath = file("colour.jpg");
    const std::string maskPath = file("mask.jpg");
    const std::string greyMaskPath = file("grey_mask.jpg");
    const std::string greenMaskPath = file("green_mask.jpg");
    writeJpeg(colourPath, 16, 8, 3, image(16, 8, 3, [](int x, int) {
                  return x < 8 ? std::array<int, 3>{200, 100, 50} : std::array<int, 3>{20, 40, 60};
              }));
    writeJpeg(maskPath, 16, 8, 3, image(16, 8, 3, [](int x, int) {
                  return x < 8 ? std::array<int, 3>{255, 255, 255} : std::array<int, 3>{0, 0, 0};
              }));
    writeJpeg(greyMaskPath, 16, 8, 1, image(16, 8, 1, [](int x, int) { return std::array<int, 3>{x < 8 ? 128 : 30}; }));
    writeJpeg(greenMaskPath, 16, 8, 3, image(16, 8, 3, [](int, int) { return std::array<int, 3>{250, 90, 10}; }));

    struct PairCase {
        std::string mask;
        int leftAlpha, rightAlpha;
    };
    const PairCase cases[] = {{maskPath, 255, 0}, {greyMaskPath, 128, 30}, {greenMaskPath, 90, 90}};
    int id = 50;
    for (const PairCase& c : cases) {
        SCOPED_TRACE(c.mask);
        loadJpegTextureWithAlpha(*context, colourPath, c.mask, id);
        int width = 0, height = 0;
        const auto pixels = texels(id, width, height);
        ASSERT_EQ(width, 16);
        ASSERT_EQ(height, 8);
        GLint internalFormat = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &internalFormat);
        EXPECT_GT(internalFormat, 0);
        for (int y = 0; y < 8; ++y) {
            expectNear(&pixels[(y * 16 + 2) * 4], {200, 100, 50, c.leftAlpha}, 3, "left");
            expectNear(&pixels[(y * 16 + 13) * 4], {20, 40, 60, c.rightAlpha}, 3, "right");
        }
        ++id;
    }
    ASSERT_EQ(context->textureList.size(), 3u);
    for (const TextureRecord& record : context->textureList)
        EXPECT_EQ(record.name, colourPath);
    EXPECT_EQ(presentCalls, 3);
}

TEST_F(TextureTest, IdsOutsideTheTableAreRefused)
{
    const std::string path = file("small.jpg");
    writeJpeg(path, 2, 2, 3, image(2, 2, 3, [](int, int) { return std::array<int, 3>{1, 2, 3}; }));

    ::testing::internal::CaptureStderr();
    loadJpegTexture(*context, path, kTextureSlots);
    loadJpegTextureWithAlpha(*context, path, path, -1);
    makeNoiseTexture(*context, 20000, 4, 4);
    makeRenderTexture(*context, -7, 4, 4);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("outside the texture table"), std::string::npos) << err;
    EXPECT_TRUE(context->textureList.empty());
    EXPECT_EQ(presentCalls, 0);

    // The base offset moves ids onto slots: with base 5, id -5 is slot 0.
    context->textureBase = 5;
    loadJpegTexture(*context, path, -5);
    EXPECT_NE(context->textures[0], 0u);
    bindTexture(*context, -5);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, GLint(context->textures[0]));
}

// The generator's recurrence as published: state = state * 214013 + 2531011.
struct ReferenceGenerator {
    uint32_t state;
    int next()
    {
        state = state * 214013u + 2531011u;
        return int((state >> 16) & 32767u);
    }
    int below(int n)
    {
        const int bucket = 32767 / (n + 1);
        for (;;)
            if (const int value = next() / bucket; value <= n)
                return value;
    }
};

TEST_F(TextureTest, NoiseIsTheSameOnEveryRunAndDrawnColumnByColumn)
{
    rng::srand(99);
    makeNoiseTexture(*context, 1, 64, 48);
    rng::discard(12345);
    makeNoiseTexture(*context, 2, 64, 48);
    int w1 = 0, h1 = 0, w2 = 0, h2 = 0;
    EXPECT_EQ(texels(1, w1, h1), texels(2, w2, h2));

    const int width = 3, height = 2;
    makeNoiseTexture(*context, 3, width, height);
    ReferenceGenerator reference{24234234};
    for (int i = 0; i < 10000; ++i)
        reference.next();
    std::vector<uint8_t> expected(width * height * 4, 255);
    for (int x = 0; x < width; ++x)
        for (int y = 0; y < height; ++y) {
            for (int skip = 0; skip < 3; ++skip)
                reference.below(256);
            for (int c = 0; c < 3; ++c)
                expected[(y * width + x) * 4 + c] = uint8_t(reference.below(256));
        }
    int w = 0, h = 0;
    EXPECT_EQ(texels(3, w, h), expected);
}

TEST_F(TextureTest, RenderTextureTakesBytesFromTheGeneratorInMemoryOrder)
{
    rng::srand(4242);
    makeRenderTexture(*context, 9, 5, 3);
    ReferenceGenerator reference{4242};
    std::vector<uint8_t> expected(5 * 3 * 4);
    for (uint8_t& byte : expected)
        byte = uint8_t(reference.next() % 255);
    int w = 0, h = 0;
    EXPECT_EQ(texels(9, w, h), expected);
    GLint internalFormat = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &internalFormat);
    EXPECT_EQ(internalFormat, GL_RGBA);
}

TEST(RandomBelowTest, RangeAndEdges)
{
    rng::srand(1);
    int top = 0, low = 256, seen256 = 0;
    for (int i = 0; i < 200000; ++i) {
        const int value = randomBelow(256);
        top = std::max(top, value);
        low = std::min(low, value);
        seen256 += value == 256;
    }
    EXPECT_EQ(top, 256) << "256 itself can be drawn";
    EXPECT_EQ(low, 0);
    EXPECT_GT(seen256, 0);

    struct EdgeCase {
        int n, lowest, highest;
    };
    const EdgeCase edges[] = {{0, 0, 0}, {1, 0, 1}, {32766, 0, 32766}, {32767, 0, 32767}, {100000, 0, 32767}, {-3, 0, 0}};
    for (const EdgeCase& e : edges)
        for (int i = 0; i < 1000; ++i) {
            const int value = randomBelow(e.n);
            ASSERT_GE(value, e.lowest) << e.n;
            ASSERT_LE(value, e.highest) << e.n;
        }

    ReferenceGenerator reference{777};
    rng::srand(777);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(randomBelow(10), reference.below(10));
}

// Address space in use by this process now, in bytes.
size_t addressSpaceInUse()
{
    unsigned long pages = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%lu", &pages) != 1)
            pages = 0;
        std::fclose(f);
    }
    return size_t(pages) * size_t(sysconf(_SC_PAGESIZE));
}

// In a fresh context, with `headroom` bytes of address space to spare, makes a
// generated texture too large for it.
void makeUnderLimit(size_t headroom, bool noise, int width, int height)
{
    GlTestContext gl(16, 16);
    if (!gl.ok())
        _exit(97);
    auto context = std::make_unique<RenderResources>();
    const rlimit limit{addressSpaceInUse() + headroom, RLIM_INFINITY};
    setrlimit(RLIMIT_AS, &limit);
    if (noise)
        makeNoiseTexture(*context, 1, width, height);
    else
        makeRenderTexture(*context, 1, width, height);
    _exit(0);
}

// Generated textures larger than memory allows: whether the program's pixel buffer
// or the driver's storage cannot be had, the message box names the texture and its
// size and the process ends with the allocation status, never with an abort.
TEST(TextureAllocationDeathTest, TexturesThatCannotBeAllocatedEndWithTheirStatus)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's allocator does not live under an address-space limit";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    setenv("ZUR_MESSAGEBOX_ANSWER", "ok", 1);
    const size_t mb = size_t(1) << 20;
    struct Case {
        const char* what;
        size_t headroom;      // address space allowed beyond what is in use
        bool noise;           // else the render texture
        int width, height;
        const char* message;
    } cases[] = {
        {"buffer, render texture", 256 * mb, false, 16384, 16384, "render texture of 16384 x 16384 pixels"},
        {"buffer, noise texture", 256 * mb, true, 16384, 12000, "noise texture of 16384 x 12000 pixels"},
        // The 512 MB buffer fits, the driver's copy of it does not.
        {"driver, render texture", 768 * mb, false, 16384, 8192, "render texture of 16384 x 8192 pixels"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EXIT(makeUnderLimit(c.headroom, c.noise, c.width, c.height),
                    ::testing::ExitedWithCode(kAllocationExitStatus),
                    c.message);
    }
}

// Fatal loads: the message box names the file, then the process ends with status 3.
class TextureDeathTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        setenv("ZUR_MESSAGEBOX_ANSWER", "ok", 1);
        folder = caseFolder();
        good = (folder / "good.jpg").string();
        other = (folder / "other_size.jpg").string();
        notJpeg = (folder / "not_a.jpg").string();
        missing = (folder / "missing.jpg").string();
        writeJpeg(good, 8, 8, 3, image(8, 8, 3, [](int, int) { return std::array<int, 3>{9, 9, 9}; }));
        writeJpeg(other, 16, 8, 3, image(16, 8, 3, [](int, int) { return std::array<int, 3>{9, 9, 9}; }));
        std::ofstream(notJpeg) << "plain text, not an image\n";
        // Headers up to the frame header but no scan: it opens, then cannot be decoded.
        headerOnly = (folder / "header_only.jpg").string();
        std::ifstream in(good, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const size_t scan = bytes.find("\xFF\xDA");
        ASSERT_NE(scan, std::string::npos);
        std::ofstream(headerOnly, std::ios::binary) << bytes.substr(0, scan);
    }
    void TearDown() override { fs::remove_all(folder); }

    fs::path folder;
    std::string good, other, notJpeg, missing, headerOnly;
    RenderResources context;
};

TEST_F(TextureDeathTest, UnreadableFilesEndTheProgramWithStatus3)
{
    EXPECT_EXIT(loadJpegTexture(context, missing, 1), ::testing::ExitedWithCode(kTextureExitStatus),
                "\\[Jpg\\] .*missing\\.jpg");
    EXPECT_EXIT(loadJpegTexture(context, notJpeg, 1), ::testing::ExitedWithCode(kTextureExitStatus),
                "\\[Jpg !\\] .*not_a\\.jpg");
    EXPECT_EXIT(loadJpegTexture(context, headerOnly, 1), ::testing::ExitedWithCode(kTextureExitStatus),
                "\\[Jpg !\\] .*header_only\\.jpg");

    // The file named is the one that failed, the colour file or its mask, and
    // standard error says what is wrong with it.
    struct PairCase {
        std::string colour, alpha, failed, why;
    };
    const PairCase pairs[] = {{missing, good, missing, "does not exist"},
                              {good, missing, missing, "does not exist, the mask of"},
                              {notJpeg, good, notJpeg, "cannot be decoded"},
                              {good, notJpeg, notJpeg, "cannot be decoded"},
                              {good, headerOnly, headerOnly, "cannot be decoded"},
                              {good, other, other, "is 16 x 8, not the 8 x 8"},
                              {good, folder.string(), folder.string(), "is a folder"}};
    for (const PairCase& pair : pairs) {
        SCOPED_TRACE(pair.colour + " + " + pair.alpha);
        const std::string expected = pair.failed + " " + pair.why + ".*\\[Jpg !\\] " + pair.failed + "\n";
        EXPECT_EXIT(loadJpegTextureWithAlpha(context, pair.colour, pair.alpha, 1),
                    ::testing::ExitedWithCode(kTextureExitStatus), expected);
    }
}

} // namespace
