// KQ_ErrorReport: the base of every service class. A failing operation returns
// false and leaves "where\nwhat[\ndetail]" here; owners pass it upward with
// SetErrorText(member.GetErrorText()).
#pragma once

#include <string>

class KQ_ErrorReport {
public:
    KQ_ErrorReport() = default;
    virtual ~KQ_ErrorReport() = default;
    KQ_ErrorReport(const KQ_ErrorReport&) = default;
    KQ_ErrorReport& operator=(const KQ_ErrorReport&) = default;

    // Each part longer than 1024 characters is cut to its first 1023 first.
    void ReportError(const char* where, const char* what);
    void ReportError(const char* where, const char* what, const char* detail);

    void SetErrorText(const char* text);
    void SetErrorText(const std::string& text);

    // The text cut to 255 characters; the pointer stays valid until the next
    // read-out or the object's destruction.
    const char* GetErrorText() const;
    // The whole text, without the read-out's cut (for tools that print it all).
    const std::string& FullErrorText() const { return m_errorText; }

private:
    std::string m_errorText;
    mutable char m_readOut[256] = {};
};
