#include "net/EngineLines.h"

namespace {

constexpr std::int64_t kQuietNanoseconds = 30'000'000'000;

// The line with every word that holds a digit (numbers, identifiers,
// addresses) written as "#": two reports of the same thing differ only there.
std::string KeyOf(const std::string& line)
{
    std::string key;
    std::string word;
    const auto flush = [&] {
        key += word.find_first_of("0123456789") == std::string::npos ? word : "#";
        word.clear();
    };
    for (const char c : line) {
        const bool inWord = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == ':'
            || c == '.' || c == '_';
        if (inWord) {
            word += c;
        } else {
            flush();
            key += c;
        }
    }
    flush();
    return key.substr(0, 80);
}

} // namespace

std::string EngineLines::Filter(const char* text, std::int64_t now)
{
    const std::string line = text == nullptr ? std::string() : std::string(text);
    if (line.empty()) {
        return {};
    }
    const std::string key = KeyOf(line);
    for (int i = 0; i < kRemembered; ++i) {
        if (m_keys[i] == key) {
            if (now - m_said[i] < kQuietNanoseconds) {
                return {};
            }
            m_said[i] = now;
            return line;
        }
    }
    m_keys[m_next] = key;
    m_said[m_next] = now;
    m_next = (m_next + 1) % kRemembered;
    // Failed handshakes are the keys of the two sides not fitting together.
    if (line.find("andshake") != std::string::npos || line.find("emote identity") != std::string::npos) {
        return "the key check with another computer failed (it has another cockpit's keys, or none): " + line;
    }
    return "the network engine says: " + line;
}
