// The full-disk stream: the real C stream underneath, with a byte budget.
#include "tests/fakes/FailingSettingsStream.h"

#include "config/SettingsFile.h"

#include <memory>
#include <string>

namespace FailingSettingsStream {
namespace {

std::size_t g_budget = 0;
std::size_t g_accepted = 0;
Failure g_failure = Failure::AfterBytes;

class Stream final : public SettingsStream {
public:
    explicit Stream(std::unique_ptr<SettingsStream> real)
        : m_real(std::move(real))
    {
    }

    int GetChar() override { return m_real->GetChar(); }
    void UngetChar(int character) override { m_real->UngetChar(character); }
    bool ReadFailed() const override { return m_real->ReadFailed(); }
    bool Write(const char* data, std::size_t size) override
    {
        if (g_failure == Failure::AfterBytes && g_accepted + size > g_budget) {
            // A full disk takes what fits, then refuses.
            const std::size_t room = g_budget - g_accepted;
            m_real->Write(data, room);
            g_accepted += room;
            return false;
        }
        g_accepted += size;
        return m_real->Write(data, size);
    }
    bool Flush() override { return m_real->Flush(); }
    bool Rewind() override { return m_real->Rewind(); }
    bool Close() override
    {
        const bool closed = m_real->Close();
        return closed && g_failure != Failure::OnClose;
    }

private:
    std::unique_ptr<SettingsStream> m_real;
};

std::unique_ptr<SettingsStream> Open(const char* fileName, int mode, std::string& reason)
{
    auto real = SettingsFileClass::OpenStandardStream(fileName, mode, reason);
    if (real == nullptr || mode == FileOpenForReading) {
        return real;
    }
    return std::make_unique<Stream>(std::move(real));
}

} // namespace

Scope::Scope(std::size_t budget, Failure failure)
{
    g_budget = budget;
    g_accepted = 0;
    g_failure = failure;
    SettingsFileClass::SetStreamOpener(&Open);
}

Scope::~Scope()
{
    SettingsFileClass::SetStreamOpener(nullptr);
}

std::size_t BytesAccepted()
{
    return g_accepted;
}

} // namespace FailingSettingsStream
