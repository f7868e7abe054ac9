// MP3 files into 44 100 Hz interleaved stereo int16: libmpg123 decodes (gapless, so
// the encoder's padding is not part of a loop), then a Kaiser-windowed sinc resampler
// brings any other rate to 44 100 Hz. Runs on the loading thread, never on the mixer's.
#include "runtime/sound_decode.h"

#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <mutex>
#include <new>
#include <numeric>

namespace {

// ---------------------------------------------------------------------------
// Rate conversion
// ---------------------------------------------------------------------------

// Filter design for the lower of the two rates, Nyquist N: flat to about 0.87 N,
// at least 80 dB down from N on (nothing folds back into the audible band).
constexpr int kZeroCrossings = 36;      // sinc lobes on each side of the centre tap
constexpr double kKaiserBeta = 7.86;    // 80 dB stop-band attenuation
constexpr double kCutoffMargin = 0.93;  // -6 dB point at 93 % of the lower Nyquist frequency
constexpr int kMaxPhases = 1024;        // finer phases are interpolated between table rows

double besselI0(double x) {
    double sum = 1.0, term = 1.0;
    const double q = x * x / 4.0;
    for (int k = 1; k < 64; ++k) {
        term *= q / (double(k) * k);
        sum += term;
        if (term < sum * 1e-17) break;
    }
    return sum;
}

constexpr int kLanes = 8; // row length is padded to a multiple of this for the dot product

struct SincTable {
    int halfTaps = 0;  // H: taps reach H - 1 samples back and H samples ahead
    int stride = 0;    // 2H rounded up to kLanes; the padding taps are zero
    int phases = 0;    // rows 0..phases (one extra row closes the interval)
    std::vector<float> rows;
    const float* row(int r) const { return rows.data() + size_t(r) * size_t(stride); }
};

// Row r holds the filter for a read position r/phases of the way from one input
// sample to the next; each row is normalised so a constant passes unchanged.
SincTable makeSincTable(double cutoff, int phases) {
    SincTable t;
    t.halfTaps = int(std::ceil(kZeroCrossings / cutoff));
    t.stride = (2 * t.halfTaps + kLanes - 1) / kLanes * kLanes;
    t.phases = phases;
    t.rows.assign(size_t(phases + 1) * size_t(t.stride), 0.0f);
    const double i0Beta = besselI0(kKaiserBeta);
    std::vector<double> h(size_t(2 * t.halfTaps));
    for (int r = 0; r <= phases; ++r) {
        const double frac = double(r) / phases;
        double sum = 0.0;
        for (int k = 0; k < 2 * t.halfTaps; ++k) {
            const double d = (k - t.halfTaps + 1) - frac; // distance from the read position
            const double u = d / t.halfTaps;
            double w = 0.0;
            if (std::fabs(u) < 1.0) w = besselI0(kKaiserBeta * std::sqrt(1.0 - u * u)) / i0Beta;
            const double x = cutoff * d;
            const double sinc = std::fabs(x) < 1e-12 ? 1.0 : std::sin(M_PI * x) / (M_PI * x);
            h[size_t(k)] = cutoff * sinc * w;
            sum += h[size_t(k)];
        }
        float* row = t.rows.data() + size_t(r) * size_t(t.stride);
        for (int k = 0; k < 2 * t.halfTaps; ++k) row[k] = float(h[size_t(k)] / sum);
    }
    return t;
}

// Eight independent partial sums: no reordering of float additions is needed for
// the compiler to keep them in one vector register.
float dot(const float* a, const float* b, int n) {
    float acc[kLanes] = {};
    for (int i = 0; i < n; i += kLanes) {
        for (int j = 0; j < kLanes; ++j) acc[j] += a[i + j] * b[i + j];
    }
    float sum = 0.0f;
    for (float v : acc) sum += v;
    return sum;
}

int16_t toInt16(float v) {
    const float r = std::nearbyint(v);
    if (r > 32767.0f) return 32767;
    if (r < -32768.0f) return -32768;
    return int16_t(r);
}

} // namespace

std::vector<int16_t> resampleStereo(const std::vector<int16_t>& in, int fromRate, int toRate) {
    if (fromRate < 1000 || toRate < 1000 || fromRate > 384000 || toRate > 384000) return {};
    if (fromRate == toRate) return in;
    const int64_t inFrames = int64_t(in.size() / 2);
    const int64_t g = std::gcd(fromRate, toRate);
    const int64_t L = toRate / g;   // output steps per input period
    const int64_t M = fromRate / g; // input samples advanced per L output steps
    const int64_t outFrames = (inFrames * toRate + fromRate / 2) / fromRate;

    const double cutoff = std::min(1.0, double(toRate) / fromRate) * kCutoffMargin;
    const int phases = int(std::min<int64_t>(L, kMaxPhases));
    const SincTable table = makeSincTable(cutoff, phases);
    const int H = table.halfTaps, stride = table.stride;

    // Each side as floats with silence around it, so every tap reads inside the array.
    const size_t pad = size_t(stride);
    std::vector<float> left(size_t(inFrames) + 2 * pad, 0.0f), right(left.size(), 0.0f);
    for (int64_t i = 0; i < inFrames; ++i) {
        left[pad + size_t(i)] = in[size_t(2 * i)];
        right[pad + size_t(i)] = in[size_t(2 * i + 1)];
    }

    std::vector<float> blended(size_t(stride), 0.0f);
    std::vector<int16_t> out(size_t(outFrames) * 2);
    for (int64_t n = 0; n < outFrames; ++n) {
        const int64_t num = n * M;
        const int64_t ip = num / L;
        const int64_t phase = num % L;
        // Exact row when L fits the table, otherwise a blend of the two nearest rows.
        const int64_t scaled = phase * phases;
        const int r = int(scaled / L);
        const float w = float(double(scaled % L) / double(L));
        const float* coeff = table.row(r);
        if (w != 0.0f) {
            const float* next = table.row(r + 1);
            for (int k = 0; k < stride; ++k) blended[size_t(k)] = coeff[k] + w * (next[k] - coeff[k]);
            coeff = blended.data();
        }
        const size_t first = pad + size_t(ip) - size_t(H - 1);
        out[size_t(2 * n)] = toInt16(dot(coeff, left.data() + first, stride));
        out[size_t(2 * n + 1)] = toInt16(dot(coeff, right.data() + first, stride));
    }
    return out;
}

// ---------------------------------------------------------------------------
// Decoding
// ---------------------------------------------------------------------------

namespace {

struct MemoryReader {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

mpg123_ssize_t readMemory(void* handle, void* buffer, size_t bytes) {
    auto* m = static_cast<MemoryReader*>(handle);
    const size_t n = std::min(bytes, m->size - m->pos);
    if (n == 0) return 0;
    std::memcpy(buffer, m->data + m->pos, n);
    m->pos += n;
    return mpg123_ssize_t(n);
}

off_t seekMemory(void* handle, off_t offset, int whence) {
    auto* m = static_cast<MemoryReader*>(handle);
    int64_t base = 0;
    if (whence == SEEK_CUR) base = int64_t(m->pos);
    else if (whence == SEEK_END) base = int64_t(m->size);
    else if (whence != SEEK_SET) return -1;
    const int64_t target = base + int64_t(offset);
    if (target < 0 || target > int64_t(m->size)) return -1;
    m->pos = size_t(target);
    return off_t(target);
}

void setError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

// Positions are 32-bit sample counts in the mixer.
constexpr size_t kMaxFrames = size_t(std::numeric_limits<int32_t>::max());

struct Segment {
    std::vector<int16_t> stereo;
    long rate = 0;
};

bool appendConverted(Segment& seg, DecodedAudio& out, std::string* error) {
    if (seg.stereo.empty()) return true;
    std::vector<int16_t> converted = resampleStereo(seg.stereo, int(seg.rate), kSoundRate);
    if (converted.empty()) {
        setError(error, "unsupported sample rate " + std::to_string(seg.rate));
        return false;
    }
    if (out.samples.size() / 2 + converted.size() / 2 > kMaxFrames) {
        setError(error, "decoded audio too long");
        return false;
    }
    out.samples.insert(out.samples.end(), converted.begin(), converted.end());
    seg.stereo.clear();
    return true;
}

bool decodeWithHandle(mpg123_handle* mh, MemoryReader& reader, DecodedAudio& out, std::string* error) {
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0);
    mpg123_format_none(mh);
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i) mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);

    if (mpg123_replace_reader_handle(mh, readMemory, seekMemory, nullptr) != MPG123_OK ||
        mpg123_open_handle(mh, &reader) != MPG123_OK) {
        setError(error, std::string("cannot open stream: ") + mpg123_strerror(mh));
        return false;
    }

    Segment seg;
    int channels = 0;
    std::vector<int16_t> buffer(16384);
    bool ok = true;
    for (;;) {
        size_t done = 0;
        const int rc = mpg123_read(mh, buffer.data(), buffer.size() * sizeof(int16_t), &done);
        if (rc == MPG123_NEW_FORMAT) {
            long rate = 0;
            int enc = 0;
            mpg123_getformat(mh, &rate, &channels, &enc);
            // A rate change inside the file: finish the part decoded so far at its own rate.
            if (rate != seg.rate) {
                if (!appendConverted(seg, out, error)) { ok = false; break; }
                seg.rate = rate;
            }
        }
        const size_t values = done / sizeof(int16_t);
        if (values > 0 && channels == 1) {
            for (size_t i = 0; i < values; ++i) {
                seg.stereo.push_back(buffer[i]);
                seg.stereo.push_back(buffer[i]);
            }
        } else if (values > 0) {
            seg.stereo.insert(seg.stereo.end(), buffer.begin(), buffer.begin() + long(values & ~size_t(1)));
        }
        if (seg.stereo.size() / 2 > kMaxFrames) {
            setError(error, "decoded audio too long");
            ok = false;
            break;
        }
        if (rc == MPG123_DONE) break;
        if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT) {
            // A damaged tail still leaves a playable head; only a file with no audio fails.
            if (out.samples.empty() && seg.stereo.empty()) {
                setError(error, std::string("decode error: ") + mpg123_strerror(mh));
                ok = false;
            }
            break;
        }
    }
    if (ok) ok = appendConverted(seg, out, error);
    mpg123_close(mh);
    if (ok && out.samples.empty()) {
        setError(error, "no MPEG audio frames found");
        ok = false;
    }
    return ok;
}

} // namespace

bool decodeMp3Memory(const uint8_t* data, size_t size, DecodedAudio& out, std::string* error) {
    static std::once_flag initOnce;
    std::call_once(initOnce, [] { mpg123_init(); });

    out.samples.clear();
    out.rate = kSoundRate;
    int err = MPG123_OK;
    mpg123_handle* mh = mpg123_new(nullptr, &err);
    if (!mh) {
        setError(error, std::string("decoder unavailable: ") + mpg123_plain_strerror(err));
        return false;
    }
    MemoryReader reader{data, data ? size : 0, 0};
    bool ok = false;
    try {
        ok = decodeWithHandle(mh, reader, out, error);
    } catch (const std::bad_alloc&) {
        setError(error, "out of memory while decoding");
        ok = false;
    }
    mpg123_delete(mh);
    if (!ok) out.samples.clear();
    return ok;
}

bool decodeMp3File(const std::string& path, DecodedAudio& out, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        setError(error, path + ": cannot open");
        out.samples.clear();
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) {
        setError(error, path + ": read error");
        out.samples.clear();
        return false;
    }
    std::string reason;
    if (!decodeMp3Memory(bytes.data(), bytes.size(), out, &reason)) {
        setError(error, path + ": " + reason);
        return false;
    }
    return true;
}
