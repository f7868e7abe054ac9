// "music/pencil_bassy.mp3": graphite scratching on paper in stroke-length bursts
// (hatching, long lines, scribbles), the paper's resonances, the rumble of pressure
// on the desk and a low hum. The loop is seamless by construction: every noise is a
// hash of the position modulo the loop length, every tone has a whole number of
// cycles per loop, and the filters and the reverb are run in from the loop's end so
// their state at the first sample is the state they have after the last one.
#include "tools/assetgen/music/music.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kControlBlock = 32;           // frames per control step (filter centres, pan)
constexpr double kRunInSeconds = 6.0;       // longer than any filter or reverb memory
constexpr uint32_t kStrokeSeed = 4711u;
constexpr float kBodyDb = -7.0f;    // 99.9th percentile of the scratching
constexpr float kKneeDb = -6.5f;    // soft knee starts here
constexpr float kPeakDb = -3.5f;    // and never goes past this

// Paper resonances: centre (Hz), Q, level.
constexpr float kPaperModes[4][3] = {
    {182.0f, 9.0f, 0.9f},
    {431.0f, 11.0f, 0.7f},
    {1147.0f, 13.0f, 0.45f},
    {2890.0f, 12.0f, 0.3f},
};

// Hum partials: cycles per loop (128 s, so 7040 is 55 Hz) and level. The two near
// 55 Hz beat slowly, like a transformer under the desk.
constexpr struct { int cyclesPerLoop; float level; } kHum[4] = {
    {7040, 1.0f}, {7056, 0.45f}, {14080, 0.42f}, {21120, 0.16f},
};

struct Stroke {
    double start, length;   // seconds
    float level;            // pressure
    float centreHz;         // where the scratch sits: faster strokes sound higher
    float pan;
    float wobbleHz;         // scribbles wobble their pressure
};

uint32_t hash32(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return x;
}

// White noise as a pure function of the position in the loop.
float noiseAt(uint32_t position, uint32_t salt)
{
    const uint32_t h = hash32(position * 0x9e3779b1u + salt * 0x85ebca6bu + 0x27d4eb2fu);
    return static_cast<float>(h >> 8) * (2.0f / 16777216.0f) - 1.0f;
}

// Gestures one after another: quick hatching, long lines and scribbles, with
// pauses between them. The last stroke is drawn across the loop point.
std::vector<Stroke> planStrokes(double loopSeconds)
{
    NoiseSource r(kStrokeSeed);
    std::vector<Stroke> strokes;
    auto range = [&r](double lo, double hi) { return lo + (hi - lo) * r.unit(); };
    double t = 0.3;
    const double lastEnd = loopSeconds - 0.6;
    while (true) {
        const float choice = r.unit();
        std::vector<Stroke> gesture;
        double g = t;
        const float pan = static_cast<float>(range(-0.35, 0.35));
        if (choice < 0.45) { // hatching: short strokes back and forth
            const int count = 5 + static_cast<int>(r.unit() * 14);
            const double len = range(0.07, 0.16);
            for (int i = 0; i < count; ++i) {
                const double l = len * range(0.85, 1.15);
                gesture.push_back({g, l, static_cast<float>(range(0.6, 0.95)),
                                   static_cast<float>((i % 2 ? 3400.0 : 2700.0) * range(0.9, 1.1)),
                                   pan + static_cast<float>(i % 2 ? 0.05 : -0.05), 0.0f});
                g += l + range(0.025, 0.07);
            }
        } else if (choice < 0.8) { // long lines
            const int count = 1 + static_cast<int>(r.unit() * 3);
            for (int i = 0; i < count; ++i) {
                const double l = range(0.45, 1.7);
                gesture.push_back({g, l, static_cast<float>(range(0.5, 0.85)), static_cast<float>(range(1700, 2600)),
                                   pan, static_cast<float>(range(0.3, 1.2))});
                g += l + range(0.12, 0.4);
            }
        } else { // scribble
            const double l = range(1.5, 3.8);
            gesture.push_back({g, l, static_cast<float>(range(0.65, 0.95)), static_cast<float>(range(2600, 3800)),
                               pan, static_cast<float>(range(3.5, 7.0))});
            g += l;
        }
        if (g > lastEnd)
            break;
        strokes.insert(strokes.end(), gesture.begin(), gesture.end());
        t = g + range(0.15, 1.3);
    }
    strokes.push_back({loopSeconds - 0.45, 0.7, 0.7f, 2300.0f, 0.0f, 0.8f});
    return strokes;
}

} // namespace

void renderPencilLoop(StereoBuffer& out)
{
    const DenormalGuard noDenormals;
    const int loop = static_cast<int>(std::lround(kPencilLoopSeconds * kSampleRate));
    const int blocks = loop / kControlBlock;
    // Per-sample stroke envelope (pressure) and per-block stroke parameters, around the loop.
    std::vector<float> envelope(loop, 0.0f);
    std::vector<float> centre(blocks, 2500.0f), pan(blocks, 0.0f);
    for (const Stroke& s : planStrokes(kPencilLoopSeconds)) {
        const int start = static_cast<int>(std::lround(s.start * kSampleRate));
        const int length = static_cast<int>(std::lround(s.length * kSampleRate));
        const int attack = std::max(1, std::min(length / 3, static_cast<int>(0.02 * kSampleRate)));
        const int release = std::max(1, std::min(length / 3, static_cast<int>(0.045 * kSampleRate)));
        for (int i = 0; i < length; ++i) {
            const int m = (start + i) % loop;
            float e = 1.0f;
            if (i < attack)
                e = static_cast<float>(i) / attack;
            else if (i >= length - release)
                e = static_cast<float>(length - i) / release;
            const double t = static_cast<double>(i) / kSampleRate;
            const float wobble = 0.78f + 0.22f * static_cast<float>(std::sin(2.0 * kPi * s.wobbleHz * t));
            // Pressure builds a little along the stroke and eases before the lift.
            const float arc = 0.85f + 0.15f * static_cast<float>(std::sin(kPi * i / length));
            envelope[m] = std::max(envelope[m], e * e * s.level * wobble * arc);
            if (m % kControlBlock == 0) {
                // Lines slow down towards their end, so their scratch sinks a little.
                centre[m / kControlBlock] = s.centreHz * static_cast<float>(1.0 - 0.18 * i / length);
                pan[m / kControlBlock] = s.pan;
            }
        }
    }

    SvfFilter scratch, sizzle, body, rumble, modes[4];
    body.setup(620.0f, 0.7f);
    sizzle.setup(5200.0f, 0.7f);
    rumble.setup(85.0f, 1.1f);
    for (int i = 0; i < 4; ++i)
        modes[i].setup(kPaperModes[i][0], kPaperModes[i][1]);
    float grain = 0.0f, soft = 0.0f, panL = 0.7071f, panR = 0.7071f;
    stereo_reverb room(0.62f, 0.5f, 0.008f);

    out.resize(loop);
    const int runIn = static_cast<int>(kRunInSeconds * kSampleRate) / kControlBlock * kControlBlock;
    constexpr int kBlock = kControlBlock;
    float dryL[kBlock], dryR[kBlock], sendL[kBlock], sendR[kBlock], wetL[kBlock], wetR[kBlock];
    for (int n0 = -runIn; n0 < loop; n0 += kBlock) {
        const int block = ((n0 % loop) + loop) % loop / kControlBlock;
        scratch.setup(centre[block], 0.9f);
        const float targetPan = static_cast<float>((pan[block] + 1.0f) * 0.25f * kPi);
        for (int i = 0; i < kBlock; ++i) {
            const uint32_t m = static_cast<uint32_t>((((n0 + i) % loop) + loop) % loop);
            const float e = envelope[m];
            grain += 0.042f * (noiseAt(m, 2) - grain);
            const float roughness = std::max(0.0f, 1.0f + 6.0f * grain);
            scratch.process(noiseAt(m, 1));
            const float s = scratch.band * roughness;
            sizzle.process(noiseAt(m, 3));
            body.process(noiseAt(m, 4));
            const float hiss = sizzle.high;
            rumble.process(noiseAt(m, 5));
            // Graphite on paper has little above 9 kHz: one gentle pole takes the top off.
            const float raw = 1.1f * s + 0.15f * hiss * roughness + 0.45f * body.band;
            soft += 0.72f * (raw - soft);
            const float stroke = e * soft;
            float resonance = 0.0f;
            for (int k = 0; k < 4; ++k) {
                modes[k].process(stroke);
                resonance += modes[k].band * kPaperModes[k][2];
            }
            const float thump = e * rumble.low * 2.2f;
            double hum = 0.0;
            for (const auto& h : kHum)
                hum += h.level * std::sin(2.0 * kPi * static_cast<double>(h.cyclesPerLoop) * m / loop);
            const float humLevel =
                0.05f * (1.0f + 0.25f * static_cast<float>(std::sin(2.0 * kPi * 9.0 * m / loop)));
            // Faint paper noise between strokes, so the pauses are never dead silent.
            const float floorNoise = 0.012f * body.band;
            panL += 0.002f * (std::cos(targetPan) - panL);
            panR += 0.002f * (std::sin(targetPan) - panR);
            const float centreMono = thump + static_cast<float>(hum) * humLevel + floorNoise;
            const float scratchy = stroke + 0.35f * resonance;
            dryL[i] = scratchy * panL + centreMono;
            dryR[i] = scratchy * panR + centreMono;
            sendL[i] = (stroke + resonance) * 0.5f * panL;
            sendR[i] = (stroke + resonance) * 0.5f * panR;
            wetL[i] = 0.0f;
            wetR[i] = 0.0f;
        }
        room.process(sendL, sendR, wetL, wetR, kBlock);
        if (n0 < 0)
            continue;
        for (int i = 0; i < kBlock && n0 + i < loop; ++i) {
            out.left[n0 + i] = dryL[i] + 0.6f * wetL[i];
            out.right[n0 + i] = dryR[i] + 0.6f * wetR[i];
        }
    }

    // Level: a fixed gain puts the loud end of the strokes (the 99.9th percentile)
    // at kBodyDb, and a memoryless soft knee rounds the rare pressure peaks off
    // below kPeakDb. Neither has memory, so neither can break the seam.
    std::vector<float> magnitudes;
    magnitudes.reserve(2 * static_cast<size_t>(loop));
    for (int i = 0; i < loop; ++i) {
        magnitudes.push_back(std::fabs(out.left[i]));
        magnitudes.push_back(std::fabs(out.right[i]));
    }
    const size_t rank = magnitudes.size() * 999 / 1000;
    std::nth_element(magnitudes.begin(), magnitudes.begin() + rank, magnitudes.end());
    const float gain = dbToGain(kBodyDb) / std::max(1e-9f, magnitudes[rank]);
    const float knee = dbToGain(kKneeDb), ceiling = dbToGain(kPeakDb);
    for (std::vector<float>* ch : {&out.left, &out.right})
        for (float& v : *ch) {
            const float x = v * gain;
            const float a = std::fabs(x);
            const float y = a <= knee ? a : knee + (ceiling - knee) * std::tanh((a - knee) / (ceiling - knee));
            v = x < 0.0f ? -y : y;
        }
}

bool writePencilLoop(const std::string& path, std::string* error)
{
    StereoBuffer buffer;
    renderPencilLoop(buffer);
    return writeMp3File(buffer, kMp3Kbps, path, error);
}
