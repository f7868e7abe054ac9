// Turns the score into timed note events and renders them: voices into four buses
// (piano, pad, bass, drums), a shared reverb, a DC blocker, the closing fade, loudness
// normalisation and the peak limiter. Timing is humanised by a seeded generator.
#include "tools/assetgen/music/music.h"
#include "tools/assetgen/music/score.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace {

// Mix constants: the section levels in the score shape each note; these place the buses.
constexpr float kPianoBus = 0.55f, kPadBus = 0.30f, kBassBus = 0.32f, kDrumBus = 0.45f;
constexpr float kPianoSend = 0.34f, kPadSend = 0.50f, kBassSend = 0.04f, kDrumSend = 0.20f;
constexpr float kLoudestSectionRmsDb = -17.0f; // where the loudest section lands after normalising
constexpr float kCeilingDb = -3.0f;            // MP3 decoding overshoots peaks a little; keep room
constexpr uint32_t kHumanSeed = 20141u;

enum class Instrument { kPiano, kPad, kBass, kDrum };

struct NoteEvent {
    int frame;
    Instrument instrument;
    double note;
    float velocity;
    float pan;
    int holdFrames;
    float cutoffHz;
    DrumKind drum;
    uint32_t seed;
};

int toFrame(double seconds) { return static_cast<int>(std::lround(seconds * kSampleRate)); }

std::vector<std::string> splitWords(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    std::string w;
    while (in >> w)
        words.push_back(w);
    return words;
}

std::vector<std::string> splitBars(const std::string& text)
{
    std::vector<std::string> bars;
    size_t start = 0;
    while (true) {
        const size_t bar = text.find('|', start);
        bars.push_back(text.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    return bars;
}

const char* findPattern(const std::vector<NamedPattern>& table, const std::string& name)
{
    for (const NamedPattern& p : table)
        if (name == p.name)
            return p.steps;
    std::fprintf(stderr, "lanternsong: unknown pattern \"%s\"\n", name.c_str());
    return nullptr;
}

// Lowest placement of pitch class `pc` at or above `low`.
int placeAbove(int pc, int low) { return low + ((pc - low) % 12 + 12) % 12; }

// Four chord tones between G3 and G5, picked as the run of consecutive tones whose
// centre lies nearest the previous chord's, so the harmony moves by small steps.
std::vector<int> voiceChord(const Chord& chord, double& centre)
{
    std::vector<int> tones;
    for (int n = 55; n <= 79; ++n)
        for (int iv : chord.intervals)
            if ((n - chord.root - iv) % 12 == 0) {
                tones.push_back(n);
                break;
            }
    std::vector<int> best(tones.begin(), tones.begin() + 4);
    double bestDistance = 1e9;
    for (size_t i = 0; i + 4 <= tones.size(); ++i) {
        const double mean = (tones[i] + tones[i + 1] + tones[i + 2] + tones[i + 3]) / 4.0;
        if (std::fabs(mean - centre) < bestDistance) {
            bestDistance = std::fabs(mean - centre);
            best.assign(tones.begin() + i, tones.begin() + i + 4);
        }
    }
    centre = 0.7 * centre + 0.3 * ((best[0] + best[1] + best[2] + best[3]) / 4.0);
    return best;
}

struct EventBuilder {
    std::vector<NoteEvent> events;
    NoiseSource human{kHumanSeed};
    uint32_t nextSeed = 1;
    double from = 0.0, to = 1.0; // the section being built
    float swellDb = 0.0f;

    void add(double seconds, Instrument inst, double note, float velocity, float pan, double holdSeconds,
             float cutoff = 0.0f, DrumKind drum = DrumKind::kKick)
    {
        const int frame = std::max(0, toFrame(seconds));
        // The section's swell moves every velocity (and the pad's brightness) along a
        // straight line in dB, centred on the section's middle.
        const float along = static_cast<float>(std::clamp((seconds - from) / (to - from), 0.0, 1.0)) - 0.5f;
        velocity *= dbToGain(swellDb * along);
        cutoff *= dbToGain(swellDb * along);
        events.push_back({frame, inst, note, std::clamp(velocity, 0.0f, 1.0f), pan,
                          std::max(1, toFrame(holdSeconds)), cutoff, drum, nextSeed++ * 2654435761u});
    }
    float jitter(float seconds) { return human.bipolar() * seconds; }
};

void buildSection(EventBuilder& b, int index, double& centre)
{
    const ScoreSection& s = lanternsongSections()[index];
    const double start = sectionStart(index);
    const double barSeconds = (sectionEnd(index) - start) / s.bars;
    const double step = barSeconds / 16.0;
    const std::vector<std::string> chords = splitWords(s.chords);
    const char* arpText = findPattern(arpPatterns(), s.arp);
    const std::vector<std::string> arpBars = splitBars(arpText ? arpText : "");
    const char* bassText = std::string(s.bass) == "-" ? nullptr : findPattern(bassPatterns(), s.bass);
    const std::vector<std::string> bassBars = splitBars(bassText ? bassText : "");
    const std::vector<std::string> drumNames = splitWords(s.drums);
    b.from = start;
    b.to = sectionEnd(index);
    b.swellDb = s.swellDb;

    // Melody: the phrases' eighth-note tokens laid end to end.
    std::vector<std::string> melody;
    if (std::string(s.melody) != "-")
        for (const std::string& phrase : splitWords(s.melody))
            if (const char* text = findPattern(melodyPhrases(), phrase))
                for (const std::string& bar : splitBars(text)) {
                    std::vector<std::string> tokens = splitWords(bar);
                    tokens.resize(8, "-");
                    melody.insert(melody.end(), tokens.begin(), tokens.end());
                }

    std::vector<int> padPrevious;
    std::vector<double> padStart;
    for (int bar = 0; bar < s.bars; ++bar) {
        const double barStart = start + bar * barSeconds;
        const double barEnd = barStart + barSeconds;
        Chord chord;
        if (bar >= static_cast<int>(chords.size()) || !parseChord(chords[bar], chord)) {
            std::fprintf(stderr, "lanternsong: bad chord in bar %d of \"%s\"\n", bar + 1, s.name);
            continue;
        }
        const std::vector<int> voicing = voiceChord(chord, centre);
        const int leftRoot = placeAbove(chord.bass, 41);   // F2 .. E3
        const int bassRoot = placeAbove(chord.bass, 36);   // C2 .. B2
        auto pianoPan = [](int note) { return std::clamp((note - 62) / 28.0f, -0.5f, 0.5f); };

        // Accompaniment: every note rings to the end of the bar, as if on the pedal.
        if (!arpBars.empty()) {
            const std::string& pattern = arpBars[bar % arpBars.size()];
            for (int k = 0; k < 16 && k < static_cast<int>(pattern.size()); ++k) {
                const char c = pattern[k];
                const float accent = k == 0 ? 1.0f : (k % 4 == 0 ? 0.86f : 0.74f);
                const double t = barStart + k * step + b.jitter(0.008f);
                if (c >= '0' && c <= '4') {
                    const int note = c == '0' ? leftRoot : voicing[c - '1'];
                    b.add(t, Instrument::kPiano, note, s.piano * accent * (1.0f + b.jitter(0.06f)), pianoPan(note),
                          barEnd - t + 0.05);
                } else if (c == 'a') {
                    std::vector<int> all = {leftRoot};
                    all.insert(all.end(), voicing.begin(), voicing.end());
                    for (size_t i = 0; i < all.size(); ++i)
                        b.add(t + 0.035 * i, Instrument::kPiano, all[i], s.piano * (0.9f + b.jitter(0.05f)),
                              pianoPan(all[i]), barEnd - t + 0.3);
                }
            }
        }

        // Pad: tones held over from the previous bar are tied, not struck again.
        std::vector<int> carried;
        for (size_t i = 0; i < padPrevious.size(); ++i) {
            if (std::find(voicing.begin(), voicing.end(), padPrevious[i]) == voicing.end()) {
                b.add(padStart[i], Instrument::kPad, padPrevious[i], s.pad, 0.0f, barStart - padStart[i], s.padCutoffHz);
                padStart[i] = -1.0;
            }
        }
        std::vector<int> nextNotes;
        std::vector<double> nextStarts;
        for (int note : voicing) {
            double from = barStart;
            for (size_t i = 0; i < padPrevious.size(); ++i)
                if (padPrevious[i] == note && padStart[i] >= 0.0)
                    from = padStart[i];
            nextNotes.push_back(note);
            nextStarts.push_back(from);
        }
        padPrevious = nextNotes;
        padStart = nextStarts;

        // Bass: each note lasts until the next one in the pattern.
        if (!bassBars.empty() && s.bassLevel > 0.0f) {
            const std::string& pattern = bassBars[bar % bassBars.size()];
            for (int k = 0; k < 16 && k < static_cast<int>(pattern.size()); ++k) {
                const char c = pattern[k];
                if (c != 'R' && c != 'F' && c != 'O')
                    continue;
                int next = k + 1;
                while (next < 16 && next < static_cast<int>(pattern.size()) && pattern[next] == '.')
                    ++next;
                const int note = bassRoot + (c == 'F' ? 7 : (c == 'O' ? 12 : 0));
                const double t = barStart + k * step + b.jitter(0.004f);
                b.add(t, Instrument::kBass, note, s.bassLevel * (k == 0 ? 1.0f : 0.85f), 0.0f,
                      (next - k) * step - 0.04);
            }
        }

        // One drum pattern per eight bars; the last one carries on.
        const DrumPattern* drums = nullptr;
        if (!drumNames.empty())
            for (const DrumPattern& d : drumPatterns())
                if (drumNames[std::min<size_t>(bar / 8, drumNames.size() - 1)] == d.name)
                    drums = &d;
        if (drums) {
            struct Lane { const char* steps; DrumKind kind; float pan; };
            const Lane lanes[4] = {{drums->kick, DrumKind::kKick, 0.0f},
                                   {drums->brush, DrumKind::kBrush, 0.3f},
                                   {drums->rim, DrumKind::kRim, -0.25f},
                                   {drums->shaker, DrumKind::kShaker, 0.45f}};
            for (const Lane& lane : lanes)
                for (int k = 0; k < 16 && lane.steps[k]; ++k)
                    if (lane.steps[k] >= '1' && lane.steps[k] <= '9') {
                        const float v = (lane.steps[k] - '0') / 9.0f * s.drumLevel * (1.0f + b.jitter(0.08f));
                        b.add(barStart + k * step + b.jitter(0.004f), Instrument::kDrum, 0, v, lane.pan, 0.5, 0.0f,
                              lane.kind);
                    }
        }

        // Melody, on the piano, slightly right of centre.
        for (int k = 0; k < 8; ++k) {
            const size_t index8 = static_cast<size_t>(bar) * 8 + k;
            if (index8 >= melody.size())
                break;
            const int note = parseNote(melody[index8]);
            if (note < 0)
                continue;
            size_t end = index8 + 1;
            while (end < melody.size() && melody[end] == ".")
                ++end;
            const double t = barStart + k * 2 * step + b.jitter(0.010f);
            // A gentle swell over each bar keeps the line singing.
            const float shape = 0.88f + 0.12f * static_cast<float>(std::sin(3.14159 * (k + 0.5) / 8.0));
            b.add(t, Instrument::kPiano, note, s.lead * shape * (1.0f + b.jitter(0.05f)), 0.18f,
                  (end - index8) * 2 * step + 0.08);
        }
    }
    // Pad notes still sounding at the end of the section.
    const double end = sectionEnd(index);
    for (size_t i = 0; i < padPrevious.size(); ++i)
        b.add(padStart[i], Instrument::kPad, padPrevious[i], s.pad, 0.0f, end - padStart[i], s.padCutoffHz);
}

template <typename Voice>
Voice* freeVoice(std::vector<Voice>& pool, std::vector<long>& started, long order)
{
    size_t pick = 0;
    for (size_t i = 0; i < pool.size(); ++i) {
        if (!pool[i].active()) {
            pick = i;
            break;
        }
        if (started[i] < started[pick])
            pick = i;
    }
    started[pick] = order;
    return &pool[pick];
}

} // namespace

void renderLanternsong(StereoBuffer& out)
{
    const DenormalGuard noDenormals;
    EventBuilder builder;
    double centre = 65.0;
    for (int i = 0; i < static_cast<int>(lanternsongSections().size()); ++i)
        buildSection(builder, i, centre);
    std::stable_sort(builder.events.begin(), builder.events.end(),
                     [](const NoteEvent& a, const NoteEvent& b) { return a.frame < b.frame; });

    const int frames = toFrame(kSongSeconds);
    out.resize(frames);
    std::vector<pluck_voice> plucks(40);
    std::vector<pad_voice> pads(20);
    std::vector<bass_voice> basses(4);
    std::vector<drum_voice> drums(12);
    std::vector<long> pluckStarted(plucks.size(), -1), padStarted(pads.size(), -1),
        bassStarted(basses.size(), -1), drumStarted(drums.size(), -1);
    stereo_reverb reverb(0.86f, 0.35f, 0.022f);

    constexpr int kBlock = 256;
    float bus[4][2][kBlock];
    float send[2][kBlock];
    size_t next = 0;
    long order = 0;
    for (int blockStart = 0; blockStart < frames; blockStart += kBlock) {
        const int n = std::min(kBlock, frames - blockStart);
        while (next < builder.events.size() && builder.events[next].frame < blockStart + n) {
            const NoteEvent& e = builder.events[next++];
            const int delay = e.frame - blockStart;
            ++order;
            switch (e.instrument) {
            case Instrument::kPiano:
                freeVoice(plucks, pluckStarted, order)->start(e.note, e.velocity, e.pan, delay, e.holdFrames, e.seed);
                break;
            case Instrument::kPad: {
                const float attack = 1.4f;
                freeVoice(pads, padStarted, order)
                    ->start(e.note, e.velocity, e.cutoffHz, Envelope{attack, 2.5f, 0.8f, 2.4f}, delay, e.holdFrames,
                            e.seed);
                break;
            }
            case Instrument::kBass:
                freeVoice(basses, bassStarted, order)->start(e.note, e.velocity, delay, e.holdFrames);
                break;
            case Instrument::kDrum:
                freeVoice(drums, drumStarted, order)->start(e.drum, e.velocity, e.pan, delay, e.seed);
                break;
            }
        }
        for (auto& b : bus)
            for (auto& side : b)
                std::fill(side, side + n, 0.0f);
        for (pluck_voice& v : plucks)
            v.render(bus[0][0], bus[0][1], n);
        for (pad_voice& v : pads)
            v.render(bus[1][0], bus[1][1], n);
        for (bass_voice& v : basses)
            v.render(bus[2][0], bus[2][1], n);
        for (drum_voice& v : drums)
            v.render(bus[3][0], bus[3][1], n);
        float* left = out.left.data() + blockStart;
        float* right = out.right.data() + blockStart;
        for (int side = 0; side < 2; ++side) {
            float* dst = side == 0 ? left : right;
            for (int i = 0; i < n; ++i) {
                dst[i] = bus[0][side][i] * kPianoBus + bus[1][side][i] * kPadBus + bus[2][side][i] * kBassBus +
                         bus[3][side][i] * kDrumBus;
                send[side][i] = bus[0][side][i] * kPianoSend + bus[1][side][i] * kPadSend +
                                bus[2][side][i] * kBassSend + bus[3][side][i] * kDrumSend;
            }
        }
        reverb.process(send[0], send[1], left, right, n);
    }

    // DC blocker (about 15 Hz), then the closing fade.
    const float r = 1.0f - static_cast<float>(2.0 * 3.14159265 * 15.0 / kSampleRate);
    for (std::vector<float>* ch : {&out.left, &out.right}) {
        float x1 = 0.0f, y1 = 0.0f;
        for (float& v : *ch) {
            const float y = v - x1 + r * y1;
            x1 = v;
            y1 = y;
            v = y;
        }
    }
    const int fadeStart = toFrame(kSongFadeStart), fadeEnd = toFrame(kSongFadeEnd);
    for (int i = fadeStart; i < frames; ++i) {
        float g = 0.0f;
        if (i < fadeEnd) {
            const double x = static_cast<double>(i - fadeStart) / (fadeEnd - fadeStart);
            g = static_cast<float>(0.5 + 0.5 * std::cos(3.14159265358979 * x));
        }
        out.left[i] *= g;
        out.right[i] *= g;
    }

    // Normalise on the loudest planned section, then catch the rare peak.
    int loudest = 0;
    for (int i = 0; i < static_cast<int>(lanternsongSections().size()); ++i)
        if (lanternsongSections()[i].plannedDb > lanternsongSections()[loudest].plannedDb)
            loudest = i;
    double sum = 0.0;
    const int a = toFrame(sectionStart(loudest)), z = toFrame(sectionEnd(loudest));
    for (int i = a; i < z; ++i)
        sum += 0.5 * (static_cast<double>(out.left[i]) * out.left[i] + static_cast<double>(out.right[i]) * out.right[i]);
    const double rms = std::sqrt(sum / std::max(1, z - a));
    const float gain = rms > 0.0 ? static_cast<float>(dbToGain(kLoudestSectionRmsDb) / rms) : 1.0f;
    for (int i = 0; i < frames; ++i) {
        out.left[i] *= gain;
        out.right[i] *= gain;
    }
    limitPeaks(out, dbToGain(kCeilingDb), 0.004f, 0.25f);
}

bool writeLanternsong(const std::string& path, std::string* error)
{
    StereoBuffer buffer;
    renderLanternsong(buffer);
    return writeMp3File(buffer, kMp3Kbps, path, error);
}
