// Sound layer: MP3 decoding and rate conversion (against ffmpeg's decoder and the
// tone the test wrote), the mixer's loop/volume/position/saturation rules, and the
// FSOUND calls end to end through the pulled, silent and SDL disk outputs. MP3s are
// made at run time: a WAV written here, encoded with lame.
#include "audio/sound.h"
#include "audio/sound_decode.h"
#include "audio/sound_mixer.h"
#include "audio/sound_pacer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

// ---------------------------------------------------------------------------
// Helpers
// ---------------------------------------------------------------------------

fs::path workDir() {
    static const fs::path dir = [] {
        fs::path d = fs::path(ZUR_BINARY_DIR) / "test-tmp" / ("sound-" + std::to_string(::getpid()));
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

void put16(std::ofstream& f, uint16_t v) { f.put(char(v & 0xFF)); f.put(char(v >> 8)); }
void put32(std::ofstream& f, uint32_t v) { put16(f, uint16_t(v & 0xFFFF)); put16(f, uint16_t(v >> 16)); }

void writeWav(const fs::path& path, int rate, int channels, const std::vector<int16_t>& samples) {
    std::ofstream f(path, std::ios::binary);
    const uint32_t dataBytes = uint32_t(samples.size() * 2);
    f.write("RIFF", 4); put32(f, 36 + dataBytes); f.write("WAVE", 4);
    f.write("fmt ", 4); put32(f, 16); put16(f, 1); put16(f, uint16_t(channels));
    put32(f, uint32_t(rate)); put32(f, uint32_t(rate * channels * 2)); put16(f, uint16_t(channels * 2)); put16(f, 16);
    f.write("data", 4); put32(f, dataBytes);
    for (int16_t s : samples) put16(f, uint16_t(s));
}

// A sine of `hz` at `amplitude` (of full scale); channels share the tone, the right
// one at 3/4 of the level so a swapped pair would show.
std::vector<int16_t> tone(int rate, int channels, double hz, double seconds, double amplitude) {
    const size_t frames = size_t(std::llround(rate * seconds));
    std::vector<int16_t> s(frames * size_t(channels));
    for (size_t i = 0; i < frames; ++i) {
        const double v = amplitude * 32767.0 * std::sin(2.0 * M_PI * hz * double(i) / rate);
        for (int c = 0; c < channels; ++c) s[i * size_t(channels) + size_t(c)] = int16_t(std::lround(c == 1 ? v * 0.75 : v));
    }
    return s;
}

fs::path makeMp3(const std::string& name, int rate, int channels, double hz, double seconds, double amplitude = 0.5) {
    const fs::path wav = workDir() / (name + ".wav");
    const fs::path mp3 = workDir() / (name + ".mp3");
    writeWav(wav, rate, channels, tone(rate, channels, hz, seconds, amplitude));
    const std::string cmd = "lame --quiet -b 192 '" + wav.string() + "' '" + mp3.string() + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return mp3;
}

std::vector<int16_t> readRaw(const fs::path& path) {
    std::ifstream f(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::vector<int16_t> s(bytes.size() / 2);
    for (size_t i = 0; i < s.size(); ++i) s[i] = int16_t(uint8_t(bytes[2 * i]) | (uint8_t(bytes[2 * i + 1]) << 8));
    return s;
}

// ffmpeg as the outside decoder: 44 100 Hz stereo s16 (a mono source copied to both
// sides at full level, as ours does, rather than ffmpeg's -3 dB upmix).
std::vector<int16_t> ffmpegDecode(const fs::path& mp3, bool monoSource = false) {
    const fs::path raw = workDir() / (mp3.stem().string() + ".ffmpeg.raw");
    const std::string layout = monoSource ? "-af 'pan=stereo|c0=c0|c1=c0' " : "-ac 2 ";
    const std::string cmd = "ffmpeg -v error -y -i '" + mp3.string() + "' -f s16le " + layout + "-ar 44100 '" + raw.string() + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return readRaw(raw);
}

// Sign changes of one channel over frames [from, to).
int zeroCrossings(const std::vector<int16_t>& st, int channel, size_t from, size_t to) {
    int n = 0;
    for (size_t i = from + 1; i < to; ++i) n += (st[2 * i - 2 + size_t(channel)] < 0) != (st[2 * i + size_t(channel)] < 0);
    return n;
}

double rms(const std::vector<int16_t>& st, int channel, size_t from, size_t to) {
    double sum = 0.0;
    for (size_t i = from; i < to; ++i) sum += double(st[2 * i + size_t(channel)]) * st[2 * i + size_t(channel)];
    return std::sqrt(sum / double(to - from));
}

int16_t scaled(int16_t s, int volume) {
    const int32_t acc = int32_t(s) * volume;
    const int32_t v = acc >= 0 ? (acc + 127) / 255 : -((-acc + 127) / 255);
    return int16_t(v);
}

// Stereo ramp that never repeats within a few thousand frames: frame i holds
// (i*7 mod 20011) - 10005 on the left and its negation on the right.
std::vector<int16_t> ramp(uint32_t frames) {
    std::vector<int16_t> s(size_t(frames) * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        const int v = int((uint64_t(i) * 7) % 20011) - 10005;
        s[2 * i] = int16_t(v);
        s[2 * i + 1] = int16_t(-v);
    }
    return s;
}

// The run's scratch files go when the run ends.
class ScratchCleanup : public ::testing::Environment {
public:
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(workDir(), ec);
    }
};
[[maybe_unused]] ::testing::Environment* const g_cleanup = ::testing::AddGlobalTestEnvironment(new ScratchCleanup);

struct ScopedEnv {
    std::string name;
    ScopedEnv(const char* n, const std::string& value) : name(n) { ::setenv(n, value.c_str(), 1); }
    ~ScopedEnv() { ::unsetenv(name.c_str()); }
};

// Waits (without a time assertion beyond a generous give-up) for `ready`.
template <class F> bool eventually(F ready, double seconds = 30.0) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!ready()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Threads of this process now.
size_t threadCount() {
    std::error_code ec;
    size_t n = 0;
    for (auto it = fs::directory_iterator("/proc/self/task", ec); !ec && it != fs::directory_iterator(); it.increment(ec)) ++n;
    return n;
}

// Built before every other static of the process (priority 101), so it is torn
// down after all of them, the sound library included. When armed, it ends the
// process with status 99 if a thread started since `baseline` outlived that
// teardown: such a thread can still be mixing from freed memory.
// ThreadSanitizer starts a thread of its own in a forked child and reports the
// race itself, so it goes without the count.
struct LastStaticWatch {
    bool armed = false;
    size_t baseline = 0;
    ~LastStaticWatch() {
#if !defined(__SANITIZE_THREAD__)
        if (armed && threadCount() != baseline) ::_exit(99);
#endif
    }
};
__attribute__((init_priority(101))) LastStaticWatch lastStaticWatch;

} // namespace

// ---------------------------------------------------------------------------
// Decoding and rate conversion
// ---------------------------------------------------------------------------

TEST(SoundDecode, ToneFilesComeOutAt44100StereoWithLengthAndPitchKept) {
    struct Row { int rate; int channels; double hz; double seconds; };
    const Row rows[] = {
        {48000, 2, 1000.0, 1.0}, // down-conversion
        {44100, 2, 1000.0, 1.0}, // no conversion
        {22050, 1, 441.0, 2.0},  // mono, up-conversion
        {32000, 1, 1500.0, 1.5},
        {24000, 2, 250.0, 1.0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.rate) + " Hz, " + std::to_string(r.channels) + " ch");
        const fs::path mp3 = makeMp3("tone" + std::to_string(r.rate) + "_" + std::to_string(r.channels), r.rate, r.channels, r.hz, r.seconds);
        DecodedAudio a;
        std::string error;
        ASSERT_TRUE(decodeMp3File(mp3.string(), a, &error)) << error;
        EXPECT_EQ(a.rate, 44100);
        // Gapless decoding drops the encoder's delay and padding: the length is the
        // WAV's, converted.
        const double expectFrames = r.seconds * 44100.0;
        EXPECT_NEAR(double(a.frames()), expectFrames, 2.0);
        // Pitch: two sign changes per period, counted away from the edges.
        const size_t from = a.frames() / 10, to = a.frames() - a.frames() / 10;
        const double span = double(to - from) / 44100.0;
        EXPECT_NEAR(zeroCrossings(a.samples, 0, from, to), 2.0 * r.hz * span, 3.0);
        // Level: as ffmpeg decodes the same file (lame itself loses up to half a dB at
        // the low rates, so the written tone is only a loose bound).
        const std::vector<int16_t> oracle = ffmpegDecode(mp3, r.channels == 1);
        ASSERT_GE(oracle.size(), 2 * to);
        EXPECT_NEAR(rms(a.samples, 0, from, to) / rms(oracle, 0, from, to), 1.0, 0.01);
        EXPECT_NEAR(rms(a.samples, 0, from, to), 0.5 * 32767.0 / std::sqrt(2.0), 0.08 * 32767.0 * 0.5);
        if (r.channels == 1) {
            for (size_t i = 0; i < a.frames(); ++i) ASSERT_EQ(a.samples[2 * i], a.samples[2 * i + 1]) << "frame " << i;
        } else {
            EXPECT_NEAR(rms(a.samples, 1, from, to) / rms(a.samples, 0, from, to), 0.75, 0.02);
        }
    }
}

TEST(SoundDecode, AgreesWithFfmpegDecoder) {
    for (int rate : {44100, 48000}) {
        SCOPED_TRACE(rate);
        const fs::path mp3 = makeMp3("oracle" + std::to_string(rate), rate, 2, 660.0, 1.0);
        DecodedAudio ours;
        ASSERT_TRUE(decodeMp3File(mp3.string(), ours));
        const std::vector<int16_t> theirs = ffmpegDecode(mp3);
        ASSERT_GT(theirs.size(), 0u);
        const size_t frames = std::min(ours.frames(), theirs.size() / 2);
        EXPECT_NEAR(double(ours.frames()), double(theirs.size() / 2), 2.0);
        // Same signal, independent decoders and resamplers: the difference stays far
        // below the signal (skip the edges, where resampler start-up differs).
        double sig = 0.0, diff = 0.0;
        for (size_t i = 200; i + 200 < frames; ++i) {
            for (int c = 0; c < 2; ++c) {
                const double a = ours.samples[2 * i + size_t(c)], b = theirs[2 * i + size_t(c)];
                sig += a * a;
                diff += (a - b) * (a - b);
            }
        }
        const double snrDb = 10.0 * std::log10(sig / std::max(diff, 1.0));
        EXPECT_GT(snrDb, rate == 44100 ? 60.0 : 40.0);
    }
}

TEST(SoundDecode, ResamplerKeepsPassBandAndRemovesAliases) {
    struct Row { int from; int to; double hz; bool passes; };
    const Row rows[] = {
        {48000, 44100, 10000.0, true},
        {48000, 44100, 18500.0, true},
        {48000, 44100, 22500.0, false}, // above the output's Nyquist: would fold to 21.6 kHz
        {48000, 44100, 23900.0, false},
        {22050, 44100, 5000.0, true},
        {8000, 44100, 3000.0, true},
        {44100, 48000, 18500.0, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.from) + "->" + std::to_string(r.to) + " " + std::to_string(r.hz));
        const std::vector<int16_t> in = tone(r.from, 2, r.hz, 1.0, 0.5);
        const std::vector<int16_t> out = resampleStereo(in, r.from, r.to);
        ASSERT_EQ(out.size(), size_t(r.to) * 2);
        const size_t from = out.size() / 2 / 10, to = out.size() / 2 - from;
        const double level = rms(out, 0, from, to) / (0.5 * 32767.0 / std::sqrt(2.0));
        if (r.passes) {
            EXPECT_NEAR(level, 1.0, 0.01);
            // Against the ideal tone at the new rate: level, pitch, phase and the
            // absence of images all show up in the difference.
            const std::vector<int16_t> ideal = tone(r.to, 2, r.hz, 1.0, 0.5);
            double err = 0.0, sig = 0.0;
            for (size_t i = from; i < to; ++i) {
                const double d = double(out[2 * i]) - ideal[2 * i];
                err += d * d;
                sig += double(ideal[2 * i]) * ideal[2 * i];
            }
            EXPECT_GT(10.0 * std::log10(sig / std::max(err, 1e-9)), 60.0);
        } else {
            EXPECT_LT(level, 0.001); // 60 dB down
        }
    }
    EXPECT_TRUE(resampleStereo(tone(48000, 2, 100.0, 0.1, 0.5), 48000, 10).empty());
}

TEST(SoundDecode, RejectsMissingAndNonMp3Files) {
    DecodedAudio a;
    std::string error;
    EXPECT_FALSE(decodeMp3File((workDir() / "absent.mp3").string(), a, &error));
    EXPECT_NE(error.find("absent.mp3"), std::string::npos);
    const fs::path text = workDir() / "text.mp3";
    std::ofstream(text) << std::string(5000, 'x');
    EXPECT_FALSE(decodeMp3File(text.string(), a, &error));
    EXPECT_TRUE(a.samples.empty());
    EXPECT_FALSE(decodeMp3Memory(nullptr, 0, a, &error));
}

// ---------------------------------------------------------------------------
// Mixer
// ---------------------------------------------------------------------------

// Mixes `frames` in uneven pieces, as an audio callback would.
std::vector<int16_t> mixFrames(sound_mixer& m, int frames) {
    std::vector<int16_t> out(size_t(frames) * 2);
    int done = 0, piece = 1;
    while (done < frames) {
        const int n = std::min(piece, frames - done);
        m.mix(out.data() + 2 * done, n);
        done += n;
        piece = piece * 3 + 7;
    }
    return out;
}

TEST(SoundMixer, LoopsSeamlesslyAndStopsOneShotAtEnd) {
    const std::vector<int16_t> s = ramp(1000);
    for (bool loop : {true, false}) {
        SCOPED_TRACE(loop ? "loop" : "one-shot");
        sound_mixer m;
        m.play(3, s.data(), 1000, loop);
        const std::vector<int16_t> out = mixFrames(m, 2600);
        for (size_t i = 0; i < 2600; ++i) {
            const int16_t l = loop || i < 1000 ? s[2 * (i % 1000)] : 0;
            const int16_t r = loop || i < 1000 ? s[2 * (i % 1000) + 1] : 0;
            ASSERT_EQ(out[2 * i], l) << "frame " << i;
            ASSERT_EQ(out[2 * i + 1], r) << "frame " << i;
        }
        EXPECT_EQ(m.playing(3), loop);
        EXPECT_EQ(m.position(3), loop ? 600u : 1000u);
    }
}

// A device fed in blocks of 1024 frames on a clock of its own, starved twice (no
// block for 0.3 s, then for 2 s, as under a loaded machine): afterwards the music
// is where the clock says, give or take the pacer's slack, in a looping and in a
// one-shot channel; while fed in time nothing is skipped.
TEST(SoundMixer, AStarvedOutputCatchesUpWithTheClock) {
    const uint32_t length = 5 * 44100;
    const std::vector<int16_t> s = ramp(length);
    sound_mixer m;
    m.play(0, s.data(), length, true);
    m.play(1, s.data(), length, false);
    stream_pacer pacer;
    std::vector<int16_t> block(1024 * 2);
    double now = 100.0; // any origin: the pacer counts from its first block
    const double start = now;
    uint64_t played = 0;
    auto feedFor = [&](double seconds) {
        const double until = now + seconds;
        while (now < until) {
            mixInStep(m, pacer, block.data(), 1024, now);
            played += 1024;
            now += 1024.0 / 44100.0;
        }
    };
    feedFor(1.0);
    EXPECT_EQ(m.position(0), played) << "in time, nothing is skipped";
    now += 0.3;
    feedFor(0.5);
    now += 2.0;
    feedFor(0.5);
    const double due = (now - start) * 44100.0;
    EXPECT_NEAR(double(m.position(0)), due, double(stream_pacer::kSlackFrames + 1024)) << "looping";
    EXPECT_NEAR(double(m.position(1)), due, double(stream_pacer::kSlackFrames + 1024)) << "one-shot";
    EXPECT_GT(double(m.position(0)), double(played) + 2.2 * 44100) << "the gaps were skipped";
}

// Start-up as a busy machine sees it: the device is opened and gets its first
// block while nothing plays, then starves for a second while the files load; the
// music starts just before the next block. It must start from its beginning
// (the show clock starts with it), not a second in; once it plays, a starved
// device catches up again.
TEST(SoundMixer, LatenessGatheredInSilenceSkipsNoMusic) {
    const uint32_t length = 5 * 44100;
    const std::vector<int16_t> s = ramp(length);
    sound_mixer m;
    stream_pacer pacer;
    std::vector<int16_t> block(1024 * 2);
    double now = 100.0;
    for (int i = 0; i < 8; ++i) mixInStep(m, pacer, block.data(), 1024, now); // the device's first round
    now += 1.0;
    m.play(1, s.data(), length, false);
    mixInStep(m, pacer, block.data(), 1024, now);
    EXPECT_EQ(m.position(1), 1024u) << "the music starts from its beginning";
    for (int i = 0; i < 20; ++i) {
        now += 1024.0 / 44100.0;
        mixInStep(m, pacer, block.data(), 1024, now);
    }
    EXPECT_EQ(m.position(1), 21u * 1024u) << "fed in time, nothing is skipped";
    now += 0.5;
    mixInStep(m, pacer, block.data(), 1024, now);
    EXPECT_GT(m.position(1), 22u * 1024u + 20000u) << "a starved device playing music catches up";
}

TEST(SoundMixer, VolumeIsLinearAndImmediate) {
    const std::vector<int16_t> s = ramp(4000);
    for (int volume : {0, 1, 10, 128, 254, 255, 300, -5}) {
        SCOPED_TRACE(volume);
        sound_mixer m;
        m.play(0, s.data(), 4000, true);
        m.setVolume(0, volume);
        const std::vector<int16_t> out = mixFrames(m, 1500);
        const int v = std::clamp(volume, 0, 255);
        for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], scaled(s[i], v)) << "sample " << i;
        // A change lands on the very next frame mixed.
        m.setVolume(0, 255 - v);
        int16_t next[2];
        m.mix(next, 1);
        EXPECT_EQ(next[0], scaled(s[2 * 1500], 255 - v));
    }
}

TEST(SoundMixer, PositionCommandsApplyInTheOrderMade) {
    const std::vector<int16_t> s = ramp(5000);
    struct Row { const char* what; uint32_t setTo; bool jumpBeforePlay; bool loop; int expectFirst; };
    const Row rows[] = {
        {"jump after play", 1234, false, true, 1234},
        {"jump before play is undone by the start", 1234, true, true, 0},
        {"jump past end wraps a loop", 5000 * 3 + 17, false, true, 17},
        {"jump past end stops a one-shot", 5000, false, false, -1},
        {"jump to last frame", 4999, false, false, 4999},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        sound_mixer m;
        if (r.jumpBeforePlay) m.setPosition(1, r.setTo);
        m.play(1, s.data(), 5000, r.loop);
        if (!r.jumpBeforePlay) m.setPosition(1, r.setTo);
        int16_t out[4];
        m.mix(out, 2);
        if (r.expectFirst < 0) {
            EXPECT_EQ(out[0], 0);
            EXPECT_FALSE(m.playing(1));
        } else {
            EXPECT_EQ(out[0], s[2 * size_t(r.expectFirst)]);
            EXPECT_EQ(out[1], s[2 * size_t(r.expectFirst) + 1]);
        }
    }
    // A jump while playing continues from there.
    sound_mixer m;
    m.play(2, s.data(), 5000, false);
    mixFrames(m, 100);
    m.setPosition(2, 4000);
    const std::vector<int16_t> out = mixFrames(m, 1200);
    EXPECT_EQ(out[0], s[8000]);
    EXPECT_EQ(out[2 * 999], s[2 * 4999]);
    EXPECT_EQ(out[2 * 1000], 0);
    EXPECT_FALSE(m.playing(2));
}

// A show that starts late holds the output: silence, and every channel stays
// where it was, so a jump made meanwhile is where the sound begins.
TEST(SoundMixer, HeldOutputIsSilentAndKeepsPlaces) {
    const std::vector<int16_t> s = ramp(5000);
    sound_mixer m;
    m.play(0, s.data(), 5000, true);
    mixFrames(m, 300);
    m.hold(true);
    m.setPosition(0, 2000);
    const std::vector<int16_t> held = mixFrames(m, 1500);
    EXPECT_TRUE(std::all_of(held.begin(), held.end(), [](int16_t v) { return v == 0; }));
    EXPECT_EQ(m.position(0), 300u);
    m.hold(false);
    const std::vector<int16_t> out = mixFrames(m, 10);
    EXPECT_EQ(out[0], s[2 * 2000]);
    EXPECT_EQ(out[19], s[2 * 2009 + 1]);
}

TEST(SoundMixer, ChannelsSumWithSaturation) {
    const std::vector<int16_t> loud(2 * 64, 30000), quiet(2 * 64, -12000), low(2 * 64, -30000);
    sound_mixer m;
    m.play(0, loud.data(), 64, true);
    m.play(1, loud.data(), 64, true);
    m.play(31, quiet.data(), 64, true);
    int16_t out[2];
    m.mix(out, 1);
    EXPECT_EQ(out[0], 32767); // 30000 + 30000 - 12000 clips
    m.setVolume(1, 0);
    m.mix(out, 1);
    EXPECT_EQ(out[0], 18000);
    m.stop(0);
    m.play(1, low.data(), 64, true);
    m.play(2, low.data(), 64, true);
    m.mix(out, 1);
    EXPECT_EQ(out[0], -32768);
    m.stopAll();
    m.mix(out, 1);
    EXPECT_EQ(out[0], 0);
    // Out-of-range channels and empty samples are ignored.
    m.play(32, loud.data(), 64, true);
    m.play(-1, loud.data(), 64, true);
    m.play(5, loud.data(), 0, true);
    m.play(6, nullptr, 64, true);
    m.mix(out, 1);
    EXPECT_EQ(out[0], 0);
    EXPECT_FALSE(m.playing(5));
}

// ---------------------------------------------------------------------------
// FSOUND calls end to end
// ---------------------------------------------------------------------------

class SoundLibraryTest : public ::testing::Test {
protected:
    void TearDown() override {
        FSOUND_Close();
        soundSetOutputMode(SoundOutputMode::Device);
    }
};

TEST_F(SoundLibraryTest, CallsOutsideInitAndCloseAreHarmless) {
    const fs::path mp3 = makeMp3("lifecycle", 44100, 2, 500.0, 0.3);
    for (int round = 0; round < 2; ++round) { // before the first Init, then after a Close
        EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, mp3.string().c_str(), FSOUND_NORMAL, 0, 0), nullptr);
        EXPECT_EQ(FSOUND_Sample_SetMode(nullptr, FSOUND_LOOP_NORMAL), 0);
        EXPECT_EQ(FSOUND_PlaySound(0, nullptr), -1);
        EXPECT_EQ(FSOUND_SetVolume(0, 10), 0);
        EXPECT_EQ(FSOUND_SetCurrentPosition(0, 2205000), 0);
        EXPECT_EQ(FSOUND_GetCurrentPosition(0), 0u);
        int16_t out[2];
        EXPECT_EQ(soundPullFrames(out, 1), 0);
        FSOUND_Close();
        EXPECT_EQ(soundOutputName(), "closed");

        soundSetOutputMode(SoundOutputMode::Pulled);
        ASSERT_NE(FSOUND_Init(44100, 32, FSOUND_INIT_GLOBALFOCUS), 0);
        SoundSample* s = FSOUND_Sample_Load(FSOUND_FREE, mp3.string().c_str(), FSOUND_NORMAL, 0, 0);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(FSOUND_PlaySound(0, s), 0);
        FSOUND_Close();
        // The handle is dead now; using it must not touch freed memory.
        EXPECT_EQ(FSOUND_Sample_SetMode(s, FSOUND_LOOP_NORMAL), 0);
        EXPECT_EQ(FSOUND_PlaySound(0, s), -1);
    }
}

TEST_F(SoundLibraryTest, LoadRejectsMissingGarbageAndOutOfRangeFiles) {
    soundSetOutputMode(SoundOutputMode::Pulled);
    ASSERT_NE(FSOUND_Init(44100, 32, FSOUND_INIT_GLOBALFOCUS), 0);
    const fs::path mp3 = makeMp3("loadrange", 44100, 2, 500.0, 0.3);
    const fs::path junk = workDir() / "junk.mp3";
    std::ofstream(junk) << std::string(3000, '\x55');
    const int size = int(fs::file_size(mp3));
    EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, (workDir() / "none.mp3").string().c_str(), FSOUND_NORMAL, 0, 0), nullptr);
    EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, junk.string().c_str(), FSOUND_NORMAL, 0, 0), nullptr);
    EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, nullptr, FSOUND_NORMAL, 0, 0), nullptr);
    EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, mp3.string().c_str(), FSOUND_NORMAL, size + 1, 0), nullptr);
    EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, mp3.string().c_str(), FSOUND_NORMAL, -1, 0), nullptr);
    // An explicit range covering the file decodes like the whole file.
    SoundSample* whole = FSOUND_Sample_Load(FSOUND_FREE, mp3.string().c_str(), FSOUND_NORMAL, 0, 0);
    SoundSample* ranged = FSOUND_Sample_Load(FSOUND_FREE, mp3.string().c_str(), FSOUND_NORMAL, 0, size + 100);
    ASSERT_NE(whole, nullptr);
    ASSERT_NE(ranged, nullptr);
    ASSERT_EQ(FSOUND_PlaySound(0, whole), 0);
    ASSERT_EQ(FSOUND_PlaySound(1, ranged), 1);
    FSOUND_SetVolume(1, 0);
    std::vector<int16_t> a(2 * 4000);
    soundPullFrames(a.data(), 4000);
    FSOUND_SetVolume(0, 0);
    FSOUND_SetVolume(1, 255);
    FSOUND_SetCurrentPosition(1, 0);
    FSOUND_SetCurrentPosition(0, 0);
    std::vector<int16_t> b(2 * 4000);
    soundPullFrames(b.data(), 4000);
    EXPECT_EQ(a, b);
}

// The show's own sequence: ambient looped on channel 0 at volume 10 from a start
// position, music once on channel 1; checked frame by frame on the mixed output.
TEST_F(SoundLibraryTest, ShowSequenceLoopsHonoursVolumeAndStartPosition) {
    soundSetOutputMode(SoundOutputMode::Pulled);
    const fs::path ambientMp3 = makeMp3("ambient48k", 48000, 2, 220.0, 1.0, 0.9);
    const fs::path musicMp3 = makeMp3("music48k", 48000, 2, 880.0, 0.5, 0.4);
    DecodedAudio ambient, music;
    ASSERT_TRUE(decodeMp3File(ambientMp3.string(), ambient));
    ASSERT_TRUE(decodeMp3File(musicMp3.string(), music));
    const size_t na = ambient.frames(), nm = music.frames();
    ASSERT_NEAR(double(na), 44100.0, 2.0);

    ASSERT_NE(FSOUND_Init(44100, 32, FSOUND_INIT_GLOBALFOCUS), 0);
    EXPECT_EQ(soundOutputName(), "pulled");
    SoundSample* a = FSOUND_Sample_Load(FSOUND_FREE, ambientMp3.string().c_str(), FSOUND_NORMAL, 0, 0);
    SoundSample* m = FSOUND_Sample_Load(FSOUND_FREE, musicMp3.string().c_str(), FSOUND_NORMAL, 0, 0);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(m, nullptr);
    ASSERT_NE(FSOUND_Sample_SetMode(a, FSOUND_LOOP_NORMAL), 0);
    EXPECT_EQ(FSOUND_PlaySound(0, a), 0);
    EXPECT_EQ(FSOUND_PlaySound(1, m), 1);
    FSOUND_SetVolume(1, 0);
    FSOUND_SetVolume(0, 10);
    const unsigned start = 2205000; // far past the end: wraps into the loop
    FSOUND_SetCurrentPosition(0, start);
    const size_t offset = start % na;

    // Ambient alone at volume 10, across the loop seam, in callback-sized pieces.
    const int frames = int(na) + 5000;
    std::vector<int16_t> out(size_t(frames) * 2);
    for (int done = 0; done < frames; done += 1024) soundPullFrames(out.data() + 2 * done, std::min(1024, frames - done));
    for (size_t i = 0; i < size_t(frames); ++i) {
        const size_t k = (offset + i) % na;
        ASSERT_EQ(out[2 * i], scaled(ambient.samples[2 * k], 10)) << "frame " << i;
        ASSERT_EQ(out[2 * i + 1], scaled(ambient.samples[2 * k + 1], 10)) << "frame " << i;
    }
    EXPECT_EQ(FSOUND_GetCurrentPosition(0), (offset + size_t(frames)) % na);
    EXPECT_EQ(FSOUND_IsPlaying(0), 1);
    // The silent music channel still advanced, played once and stopped.
    EXPECT_EQ(FSOUND_IsPlaying(1), 0);

    // Ambient muted, music restarted at full volume: the output is the music, bit for bit.
    FSOUND_SetVolume(0, 0);
    FSOUND_PlaySound(1, m);
    std::vector<int16_t> mus(2 * (nm + 100));
    soundPullFrames(mus.data(), int(nm + 100));
    for (size_t i = 0; i < nm; ++i) ASSERT_EQ(mus[2 * i], music.samples[2 * i]) << "frame " << i;
    for (size_t i = nm; i < nm + 100; ++i) ASSERT_EQ(mus[2 * i], 0) << "frame " << i;
    // The exit fade's volume steps on channel 1 land on the next frame.
    FSOUND_PlaySound(1, m);
    int16_t first[2];
    soundPullFrames(first, 1);
    EXPECT_EQ(first[0], music.samples[0]);
    for (int v : {255, 200, 0}) {
        FSOUND_SetVolume(1, v);
        const unsigned pos = FSOUND_GetCurrentPosition(1);
        int16_t f[2];
        soundPullFrames(f, 1);
        EXPECT_EQ(f[0], scaled(music.samples[2 * pos], v));
    }
}

TEST_F(SoundLibraryTest, HoldSetBeforeInitHoldsFromTheFirstBlock) {
    soundSetOutputMode(SoundOutputMode::Pulled);
    soundHold(true);
    ASSERT_NE(FSOUND_Init(44100, 32, FSOUND_INIT_GLOBALFOCUS), 0);
    const fs::path mp3 = makeMp3("held", 44100, 2, 440.0, 0.5, 0.8);
    DecodedAudio expect;
    ASSERT_TRUE(decodeMp3File(mp3.string(), expect));
    SoundSample* s = FSOUND_Sample_Load(FSOUND_FREE, mp3.string().c_str(), FSOUND_NORMAL, 0, 0);
    ASSERT_NE(s, nullptr);
    FSOUND_PlaySound(1, s);
    std::vector<int16_t> out(2 * 4096);
    soundPullFrames(out.data(), 4096);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](int16_t v) { return v == 0; }));
    FSOUND_SetCurrentPosition(1, 10000);
    soundHold(false);
    soundPullFrames(out.data(), 2);
    EXPECT_EQ(out[0], expect.samples[2 * 10000]);
    EXPECT_EQ(out[3], expect.samples[2 * 10001 + 1]);
}

TEST_F(SoundLibraryTest, FreeChannelPicksAnIdleOne) {
    soundSetOutputMode(SoundOutputMode::Pulled);
    ASSERT_NE(FSOUND_Init(44100, 3, 0), 0);
    const fs::path mp3 = makeMp3("free", 44100, 2, 500.0, 0.2);
    SoundSample* s = FSOUND_Sample_Load(FSOUND_FREE, mp3.string().c_str(), FSOUND_LOOP_NORMAL, 0, 0);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, s), 0);
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, s), 1); // channel 0 started, not yet mixed: still taken
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, s), 2);
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, s), -1);
    EXPECT_EQ(FSOUND_PlaySound(3, s), -1); // only three channels were asked for
    FSOUND_StopSound(1);
    int16_t f[2];
    soundPullFrames(f, 1);
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, s), 1);
}

TEST_F(SoundLibraryTest, WithoutDeviceFallsBackToSilentOutputThatKeepsTime) {
    ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
    testing::internal::CaptureStderr();
    ASSERT_NE(FSOUND_Init(44100, 32, FSOUND_INIT_GLOBALFOCUS), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(soundOutputName(), "silent");
    EXPECT_EQ(err.rfind("sound: no audio device (", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;

    const fs::path mp3 = makeMp3("silent", 44100, 2, 500.0, 0.5);
    SoundSample* s = FSOUND_Sample_Load(FSOUND_FREE, mp3.string().c_str(), FSOUND_NORMAL, 0, 0);
    ASSERT_NE(s, nullptr);
    FSOUND_Sample_SetMode(s, FSOUND_LOOP_NORMAL);
    FSOUND_PlaySound(0, s);
    // Hammer the channel from this thread while the output thread mixes (for the
    // thread sanitizer); then watch the position move on its own.
    for (int i = 0; i < 20000; ++i) {
        FSOUND_SetVolume(0, i & 255);
        if (i % 1000 == 0) FSOUND_SetCurrentPosition(0, unsigned(i));
        (void)FSOUND_GetCurrentPosition(0);
    }
    FSOUND_SetCurrentPosition(0, 0);
    EXPECT_TRUE(eventually([] { return FSOUND_GetCurrentPosition(0) > 2000; }));
    EXPECT_EQ(FSOUND_IsPlaying(0), 1);
}

// libasound, asked for a card that does not exist, writes its own complaints to
// stderr before SDL gives up; the layer still says exactly one line.
TEST_F(SoundLibraryTest, AudioBackendChatterStaysOffStderr) {
    ScopedEnv driver("SDL_AUDIODRIVER", "alsa");
    ScopedEnv card("ALSA_CARD", "zur_no_such_card");
    testing::internal::CaptureStderr();
    ASSERT_NE(FSOUND_Init(44100, 32, FSOUND_INIT_GLOBALFOCUS), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(soundOutputName(), "silent");
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_EQ(err.rfind("sound: no audio device (", 0), 0u) << err;
}

// A process that exits while the music plays (a start-up failure's exit, a return
// from main without FSOUND_Close) must stop the audio thread before the library's
// mixer and samples are freed, for both kinds of output.
TEST_F(SoundLibraryTest, ExitWhilePlayingStopsTheOutputBeforeTheMixerGoes) {
    const fs::path mp3 = makeMp3("exit", 44100, 2, 330.0, 3.0);
    for (const char* driver : {"dummy", "no-such-driver"}) {
        SCOPED_TRACE(driver);
        EXPECT_EXIT(
            {
                lastStaticWatch.baseline = threadCount();
                ::setenv("SDL_AUDIODRIVER", driver, 1);
                if (!FSOUND_Init(44100, 32, FSOUND_INIT_GLOBALFOCUS)) ::_exit(98);
                SoundSample* s = FSOUND_Sample_Load(FSOUND_FREE, mp3.string().c_str(), FSOUND_NORMAL, 0, 0);
                FSOUND_Sample_SetMode(s, FSOUND_LOOP_NORMAL);
                FSOUND_PlaySound(0, s);
                eventually([] { return FSOUND_GetCurrentPosition(0) > 0; });
                lastStaticWatch.armed = true;
                std::exit(4);
            },
            ::testing::ExitedWithCode(4), "");
    }
}

TEST_F(SoundLibraryTest, SdlDiskDriverReceivesTheMixedSample) {
    const fs::path capture = workDir() / "disk-output.raw";
    fs::remove(capture);
    ScopedEnv driver("SDL_AUDIODRIVER", "disk");
    ScopedEnv file("SDL_DISKAUDIOFILE", capture.string());
    ScopedEnv delay("SDL_DISKAUDIODELAY", "1"); // ms per buffer: run faster than real time
    const fs::path mp3 = makeMp3("disk", 48000, 2, 1000.0, 0.25, 0.8);
    DecodedAudio expect;
    ASSERT_TRUE(decodeMp3File(mp3.string(), expect));
    const size_t n = expect.frames();

    ASSERT_NE(FSOUND_Init(44100, 32, FSOUND_INIT_GLOBALFOCUS), 0);
    ASSERT_EQ(soundOutputName(), "sdl:disk");
    SoundSample* s = FSOUND_Sample_Load(FSOUND_FREE, mp3.string().c_str(), FSOUND_NORMAL, 0, 0);
    ASSERT_NE(s, nullptr);
    FSOUND_Sample_SetMode(s, FSOUND_LOOP_NORMAL);
    // The device has been writing silence since Init; the sample starts within a
    // buffer or two of what is on disk now.
    const uintmax_t before = fs::exists(capture) ? fs::file_size(capture) : 0;
    FSOUND_PlaySound(0, s);
    const uintmax_t want = before + 4 * (3 * n + 8192);
    ASSERT_TRUE(eventually([&] { return fs::exists(capture) && fs::file_size(capture) >= want; }));
    FSOUND_Close();

    const std::vector<int16_t> got = readRaw(capture);
    // Silence until the start, then the sample from its first frame, looping.
    size_t firstSound = 0;
    while (firstSound < got.size() / 2 && got[2 * firstSound] == 0 && got[2 * firstSound + 1] == 0) ++firstSound;
    size_t firstInSample = 0;
    while (expect.samples[2 * firstInSample] == 0 && expect.samples[2 * firstInSample + 1] == 0) ++firstInSample;
    ASSERT_GE(firstSound, firstInSample);
    const size_t start = firstSound - firstInSample;
    ASSERT_GE(got.size() / 2, start + 3 * n);
    for (size_t i = 0; i < 3 * n; ++i) {
        ASSERT_EQ(got[2 * (start + i)], expect.samples[2 * (i % n)]) << "frame " << i;
        ASSERT_EQ(got[2 * (start + i) + 1], expect.samples[2 * (i % n) + 1]) << "frame " << i;
    }
}
