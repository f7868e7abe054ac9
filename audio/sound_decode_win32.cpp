// MP3 decoding through the Audio Compression Manager's MPEG Layer-3 codec that
// Windows ships. The codec gives every sample a decoder makes, so the gap the
// encoder left (its delay and padding, from the LAME tag, plus the decoder's own
// delay) is cut here; a loop made from such a track then joins without a click.
// Frames of another rate or channel count start a new stream; other rates go
// through the resampler.
#include <windows.h>
#include <mmreg.h>
#include <msacm.h>

#include "audio/sound_decode.h"

#include <algorithm>
#include <limits>
#include <new>

#include "audio/sound_mp3_frames.h"

namespace {

// Positions are 32-bit sample counts in the mixer.
constexpr size_t kMaxFrames = size_t(std::numeric_limits<int32_t>::max());
constexpr size_t kFramesPerConversion = 64; // MP3 frames handed to the codec at a time

void setError(std::string* error, const std::string& text)
{
    if (error)
        *error = text;
}

// Decodes frames [first, last) of one format into interleaved stereo int16 at
// their own rate. False when the codec refuses the format or the data.
bool decodeRun(const uint8_t* data, const std::vector<Mp3Frame>& frames, size_t first, size_t last,
               std::vector<int16_t>& stereo, std::string* error)
{
    const Mp3Frame& format = frames[first];
    MPEGLAYER3WAVEFORMAT source{};
    source.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    source.wfx.nChannels = WORD(format.channels);
    source.wfx.nSamplesPerSec = DWORD(format.rate);
    source.wfx.nAvgBytesPerSec = DWORD(format.bitrateKbps * 1000 / 8);
    source.wfx.nBlockAlign = 1;
    source.wfx.wBitsPerSample = 0;
    source.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    source.wID = MPEGLAYER3_ID_MPEG;
    source.fdwFlags = MPEGLAYER3_FLAG_PADDING_ISO;
    source.nBlockSize = WORD(format.bytes);
    source.nFramesPerBlock = 1;
    source.nCodecDelay = 0;

    WAVEFORMATEX pcm{};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    pcm.nChannels = WORD(format.channels);
    pcm.nSamplesPerSec = DWORD(format.rate);
    pcm.wBitsPerSample = 16;
    pcm.nBlockAlign = WORD(2 * format.channels);
    pcm.nAvgBytesPerSec = pcm.nSamplesPerSec * pcm.nBlockAlign;

    HACMSTREAM stream = nullptr;
    MMRESULT result = acmStreamOpen(&stream, nullptr, &source.wfx, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME);
    if (result != MMSYSERR_NOERROR) {
        setError(error, "the system has no MPEG Layer-3 decoder for " + std::to_string(format.rate) + " Hz (ACM " +
                            std::to_string(result) + ")");
        return false;
    }

    std::vector<uint8_t> input;
    std::vector<uint8_t> output;
    bool ok = true;
    bool started = false;
    size_t next = first;
    // Bytes the codec left unused stay at the front of `input` for the next call.
    while (ok) {
        const size_t take = std::min(kFramesPerConversion, last - next);
        for (size_t i = next; i < next + take; ++i)
            input.insert(input.end(), data + frames[i].offset, data + frames[i].offset + frames[i].bytes);
        next += take;
        const bool end = next == last;
        if (input.empty() && !end)
            break;
        DWORD outputBytes = 0;
        if (acmStreamSize(stream, DWORD(std::max<size_t>(input.size(), 1)), &outputBytes, ACM_STREAMSIZEF_SOURCE) !=
            MMSYSERR_NOERROR)
            outputBytes = 0;
        // Room for every frame given plus what the codec may still hold back.
        outputBytes = std::max<DWORD>(outputBytes, DWORD((take + 4) * 1152 * 4));
        output.resize(outputBytes);

        ACMSTREAMHEADER header{};
        header.cbStruct = sizeof(header);
        header.pbSrc = input.empty() ? output.data() : input.data();
        header.cbSrcLength = DWORD(input.size());
        header.pbDst = output.data();
        header.cbDstLength = outputBytes;
        if (acmStreamPrepareHeader(stream, &header, 0) != MMSYSERR_NOERROR) {
            setError(error, "the MPEG Layer-3 decoder refused a buffer");
            ok = false;
            break;
        }
        DWORD flags = ACM_STREAMCONVERTF_BLOCKALIGN;
        if (!started)
            flags |= ACM_STREAMCONVERTF_START;
        if (end)
            flags |= ACM_STREAMCONVERTF_END;
        started = true;
        result = acmStreamConvert(stream, &header, flags);
        const DWORD used = std::min<DWORD>(header.cbSrcLengthUsed, DWORD(input.size()));
        const DWORD made = std::min<DWORD>(header.cbDstLengthUsed, outputBytes);
        acmStreamUnprepareHeader(stream, &header, 0);
        if (result != MMSYSERR_NOERROR) {
            // A damaged tail still leaves a playable head.
            if (stereo.empty())
                setError(error, "the MPEG Layer-3 decoder failed (ACM " + std::to_string(result) + ")");
            ok = !stereo.empty();
            break;
        }
        const int16_t* samples = reinterpret_cast<const int16_t*>(output.data());
        const size_t values = made / sizeof(int16_t);
        if (format.channels == 1) {
            for (size_t i = 0; i < values; ++i) {
                stereo.push_back(samples[i]);
                stereo.push_back(samples[i]);
            }
        } else {
            stereo.insert(stereo.end(), samples, samples + (values & ~size_t(1)));
        }
        if (stereo.size() / 2 > kMaxFrames) {
            setError(error, "decoded audio too long");
            ok = false;
            break;
        }
        input.erase(input.begin(), input.begin() + used);
        if (end)
            break;
    }
    acmStreamClose(stream, 0);
    return ok;
}

bool decode(const uint8_t* data, size_t size, DecodedAudio& out, std::string* error)
{
    const Mp3Layout layout = scanMp3(data, size);
    if (layout.frames.empty()) {
        setError(error, "no MPEG audio frames found");
        return false;
    }
    // Runs of one format, each through a stream of its own, then to 44 100 Hz.
    size_t first = 0;
    int64_t lead = 0; // samples (at the run's rate) to cut from the start of the next run
    if (layout.gapless)
        lead = layout.encoderDelay + kMp3DecoderDelay;
    while (first < layout.frames.size()) {
        size_t last = first + 1;
        while (last < layout.frames.size() && layout.frames[last].rate == layout.frames[first].rate &&
               layout.frames[last].channels == layout.frames[first].channels)
            ++last;
        std::vector<int16_t> stereo;
        if (!decodeRun(data, layout.frames, first, last, stereo, error))
            return false;
        const bool lastRun = last == layout.frames.size();
        if (layout.gapless) {
            // The decoder's delay shifts every sample later; the padding after
            // the last real one is cut where the run ends.
            int64_t keep = 0;
            for (size_t i = first; i < last; ++i)
                keep += layout.frames[i].samples;
            if (first == 0)
                keep -= layout.encoderDelay;
            if (lastRun)
                keep -= layout.encoderPadding;
            const int64_t have = int64_t(stereo.size() / 2);
            const int64_t from = std::min(lead, have);
            std::vector<int16_t> trimmed(size_t(std::max<int64_t>(keep, 0)) * 2, 0);
            const int64_t copy = std::clamp<int64_t>(have - from, 0, std::max<int64_t>(keep, 0));
            std::copy(stereo.begin() + from * 2, stereo.begin() + (from + copy) * 2, trimmed.begin());
            stereo.swap(trimmed);
            lead = 0;
        }
        std::vector<int16_t> converted = resampleStereo(stereo, layout.frames[first].rate, kSoundRate);
        if (converted.empty() && !stereo.empty()) {
            setError(error, "unsupported sample rate " + std::to_string(layout.frames[first].rate));
            return false;
        }
        if (out.samples.size() / 2 + converted.size() / 2 > kMaxFrames) {
            setError(error, "decoded audio too long");
            return false;
        }
        out.samples.insert(out.samples.end(), converted.begin(), converted.end());
        first = last;
    }
    if (out.samples.empty()) {
        setError(error, "no MPEG audio frames found");
        return false;
    }
    return true;
}

} // namespace

bool decodeMp3Memory(const uint8_t* data, size_t size, DecodedAudio& out, std::string* error)
{
    out.samples.clear();
    out.rate = kSoundRate;
    bool ok = false;
    try {
        ok = decode(data, size, out, error);
    } catch (const std::bad_alloc&) {
        setError(error, "out of memory while decoding");
        ok = false;
    }
    if (!ok)
        out.samples.clear();
    return ok;
}
