// Cost of making the two tracks: synthesis and MP3 encoding of each, against the
// 60 s the whole job may take, and our encoding against the lame command-line
// encoder (the peer) on the same audio, written to a WAV file in this run.
// Run: `build/bench/music_bench` (single thread, as the generator renders each track).
#include "tools/assetgen/music/music.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// 16-bit stereo WAV for the peer encoder.
bool writeWav(const std::string& path, const StereoBuffer& b)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const uint32_t data = static_cast<uint32_t>(b.frames()) * 4;
    auto u32 = [f](uint32_t v) { std::fwrite(&v, 4, 1, f); };
    auto u16 = [f](uint16_t v) { std::fwrite(&v, 2, 1, f); };
    std::fwrite("RIFF", 1, 4, f);
    u32(36 + data);
    std::fwrite("WAVEfmt ", 1, 8, f);
    u32(16);
    u16(1);
    u16(2);
    u32(kSampleRate);
    u32(kSampleRate * 4);
    u16(4);
    u16(16);
    std::fwrite("data", 1, 4, f);
    u32(data);
    std::vector<int16_t> pcm(static_cast<size_t>(b.frames()) * 2);
    for (int i = 0; i < b.frames(); ++i) {
        pcm[2 * i] = static_cast<int16_t>(std::lround(b.left[i] * 32767.0f));
        pcm[2 * i + 1] = static_cast<int16_t>(std::lround(b.right[i] * 32767.0f));
    }
    const bool ok = std::fwrite(pcm.data(), 2, pcm.size(), f) == pcm.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main()
{
    struct Track {
        const char* name;
        void (*render)(StereoBuffer&);
    };
    const Track tracks[] = {{"lanternsong", renderLanternsong}, {"pencil_bassy", renderPencilLoop}};
    double total = 0.0, ours = 0.0, peer = 0.0;
    bool peerRan = true;
    for (const Track& t : tracks) {
        StereoBuffer buffer;
        auto start = Clock::now();
        t.render(buffer);
        const double renderSeconds = secondsSince(start);
        std::vector<uint8_t> mp3;
        start = Clock::now();
        encodeMp3(buffer, kMp3Kbps, mp3, nullptr);
        const double encodeSeconds = secondsSince(start);
        total += renderSeconds + encodeSeconds;
        ours += encodeSeconds;

        const std::string wav = "/tmp/music_bench_" + std::string(t.name) + ".wav";
        const std::string out = "/tmp/music_bench_" + std::string(t.name) + ".mp3";
        double peerSeconds = -1.0;
        if (writeWav(wav, buffer)) {
            start = Clock::now();
            const std::string cmd = "lame --quiet -b 192 -q 2 '" + wav + "' '" + out + "'";
            if (std::system(cmd.c_str()) == 0)
                peerSeconds = secondsSince(start);
            std::remove(wav.c_str());
            std::remove(out.c_str());
        }
        if (peerSeconds > 0.0)
            peer += peerSeconds;
        else
            peerRan = false;
        std::printf("%-13s %6.1f s of audio: synthesis %6.2f s, our encoding %6.2f s, lame CLI %6.2f s\n", t.name,
                    buffer.frames() / static_cast<double>(kSampleRate), renderSeconds, encodeSeconds, peerSeconds);
    }
    std::printf("both tracks: %.2f s, %.2f of the 60 s allowed\n", total, total / 60.0);
    if (peerRan)
        std::printf("our encoding / lame CLI on the same audio: %.2f\n", ours / peer);
    return 0;
}
