// What a curve graph shows: a response curve over -1..1 (input across, output
// up) as evenly spaced samples, the points it passes through (the ones the
// operator may drag), and the live input as a dot on the curve. Plain data,
// so that the renderers draw it and the tests read it alike.
#pragma once

#include <array>

struct CurveGraphPoint {
    double x = 0.0;
    double y = 0.0;
};

struct CurveGraphData {
    // Samples at x = -1 + 2 i / (kSamples - 1).
    static constexpr int kSamples = 129;
    static constexpr int kMaxPoints = 16;

    std::array<double, kSamples> samples {};
    int pointCount = 0; // 0: a curve without points to drag
    std::array<CurveGraphPoint, kMaxPoints> points {};

    static constexpr double SampleX(int i) { return -1.0 + 2.0 * i / (kSamples - 1); }
};

struct CurveMarker {
    bool shown = false;
    double input = 0.0; // across
    double output = 0.0; // up
};
