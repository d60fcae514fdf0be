// SettingsFileClass: the one wrapper through which text files are read and
// written. It opens in one of four modes at construction, reads and writes
// whole lines and turns every failure into false plus a "where\nwhat\nfile"
// text. Reads accept LF, CR LF and CR line ends and deliver each line with a
// single "\n"; writes turn every "\n" into the platform's native line end, so
// the bytes on disk are the same whatever the C run-time's text mode does.
#pragma once

#include "support/KQ_ErrorReport.h"

#include <cstddef>
#include <memory>
#include <string>

// The byte stream under a SettingsFileClass. The C stream is the real one;
// tests put a fault-injecting one in its place through SetStreamOpener.
class SettingsStream {
public:
    virtual ~SettingsStream() = default;
    // The next byte (0..255), or -1 at the end of the file or on a read error.
    virtual int GetChar() = 0;
    // Pushes one byte back, to be delivered by the next GetChar.
    virtual void UngetChar(int character) = 0;
    virtual bool ReadFailed() const = 0;
    // The system's error number of the failed read, 0 when it gave none.
    virtual int ReadError() const { return 0; }
    virtual bool Write(const char* data, std::size_t size) = 0;
    virtual bool Flush() = 0;
    virtual bool Rewind() = 0;
    virtual bool Close() = 0;
};

enum FileOpenMode : int {
    FileOpenForReading = 0, // an existing file
    FileOpenForWriting = 1, // create, or empty an existing file
    FileOpenForReadWrite = 2, // an existing file
    FileOpenForAppending = 3, // create if needed, write at the end
};

// What SettingsFileClass::CreateNew hands a stream opener: a new file for
// writing, made exclusively and never through a link (support/Paths.h).
// Not a mode the constructors take.
constexpr int kFileCreateNewForWriting = 16;

class SettingsFileClass : public KQ_ErrorReport {
public:
    static constexpr int kNameLength = 1024;
    static constexpr int kFormatLength = 1024;
    static constexpr int kLineLength = 5120;
    static constexpr int kScratchLength = 1024;

    // Opens `fileName` in `mode`; an empty name or a mode outside 0..3 leaves
    // the object closed without an error text.
    SettingsFileClass(const char* fileName, int mode);
    SettingsFileClass(const std::string& fileName, int mode);
    ~SettingsFileClass() override;
    SettingsFileClass(const SettingsFileClass&) = delete;
    SettingsFileClass& operator=(const SettingsFileClass&) = delete;

    // A new file for writing (see kFileCreateNewForWriting); closed, with the
    // reason, when the name exists already or cannot be made.
    static std::unique_ptr<SettingsFileClass> CreateNew(const std::string& fileName);

    // The whole file in one pass, every byte as it is on the disk. False,
    // with the reason, on a read error or when it holds more than `limit`
    // bytes (then nothing is kept).
    bool ReadWholeFile(std::string& text, std::size_t limit);

    // Closes the stream if open. False only when closing lost written data.
    bool CloseFile();
    // False (with "EOF Error On writing") when buffered data could not be written.
    bool FlushFile();
    bool IsOpen() const { return m_open; }
    bool IsFileOpen() const { return m_open; }
    bool RewindFile();
    // A copy of the name, valid until the next call.
    const char* GetFileName();

    // Bounded: reads one whole line (up to 5119 characters are kept, the rest
    // of a longer line is skipped) and copies at most length - 1 characters
    // of it. On failure the buffer is made empty.
    bool ReadFromSettingsFile(char* buffer, int length);
    // Direct: at most length - 1 characters of one line straight into the
    // buffer; the rest of a longer line is delivered by the next read.
    bool ReadFromSettingsFileDirect(char* buffer, int length);
    // Fixed: the direct read into a buffer of 1024 characters.
    bool ReadFromSettingsFile(char (&buffer)[1024]);
    bool ReadFromSettingsFile(std::string& line);

    // Writes the text unchanged (no line end added).
    bool WriteToSettingsFile(const char* text);
    // At most 1023 characters of the string.
    bool WriteToSettingsFile(const std::string& text);
    // The text, then a line end.
    bool WriteLineToSettingsFile(const char* text);
    bool WriteLineToSettingsFile(const std::string& text);
    // Formats into 1024 characters (cut to them) and writes that as a line.
    bool WriteFormattedLine(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    // "%s = TRUE\n" / "%s = FALSE\n", "%s = %d\n", "%s = %f\n".
    bool WriteToSettingsFile(const char* key, bool flag);
    bool WriteToSettingsFile(const char* key, int value);
    bool WriteToSettingsFile(const char* key, double value);

    // Where streams come from. Null restores the C stream. On failure an
    // opener returns null and leaves the system's text in `reason`.
    using StreamOpener = std::unique_ptr<SettingsStream> (*)(const char* fileName, int mode, std::string& reason);
    static void SetStreamOpener(StreamOpener opener);
    static std::unique_ptr<SettingsStream> OpenStandardStream(const char* fileName, int mode, std::string& reason);

protected:
    bool OpenFileForReading();
    bool OpenFileForWriting();
    bool OpenFileForReadWrite();
    bool OpenFileForAppending();

private:
    void Open(const char* fileName, int mode);
    bool OpenWith(int mode, const char* where);
    // One line into `buffer` (at most length - 1 characters, terminated).
    // Returns the number of characters stored, -1 when nothing could be read.
    int ReadLine(char* buffer, int length, bool skipRest);
    bool CanRead();
    bool WriteBytes(const char* text);

    std::unique_ptr<SettingsStream> m_stream;
    bool m_open = false;
    char m_fileName[kNameLength] = {};
    char m_formatBuffer[kFormatLength] = {};
    char m_lineBuffer[kLineLength] = {};
    char m_scratch[kScratchLength] = {};
    char m_nameReadBack[kNameLength] = {};
};
