// BlockGuard: keeps the program alive when another program shrinks a shared
// block under it (truncate, ftruncate). Touching a page of a MAP_SHARED view
// beyond the end of its object raises SIGBUS; for a view watched here the
// handler maps private zero pages over every watched view of that object and
// marks them broken, so the access goes on reading zeros and writing into
// nothing, and the owner sees the mark at its next check and attaches again.
// A SIGBUS anywhere else goes to the handler that was there before (the
// sanitizer's, say) or ends the program as if nobody had caught it.
// The handler and the watch list are async-signal-safe: a fixed table of
// atomics, and only mmap, sigaction and raise in the handler.
#pragma once

#include <cstddef>

namespace BlockGuard {

// Watches the view [start, start + length) of the object open as `fd`; the
// handler is installed on the first call. The slot for the calls below, or -1
// when the table is full (the view is then not guarded).
int Watch(void* start, std::size_t length, int fd);
// The watched place shows the object open as `fd` now (mapped there again),
// or, for fd < 0, private zero pages of this process: not broken any more.
void Renew(int slot, int fd);
// The view is gone: the slot is free again.
void Forget(int slot);
// The object was found shrunk under this view: it shows zero pages now.
bool Broken(int slot);
// The calling thread takes the bus error to the handler (unblocks SIGBUS).
void CoverCallingThread();

} // namespace BlockGuard
