#include "platform/qt/QtControls.h"

#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QToolButton>
#include <qdrawutil.h>

#include <algorithm>

// ---------------------------------------------------------------- SpinArrows

SpinArrows::SpinArrows(bool horizontal, std::function<void(int delta)> onDelta, QWidget* parent)
    : QWidget(parent)
    , m_horizontal(horizontal)
    , m_minus(new QToolButton(this))
    , m_plus(new QToolButton(this))
{
    m_minus->setArrowType(horizontal ? Qt::RightArrow : Qt::UpArrow);
    m_plus->setArrowType(horizontal ? Qt::LeftArrow : Qt::DownArrow);
    for (QToolButton* button : { m_minus, m_plus }) {
        button->setAutoRepeat(true);
        button->setAutoRepeatDelay(500);
        button->setAutoRepeatInterval(100);
        button->setFocusPolicy(Qt::NoFocus);
        button->setIconSize(QSize(6, 6));
    }
    QObject::connect(m_minus, &QToolButton::clicked, this, [onDelta] { onDelta(-1); });
    QObject::connect(m_plus, &QToolButton::clicked, this, [onDelta] { onDelta(+1); });
}

void SpinArrows::resizeEvent(QResizeEvent* /*event*/)
{
    const int w = width();
    const int h = height();
    if (m_horizontal) {
        // Left arrow on the left, right arrow on the right, as Win32 draws them.
        m_plus->setGeometry(0, 0, w / 2, h);
        m_minus->setGeometry(w / 2, 0, w - w / 2, h);
    } else {
        m_minus->setGeometry(0, 0, w, h / 2);
        m_plus->setGeometry(0, h / 2, w, h - h / 2);
    }
}

// ---------------------------------------------------------------- TemplateGroupBox

void TemplateGroupBox::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const int middle = metrics.height() / 2;
    // An etched line, as a dialog's group box frame is drawn.
    qDrawShadeRect(&painter, rect().adjusted(0, middle, 0, 0), palette(), true, 1, 0);
    const QString caption = title();
    if (caption.isEmpty()) {
        return;
    }
    const QRect captionRect(7, 0, metrics.horizontalAdvance(caption) + 4, metrics.height());
    painter.fillRect(captionRect, palette().color(QPalette::Window));
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(captionRect, Qt::AlignCenter | Qt::TextSingleLine, caption);
}

// ---------------------------------------------------------------- ColourBar

ColourBar::ColourBar(QWidget* parent)
    : QWidget(parent)
    , m_colour(palette().color(QPalette::Highlight))
{
    setAttribute(Qt::WA_OpaquePaintEvent); // the frame and the fill cover it all
}

void ColourBar::SetValue(int value)
{
    value = std::clamp(value, 0, 100);
    if (value == m_value) {
        return;
    }
    m_value = value;
    update();
}

void ColourBar::SetColour(const QColor& colour)
{
    if (colour == m_colour) {
        return;
    }
    m_colour = colour;
    update();
}

void ColourBar::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    const QRect inside = rect().adjusted(1, 1, -1, -1);
    painter.fillRect(inside, palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Base));
    const int filled = inside.width() * m_value / 100;
    if (filled > 0) {
        painter.fillRect(QRect(inside.left(), inside.top(), filled, inside.height()), m_colour);
    }
    qDrawShadePanel(&painter, rect(), palette(), true, 1);
}

// ---------------------------------------------------------------- lamps

QColor LampColour(LampPicture picture)
{
    switch (picture) {
    case LampPicture::On:
        return QColor(0, 200, 0);
    case LampPicture::Warning:
        return QColor(220, 0, 0);
    case LampPicture::Off:
        break;
    }
    return QColor(160, 160, 160);
}

const QPixmap& LampPixmap(LampPicture picture)
{
    static const auto make = [](LampPicture which) {
        QPixmap pixmap(11, 11);
        const QColor colour = LampColour(which);
        pixmap.fill(colour);
        // A darker rim keeps the grey lamp visible on a grey window.
        QPainter painter(&pixmap);
        painter.setPen(colour.darker(160));
        painter.drawRect(0, 0, 10, 10);
        return pixmap;
    };
    static const QPixmap off = make(LampPicture::Off);
    static const QPixmap on = make(LampPicture::On);
    static const QPixmap warning = make(LampPicture::Warning);
    switch (picture) {
    case LampPicture::On:
        return on;
    case LampPicture::Warning:
        return warning;
    case LampPicture::Off:
        break;
    }
    return off;
}

// ---------------------------------------------------------------- FrameGate

FrameGate::FrameGate()
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Flush(); });
}

void FrameGate::Request()
{
    if (m_armed) {
        return;
    }
    const qint64 elapsed = m_sinceFlush.isValid() ? m_sinceFlush.elapsed() : kFrameMs;
    if (elapsed >= kFrameMs) {
        Flush();
        return;
    }
    m_armed = true;
    m_timer.start(static_cast<int>(kFrameMs - elapsed));
}

void FrameGate::Flush()
{
    m_armed = false;
    m_sinceFlush.start();
    if (m_flush) {
        m_flush();
    }
}

// ---------------------------------------------------------------- ReadoutPanel

ReadoutPanel::ReadoutPanel(FrameGate& gate, QWidget* parent)
    : QWidget(parent)
    , m_gate(gate)
{
    // It fills what it draws: nothing beneath it needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

int ReadoutPanel::AddCell(const Cell& cell)
{
    Cell placed = cell;
    placed.rect.translate(-pos()); // given relative to the parent
    m_cells.push_back(placed);
    m_dirtyCells.push_back(false);
    update(placed.rect);
    return static_cast<int>(m_cells.size()) - 1;
}

void ReadoutPanel::SetText(int index, const QString& text)
{
    Cell& cell = m_cells[static_cast<std::size_t>(index)];
    if (cell.text == text) {
        return;
    }
    cell.text = text;
    MarkDirty(index);
}

void ReadoutPanel::SetEnabled(int index, bool enabled)
{
    Cell& cell = m_cells[static_cast<std::size_t>(index)];
    if (cell.enabled == enabled) {
        return;
    }
    cell.enabled = enabled;
    MarkDirty(index);
}

void ReadoutPanel::SetVisible(int index, bool visible)
{
    Cell& cell = m_cells[static_cast<std::size_t>(index)];
    if (cell.visible == visible) {
        return;
    }
    cell.visible = visible;
    MarkDirty(index);
}

void ReadoutPanel::MarkDirty(int index)
{
    if (!m_dirtyCells[static_cast<std::size_t>(index)]) {
        m_dirtyCells[static_cast<std::size_t>(index)] = true;
        m_anyDirty = true;
    }
    m_gate.Request();
}

void ReadoutPanel::FlushDirty()
{
    if (!m_anyDirty) {
        return;
    }
    // Only the cells that changed: the rest of the column is not drawn again.
    QRegion region;
    for (std::size_t i = 0; i < m_cells.size(); ++i) {
        if (m_dirtyCells[i]) {
            m_dirtyCells[i] = false;
            region += m_cells[i].rect;
        }
    }
    m_anyDirty = false;
    update(region);
}

void ReadoutPanel::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QPalette& pal = palette();
    const QRegion& exposed = event->region();
    for (const QRect& part : exposed) {
        painter.fillRect(part, pal.color(QPalette::Window));
    }
    for (const Cell& cell : m_cells) {
        if (!cell.visible || !exposed.intersects(cell.rect)) {
            continue;
        }
        QRect textRect = cell.rect;
        if (cell.kind == ControlKind::Edit) {
            // A read-only value box: a sunken frame, the base colour while
            // live, the window colour once greyed (as a disabled edit is).
            const QPalette::ColorGroup group = cell.enabled ? QPalette::Active : QPalette::Disabled;
            painter.fillRect(
                cell.rect, cell.enabled ? pal.color(group, QPalette::Base) : pal.color(group, QPalette::Window));
            if (cell.sunken) {
                QStyleOptionFrame frame;
                frame.initFrom(this);
                frame.rect = cell.rect;
                frame.lineWidth = 1;
                frame.midLineWidth = 0;
                frame.state |= QStyle::State_Sunken;
                if (!cell.enabled) {
                    frame.state &= ~QStyle::State_Enabled;
                }
                style()->drawPrimitive(QStyle::PE_Frame, &frame, &painter, this);
                textRect.adjust(3, 0, -2, 0);
            }
            painter.setPen(pal.color(group, QPalette::Text));
        } else {
            painter.setPen(pal.color(QPalette::Active, QPalette::WindowText));
        }
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, cell.text);
    }
}
