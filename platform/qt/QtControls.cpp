#include "platform/qt/QtControls.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QHelpEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QToolButton>
#include <QToolTip>
#include <QWheelEvent>
#include <qdrawutil.h>

#include <algorithm>
#include <cmath>

// ---------------------------------------------------------------- the wheel

bool PassWheelToWindow(QWidget& from, QWheelEvent& event)
{
    // Handed on by hand rather than ignored: Qt lets only a wheel from the
    // window system travel up to the parents, and the rule must not depend
    // on where the wheel came from.
    for (QWidget* up = from.parentWidget(); up != nullptr; up = up->parentWidget()) {
        if (auto* area = qobject_cast<QAbstractScrollArea*>(up)) {
            QWidget* viewport = area->viewport();
            QWheelEvent passed(viewport->mapFromGlobal(event.globalPosition()), event.globalPosition(),
                event.pixelDelta(), event.angleDelta(), event.buttons(), event.modifiers(), event.phase(),
                event.inverted(), event.source(), event.pointingDevice());
            QCoreApplication::sendEvent(viewport, &passed);
            event.accept();
            return true;
        }
    }
    event.ignore();
    return false;
}

WheelGuardedCombo::WheelGuardedCombo(QWidget* parent)
    : QComboBox(parent)
{
    setFocusPolicy(Qt::StrongFocus); // not Qt::WheelFocus
}

void WheelGuardedCombo::wheelEvent(QWheelEvent* event)
{
    const bool pointerOn = rect().contains(mapFromGlobal(event->globalPosition().toPoint()));
    if (hasFocus() && pointerOn) {
        QComboBox::wheelEvent(event);
        return;
    }
    PassWheelToWindow(*this, *event);
}

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
        // They never have focus, so the wheel over them is the window's.
        button->installEventFilter(this);
    }
    QObject::connect(m_minus, &QToolButton::clicked, this, [onDelta] { onDelta(-1); });
    QObject::connect(m_plus, &QToolButton::clicked, this, [onDelta] { onDelta(+1); });
}

bool SpinArrows::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Wheel) {
        return PassWheelToWindow(*this, *static_cast<QWheelEvent*>(event));
    }
    return QWidget::eventFilter(watched, event);
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
    if (m_highlighted) {
        painter.setPen(LampColour(LampPicture::Warning));
    } else {
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    }
    painter.drawText(captionRect, Qt::AlignCenter | Qt::TextSingleLine, caption);
}

bool TemplateGroupBox::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        for (const ReadoutPanel* panel : findChildren<ReadoutPanel*>(Qt::FindDirectChildrenOnly)) {
            const QString tip = panel->ToolTipAt(panel->mapFromParent(help->pos()));
            if (!tip.isEmpty()) {
                QToolTip::showText(help->globalPos(), tip, this);
                return true;
            }
        }
    }
    return QGroupBox::event(event);
}

void TemplateGroupBox::SetHighlighted(bool highlighted)
{
    if (highlighted != m_highlighted) {
        m_highlighted = highlighted;
        update(QRect(0, 0, width(), QFontMetrics(font()).height()));
    }
}

QColor HighlightColour()
{
    return QColor(255, 236, 140);
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
    if (m_centreMark) {
        const int middle = inside.left() + inside.width() / 2;
        painter.fillRect(QRect(middle, inside.top(), 1, inside.height()), palette().color(QPalette::WindowText));
    }
    qDrawShadePanel(&painter, rect(), palette(), true, 1);
}

void ColourBar::SetCentreMark(bool mark)
{
    if (mark != m_centreMark) {
        m_centreMark = mark;
        update();
    }
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

// ---------------------------------------------------------------- GlyphStrip

namespace {

// What a readout or an axis value is made of: digits, signs, the point and
// the unit of the axis texts.
bool IsStripCharacter(char c)
{
    return (c >= '0' && c <= '9') || c == ' ' || c == '-' || c == '+' || c == '.' || c == 'D' || c == 'e' || c == 'g';
}

} // namespace

bool GlyphStrip::CanDraw(const char* text)
{
    for (const char* c = text; *c != '\0'; ++c) {
        if (!IsStripCharacter(*c)) {
            return false;
        }
    }
    return true;
}

void GlyphStrip::Prepare(const QFont& font, const QColor& text, const QColor& background, qreal pixelRatio)
{
    if (m_valid && m_text == text.rgba() && m_background == background.rgba() && m_ratio == pixelRatio) {
        return;
    }
    const QFontMetricsF metrics(font);
    int total = 0;
    for (int c = kFirst; c <= kLast; ++c) {
        Glyph& glyph = m_glyphs[c - kFirst];
        glyph = Glyph {};
        if (!IsStripCharacter(static_cast<char>(c))) {
            continue;
        }
        glyph.advance = metrics.horizontalAdvance(QChar(c));
        glyph.width = static_cast<int>(std::ceil(glyph.advance));
        glyph.x = total;
        total += glyph.width + 1; // a gap: no glyph bleeds into its neighbour
    }
    m_height = static_cast<int>(std::ceil(metrics.height()));
    m_pixmap = QPixmap(QSize(std::max(total, 1), std::max(m_height, 1)) * pixelRatio);
    m_pixmap.setDevicePixelRatio(pixelRatio);
    m_pixmap.fill(background);
    QPainter painter(&m_pixmap);
    painter.setFont(font);
    painter.setPen(text);
    for (int c = kFirst; c <= kLast; ++c) {
        const Glyph& glyph = m_glyphs[c - kFirst];
        if (glyph.x >= 0) {
            painter.drawText(QPointF(glyph.x, metrics.ascent()), QString(QChar(c)));
        }
    }
    m_text = text.rgba();
    m_background = background.rgba();
    m_ratio = pixelRatio;
    m_valid = true;
}

void GlyphStrip::Draw(QPainter& painter, QPoint origin, const char* text, const QRect& clip) const
{
    if (!m_valid) {
        return;
    }
    qreal pen = origin.x();
    for (const char* c = text; *c != '\0'; ++c) {
        const int code = static_cast<unsigned char>(*c);
        if (code < kFirst || code > kLast || m_glyphs[code - kFirst].x < 0) {
            continue;
        }
        const Glyph& glyph = m_glyphs[code - kFirst];
        const int x = static_cast<int>(std::lround(pen));
        pen += glyph.advance;
        const QRect target = QRect(x, origin.y(), glyph.width, m_height) & clip;
        if (target.isEmpty()) {
            continue;
        }
        const int left = glyph.x + target.left() - x;
        const int top = target.top() - origin.y();
        const QRectF source(left * m_ratio, top * m_ratio, target.width() * m_ratio, target.height() * m_ratio);
        painter.drawPixmap(QRectF(target), m_pixmap, source);
    }
}

// ---------------------------------------------------------------- TextLabel

TextLabel::TextLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    m_number.reserve(32);
}

void TextLabel::SetShownText(const char* text)
{
    if (wordWrap() || !GlyphStrip::CanDraw(text)) {
        const QString value = QString::fromUtf8(text);
        m_numberShown = false;
        if (QLabel::text() != value) {
            setText(value);
        } else {
            update();
        }
        return;
    }
    if (m_numberShown && m_number == text) {
        return;
    }
    m_number.assign(text);
    m_numberShown = true;
    update(contentsRect());
}

QString TextLabel::ShownText() const
{
    return m_numberShown ? QString::fromUtf8(m_number.c_str()) : QLabel::text();
}

void TextLabel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange
        || event->type() == QEvent::EnabledChange || event->type() == QEvent::StyleChange) {
        m_strip.Invalidate();
    }
    QLabel::changeEvent(event);
}

void TextLabel::paintEvent(QPaintEvent* event)
{
    if (!m_numberShown) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
    m_strip.Prepare(font(), palette().color(group, foregroundRole()), palette().color(group, backgroundRole()),
        devicePixelRatioF());
    const QRect inside = contentsRect();
    int indentPixels = indent();
    if (indentPixels < 0) {
        indentPixels = frameWidth() > 0 ? fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2 : 0;
    }
    int top = inside.top();
    if ((alignment() & Qt::AlignVCenter) != 0) {
        top += (inside.height() - m_strip.Height()) / 2;
    } else if ((alignment() & Qt::AlignBottom) != 0) {
        top = inside.bottom() + 1 - m_strip.Height();
    }
    m_strip.Draw(painter, QPoint(inside.left() + indentPixels + margin(), top), m_number.c_str(), inside);
}

// ---------------------------------------------------------------- ReadoutPanel

ReadoutPanel::ReadoutPanel(QWidget* parent)
    : QWidget(parent)
{
    // It fills what it draws: nothing beneath it needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

int ReadoutPanel::AddCell(std::int32_t id, ControlKind kind, const QRect& rect, const char* text, bool enabled,
    bool visible, bool sunken, bool live)
{
    Cell cell;
    cell.id = id;
    cell.kind = kind;
    cell.rect = rect.translated(-pos()); // given relative to the parent
    cell.enabled = enabled;
    cell.visible = visible;
    cell.sunken = sunken;
    cell.live = live || kind != ControlKind::Static;
    cell.colour = palette().color(QPalette::Highlight);
    cell.text.reserve(32);
    cell.text.assign(text != nullptr ? text : "");
    m_cells.push_back(std::move(cell));
    m_dirty.push_back(0);
    Invalidate();
    return static_cast<int>(m_cells.size()) - 1;
}

QRect ReadoutPanel::TextRect(const Cell& cell) const
{
    // Inside a value box's or a bar's frame: a new value never draws the frame again.
    if (cell.kind == ControlKind::ProgressBar) {
        return cell.rect.adjusted(1, 1, -1, -1);
    }
    return cell.sunken ? cell.rect.adjusted(2, 2, -2, -2) : cell.rect;
}

void ReadoutPanel::SetText(int index, const char* text)
{
    Cell& cell = m_cells[static_cast<std::size_t>(index)];
    if (cell.text == text) {
        return;
    }
    cell.text.assign(text);
    if (cell.live) {
        MarkText(index);
    } else {
        Invalidate(); // labels and units are part of the background
    }
}

void ReadoutPanel::SetValue(int index, int value)
{
    Cell& cell = m_cells[static_cast<std::size_t>(index)];
    value = std::clamp(value, 0, 100);
    if (cell.value != value) {
        cell.value = value;
        MarkText(index);
    }
}

void ReadoutPanel::SetColour(int index, const QColor& colour)
{
    Cell& cell = m_cells[static_cast<std::size_t>(index)];
    if (cell.colour != colour) {
        cell.colour = colour;
        MarkText(index);
    }
}

void ReadoutPanel::SetEnabled(int index, bool enabled)
{
    Cell& cell = m_cells[static_cast<std::size_t>(index)];
    if (cell.enabled != enabled) {
        cell.enabled = enabled;
        Invalidate();
    }
}

void ReadoutPanel::SetVisible(int index, bool visible)
{
    Cell& cell = m_cells[static_cast<std::size_t>(index)];
    if (cell.visible != visible) {
        cell.visible = visible;
        Invalidate();
    }
}

void ReadoutPanel::SetCentreMark(int index, bool mark)
{
    Cell& cell = m_cells[static_cast<std::size_t>(index)];
    if (cell.centreMark != mark) {
        cell.centreMark = mark;
        MarkText(index);
    }
}

void ReadoutPanel::SetHighlighted(int index, bool highlighted)
{
    Cell& cell = m_cells[static_cast<std::size_t>(index)];
    if (cell.highlighted != highlighted) {
        cell.highlighted = highlighted;
        MarkText(index); // only the inside of its box: the frame stays
    }
}

void ReadoutPanel::SetToolTip(int index, const QString& text)
{
    m_cells[static_cast<std::size_t>(index)].toolTip = text;
}

QString ReadoutPanel::ToolTipAt(const QPoint& point) const
{
    for (const Cell& cell : m_cells) {
        if (cell.visible && cell.rect.contains(point) && !cell.toolTip.isEmpty()) {
            return cell.toolTip;
        }
    }
    return QString();
}

void ReadoutPanel::MarkText(int index)
{
    const Cell& cell = m_cells[static_cast<std::size_t>(index)];
    if (!cell.visible || m_whole) {
        return;
    }
    m_dirty[static_cast<std::size_t>(index)] = 1;
    m_pending |= TextRect(cell);
}

void ReadoutPanel::Invalidate()
{
    m_backgroundValid = false;
    m_whole = true;
    m_pending = rect();
}

void ReadoutPanel::Commit()
{
    if (m_pending.isEmpty()) {
        return;
    }
    // One rectangle around the changed values: Qt keeps a region per
    // update() call, and what lies between them is not drawn again anyway.
    m_requested |= m_pending;
    update(m_pending);
    m_pending = QRect();
}

void ReadoutPanel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange
        || event->type() == QEvent::EnabledChange || event->type() == QEvent::StyleChange) {
        m_enabledStrip.Invalidate();
        m_disabledStrip.Invalidate();
        m_labelStrip.Invalidate();
        m_disabledLabelStrip.Invalidate();
        m_highlightStrip.Invalidate();
        Invalidate();
        Commit();
    }
    QWidget::changeEvent(event);
}

void ReadoutPanel::resizeEvent(QResizeEvent* /*event*/)
{
    Invalidate();
    Commit();
}

void ReadoutPanel::DrawBackground(qreal ratio)
{
    m_background = QPixmap(size() * ratio);
    m_background.setDevicePixelRatio(ratio);
    const QPalette& pal = palette();
    m_background.fill(pal.color(QPalette::Window));
    QPainter painter(&m_background);
    painter.setFont(font());
    for (const Cell& cell : m_cells) {
        if (!cell.visible) {
            continue;
        }
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
            }
        } else if (cell.kind == ControlKind::ProgressBar) {
            qDrawShadePanel(&painter, cell.rect, pal, true, 1);
        } else if (!cell.live) {
            painter.setPen(pal.color(QPalette::Active, QPalette::WindowText));
            painter.drawText(
                cell.rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, QString::fromUtf8(cell.text.c_str()));
        }
    }
    m_backgroundValid = true;
}

void ReadoutPanel::DrawValue(QPainter& painter, const Cell& cell)
{
    const QPalette& pal = palette();
    const QPalette::ColorGroup group = cell.enabled ? QPalette::Active : QPalette::Disabled;
    const QRect inside = TextRect(cell);
    if (cell.kind == ControlKind::ProgressBar) {
        painter.fillRect(inside, pal.color(group, QPalette::Base));
        const int filled = inside.width() * cell.value / 100;
        if (filled > 0) {
            painter.fillRect(QRect(inside.left(), inside.top(), filled, inside.height()), cell.colour);
        }
        if (cell.centreMark) {
            const int middle = inside.left() + inside.width() / 2;
            painter.fillRect(QRect(middle, inside.top(), 1, inside.height()), pal.color(group, QPalette::WindowText));
        }
        return;
    }
    const qreal ratio = m_background.devicePixelRatio();
    const bool box = cell.kind == ControlKind::Edit;
    const bool highlighted = box && cell.enabled && cell.highlighted;
    if (highlighted) {
        painter.fillRect(inside, HighlightColour());
    } else {
        painter.drawPixmap(QRectF(inside), m_background,
            QRectF(inside.x() * ratio, inside.y() * ratio, inside.width() * ratio, inside.height() * ratio));
    }
    const int left = cell.rect.left() + (cell.sunken ? 3 : 0);
    // Value boxes centre their line; a window's static texts sit at the top.
    const Qt::Alignment vertical = box ? Qt::AlignVCenter : Qt::AlignTop;
    if (!GlyphStrip::CanDraw(cell.text.c_str())) {
        painter.setPen(pal.color(group, box ? QPalette::Text : QPalette::WindowText));
        painter.drawText(QRect(left, cell.rect.top(), cell.rect.right() - left - 1, cell.rect.height()),
            Qt::AlignLeft | vertical | Qt::TextSingleLine, QString::fromUtf8(cell.text.c_str()));
        return;
    }
    GlyphStrip& strip = highlighted ? m_highlightStrip
        : box                       ? (cell.enabled ? m_enabledStrip : m_disabledStrip)
                                    : (cell.enabled ? m_labelStrip : m_disabledLabelStrip);
    const QColor background = highlighted ? HighlightColour()
        : box && cell.enabled             ? pal.color(group, QPalette::Base)
                                          : pal.color(group, QPalette::Window);
    strip.Prepare(font(), pal.color(group, box ? QPalette::Text : QPalette::WindowText), background, ratio);
    const int top = box ? cell.rect.top() + (cell.rect.height() - strip.Height()) / 2 : cell.rect.top();
    strip.Draw(painter, QPoint(left, top), cell.text.c_str(), inside);
}

void ReadoutPanel::paintEvent(QPaintEvent* event)
{
    const qreal ratio = devicePixelRatioF();
    if (!m_backgroundValid || m_background.devicePixelRatio() != ratio || m_background.size() != size() * ratio) {
        DrawBackground(ratio);
        m_whole = true;
    }
    QPainter painter(this);
    const QRegion& exposed = event->region();
    // Only what was asked for: the changed values. Anything else (the window
    // uncovered, the background changed) is drawn whole where exposed.
    const bool onlyValues = !m_whole && exposed.rectCount() == 1 && m_requested.contains(event->rect());
    if (!onlyValues) {
        for (const QRect& part : exposed) {
            painter.drawPixmap(QRectF(part), m_background,
                QRectF(part.x() * ratio, part.y() * ratio, part.width() * ratio, part.height() * ratio));
        }
    }
    for (std::size_t i = 0; i < m_cells.size(); ++i) {
        const Cell& cell = m_cells[i];
        if (!cell.live || !cell.visible) {
            continue;
        }
        if (onlyValues ? m_dirty[i] != 0 : exposed.intersects(cell.rect)) {
            DrawValue(painter, cell);
            if (onlyValues) {
                m_dirty[i] = 0;
            }
        }
    }
    if (onlyValues) {
        m_requested = QRect();
    } else if ((visibleRegion() - exposed).isEmpty()) {
        // All that can be seen drawn afresh (in a scrolled window that may be
        // a part): nothing is waiting any more, and what scrolls into view
        // later is exposed and drawn then.
        std::fill(m_dirty.begin(), m_dirty.end(), 0);
        m_whole = false;
        m_pending = QRect();
        m_requested = QRect();
    }
}
