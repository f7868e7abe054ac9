// spectrogram: draws an MP3 (decoded by the show's own sound layer) as a PNG with a
// log-frequency axis from 30 Hz to 16 kHz, time and frequency labels and optional
// vertical marks at given times (section boundaries, loop points). Uses libpng.
//
//   spectrogram INPUT.mp3 OUTPUT.png [--marks 31.9,62.2,...] [--width 1600] [--height 500]
#include "audio/sound_decode.h"
#include "tools/common/pixel_text.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kFftSize = 8192; // 5.4 Hz bins: the bass lines stay apart
constexpr double kLowHz = 30.0, kHighHz = 16000.0;
constexpr double kFloorDb = -115.0, kTopDb = -15.0; // colour scale, dB of full scale
constexpr int kLeft = 56, kRight = 12, kTop = 26, kBottom = 30; // margins in pixels

// A palette image: entries 0..kColours-1 are the colour scale, the rest greys.
// Spectrograms are noisy; one byte a pixel keeps the PNG small.
constexpr int kColours = 192, kGreys = 256 - kColours;

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> index;
    void put(int x, int y, uint8_t i)
    {
        if (x >= 0 && y >= 0 && x < width && y < height)
            index[static_cast<size_t>(y) * width + x] = i;
    }
    void grey(int x, int y, int shade) { put(x, y, static_cast<uint8_t>(kColours + shade * (kGreys - 1) / 255)); }
    void colour(int x, int y, double t)
    {
        put(x, y, static_cast<uint8_t>(std::lround(std::clamp(t, 0.0, 1.0) * (kColours - 1))));
    }
};

// Text at (x, y) = top-left, each glyph pixel drawn as scale x scale.
void drawText(Image& img, int x, int y, const std::string& text, int scale, uint8_t shade)
{
    pixel_text::draw(x, y, text, scale, [&](int px, int py) { img.grey(px, py, shade); });
}

int textWidth(const std::string& text, int scale) { return pixel_text::width(text, scale); }

void fft(std::vector<std::complex<double>>& a)
{
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> w = std::polar(1.0, -2.0 * kPi / static_cast<double>(len));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> wk(1.0, 0.0);
            for (size_t k = 0; k < len / 2; ++k) {
                const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * wk;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                wk *= w;
            }
        }
    }
}

// Dark paper-blue through violet and ember to pale yellow.
void colourOf(double t, uint8_t& r, uint8_t& g, uint8_t& b)
{
    static const double kStops[5][3] = {
        {8, 10, 24}, {62, 26, 98}, {172, 52, 88}, {246, 142, 54}, {252, 246, 200},
    };
    t = std::clamp(t, 0.0, 1.0) * 4.0;
    const int i = std::min(3, static_cast<int>(t));
    const double f = t - i;
    r = static_cast<uint8_t>(kStops[i][0] + (kStops[i + 1][0] - kStops[i][0]) * f);
    g = static_cast<uint8_t>(kStops[i][1] + (kStops[i + 1][1] - kStops[i][1]) * f);
    b = static_cast<uint8_t>(kStops[i][2] + (kStops[i + 1][2] - kStops[i][2]) * f);
}

bool writePng(const std::string& path, const Image& img)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, img.width, img.height, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color palette[256];
    for (int i = 0; i < kColours; ++i)
        colourOf(static_cast<double>(i) / (kColours - 1), palette[i].red, palette[i].green, palette[i].blue);
    for (int i = 0; i < kGreys; ++i)
        palette[kColours + i].red = palette[kColours + i].green = palette[kColours + i].blue =
            static_cast<png_byte>(i * 255 / (kGreys - 1));
    png_set_PLTE(png, info, palette, 256);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    for (int y = 0; y < img.height; ++y)
        png_write_row(png, const_cast<png_bytep>(&img.index[static_cast<size_t>(y) * img.width]));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

std::string formatNumber(double v)
{
    char buf[32];
    if (std::fabs(v - std::round(v)) < 1e-6)
        std::snprintf(buf, sizeof buf, "%d", static_cast<int>(std::lround(v)));
    else
        std::snprintf(buf, sizeof buf, "%.1f", v);
    return buf;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: spectrogram INPUT.mp3 OUTPUT.png [--marks t1,t2,...] [--width W] [--height H]\n");
        return 2;
    }
    const std::string input = argv[1], output = argv[2];
    std::vector<double> marks;
    int width = 1600, height = 500;
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string opt = argv[i];
        if (opt == "--marks") {
            for (const char* p = argv[i + 1]; *p;) {
                char* end = nullptr;
                const double v = std::strtod(p, &end);
                if (end == p)
                    break;
                marks.push_back(v);
                p = *end == ',' ? end + 1 : end;
            }
        } else if (opt == "--width") {
            width = std::atoi(argv[i + 1]);
        } else if (opt == "--height") {
            height = std::atoi(argv[i + 1]);
        } else {
            std::fprintf(stderr, "spectrogram: unknown option %s\n", opt.c_str());
            return 2;
        }
    }
    if (width < kLeft + kRight + 100 || height < kTop + kBottom + 100 || width > 20000 || height > 20000) {
        std::fprintf(stderr, "spectrogram: size %d x %d out of range\n", width, height);
        return 2;
    }

    DecodedAudio audio;
    std::string error;
    if (!decodeMp3File(input, audio, &error)) {
        std::fprintf(stderr, "spectrogram: %s: %s\n", input.c_str(), error.c_str());
        return 1;
    }
    const size_t frames = audio.frames();
    const double seconds = static_cast<double>(frames) / kSoundRate;

    Image img;
    img.width = width;
    img.height = height;
    img.index.assign(static_cast<size_t>(width) * height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            img.grey(x, y, 250);
    const int plotW = width - kLeft - kRight, plotH = height - kTop - kBottom;

    // One column per pixel: a Hann-windowed FFT centred on the column's time, each
    // row taking the strongest bin of its slice of the log-frequency axis.
    std::vector<double> window(kFftSize);
    double windowSum = 0.0;
    for (int i = 0; i < kFftSize; ++i) {
        window[i] = 0.5 - 0.5 * std::cos(2.0 * kPi * i / kFftSize);
        windowSum += window[i];
    }
    std::vector<std::complex<double>> buf(kFftSize);
    std::vector<double> magnitudeDb(kFftSize / 2);
    for (int x = 0; x < plotW; ++x) {
        const double centre = (x + 0.5) / plotW * frames;
        const long first = static_cast<long>(centre) - kFftSize / 2;
        for (int i = 0; i < kFftSize; ++i) {
            const long f = first + i;
            double v = 0.0;
            if (f >= 0 && f < static_cast<long>(frames))
                v = (audio.samples[2 * f] + audio.samples[2 * f + 1]) / (2.0 * 32768.0);
            buf[i] = std::complex<double>(v * window[i], 0.0);
        }
        fft(buf);
        for (int k = 0; k < kFftSize / 2; ++k)
            magnitudeDb[k] = 20.0 * std::log10(2.0 * std::abs(buf[k]) / windowSum + 1e-12);
        for (int y = 0; y < plotH; ++y) {
            const double fHigh = kLowHz * std::pow(kHighHz / kLowHz, static_cast<double>(plotH - y) / plotH);
            const double fLow = kLowHz * std::pow(kHighHz / kLowHz, static_cast<double>(plotH - y - 1) / plotH);
            int k0 = static_cast<int>(std::floor(fLow * kFftSize / kSoundRate));
            int k1 = static_cast<int>(std::ceil(fHigh * kFftSize / kSoundRate));
            k0 = std::clamp(k0, 1, kFftSize / 2 - 1);
            k1 = std::clamp(k1, k0, kFftSize / 2 - 1);
            double best = -300.0;
            for (int k = k0; k <= k1; ++k)
                best = std::max(best, magnitudeDb[k]);
            img.colour(kLeft + x, kTop + y, (best - kFloorDb) / (kTopDb - kFloorDb));
        }
    }

    // Frequency grid and labels.
    const double kGridHz[] = {50, 100, 200, 500, 1000, 2000, 5000, 10000};
    for (double hz : kGridHz) {
        const int y = kTop + plotH -
                      static_cast<int>(std::lround(std::log(hz / kLowHz) / std::log(kHighHz / kLowHz) * plotH));
        for (int x = kLeft; x < kLeft + plotW; x += 4)
            img.grey(x, y, 200);
        const std::string label = hz >= 1000 ? formatNumber(hz / 1000) + "k" : formatNumber(hz);
        drawText(img, kLeft - 8 - textWidth(label, 2), y - 5, label, 2, 40);
    }
    drawText(img, 4, kTop - 20, "hz", 2, 40);

    // Time ticks at a round step that gives at most about 25 labels.
    const double kSteps[] = {1, 2, 5, 10, 20, 30, 60};
    double step = 60;
    for (double s : kSteps)
        if (seconds / s <= 25.0) {
            step = s;
            break;
        }
    for (double t = 0.0; t <= seconds + 1e-9; t += step) {
        const int x = kLeft + static_cast<int>(std::lround(t / seconds * plotW));
        for (int y = kTop + plotH; y < kTop + plotH + 5; ++y)
            img.grey(x, y, 40);
        const std::string label = formatNumber(t);
        drawText(img, x - textWidth(label, 2) / 2, kTop + plotH + 9, label, 2, 40);
    }
    drawText(img, kLeft + plotW - textWidth("s", 2), kTop + plotH + 20, "s", 2, 40);

    // Marks: a dashed light line through the plot and the time above it.
    for (double t : marks) {
        if (t < 0.0 || t > seconds)
            continue;
        const int x = kLeft + static_cast<int>(std::lround(t / seconds * plotW));
        for (int y = kTop; y < kTop + plotH; ++y)
            if ((y / 6) % 2 == 0) {
                img.grey(x, y, 255);
                img.grey(x + 1, y, 30);
            }
        const std::string label = formatNumber(t);
        drawText(img, x - textWidth(label, 2) / 2, kTop - 12, label, 2, 20);
    }
    std::string title = input.substr(input.find_last_of('/') == std::string::npos ? 0 : input.find_last_of('/') + 1);
    drawText(img, kLeft, 2, title, 2, 20);

    if (!writePng(output, img)) {
        std::fprintf(stderr, "spectrogram: cannot write %s\n", output.c_str());
        return 1;
    }
    return 0;
}
