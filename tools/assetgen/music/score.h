// The score of "music/lanternsong.mp3" as data: one row per section (chords per
// bar, accompaniment, melody phrases, bass and drum patterns, instrument levels and
// the loudness the mix aims for), plus the named patterns the rows refer to.
// Pure data and small parsers; no synthesis here.
#pragma once
#include <string>
#include <vector>

constexpr double kSongSeconds = 250.0;     // length of the file
constexpr double kSongFadeStart = 245.1;   // master fade-out begins (seconds)
constexpr double kSongFadeEnd = 247.0;     // silent from here on (seconds)

struct ScoreSection {
    const char* name;
    double start;          // seconds; the section ends where the next row starts
    int bars;              // 4/4 bars, spread evenly over the section
    const char* chords;    // one chord symbol per bar, e.g. "Dm7 Bbmaj7 F/A Csus4"
    const char* arp;       // piano accompaniment pattern (kArpPatterns)
    const char* melody;    // melody phrases (kMelodyPhrases) in order, or "-"
    const char* bass;      // bass pattern (kBassPatterns), or "-"
    const char* drums;     // drum patterns (kDrumPatterns), one per eight bars, or "-"
    float piano, lead, pad, bassLevel, drumLevel; // 0..1 loudness of each instrument
    float padCutoffHz;     // where the pad's lowpass sits (brightness of the section)
    float swellDb;         // velocities rise (or fall) by this much from the section's start to its end
    float plannedDb;       // intended RMS relative to the loudest section
};

struct NamedPattern {
    const char* name;
    const char* steps;     // 16 steps per bar (sixteenths), bars separated by '|'
};

struct DrumPattern {
    const char* name;
    const char* kick;      // 16 steps; digit = velocity in ninths, '.' = nothing
    const char* brush;
    const char* rim;
    const char* shaker;
};

const std::vector<ScoreSection>& lanternsongSections();
const std::vector<NamedPattern>& arpPatterns();    // digits: 0 = root below, 1..4 = chord tones upwards; 'a' = all
const std::vector<NamedPattern>& melodyPhrases();  // eighth-note tokens "A4", "." hold, "-" rest; bars split by '|'
const std::vector<NamedPattern>& bassPatterns();   // 'R' root, 'F' fifth, 'O' octave, '.' nothing
const std::vector<DrumPattern>& drumPatterns();

// Start time of section `index` (index == count gives the end of the last one).
double sectionStart(int index);
double sectionEnd(int index);

struct Chord {
    int root = 0;               // pitch class 0..11 (C = 0)
    int bass = 0;               // pitch class of the bass note (slash chords)
    std::vector<int> intervals; // semitones above the root, first is 0
};

// "Bbmaj7", "F/A", "C7sus4", ...; false for a symbol it does not know.
bool parseChord(const std::string& symbol, Chord& out);
// "A4", "Bb5", "C#3" -> MIDI note number; -1 when malformed.
int parseNote(const std::string& name);
