// Calibration.ini: the calibration of the joystick axes, kept in the
// configuration folder apart from the set-ups because it belongs to the
// hardware. One section per joystick, [JOYSTICK_<ID as a signed decimal>]
// (or [JOYSTICK_<ID>@<instance>], looked up first), keys X Y Z RX RY RZ SL1
// SL2, each "min centre max" or "min max" (integers in -10000..10000, strictly
// increasing). Lines are read and written with buffers of 512 characters.
#pragma once

#include "mapping/Calibration.h"

#include <string>
#include <vector>

namespace CalibrationFile {

inline constexpr const char* kFileName = "Calibration.ini";
inline constexpr int kLineLength = 512;
// Larger files are refused: four joysticks need a few hundred bytes.
inline constexpr std::size_t kMaxFileSize = 1u << 20;

// Calibration.ini in the configuration folder.
std::string DefaultPath();

// What a read found: the entries that could be read, and one note per entry
// that could not (naming the file, the key and the text). A missing file is
// an empty table without a note.
struct ReadResult {
    CalibrationTable table;
    std::vector<std::string> notes;
};
ReadResult Read(const std::string& path);
// The same rules on a text in memory; `fileName` is what the notes name.
ReadResult Parse(const std::string& text, const std::string& fileName);

// The file's text for `table`, "\n" line ends.
std::string Text(const CalibrationTable& table);
// Saves atomically (config/FileReplacement.h); false with the reason.
bool Save(const std::string& path, const CalibrationTable& table, std::string& reason);

} // namespace CalibrationFile
