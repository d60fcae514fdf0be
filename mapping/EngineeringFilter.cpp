// EngineeringFilter: the first-order lag and the two further forms described
// in the header.
#include "mapping/EngineeringFilter.h"

EngineeringFilter::EngineeringFilter(double timeConstant)
    : m_timeConstant(timeConstant)
{
}

EngineeringFilter::EngineeringFilter(std::int32_t type, double timeConstant, double secondTimeConstant)
    : m_timeConstant(timeConstant)
    , m_secondTimeConstant(secondTimeConstant)
    , m_type(type == FirstOrderLag ? Washout : type)
{
}

double EngineeringFilter::ResetFilter(double value)
{
    m_memory = value;
    m_previousInput = value;
    return m_memory;
}

double EngineeringFilter::Iterate(double input, double period)
{
    m_period = period;
    const double dt = period;
    switch (m_type) {
    case FirstOrderLag:
        // T <= 0 passes too: with dt = T = 0 the step factor would be 0/0.
        if (dt > m_timeConstant || m_timeConstant <= 0.0) {
            m_memory = input;
        } else {
            m_memory = m_memory + (input - m_memory) * (dt / m_timeConstant);
        }
        break;
    case LeadLag: {
        const double lag = m_timeConstant;
        const double lead = m_secondTimeConstant;
        const double denominator = dt + lag;
        if (denominator <= 0.0) {
            m_memory = input;
        } else {
            m_memory = (lag * m_memory + (dt + lead) * input - lead * m_previousInput) / denominator;
        }
        break;
    }
    case Washout: {
        const double denominator = dt + m_timeConstant;
        if (denominator <= 0.0) {
            m_memory = 0.0;
        } else {
            m_memory = m_timeConstant * (m_memory + input - m_previousInput) / denominator;
        }
        break;
    }
    default:
        return m_memory;
    }
    m_previousInput = input;
    return m_memory;
}

void EngineeringFilter::SetTimeConstant(double value)
{
    if (value >= 0.0) {
        m_timeConstant = value;
    }
}
