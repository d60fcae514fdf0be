// The Qt widget of a curve graph (ControlKind::CurveGraph): the curve over a
// grid from -1 to 1 both ways, its points as handles the mouse can drag, and
// the live input as a dot with its guide lines to both axes.
#pragma once

#include "ui/CurveGraph.h"

#include <QWidget>

#include <functional>

class CurveGraphWidget : public QWidget {
public:
    // `dragged(point, x, y)`: the operator moved a point there (each within -1..1).
    CurveGraphWidget(std::function<void(int, double, double)> dragged, QWidget* parent);

    void SetGraph(const CurveGraphData& graph);
    void SetMarker(const CurveMarker& marker);
    const CurveGraphData& Graph() const { return m_graph; }
    const CurveMarker& Marker() const { return m_marker; }
    // Where a curve position is drawn, and the other way round (for tests too).
    QPointF ToPixels(double x, double y) const;
    void ToCurve(const QPointF& pixel, double& x, double& y) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QRectF Plot() const;

    std::function<void(int, double, double)> m_dragged;
    CurveGraphData m_graph {};
    CurveMarker m_marker {};
    int m_dragging = -1;
};
