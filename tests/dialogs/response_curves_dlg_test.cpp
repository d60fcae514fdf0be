// The response curves dialog through the recording view: the axis and kind
// choices, k and the points typed (taken only once valid), INVERT, dragging
// a point, and the graph's data and the live dot it shows.
#include "dialogs/ResponseCurvesDlg.h"
#include "tests/fakes/RecordingDialogView.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using Dlg = CResponseCurvesDlg;
namespace Axes = CockpitAxisTable;

ResponseCurve Curve(const char* text)
{
    ResponseCurve curve;
    EXPECT_EQ(ResponseCurve::Parse(text, curve), nullptr) << text;
    return curve;
}

int Row(std::int32_t axis)
{
    return Axes::IndexOf(axis);
}

// The combo position of an axis (the window's order).
int Position(std::int32_t axis)
{
    for (int i = 0; i < Axes::kWindowRows; ++i) {
        if (Axes::kWindowOrder[static_cast<std::size_t>(i)] == Row(axis)) {
            return i;
        }
    }
    return -1;
}

class ResponseCurvesDialog : public ::testing::Test {
protected:
    ResponseCurvesDialog()
        : dialog(curves, [this](int row) { return row == liveRow ? live : std::nullopt; })
        , view(Dlg::Template(), dialog)
    {
    }

    void SetUp() override
    {
        curves[static_cast<std::size_t>(Row(AxisRoll))] = Curve("POINTS -1 -1 -0.5 -0.3 0 0 0.5 0.3 1 1");
        curves[static_cast<std::size_t>(Row(AxisPedals))] = Curve("EXPO 0.25 INVERT");
        ASSERT_TRUE(view.Open());
    }

    const CurveGraphData& Graph() const { return view.Control(Dlg::kGraph).graph; }
    const ResponseCurve& Of(std::int32_t axis) const { return curves[static_cast<std::size_t>(Row(axis))]; }

    ResponseCurveSet curves;
    int liveRow = -1;
    std::optional<std::int32_t> live;
    Dlg dialog;
    RecordingDialogView view;
};

} // namespace

TEST_F(ResponseCurvesDialog, ShowsTheChosenAxisCurveAsFieldsAndAsAGraph)
{
    EXPECT_EQ(view.Title(), "Response Curves");
    EXPECT_EQ(view.Control(Dlg::kAxis).entries.size(), 6u);
    EXPECT_EQ(view.Control(Dlg::kKind).entries, (std::vector<std::string> { "LINEAR", "EXPO", "POINTS" }));
    for (const std::int32_t id : { Dlg::kAxis, Dlg::kKind, Dlg::kK, Dlg::kPoints, Dlg::kInvert, Dlg::kGraph }) {
        EXPECT_FALSE(view.Control(id).toolTip.empty()) << id;
    }
    // Pitch first: plain LINEAR, nothing to type, the graph a straight line without points.
    EXPECT_EQ(dialog.ShownRow(), Row(AxisPitch));
    EXPECT_EQ(view.Control(Dlg::kKind).selection, 0);
    EXPECT_FALSE(view.Control(Dlg::kK).enabled);
    EXPECT_FALSE(view.Control(Dlg::kPoints).enabled);
    EXPECT_EQ(Graph().pointCount, 0);
    EXPECT_EQ(Graph().samples.front(), -1.0);
    EXPECT_EQ(Graph().samples[CurveGraphData::kSamples / 2], 0.0);
    EXPECT_EQ(Graph().samples.back(), 1.0);

    view.Select(Dlg::kAxis, Position(AxisRoll));
    EXPECT_EQ(view.Control(Dlg::kKind).selection, 2);
    EXPECT_TRUE(view.Control(Dlg::kPoints).enabled);
    EXPECT_EQ(view.Text(Dlg::kPoints),
        "-1.000000 -1.000000 -0.500000 -0.300000 0.000000 0.000000 0.500000 0.300000 1.000000 1.000000");
    ASSERT_EQ(Graph().pointCount, 5);
    EXPECT_EQ(Graph().points[1].x, -0.5);
    EXPECT_EQ(Graph().points[1].y, -0.3);
    for (int i = 0; i < CurveGraphData::kSamples; ++i) {
        EXPECT_EQ(Graph().samples[static_cast<std::size_t>(i)], Of(AxisRoll).Evaluate(CurveGraphData::SampleX(i)));
    }

    view.Select(Dlg::kAxis, Position(AxisPedals));
    EXPECT_EQ(view.Text(Dlg::kK), "0.250000");
    EXPECT_TRUE(view.Control(Dlg::kInvert).checked);
    EXPECT_NEAR(Graph().samples.front(), 1.0, 1e-15); // inverted
}

TEST_F(ResponseCurvesDialog, TypedValuesAreTakenOnlyWhenTheyMakeACurve)
{
    view.Select(Dlg::kKind, 1); // pitch becomes EXPO with a k to start from
    EXPECT_EQ(Of(AxisPitch).Kind(), CurveKind::Expo);
    EXPECT_TRUE(view.Control(Dlg::kK).enabled);

    view.Type(Dlg::kK, "0.6");
    EXPECT_EQ(Of(AxisPitch).K(), 0.6);
    EXPECT_EQ(view.Text(Dlg::kProblem), "");
    EXPECT_NEAR(Graph().samples[96], 0.4 * 0.5 + 0.6 * 0.125, 1e-15); // u = 0.5
    view.Type(Dlg::kK, "1.7");
    EXPECT_EQ(Of(AxisPitch).K(), 0.6) << "refused, kept";
    EXPECT_NE(view.Text(Dlg::kProblem).find("0 to 1"), std::string::npos);
    view.Type(Dlg::kK, "0,5");
    EXPECT_EQ(Of(AxisPitch).K(), 0.6);
    view.Type(Dlg::kK, ".5");
    EXPECT_EQ(Of(AxisPitch).K(), 0.5);
    EXPECT_EQ(view.Text(Dlg::kProblem), "");

    // To POINTS: starts along the present curve, then takes what is typed.
    view.Select(Dlg::kKind, 2);
    ASSERT_EQ(Of(AxisPitch).PointCount(), 5);
    EXPECT_NEAR(Of(AxisPitch).Points()[3].y, 0.5 * 0.5 + 0.5 * 0.125, 1e-6);
    view.Type(Dlg::kPoints, "-1 -1 0 0.2 1 1");
    EXPECT_EQ(Of(AxisPitch).PointCount(), 3);
    EXPECT_EQ(Graph().pointCount, 3);
    view.Type(Dlg::kPoints, "-1 -1 0.5 0.2 0.3 0 1 1");
    EXPECT_EQ(Of(AxisPitch).PointCount(), 3) << "out of order: kept";
    EXPECT_NE(view.Text(Dlg::kProblem).find("increase"), std::string::npos);

    // Back to EXPO finds the k it had; LINEAR keeps INVERT.
    view.Select(Dlg::kKind, 1);
    EXPECT_EQ(Of(AxisPitch).K(), 0.5);
    view.Click(Dlg::kInvert);
    EXPECT_TRUE(Of(AxisPitch).Inverted());
    view.Select(Dlg::kKind, 0);
    EXPECT_TRUE(Of(AxisPitch) == Curve("LINEAR INVERT"));
    EXPECT_EQ(Graph().samples.front(), 1.0);
    view.Click(Dlg::kInvert);
    EXPECT_TRUE(Of(AxisPitch).IsPlainLinear());
}

TEST_F(ResponseCurvesDialog, DraggedPointsKeepTheirOrderAndTheEndsTheirPlace)
{
    view.Select(Dlg::kAxis, Position(AxisRoll));
    view.Drag(Dlg::kGraph, 1, 0.4, -0.1); // past its right neighbour at 0
    EXPECT_NEAR(Of(AxisRoll).Points()[1].x, -Dlg::kSmallestGap, 1e-9);
    EXPECT_EQ(Of(AxisRoll).Points()[1].y, -0.1);
    view.Drag(Dlg::kGraph, 4, 0.2, 0.8); // an end moves only up and down
    EXPECT_EQ(Of(AxisRoll).Points()[4].x, 1.0);
    EXPECT_EQ(Of(AxisRoll).Points()[4].y, 0.8);
    EXPECT_EQ(view.Text(Dlg::kPoints).substr(view.Text(Dlg::kPoints).size() - 17), "1.000000 0.800000");
    EXPECT_EQ(Graph().points[4].y, 0.8);
    EXPECT_EQ(Graph().samples.back(), 0.8);

    // Inverted, the graph shows the points mirrored and a drag lands mirrored back.
    view.Click(Dlg::kInvert);
    EXPECT_EQ(Graph().points[4].x, -1.0);
    view.Drag(Dlg::kGraph, 2, -0.25, 0.1);
    EXPECT_NEAR(Of(AxisRoll).Points()[2].x, 0.25, 1e-9);
    EXPECT_NEAR(Graph().points[2].x, -0.25, 1e-9);
}

TEST_F(ResponseCurvesDialog, TheLiveInputMovesADotOnTheCurveEveryFrame)
{
    ASSERT_EQ(view.timers.count(Dlg::kTimer), 1u);
    view.Select(Dlg::kAxis, Position(AxisRoll));
    liveRow = Row(AxisRoll);
    live = 2500;
    for (int i = 0; i < 6; ++i) {
        view.Tick();
    }
    const CurveMarker& marker = view.Control(Dlg::kGraph).marker;
    EXPECT_TRUE(marker.shown);
    EXPECT_EQ(marker.input, 0.25);
    EXPECT_NEAR(marker.output, 0.15, 1e-12);
    EXPECT_EQ(view.Text(Dlg::kLive), "Input +0.250 gives +0.150");

    // Sent only when it moves.
    const int sets = view.Control(Dlg::kGraph).markerSets;
    for (int i = 0; i < 12; ++i) {
        view.Tick();
    }
    EXPECT_EQ(view.Control(Dlg::kGraph).markerSets, sets);
    live = -30000; // beyond the range: at its end
    for (int i = 0; i < 6; ++i) {
        view.Tick();
    }
    EXPECT_EQ(view.Control(Dlg::kGraph).marker.input, -1.0);
    EXPECT_EQ(view.Control(Dlg::kGraph).marker.output, -1.0);

    // An axis without a position input shows no dot.
    view.Select(Dlg::kAxis, Position(AxisTiller));
    for (int i = 0; i < 6; ++i) {
        view.Tick();
    }
    EXPECT_FALSE(view.Control(Dlg::kGraph).marker.shown);

    view.Click(kIdCancel);
    EXPECT_TRUE(view.Ended());
    EXPECT_TRUE(view.timers.empty());
}
