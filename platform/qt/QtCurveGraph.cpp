#include "platform/qt/QtCurveGraph.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kMargin = 6.0;
constexpr double kGrabRadius = 7.0; // pixels around a point that pick it up
constexpr double kHandle = 3.5;

} // namespace

CurveGraphWidget::CurveGraphWidget(std::function<void(int, double, double)> dragged, QWidget* parent)
    : QWidget(parent)
    , m_dragged(std::move(dragged))
{
    setAutoFillBackground(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
}

void CurveGraphWidget::SetGraph(const CurveGraphData& graph)
{
    m_graph = graph;
    update();
}

void CurveGraphWidget::SetMarker(const CurveMarker& marker)
{
    m_marker = marker;
    update();
}

QRectF CurveGraphWidget::Plot() const
{
    return QRectF(kMargin, kMargin, std::max(1.0, width() - 2 * kMargin), std::max(1.0, height() - 2 * kMargin));
}

QPointF CurveGraphWidget::ToPixels(double x, double y) const
{
    const QRectF plot = Plot();
    return { plot.left() + (x + 1.0) / 2.0 * plot.width(), plot.bottom() - (y + 1.0) / 2.0 * plot.height() };
}

void CurveGraphWidget::ToCurve(const QPointF& pixel, double& x, double& y) const
{
    const QRectF plot = Plot();
    x = std::clamp((pixel.x() - plot.left()) / plot.width() * 2.0 - 1.0, -1.0, 1.0);
    y = std::clamp((plot.bottom() - pixel.y()) / plot.height() * 2.0 - 1.0, -1.0, 1.0);
}

void CurveGraphWidget::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    const QPalette colours = palette();
    painter.fillRect(rect(), colours.color(QPalette::Base));
    painter.setRenderHint(QPainter::Antialiasing, true);

    // The grid at every quarter, the axes through the centre darker.
    const QColor grid = colours.color(QPalette::Mid);
    for (int i = 0; i <= 8; ++i) {
        const double at = -1.0 + 0.25 * i;
        painter.setPen(QPen(grid, i == 4 ? 1.5 : 0.5));
        painter.drawLine(ToPixels(at, -1.0), ToPixels(at, 1.0));
        painter.drawLine(ToPixels(-1.0, at), ToPixels(1.0, at));
    }
    // The straight line for comparison.
    painter.setPen(QPen(grid, 1.0, Qt::DashLine));
    painter.drawLine(ToPixels(-1.0, -1.0), ToPixels(1.0, 1.0));

    QPainterPath curve;
    for (int i = 0; i < CurveGraphData::kSamples; ++i) {
        const QPointF at = ToPixels(CurveGraphData::SampleX(i), m_graph.samples[static_cast<std::size_t>(i)]);
        if (i == 0) {
            curve.moveTo(at);
        } else {
            curve.lineTo(at);
        }
    }
    painter.setPen(QPen(colours.color(QPalette::Highlight), 2.0));
    painter.drawPath(curve);

    painter.setPen(QPen(colours.color(QPalette::Text), 1.0));
    painter.setBrush(colours.color(QPalette::Base));
    for (int i = 0; i < m_graph.pointCount && i < CurveGraphData::kMaxPoints; ++i) {
        const CurveGraphPoint& p = m_graph.points[static_cast<std::size_t>(i)];
        const QPointF at = ToPixels(p.x, p.y);
        painter.drawRect(QRectF(at.x() - kHandle, at.y() - kHandle, 2 * kHandle, 2 * kHandle));
    }

    if (m_marker.shown) {
        const QPointF dot = ToPixels(m_marker.input, m_marker.output);
        const QColor live(200, 40, 40);
        painter.setPen(QPen(live, 1.0, Qt::DotLine));
        painter.drawLine(ToPixels(m_marker.input, -1.0), dot);
        painter.drawLine(ToPixels(-1.0, m_marker.output), dot);
        painter.setPen(Qt::NoPen);
        painter.setBrush(live);
        painter.drawEllipse(dot, 4.5, 4.5);
    }
    painter.setPen(QPen(colours.color(QPalette::Dark), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

void CurveGraphWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        QWidget::mousePressEvent(event);
        return;
    }
    // The nearest point within reach.
    double best = kGrabRadius * kGrabRadius;
    m_dragging = -1;
    for (int i = 0; i < m_graph.pointCount && i < CurveGraphData::kMaxPoints; ++i) {
        const CurveGraphPoint& p = m_graph.points[static_cast<std::size_t>(i)];
        const QPointF offset = ToPixels(p.x, p.y) - event->position();
        const double distance = offset.x() * offset.x() + offset.y() * offset.y();
        if (distance <= best) {
            best = distance;
            m_dragging = i;
        }
    }
    event->accept();
}

void CurveGraphWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging < 0 || (event->buttons() & Qt::LeftButton) == 0) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    double x = 0.0;
    double y = 0.0;
    ToCurve(event->position(), x, y);
    if (m_dragged) {
        m_dragged(m_dragging, x, y);
    }
    event->accept();
}

void CurveGraphWidget::mouseReleaseEvent(QMouseEvent* event)
{
    m_dragging = -1;
    QWidget::mouseReleaseEvent(event);
}
