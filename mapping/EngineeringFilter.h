// EngineeringFilter: smooths one control signal in time. Each Iterate is given
// the new input x and the period dt since the previous call.
//
// Type 0, first-order lag with time constant T (the only type the processing
// uses): when dt > T (which covers T = 0) the input passes straight through,
// otherwise m += (x - m) * dt / T.
//
// Types 1 and 2 come from the second constructor and are discretised with the
// backward (implicit) Euler rule s = (1 - 1/z) / dt, which stays stable and
// free of ringing for every dt and every time constant of 0 or more:
//  - type 1, lead-lag (1 + T2 s) / (1 + T1 s), T1 = time constant (lag),
//    T2 = second time constant (lead):
//        y[n] = (T1 y[n-1] + (dt + T2) x[n] - T2 x[n-1]) / (dt + T1)
//    steady gain 1; T1 = T2 passes the input; dt + T1 = 0 passes the input.
//  - type 2, washout T1 s / (1 + T1 s), the second time constant is unused:
//        y[n] = T1 (y[n-1] + x[n] - x[n-1]) / (dt + T1)
//    a steady input decays to 0; T1 = 0 passes nothing.
// ResetFilter(v) sets the output memory to v and takes v as the previous
// input, so a lead-lag reset to v holds v for a steady input v.
// Any other type computes nothing: Iterate returns the memory unchanged.
#pragma once

#include <cstdint>

class EngineeringFilter {
public:
    enum Type : std::int32_t { FirstOrderLag = 0, LeadLag = 1, Washout = 2 };

    explicit EngineeringFilter(double timeConstant);
    // type 1 lead-lag, type 2 washout; a type of 0 is turned into 2.
    EngineeringFilter(std::int32_t type, double timeConstant, double secondTimeConstant);

    double ResetFilter(double value);
    double Iterate(double input, double period);
    // Ignored when negative; 0 turns filtering off.
    void SetTimeConstant(double value);

    double GetTimeConstant() const { return m_timeConstant; }
    double GetSecondTimeConstant() const { return m_secondTimeConstant; }
    double GetMemory() const { return m_memory; }
    double GetPeriod() const { return m_period; }
    std::int32_t GetType() const { return m_type; }

private:
    double m_memory = 0.0;
    double m_period = 1.0;
    double m_timeConstant = 0.0;
    double m_secondTimeConstant = 0.0;
    std::int32_t m_type = FirstOrderLag;
    double m_previousInput = 0.0;
};
