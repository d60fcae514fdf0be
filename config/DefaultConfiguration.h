// The default joystick set-up, compiled into the program: what a first start
// writes into an empty configuration folder, or reads from memory when the
// folder cannot be written (and what examples/Joystick.ini holds). Every control on the joystick in slot 0, full
// deflection giving the window's display range.
#pragma once

#include "support/KQ_ErrorReport.h"

#include <string>

namespace DefaultConfiguration {

// Writes the default set-up to `path` with the configuration writer; false
// with the reason in `report` when the file could not be written.
bool Write(const char* path, KQ_ErrorReport& report);
// The file Write writes, as a text (what ControlProcessor::ReadDefaultConfiguration reads).
std::string Text();

} // namespace DefaultConfiguration
