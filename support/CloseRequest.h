// A close request from outside the program: a termination signal on Linux, a
// log-off or a polite close on Windows. The platform notices it; the program's
// event loop asks for it and ends the window the way its OK button does.
#pragma once

#include <memory>

class CloseRequestSource {
public:
    virtual ~CloseRequestSource() = default;

    // Starts listening (Linux: SIGTERM, SIGINT and SIGHUP). Null where the
    // platform brings its requests as window messages instead.
    static std::unique_ptr<CloseRequestSource> Create();

    // False when the platform refused to listen.
    virtual bool Installed() const = 0;
    // A descriptor that becomes readable when a request arrived, for the
    // event loop to watch; -1 when there is none.
    virtual int Descriptor() const = 0;
    // Takes every request that arrived; true when there was at least one.
    virtual bool TakeRequests() = 0;
};

// The process-wide note that a close was asked for, so that a wait which runs
// outside the event loop (an attach waiting for the block's lock) gives up at
// once instead of keeping a closing program alive.
namespace CloseRequest {

// Safe to call from a signal handler.
void Note();
bool Noted();
// For tests: forget the note.
void Clear();

} // namespace CloseRequest
