// The Response Curves dialog on offscreen Qt widgets: the check box and the
// typed fields reach the presenter (what it writes itself does not come
// back), the graph widget holds the curve, the points and the live dot it was
// given, and a point dragged with the mouse moves the curve's point.
#include "dialogs/ResponseCurvesDlg.h"
#include "platform/qt/QtCurveGraph.h"
#include "platform/qt/QtDialogView.h"
#include "tests/platform/qt/qt_test_support.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using Dlg = CResponseCurvesDlg;

int Row(std::int32_t axis)
{
    return CockpitAxisTable::IndexOf(axis);
}

} // namespace

TEST(QtResponseCurves, FieldsCheckBoxAndDraggedPointsReachThePresenter)
{
    qttest::Application();
    ResponseCurveSet curves;
    ResponseCurve::Parse("POINTS -1 -1 -0.5 -0.3 0 0 0.5 0.3 1 1", curves[static_cast<std::size_t>(Row(AxisPitch))]);
    std::optional<std::int32_t> live = 5000;
    Dlg dialog(curves, [&live](int) { return live; });
    QtDialogView view(Dlg::Template(), dialog);
    ASSERT_TRUE(view.Open());
    const ResponseCurve& pitch = curves[static_cast<std::size_t>(Row(AxisPitch))];

    auto* graph = static_cast<CurveGraphWidget*>(view.Widget(Dlg::kGraph));
    ASSERT_NE(graph, nullptr);
    EXPECT_EQ(graph->Graph().pointCount, 5);
    EXPECT_FALSE(view.ToolTip(Dlg::kGraph).isEmpty());
    // The live dot arrives with the window's frames.
    ASSERT_TRUE(qttest::WaitFor([&] { return graph->Marker().shown; }));
    EXPECT_EQ(graph->Marker().input, 0.5);
    EXPECT_NEAR(graph->Marker().output, 0.3, 1e-12);

    // The presenter's own text is no edit; the operator's typing is.
    auto* points = qobject_cast<QLineEdit*>(view.Widget(Dlg::kPoints));
    ASSERT_NE(points, nullptr);
    EXPECT_TRUE(points->text().startsWith("-1.000000 -1.000000"));
    points->selectAll();
    QTest::keyClicks(points, "-1 -1 0 0.5 1 1");
    EXPECT_EQ(pitch.PointCount(), 3);
    EXPECT_EQ(graph->Graph().pointCount, 3);

    // Dragging the middle point up with the mouse.
    const QPoint from = graph->ToPixels(0.0, 0.5).toPoint();
    const QPoint to = graph->ToPixels(0.0, 0.8).toPoint();
    QTest::mousePress(graph, Qt::LeftButton, Qt::NoModifier, from);
    QMouseEvent move(
        QEvent::MouseMove, QPointF(to), graph->mapToGlobal(QPointF(to)), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(graph, &move);
    QTest::mouseRelease(graph, Qt::LeftButton, Qt::NoModifier, to);
    EXPECT_NEAR(pitch.Points()[1].y, 0.8, 0.02);
    EXPECT_NEAR(pitch.Points()[1].x, 0.0, 0.02);
    EXPECT_NEAR(graph->Graph().points[1].y, pitch.Points()[1].y, 1e-12);
    EXPECT_TRUE(points->text().contains(QString::number(pitch.Points()[1].y, 'f', 6)));

    auto* invert = qobject_cast<QCheckBox*>(view.Widget(Dlg::kInvert));
    ASSERT_NE(invert, nullptr);
    invert->click();
    EXPECT_TRUE(pitch.Inverted());
    EXPECT_TRUE(view.IsChecked(Dlg::kInvert));
    view.SetCheck(Dlg::kInvert, false); // a presenter's own change is no click
    EXPECT_TRUE(pitch.Inverted());

    view.DeliverCommand(kIdCancel);
    view.Finish();
}
