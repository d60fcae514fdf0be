// KQ_Remember: a flag or a count with its last acknowledged value.
#include "mapping/KQ_Remember.h"

namespace {

// Counts wrap rather than overflow: a counter that runs for long enough must
// not become undefined behaviour.
std::int32_t WrappingAdd(std::int32_t a, std::int32_t b)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

} // namespace

void KQ_Remember::SetFlag(bool value)
{
    m_integerMode = 0;
    m_flag = value ? 1 : 0;
}

void KQ_Remember::SetFlagFrom(const KQ_Remember& other)
{
    m_flag = other.m_flag;
}

void KQ_Remember::SetValue(std::int32_t value)
{
    m_integerMode = 1;
    m_value = value;
}

void KQ_Remember::SetCount(std::int32_t value)
{
    SetValue(value);
}

void KQ_Remember::Increment()
{
    Add(1);
}

void KQ_Remember::Add(std::int32_t value)
{
    m_integerMode = 1;
    m_value = WrappingAdd(m_value, value);
}

bool KQ_Remember::HasChanged() const
{
    if (m_integerMode != 0) {
        return m_value != m_previousValue;
    }
    return m_flag != m_previousFlag;
}

void KQ_Remember::Acknowledge()
{
    if (m_integerMode != 0) {
        m_previousValue = m_value;
    } else {
        m_previousFlag = m_flag;
    }
}

bool KQ_Remember::HasChangedAndAcknowledge()
{
    const bool changed = HasChanged();
    Acknowledge();
    return changed;
}

bool KQ_Remember::Rising(bool acknowledge)
{
    const bool on = m_integerMode != 0 ? m_value != 0 : m_flag != 0;
    const bool rising = HasChanged() && on;
    if (acknowledge) {
        Acknowledge();
    }
    return rising;
}

bool KQ_Remember::Falling(bool acknowledge)
{
    const bool off = m_integerMode != 0 ? m_value == 0 : m_flag == 0;
    const bool falling = HasChanged() && off;
    if (acknowledge) {
        Acknowledge();
    }
    return falling;
}

bool KQ_Remember::RisingAndAcknowledge()
{
    return Rising(true);
}

bool KQ_Remember::FallingAndAcknowledge()
{
    return Falling(true);
}

void KQ_Remember::GetEdges(bool& rising, bool& falling)
{
    if (m_integerMode != 0) {
        // A count has no edges; leave its pending change for HasChanged.
        rising = false;
        falling = false;
        return;
    }
    rising = m_flag != 0 && m_previousFlag == 0;
    falling = m_flag == 0 && m_previousFlag != 0;
    m_previousFlag = m_flag;
}

std::int32_t KQ_Remember::Difference() const
{
    if (m_integerMode == 0) {
        return 0;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(m_value) - static_cast<std::uint32_t>(m_previousValue));
}

bool KQ_Remember::IsOn() const
{
    return m_integerMode != 0 || m_flag != 0;
}

bool KQ_Remember::IsOff() const
{
    return m_integerMode == 0 && m_flag == 0;
}
