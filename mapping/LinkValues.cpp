// Block fields to link values and back, through the layout's named offsets and
// the axis and button tables.
#include "mapping/LinkValues.h"

#include "mapping/CockpitButtons.h"
#include "mapping/GenericSimBlock.h"
#include "mapping/OutputLimits.h"

#include <cmath>
#include <cstring>

namespace Block = GenericSimBlock;

static_assert(sizeof(SetUpValues)
        == 8 + kConfigurationNameLength + sizeof(AxisAssignment) * CockpitAxisTable::kRowCount
            + sizeof(ButtonAssignment) * kCockpitButtonCount + sizeof(double) * kTuningValueCount,
    "SetUpValues has no unnamed padding");
static_assert(sizeof(LinkSetUp) == sizeof(SetUpValues) + LinkSetUp::kMirrors + 5, "nor has LinkSetUp");

namespace {

constexpr std::size_t kMirrorOffsets[LinkSetUp::kMirrors]
    = { Block::kApDiscButtonMirror, Block::kAtDiscButtonMirror, Block::kPttButtonMirror };

bool StickWithinLimits(double value)
{
    return std::isfinite(value) && std::fabs(value) <= OutputLimits::kStickLimitDegrees;
}

bool LeverWithinLimits(double value)
{
    return std::isfinite(value) && value >= OutputLimits::kThrustLeverLowest
        && value <= OutputLimits::kThrustLeverHighest;
}

} // namespace

bool LinkSetUp::SameAs(const LinkSetUp& other) const
{
    return std::memcmp(this, &other, sizeof(LinkSetUp)) == 0;
}

ControlOutputs ReadControlOutputs(const void* block)
{
    ControlOutputs out;
    out.pitch = Block::LoadDouble(block, Block::kPitchOutput);
    out.roll = Block::LoadDouble(block, Block::kRollOutput);
    out.pedals = Block::LoadDouble(block, Block::kPedalsOutput);
    out.thrLvrL = Block::LoadDouble(block, Block::kThrLvrLOutput);
    out.thrLvrR = Block::LoadDouble(block, Block::kThrLvrROutput);
    out.tiller = Block::LoadDouble(block, Block::kTillerOutput);
    out.apDisc = Block::LoadByte(block, Block::kApDiscPressed);
    out.atDisc = Block::LoadByte(block, Block::kAtDiscPressed);
    out.ptt = Block::LoadByte(block, Block::kPttPressed);
    out.brakeL = Block::LoadByte(block, Block::kBrakeLPressed);
    out.brakeR = Block::LoadByte(block, Block::kBrakeRPressed);
    out.reverser = Block::LoadByte(block, Block::kReverserPressed);
    return out;
}

void WriteControlOutputs(void* block, const ControlOutputs& outputs)
{
    Block::StoreDouble(block, Block::kPitchOutput, outputs.pitch);
    Block::StoreDouble(block, Block::kRollOutput, outputs.roll);
    Block::StoreDouble(block, Block::kPedalsOutput, outputs.pedals);
    Block::StoreDouble(block, Block::kThrLvrLOutput, outputs.thrLvrL);
    Block::StoreDouble(block, Block::kThrLvrROutput, outputs.thrLvrR);
    Block::StoreDouble(block, Block::kTillerOutput, outputs.tiller);
    Block::StoreByte(block, Block::kApDiscPressed, outputs.apDisc);
    Block::StoreByte(block, Block::kAtDiscPressed, outputs.atDisc);
    Block::StoreByte(block, Block::kPttPressed, outputs.ptt);
    Block::StoreByte(block, Block::kBrakeLPressed, outputs.brakeL);
    Block::StoreByte(block, Block::kBrakeRPressed, outputs.brakeR);
    Block::StoreByte(block, Block::kReverserPressed, outputs.reverser);
}

ControlOutputs ReleasedOutputs(const ControlOutputs& outputs)
{
    ControlOutputs released;
    released.thrLvrL = outputs.thrLvrL;
    released.thrLvrR = outputs.thrLvrR;
    return released;
}

void ReleaseControlOutputs(void* block)
{
    for (const CockpitAxisRow& row : CockpitAxisTable::kRows) {
        if (row.kind == AxisKind::StickAxis) {
            Block::StoreDouble(block, row.output, 0.0);
        }
    }
    for (const CockpitButtonRow& row : CockpitButtonTable::kRows) {
        if (row.published != 0) {
            Block::StoreByte(block, row.published, 0);
        }
    }
}

bool OutputsWithinLimits(const ControlOutputs& outputs)
{
    for (const double stick : { outputs.pitch, outputs.roll, outputs.pedals, outputs.tiller }) {
        if (!StickWithinLimits(stick)) {
            return false;
        }
    }
    if (!LeverWithinLimits(outputs.thrLvrL) || !LeverWithinLimits(outputs.thrLvrR)) {
        return false;
    }
    for (const std::uint8_t pressed :
        { outputs.apDisc, outputs.atDisc, outputs.ptt, outputs.brakeL, outputs.brakeR, outputs.reverser }) {
        if (pressed > 1) {
            return false;
        }
    }
    return true;
}

void ReadLinkSetUp(const void* block, LinkSetUp& out)
{
    out.values = BlockSetUp(const_cast<void*>(block)).Take();
    for (int i = 0; i < LinkSetUp::kMirrors; ++i) {
        out.mirrors[i] = Block::LoadByte(block, kMirrorOffsets[i]);
    }
}

void WriteLinkSetUp(void* block, const LinkSetUp& setUp)
{
    // The texts as fields that end within themselves, whatever came.
    SetUpValues values = setUp.values;
    values.configurationName[sizeof values.configurationName - 1] = '\0';
    for (AxisAssignment& record : values.axes) {
        record.joystickText[sizeof record.joystickText - 1] = '\0';
    }
    for (ButtonAssignment& record : values.buttons) {
        record.joystickText[sizeof record.joystickText - 1] = '\0';
    }
    BlockSetUp(block).PutBack(values);
    for (int i = 0; i < LinkSetUp::kMirrors; ++i) {
        Block::StoreByte(block, kMirrorOffsets[i], setUp.mirrors[i]);
    }
}

SimulatorFlagBytes ReadSimulatorFlags(const void* block)
{
    SimulatorFlagBytes flags;
    flags.gear[0] = Block::LoadByte(block, Block::kGearFlag1);
    flags.gear[1] = Block::LoadByte(block, Block::kGearFlag2);
    flags.parkBrake[0] = Block::LoadByte(block, Block::kParkBrakeFlag1);
    flags.parkBrake[1] = Block::LoadByte(block, Block::kParkBrakeFlag2);
    return flags;
}

void WriteSimulatorFlags(void* block, const SimulatorFlagBytes& flags)
{
    Block::StoreByte(block, Block::kGearFlag1, flags.gear[0]);
    Block::StoreByte(block, Block::kGearFlag2, flags.gear[1]);
    Block::StoreByte(block, Block::kParkBrakeFlag1, flags.parkBrake[0]);
    Block::StoreByte(block, Block::kParkBrakeFlag2, flags.parkBrake[1]);
}
