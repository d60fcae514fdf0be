// Keyed lookup in sectioned text files. Ini_File_Reader reads the file once,
// whole (at most kMaxFileSize bytes), and answers lookups from memory, each
// section indexed the first time it is asked for; CIniRead wraps one for the
// configuration loader, with its relative-path rule and converters.
#pragma once

#include "config/SettingsFile.h"
#include "support/KQ_ErrorReport.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class Ini_File_Reader : public KQ_ErrorReport {
public:
    static constexpr int kBufferLength = 1024;
    // Larger files are refused: no set-up needs a fraction of this.
    static constexpr std::size_t kMaxFileSize = 1u << 20;

    Ini_File_Reader() = default;
    ~Ini_File_Reader() override = default;
    Ini_File_Reader(const Ini_File_Reader&) = delete;
    Ini_File_Reader& operator=(const Ini_File_Reader&) = delete;

    bool OpenFile(const char* fileName);
    bool OpenFile(const std::string& fileName);
    // Reads `text` as the file `fileName` would be read.
    void OpenText(const char* fileName, const std::string& text);
    bool IsOpen() const { return m_loaded; }
    const std::string& FileName() const { return m_fileName; }

    // The string forms copy at most outLength - 1 characters and a zero.
    // Compact: the value with every blank (and tab) removed.
    bool LookForValue(const char* section, const char* key, char* out, std::size_t outLength);
    // As written: tabs made blanks, leading blanks skipped, the rest kept.
    bool LookForValueAsWritten(const char* section, const char* key, char* out, std::size_t outLength);
    bool LookForValue(const char* section, const char* key, int& out);
    bool LookForValue(const char* section, const char* key, std::int16_t& out);
    bool LookForValue(const char* section, const char* key, float& out);
    bool LookForValue(const char* section, const char* key, double& out);
    bool LookForValue(const char* section, const char* key, long& out);
    // True when the value holds "true", "TRUE", "True" or a 1 anywhere.
    bool LookForValue(const char* section, const char* key, bool& out);
    // True when a line of the section, blanks removed, is exactly `item`.
    bool LookForValue(const char* section, const char* item);
    // True when the file has a "[section]" line.
    bool HasSection(const char* section);

protected:
    void SetFileName(const char* fileName) { m_fileName = fileName != nullptr ? fileName : ""; }

private:
    enum class ValueText { Compact, AsWritten };

    // The lines of a section: from the one after its header up to and
    // including the first that holds a "[" (or the file's end), with the
    // first line of each key and the set of whole lines, blanks removed.
    struct Section {
        bool found = false;
        std::size_t first = 0;
        std::size_t end = 0;
        std::unordered_map<std::string, std::size_t> keys;
        std::unordered_set<std::string> items;
    };

    void SplitLines(const std::string& text);
    const Section& FindSection(const char* section);
    // Section then key; the value in m_value, or the text of the failure.
    bool Find(const char* section, const char* key, ValueText form);
    void ReportMissingSection(const char* section);
    void ReportMissingItem(const char* section, const char* key);

    std::string m_fileName;
    bool m_loaded = false;
    // Each line as a line-by-line reader sees it: cut at a NUL byte and to
    // kBufferLength - 1 characters, without its line end.
    std::vector<std::string> m_lines;
    std::unordered_map<std::string, Section> m_sections;
    char m_value[kBufferLength] = {};
};

// One lookup: the section and key, and where the value goes (length counts
// the terminating zero). `reader` is filled in by CIniRead itself.
struct InitDataRequest {
    Ini_File_Reader* reader = nullptr;
    const char* section = nullptr;
    const char* key = nullptr;
    char* destination = nullptr;
    int length = 0;
};

class CIniRead : public Ini_File_Reader {
public:
    static constexpr int kValueLength = 256;
    static constexpr int kPathLength = 260;

    explicit CIniRead(const char* fileName);
    ~CIniRead() override;

    bool Open();
    // The same lookups on a text in memory, as if it were the file's.
    void OpenText(const std::string& text);
    // A value that begins with "..\" (or "../") names a path relative to the
    // program's folder; the result uses this platform's separator.
    bool GetInitData(InitDataRequest& request);
    bool HasSection(const char* section) { return m_reader != nullptr && m_reader->HasSection(section); }
    // A value of Tavelin's own sections as written (tabs made blanks, leading
    // blanks skipped), without the described value cut and path rule.
    bool LookForOwnValue(const char* section, const char* key, char* out, std::size_t outLength)
    {
        return m_reader != nullptr && m_reader->LookForValueAsWritten(section, key, out, outLength);
    }

    // Length rules: ParseDouble 2..20 characters (and a finite number),
    // ParseLong and ParseInt 1..20, IsTrueText 1..10. The integer forms
    // saturate at the 32-bit range, so a file reads the same on every platform.
    static bool ParseDouble(const char* text, double& out);
    static bool ParseLong(const char* text, long& out);
    static bool ParseInt(const char* text, int& out);
    static bool IsTrueText(const char* text);

    const std::string& MessageText() const { return m_message; }

private:
    std::unique_ptr<Ini_File_Reader> m_reader;
    std::string m_message;
    InitDataRequest m_request;
    int m_folderLevels = 1;
};
