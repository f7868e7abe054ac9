// The muxing of a recording: one more ffmpeg run puts the encoded pictures and the
// WAV sound together into a file beside the recording's name, which is renamed
// onto the name only when the recording is whole. It obeys the stop requests and
// ends an ffmpeg whose output stops growing.
#pragma once
#include <string>

struct ProgressBar;

// The file asked for and the parts a recording is made of.
struct RecordingParts {
    std::string asked;    // the file named by --capture
    std::string pictures; // encoded pictures (Matroska)
    std::string sound;    // the WAV file
    std::string muxed;    // the muxing's output, beside the asked file
};

// Names the parts a recording leaves when it cannot be finished.
std::string partsText(const RecordingParts& parts);
// Muxes the parts and renames the result onto the asked name when the recording
// is `whole`, so a failure never leaves a broken file under the name nor replaces
// an earlier recording there. True when the recording is in place (the pictures
// and the sound are then removed); otherwise standard error says where what was
// recorded is.
bool muxRecording(const RecordingParts& parts, bool whole, ProgressBar& bar);
