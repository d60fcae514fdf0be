// CResponseCurvesDlg: the response curves of the six processed axes, edited
// on the caller's copy (stored back on OK). For the chosen axis: the kind,
// k or the points as numbers, INVERT, and a graph of the curve with the live
// input as a dot on it, refreshed every frame while the dialog is open;
// points can also be dragged on the graph. What is typed is taken as soon as
// it is a valid curve; until then a line under the fields says what is wrong.
#pragma once

#include "mapping/CockpitAxes.h"
#include "mapping/ResponseCurve.h"
#include "ui/DialogView.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// The curves, by row of CockpitAxisTable::kRows (rows without a curve key stay LINEAR).
using ResponseCurveSet = std::array<ResponseCurve, CockpitAxisTable::kRowCount>;

class CResponseCurvesDlg : public DialogPresenter {
public:
    static constexpr std::int32_t kAxis = 1701; // combo: the six axes in window order
    static constexpr std::int32_t kKind = 1702; // combo: LINEAR, EXPO, POINTS
    static constexpr std::int32_t kK = 1703;
    static constexpr std::int32_t kPoints = 1704;
    static constexpr std::int32_t kInvert = 1705;
    static constexpr std::int32_t kGraph = 1706;
    static constexpr std::int32_t kLive = 1707; // "input -> output" of the live dot
    static constexpr std::int32_t kProblem = 1708; // why what was typed is not taken
    static constexpr std::int32_t kTimer = 1709;
    static constexpr int kTimerPeriodMs = 8; // the polling tick: frames at the window's rate
    // How close two points' x may come when one is dragged.
    static constexpr double kSmallestGap = 0.01;

    // The raw position (-10000..10000) of the input the row's axis is
    // assigned to, or nothing when it has none or it is not a position input.
    using LiveInput = std::function<std::optional<std::int32_t>(int row)>;

    CResponseCurvesDlg(ResponseCurveSet& curves, LiveInput liveInput);

    static const DialogTemplate& Template() { return ResponseCurvesDialogTemplate(); }

    bool OnInitDialog() override;
    void OnCommand(std::int32_t id) override;
    void OnSelectionChange(std::int32_t id, int position) override;
    void OnEditChange(std::int32_t id) override;
    void OnCurvePointDrag(std::int32_t id, int point, double x, double y) override;
    void OnFrame(bool numbers) override;
    void OnDestroy() override;

    // The row of CockpitAxisTable::kRows that is shown.
    int ShownRow() const { return m_row; }

private:
    ResponseCurve& Shown() { return m_curves[static_cast<std::size_t>(m_row)]; }
    // The fields, the graph and the marker from the shown curve.
    void ShowCurve();
    void ShowGraph();
    void ShowPointsText();
    void ShowProblem(const char* problem);
    void ChangeKind(CurveKind kind);
    std::string FieldText(std::int32_t id) const;

    ResponseCurveSet& m_curves;
    LiveInput m_liveInput;
    int m_row = 0;
    // What the kinds had last in this dialog, so switching back finds them.
    double m_lastK = 0.3;
    std::optional<ResponseCurve> m_lastPoints;
    CurveMarker m_marker {};
    bool m_markerSent = false;
    bool m_liveTextDue = true;
};
