#include "dialogs/ResponseCurvesDlg.h"

#include "support/TextFunctions.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace Axes = CockpitAxisTable;

namespace {

constexpr const char* kKindNames[] = { "LINEAR", "EXPO", "POINTS" };
constexpr int kFieldLength = ResponseCurve::kTextLength;

// What a curve through points starts from when there is nothing to go on:
// the present curve at five places, so the shape stays as it was.
ResponseCurve PointsAlong(const ResponseCurve& curve)
{
    CurvePoint points[5];
    for (int i = 0; i < 5; ++i) {
        const double x = -1.0 + 0.5 * i;
        points[i] = { x, curve.Shape(x) };
    }
    ResponseCurve made;
    made.SetPoints(points, curve.Inverted());
    return made;
}

// The window row of an axis row: its place in the combo.
int ComboPositionOf(int row)
{
    for (int i = 0; i < Axes::kWindowRows; ++i) {
        if (Axes::kWindowOrder[static_cast<std::size_t>(i)] == row) {
            return i;
        }
    }
    return 0;
}

} // namespace

CResponseCurvesDlg::CResponseCurvesDlg(ResponseCurveSet& curves, LiveInput liveInput)
    : m_curves(curves)
    , m_liveInput(std::move(liveInput))
    , m_row(Axes::kWindowOrder[0])
{
}

bool CResponseCurvesDlg::OnInitDialog()
{
    for (int i = 0; i < Axes::kWindowRows; ++i) {
        m_view->ComboInsertString(kAxis, i, Axes::InWindowRow(i).name);
    }
    for (int i = 0; i < 3; ++i) {
        m_view->ComboInsertString(kKind, i, kKindNames[i]);
    }
    m_view->ComboSetSelection(kAxis, ComboPositionOf(m_row));
    ShowCurve();
    m_view->StartTimer(kTimer, kTimerPeriodMs);
    return true;
}

void CResponseCurvesDlg::OnDestroy()
{
    m_view->StopTimer(kTimer);
}

void CResponseCurvesDlg::OnCommand(std::int32_t id)
{
    if (id == kInvert) {
        Shown().SetInvert(m_view->IsChecked(kInvert));
        ShowGraph();
        return;
    }
    DialogPresenter::OnCommand(id);
}

void CResponseCurvesDlg::OnSelectionChange(std::int32_t id, int position)
{
    if (id == kAxis && position >= 0 && position < Axes::kWindowRows) {
        m_row = Axes::kWindowOrder[static_cast<std::size_t>(position)];
        ShowCurve();
    } else if (id == kKind && position >= 0 && position < 3) {
        ChangeKind(static_cast<CurveKind>(position));
    }
}

void CResponseCurvesDlg::ChangeKind(CurveKind kind)
{
    ResponseCurve& curve = Shown();
    if (curve.Kind() == kind) {
        return;
    }
    const bool invert = curve.Inverted();
    if (curve.Kind() == CurveKind::Expo) {
        m_lastK = curve.K();
    } else if (curve.Kind() == CurveKind::Points) {
        m_lastPoints = curve;
    }
    switch (kind) {
    case CurveKind::Linear:
        curve = ResponseCurve::Linear(invert);
        break;
    case CurveKind::Expo:
        curve.SetExpo(m_lastK, invert);
        break;
    case CurveKind::Points: {
        ResponseCurve points = m_lastPoints ? *m_lastPoints : PointsAlong(curve);
        points.SetInvert(invert);
        curve = points;
        break;
    }
    }
    ShowCurve();
}

void CResponseCurvesDlg::OnEditChange(std::int32_t id)
{
    ResponseCurve& curve = Shown();
    if (id == kK && curve.Kind() == CurveKind::Expo) {
        ResponseCurve typed;
        const char* problem = ResponseCurve::Parse("EXPO " + FieldText(kK), typed);
        if (problem == nullptr) {
            curve.SetExpo(typed.K(), curve.Inverted());
            ShowGraph();
        }
        ShowProblem(problem);
    } else if (id == kPoints && curve.Kind() == CurveKind::Points) {
        ResponseCurve typed;
        const char* problem = ResponseCurve::Parse("POINTS " + FieldText(kPoints), typed);
        if (problem == nullptr) {
            curve.SetPoints(typed.Points(), curve.Inverted());
            ShowGraph();
        }
        ShowProblem(problem);
    }
}

void CResponseCurvesDlg::OnCurvePointDrag(std::int32_t id, int point, double x, double y)
{
    ResponseCurve& curve = Shown();
    if (id != kGraph || curve.Kind() != CurveKind::Points || point < 0 || point >= curve.PointCount()) {
        return;
    }
    CurvePoint points[ResponseCurve::kMaxPoints];
    std::copy(curve.Points().begin(), curve.Points().end(), points);
    const int last = curve.PointCount() - 1;
    if (curve.Inverted()) {
        x = -x; // the graph shows an inverted curve's point (x, y) at -x
    }
    // The ends stay at x = -1 and 1; a point between keeps its neighbours' order.
    if (point > 0 && point < last) {
        const double low = points[point - 1].x + kSmallestGap;
        const double high = points[point + 1].x - kSmallestGap;
        points[point].x = low < high ? std::clamp(x, low, high) : points[point].x;
    }
    points[point].y = std::clamp(y, -1.0, 1.0);
    if (curve.SetPoints(std::span(points, static_cast<std::size_t>(curve.PointCount())), curve.Inverted()) == nullptr) {
        ShowPointsText();
        ShowProblem(nullptr);
        ShowGraph();
    }
}

void CResponseCurvesDlg::OnFrame(bool numbers)
{
    const std::optional<std::int32_t> raw = m_liveInput ? m_liveInput(m_row) : std::nullopt;
    CurveMarker marker;
    if (raw) {
        const double u = std::clamp(static_cast<double>(*raw) / ResponseCurve::kFullScale, -1.0, 1.0);
        marker = { true, u, Shown().Evaluate(u) };
    }
    if (!m_markerSent || marker.shown != m_marker.shown || marker.input != m_marker.input
        || marker.output != m_marker.output) {
        m_view->SetCurveMarker(kGraph, marker);
        m_marker = marker;
        m_markerSent = true;
        m_liveTextDue = true;
    }
    if (numbers && m_liveTextDue) {
        char text[96];
        if (marker.shown) {
            FormatBounded(text, sizeof text, "Input %+.3f gives %+.3f", marker.input, marker.output);
        } else {
            CopyBounded(text, "No position input assigned: nothing to curve", sizeof text);
        }
        m_view->SetControlText(kLive, text);
        m_liveTextDue = false;
    }
}

void CResponseCurvesDlg::ShowCurve()
{
    const ResponseCurve& curve = Shown();
    m_view->ComboSetSelection(kKind, static_cast<int>(curve.Kind()));
    m_view->SetCheck(kInvert, curve.Inverted());
    const bool expo = curve.Kind() == CurveKind::Expo;
    const bool points = curve.Kind() == CurveKind::Points;
    m_view->EnableControl(kK, expo);
    m_view->EnableControl(kPoints, points);
    char k[32] = "";
    if (expo) {
        FormatBounded(k, sizeof k, "%.6f", curve.K());
    }
    m_view->SetControlText(kK, k);
    ShowPointsText();
    ShowProblem(nullptr);
    ShowGraph();
}

void CResponseCurvesDlg::ShowPointsText()
{
    const ResponseCurve& curve = Shown();
    if (curve.Kind() != CurveKind::Points) {
        m_view->SetControlText(kPoints, "");
        return;
    }
    // The file's form without the word and INVERT: "x1 y1 x2 y2 ...".
    ResponseCurve plain = curve;
    plain.SetInvert(false);
    char text[kFieldLength];
    plain.Format(text, sizeof text);
    m_view->SetControlText(kPoints, text + std::char_traits<char>::length("POINTS "));
}

void CResponseCurvesDlg::ShowProblem(const char* problem)
{
    std::string text = problem != nullptr ? std::string("Not taken: ") + problem + "." : std::string();
    m_view->SetControlText(kProblem, text.c_str());
}

void CResponseCurvesDlg::ShowGraph()
{
    const ResponseCurve& curve = Shown();
    CurveGraphData graph;
    for (int i = 0; i < CurveGraphData::kSamples; ++i) {
        graph.samples[static_cast<std::size_t>(i)] = curve.Evaluate(CurveGraphData::SampleX(i));
    }
    if (curve.Kind() == CurveKind::Points) {
        // Where each point shows: an inverted curve meets its point (x, y) at -x.
        graph.pointCount = curve.PointCount();
        for (int i = 0; i < curve.PointCount(); ++i) {
            const CurvePoint& p = curve.Points()[static_cast<std::size_t>(i)];
            graph.points[static_cast<std::size_t>(i)] = { curve.Inverted() ? -p.x : p.x, p.y };
        }
    }
    m_view->SetCurveGraph(kGraph, graph);
    m_markerSent = false; // the dot moves with the curve
}

std::string CResponseCurvesDlg::FieldText(std::int32_t id) const
{
    std::string text(static_cast<std::size_t>(kFieldLength), '\0');
    const int length = m_view->GetControlText(id, text.data(), kFieldLength);
    text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    return text;
}
