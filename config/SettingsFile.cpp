// SettingsFileClass over a binary C stream: line ends are translated here in
// both directions, so a save writes the same bytes under every run-time and
// a file copied between Windows and Linux reads the same on both.
#include "config/SettingsFile.h"

#include "support/Paths.h"
#include "support/TextFunctions.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

constexpr const char* kReadWhere = "SettingsFileClass::ReadFromSettingsFile";
constexpr const char* kWriteWhere = "SettingsFileClass::WriteToSettingsFile";

SettingsFileClass::StreamOpener g_opener = nullptr;

class StandardStream final : public SettingsStream {
public:
    StandardStream(std::FILE* file, bool readOnly)
        : m_file(file)
        , m_readOnly(readOnly)
    {
    }
    ~StandardStream() override { Close(); }
    StandardStream(const StandardStream&) = delete;
    StandardStream& operator=(const StandardStream&) = delete;

    int GetChar() override
    {
        if (m_readOnly) {
            // Read in blocks: a C-library call per byte would cost more than the parse.
            if (m_next == m_end && !Refill()) {
                return -1;
            }
            return static_cast<unsigned char>(m_buffer[m_next++]);
        }
        Switch(Reading);
        errno = 0;
        const int c = std::getc(m_file);
        if (c == EOF && std::ferror(m_file) != 0) {
            m_readError = errno;
        }
        return c == EOF ? -1 : c;
    }
    void UngetChar(int character) override
    {
        if (m_readOnly) {
            if (m_next > 0) {
                m_buffer[--m_next] = static_cast<char>(character);
            }
            return;
        }
        std::ungetc(character, m_file);
    }
    bool ReadFailed() const override { return m_file == nullptr || std::ferror(m_file) != 0; }
    int ReadError() const override { return m_readError; }
    bool Write(const char* data, std::size_t size) override
    {
        if (m_readOnly) {
            return false;
        }
        Switch(Writing);
        return std::fwrite(data, 1, size, m_file) == size;
    }
    bool Flush() override { return std::fflush(m_file) == 0; }
    bool Rewind() override
    {
        std::clearerr(m_file);
        m_last = None;
        m_next = m_end = 0;
        return std::fseek(m_file, 0, SEEK_SET) == 0;
    }
    bool Close() override
    {
        if (m_file == nullptr) {
            return true;
        }
        const bool closed = std::fclose(m_file) == 0;
        m_file = nullptr;
        return closed;
    }

private:
    enum Direction { None, Reading, Writing };
    // An update stream must be positioned between a read and a write.
    void Switch(Direction next)
    {
        if (m_last != None && m_last != next) {
            std::fseek(m_file, 0, SEEK_CUR);
        }
        m_last = next;
    }
    bool Refill()
    {
        // Byte 0 stays free, so that a character read last can always be pushed back.
        m_buffer[0] = m_end > 0 ? m_buffer[m_end - 1] : '\0';
        errno = 0;
        const std::size_t got = std::fread(m_buffer + 1, 1, sizeof m_buffer - 1, m_file);
        if (got == 0 && std::ferror(m_file) != 0) {
            m_readError = errno; // a folder opened as a file fails here (EISDIR)
        }
        m_next = 1;
        m_end = 1 + got;
        return got > 0;
    }

    std::FILE* m_file;
    bool m_readOnly;
    Direction m_last = None;
    char m_buffer[4096] = {};
    std::size_t m_next = 0;
    std::size_t m_end = 0;
    int m_readError = 0;
};

} // namespace

std::unique_ptr<SettingsStream> SettingsFileClass::OpenStandardStream(
    const char* fileName, int mode, std::string& reason)
{
    static const char* const modes[] = { "rb", "wb", "r+b", "ab" };
    if (fileName != nullptr && mode == kFileCreateNewForWriting) {
        std::FILE* file = Paths::CreateNewFile(fileName, reason);
        return file != nullptr ? std::make_unique<StandardStream>(file, false) : nullptr;
    }
    if (fileName == nullptr || mode < FileOpenForReading || mode > FileOpenForAppending) {
        reason = std::strerror(EINVAL);
        return nullptr;
    }
    if (mode == FileOpenForReading) {
        // Opening a named pipe waits for a writer, for ever if none comes.
        std::error_code error;
        const auto type = std::filesystem::status(fileName, error).type();
        if (!error && type != std::filesystem::file_type::regular && type != std::filesystem::file_type::directory) {
            reason = "Not a regular file";
            return nullptr;
        }
    }
    errno = 0;
    std::FILE* file = std::fopen(fileName, modes[mode]);
    if (file == nullptr) {
        reason = std::strerror(errno != 0 ? errno : EIO);
        return nullptr;
    }
    return std::make_unique<StandardStream>(file, mode == FileOpenForReading);
}

void SettingsFileClass::SetStreamOpener(StreamOpener opener)
{
    g_opener = opener;
}

SettingsFileClass::SettingsFileClass(const char* fileName, int mode)
{
    Open(fileName, mode);
}

SettingsFileClass::SettingsFileClass(const std::string& fileName, int mode)
{
    Open(fileName.c_str(), mode);
}

SettingsFileClass::~SettingsFileClass()
{
    CloseFile();
}

void SettingsFileClass::Open(const char* fileName, int mode)
{
    m_open = false;
    if (fileName == nullptr || fileName[0] == '\0') {
        return;
    }
    CopyBounded(m_fileName, fileName, kNameLength);
    switch (mode) {
    case FileOpenForReading:
        m_open = OpenFileForReading();
        break;
    case FileOpenForWriting:
        m_open = OpenFileForWriting();
        break;
    case FileOpenForReadWrite:
        m_open = OpenFileForReadWrite();
        break;
    case FileOpenForAppending:
        m_open = OpenFileForAppending();
        break;
    default:
        break;
    }
}

bool SettingsFileClass::OpenWith(int mode, const char* where)
{
    std::string reason;
    m_stream = g_opener != nullptr ? g_opener(m_fileName, mode, reason) : OpenStandardStream(m_fileName, mode, reason);
    if (m_stream == nullptr) {
        ReportError(where, reason.c_str(), m_fileName);
        return false;
    }
    return true;
}

std::unique_ptr<SettingsFileClass> SettingsFileClass::CreateNew(const std::string& fileName)
{
    auto file = std::make_unique<SettingsFileClass>("", FileOpenForWriting);
    CopyBounded(file->m_fileName, fileName.c_str(), kNameLength);
    if (!fileName.empty()) {
        file->m_open = file->OpenWith(kFileCreateNewForWriting, "SettingsFileClass::OpenFileForWriting");
    }
    return file;
}

bool SettingsFileClass::OpenFileForReading()
{
    return OpenWith(FileOpenForReading, "SettingsFileClass::OpenFileForReading");
}

bool SettingsFileClass::OpenFileForWriting()
{
    return OpenWith(FileOpenForWriting, "SettingsFileClass::OpenFileForWriting");
}

bool SettingsFileClass::OpenFileForReadWrite()
{
    return OpenWith(FileOpenForReadWrite, "SettingsFileClass::OpenFileForReadWrite");
}

bool SettingsFileClass::OpenFileForAppending()
{
    return OpenWith(FileOpenForAppending, "SettingsFileClass::OpenFileForAppending");
}

bool SettingsFileClass::CloseFile()
{
    bool closed = true;
    if (m_stream != nullptr) {
        closed = m_stream->Close();
        m_stream.reset();
    }
    m_open = false;
    if (!closed) {
        // The last buffered bytes did not reach the file.
        ReportError(kWriteWhere, "EOF Error On writing", m_fileName);
    }
    return closed;
}

bool SettingsFileClass::FlushFile()
{
    if (!m_open) {
        ReportError(kWriteWhere, "File is not opened", m_fileName);
        return false;
    }
    if (!m_stream->Flush()) {
        ReportError(kWriteWhere, "EOF Error On writing", m_fileName);
        return false;
    }
    return true;
}

bool SettingsFileClass::RewindFile()
{
    return m_open && m_stream->Rewind();
}

const char* SettingsFileClass::GetFileName()
{
    CopyBounded(m_nameReadBack, m_fileName, kNameLength);
    return m_nameReadBack;
}

bool SettingsFileClass::CanRead()
{
    if (!m_open) {
        ReportError(kReadWhere, "File is not opened", m_fileName);
        return false;
    }
    return true;
}

int SettingsFileClass::ReadLine(char* buffer, int length, bool skipRest)
{
    int c = m_stream->GetChar();
    if (c < 0) {
        return -1;
    }
    const int room = length - 1;
    int n = 0;
    for (; c >= 0; c = m_stream->GetChar()) {
        if (c == '\n' || c == '\r') {
            if (c == '\r') {
                const int next = m_stream->GetChar();
                if (next >= 0 && next != '\n') {
                    m_stream->UngetChar(next);
                }
            }
            if (n < room) {
                buffer[n++] = '\n';
            }
            break;
        }
        if (n < room) {
            buffer[n++] = static_cast<char>(c);
        } else if (!skipRest) {
            m_stream->UngetChar(c);
            break;
        }
    }
    buffer[n] = '\0';
    return n;
}

bool SettingsFileClass::ReadWholeFile(std::string& text, std::size_t limit)
{
    text.clear();
    if (!CanRead()) {
        return false;
    }
    for (int c = m_stream->GetChar(); c >= 0; c = m_stream->GetChar()) {
        if (text.size() >= limit) {
            text.clear();
            const std::string size
                = limit % (1u << 20) == 0 ? std::to_string(limit >> 20) + " MiB" : std::to_string(limit) + " bytes";
            ReportError(kReadWhere, ("File is larger than " + size + ": not read").c_str(), m_fileName);
            return false;
        }
        text.push_back(static_cast<char>(c));
    }
    if (m_stream->ReadFailed()) {
        const int error = m_stream->ReadError();
        text.clear();
        ReportError(kReadWhere, error != 0 ? std::strerror(error) : "Read error", m_fileName);
        return false;
    }
    return true;
}

bool SettingsFileClass::ReadFromSettingsFile(char* buffer, int length)
{
    if (buffer != nullptr && length > 0) {
        buffer[0] = '\0';
    }
    if (!CanRead()) {
        return false;
    }
    if (ReadLine(m_lineBuffer, kLineLength, true) < 0) {
        ReportError(kReadWhere, "NULL read from file", m_fileName);
        return false;
    }
    if (buffer != nullptr && length > 0) {
        // Not CopyBounded: padding every line out to the caller's length
        // would cost more than the read itself.
        const std::size_t limit = std::min(static_cast<std::size_t>(length - 1), sizeof m_lineBuffer - 1);
        const void* end = std::memchr(m_lineBuffer, '\0', limit);
        const std::size_t n
            = end != nullptr ? static_cast<std::size_t>(static_cast<const char*>(end) - m_lineBuffer) : limit;
        std::memcpy(buffer, m_lineBuffer, n);
        buffer[n] = '\0';
    }
    return true;
}

bool SettingsFileClass::ReadFromSettingsFileDirect(char* buffer, int length)
{
    if (buffer == nullptr || length < 1) {
        return false;
    }
    buffer[0] = '\0';
    if (!CanRead()) {
        return false;
    }
    if (ReadLine(buffer, length, false) < 0) {
        ReportError(kReadWhere, "NULL read from file", m_fileName);
        return false;
    }
    return true;
}

bool SettingsFileClass::ReadFromSettingsFile(char (&buffer)[1024])
{
    return ReadFromSettingsFileDirect(buffer, static_cast<int>(sizeof buffer));
}

bool SettingsFileClass::ReadFromSettingsFile(std::string& line)
{
    if (!ReadFromSettingsFile(m_scratch)) {
        return false;
    }
    line = m_scratch;
    return true;
}

bool SettingsFileClass::WriteBytes(const char* text)
{
    if (!m_open) {
        ReportError(kWriteWhere, "File is not opened", m_fileName);
        return false;
    }
    if (text == nullptr) {
        return true;
    }
    const char* lineEnd = Paths::NativeLineEnd();
    const std::size_t lineEndLength = std::strlen(lineEnd);
    bool written = true;
    const char* start = text;
    for (const char* p = text; written && *p != '\0'; ++p) {
        if (*p == '\n') {
            written = m_stream->Write(start, static_cast<std::size_t>(p - start))
                && m_stream->Write(lineEnd, lineEndLength);
            start = p + 1;
        }
    }
    if (written && *start != '\0') {
        written = m_stream->Write(start, std::strlen(start));
    }
    if (!written) {
        ReportError(kWriteWhere, "EOF Error On writing", m_fileName);
    }
    return written;
}

bool SettingsFileClass::WriteToSettingsFile(const char* text)
{
    return WriteBytes(text);
}

bool SettingsFileClass::WriteToSettingsFile(const std::string& text)
{
    CopyBounded(m_scratch, text.c_str(), kScratchLength);
    return WriteBytes(m_scratch);
}

bool SettingsFileClass::WriteLineToSettingsFile(const char* text)
{
    return WriteBytes(text) && WriteBytes("\n");
}

bool SettingsFileClass::WriteLineToSettingsFile(const std::string& text)
{
    return WriteToSettingsFile(text) && WriteBytes("\n");
}

bool SettingsFileClass::WriteFormattedLine(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatBoundedV(m_formatBuffer, kFormatLength, format, args);
    va_end(args);
    return WriteLineToSettingsFile(m_formatBuffer);
}

bool SettingsFileClass::WriteToSettingsFile(const char* key, bool flag)
{
    FormatBounded(m_formatBuffer, kFormatLength, "%s = %s\n", key != nullptr ? key : "", flag ? "TRUE" : "FALSE");
    return WriteBytes(m_formatBuffer);
}

bool SettingsFileClass::WriteToSettingsFile(const char* key, int value)
{
    FormatBounded(m_formatBuffer, kFormatLength, "%s = %d\n", key != nullptr ? key : "", value);
    return WriteBytes(m_formatBuffer);
}

bool SettingsFileClass::WriteToSettingsFile(const char* key, double value)
{
    FormatBounded(m_formatBuffer, kFormatLength, "%s = %f\n", key != nullptr ? key : "", value);
    return WriteBytes(m_formatBuffer);
}
