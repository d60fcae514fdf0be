// [RESPONSE_CURVES]: Tavelin's own section of the joystick configuration
// file, after [ACCESS], with one line per axis whose curve is not plain
// LINEAR. A set-up without curves has no such section, so its file stays as
// the described writer makes it; the described reader, whose sections end at
// the next line holding "[", never sees it.
#pragma once

#include <string>

class CIniRead;
class ControlProcessor;

// The section's lines, "#" last; empty when every curve is plain LINEAR.
std::string ResponseCurvesSectionText(const ControlProcessor& processor);
// Every curve from the file: LINEAR for a missing key, and for a value that
// cannot be read, with a note naming `fileName`, the key and the text.
void ReadResponseCurves(ControlProcessor& processor, CIniRead& reader, const std::string& fileName);
