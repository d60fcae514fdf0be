// One slot column's readout lines (label, sunken value box, unit) drawn by a
// single custom control: 120 value boxes that change on every tick would
// cost far too much as separate edit controls. Changes are collected and
// painted together, and only the cells that changed are drawn again.
#pragma once

#include "ui/DialogTemplate.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// The background of a highlighted value box: a soft yellow that keeps the
// digits readable.
inline constexpr COLORREF kHighlightColour = RGB(255, 236, 140);

class ReadoutPanel {
public:
    static constexpr const wchar_t* kClassName = L"TavelinReadoutPanel";

    struct Cell {
        std::int32_t id;
        ControlKind kind;
        RECT rect; // in the panel's client coordinates
        std::wstring text;
        bool enabled;
        bool visible;
        bool sunken;
    };

    ReadoutPanel() = default;
    ~ReadoutPanel();
    ReadoutPanel(const ReadoutPanel&) = delete;
    ReadoutPanel& operator=(const ReadoutPanel&) = delete;

    // Makes the control as a child of `parent` at `rect` (parent's client
    // coordinates), drawing with `font`. False when the window could not be made.
    bool Create(HWND parent, const RECT& rect, HFONT font);
    HWND Window() const { return m_window; }

    int AddCell(const Cell& cell);
    int CellCount() const { return static_cast<int>(m_cells.size()); }
    const Cell& CellAt(int index) const { return m_cells[static_cast<std::size_t>(index)]; }
    // True when the cell changed (and waits for the next flush).
    bool SetText(int index, const wchar_t* text);
    bool SetEnabled(int index, bool enabled);
    bool SetVisible(int index, bool visible);
    // A value box whose value just moved is drawn on a soft yellow.
    bool SetHighlighted(int index, bool highlighted);
    bool Highlighted(int index) const { return m_highlighted[static_cast<std::size_t>(index)] != 0; }
    bool HasDirtyCells() const { return m_anyDirty; }
    // Invalidates what changed since the last flush, as one region.
    void FlushDirty();
    // How many cells the panel has drawn so far (for the tests of its pacing).
    long long CellsPainted() const { return m_cellsPainted; }

private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Paint();
    void MarkDirty(int index, bool wholeCell);
    RECT DirtyRect(const Cell& cell, bool wholeCell) const;

    HWND m_window = nullptr;
    HFONT m_font = nullptr;
    int m_textHeight = 0;
    std::vector<Cell> m_cells;
    std::vector<unsigned char> m_dirtyCells; // 0 clean, 1 its text, 2 the whole cell
    std::vector<unsigned char> m_highlighted;
    bool m_anyDirty = false;
    long long m_cellsPainted = 0;
};
