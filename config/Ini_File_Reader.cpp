// Ini_File_Reader and CIniRead. Every lookup rewinds and scans from the top,
// so lookups may come in any order. Lines are read whole (the rest of an
// over-long line is skipped, never taken for the next line) and only their
// first 1023 characters are examined.
#include "config/Ini_File_Reader.h"

#include "support/NumberText.h"
#include "support/Paths.h"
#include "support/TextFunctions.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kLookWhere = "Ini_File_Reader::LookForValue";
constexpr std::size_t kSectionNameLimit = 1021;

// A whole number saturated to the 32-bit range: Windows' long is 32 bits, and
// a file must mean the same number on both platforms (and under every locale).
long ToLong(const char* text)
{
    const long long value = TextToLongLong(text);
    if (value > INT32_MAX) {
        return INT32_MAX;
    }
    if (value < INT32_MIN) {
        return INT32_MIN;
    }
    return static_cast<long>(value);
}

bool ContainsTrue(const char* text)
{
    return std::strstr(text, "true") != nullptr || std::strstr(text, "TRUE") != nullptr
        || std::strstr(text, "True") != nullptr;
}

bool IsRelativeToProgram(const char* text)
{
    return text[0] == '.' && text[1] == '.' && (text[2] == '\\' || text[2] == '/');
}

bool IsSeparator(char c)
{
    return c == '/' || c == Paths::Separator();
}

} // namespace

bool Ini_File_Reader::OpenFile(const char* fileName)
{
    if (fileName == nullptr || fileName[0] == '\0') {
        ReportError("Ini_File_Reader::OpenFile", "Ini_File_Reader::OpenFile - File Name Given was NULL");
        return false;
    }
    m_fileName = fileName;
    m_file = std::make_unique<SettingsFileClass>(fileName, FileOpenForReading);
    if (!m_file->IsOpen()) {
        SetErrorText(m_file->GetErrorText());
        return false;
    }
    return true;
}

bool Ini_File_Reader::OpenFile(const std::string& fileName)
{
    return OpenFile(fileName.c_str());
}

bool Ini_File_Reader::FindSection(const char* section)
{
    m_section = section;
    std::string pattern = "[";
    pattern.append(section, std::min(std::strlen(section), kSectionNameLimit));
    pattern += "]";
    if (m_file == nullptr || !m_file->RewindFile()) {
        return false;
    }
    while (m_file->ReadFromSettingsFile(m_line, kBufferLength)) {
        if (std::strstr(m_line, pattern.c_str()) != nullptr) {
            return true;
        }
    }
    return false;
}

bool Ini_File_Reader::FindItem(const char* key, ValueText form)
{
    char work[kBufferLength];
    while (m_file->ReadFromSettingsFile(m_line, kBufferLength)) {
        CutAtNewline(m_line);
        const char* equals = std::strchr(m_line, '=');
        if (equals != nullptr) {
            const std::size_t keyLength = static_cast<std::size_t>(equals - m_line);
            std::memcpy(work, m_line, keyLength);
            work[keyLength] = '\0';
            RemoveBlanks(TabsToBlanks(work));
            if (std::strcmp(work, key) == 0) {
                CopyBounded(work, equals + 1, kBufferLength);
                TabsToBlanks(work);
                if (form == ValueText::Compact) {
                    CopyBounded(m_value, RemoveBlanks(work), kBufferLength);
                } else {
                    CopyBounded(m_value, SkipBlanks(work), kBufferLength);
                }
                return true;
            }
        }
        // Any "[" ends the section, even in a line that is only a comment.
        if (std::strchr(m_line, '[') != nullptr) {
            return false;
        }
    }
    return false;
}

bool Ini_File_Reader::FindPresence(const char* item)
{
    while (m_file->ReadFromSettingsFile(m_line, kBufferLength)) {
        CutAtNewline(m_line);
        const bool endsSection = std::strchr(m_line, '[') != nullptr;
        RemoveBlanks(TabsToBlanks(m_line));
        if (std::strcmp(m_line, item) == 0) {
            return true;
        }
        if (endsSection) {
            return false;
        }
    }
    return false;
}

void Ini_File_Reader::ReportMissingSection(const char* section)
{
    SetErrorText(std::string(kLookWhere) + "\nDid not find Key [" + section + "]\nin file \n" + m_fileName);
}

void Ini_File_Reader::ReportMissingItem(const char* section, const char* key)
{
    SetErrorText(std::string(kLookWhere) + "\nDid not find Item <" + key + "> under Key [" + section + "]\nin file \n"
        + m_fileName);
}

bool Ini_File_Reader::Find(const char* section, const char* key, ValueText form)
{
    m_value[0] = '\0';
    if (section == nullptr || key == nullptr) {
        return false;
    }
    if (!FindSection(section)) {
        ReportMissingSection(section);
        return false;
    }
    if (!FindItem(key, form)) {
        ReportMissingItem(section, key);
        return false;
    }
    return true;
}

bool Ini_File_Reader::LookForValue(const char* section, const char* key, char* out, std::size_t outLength)
{
    if (!Find(section, key, ValueText::Compact)) {
        return false;
    }
    if (out != nullptr && outLength > 0) {
        CopyBounded(out, m_value, static_cast<int>(std::min<std::size_t>(outLength, INT_MAX)));
    }
    return true;
}

bool Ini_File_Reader::LookForValueAsWritten(const char* section, const char* key, char* out, std::size_t outLength)
{
    if (!Find(section, key, ValueText::AsWritten)) {
        return false;
    }
    if (out != nullptr && outLength > 0) {
        CopyBounded(out, m_value, static_cast<int>(std::min<std::size_t>(outLength, INT_MAX)));
    }
    return true;
}

bool Ini_File_Reader::LookForValue(const char* section, const char* key, int& out)
{
    if (!Find(section, key, ValueText::Compact)) {
        return false;
    }
    out = static_cast<int>(ToLong(m_value));
    return true;
}

bool Ini_File_Reader::LookForValue(const char* section, const char* key, std::int16_t& out)
{
    int value = 0;
    if (!LookForValue(section, key, value)) {
        return false;
    }
    out = static_cast<std::int16_t>(value);
    return true;
}

bool Ini_File_Reader::LookForValue(const char* section, const char* key, float& out)
{
    if (!Find(section, key, ValueText::Compact)) {
        return false;
    }
    out = TextToFloat(m_value);
    return true;
}

bool Ini_File_Reader::LookForValue(const char* section, const char* key, double& out)
{
    // Converted at float precision, like the float form; the configuration
    // loader reads its doubles through CIniRead::ParseDouble instead.
    float value = 0.0F;
    if (!LookForValue(section, key, value)) {
        return false;
    }
    out = static_cast<double>(value);
    return true;
}

bool Ini_File_Reader::LookForValue(const char* section, const char* key, long& out)
{
    if (!Find(section, key, ValueText::Compact)) {
        return false;
    }
    out = ToLong(m_value);
    return true;
}

bool Ini_File_Reader::LookForValue(const char* section, const char* key, bool& out)
{
    if (!Find(section, key, ValueText::Compact)) {
        return false;
    }
    out = ContainsTrue(m_value) || std::strchr(m_value, '1') != nullptr;
    return true;
}

bool Ini_File_Reader::LookForValue(const char* section, const char* item)
{
    if (section == nullptr || item == nullptr) {
        return false;
    }
    if (!FindSection(section)) {
        ReportMissingSection(section);
        return false;
    }
    if (!FindPresence(item)) {
        ReportMissingItem(section, item);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------

CIniRead::CIniRead(const char* fileName)
{
    SetFileName(fileName);
}

CIniRead::~CIniRead() = default;

bool CIniRead::Open()
{
    m_reader = std::make_unique<Ini_File_Reader>();
    if (!m_reader->OpenFile(FileName())) {
        SetErrorText(m_reader->GetErrorText());
        m_reader.reset();
        return false;
    }
    return true;
}

bool CIniRead::GetInitData(InitDataRequest& request)
{
    request.reader = m_reader.get();
    m_request = request;
    const char* section = request.section != nullptr ? request.section : "";
    const char* key = request.key != nullptr ? request.key : "";

    // Values longer than this buffer are cut to it.
    char value[kValueLength] = {};
    if (m_reader == nullptr || !m_reader->LookForValueAsWritten(section, key, value, sizeof value)) {
        m_message = std::string("Tag >") + key + "< not found under Title >" + section + "< in initialisation file";
        SetErrorText(m_message);
        return false;
    }

    const char* text = SkipBlanks(value);
    char result[kPathLength] = {};
    if (IsRelativeToProgram(text)) {
        // The program's file name less m_folderLevels components.
        std::string folder = Paths::ProgramFileName();
        for (int level = 0; level < m_folderLevels; ++level) {
            std::size_t cut = folder.size();
            while (cut > 0 && !IsSeparator(folder[cut - 1])) {
                --cut;
            }
            folder = cut == 0 ? std::string(".") : folder.substr(0, cut > 1 ? cut - 1 : 1);
        }
        if (folder.size() == 1 && IsSeparator(folder[0])) {
            folder.clear(); // the root: "/" + rest, not "//" + rest
        }
        // Windows installations write the rest with backslashes, others with
        // slashes; either way the path is given this platform's separator.
        std::string rest = text + 3;
        for (char& c : rest) {
            if (c == '\\' || c == '/') {
                c = Paths::Separator();
            }
        }
        FormatBounded(result, kPathLength, "%s%c%s", folder.c_str(), Paths::Separator(), rest.c_str());
    } else {
        FormatBounded(result, kPathLength, "%s", text);
    }

    if (request.destination != nullptr && request.length > 0) {
        CopyBounded(request.destination, result, request.length);
    }
    return true;
}

bool CIniRead::ParseDouble(const char* text, double& out)
{
    if (text == nullptr) {
        return false;
    }
    const std::size_t length = std::strlen(text);
    if (length < 2 || length > 20) {
        return false;
    }
    // "nan" and "inf" would pass the length rule; no tuning value may be either.
    const double value = TextToDouble(text);
    if (!std::isfinite(value)) {
        return false;
    }
    out = value;
    return true;
}

bool CIniRead::ParseLong(const char* text, long& out)
{
    if (text == nullptr) {
        return false;
    }
    const std::size_t length = std::strlen(text);
    if (length < 1 || length > 20) {
        return false;
    }
    out = ToLong(text);
    return true;
}

bool CIniRead::ParseInt(const char* text, int& out)
{
    long value = 0;
    if (!ParseLong(text, value)) {
        return false;
    }
    out = static_cast<int>(value);
    return true;
}

bool CIniRead::IsTrueText(const char* text)
{
    if (text == nullptr) {
        return false;
    }
    const std::size_t length = std::strlen(text);
    return length >= 1 && length <= 10 && ContainsTrue(text);
}
