// Ini_File_Reader and CIniRead. The file is read once; lookups may come in
// any order and each costs only its section's index. Lines end at LF, CR LF
// or CR; only their first 1023 characters count (the rest of an over-long
// line is skipped, never taken for the next line).
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
    m_loaded = false;
    m_lines.clear();
    m_sections.clear();
    if (fileName == nullptr || fileName[0] == '\0') {
        ReportError("Ini_File_Reader::OpenFile", "Ini_File_Reader::OpenFile - File Name Given was NULL");
        return false;
    }
    m_fileName = fileName;
    SettingsFileClass file(fileName, FileOpenForReading);
    std::string text;
    if (!file.IsOpen() || !file.ReadWholeFile(text, kMaxFileSize)) {
        SetErrorText(file.GetErrorText());
        return false;
    }
    SplitLines(text);
    m_loaded = true;
    return true;
}

bool Ini_File_Reader::OpenFile(const std::string& fileName)
{
    return OpenFile(fileName.c_str());
}

void Ini_File_Reader::OpenText(const char* fileName, const std::string& text)
{
    m_lines.clear();
    m_sections.clear();
    m_fileName = fileName != nullptr ? fileName : "";
    SplitLines(text.size() > kMaxFileSize ? text.substr(0, kMaxFileSize) : text);
    m_loaded = true;
}

void Ini_File_Reader::SplitLines(const std::string& text)
{
    const std::size_t keep = kBufferLength - 1;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find_first_of("\r\n", at);
        const std::size_t stop = end == std::string::npos ? text.size() : end;
        std::string line = text.substr(at, std::min(stop - at, keep));
        const std::size_t nul = line.find('\0');
        if (nul != std::string::npos) {
            line.resize(nul);
        }
        m_lines.push_back(std::move(line));
        if (end == std::string::npos) {
            break;
        }
        at = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
}

bool Ini_File_Reader::HasSection(const char* section)
{
    return section != nullptr && FindSection(section).found;
}

const Ini_File_Reader::Section& Ini_File_Reader::FindSection(const char* section)
{
    std::string pattern = "[";
    pattern.append(section, std::min(std::strlen(section), kSectionNameLimit));
    pattern += "]";
    const auto [entry, added] = m_sections.try_emplace(pattern);
    Section& found = entry->second;
    if (!added) {
        return found;
    }
    std::size_t line = 0;
    while (line < m_lines.size() && m_lines[line].find(pattern) == std::string::npos) {
        ++line;
    }
    if (line == m_lines.size()) {
        return found;
    }
    found.found = true;
    found.first = line + 1;
    found.end = found.first;
    char work[kBufferLength];
    while (found.end < m_lines.size()) {
        const std::string& text = m_lines[found.end++];
        const std::size_t equals = text.find('=');
        if (equals != std::string::npos) {
            std::memcpy(work, text.data(), equals);
            work[equals] = '\0';
            found.keys.try_emplace(RemoveBlanks(TabsToBlanks(work)), found.end - 1);
        }
        CopyBounded(work, text.c_str(), kBufferLength);
        found.items.insert(RemoveBlanks(TabsToBlanks(work)));
        // Any "[" ends the section, even in a line that is only a comment.
        if (text.find('[') != std::string::npos) {
            break;
        }
    }
    return found;
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
    if (section == nullptr || key == nullptr || !m_loaded) {
        return false;
    }
    const Section& found = FindSection(section);
    if (!found.found) {
        ReportMissingSection(section);
        return false;
    }
    const auto entry = found.keys.find(key);
    if (entry == found.keys.end()) {
        ReportMissingItem(section, key);
        return false;
    }
    const std::string& line = m_lines[entry->second];
    char work[kBufferLength];
    CopyBounded(work, line.c_str() + line.find('=') + 1, kBufferLength);
    TabsToBlanks(work);
    if (form == ValueText::Compact) {
        CopyBounded(m_value, RemoveBlanks(work), kBufferLength);
    } else {
        CopyBounded(m_value, SkipBlanks(work), kBufferLength);
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
    if (section == nullptr || item == nullptr || !m_loaded) {
        return false;
    }
    const Section& found = FindSection(section);
    if (!found.found) {
        ReportMissingSection(section);
        return false;
    }
    if (found.items.count(item) == 0) {
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

void CIniRead::OpenText(const std::string& text)
{
    m_reader = std::make_unique<Ini_File_Reader>();
    m_reader->OpenText(FileName().c_str(), text);
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
