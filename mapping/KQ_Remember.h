// KQ_Remember: a value and the value it had when last acknowledged, so a
// caller polling once per cycle can ask whether it changed, rose or fell.
#pragma once

#include <cstdint>

class KQ_Remember {
public:
    KQ_Remember() = default;

    void SetFlag(bool value);
    void SetFlagFrom(const KQ_Remember& other);
    void SetValue(std::int32_t value);
    void SetCount(std::int32_t value); // the same as SetValue
    void Increment();
    void Add(std::int32_t value);

    bool HasChanged() const;
    void Acknowledge();
    bool HasChangedAndAcknowledge();
    bool Rising(bool acknowledge);
    bool Falling(bool acknowledge);
    bool RisingAndAcknowledge();
    bool FallingAndAcknowledge();
    void GetEdges(bool& rising, bool& falling);
    std::int32_t GetValue() const { return m_value; }
    bool GetFlag() const { return m_flag != 0; }
    std::int32_t Difference() const;
    bool IsOn() const;
    bool IsOff() const;

private:
    std::uint8_t m_integerMode = 0;
    std::uint8_t m_flag = 0;
    std::uint8_t m_previousFlag = 0;
    std::int32_t m_value = -1;
    std::int32_t m_previousValue = -1;
};
