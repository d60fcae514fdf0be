// The network engine's own lines, turned into what a person can act on and
// kept from flooding: the same complaint (numbers and identifiers aside) is
// passed on once per half minute.
#pragma once

#include <cstdint>
#include <string>

class EngineLines {
public:
    // The line to say for what the engine said at `now` (steady nanoseconds),
    // or an empty text when it was said lately.
    std::string Filter(const char* line, std::int64_t now);

private:
    static constexpr int kRemembered = 8;
    std::string m_keys[kRemembered];
    std::int64_t m_said[kRemembered] = {};
    int m_next = 0;
};
