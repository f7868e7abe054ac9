// Layer III frame layout: the show's own tracks, whose lengths are exact (the
// generator writes 128 s and 250 s), against the LAME tag and the platform's
// decoder (libmpg123 or the Windows codec); then the same bytes wrapped in tags,
// junk and cut short.
#include "audio/sound_mp3_frames.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/sound_decode.h"

namespace {

std::vector<uint8_t> readTrack(const std::string& name)
{
    std::ifstream in(std::string(ZUR_SHOW_DIR) + "/music/" + name, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace

TEST(Mp3FramesTest, TheShowsTracksHaveTheirExactLengthsByTagAndByDecoder)
{
    const struct {
        const char* name;
        int64_t seconds;
    } tracks[] = {{"pencil_bassy.mp3", 128}, {"lanternsong.mp3", 250}};
    for (const auto& track : tracks) {
        const std::vector<uint8_t> bytes = readTrack(track.name);
        ASSERT_FALSE(bytes.empty()) << track.name;
        const Mp3Layout layout = scanMp3(bytes.data(), bytes.size());
        ASSERT_TRUE(layout.gapless) << track.name;
        EXPECT_EQ(layout.frames.front().rate, 44100);
        EXPECT_EQ(mp3AudioSamples(layout), track.seconds * 44100) << track.name;
        DecodedAudio audio;
        std::string error;
        ASSERT_TRUE(decodeMp3Memory(bytes.data(), bytes.size(), audio, &error)) << error;
        EXPECT_EQ(int64_t(audio.frames()), track.seconds * 44100) << track.name;
    }
}

TEST(Mp3FramesTest, TagsJunkAndCutsAroundTheFrames)
{
    const std::vector<uint8_t> track = readTrack("pencil_bassy.mp3");
    ASSERT_FALSE(track.empty());
    const Mp3Layout plain = scanMp3(track.data(), track.size());
    const size_t frames = plain.frames.size();
    ASSERT_GT(frames, 1000u);

    // An ID3v2 tag of 300 bytes (synch-safe size) in front.
    std::vector<uint8_t> tagged = {'I', 'D', '3', 4, 0, 0, 0, 0, 2, 44};
    tagged.resize(310, 0xFF); // a tag body full of sync bits must not count
    tagged.insert(tagged.end(), track.begin(), track.end());
    // Junk with one false frame header in it, and an ID3v1 tag at the end.
    std::vector<uint8_t> junk(1000, 0x55);
    junk[500] = 0xFF, junk[501] = 0xFB, junk[502] = 0x90, junk[503] = 0x00;
    junk.insert(junk.end(), track.begin(), track.end());
    junk.insert(junk.end(), {'T', 'A', 'G'});
    junk.resize(junk.size() + 125, 0);
    // Cut in the middle of the last frame.
    std::vector<uint8_t> cut(track.begin(), track.end() - plain.frames.back().bytes / 2);

    // A stream that does not start with the tag frame counts that frame as audio;
    // the cut one loses its last frame.
    EXPECT_EQ(scanMp3(tagged.data(), tagged.size()).frames.size(), frames);
    EXPECT_TRUE(scanMp3(tagged.data(), tagged.size()).gapless);
    EXPECT_EQ(scanMp3(junk.data(), junk.size()).frames.size(), frames);
    EXPECT_EQ(scanMp3(cut.data(), cut.size()).frames.size(), frames - 1);

    // The signs of damage: none on the intact track, the leading junk or the
    // tags; a cut against the tag's frame count; a spoilt frame header as junk.
    const Mp3Layout cutLayout = scanMp3(cut.data(), cut.size());
    const Mp3Layout junkLayout = scanMp3(junk.data(), junk.size());
    EXPECT_EQ(plain.taggedFrames, int64_t(frames));
    EXPECT_FALSE(plain.lastFrameCut);
    EXPECT_EQ(plain.junkBytes, 0u);
    EXPECT_EQ(junkLayout.junkBytes, 0u);
    EXPECT_FALSE(junkLayout.lastFrameCut);
    EXPECT_TRUE(cutLayout.lastFrameCut);
    EXPECT_LT(int64_t(cutLayout.frames.size()), cutLayout.taggedFrames);
    std::vector<uint8_t> spoilt = track;
    spoilt[plain.frames[500].offset + 1] = 0x00;
    const Mp3Layout spoiltLayout = scanMp3(spoilt.data(), spoilt.size());
    EXPECT_GE(spoiltLayout.junkBytes, size_t(plain.frames[500].bytes));

    // Nothing to find: no frames, no crash.
    const std::vector<uint8_t> noise(4096, 0xFF);
    EXPECT_TRUE(scanMp3(noise.data(), noise.size()).frames.empty());
    EXPECT_TRUE(scanMp3(nullptr, 0).frames.empty());
    DecodedAudio audio;
    EXPECT_FALSE(decodeMp3Memory(noise.data(), noise.size(), audio));
}
