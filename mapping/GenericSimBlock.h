// GenericSimBlock: the simulator's shared block. Every offset this program uses
// is named here, with memcpy-based load and store helpers; nothing else in the
// code spells a raw offset. The block is shared with programs that may write
// anything into it, so readers range-check whatever they index with.
#pragma once

#include <array>
#include <atomic>
#include <bit>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "the block's layout is little-endian");

namespace GenericSimBlock {

inline constexpr const char* kDefaultMappingName = "GenericSimSharedMemory";
inline constexpr std::uint32_t kSize = 132464;

// Version text: what follows the tag "KQ1010" in the layout header's revision line.
inline constexpr const char* kInterfaceBanner = "%Z% KQ_P_0001_02 KQ1010 KQ_P_0001_02_genericSim $Revision: 5.5.5";
inline constexpr const char* kVersionTag = "KQ1010";
inline constexpr const char* kVersionText = " KQ_P_0001_02_genericSim $Revision: 5.5.5";
inline constexpr std::size_t kVersionOffset = 0;
inline constexpr std::size_t kVersionLength = 64;

// Section addresses: low 32 bits of (block start + increment), written by the creator.
inline constexpr std::size_t kSectionAddressOffset = 2008;
inline constexpr std::size_t kSectionAddressCount = 10;
inline constexpr std::size_t kUnwrittenSectionAddress = 8; // the entry at 2040 is left alone
inline constexpr std::array<std::uint32_t, kSectionAddressCount> kSectionIncrements
    = { 0, 30088, 67384, 76448, 104784, 109464, 119128, 122256, 0, 1096 };

// Control outputs (doubles) and button bytes, written every cycle.
inline constexpr std::size_t kPitchOutput = 67392;
inline constexpr std::size_t kRollOutput = 67400;
inline constexpr std::size_t kPedalsOutput = 67408;
inline constexpr std::size_t kThrLvrLOutput = 67416;
inline constexpr std::size_t kThrLvrROutput = 67424;
inline constexpr std::size_t kTillerOutput = 67464;

inline constexpr std::size_t kApDiscPressed = 67472;
inline constexpr std::size_t kAtDiscPressed = 67473;
inline constexpr std::size_t kPttPressed = 67474;
inline constexpr std::size_t kBrakeLPressed = 67476;
inline constexpr std::size_t kBrakeRPressed = 67477;
inline constexpr std::size_t kReverserPressed = 67478;

// Simulator flags: written by the simulator only, two bytes each.
inline constexpr std::size_t kGearFlag1 = 75727;
inline constexpr std::size_t kGearFlag2 = 130343;
inline constexpr std::size_t kParkBrakeFlag1 = 75960;
inline constexpr std::size_t kParkBrakeFlag2 = 130555;

// ControlSettings: fourteen doubles.
inline constexpr std::size_t kControlSettings = 77032;
inline constexpr std::size_t kControlSettingsCount = 14;
inline constexpr std::size_t kPitchSensitivity = 77032;
inline constexpr std::size_t kPitchDeadBand = 77040;
inline constexpr std::size_t kRollSensitivity = 77048;
inline constexpr std::size_t kRollDeadBand = 77056;
inline constexpr std::size_t kPedalsSensitivity = 77064;
inline constexpr std::size_t kPedalsDeadBand = 77072;
inline constexpr std::size_t kTillerSensitivity = 77080;
inline constexpr std::size_t kTillerDeadBand = 77088;
inline constexpr std::size_t kThrLvrRFilterTimeConstant = 77096;
inline constexpr std::size_t kThrLvrLFilterTimeConstant = 77104;
inline constexpr std::size_t kThrLvrLSensitivity = 77112;
inline constexpr std::size_t kThrLvrLOffset = 77120;
inline constexpr std::size_t kThrLvrRSensitivity = 77128;
inline constexpr std::size_t kThrLvrROffset = 77136;

// Low bytes of the button numbers of A/P DISC, A/T DISC and PTT, for the simulator.
inline constexpr std::size_t kApDiscButtonMirror = 77144;
inline constexpr std::size_t kAtDiscButtonMirror = 77145;
inline constexpr std::size_t kPttButtonMirror = 77146;
// The tuning values and the mirrors after them: with the assignment area, what a set-up puts into the block.
inline constexpr std::size_t kSettingsAndMirrorsLength = kPttButtonMirror + 1 - kControlSettings;

inline constexpr std::size_t kUserCount = 119116;

// JoystickSetup: the assignment area, from here to the block's end.
inline constexpr std::size_t kJoystickSetup = 131044;
inline constexpr std::size_t kJoystickSetupSize = 1420;
inline constexpr std::size_t kConfigurationIndex = kJoystickSetup + 0;
inline constexpr std::size_t kDefaultJoystickId = kJoystickSetup + 4;
inline constexpr std::size_t kConfigurationName = kJoystickSetup + 8;
inline constexpr std::size_t kConfigurationNameLength = 60;

// AxisAssignment records (32 bytes) and their fields.
inline constexpr std::size_t kAxisRecordSize = 32;
inline constexpr std::size_t kPitchRecord = kJoystickSetup + 68;
inline constexpr std::size_t kRollRecord = kJoystickSetup + 100;
inline constexpr std::size_t kPedalsRecord = kJoystickSetup + 132;
inline constexpr std::size_t kTillerRecord = kJoystickSetup + 164;
inline constexpr std::size_t kThrLvrLRecord = kJoystickSetup + 196;
inline constexpr std::size_t kThrLvrRRecord = kJoystickSetup + 228;
inline constexpr std::size_t kEyeViewRecord = kJoystickSetup + 260;
inline constexpr std::size_t kThrustLeverFilterRecord = kJoystickSetup + 420;

// ButtonAssignment records (36 bytes), one per CockpitButton 0..16.
inline constexpr std::size_t kButtonRecordSize = 36;
inline constexpr std::size_t kButtonRecordCount = 17;
inline constexpr std::size_t kFirstButtonRecord = kJoystickSetup + 644;
constexpr std::size_t ButtonRecord(std::size_t button)
{
    return kFirstButtonRecord + kButtonRecordSize * button;
}

// Fields common to both record kinds, relative to the record.
inline constexpr std::size_t kRecordJoystickText = 0;
inline constexpr std::size_t kRecordJoystickTextLength = 20;
inline constexpr std::size_t kRecordJoystickId = 20;
inline constexpr std::size_t kRecordSlot = 24;
inline constexpr std::size_t kRecordInput = 28; // AxisInput, POV number or button number

static_assert(ButtonRecord(kButtonRecordCount) == kJoystickSetup + 1256);
static_assert(kJoystickSetup + kJoystickSetupSize == kSize);

// Typed access. `block` is the start of a mapped block of kSize bytes.
template <class T> T Load(const void* block, std::size_t offset)
{
    T value;
    std::memcpy(&value, static_cast<const unsigned char*>(block) + offset, sizeof value);
    return value;
}

template <class T> void Store(void* block, std::size_t offset, T value)
{
    std::memcpy(static_cast<unsigned char*>(block) + offset, &value, sizeof value);
}

inline double LoadDouble(const void* block, std::size_t offset)
{
    return Load<double>(block, offset);
}
inline void StoreDouble(void* block, std::size_t offset, double value)
{
    Store<double>(block, offset, value);
}
inline std::int32_t LoadInt32(const void* block, std::size_t offset)
{
    return Load<std::int32_t>(block, offset);
}
inline void StoreInt32(void* block, std::size_t offset, std::int32_t value)
{
    Store<std::int32_t>(block, offset, value);
}
inline std::uint8_t LoadByte(const void* block, std::size_t offset)
{
    return Load<std::uint8_t>(block, offset);
}
inline void StoreByte(void* block, std::size_t offset, std::uint8_t value)
{
    Store<std::uint8_t>(block, offset, value);
}

// A text field of `length` bytes: read up to its first NUL or its whole length.
inline std::size_t LoadText(const void* block, std::size_t offset, std::size_t length, char* out, std::size_t outSize)
{
    if (out == nullptr || outSize == 0) {
        return 0;
    }
    const auto* field = static_cast<const char*>(block) + offset;
    std::size_t n = 0;
    while (n < length && n + 1 < outSize && field[n] != '\0') {
        out[n] = field[n];
        ++n;
    }
    out[n] = '\0';
    return n;
}

// Stores at most length - 1 characters, NUL-padded to the whole field.
inline void StoreText(void* block, std::size_t offset, std::size_t length, const char* text)
{
    auto* field = static_cast<char*>(block) + offset;
    std::size_t n = 0;
    if (text != nullptr) {
        while (n + 1 < length && text[n] != '\0') {
            field[n] = text[n];
            ++n;
        }
    }
    std::memset(field + n, 0, length - n);
}

// The user count is changed atomically (the field is 4-byte aligned in every mapping).
inline std::int32_t AddToUserCount(void* block, std::int32_t delta)
{
    auto* field = reinterpret_cast<std::int32_t*>(static_cast<unsigned char*>(block) + kUserCount);
    return std::atomic_ref<std::int32_t>(*field).fetch_add(delta) + delta;
}
// An attacher counts itself: +1, held at the top of the range instead of wrapping.
inline std::int32_t JoinUserCount(void* block)
{
    auto* field = reinterpret_cast<std::int32_t*>(static_cast<unsigned char*>(block) + kUserCount);
    std::atomic_ref<std::int32_t> count(*field);
    std::int32_t seen = count.load();
    while (seen < INT32_MAX && !count.compare_exchange_weak(seen, seen + 1)) { }
    return seen < INT32_MAX ? seen + 1 : seen;
}
// A detacher leaves: above 1 it subtracts 1, otherwise (0, negative, any
// garbage) the count becomes 0. Returns the new count.
inline std::int32_t LeaveUserCount(void* block)
{
    auto* field = reinterpret_cast<std::int32_t*>(static_cast<unsigned char*>(block) + kUserCount);
    std::atomic_ref<std::int32_t> count(*field);
    std::int32_t seen = count.load();
    while (!count.compare_exchange_weak(seen, seen > 1 ? seen - 1 : 0)) { }
    return seen > 1 ? seen - 1 : 0;
}
inline std::int32_t LoadUserCount(const void* block)
{
    auto* field = reinterpret_cast<std::int32_t*>(
        const_cast<unsigned char*>(static_cast<const unsigned char*>(block)) + kUserCount);
    return std::atomic_ref<std::int32_t>(*field).load();
}
inline void StoreUserCount(void* block, std::int32_t value)
{
    auto* field = reinterpret_cast<std::int32_t*>(static_cast<unsigned char*>(block) + kUserCount);
    std::atomic_ref<std::int32_t>(*field).store(value);
}

} // namespace GenericSimBlock
