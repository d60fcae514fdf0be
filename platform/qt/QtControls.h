// The few controls Qt has no ready equivalent for: the up-down arrow pair, the
// lamp pictures, and the custom-painted readout panel that stands in for the
// 30 label / value box / unit lines of a slot column (120 value boxes changing
// on every tick cost far too much as separate line edits).
#pragma once

#include "ui/DialogTemplate.h"
#include "mapping/ControlProcessor.h"

#include <QElapsedTimer>
#include <QGroupBox>
#include <QPixmap>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

class QToolButton;

// An up-down control without buddy or range: two small arrow buttons. Each
// click (and each auto-repeat while held) reports the position change a Win32
// up-down control with its default range (100 down to 0) proposes: up or right
// arrow -1, down or left arrow +1.
class SpinArrows : public QWidget {
public:
    SpinArrows(bool horizontal, std::function<void(int delta)> onDelta, QWidget* parent);

    QToolButton* DecreaseButton() const { return m_minus; } // up / right: -1
    QToolButton* IncreaseButton() const { return m_plus; } // down / left: +1

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    bool m_horizontal;
    QToolButton* m_minus;
    QToolButton* m_plus;
};

// A group box drawn the way the dialog templates expect it: the frame line
// runs through the middle of the caption, so contents placed a line below
// the box's top edge sit inside the frame, not on it.
class TemplateGroupBox : public QGroupBox {
public:
    TemplateGroupBox(const QString& title, QWidget* parent)
        : QGroupBox(title, parent)
    {
    }

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A progress bar (range 0..100) drawn in the presenter's colour. Unlike
// QProgressBar, a new position schedules a paint instead of painting at once,
// so the bars that change in one frame are drawn together.
class ColourBar : public QWidget {
public:
    explicit ColourBar(QWidget* parent);

    int Value() const { return m_value; }
    void SetValue(int value);
    QColor Colour() const { return m_colour; }
    void SetColour(const QColor& colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_value = 0;
    QColor m_colour;
};

// The three 11 x 11 lamp pictures (grey, green, red).
const QPixmap& LampPixmap(LampPicture picture);
QColor LampColour(LampPicture picture);

// Paces repaints of fast-changing values to at most one per frame (16 ms):
// a value changed now is on screen at the latest one frame later.
class FrameGate {
public:
    static constexpr int kFrameMs = 16;

    FrameGate();
    // Asks for `flush` to run now or, if a frame was drawn less than a frame
    // ago, once that frame has passed. Requests in between are merged.
    void Request();
    void SetFlush(std::function<void()> flush) { m_flush = std::move(flush); }

private:
    void Flush();

    std::function<void()> m_flush;
    QTimer m_timer;
    QElapsedTimer m_sinceFlush;
    bool m_armed = false;
};

// One slot column's readout lines drawn by one widget. Each cell is a runtime
// control (a label, a sunken value box or a unit text) addressed by its id.
class ReadoutPanel : public QWidget {
public:
    struct Cell {
        std::int32_t id;
        ControlKind kind;
        QRect rect;
        QString text;
        bool enabled;
        bool visible;
        bool sunken;
    };

    ReadoutPanel(FrameGate& gate, QWidget* parent);

    // The cell's rectangle is given relative to the panel's parent; returns its index.
    int AddCell(const Cell& cell);
    const Cell& CellAt(int index) const { return m_cells[static_cast<std::size_t>(index)]; }
    void SetText(int index, const QString& text);
    void SetEnabled(int index, bool enabled);
    void SetVisible(int index, bool visible);
    // Draws what changed since the last frame (called by the gate).
    void FlushDirty();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void MarkDirty(int index);

    FrameGate& m_gate;
    std::vector<Cell> m_cells;
    std::vector<bool> m_dirtyCells;
    bool m_anyDirty = false;
};
