// The sound output of a page: Web Audio. A ScriptProcessorNode asks the page's
// one thread for blocks, and each is mixed right then by our own mixer (no
// SharedArrayBuffer: a plain static server gives no cross-origin isolation, and
// the mixer lives on the thread that draws). The audio clock is the master: when
// a slow frame kept the page from answering and the device went on without us,
// the mixer is skipped ahead by the frames it missed, so music and picture stay
// together. Without Web Audio a timer pulls the blocks in real time instead.
#include "audio/sound_output.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "audio/sound_decode.h"
#include "audio/sound_mixer.h"

struct SoundOutput {
    sound_mixer* mixer = nullptr;
    std::vector<int16_t> block;
    std::vector<int16_t> skipped;
    double firstClock = -1;  // audio clock at the first block, seconds
    uint64_t mixedFrames = 0; // frames handed out or skipped since then
    bool device = false;
};

namespace {

constexpr int kBlockFrames = 2048; // about 46 ms at 44 100 Hz

// Opens the graph; 1 with Web Audio, 0 with the timer, both pulling through
// zur_sound_fill. `muted`: the blocks are mixed and thrown away.
EM_JS(int, openWebAudio, (SoundOutput* output, int blockFrames, int muted), {
    var pull = function(frames, clock) {
        var ptr = Module._zur_sound_fill(output, frames, clock);
        return HEAP16.subarray(ptr >> 1, (ptr >> 1) + frames * 2);
    };
    var Context = window.AudioContext || window.webkitAudioContext;
    var audio = null;
    try {
        audio = Context ? new Context({sampleRate: 44100, latencyHint: 'interactive'}) : null;
    } catch (e) {
        audio = null;
    }
    if (!audio) {
        var started = performance.now(), pulled = 0;
        Module.zurSoundTimer = setInterval(function() {
            var due = Math.floor((performance.now() - started) * 44.1);
            while (pulled + blockFrames <= due) {
                pull(blockFrames, (started + pulled / 44.1) / 1000);
                pulled += blockFrames;
            }
        }, 20);
        return 0;
    }
    var node = audio.createScriptProcessor(blockFrames, 0, 2);
    node.onaudioprocess = function(event) {
        var out = event.outputBuffer;
        var frames = out.length;
        var pcm = pull(frames, audio.currentTime);
        var left = out.getChannelData(0), right = out.getChannelData(1);
        for (var i = 0, j = 0; i < frames; i++, j += 2) {
            left[i] = pcm[j] / 32768;
            right[i] = pcm[j + 1] / 32768;
        }
        if (Module.zurSoundBlocks) Module.zurSoundBlocks.push({
            time: event.playbackTime, music: Module.zurSoundLastMusic, ambient: Module.zurSoundLastAmbient,
            pcm: Int16Array.from(pcm)});
    };
    var gain = audio.createGain();
    gain.gain.value = muted ? 0 : 1;
    node.connect(gain);
    gain.connect(audio.destination);
    Module.zurAudio = audio;
    Module.zurAudioNode = node;
    // Browsers start sound only after a click on the page: the dialog's Run is
    // one; a page started without the dialog starts it at the first click or key.
    if (audio.state !== 'running') {
        var resume = function() { audio.resume(); };
        audio.resume().catch(function() {});
        document.addEventListener('pointerdown', resume, {once: true});
        document.addEventListener('keydown', resume, {once: true});
    }
    return 1;
});

EM_JS(void, closeWebAudio, (), {
    if (Module.zurSoundTimer) clearInterval(Module.zurSoundTimer);
    Module.zurSoundTimer = null;
    if (Module.zurAudioNode) {
        Module.zurAudioNode.onaudioprocess = null;
        Module.zurAudioNode.disconnect();
    }
    if (Module.zurAudio) Module.zurAudio.close().catch(function() {});
    Module.zurAudioNode = null;
    Module.zurAudio = null;
});

EM_JS(void, noteBlockPositions, (unsigned music, unsigned ambient), {
    Module.zurSoundLastMusic = music;
    Module.zurSoundLastAmbient = ambient;
});

} // namespace

// One block for the page: first the frames the device played while nobody
// answered (mixed and dropped), then `frames` frames, whose address it returns.
extern "C" EMSCRIPTEN_KEEPALIVE const int16_t* zur_sound_fill(SoundOutput* output, int frames, double clock)
{
    if (output->firstClock < 0)
        output->firstClock = clock;
    const double due = (clock - output->firstClock) * kSoundRate;
    if (due > double(output->mixedFrames) + kBlockFrames) {
        const uint64_t missing = uint64_t(due) - output->mixedFrames;
        output->skipped.resize(size_t(kBlockFrames) * 2);
        for (uint64_t done = 0; done < missing;) {
            const int n = int(std::min<uint64_t>(missing - done, kBlockFrames));
            output->mixer->mix(output->skipped.data(), n);
            done += uint64_t(n);
        }
        output->mixedFrames += missing;
    }
    output->block.resize(size_t(frames) * 2);
    // Where the music (1) and the pencil loop (0) stand as this block begins: the
    // tests compare the block with the tracks at those places.
    noteBlockPositions(output->mixer->position(1), output->mixer->position(0));
    output->mixer->mix(output->block.data(), frames);
    output->mixedFrames += uint64_t(frames);
    return output->block.data();
}

SoundOutput* openSoundOutput(sound_mixer& mixer, bool tryDevice)
{
    auto* out = new SoundOutput;
    out->mixer = &mixer;
    out->device = openWebAudio(out, kBlockFrames, tryDevice ? 0 : 1) != 0;
    if (tryDevice && !out->device) {
        std::fprintf(stderr, "sound: no Web Audio in this browser; playing silently\n");
        std::fflush(stderr);
    }
    return out;
}

void closeSoundOutput(SoundOutput* out)
{
    if (!out)
        return;
    closeWebAudio();
    delete out;
}

std::string soundOutputName(const SoundOutput* out)
{
    if (!out)
        return "none";
    return out->device ? "web:audio" : "silent";
}
