// The sound output of a page: Web Audio. A ScriptProcessorNode asks the page's
// one thread for blocks, and each is mixed right then by our own mixer (no
// SharedArrayBuffer: a plain static server gives no cross-origin isolation, and
// the mixer lives on the thread that draws). The clock stays the master: when a
// slow frame kept the page from answering and the device went on without us, the
// mixer is skipped ahead by the frames it missed (stream_pacer, as for the other
// devices), so music and picture stay together. Each block is paced by the time
// the device will play it, which the browser reports without the jitter of when
// the page gets to answer. Without Web Audio a timer pulls the blocks instead.
#include "audio/sound_output.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "audio/sound_decode.h"
#include "audio/sound_mixer.h"
#include "audio/sound_pacer.h"

struct SoundOutput {
    sound_mixer* mixer = nullptr;
    std::vector<int16_t> block;
    stream_pacer pacer;
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
        var pcm = pull(frames, event.playbackTime);
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

// One block for the page, to be played at `clock` seconds: the frames the device
// played while nobody answered are skipped first; returns the block's address.
extern "C" EMSCRIPTEN_KEEPALIVE const int16_t* zur_sound_fill(SoundOutput* output, int frames, double clock)
{
    output->block.resize(size_t(frames) * 2);
    // Where the music (1) and the pencil loop (0) stand as this block begins: the
    // tests compare the block with the tracks at those places.
    catchUp(*output->mixer, output->pacer, clock);
    noteBlockPositions(output->mixer->position(1), output->mixer->position(0));
    output->mixer->mix(output->block.data(), frames);
    output->pacer.delivered(uint64_t(frames));
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
