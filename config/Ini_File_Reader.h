// Keyed lookup in sectioned text files. Ini_File_Reader answers one lookup at a
// time, each searching its section from the top of the file; CIniRead wraps
// one for the configuration loader, with its relative-path rule and converters.
#pragma once

#include "config/SettingsFile.h"
#include "support/KQ_ErrorReport.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class Ini_File_Reader : public KQ_ErrorReport {
public:
    static constexpr int kBufferLength = 1024;

    Ini_File_Reader() = default;
    ~Ini_File_Reader() override = default;
    Ini_File_Reader(const Ini_File_Reader&) = delete;
    Ini_File_Reader& operator=(const Ini_File_Reader&) = delete;

    bool OpenFile(const char* fileName);
    bool OpenFile(const std::string& fileName);
    bool IsOpen() const { return m_file != nullptr && m_file->IsOpen(); }
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

protected:
    void SetFileName(const char* fileName) { m_fileName = fileName != nullptr ? fileName : ""; }

private:
    enum class ValueText { Compact, AsWritten };

    bool FindSection(const char* section);
    // From the line after the section header; leaves the value text in m_value.
    bool FindItem(const char* key, ValueText form);
    bool FindPresence(const char* item);
    // Section then key; the value in m_value, or the text of the failure.
    bool Find(const char* section, const char* key, ValueText form);
    void ReportMissingSection(const char* section);
    void ReportMissingItem(const char* section, const char* key);

    std::string m_fileName;
    std::string m_section;
    char m_line[kBufferLength] = {};
    char m_value[kBufferLength] = {};
    std::unique_ptr<SettingsFileClass> m_file;
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
    // A value that begins with "..\" (or "../") names a path relative to the
    // program's folder; the result uses this platform's separator.
    bool GetInitData(InitDataRequest& request);

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
