// The scripted DirectInput: normal DirectInput 5 answers for the joysticks
// the test describes, scripted answers where asked, and a call log.
#include "tests/fakes/ScriptedDirectInput.h"

#include "devices/DirectInputBackends.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <stdexcept>

namespace {

std::string Hex(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof(text), "0x%04x", value);
    return text;
}

// Words joined by a separator (appending, not operator+, which g++ 12 misjudges at -O3).
std::string Join(std::initializer_list<std::string> words, const char* separator = " ")
{
    std::string joined;
    for (const std::string& word : words) {
        if (!joined.empty()) {
            joined.append(separator);
        }
        joined.append(word);
    }
    return joined;
}

const char* PropertyName(DIPROPID property)
{
    switch (property) {
    case DIPROP_RANGE:
        return "DIPROP_RANGE";
    case DIPROP_DEADZONE:
        return "DIPROP_DEADZONE";
    case DIPROP_SATURATION:
        return "DIPROP_SATURATION";
    default:
        return "DIPROP_OTHER";
    }
}

} // namespace

struct ScriptedDirectInput::Root final : IDirectInputA {
    explicit Root(ScriptedDirectInput& owner)
        : m_owner(owner)
    {
        ++m_owner.m_liveRoots;
    }
    ~Root() override { --m_owner.m_liveRoots; }

    std::uint32_t AddRef() override { return ++m_references; }
    std::uint32_t Release() override
    {
        m_owner.Record(kRoot, "Release root");
        const std::uint32_t left = --m_references;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    HRESULT EnumDevices(
        std::uint32_t deviceType, LPDIENUMDEVICESCALLBACKA callback, void* reference, std::uint32_t flags) override
    {
        m_owner.Record(kRoot, Join({ "EnumDevices", std::to_string(deviceType), std::to_string(flags) }));
        HRESULT result = DI_OK;
        if (m_owner.Scripted("EnumDevices", kRoot, result)) {
            return result;
        }
        if (callback == nullptr) {
            return DIERR_INVALIDPARAM;
        }
        if (deviceType != DIDEVTYPE_JOYSTICK) {
            return DI_OK;
        }
        // A copy: the callback may add nothing, but the test may inspect during it.
        const std::vector<Joystick> joysticks = m_owner.m_joysticks;
        for (const Joystick& joystick : joysticks) {
            if ((flags & DIEDFL_ATTACHEDONLY) != 0 && !joystick.attached) {
                continue;
            }
            const DIDEVICEINSTANCEA record = InstanceRecord(joystick);
            if (callback(&record, reference) != DIENUM_CONTINUE) {
                break;
            }
        }
        return DI_OK;
    }

    HRESULT CreateDevice(const GUID& instance, IDirectInputDeviceA** out, void* outer) override;

    HRESULT RunControlPanel(void* owner, std::uint32_t flags) override
    {
        (void)owner;
        m_owner.Record(kRoot, Join({ "RunControlPanel", std::to_string(flags) }));
        HRESULT result = DI_OK;
        m_owner.Scripted("RunControlPanel", kRoot, result);
        return result;
    }

    const char* GetFailureDetail() const override { return m_owner.m_failureDetail.c_str(); }

    const char* GetInstanceKey(const GUID& instance) override
    {
        for (const Joystick& joystick : m_owner.m_joysticks) {
            if (joystick.attached && InstanceRecord(joystick).guidInstance == instance) {
                return joystick.instanceKey.c_str();
            }
        }
        return "";
    }

    ScriptedDirectInput& m_owner;
    std::uint32_t m_references = 1;
};

struct ScriptedDirectInput::Device final : IDirectInputDevice2A {
    Device(ScriptedDirectInput& owner, int index)
        : m_owner(owner)
        , m_index(index)
    {
        ++m_owner.m_liveDevices;
    }
    ~Device() override
    {
        // Releasing the last reference ends the acquisition, as in DirectInput.
        Stick().acquired = false;
        --m_owner.m_liveDevices;
    }

    Joystick& Stick() { return m_owner.joystick(m_index); }

    // Logs the call and answers the script's result if there is one.
    bool Answer(const std::string& call, const std::string& arguments, HRESULT& result)
    {
        m_owner.Record(m_index, arguments.empty() ? call : Join({ call, arguments }));
        return m_owner.Scripted(call, m_index, result);
    }

    HRESULT QueryInterface(const GUID& iid, void** out) override
    {
        HRESULT result = DI_OK;
        const bool device2 = iid == IID_IDirectInputDevice2A;
        if (Answer("QueryInterface", device2 ? "IID_IDirectInputDevice2A" : "other", result)) {
            return result;
        }
        if (out == nullptr) {
            return DIERR_INVALIDPARAM;
        }
        if (!device2) {
            *out = nullptr;
            return DIERR_NOINTERFACE;
        }
        AddRef();
        *out = static_cast<IDirectInputDevice2A*>(this);
        return DI_OK;
    }

    std::uint32_t AddRef() override { return ++m_references; }
    std::uint32_t Release() override
    {
        // A scripted throw still releases, so the test can see both.
        bool throwing = false;
        try {
            HRESULT ignored = DI_OK;
            Answer("Release", "", ignored);
        } catch (...) {
            throwing = true;
        }
        const std::uint32_t left = --m_references;
        if (left == 0) {
            delete this;
        }
        if (throwing) {
            throw std::runtime_error("scripted failure in Release");
        }
        return left;
    }

    HRESULT SetDataFormat(const DIDATAFORMAT* format) override
    {
        HRESULT result = DI_OK;
        const bool joystick2 = format != nullptr && format->format == c_dfDIJoystick2.format;
        if (Answer("SetDataFormat", joystick2 ? "c_dfDIJoystick2" : "other", result)) {
            return result;
        }
        if (Stick().acquired) {
            return DIERR_ACQUIRED;
        }
        return joystick2 ? DI_OK : DIERR_INVALIDPARAM;
    }

    HRESULT SetCooperativeLevel(void* window, std::uint32_t flags) override
    {
        HRESULT result = DI_OK;
        m_owner.m_lastWindow = window;
        if (Answer("SetCooperativeLevel", Hex(flags), result)) {
            return result;
        }
        const bool oneSharing = ((flags & DISCL_EXCLUSIVE) != 0) != ((flags & DISCL_NONEXCLUSIVE) != 0);
        const bool oneFocus = ((flags & DISCL_FOREGROUND) != 0) != ((flags & DISCL_BACKGROUND) != 0);
        return oneSharing && oneFocus ? DI_OK : DIERR_INVALIDPARAM;
    }

    HRESULT SetProperty(DIPROPID property, const DIPROPHEADER* header) override
    {
        HRESULT result = DI_OK;
        std::string arguments = PropertyName(property);
        bool valid = header != nullptr && header->dwHeaderSize == sizeof(DIPROPHEADER);
        if (valid && property == DIPROP_RANGE) {
            valid = header->dwSize == sizeof(DIPROPRANGE);
            if (valid) {
                DIPROPRANGE range;
                std::memcpy(&range, header, sizeof(range));
                arguments = Join({ arguments, std::to_string(range.lMin), std::to_string(range.lMax) });
                valid = range.lMin < range.lMax;
            }
        } else if (valid) {
            valid = header->dwSize == sizeof(DIPROPDWORD);
            if (valid) {
                DIPROPDWORD word;
                std::memcpy(&word, header, sizeof(word));
                arguments = Join({ arguments, std::to_string(word.dwData) });
                valid = word.dwData <= 10000;
            }
        }
        if (header != nullptr) {
            arguments += header->dwHow == DIPH_DEVICE ? " DIPH_DEVICE " : " DIPH_OTHER ";
            arguments += std::to_string(header->dwObj);
        }
        if (Answer(std::string("SetProperty ") + PropertyName(property), arguments.substr(arguments.find(' ') + 1),
                result)) {
            return result;
        }
        return valid ? DI_OK : DIERR_INVALIDPARAM;
    }

    HRESULT GetObjectInfo(DIDEVICEOBJECTINSTANCEA* info, std::uint32_t object, std::uint32_t how) override
    {
        HRESULT result = DI_OK;
        if (Answer("GetObjectInfo", std::to_string(object), result)) {
            return result;
        }
        if (info == nullptr || info->dwSize != sizeof(DIDEVICEOBJECTINSTANCEA) || how != DIPH_BYOFFSET) {
            return DIERR_INVALIDPARAM;
        }
        const int button = static_cast<int>(object) - static_cast<int>(DIJOFS_BUTTON(0));
        if (button < 0 || button >= 128 || button >= Stick().buttonCount) {
            return DIERR_OBJECTNOTFOUND;
        }
        info->dwOfs = object;
        std::snprintf(info->tszName, sizeof(info->tszName), "Button %d", button);
        return DI_OK;
    }

    HRESULT GetDeviceState(std::uint32_t size, void* data) override
    {
        HRESULT result = DI_OK;
        Joystick& stick = Stick();
        if (Answer("GetDeviceState", "", result)) {
            if (SUCCEEDED(result) && data != nullptr && size == sizeof(DIJOYSTATE2)) {
                std::memcpy(data, &stick.state, sizeof(DIJOYSTATE2));
            }
            return result;
        }
        if (data == nullptr || size != sizeof(DIJOYSTATE2)) {
            return DIERR_INVALIDPARAM;
        }
        if (!stick.attached) {
            stick.acquired = false;
            return DIERR_INPUTLOST;
        }
        if (!stick.acquired) {
            return DIERR_NOTACQUIRED;
        }
        std::memcpy(data, &stick.state, sizeof(DIJOYSTATE2));
        return DI_OK;
    }

    HRESULT Acquire() override
    {
        HRESULT result = DI_OK;
        Joystick& stick = Stick();
        if (Answer("Acquire", "", result)) {
            if (result == DI_OK) {
                stick.acquired = true;
            }
            return result;
        }
        if (!stick.attached) {
            return DIERR_UNPLUGGED;
        }
        if (stick.acquired) {
            return S_FALSE;
        }
        stick.acquired = true;
        return DI_OK;
    }

    HRESULT Unacquire() override
    {
        HRESULT result = DI_OK;
        Joystick& stick = Stick();
        if (Answer("Unacquire", "", result)) {
            return result;
        }
        const bool was = stick.acquired;
        stick.acquired = false;
        return was ? DI_OK : DI_NOEFFECT;
    }

    HRESULT Poll() override
    {
        HRESULT result = DI_OK;
        Joystick& stick = Stick();
        if (Answer("Poll", "", result)) {
            return result;
        }
        if (!stick.attached) {
            return DIERR_INPUTLOST;
        }
        return stick.acquired ? DI_NOEFFECT : DIERR_NOTACQUIRED;
    }

    ScriptedDirectInput& m_owner;
    int m_index;
    std::uint32_t m_references = 1;
};

HRESULT ScriptedDirectInput::Root::CreateDevice(const GUID& instance, IDirectInputDeviceA** out, void* outer)
{
    int index = -1;
    for (int i = 0; i < m_owner.JoystickCount(); ++i) {
        if (m_owner.joystick(i).instanceGuid == instance) {
            index = i;
        }
    }
    m_owner.Record(
        kRoot, Join({ "CreateDevice", index < 0 ? std::string("unknown") : Join({ "j", std::to_string(index) }, "") }));
    HRESULT result = DI_OK;
    if (m_owner.Scripted("CreateDevice", kRoot, result)) {
        return result;
    }
    if (out == nullptr) {
        return DIERR_INVALIDPARAM;
    }
    *out = nullptr;
    if (outer != nullptr) {
        return DIERR_NOAGGREGATION;
    }
    if (index < 0) {
        return DIERR_DEVICENOTREG;
    }
    *out = new Device(m_owner, index);
    return DI_OK;
}

ScriptedDirectInput::ScriptedDirectInput()
{
    SetDirectInputOverride([this](void*, std::uint32_t version, IDirectInputA** out) { return Create(version, out); });
}

ScriptedDirectInput::~ScriptedDirectInput()
{
    ClearDirectInputOverride();
}

ScriptedDirectInput::Joystick& ScriptedDirectInput::AddJoystick(
    std::uint32_t joystickId, const std::string& name, int buttonCount)
{
    Joystick joystick;
    joystick.name = name;
    joystick.productName = Join({ name, "(product)" });
    joystick.joystickId = joystickId;
    joystick.buttonCount = buttonCount;
    for (std::uint32_t& pov : joystick.state.rgdwPOV) {
        pov = 0xFFFFFFFFu;
    }
    const auto number = static_cast<std::uint32_t>(m_joysticks.size());
    joystick.instanceGuid = { 0x5C21D000u + number, 0x7A1E, 0x11D0, { 0x80, 0x01, 0x44, 0x45, 0x53, 0x54, 0, 0 } };
    m_joysticks.push_back(joystick);
    return m_joysticks.back();
}

DIDEVICEINSTANCEA ScriptedDirectInput::InstanceRecord(const Joystick& joystick)
{
    DIDEVICEINSTANCEA record = {};
    record.dwSize = sizeof(record);
    record.guidInstance = joystick.instanceGuid;
    record.guidProduct = { joystick.joystickId, 0, 0, { 0, 0, 'P', 'I', 'D', 'V', 'I', 'D' } };
    record.dwDevType = DIDEVTYPE_JOYSTICK | (DIDEVTYPEJOYSTICK_TRADITIONAL << 8);
    std::snprintf(record.tszInstanceName, sizeof(record.tszInstanceName), "%s", joystick.name.c_str());
    std::snprintf(record.tszProductName, sizeof(record.tszProductName), "%s", joystick.productName.c_str());
    return record;
}

void ScriptedDirectInput::Script(const std::string& call, HRESULT result, int times, int joystickIndex)
{
    m_script.push_back({ call, joystickIndex, result, times, false });
}

void ScriptedDirectInput::ScriptThrow(const std::string& call, int joystickIndex)
{
    m_script.push_back({ call, joystickIndex, DI_OK, 1, true });
}

int ScriptedDirectInput::CountCalls(const std::string& entry) const
{
    int count = 0;
    for (const std::string& line : m_log) {
        if (line == entry) {
            ++count;
        }
    }
    return count;
}

HRESULT ScriptedDirectInput::Create(std::uint32_t version, IDirectInputA** out)
{
    Record(kRoot, Join({ "DirectInputCreateA", Hex(version) }));
    HRESULT result = DI_OK;
    if (Scripted("DirectInputCreateA", kRoot, result)) {
        return result;
    }
    result = CheckDirectInputVersion(version);
    if (FAILED(result)) {
        return result;
    }
    *out = new Root(*this);
    return DI_OK;
}

void ScriptedDirectInput::Record(int joystickIndex, const std::string& entry)
{
    if (!m_logging) {
        return;
    }
    m_log.push_back(joystickIndex == kRoot ? entry : Join({ Join({ "j", std::to_string(joystickIndex) }, ""), entry }));
}

bool ScriptedDirectInput::Scripted(const std::string& call, int joystickIndex, HRESULT& result)
{
    for (auto entry = m_script.begin(); entry != m_script.end(); ++entry) {
        if (entry->call != call || entry->joystick != joystickIndex || entry->times == 0) {
            continue;
        }
        if (entry->times > 0) {
            --entry->times;
        }
        if (entry->throws) {
            throw std::runtime_error(Join({ "scripted failure in", call }));
        }
        result = entry->result;
        return true;
    }
    return false;
}
