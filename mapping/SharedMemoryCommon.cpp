// The parts of BaseSharedMemory that are the same on both platforms: the
// name, the error text, the create-or-open sequences and the view's zeroing.
// The system calls behind them are in posix/ and win32/SharedMemory.cpp.
#include "mapping/BaseSharedMemory.h"

#include "support/TextFunctions.h"

#include <cstring>

namespace {

constexpr int kTextSize = 1024;

} // namespace

BaseSharedMemory::BaseSharedMemory() = default;

BaseSharedMemory::~BaseSharedMemory() = default;

void BaseSharedMemory::SetName(const char* name)
{
    CopyBounded(m_name, name == nullptr ? "" : name, static_cast<int>(sizeof m_name));
}

void BaseSharedMemory::Fail(const char* operation, unsigned long code)
{
    m_lastError = code;
    m_explained = false;
    char text[kTextSize];
    FormatBounded(text, kTextSize, "%s (Code: %d)", operation, static_cast<int>(code));
    SetErrorText(text);
}

void BaseSharedMemory::Explain(const char* text)
{
    m_lastError = 0;
    m_explained = true;
    SetErrorText(text);
}

bool BaseSharedMemory::CreateAndMap()
{
    return CreateMapping(m_size) && OpenMapping() && MapView();
}

bool BaseSharedMemory::OpenAndMap()
{
    return OpenMapping() && MapView();
}

void BaseSharedMemory::ZeroView(std::size_t count)
{
    if (m_view == nullptr) {
        return;
    }
    std::memset(m_view, 0, count < m_viewLength ? count : m_viewLength);
}
