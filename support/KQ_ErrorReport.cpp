#include "support/KQ_ErrorReport.h"

#include <cstring>

namespace {

constexpr std::size_t kPartLimit = 1024;

std::string CutPart(const char* part)
{
    if (part == nullptr) {
        return {};
    }
    std::size_t length = std::strlen(part);
    if (length > kPartLimit) {
        length = kPartLimit - 1;
    }
    return std::string(part, length);
}

} // namespace

void KQ_ErrorReport::ReportError(const char* where, const char* what)
{
    m_errorText = CutPart(where) + "\n" + CutPart(what);
}

void KQ_ErrorReport::ReportError(const char* where, const char* what, const char* detail)
{
    m_errorText = CutPart(where) + "\n" + CutPart(what) + "\n" + CutPart(detail);
}

void KQ_ErrorReport::SetErrorText(const char* text)
{
    m_errorText = text == nullptr ? std::string() : std::string(text);
}

void KQ_ErrorReport::SetErrorText(const std::string& text)
{
    m_errorText = text;
}

const char* KQ_ErrorReport::GetErrorText() const
{
    const std::size_t length = m_errorText.size() < sizeof m_readOut - 1 ? m_errorText.size() : sizeof m_readOut - 1;
    std::memcpy(m_readOut, m_errorText.data(), length);
    m_readOut[length] = '\0';
    return m_readOut;
}
