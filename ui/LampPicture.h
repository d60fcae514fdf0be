// The lamp pictures of the main window: bitmap resources 129 (grey), 130
// (green) and 133 (red), 11 by 11 pixels. Presenters choose them, renderers
// draw them.
#pragma once

#include <cstdint>

enum class LampPicture : std::int32_t { Off = 129, On = 130, Warning = 133 };
