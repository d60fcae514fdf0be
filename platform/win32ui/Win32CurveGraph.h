// The Win32 side of a curve graph (ControlKind::CurveGraph): a static control
// subclassed to paint the curve over a grid from -1 to 1 both ways, its
// points as handles the mouse can drag, and the live input as a dot with its
// guide lines. Painted through a memory bitmap, so a moving dot never flickers.
#pragma once

#include "ui/CurveGraph.h"

#include <windows.h>

#include <functional>

class Win32CurveGraph {
public:
    // `dragged(point, x, y)`: the operator moved a point there (each within -1..1).
    Win32CurveGraph(HWND window, std::function<void(int, double, double)> dragged);
    ~Win32CurveGraph();
    Win32CurveGraph(const Win32CurveGraph&) = delete;
    Win32CurveGraph& operator=(const Win32CurveGraph&) = delete;

    void SetGraph(const CurveGraphData& graph);
    void SetMarker(const CurveMarker& marker);
    const CurveGraphData& Graph() const { return m_graph; }
    const CurveMarker& Marker() const { return m_marker; }

private:
    static LRESULT CALLBACK Procedure(
        HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Paint(HDC dc, const RECT& client) const;
    POINT ToPixels(const RECT& client, double x, double y) const;

    HWND m_window;
    std::function<void(int, double, double)> m_dragged;
    CurveGraphData m_graph {};
    CurveMarker m_marker {};
    int m_dragging = -1;
};
