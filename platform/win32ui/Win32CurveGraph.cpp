#include "platform/win32ui/Win32CurveGraph.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

namespace {

constexpr int kMargin = 6;
constexpr int kGrabRadius = 7;
constexpr int kHandle = 3;
constexpr UINT_PTR kSubclassId = 4;

class GdiObject {
public:
    GdiObject(HDC dc, HGDIOBJ object)
        : m_dc(dc)
        , m_object(object)
        , m_old(SelectObject(dc, object))
    {
    }
    ~GdiObject()
    {
        SelectObject(m_dc, m_old);
        DeleteObject(m_object);
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_object;
    HGDIOBJ m_old;
};

} // namespace

Win32CurveGraph::Win32CurveGraph(HWND window, std::function<void(int, double, double)> dragged)
    : m_window(window)
    , m_dragged(std::move(dragged))
{
    SetWindowSubclass(m_window, &Win32CurveGraph::Procedure, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

Win32CurveGraph::~Win32CurveGraph()
{
    if (IsWindow(m_window)) {
        RemoveWindowSubclass(m_window, &Win32CurveGraph::Procedure, kSubclassId);
    }
}

void Win32CurveGraph::SetGraph(const CurveGraphData& graph)
{
    m_graph = graph;
    InvalidateRect(m_window, nullptr, FALSE);
}

void Win32CurveGraph::SetMarker(const CurveMarker& marker)
{
    m_marker = marker;
    InvalidateRect(m_window, nullptr, FALSE);
}

POINT Win32CurveGraph::ToPixels(const RECT& client, double x, double y) const
{
    const double width = std::max(1, static_cast<int>(client.right - client.left) - 2 * kMargin);
    const double height = std::max(1, static_cast<int>(client.bottom - client.top) - 2 * kMargin);
    return { static_cast<LONG>(client.left + kMargin + (x + 1.0) / 2.0 * width + 0.5),
        static_cast<LONG>(client.bottom - kMargin - (y + 1.0) / 2.0 * height + 0.5) };
}

LRESULT CALLBACK Win32CurveGraph::Procedure(
    HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/, DWORD_PTR data)
{
    auto* graph = reinterpret_cast<Win32CurveGraph*>(data);
    if (message == WM_NCDESTROY || graph == nullptr) {
        RemoveWindowSubclass(window, &Win32CurveGraph::Procedure, kSubclassId);
        return DefSubclassProc(window, message, wParam, lParam);
    }
    return graph->Handle(message, wParam, lParam);
}

LRESULT Win32CurveGraph::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        return TRUE;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(m_window, &paint);
        RECT client;
        GetClientRect(m_window, &client);
        HDC memory = CreateCompatibleDC(dc);
        HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
        HGDIOBJ old = SelectObject(memory, bitmap);
        Paint(memory, client);
        BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        EndPaint(m_window, &paint);
        return 0;
    }
    case WM_LBUTTONDOWN: {
        RECT client;
        GetClientRect(m_window, &client);
        const int px = GET_X_LPARAM(lParam);
        const int py = GET_Y_LPARAM(lParam);
        int best = kGrabRadius * kGrabRadius;
        m_dragging = -1;
        for (int i = 0; i < m_graph.pointCount && i < CurveGraphData::kMaxPoints; ++i) {
            const CurveGraphPoint& p = m_graph.points[static_cast<std::size_t>(i)];
            const POINT at = ToPixels(client, p.x, p.y);
            const int dx = at.x - px;
            const int dy = at.y - py;
            if (dx * dx + dy * dy <= best) {
                best = dx * dx + dy * dy;
                m_dragging = i;
            }
        }
        if (m_dragging >= 0) {
            SetCapture(m_window);
        }
        return 0;
    }
    case WM_MOUSEMOVE:
        if (m_dragging >= 0 && (wParam & MK_LBUTTON) != 0 && m_dragged) {
            RECT client;
            GetClientRect(m_window, &client);
            const double width = std::max(1, static_cast<int>(client.right) - 2 * kMargin);
            const double height = std::max(1, static_cast<int>(client.bottom) - 2 * kMargin);
            const double x = std::clamp((GET_X_LPARAM(lParam) - kMargin) / width * 2.0 - 1.0, -1.0, 1.0);
            const double y
                = std::clamp((client.bottom - kMargin - GET_Y_LPARAM(lParam)) / height * 2.0 - 1.0, -1.0, 1.0);
            m_dragged(m_dragging, x, y);
        }
        return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
        if (m_dragging >= 0) {
            m_dragging = -1;
            if (message == WM_LBUTTONUP) {
                ReleaseCapture();
            }
        }
        return 0;
    default:
        return DefSubclassProc(m_window, message, wParam, lParam);
    }
}

void Win32CurveGraph::Paint(HDC dc, const RECT& client) const
{
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    const COLORREF grid = GetSysColor(COLOR_BTNSHADOW);
    for (int i = 0; i <= 8; ++i) {
        const double at = -1.0 + 0.25 * i;
        const GdiObject pen(dc, CreatePen(PS_SOLID, i == 4 ? 2 : 1, i == 4 ? grid : RGB(220, 220, 220)));
        POINT a = ToPixels(client, at, -1.0);
        POINT b = ToPixels(client, at, 1.0);
        MoveToEx(dc, a.x, a.y, nullptr);
        LineTo(dc, b.x, b.y);
        a = ToPixels(client, -1.0, at);
        b = ToPixels(client, 1.0, at);
        MoveToEx(dc, a.x, a.y, nullptr);
        LineTo(dc, b.x, b.y);
    }
    {
        const GdiObject pen(dc, CreatePen(PS_DOT, 1, grid));
        const POINT a = ToPixels(client, -1.0, -1.0);
        const POINT b = ToPixels(client, 1.0, 1.0);
        MoveToEx(dc, a.x, a.y, nullptr);
        LineTo(dc, b.x, b.y);
    }
    {
        const GdiObject pen(dc, CreatePen(PS_SOLID, 2, GetSysColor(COLOR_HIGHLIGHT)));
        POINT line[CurveGraphData::kSamples];
        for (int i = 0; i < CurveGraphData::kSamples; ++i) {
            line[i] = ToPixels(client, CurveGraphData::SampleX(i), m_graph.samples[static_cast<std::size_t>(i)]);
        }
        Polyline(dc, line, CurveGraphData::kSamples);
    }
    {
        const GdiObject pen(dc, CreatePen(PS_SOLID, 1, GetSysColor(COLOR_WINDOWTEXT)));
        const GdiObject brush(dc, CreateSolidBrush(GetSysColor(COLOR_WINDOW)));
        for (int i = 0; i < m_graph.pointCount && i < CurveGraphData::kMaxPoints; ++i) {
            const CurveGraphPoint& p = m_graph.points[static_cast<std::size_t>(i)];
            const POINT at = ToPixels(client, p.x, p.y);
            Rectangle(dc, at.x - kHandle, at.y - kHandle, at.x + kHandle + 1, at.y + kHandle + 1);
        }
    }
    if (m_marker.shown) {
        const COLORREF live = RGB(200, 40, 40);
        const POINT dot = ToPixels(client, m_marker.input, m_marker.output);
        {
            const GdiObject pen(dc, CreatePen(PS_DOT, 1, live));
            const POINT bottom = ToPixels(client, m_marker.input, -1.0);
            const POINT left = ToPixels(client, -1.0, m_marker.output);
            MoveToEx(dc, bottom.x, bottom.y, nullptr);
            LineTo(dc, dot.x, dot.y);
            MoveToEx(dc, left.x, left.y, nullptr);
            LineTo(dc, dot.x, dot.y);
        }
        const GdiObject pen(dc, CreatePen(PS_SOLID, 1, live));
        const GdiObject brush(dc, CreateSolidBrush(live));
        Ellipse(dc, dot.x - 4, dot.y - 4, dot.x + 5, dot.y + 5);
    }
    FrameRect(dc, &client, GetSysColorBrush(COLOR_BTNSHADOW));
}
