// Band-limited rate conversion for decoded tracks: a Kaiser-windowed sinc
// resampler that brings any rate to the mixer's 44 100 Hz. Runs on the loading
// thread, never on the mixer's.
#include "audio/sound_decode.h"

#include <algorithm>
#include <cmath>
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
