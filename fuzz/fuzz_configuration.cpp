// Arbitrary bytes as a joystick configuration file: every lookup form of
// Ini_File_Reader, CIniRead with its converters, and LoadConfiguration into a
// block of its own (TAVELIN_SHM_NAME). Whatever loads must also survive a
// save and a second load, and the second save must repeat the first byte for
// byte. TAVELIN_FUZZ_DIR is where the input and the saved files are kept.
// The same bytes as Calibration.ini: every axis it keeps is a valid
// calibration, and what it keeps reads back the same once written.
#include "config/CalibrationFile.h"
#include "config/Ini_File_Reader.h"
#include "mapping/ControlProcessor.h"
#include "mapping/GenericSimBlock.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

namespace {

std::string g_input;
std::string g_saved;
std::string g_resaved;
ControlProcessor g_processor;

void Fail(const char* what, const std::string& detail)
{
    std::fprintf(stderr, "fuzz_configuration: %s\n%s\n", what, detail.c_str());
    std::abort();
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A short text taken from the input itself, so lookups also meet names the
// file really has.
std::string Word(const std::uint8_t* data, std::size_t size, std::size_t from)
{
    std::string word;
    for (std::size_t i = from; i < size && word.size() < 40; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c == '\n' || c == '\r' || c == '=' || c == '[' || c == ']') {
            break;
        }
        word += c;
    }
    return word;
}

// Every lookup form once, each on a section and key picked by the input.
void LookUpEverything(const std::uint8_t* data, std::size_t size)
{
    Ini_File_Reader reader;
    if (!reader.OpenFile(g_input)) {
        return;
    }
    const std::string ownSection = Word(data, size, 1);
    const std::string ownKey = Word(data, size, size / 2);
    const char* const sections[]
        = { "CONFIG_DETAILS", "FLIGHT_CONTROLS", "BUTTON_CONTROLS", "ACCESS", ownSection.c_str() };
    const char* const keys[] = { "NAME", "JOY_ID", "PITCH_CNTL", "AP_BTN", ownKey.c_str() };
    const auto pick = [&](std::size_t form) {
        const std::uint8_t byte = size > 0 ? data[(form * 31) % size] : 0;
        return std::make_pair(sections[byte % 5], keys[(byte / 5) % 5]);
    };
    char small[8];
    char large[2048];
    int i = 0;
    std::int16_t s = 0;
    float f = 0;
    double d = 0;
    long l = 0;
    bool b = false;
    auto [s0, k0] = pick(0);
    reader.LookForValue(s0, k0, small, sizeof small);
    auto [s1, k1] = pick(1);
    reader.LookForValueAsWritten(s1, k1, large, sizeof large);
    auto [s2, k2] = pick(2);
    reader.LookForValue(s2, k2, i);
    auto [s3, k3] = pick(3);
    reader.LookForValue(s3, k3, s);
    auto [s4, k4] = pick(4);
    reader.LookForValue(s4, k4, f);
    auto [s5, k5] = pick(5);
    reader.LookForValue(s5, k5, d);
    auto [s6, k6] = pick(6);
    reader.LookForValue(s6, k6, l);
    auto [s7, k7] = pick(7);
    reader.LookForValue(s7, k7, b);
    auto [s8, k8] = pick(8);
    reader.LookForValue(s8, k8);
}

void ReadThroughCIniRead(const std::uint8_t* data, std::size_t size)
{
    CIniRead ini(g_input.c_str());
    if (!ini.Open()) {
        return;
    }
    const std::string ownKey = Word(data, size, 0);
    for (const char* key : { "NAME", "SIDE_STICK_P_CNTL", ownKey.c_str() }) {
        for (const char* section : { "CONFIG_DETAILS", "FLIGHT_CONTROLS" }) {
            char value[CIniRead::kValueLength];
            InitDataRequest request;
            request.section = section;
            request.key = key;
            request.destination = value;
            request.length = static_cast<int>(sizeof value);
            if (ini.GetInitData(request)) {
                double d = 0;
                long l = 0;
                int i = 0;
                CIniRead::ParseDouble(value, d);
                CIniRead::ParseLong(value, l);
                CIniRead::ParseInt(value, i);
                CIniRead::IsTrueText(value);
            }
        }
    }
}

void LoadSaveLoadSave()
{
    if (!g_processor.LoadConfiguration(g_input.c_str())) {
        return;
    }
    char name[GenericSimBlock::kConfigurationNameLength + 1];
    GenericSimBlock::LoadText(g_processor.GetBlock(), GenericSimBlock::kConfigurationName,
        GenericSimBlock::kConfigurationNameLength, name, sizeof name);
    if (!g_processor.SaveConfiguration(7, g_saved.c_str())) {
        Fail("a loaded set-up could not be saved", g_processor.FullErrorText());
    }
    // The format has no quoting: a name holding "[" ends its own section.
    if (std::strchr(name, '[') != nullptr) {
        return;
    }
    if (!g_processor.LoadConfiguration(g_saved.c_str())) {
        Fail("a saved file does not load", g_processor.FullErrorText());
    }
    if (g_processor.HasWarnings()) {
        Fail("a saved file loads with warnings", ReadAll(g_saved));
    }
    if (!g_processor.SaveConfiguration(7, g_resaved.c_str())) {
        Fail("a reloaded set-up could not be saved", g_processor.FullErrorText());
    }
    const std::string first = ReadAll(g_saved);
    const std::string second = ReadAll(g_resaved);
    if (first != second) {
        Fail("save, load and save again changed the file", first + "\n----\n" + second);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const char* folder = std::getenv("TAVELIN_FUZZ_DIR");
    const std::string base = std::string(folder != nullptr && *folder != '\0' ? folder : ".") + "/";
    g_input = base + "input.ini";
    g_saved = base + "saved.ini";
    g_resaved = base + "resaved.ini";
    if (!g_processor.Attach()) {
        Fail("the block could not be attached", g_processor.FullErrorText());
    }
    return 0;
}

void ReadAsCalibration(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const CalibrationFile::ReadResult read = CalibrationFile::Parse(text, "Calibration.ini");
    for (const JoystickCalibration& entry : read.table.Entries()) {
        for (const AxisCalibration& axis : entry.axes) {
            if (!axis.Valid()) {
                Fail("an invalid calibration was kept", text);
            }
            for (const std::int32_t raw : { -10000, axis.minimum, axis.centre, axis.maximum, 10000 }) {
                const std::int32_t value = axis.Apply(raw);
                if (value < -10000 || value > 10000) {
                    Fail("a calibrated value out of range", text);
                }
            }
        }
    }
    for (const std::string& note : read.notes) {
        if (note.size() > 255) {
            Fail("a note longer than the warning list holds", note);
        }
    }
    const std::string written = CalibrationFile::Text(read.table);
    if (!(CalibrationFile::Parse(written, "Calibration.ini").table == read.table)) {
        Fail("the calibration does not read back as written", written);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    {
        std::ofstream out(g_input, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    LookUpEverything(data, size);
    ReadThroughCIniRead(data, size);
    LoadSaveLoadSave();
    ReadAsCalibration(data, size);
    return 0;
}
