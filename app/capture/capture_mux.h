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

// Parts for a recording of `asked`, in its folder under short names of their own
// that no file has yet ("zoduv-1a2b3c.part.mkv", ".part.wav", and ".part" with the
// asked file's extension, from which ffmpeg takes the kind of file), so that a
// name as long as the file system allows can still be recorded.
RecordingParts recordingParts(const std::string& asked);
// Names the parts a recording leaves when it cannot be finished.
std::string partsText(const RecordingParts& parts);
// The name beside `asked` for a recording stopped at show time `seconds`
// ("m.stopped-at-0.03s.mp4"), which no file has yet; its stem is shortened when
// the name would pass the file system's 255 bytes.
std::string stoppedRecordingName(const std::string& asked, double seconds);
// Muxes the parts and renames the result onto `destination` when the recording is
// `whole`, so a failure never leaves a broken file under the name nor replaces an
// earlier recording there. True when the recording is in place (the pictures and
// the sound are then removed); otherwise standard error says where what was
// recorded is, and that the asked file is left as it was.
bool muxRecording(const RecordingParts& parts, const std::string& destination, bool whole, ProgressBar& bar);
