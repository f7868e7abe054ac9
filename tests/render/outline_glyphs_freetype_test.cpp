// The browser's glyph file against FreeType's own build of the outline font: what
// is written reads back bit for bit, and damaged files are refused without being
// read past their end.
#include "render/outline_glyphs.h"
#include "render/outline_font.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "tests/support/test_files.h"

namespace {

std::filesystem::path tempFile(const char* name)
{
    return std::filesystem::temp_directory_path() / (std::string("zoduv_glyphs_") + name);
}

bool samePoints(const std::vector<OutlinePoint>& a, const std::vector<OutlinePoint>& b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0);
}

} // namespace

TEST(OutlineGlyphs, FileHoldsWhatFreeTypeBuilds)
{
    std::vector<OutlineGlyph> built;
    ASSERT_TRUE(buildOutlineGlyphs(outlineFontFiles(), built));
    const auto path = tempFile("roundtrip.bin");
    ASSERT_TRUE(writeOutlineGlyphs(path.string(), built));
    std::vector<OutlineGlyph> read;
    std::string error;
    ASSERT_TRUE(readOutlineGlyphs(path.string(), read, error)) << error;
    ASSERT_EQ(read.size(), built.size());
    int filled = 0;
    for (size_t code = 0; code < built.size(); ++code) {
        const OutlineGlyph &a = built[code], &b = read[code];
        EXPECT_EQ(a.present, b.present) << code;
        EXPECT_EQ(a.materialOnLeft, b.materialOnLeft) << code;
        EXPECT_EQ(std::memcmp(&a.metrics, &b.metrics, sizeof a.metrics), 0) << code;
        ASSERT_EQ(a.contours.size(), b.contours.size()) << code;
        for (size_t c = 0; c < a.contours.size(); ++c)
            EXPECT_TRUE(samePoints(a.contours[c], b.contours[c])) << code << " contour " << c;
        EXPECT_TRUE(samePoints(a.triangles, b.triangles)) << code;
        filled += !a.triangles.empty();
    }
    // Letters, digits and punctuation have ink; the control codes and the blank do not.
    EXPECT_GE(filled, 80);
    std::filesystem::remove(path);
}

TEST(OutlineGlyphs, DamagedFilesAreRefused)
{
    std::vector<OutlineGlyph> built;
    ASSERT_TRUE(buildOutlineGlyphs(outlineFontFiles(), built));
    const auto whole = tempFile("whole.bin");
    ASSERT_TRUE(writeOutlineGlyphs(whole.string(), built));
    const std::string bytes = readFile(whole);
    std::string countTooLarge = bytes, contoursTooMany = bytes, badMagic = bytes;
    std::memset(&countTooLarge[8], 0xFF, 4);
    std::memset(&contoursTooMany[12 + 1 + 24], 0x7F, 4); // glyph 0's contour count
    badMagic[0] = 'X';
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"empty", ""},
        {"magic only", bytes.substr(0, 8)},
        {"cut in the count", bytes.substr(0, 10)},
        {"cut in the first glyph", bytes.substr(0, 20)},
        {"cut in the middle", bytes.substr(0, bytes.size() / 2)},
        {"one byte short", bytes.substr(0, bytes.size() - 1)},
        {"count too large", countTooLarge},
        {"contours beyond the file", contoursTooMany},
        {"another magic", badMagic},
    };
    const auto damaged = tempFile("damaged.bin");
    for (const auto& [what, content] : cases) {
        std::ofstream(damaged, std::ios::binary).write(content.data(), std::streamsize(content.size()));
        std::vector<OutlineGlyph> read(3);
        std::string error;
        EXPECT_FALSE(readOutlineGlyphs(damaged.string(), read, error)) << what;
        EXPECT_TRUE(read.empty()) << what;
        EXPECT_FALSE(error.empty()) << what;
    }
    std::vector<OutlineGlyph> read;
    std::string error;
    EXPECT_FALSE(readOutlineGlyphs(tempFile("missing.bin").string(), read, error));
    std::filesystem::remove(whole);
    std::filesystem::remove(damaged);
}
