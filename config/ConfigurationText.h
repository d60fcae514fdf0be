// The joystick configuration file without the file: the writer's lines as a
// text, and the loader reading an opened reader, for a set-up that is made
// and read in memory (the compiled-in default set-up when it cannot be saved).
#pragma once

#include <cstdint>
#include <string>

class CIniRead;
class ControlProcessor;

// What SaveConfiguration would write for `processor`, byte for byte.
std::string ConfigurationText(const ControlProcessor& processor, std::int32_t configurationIndex);
// What ReadConfigurationFile does once its file is open.
bool ReadConfiguration(ControlProcessor& processor, CIniRead& reader);
