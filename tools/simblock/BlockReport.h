// The texts simblock prints about a mapped block: the full report for people
// (show) and for programs (json), and the one-line samples of watch.
// Everything is read through GenericSimBlock; texts from the block are escaped,
// since any program may have written anything there.
#pragma once

#include <string>

namespace BlockReport {

std::string ShowText(const void* block, const char* mappingName);
std::string JsonText(const void* block, const char* mappingName);

// watch: a heading line, and one line of values per sample (both without newline).
std::string WatchHeading();
std::string WatchLine(const void* block);
// The number of lines WatchHeading and WatchLine take together on screen.
inline constexpr int kWatchLines = 2;

} // namespace BlockReport
