#include "app/MessageEcho.h"

#include "support/Console.h"

namespace MessageEcho {

std::string Line(const char* caption, const char* text)
{
    std::string line = caption != nullptr ? caption : "";
    line += ": ";
    std::string body = text != nullptr ? text : "";
    while (!body.empty() && (body.back() == '\n' || body.back() == '\r')) {
        body.pop_back();
    }
    for (std::size_t i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == '\r' && i + 1 < body.size() && body[i + 1] == '\n') {
            continue; // the "\n" that follows stands for both
        }
        if (c == '\n' || c == '\r') {
            line += " / ";
        } else {
            line += c;
        }
    }
    return line;
}

void Print(const char* caption, const char* text)
{
    // One write per line, so that lines of other writers to the same terminal stay whole.
    const std::string line = Line(caption, text) + "\n";
    Console::WriteToStandardError(line.data(), line.size());
}

void ShowBox(DialogView& view, const char* text, const char* caption)
{
    Print(caption, text);
    view.ShowMessageBox(text != nullptr ? text : "", caption);
}

} // namespace MessageEcho
