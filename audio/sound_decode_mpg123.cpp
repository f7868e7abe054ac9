// MP3 decoding through libmpg123: gapless, so the encoder's delay and padding are
// not part of a loop; other rates go through the resampler. Runs on the loading
// thread, never on the mixer's.
#include "audio/sound_decode.h"

#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>

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
