// The configuration file's [AXIS_BUTTONS] section: the buttons that an axis
// drives, one line each, after the described sections (whose reader ends a
// section at the next "[" line, so it never sees this one).
#pragma once

#include <string>

class CIniRead;
class ControlProcessor;

// The section's lines, or nothing when no button is driven by an axis.
std::string AxisButtonsSectionText(const ControlProcessor& processor);
// Replaces the processor's axis-driven buttons with the section's; every
// line that cannot be taken gets one note naming `fileName`, the key and the
// text, and its button stays a joystick button.
void ReadAxisButtonsSection(ControlProcessor& processor, CIniRead& reader, const std::string& fileName);
