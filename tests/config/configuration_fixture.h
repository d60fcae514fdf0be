// A ControlProcessor attached to a block of its own, a folder for its files,
// and helpers to set and read the records the configuration files hold.
#pragma once

#include "mapping/Assignments.h"
#include "mapping/ControlProcessor.h"
#include "mapping/GenericSimBlock.h"
#include "tests/config/config_test_support.h"
#include "tests/support/os_helpers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ConfigTest {

class ConfigurationFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_name = ShmTestOs::UniqueName("cfg");
        ShmTestOs::SetEnvironment("TAVELIN_SHM_NAME", m_name.c_str());
        ASSERT_TRUE(processor.Attach()) << processor.GetErrorText();
        block = processor.GetBlock();
        ASSERT_NE(block, nullptr);
    }

    void SetAxis(std::size_t record, std::int32_t joystickId, std::int32_t input)
    {
        GenericSimBlock::StoreInt32(block, record + GenericSimBlock::kRecordJoystickId, joystickId);
        GenericSimBlock::StoreInt32(block, record + GenericSimBlock::kRecordInput, input);
    }
    void SetButton(std::int32_t button, std::int32_t joystickId, std::int32_t number)
    {
        SetAxis(GenericSimBlock::ButtonRecord(static_cast<std::size_t>(button)), joystickId, number);
    }
    std::int32_t Id(std::size_t record) const
    {
        return GenericSimBlock::LoadInt32(block, record + GenericSimBlock::kRecordJoystickId);
    }
    std::int32_t Input(std::size_t record) const
    {
        return GenericSimBlock::LoadInt32(block, record + GenericSimBlock::kRecordInput);
    }
    std::int32_t ButtonNumber(std::int32_t button) const
    {
        return Input(GenericSimBlock::ButtonRecord(static_cast<std::size_t>(button)));
    }
    std::int32_t ButtonId(std::int32_t button) const
    {
        return Id(GenericSimBlock::ButtonRecord(static_cast<std::size_t>(button)));
    }
    void SetSetting(std::size_t offset, double value) { GenericSimBlock::StoreDouble(block, offset, value); }
    double Setting(std::size_t offset) const { return GenericSimBlock::LoadDouble(block, offset); }
    void SetName(const char* name)
    {
        GenericSimBlock::StoreText(
            block, GenericSimBlock::kConfigurationName, GenericSimBlock::kConfigurationNameLength, name);
    }
    std::string Name() const
    {
        char name[GenericSimBlock::kConfigurationNameLength + 1];
        GenericSimBlock::LoadText(
            block, GenericSimBlock::kConfigurationName, GenericSimBlock::kConfigurationNameLength, name, sizeof name);
        return name;
    }
    std::vector<std::string> Warnings() const
    {
        WarningList list {};
        processor.GetWarnings(list);
        std::vector<std::string> texts;
        for (int i = 0; i < list.count && i < ControlProcessor::kMaxWarnings; ++i) {
            texts.emplace_back(list.messages[i]);
        }
        return texts;
    }

    ControlProcessor processor;
    void* block = nullptr;
    TemporaryFolder folder;

private:
    std::string m_name;
};

} // namespace ConfigTest
