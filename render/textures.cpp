// Texture table and loaders. Every loader generates a fresh GL name into the id's
// slot, uses linear filters, makes no mipmaps and leaves its texture bound. JPEG
// rows arrive top row first and are stored bottom row first, as GL expects.
#include "render/textures.h"

#include "gl/gl_api.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/jpeg_decoder.h"
#include "render/allocation_failure.h"
#include "platform/platform.h"
#include "base/random.h"

namespace {

// A line on standard error says what is wrong, a message box names the file, then
// the process ends: the show cannot run without its textures, and the status says
// so to whoever started it.
[[noreturn]] void textureFailure(const std::string& path, const char* caption, const std::string& why)
{
    std::fprintf(stderr, "texture: %s %s; the show cannot run without it\n", path.c_str(), why.c_str());
    platform::messageBox(path, caption, platform::kMbOk | platform::kMbIconInformation);
    std::exit(kTextureExitStatus);
}

bool refuseOutsideTable(const RenderResources& context, int textureId)
{
    if (textureIdInTable(context, textureId))
        return false;
    std::fprintf(stderr, "Texture id %d (slot %lld) is outside the texture table of %d slots; nothing loaded.\n",
                 textureId, static_cast<long long>(context.textureBase) + textureId, kTextureSlots);
    return true;
}

GLuint& slotOf(RenderResources& context, int textureId) { return context.textures[context.textureBase + textureId]; }

void createTexture(GLuint& name)
{
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

// Rows are tightly packed, so any width (3-byte pixels included) uploads intact;
// the previous alignment is put back for whoever uploads next. A driver out of
// memory for the texture ends the program.
void upload(GLint internalFormat, GLenum format, int width, int height, const uint8_t* pixels, const char* what)
{
    GLint previousAlignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &previousAlignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    clearGlErrors();
    glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0, format, GL_UNSIGNED_BYTE, pixels);
    const bool outOfMemory = glOutOfMemory();
    glPixelStorei(GL_UNPACK_ALIGNMENT, previousAlignment);
    if (outOfMemory)
        allocationFailure(what, width, height);
}

// width x height x channels bytes, or the end of the program when memory is short.
std::vector<uint8_t> pixelBuffer(int width, int height, int channels, const char* what)
{
    try {
        return std::vector<uint8_t>(static_cast<size_t>(width) * static_cast<size_t>(height) * channels, 0);
    } catch (const std::bad_alloc&) {
        allocationFailure(what, width, height);
    } catch (const std::length_error&) {
        allocationFailure(what, width, height);
    }
}

// One JPEG file opened and its headers read.
struct OpenJpeg {
    jpeg_decoder_file_stream stream;
    std::unique_ptr<JpegDecoder> decoder;
    std::string why; // what went wrong, after the file's name
};

enum class OpenResult { ok, cannotOpen, cannotDecode };

OpenResult openJpeg(OpenJpeg& jpeg, const std::string& path)
{
    if (!jpeg.stream.open(path.c_str())) {
        jpeg.why = jpeg.stream.whyNot();
        return OpenResult::cannotOpen;
    }
    jpeg.decoder = std::make_unique<JpegDecoder>(&jpeg.stream, true);
    if (jpeg.decoder->errorCode() != 0) {
        jpeg.why = std::string("cannot be decoded (") + jpegErrorText(jpeg.decoder->errorCode()) + ")";
        return OpenResult::cannotDecode;
    }
    if (jpeg.decoder->width() <= 0 || jpeg.decoder->height() <= 0) {
        jpeg.why = "has no size";
        return OpenResult::cannotDecode;
    }
    return OpenResult::ok;
}

// Decodes the opened file (decodeRgb) and says on standard error when the data was
// damaged but still gave a picture. False, with jpeg.why, on a decoding error.
bool decodeJpeg(OpenJpeg& jpeg, const std::string& path, std::vector<uint8_t>& rgb);

// Decodes every row into width x height RGB, the k-th decoded row at image row
// height - 1 - k. Colour rows hold 4 bytes a pixel (R, G, B, unused); greyscale
// rows hold one, which is repeated into R, G and B. False on any decoding error.
bool decodeRgb(JpegDecoder& decoder, std::vector<uint8_t>& rgb)
{
    const int width = decoder.width();
    const int height = decoder.height();
    const int bytesPerPixel = decoder.bytesPerPixel();
    if (bytesPerPixel != 1 && bytesPerPixel != 4)
        return false;
    try {
        rgb.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 3, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (decoder.begin() != 0)
        return false;
    for (int k = 0; k < height; ++k) {
        const uint8_t* row = nullptr;
        uint32_t bytes = 0;
        if (decoder.decodeLine(&row, &bytes) != 0 || row == nullptr ||
            bytes < static_cast<uint32_t>(width) * static_cast<uint32_t>(bytesPerPixel))
            return false;
        uint8_t* out = &rgb[static_cast<size_t>(height - 1 - k) * width * 3];
        for (int x = 0; x < width; ++x) {
            const uint8_t* in = row + static_cast<size_t>(x) * bytesPerPixel;
            out[3 * x + 0] = in[0];
            out[3 * x + 1] = bytesPerPixel == 4 ? in[1] : in[0];
            out[3 * x + 2] = bytesPerPixel == 4 ? in[2] : in[0];
        }
    }
    return true;
}

bool decodeJpeg(OpenJpeg& jpeg, const std::string& path, std::vector<uint8_t>& rgb)
{
    if (!decodeRgb(*jpeg.decoder, rgb)) {
        const int32_t code = jpeg.decoder->errorCode();
        jpeg.why = std::string("cannot be decoded (") + (code != 0 ? jpegErrorText(code) : "no rows") + ")";
        return false;
    }
    if (const int32_t damage = jpeg.decoder->damage())
        std::fprintf(stderr, "texture: %s: %s; the picture is drawn as decoded\n", path.c_str(),
                     jpegDamageText(damage));
    return true;
}

void presentBeforeLoad(RenderResources& context)
{
    if (context.presentFrame)
        context.presentFrame();
}

} // namespace

bool textureIdInTable(const RenderResources& context, int textureId)
{
    const long long slot = static_cast<long long>(context.textureBase) + textureId;
    return slot >= 0 && slot < kTextureSlots;
}

uint32_t textureName(const RenderResources& context, int textureId)
{
    if (!textureIdInTable(context, textureId)) {
        std::fprintf(stderr, "Texture id %d is outside the texture table; texture name 0 used.\n", textureId);
        return 0;
    }
    return context.textures[context.textureBase + textureId];
}

void loadJpegTexture(RenderResources& context, const std::string& path, int textureId)
{
    if (refuseOutsideTable(context, textureId))
        return;
    presentBeforeLoad(context);

    OpenJpeg jpeg;
    const OpenResult opened = openJpeg(jpeg, path);
    if (opened == OpenResult::cannotOpen)
        textureFailure(path, "Jpg", jpeg.why);
    if (opened == OpenResult::cannotDecode)
        textureFailure(path, "Jpg !", jpeg.why);

    const int width = jpeg.decoder->width();
    const int height = jpeg.decoder->height();
    context.textureList.push_back(TextureRecord{path, textureId, width, height, 0});

    std::vector<uint8_t> rgb;
    if (!decodeJpeg(jpeg, path, rgb))
        textureFailure(path, "Jpg !", jpeg.why);

    createTexture(slotOf(context, textureId));
    upload(3, GL_RGB, width, height, rgb.data(), "texture");
}

void loadJpegTextureWithAlpha(RenderResources& context, const std::string& colourPath, const std::string& alphaPath,
                              int textureId)
{
    if (refuseOutsideTable(context, textureId))
        return;
    presentBeforeLoad(context);

    // A failure names the file that failed, the colour file or its mask.
    OpenJpeg colour;
    if (openJpeg(colour, colourPath) != OpenResult::ok)
        textureFailure(colourPath, "Jpg !", colour.why);
    const int width = colour.decoder->width();
    const int height = colour.decoder->height();
    context.textureList.push_back(TextureRecord{colourPath, textureId, width, height, 0});
    std::vector<uint8_t> rgb;
    if (!decodeJpeg(colour, colourPath, rgb))
        textureFailure(colourPath, "Jpg !", colour.why);

    OpenJpeg alpha;
    if (openJpeg(alpha, alphaPath) != OpenResult::ok)
        textureFailure(alphaPath, "Jpg !", alpha.why + ", the mask of " + colourPath);
    // A mask of another size would pair pixels that do not belong together and read
    // past the colour image, so such a pair is refused like an unreadable file.
    if (alpha.decoder->width() != width || alpha.decoder->height() != height)
        textureFailure(alphaPath, "Jpg !",
                       "is " + std::to_string(alpha.decoder->width()) + " x " +
                           std::to_string(alpha.decoder->height()) + ", not the " + std::to_string(width) + " x " +
                           std::to_string(height) + " of its colour file " + colourPath);
    std::vector<uint8_t> mask;
    if (!decodeJpeg(alpha, alphaPath, mask))
        textureFailure(alphaPath, "Jpg !", alpha.why + ", the mask of " + colourPath);

    // Alpha is the mask's green byte: a grey mask gives its grey value.
    const size_t pixels = static_cast<size_t>(width) * height;
    std::vector<uint8_t> rgba = pixelBuffer(width, height, 4, "texture");
    for (size_t i = 0; i < pixels; ++i) {
        rgba[4 * i + 0] = rgb[3 * i + 0];
        rgba[4 * i + 1] = rgb[3 * i + 1];
        rgba[4 * i + 2] = rgb[3 * i + 2];
        rgba[4 * i + 3] = mask[3 * i + 1];
    }

    createTexture(slotOf(context, textureId));
    upload(4, GL_RGBA, width, height, rgba.data(), "texture");
}

void makeNoiseTexture(RenderResources& context, int textureId, int width, int height)
{
    if (refuseOutsideTable(context, textureId))
        return;
    width = std::max(width, 0);
    height = std::max(height, 0);
    createTexture(slotOf(context, textureId));

    rng::srand(24234234);
    rng::discard(10000);
    // Column by column, six draws a pixel of which the first three are thrown away:
    // the draw order is what makes the pattern, so it must not change.
    std::vector<uint8_t> rgb = pixelBuffer(width, height, 3, "noise texture");
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < height; ++y) {
            randomBelow(256);
            randomBelow(256);
            randomBelow(256);
            uint8_t* pixel = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            pixel[0] = static_cast<uint8_t>(randomBelow(256)); // a drawn 256 wraps to 0
            pixel[1] = static_cast<uint8_t>(randomBelow(256));
            pixel[2] = static_cast<uint8_t>(randomBelow(256));
        }
    }
    upload(3, GL_RGB, width, height, rgb.data(), "noise texture");
}

void makeRenderTexture(RenderResources& context, int textureId, int width, int height)
{
    if (refuseOutsideTable(context, textureId))
        return;
    width = std::max(width, 0);
    height = std::max(height, 0);
    createTexture(slotOf(context, textureId));

    std::vector<uint8_t> rgba = pixelBuffer(width, height, 4, "render texture");
    for (uint8_t& byte : rgba)
        byte = static_cast<uint8_t>(rng::rand() % 255);
    upload(GL_RGBA, GL_RGBA, width, height, rgba.data(), "render texture");
}

void bindTexture(RenderResources& context, int textureId)
{
    glBindTexture(GL_TEXTURE_2D, textureName(context, textureId));
}

int randomBelow(int n)
{
    // Below 0 no value qualifies and the draw loop would never end.
    if (n < 0)
        return 0;
    // From 32767 up the bucket width would be 0; every draw then qualifies as is.
    const int bucket = std::max(1, static_cast<int>(32767 / (static_cast<long long>(n) + 1)));
    int value = 0;
    do {
        value = rng::rand() / bucket;
    } while (value > n);
    return value;
}
