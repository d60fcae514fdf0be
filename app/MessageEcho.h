// Every message box of the window also goes to standard error as one line,
// so that a window nobody can see (no display, offscreen) still tells a
// person what went wrong.
#pragma once

#include "ui/DialogView.h"

#include <string>

namespace MessageEcho {

// "caption: text", the text's line ends shown as " / " (trailing ones dropped).
std::string Line(const char* caption, const char* text);

// Writes Line() and a line end to standard error at once.
void Print(const char* caption, const char* text);

// The window's one kind of message box (text, caption, OK), printed first.
void ShowBox(DialogView& view, const char* text, const char* caption);

} // namespace MessageEcho
