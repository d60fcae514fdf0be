// A settings-file stream that fails like a full disk: while installed, every
// file opened for writing or appending accepts a budget of bytes and then
// refuses further writes (or fails only when it is closed). Reads and
// read-only files are the real C streams.
#pragma once

#include <cstddef>

namespace FailingSettingsStream {

enum class Failure {
    AfterBytes, // writes fail once `budget` bytes have been accepted
    OnClose, // every write succeeds, closing reports lost data
};

// Installs the failing opener for the lifetime of the object.
class Scope {
public:
    explicit Scope(std::size_t budget, Failure failure = Failure::AfterBytes);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
};

// Bytes accepted by the failing streams since the scope began.
std::size_t BytesAccepted();

} // namespace FailingSettingsStream
