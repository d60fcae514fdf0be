// EngineeringFilter: smooths one control signal in time. Type 0 is the
// first-order lag used by the processing; types 1 (lead-lag) and 2 (washout)
// are further discrete forms offered by the second constructor.
#pragma once

#include <cstdint>

class EngineeringFilter {
public:
    explicit EngineeringFilter(double timeConstant);
    // type 1 lead-lag, type 2 washout; a type of 0 is turned into 2.
    EngineeringFilter(std::int32_t type, double timeConstant, double secondTimeConstant);

    double ResetFilter(double value);
    double Iterate(double input, double period);
    // Ignored when negative; 0 turns filtering off.
    void SetTimeConstant(double value);

    double GetTimeConstant() const { return m_timeConstant; }
    double GetMemory() const { return m_memory; }
    double GetPeriod() const { return m_period; }
    std::int32_t GetType() const { return m_type; }

private:
    double m_memory = 0.0;
    double m_period = 1.0;
    double m_timeConstant = 0.0;
    double m_secondTimeConstant = 0.0;
    std::int32_t m_type = 0;
    double m_previousInput = 0.0;
    double m_work[2] = {};
};
