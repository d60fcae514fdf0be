#include "platform/win32ui/DialogTemplateBuilder.h"

#include <algorithm>

#include "platform/win32ui/WideText.h"

#include <windows.h>

#include <commctrl.h>

#include <cstring>
#include <string>

namespace {

// How far a combo box's list drops below its edit field.
constexpr std::int32_t kComboListHeight = 120;

// Appends 16-bit words to a DWORD-aligned buffer.
class TemplateWriter {
public:
    void Word(std::uint16_t value) { m_words.push_back(value); }
    void Dword(std::uint32_t value)
    {
        Word(static_cast<std::uint16_t>(value & 0xFFFFu));
        Word(static_cast<std::uint16_t>(value >> 16));
    }
    void Short(std::int32_t value) { Word(static_cast<std::uint16_t>(static_cast<std::int16_t>(value))); }
    void Text(const std::wstring& text)
    {
        for (const wchar_t c : text) {
            Word(static_cast<std::uint16_t>(c));
        }
        Word(0);
    }
    void Ordinal(std::uint16_t value)
    {
        Word(0xFFFF);
        Word(value);
    }
    void AlignToDword()
    {
        if (m_words.size() % 2 != 0) {
            Word(0);
        }
    }
    std::size_t Position() const { return m_words.size(); }
    void Patch(std::size_t position, std::uint16_t value) { m_words[position] = value; }

    std::vector<std::uint32_t> Finish()
    {
        AlignToDword();
        std::vector<std::uint32_t> block(m_words.size() / 2);
        std::memcpy(block.data(), m_words.data(), m_words.size() * sizeof(std::uint16_t));
        return block;
    }

private:
    std::vector<std::uint16_t> m_words;
};

} // namespace

NativeControlStyle StyleFor(const ControlTemplate& control)
{
    const bool sunken = (control.flags & FlagSunken) != 0;
    std::uint32_t style = WS_CHILD;
    if ((control.flags & FlagHidden) == 0) {
        style |= WS_VISIBLE;
    }
    if ((control.flags & FlagDisabled) != 0) {
        style |= WS_DISABLED;
    }
    NativeControlStyle native { L"Static", style, 0, control.rect.height };
    switch (control.kind) {
    case ControlKind::PushButton:
        native.className = L"Button";
        native.style |= WS_TABSTOP | ((control.flags & FlagDefault) != 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        break;
    case ControlKind::GroupBox:
        native.className = L"Button";
        native.style |= BS_GROUPBOX;
        break;
    case ControlKind::Static:
        // Device names and file names may hold '&': never an accelerator.
        native.style |= SS_LEFT | SS_NOPREFIX | (sunken ? SS_SUNKEN : 0u);
        break;
    case ControlKind::Edit:
        native.className = L"Edit";
        native.style
            |= ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | ((control.flags & FlagEditable) != 0 ? WS_TABSTOP : ES_READONLY);
        break;
    case ControlKind::ComboBox:
        native.className = L"ComboBox";
        native.style |= CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;
        native.height = control.rect.height + kComboListHeight;
        break;
    case ControlKind::ProgressBar:
        native.className = PROGRESS_CLASSW;
        native.style |= PBS_SMOOTH;
        break;
    case ControlKind::Spin:
        // No buddy and no range of its own: only its deltas count.
        native.className = UPDOWN_CLASSW;
        native.style |= ((control.flags & FlagHorizontalSpin) != 0 ? UDS_HORZ : 0u);
        break;
    case ControlKind::Lamp:
        native.style |= SS_BITMAP | SS_CENTERIMAGE;
        break;
    case ControlKind::ListView:
        native.className = WC_LISTVIEWW;
        native.style |= LVS_REPORT | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | WS_TABSTOP | (sunken ? 0u : WS_BORDER);
        native.exStyle |= sunken ? WS_EX_CLIENTEDGE : 0u;
        break;
    case ControlKind::Icon:
        native.style |= SS_ICON;
        break;
    case ControlKind::CheckBox:
        native.className = L"Button";
        native.style |= BS_AUTOCHECKBOX | WS_TABSTOP;
        break;
    case ControlKind::CurveGraph:
        // Painted and dragged by Win32CurveGraph; SS_NOTIFY lets the mouse reach it.
        native.style |= SS_NOTIFY;
        break;
    }
    return native;
}

DialogFontChoice SystemDialogFont()
{
    DialogFontChoice choice;
    NONCLIENTMETRICSW metrics {};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)
        || metrics.lfMessageFont.lfFaceName[0] == L'\0' || metrics.lfMessageFont.lfHeight == 0) {
        return choice;
    }
    int dpi = 96;
    if (HDC screen = GetDC(nullptr)) {
        dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    if (dpi <= 0) {
        dpi = 96;
    }
    // A negative height is the character height in pixels; a positive one
    // includes the internal leading, about a fifth more.
    const LONG height = metrics.lfMessageFont.lfHeight;
    const int pixels = height < 0 ? static_cast<int>(-height) : static_cast<int>(height) * 4 / 5;
    const int points = MulDiv(pixels, 72, dpi);
    choice.points = static_cast<std::uint16_t>(std::clamp(points, 6, 48));
    choice.face = metrics.lfMessageFont.lfFaceName;
    return choice;
}

std::vector<std::uint32_t> BuildDialogTemplate(const DialogTemplate& dialogTemplate, bool topLevel)
{
    TemplateWriter out;
    std::uint32_t style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SHELLFONT | DS_CENTER;
    std::uint32_t exStyle = 0;
    if (topLevel) {
        style |= WS_MINIMIZEBOX;
        exStyle |= WS_EX_APPWINDOW;
    }
    out.Word(1); // dlgVer
    out.Word(0xFFFF); // signature: the extended form
    out.Dword(0); // helpID
    out.Dword(exStyle);
    out.Dword(style);
    const std::size_t countPosition = out.Position();
    out.Word(0); // cDlgItems, patched below
    out.Short(0);
    out.Short(0);
    out.Short(dialogTemplate.width);
    out.Short(dialogTemplate.height);
    out.Word(0); // no menu
    out.Word(0); // the dialog class
    out.Text(WideText::FromUtf8(dialogTemplate.caption));
    const DialogFontChoice font = SystemDialogFont();
    out.Word(font.points);
    out.Word(FW_NORMAL);
    out.Word(static_cast<std::uint16_t>(DEFAULT_CHARSET << 8)); // italic 0, charset
    out.Text(font.face);

    std::uint16_t count = 0;
    for (const ControlTemplate& control : dialogTemplate.controls) {
        const NativeControlStyle native = StyleFor(control);
        out.AlignToDword();
        out.Dword(0); // helpID
        out.Dword(native.exStyle);
        out.Dword(native.style);
        out.Short(control.rect.x);
        out.Short(control.rect.y);
        out.Short(control.rect.width);
        out.Short(native.height);
        out.Dword(static_cast<std::uint32_t>(control.id));
        out.Text(native.className);
        if ((control.kind == ControlKind::Lamp || control.kind == ControlKind::Icon) && control.image > 0) {
            // A picture: its resource number in place of a caption.
            out.Ordinal(static_cast<std::uint16_t>(control.image));
        } else {
            out.Text(WideText::FromUtf8(control.text));
        }
        out.Word(0); // no creation data
        ++count;
    }
    out.Patch(countPosition, count);
    return out.Finish();
}
