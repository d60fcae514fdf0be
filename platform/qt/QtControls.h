// The few controls Qt has no ready equivalent for: the up-down arrow pair, the
// lamp pictures, and the custom-painted readout panel that stands in for the
// 30 label / value box / unit lines of a slot column (120 value boxes changing
// on every tick cost far too much as separate line edits).
#pragma once

#include "ui/DialogTemplate.h"
#include "ui/LampPicture.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QToolButton;
class QWheelEvent;

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
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool m_horizontal;
    QToolButton* m_minus;
    QToolButton* m_plus;
};

// Hands a wheel that a control does not take to the scroll area the control
// lies in (the window scrolls); false when there is none.
bool PassWheelToWindow(QWidget& from, QWheelEvent& event);

// A combo box that only a deliberate act changes: the wheel turns its
// entries only while it has keyboard focus and the pointer is on it; any
// other wheel goes on to the window, which scrolls. A wheel never gives it
// focus either.
class WheelGuardedCombo : public QComboBox {
public:
    explicit WheelGuardedCombo(QWidget* parent);

protected:
    void wheelEvent(QWheelEvent* event) override;
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
    // A highlighted box (a slot whose joystick is lost) draws its caption in red.
    void SetHighlighted(bool highlighted);
    bool Highlighted() const { return m_highlighted; }

protected:
    // Over a readout panel (which takes no mouse events) the cell's tip
    // answers before the box's own.
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_highlighted = false;
};

// A progress bar (range 0..100) drawn in the presenter's colour. Unlike
// QProgressBar, a new position schedules a paint instead of painting at once,
// so the bars that change in one tick are drawn together.
class ColourBar : public QWidget {
public:
    explicit ColourBar(QWidget* parent);

    int Value() const { return m_value; }
    void SetValue(int value);
    QColor Colour() const { return m_colour; }
    void SetColour(const QColor& colour);
    // A bar of a signed value: its middle is marked.
    void SetCentreMark(bool mark);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_value = 0;
    QColor m_colour;
    bool m_centreMark = false;
};

// The three 11 x 11 lamp pictures (grey, green, red).
const QPixmap& LampPixmap(LampPicture picture);
QColor LampColour(LampPicture picture);

// Numbers drawn without shaping text: each character of a number (and of
// its unit) is rendered once into a strip, in one text colour on one
// background, and a text is then copied from the strip a character at a time.
// Other texts are not its business (CanDraw answers false for them).
class GlyphStrip {
public:
    static bool CanDraw(const char* text);

    // Renders the strip for this font, these colours and this pixel ratio,
    // unless it holds them already.
    void Prepare(const QFont& font, const QColor& text, const QColor& background, qreal pixelRatio);
    void Invalidate() { m_valid = false; }
    int Height() const { return m_height; }
    // Draws `text` from `origin` (top-left of its line), clipped to `clip`.
    void Draw(QPainter& painter, QPoint origin, const char* text, const QRect& clip) const;

private:
    static constexpr int kFirst = 32;
    static constexpr int kLast = 126;
    struct Glyph {
        int x = -1; // in the strip; -1: not in it
        int width = 0; // pixels copied
        qreal advance = 0.0;
    };

    QPixmap m_pixmap;
    Glyph m_glyphs[kLast - kFirst + 1];
    QRgb m_text = 0;
    QRgb m_background = 0;
    qreal m_ratio = 0.0;
    int m_height = 0;
    bool m_valid = false;
};

// A one-line static text. A text made only of number characters is drawn
// from a glyph strip and kept as bytes, without a QString or a new layout
// per change; any other text is shown by the QLabel itself.
class TextLabel : public QLabel {
public:
    TextLabel(const QString& text, QWidget* parent);

    void SetShownText(const char* text);
    // What the label shows right now.
    QString ShownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    std::string m_number; // shown while m_numberShown
    bool m_numberShown = false;
    GlyphStrip m_strip;
};

// Controls drawn as cells of one widget: a slot column's readout lines (a
// label, a sunken value box and a unit text each), or the stacked progress
// bars of a window with the value texts beside them. Labels, units, frames
// and boxes are drawn once into a background picture; a changed value
// repaints only its own text or bar, texts from a glyph strip. Changes are
// collected and handed to Qt as one repaint by Commit(): a frame costs one
// repaint of one widget, not one per control.
class ReadoutPanel : public QWidget {
public:
    struct Cell {
        std::int32_t id = 0;
        ControlKind kind = ControlKind::Static; // Static, Edit or ProgressBar
        QRect rect;
        std::string text; // one buffer per cell, reused for every value
        bool enabled = true;
        bool visible = true;
        bool sunken = false;
        bool live = false; // a static text drawn on every change, not part of the background
        int value = 0; // a bar's position, 0..100
        QColor colour; // a bar's colour
        bool centreMark = false; // a bar of a signed value
        bool highlighted = false; // a value box whose value just moved
        QString toolTip;
    };

    explicit ReadoutPanel(QWidget* parent);

    // The cell's rectangle is given relative to the panel's parent; returns its index.
    int AddCell(std::int32_t id, ControlKind kind, const QRect& rect, const char* text, bool enabled, bool visible,
        bool sunken, bool live = false);
    const Cell& CellAt(int index) const { return m_cells[static_cast<std::size_t>(index)]; }
    void SetText(int index, const char* text);
    void SetValue(int index, int value);
    void SetColour(int index, const QColor& colour);
    void SetEnabled(int index, bool enabled);
    void SetVisible(int index, bool visible);
    void SetCentreMark(int index, bool mark);
    void SetHighlighted(int index, bool highlighted);
    void SetToolTip(int index, const QString& text);
    // The tooltip of the visible cell at `point` (the panel's coordinates), or "".
    QString ToolTipAt(const QPoint& point) const;
    // Asks Qt for one repaint of everything changed since the last commit.
    void Commit();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QRect TextRect(const Cell& cell) const;
    void MarkText(int index);
    void Invalidate();
    void DrawBackground(qreal ratio);
    void DrawValue(QPainter& painter, const Cell& cell);

    std::vector<Cell> m_cells;
    std::vector<char> m_dirty; // a value to draw again
    QRect m_pending; // to hand to Qt at the next commit
    QRect m_requested; // handed to Qt, not painted yet
    bool m_whole = true; // everything must be drawn (the background changed)
    QPixmap m_background;
    bool m_backgroundValid = false;
    GlyphStrip m_enabledStrip; // value boxes
    GlyphStrip m_disabledStrip;
    GlyphStrip m_labelStrip; // live static texts
    GlyphStrip m_disabledLabelStrip;
    GlyphStrip m_highlightStrip; // value boxes that just moved
};

// The background of a highlighted value box: a soft yellow that keeps the
// digits readable in every palette.
QColor HighlightColour();
