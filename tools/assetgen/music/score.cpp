// "Lanternsong": a calm piece in F major for felt-like piano, pads, a round bass and,
// in the long middle section, soft brushed percussion. The section rows follow the
// show's section windows; each section spreads its bars evenly over its length, so
// the tempo breathes a little between sections (about 54 to 67 beats a minute).
#include "tools/assetgen/music/score.h"

#include <cctype>
#include <cstring>

namespace {

// clang-format off
const std::vector<ScoreSection> kSections = {
//  name          start bars  chords, one per bar
//                arp       melody                  bass      drums                piano  lead   pad    bass   drums  pad Hz swell  plan dB
  {"opening",       0.0,  8, "Fmaj7 Am7 Bbmaj7 Csus4 Fmaj7 Am7 Bbmaj7 C",
                  "sparse", "-",                    "-",      "-",                 0.50f, 0.00f, 0.22f, 0.00f, 0.00f,  900,  2.0f,  -9.5f},
  {"theme",        31.9,  8, "Dm7 Bbmaj7 F C Dm7 Bbmaj7 Gm7 Csus4",
                  "gentle", "themeA",               "whole",  "-",                 0.42f, 0.56f, 0.32f, 0.46f, 0.00f, 1400,  1.0f,  -4.0f},
  {"theme-full",   62.2,  8, "Dm7 Bbmaj7 F C/E Dm7 Gm7 Bbmaj7 C",
                  "flow",   "themeB",               "half",   "-",                 0.54f, 0.72f, 0.42f, 0.58f, 0.00f, 2000,  0.0f,  -2.0f},
  {"breath",       92.5,  3, "Bbmaj7 Gm9 A7sus4",
                  "breath", "breath",               "-",      "-",                 0.34f, 0.40f, 0.30f, 0.00f, 0.00f,  800, -2.0f,  -7.0f},
  {"rise",        105.7,  5, "Dm7 Bbmaj7 F/A Gm7 Csus4",
                  "rise",   "rise",                 "pulse",  "-",                 0.50f, 0.55f, 0.46f, 0.48f, 0.00f, 1600,  5.0f,  -2.5f},
  {"journey",     123.5, 24, "Dm7 Bbmaj7 F C Dm7 Bbmaj7 Gm7 C  Bbmaj7 C Am7 Dm7 Gm7 C Fmaj7 Fmaj7  "
                             "Dm7 Bbmaj7 F C/E Gm7 Bbmaj7 Csus4 C",
                  "ripple", "themeA bridge themeB", "groove", "light hushed full", 0.60f, 0.80f, 0.50f, 0.68f, 0.75f, 2400,  0.0f,   0.0f},
  {"homeward",    215.1,  8, "Fmaj7 Am7 Bbmaj7 C Fmaj7 Am7 Bbmaj7 Fmaj7",
                  "sparse", "home",                 "whole",  "-",                 0.42f, 0.48f, 0.32f, 0.32f, 0.00f, 1100, -4.0f,  -5.0f},
  {"close",       245.1,  1, "Fmaj9",
                  "close",  "-",                    "whole",  "-",                 0.36f, 0.00f, 0.30f, 0.28f, 0.00f,  900,  0.0f, -14.0f},
};

const std::vector<NamedPattern> kArps = {
  {"sparse", "0...2...3...4...|0...3...2...1..."},
  {"gentle", "0.2.3.4.3.2.1.2."},
  {"flow",   "0.2.4.2.1.3.4.3.|0.1.3.2.4.2.3.1."},
  {"breath", "a..............."},
  {"rise",   "0.1.2.3.4.3.2.1."},
  {"ripple", "0.2.4.3.1.3.4.2.|0.1.3.4.2.4.3.1."},
  {"close",  "a..............."},
};

// Eighth-note grid: a note name starts a note, "." holds it, "-" is a rest.
const std::vector<NamedPattern> kMelodies = {
  {"themeA", "A4 . . . C5 . D5 . | F5 . . . D5 . C5 . | C5 . . . . . A4 . | G4 . . . . . - - |"
             "A4 . . . C5 . D5 . | F5 . . . G5 . F5 . | D5 . . . . . C5 Bb4 | C5 . . . . . - -"},
  {"themeB", "D5 . E5 F5 A5 . . . | G5 . F5 . D5 . . . | C5 . A4 . C5 . F5 . | E5 . . . . . D5 C5 |"
             "D5 . . . A5 . . . | Bb5 . A5 . G5 . F5 . | F5 . . . D5 . E5 . | E5 . . . . . - -"},
  {"breath", "- - - - A5 . . . | - - - - F5 . . . | - - - - E5 . . ."},
  {"rise",   "- - - - A4 . C5 . | D5 . . . F5 . . . | E5 . . . C5 . . . | D5 . . . Bb4 . . . | C5 . . . . . . ."},
  {"bridge", "D5 . . . F5 . . . | E5 . . . G5 . . . | C6 . . . . . A5 . | A5 . . . F5 . . . |"
             "Bb5 . . . A5 . G5 . | G5 . . . E5 . C5 . | A5 . . . . . . . | - - - - - - - -"},
  {"home",   "A4 . . . . . . . | C5 . . . . . . . | D5 . . . . . . . | E5 . . . G4 . . . |"
             "A4 . . . C5 . . . | E5 . . . . . . . | D5 . . . F4 . . . | A4 . . . . . . ."},
};

const std::vector<NamedPattern> kBass = {
  {"whole",  "R..............."},
  {"half",   "R.......F......."},
  {"pulse",  "R...R...R...R..."},
  {"groove", "R.....R.F.......|R.......O...F..."},
};

const std::vector<DrumPattern> kDrums = {
//  name      kick                brush               rim                 shaker
  {"light",  "6.......4.....3.", "..3...3...3...4.", "....5.......5...", "3.1.2.1.3.1.2.1."},
  {"hushed", "5...............", "......3.......3.", "................", "2...2...2...2..."},
  {"full",   "6.......5.4...3.", "..3...4...3...5.", "....6.......6..4", "3.1.2.1.3.1.2.2."},
};
// clang-format on

} // namespace

const std::vector<ScoreSection>& lanternsongSections() { return kSections; }
const std::vector<NamedPattern>& arpPatterns() { return kArps; }
const std::vector<NamedPattern>& melodyPhrases() { return kMelodies; }
const std::vector<NamedPattern>& bassPatterns() { return kBass; }
const std::vector<DrumPattern>& drumPatterns() { return kDrums; }

double sectionStart(int index)
{
    if (index >= static_cast<int>(kSections.size()))
        return kSongSeconds;
    return kSections[index].start;
}

double sectionEnd(int index) { return sectionStart(index + 1); }

int parseNote(const std::string& name)
{
    static const int kLetters[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    if (name.size() < 2)
        return -1;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    if (letter < 'A' || letter > 'G')
        return -1;
    int pc = kLetters[letter - 'A'];
    size_t i = 1;
    if (name[i] == 'b') {
        --pc;
        ++i;
    } else if (name[i] == '#') {
        ++pc;
        ++i;
    }
    if (i + 1 != name.size() || !std::isdigit(static_cast<unsigned char>(name[i])))
        return -1;
    const int octave = name[i] - '0';
    return 12 * (octave + 1) + pc;
}

namespace {

bool parsePitchClass(const std::string& s, size_t& i, int& pc)
{
    static const int kLetters[7] = {9, 11, 0, 2, 4, 5, 7};
    if (i >= s.size() || s[i] < 'A' || s[i] > 'G')
        return false;
    pc = kLetters[s[i] - 'A'];
    ++i;
    if (i < s.size() && s[i] == 'b') {
        pc += 11;
        ++i;
    } else if (i < s.size() && s[i] == '#') {
        pc += 1;
        ++i;
    }
    pc %= 12;
    return true;
}

} // namespace

bool parseChord(const std::string& symbol, Chord& out)
{
    struct Quality {
        const char* suffix;
        std::vector<int> intervals;
    };
    // Longest suffixes first so "maj7" is not read as "m".
    static const Quality kQualities[] = {
        {"7sus4", {0, 5, 7, 10}}, {"maj7", {0, 4, 7, 11}}, {"maj9", {0, 4, 7, 11, 14}}, {"add9", {0, 4, 7, 14}},
        {"sus4", {0, 5, 7}},      {"sus2", {0, 2, 7}},     {"m7", {0, 3, 7, 10}},        {"m9", {0, 3, 7, 10, 14}},
        {"7", {0, 4, 7, 10}},     {"6", {0, 4, 7, 9}},     {"m", {0, 3, 7}},             {"", {0, 4, 7}},
    };
    size_t i = 0;
    int root = 0;
    if (!parsePitchClass(symbol, i, root))
        return false;
    const size_t slash = symbol.find('/', i);
    const std::string suffix = symbol.substr(i, slash == std::string::npos ? std::string::npos : slash - i);
    const Quality* quality = nullptr;
    for (const Quality& q : kQualities) {
        if (suffix == q.suffix) {
            quality = &q;
            break;
        }
    }
    if (!quality)
        return false;
    int bass = root;
    if (slash != std::string::npos) {
        size_t j = slash + 1;
        if (!parsePitchClass(symbol, j, bass) || j != symbol.size())
            return false;
    }
    out.root = root;
    out.bass = bass;
    out.intervals = quality->intervals;
    return true;
}
