#include "platform/win32ui/ReadoutPanel.h"

namespace {

bool RegisterPanelClass(HINSTANCE instance, WNDPROC procedure)
{
    WNDCLASSEXW existing {};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(instance, ReadoutPanel::kClassName, &existing)) {
        return true;
    }
    WNDCLASSEXW windowClass {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    // No background brush: every paint fills what it draws.
    windowClass.lpszClassName = ReadoutPanel::kClassName;
    return RegisterClassExW(&windowClass) != 0;
}

bool Intersects(const RECT& a, const RECT& b)
{
    RECT both;
    return IntersectRect(&both, &a, &b) != FALSE;
}

} // namespace

ReadoutPanel::~ReadoutPanel()
{
    if (m_window != nullptr && IsWindow(m_window)) {
        SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
        DestroyWindow(m_window);
    }
}

bool ReadoutPanel::Create(HWND parent, const RECT& rect, HFONT font)
{
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE));
    if (!RegisterPanelClass(instance, &ReadoutPanel::WindowProcedure)) {
        return false;
    }
    m_font = font;
    m_window = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE, rect.left, rect.top, rect.right - rect.left,
        rect.bottom - rect.top, parent, nullptr, instance, this);
    return m_window != nullptr;
}

int ReadoutPanel::AddCell(const Cell& cell)
{
    m_cells.push_back(cell);
    m_dirtyCells.push_back(0);
    m_highlighted.push_back(0);
    MarkDirty(static_cast<int>(m_cells.size()) - 1, true);
    return static_cast<int>(m_cells.size()) - 1;
}

bool ReadoutPanel::SetText(int index, const wchar_t* text)
{
    Cell& cell = m_cells[static_cast<std::size_t>(index)];
    if (cell.text == text) {
        return false;
    }
    cell.text.assign(text); // the value boxes' texts stay within the capacity they first had
    MarkDirty(index, false);
    return true;
}

bool ReadoutPanel::SetHighlighted(int index, bool highlighted)
{
    unsigned char& shown = m_highlighted[static_cast<std::size_t>(index)];
    if ((shown != 0) == highlighted) {
        return false;
    }
    shown = highlighted ? 1 : 0;
    MarkDirty(index, false);
    return true;
}

bool ReadoutPanel::SetEnabled(int index, bool enabled)
{
    Cell& cell = m_cells[static_cast<std::size_t>(index)];
    if (cell.enabled == enabled) {
        return false;
    }
    cell.enabled = enabled;
    MarkDirty(index, true);
    return true;
}

bool ReadoutPanel::SetVisible(int index, bool visible)
{
    Cell& cell = m_cells[static_cast<std::size_t>(index)];
    if (cell.visible == visible) {
        return false;
    }
    cell.visible = visible;
    MarkDirty(index, true);
    return true;
}

void ReadoutPanel::MarkDirty(int index, bool wholeCell)
{
    unsigned char& dirty = m_dirtyCells[static_cast<std::size_t>(index)];
    dirty = static_cast<unsigned char>(dirty > 1 || wholeCell ? 2 : 1);
    m_anyDirty = true;
}

RECT ReadoutPanel::DirtyRect(const Cell& cell, bool wholeCell) const
{
    RECT rect = cell.rect;
    if (!wholeCell && cell.kind == ControlKind::Edit && cell.sunken) {
        // A new value inside an unchanged frame: the frame is not drawn again.
        InflateRect(&rect, -2, -2);
    }
    return rect;
}

void ReadoutPanel::FlushDirty()
{
    if (!m_anyDirty || m_window == nullptr) {
        return;
    }
    // The changed cells as one region: one invalidation per turn, and the
    // paint draws only the cells inside it (not their labels and units).
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    HRGN cellRegion = CreateRectRgn(0, 0, 0, 0);
    for (std::size_t i = 0; i < m_cells.size(); ++i) {
        if (!m_dirtyCells[i]) {
            continue;
        }
        const RECT rect = DirtyRect(m_cells[i], m_dirtyCells[i] > 1);
        m_dirtyCells[i] = 0;
        SetRectRgn(cellRegion, rect.left, rect.top, rect.right, rect.bottom);
        CombineRgn(region, region, cellRegion, RGN_OR);
    }
    m_anyDirty = false;
    InvalidateRgn(m_window, region, FALSE);
    DeleteObject(cellRegion);
    DeleteObject(region);
}

void ReadoutPanel::Paint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_window, &paint);
    if (dc == nullptr) {
        return;
    }
    const HGDIOBJ oldFont = SelectObject(dc, m_font != nullptr ? m_font : GetStockObject(DEFAULT_GUI_FONT));
    if (m_textHeight == 0) {
        TEXTMETRICW metrics {};
        GetTextMetricsW(dc, &metrics);
        m_textHeight = metrics.tmHeight;
    }
    SetBkMode(dc, OPAQUE);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    for (std::size_t index = 0; index < m_cells.size(); ++index) {
        const Cell& cell = m_cells[index];
        if (!cell.visible || !Intersects(cell.rect, paint.rcPaint) || !RectVisible(dc, &cell.rect)) {
            continue;
        }
        ++m_cellsPainted;
        RECT textRect = cell.rect;
        COLORREF background = face;
        COLORREF foreground = GetSysColor(COLOR_BTNTEXT);
        int indent = 0;
        if (cell.kind == ControlKind::Edit) {
            // A read-only value box: sunken, the window colour while live and
            // the face colour once greyed, as a disabled edit control is.
            if (cell.sunken) {
                InflateRect(&textRect, -2, -2);
                const RECT leftEdge { cell.rect.left, cell.rect.top, textRect.left, cell.rect.bottom };
                if (RectVisible(dc, &leftEdge)) {
                    RECT edge = cell.rect;
                    DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
                }
            }
            background = cell.enabled ? GetSysColor(COLOR_WINDOW) : face;
            if (cell.enabled && m_highlighted[index] != 0) {
                background = kHighlightColour;
            }
            foreground = cell.enabled ? GetSysColor(COLOR_WINDOWTEXT) : GetSysColor(COLOR_GRAYTEXT);
            indent = 2;
        }
        SetBkColor(dc, background);
        SetTextColor(dc, foreground);
        // Fills the box and draws the text in one call: no flicker, little work.
        const int y = textRect.top + (textRect.bottom - textRect.top - m_textHeight) / 2;
        ExtTextOutW(dc, textRect.left + indent, y, ETO_OPAQUE | ETO_CLIPPED, &textRect, cell.text.c_str(),
            static_cast<UINT>(cell.text.size()), nullptr);
        ExcludeClipRect(dc, cell.rect.left, cell.rect.top, cell.rect.right, cell.rect.bottom);
    }
    // What no cell covers: the window's own face, drawn last so no cell flickers.
    FillRect(dc, &paint.rcPaint, GetSysColorBrush(COLOR_BTNFACE));
    SelectObject(dc, oldFont);
    EndPaint(m_window, &paint);
}

LRESULT CALLBACK ReadoutPanel::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* panel = reinterpret_cast<ReadoutPanel*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_PAINT:
        if (panel != nullptr) {
            panel->Paint();
            return 0;
        }
        break;
    case WM_ERASEBKGND:
        return 1; // the paint fills everything it touches
    case WM_NCHITTEST:
        return HTTRANSPARENT; // a display only: clicks go to the window beneath
    case WM_NCDESTROY:
        if (panel != nullptr) {
            panel->m_window = nullptr;
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
