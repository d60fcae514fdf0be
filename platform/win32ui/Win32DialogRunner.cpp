#include "platform/win32ui/Win32DialogRunner.h"

#include "platform/win32ui/WideText.h"
#include "platform/win32ui/Win32DialogView.h"

Win32DialogRunner::Win32DialogRunner(HINSTANCE instance)
    : m_instance(instance)
{
}

int Win32DialogRunner::RunModal(const DialogTemplate& dialogTemplate, DialogPresenter& presenter)
{
    Win32DialogView view(dialogTemplate, presenter, m_instance);
    Win32DialogView* outer = m_current;
    m_current = &view;
    const int result = view.RunModal();
    m_current = outer;
    return result;
}

void Win32DialogRunner::ShowMessageBox(const char* text, const char* caption)
{
    MessageBoxW(
        nullptr, WideText::FromUtf8(text).c_str(), WideText::FromUtf8(caption).c_str(), MB_OK | MB_SETFOREGROUND);
}
