// The generated tracks as the show will hear them: rendered through the generator's
// own entries, decoded by the sound layer, then measured (length, headroom, DC, the
// loudness of each section, the loop seam) and rendered again for byte equality.
#include "audio/sound_decode.h"
#include "tools/assetgen/asset_registry.h"
#include "tools/assetgen/music/music.h"
#include "tools/assetgen/music/score.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

constexpr int kRate = 44100;
constexpr int kMinusOneDbfs = 29204; // 32768 * 10^(-1/20)

std::string outputDir()
{
    const std::string dir = std::string(ZUR_BINARY_DIR) + "/music_test_out";
    std::filesystem::create_directories(dir);
    return dir;
}

std::vector<char> readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Renders the asset through the generator's entry and compares it with the
// build's copy, which the generator program wrote in a process of its own (with
// no such copy, a second render here); returns the path of the render.
std::string renderTwiceAndCompare(const std::string& assetPath)
{
    const AssetEntry* entry = nullptr;
    const std::vector<AssetEntry> assets = musicAssets();
    for (const AssetEntry& a : assets)
        if (a.path == assetPath)
            entry = &a;
    EXPECT_NE(entry, nullptr) << assetPath << " is not registered";
    if (!entry)
        return {};
    const std::string name = std::filesystem::path(assetPath).filename().string();
    const std::string first = outputDir() + "/" + name;
    EXPECT_TRUE(entry->write(first));
    std::string second = std::string(ZUR_SHOW_DIR) + "/" + assetPath;
    const bool rendered = !std::filesystem::exists(second);
    if (rendered) {
        second = outputDir() + "/again_" + name;
        EXPECT_TRUE(entry->write(second));
    }
    const std::vector<char> a = readBytes(first), b = readBytes(second);
    EXPECT_GT(a.size(), 100000u);
    EXPECT_TRUE(a == b) << "two renders of " << assetPath << " differ (" << first << ", " << second << ")";
    if (rendered)
        std::filesystem::remove(second);
    return first;
}

// Duration as ffprobe (an independent decoder) reads it; negative when unavailable.
double ffprobeSeconds(const std::string& path)
{
    const std::string cmd =
        "ffprobe -v error -show_entries format=duration -of default=noprint_wrappers=1:nokey=1 '" + path + "' 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p)
        return -1.0;
    char line[128] = {};
    const bool got = std::fgets(line, sizeof line, p) != nullptr;
    pclose(p);
    return got ? std::atof(line) : -1.0;
}

struct Levels {
    int peak = 0;
    double dc[2] = {0, 0};
};

Levels levelsOf(const DecodedAudio& audio)
{
    Levels l;
    for (size_t i = 0; i < audio.samples.size(); ++i) {
        l.peak = std::max(l.peak, std::abs(static_cast<int>(audio.samples[i])));
        l.dc[i & 1] += audio.samples[i];
    }
    for (double& d : l.dc)
        d /= std::max<size_t>(1, audio.frames());
    return l;
}

// RMS in dBFS over [from, to) seconds; with `highBand` the signal's second
// difference is measured instead, a crude high-pass that shows brushes and shakers.
double rmsDb(const DecodedAudio& audio, double from, double to, bool highBand = false)
{
    const size_t a = static_cast<size_t>(from * kRate), z = std::min(audio.frames(), static_cast<size_t>(to * kRate));
    double sum = 0.0;
    size_t count = 0;
    for (size_t i = std::max<size_t>(a, 2); i < z; ++i)
        for (int c = 0; c < 2; ++c) {
            double v = audio.samples[2 * i + c];
            if (highBand)
                v = v - 2.0 * audio.samples[2 * (i - 1) + c] + audio.samples[2 * (i - 2) + c];
            sum += v * v;
            ++count;
        }
    return 10.0 * std::log10(sum / std::max<size_t>(1, count) / (32768.0 * 32768.0) + 1e-20);
}

} // namespace

TEST(Score, EverySectionIsCompleteAndInOrder)
{
    const std::vector<ScoreSection>& sections = lanternsongSections();
    // The section windows the show's cue sheet is built on.
    const double kPlannedStarts[] = {0.0, 31.9, 62.2, 92.5, 105.7, 123.5, 215.1, 245.1};
    ASSERT_EQ(sections.size(), std::size(kPlannedStarts));
    for (size_t i = 0; i < sections.size(); ++i) {
        const ScoreSection& s = sections[i];
        SCOPED_TRACE(s.name);
        EXPECT_DOUBLE_EQ(s.start, kPlannedStarts[i]);
        EXPECT_LT(sectionStart(static_cast<int>(i)), sectionEnd(static_cast<int>(i)));
        std::istringstream chords(s.chords);
        int count = 0;
        for (std::string symbol; chords >> symbol; ++count) {
            Chord chord;
            EXPECT_TRUE(parseChord(symbol, chord)) << symbol;
        }
        EXPECT_EQ(count, s.bars);
        auto known = [](const auto& table, const std::string& name) {
            return name == "-" || std::any_of(table.begin(), table.end(), [&](const auto& p) { return name == p.name; });
        };
        EXPECT_TRUE(known(arpPatterns(), s.arp)) << s.arp;
        EXPECT_TRUE(known(bassPatterns(), s.bass)) << s.bass;
        std::istringstream drums(s.drums);
        for (std::string name; drums >> name;)
            EXPECT_TRUE(known(drumPatterns(), name)) << name;
        if (std::string(s.melody) != "-") {
            std::istringstream phrases(s.melody);
            int bars = 0;
            for (std::string name; phrases >> name;) {
                const auto& table = melodyPhrases();
                const auto it = std::find_if(table.begin(), table.end(), [&](const NamedPattern& p) { return name == p.name; });
                ASSERT_NE(it, table.end()) << name;
                std::string text = it->steps;
                bars += 1 + static_cast<int>(std::count(text.begin(), text.end(), '|'));
                std::replace(text.begin(), text.end(), '|', ' ');
                std::istringstream tokens(text);
                for (std::string t; tokens >> t;)
                    EXPECT_TRUE(t == "." || t == "-" || parseNote(t) > 0) << name << ": " << t;
            }
            EXPECT_EQ(bars, s.bars);
        }
    }
    // The parsers on the forms the score uses, and on what they must refuse.
    Chord c;
    ASSERT_TRUE(parseChord("Bbmaj7", c));
    EXPECT_EQ(c.root, 10);
    EXPECT_EQ(c.intervals, (std::vector<int>{0, 4, 7, 11}));
    ASSERT_TRUE(parseChord("C/E", c));
    EXPECT_EQ(c.bass, 4);
    EXPECT_FALSE(parseChord("H7", c));
    EXPECT_FALSE(parseChord("Cmaj13", c));
    EXPECT_EQ(parseNote("A4"), 69);
    EXPECT_EQ(parseNote("Bb5"), 82);
    EXPECT_EQ(parseNote("C#3"), 49);
    EXPECT_EQ(parseNote("A"), -1);
}

// Fundamental of a rendered note by autocorrelation around the expected period.
double measuredHz(const std::vector<float>& x, double expectedHz)
{
    const int from = kRate / 5, count = kRate / 2;
    const double period = kRate / expectedHz;
    const int lo = static_cast<int>(period * 0.9), hi = static_cast<int>(period * 1.1) + 1;
    std::vector<double> r(hi + 2, 0.0);
    for (int lag = lo - 1; lag <= hi + 1; ++lag)
        for (int i = from; i < from + count; ++i)
            r[lag] += static_cast<double>(x[i]) * x[i + lag];
    int best = lo;
    for (int lag = lo; lag <= hi; ++lag)
        if (r[lag] > r[best])
            best = lag;
    const double shift = 0.5 * (r[best - 1] - r[best + 1]) / (r[best - 1] - 2.0 * r[best] + r[best + 1]);
    return kRate / (best + shift);
}

TEST(Synth, VoicesPlayInTune)
{
    // The plucked string's pitch depends on how its loop filter and interpolation
    // delays are taken out of the line: an error there detunes the whole piano.
    for (int note : {36, 45, 57, 69, 81, 88}) {
        for (int kind = 0; kind < 3; ++kind) {
            const int frames = 2 * kRate;
            std::vector<float> left(frames, 0.0f), right(frames, 0.0f);
            pluck_voice pluck;
            pad_voice pad;
            bass_voice bass;
            if (kind == 0)
                pluck.start(note, 0.7f, 0.0f, 0, frames, 7);
            else if (kind == 1)
                pad.start(note, 0.7f, 3000.0f, Envelope{0.05f, 1.0f, 0.8f, 1.0f}, 0, frames, 7);
            else
                bass.start(note, 0.7f, 0, frames);
            for (int i = 0; i < frames; i += 256) {
                const int n = std::min(256, frames - i);
                if (kind == 0)
                    pluck.render(&left[i], &right[i], n);
                else if (kind == 1)
                    pad.render(&left[i], &right[i], n);
                else
                    bass.render(&left[i], &right[i], n);
            }
            for (int i = 0; i < frames; ++i)
                left[i] += right[i];
            const double hz = midiToHz(note);
            const double cents = 1200.0 * std::log2(measuredHz(left, hz) / hz);
            EXPECT_NEAR(cents, 0.0, 3.0) << "note " << note << ", voice " << kind;
        }
    }
}

TEST(Synth, NotesStartOnTheirFrameWhateverTheBlockEdges)
{
    // A note may be due anywhere in a block, including on its last frame or exactly
    // at its end; it must sound from that frame on, never before and never be lost.
    constexpr int kBlock = 64;
    for (int delay : {0, 1, kBlock - 1, kBlock, kBlock + 5, 3 * kBlock}) {
        for (int kind = 0; kind < 4; ++kind) {
            std::vector<float> left(8 * kBlock, 0.0f), right(8 * kBlock, 0.0f);
            pluck_voice pluck;
            pad_voice pad;
            bass_voice bass;
            drum_voice drum;
            switch (kind) {
            case 0: pluck.start(60, 0.8f, 0.0f, delay, kRate, 3); break;
            case 1: pad.start(60, 0.8f, 2000.0f, Envelope{0.001f, 0.1f, 0.8f, 0.1f}, delay, kRate, 3); break;
            case 2: bass.start(48, 0.8f, delay, kRate); break;
            case 3: drum.start(DrumKind::kBrush, 0.8f, 0.0f, delay, 3); break;
            }
            for (int b = 0; b < 8; ++b) {
                float* l = &left[b * kBlock];
                float* r = &right[b * kBlock];
                switch (kind) {
                case 0: pluck.render(l, r, kBlock); break;
                case 1: pad.render(l, r, kBlock); break;
                case 2: bass.render(l, r, kBlock); break;
                case 3: drum.render(l, r, kBlock); break;
                }
            }
            int first = -1;
            for (int i = 0; i < static_cast<int>(left.size()) && first < 0; ++i)
                if (left[i] != 0.0f || right[i] != 0.0f)
                    first = i;
            // The first frame of a note may be an exact zero (a sine at phase 0).
            EXPECT_GE(first, delay) << "voice " << kind << ", delay " << delay;
            EXPECT_LE(first, delay + 2) << "voice " << kind << ", delay " << delay;
        }
    }
}

TEST(Synth, VoicesEndWithoutAClick)
{
    // Every voice is eventually switched off; whatever it still played then must be
    // far below its peak, or each note's end would tick.
    auto lastAgainstPeak = [](auto& voice) {
        std::vector<float> left(256), right(256);
        float peak = 0.0f, last = 0.0f;
        for (int block = 0; block < 20 * kRate / 256 && voice.active(); ++block) {
            std::fill(left.begin(), left.end(), 0.0f);
            std::fill(right.begin(), right.end(), 0.0f);
            voice.render(left.data(), right.data(), 256);
            for (int i = 0; i < 256; ++i) {
                const float v = std::max(std::fabs(left[i]), std::fabs(right[i]));
                peak = std::max(peak, v);
                if (v != 0.0f)
                    last = v;
            }
        }
        EXPECT_FALSE(voice.active());
        return 20.0 * std::log10(last / peak + 1e-12);
    };
    for (DrumKind kind : {DrumKind::kKick, DrumKind::kBrush, DrumKind::kRim, DrumKind::kShaker}) {
        drum_voice drum;
        drum.start(kind, 1.0f, 0.0f, 0, 5);
        EXPECT_LT(lastAgainstPeak(drum), -60.0) << "drum " << static_cast<int>(kind);
    }
    pluck_voice pluck;
    pluck.start(52, 1.0f, 0.0f, 0, kRate / 2, 5);
    EXPECT_LT(lastAgainstPeak(pluck), -60.0);
    pad_voice pad;
    pad.start(60, 1.0f, 2000.0f, Envelope{0.2f, 0.5f, 0.8f, 1.0f}, 0, kRate / 2, 5);
    EXPECT_LT(lastAgainstPeak(pad), -60.0);
    bass_voice bass;
    bass.start(40, 1.0f, 0, kRate / 2);
    EXPECT_LT(lastAgainstPeak(bass), -60.0);
}

TEST(Synth, Mp3KeepsLengthAndAlignment)
{
    // The Info frame tells the decoder how much encoder delay and padding to drop:
    // an odd length must come back exactly, sample-aligned with what went in.
    for (int frames : {kRate + 37, 5000}) {
        StereoBuffer in;
        in.resize(frames);
        for (int i = 0; i < frames; ++i) {
            in.left[i] = 0.5f * static_cast<float>(std::sin(2.0 * 3.14159265358979 * 440.0 * i / kRate));
            in.right[i] = 0.3f * static_cast<float>(std::sin(2.0 * 3.14159265358979 * 660.0 * i / kRate));
        }
        std::vector<uint8_t> mp3;
        std::string error;
        ASSERT_TRUE(encodeMp3(in, 192, mp3, &error)) << error;
        DecodedAudio out;
        ASSERT_TRUE(decodeMp3Memory(mp3.data(), mp3.size(), out, &error)) << error;
        ASSERT_EQ(out.frames(), static_cast<size_t>(frames));
        // The encoder trims the level a little (0.26 dB here); fit that gain first, so
        // what is left is the coding error, which a one-sample shift would raise to
        // about 23 dB under these tones.
        double signal = 0.0, noise = 0.0;
        for (int c = 0; c < 2; ++c) {
            const std::vector<float>& x = c == 0 ? in.left : in.right;
            double xy = 0.0, xx = 0.0;
            for (int i = 1000; i < frames - 1000; ++i) {
                xy += x[i] * 32767.0 * out.samples[2 * i + c];
                xx += x[i] * 32767.0 * x[i] * 32767.0;
            }
            const double gain = xy / xx;
            EXPECT_NEAR(gain, 1.0, 0.05);
            for (int i = 1000; i < frames - 1000; ++i) {
                const double e = out.samples[2 * i + c] - gain * x[i] * 32767.0;
                noise += e * e;
            }
            signal += xx;
        }
        const double snr = 10.0 * std::log10(signal / noise);
        std::printf("mp3 round trip of %d frames: %.1f dB signal to error\n", frames, snr);
        EXPECT_GT(snr, 50.0) << frames << " frames";
    }
}

TEST(Synth, LimiterHoldsTheCeilingAndLeavesQuietPassagesAlone)
{
    StereoBuffer b;
    b.resize(3 * kRate);
    NoiseSource noise(99);
    for (int i = 0; i < b.frames(); ++i) {
        // Quiet tone, then a loud burst in the second half-second, then quiet again.
        const bool loud = i >= kRate / 2 && i < kRate;
        const float tone = 0.2f * static_cast<float>(std::sin(2.0 * 3.14159265 * 330.0 * i / kRate));
        b.left[i] = tone + (loud ? 1.6f * noise.bipolar() : 0.0f);
        b.right[i] = -tone;
    }
    const StereoBuffer before = b;
    const float ceiling = dbToGain(-3.0f);
    limitPeaks(b, ceiling, 0.004f, 0.25f);
    float peak = 0.0f;
    for (int i = 0; i < b.frames(); ++i)
        peak = std::max({peak, std::fabs(b.left[i]), std::fabs(b.right[i])});
    EXPECT_LE(peak, ceiling);
    // Untouched well before the burst and once the release has run out.
    for (int i : {0, kRate / 4, 2 * kRate + kRate / 2, 3 * kRate - 1}) {
        EXPECT_FLOAT_EQ(b.left[i], before.left[i]) << "frame " << i;
        EXPECT_FLOAT_EQ(b.right[i], before.right[i]) << "frame " << i;
    }
}

TEST(Synth, ReverbTailDiesAway)
{
    stereo_reverb reverb(0.86f, 0.35f, 0.022f);
    const int frames = 12 * kRate;
    std::vector<float> inL(frames, 0.0f), inR(frames, 0.0f), outL(frames, 0.0f), outR(frames, 0.0f);
    inL[0] = 1.0f;
    reverb.process(inL.data(), inR.data(), outL.data(), outR.data(), frames);
    auto energy = [&](int from, int to) {
        double e = 0.0;
        for (int i = from; i < to; ++i)
            e += static_cast<double>(outL[i]) * outL[i] + static_cast<double>(outR[i]) * outR[i];
        return e;
    };
    const double early = energy(0, kRate / 2), late = energy(10 * kRate, 12 * kRate);
    EXPECT_GT(early, 0.0);
    EXPECT_LT(10.0 * std::log10(late / early + 1e-30), -80.0);
    // Both sides carry the tail of a source panned hard left.
    double left = 0.0, right = 0.0;
    for (int i = 0; i < kRate; ++i) {
        left += static_cast<double>(outL[i]) * outL[i];
        right += static_cast<double>(outR[i]) * outR[i];
    }
    EXPECT_GT(right, 0.1 * left); // within 10 dB of the side it came from
}

TEST(Lanternsong, DecodesToItsLengthWithHeadroomAndFollowsTheSectionPlan)
{
    const std::string path = renderTwiceAndCompare("music/lanternsong.mp3");
    ASSERT_FALSE(path.empty());
    DecodedAudio audio;
    std::string error;
    ASSERT_TRUE(decodeMp3File(path, audio, &error)) << error;
    EXPECT_EQ(audio.rate, kRate);
    EXPECT_EQ(audio.frames(), static_cast<size_t>(std::lround(kSongSeconds * kRate)));
    const double probed = ffprobeSeconds(path);
    if (probed >= 0.0) {
        EXPECT_NEAR(probed, kSongSeconds, 0.05);
    }

    const Levels l = levelsOf(audio);
    EXPECT_LT(l.peak, kMinusOneDbfs);
    EXPECT_LT(std::fabs(l.dc[0]), 30.0);
    EXPECT_LT(std::fabs(l.dc[1]), 30.0);

    // Each section's loudness, away from the crossfades at its edges, moves the way
    // the score plans it: up where the plan goes up, down where it goes down.
    const std::vector<ScoreSection>& sections = lanternsongSections();
    std::vector<double> measured;
    for (int i = 0; i + 1 < static_cast<int>(sections.size()); ++i) { // the last one is the fade itself
        const double to = std::min(sectionEnd(i), kSongFadeStart);
        measured.push_back(rmsDb(audio, sectionStart(i) + 0.75, to - 0.25));
        std::printf("section %-11s %6.1f-%6.1f s: %6.2f dBFS (plan %+5.1f dB), high band %6.2f dBFS\n",
                    sections[i].name, sectionStart(i), sectionEnd(i), measured.back(), sections[i].plannedDb,
                    rmsDb(audio, sectionStart(i) + 0.75, to - 0.25, true));
    }
    for (size_t i = 0; i + 1 < measured.size(); ++i) {
        SCOPED_TRACE(std::string(sections[i].name) + " -> " + sections[i + 1].name);
        const double planned = sections[i + 1].plannedDb - sections[i].plannedDb;
        const double got = measured[i + 1] - measured[i];
        if (std::fabs(planned) >= 1.5) {
            EXPECT_GT(got * (planned > 0 ? 1 : -1), 1.0) << "planned " << planned << " dB, measured " << got << " dB";
        }
        EXPECT_NEAR(got, planned, 2.5);
    }
    // Where a section swells or fades, its second half is louder or quieter than its first.
    for (size_t i = 0; i < measured.size(); ++i) {
        if (std::fabs(sections[i].swellDb) < 3.0f)
            continue;
        const double a = sectionStart(static_cast<int>(i)), z = std::min(sectionEnd(static_cast<int>(i)), kSongFadeStart);
        const double change = rmsDb(audio, (a + z) / 2, z - 0.25) - rmsDb(audio, a + 0.75, (a + z) / 2);
        std::printf("section %-11s second half against first: %+5.2f dB (swell %+4.1f dB)\n", sections[i].name,
                    change, sections[i].swellDb);
        EXPECT_GT(change * (sections[i].swellDb > 0 ? 1 : -1), 1.0) << sections[i].name << ": " << change << " dB";
    }
    // Percussion arrives with the long middle section: its brushes and shakers lift
    // the high band against the fuller section before it.
    const int journey = 5, themeFull = 2;
    const double lift = (rmsDb(audio, sectionStart(journey) + 1, sectionEnd(journey) - 1, true) - measured[journey]) -
                        (rmsDb(audio, sectionStart(themeFull) + 1, sectionEnd(themeFull) - 1, true) - measured[themeFull]);
    EXPECT_GT(lift, 6.0) << "high-band lift " << lift << " dB";
    // Faded out by the planned time, and still sounding just before the fade.
    EXPECT_LT(rmsDb(audio, kSongFadeEnd, kSongSeconds), -90.0);
    EXPECT_GT(rmsDb(audio, kSongFadeStart - 2.0, kSongFadeStart), -40.0);
}

TEST(PencilLoop, DecodesLongEnoughAndJoinsWithoutAJump)
{
    const std::string path = renderTwiceAndCompare("music/pencil_bassy.mp3");
    ASSERT_FALSE(path.empty());
    DecodedAudio audio;
    std::string error;
    ASSERT_TRUE(decodeMp3File(path, audio, &error)) << error;
    EXPECT_EQ(audio.frames(), static_cast<size_t>(std::lround(kPencilLoopSeconds * kRate)));
    // The show starts the loop 2 205 000 samples in; it must run well past that.
    EXPECT_GE(audio.frames(), 120u * kRate);
    const double probed = ffprobeSeconds(path);
    if (probed >= 0.0) {
        EXPECT_NEAR(probed, kPencilLoopSeconds, 0.05);
    }

    const Levels l = levelsOf(audio);
    EXPECT_LT(l.peak, kMinusOneDbfs);
    EXPECT_LT(std::fabs(l.dc[0]), 30.0);
    EXPECT_LT(std::fabs(l.dc[1]), 30.0);
    EXPECT_GT(rmsDb(audio, 0.0, kPencilLoopSeconds), -30.0);

    // The mixer plays the last decoded frame and then the first: that step must look
    // like any other step of the signal around it, and there must be signal there.
    const size_t n = audio.frames();
    EXPECT_GT(rmsDb(audio, 0.0, 0.05), -45.0);
    EXPECT_GT(rmsDb(audio, kPencilLoopSeconds - 0.05, kPencilLoopSeconds), -45.0);
    for (int c = 0; c < 2; ++c) {
        auto at = [&](size_t frame) { return static_cast<int>(audio.samples[2 * frame + c]); };
        std::vector<int> steps;
        for (size_t i = 1; i < n; ++i)
            steps.push_back(std::abs(at(i) - at(i - 1)));
        int nearSeam = 0;
        for (size_t i = 1; i < 2048; ++i)
            nearSeam = std::max({nearSeam, steps[i - 1], steps[n - 1 - i]});
        std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
        const int median = steps[steps.size() / 2];
        std::nth_element(steps.begin(), steps.begin() + steps.size() * 99 / 100, steps.end());
        const int p99 = steps[steps.size() * 99 / 100];
        const int seam = std::abs(at(0) - at(n - 1));
        std::printf("pencil loop channel %d: seam step %d; largest step within 2048 frames of the seam %d; "
                    "steps over the whole loop: median %d, 99th percentile %d\n", c, seam, nearSeam, median, p99);
        EXPECT_LE(seam, nearSeam);
        EXPECT_LE(seam, p99);
    }
}
