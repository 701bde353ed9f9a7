// Configuration files of any size and content: read, applied as a load
// applies them, packed back, and then used by the model's operations.
//
// Input: the file's bytes. Its reserved bytes choose the model (byte 0) and
// the input, output, group and presets worked on (bytes 419..423), so that
// every size of switcher meets every table.
#include "FuzzCheck.h"
#include "config/ConfigFile.h"
#include "config/ConfigImage.h"
#include "model/Audio.h"
#include "model/DeviceState.h"
#include "model/Grouping.h"
#include "model/Labels.h"
#include "model/Presets.h"
#include "model/Switching.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <unistd.h>

namespace {

using namespace qvc;

constexpr std::uint8_t kMarker = 0x5A;
constexpr AvMode kModes[] = {AvMode::AudioVideo, AvMode::VideoOnly, AvMode::AudioOnly};

// Every line an operation hands to the link is one line of printable ASCII.
void CheckLines(const Commands& commands) {
    for (const Command& c : commands) {
        QVC_FUZZ_CHECK(!c.line.empty());
        QVC_FUZZ_CHECK(std::all_of(c.line.begin(), c.line.end(),
                                   [](char ch) { return ch >= 0x20 && ch < 0x7F; }));
    }
}

// The file each run writes and reads: in memory where the system offers it.
const std::filesystem::path& FilePath() {
    static const std::filesystem::path path = [] {
        std::error_code error;
        const std::filesystem::path shm = "/dev/shm";
        const auto folder = std::filesystem::is_directory(shm, error)
                                ? shm
                                : std::filesystem::temp_directory_path();
        return folder / ("qvc-fuzz-config-" + std::to_string(::getpid()));
    }();
    return path;
}

// Packing what a load applied gives the same tables and labels again.
void CheckRoundTrip(const DeviceState& loaded, const LabelTables& labels) {
    ConfigImage image;
    PackTables(image, loaded);
    DeviceState again = loaded;
    again.outputs.bytes.fill(0);
    again.levels.bytes.fill(0);
    again.groups.bytes.fill(0);
    UnpackTables(image, again);
    QVC_FUZZ_CHECK(again.outputs.bytes == loaded.outputs.bytes);
    QVC_FUZZ_CHECK(again.levels.bytes == loaded.levels.bytes);
    QVC_FUZZ_CHECK(again.groups.bytes == loaded.groups.bytes);

    PackLabels(image, labels, kLabelsPerKind, kLabelsPerKind);
    const LabelTables unpacked = UnpackLabels(image);
    for (const LabelKind kind :
         {LabelKind::Input, LabelKind::Output, LabelKind::Group, LabelKind::Preset}) {
        QVC_FUZZ_CHECK(unpacked.Of(kind) == labels.Of(kind));
        for (const std::string& label : labels.Of(kind)) {
            QVC_FUZZ_CHECK(label.size() <= LabelSlot::kSize);
            QVC_FUZZ_CHECK(label.find('\0') == std::string::npos);
        }
    }
}

// Numbers from -1 to 16 taken from the image's reserved bytes: the file
// chooses which input, group and presets the operations work on, beyond the
// model's and the tables' ends included.
int Pick(const ConfigImage& image, std::size_t reserved) {
    return image.bytes[reserved] % 18 - 1;
}

void Route(const ConfigImage& image, DeviceState& state, Switching& switching) {
    const int k = Pick(image, 419);
    for (const AvMode mode : kModes) {
        switching.SelectInput(k);
        for (int o = -1; o <= kMaxOutputs; ++o) {
            (void)switching.OutputEnabledFor(o, k);
            (void)switching.ColourFor(k, o);
            CheckLines(switching.ToggleOutput(o, mode));
            CheckLines(switching.PropagateToGroup(o, mode));
            CheckLines(switching.SetOutputMute(o, o % 2 == 0));
        }
        CheckLines(mode == AvMode::VideoOnly ? switching.CancelPending() : switching.Take());
    }
    for (int i = -1; i <= kMaxInputs; ++i) {
        const int level = i >= 0 && i < kMaxInputs ? state.levels.level(i) : 0;
        (void)LevelToDbText(level);
        CheckLines(SpinAudioLevel(state, i, LevelToDb(LevelOnScale(level)), i % 2 == 0));
        CheckLines(SetAudioLevel(state, i, level + i));
    }
}

void Group(const ConfigImage& image, Grouping& grouping) {
    const int o = Pick(image, 420);
    const int k = Pick(image, 421);
    for (int g = -1; g <= kMaxGroups; ++g) {
        CheckLines(grouping.ToggleGroupOutput(g, o));
        CheckLines(grouping.ToggleGroupInput(g, k).commands);
        (void)grouping.IsOutputMember(g, o);
        (void)grouping.OutputAvailableFor(g, o);
        (void)grouping.IsInputMember(g, k);
        (void)grouping.Exists(g);
        (void)grouping.HasMembers(g);
    }
    CheckLines(grouping.RemoveGroup(Pick(image, 422)));
    CheckLines(grouping.RemoveAllGroups());
}

void Recall(const ConfigImage& image, Presets& presets) {
    for (const int p : {Pick(image, 422), Pick(image, 423)}) {
        CheckLines(presets.RecallPreset(p, Presets::RecallMode::Preview));
        if (p % 2 == 0) {
            CheckLines(presets.ConfirmRecall());
        } else {
            (void)presets.CancelRecall();
        }
        CheckLines(presets.RecallPreset(p, Presets::RecallMode::Direct));
        CheckLines(presets.StorePreset(p));
        (void)presets.PresetIsStored(p);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        std::ofstream file(FilePath(), std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    ConfigImage image;
    image.bytes.fill(kMarker);
    const ConfigReadResult result = ReadConfigFile(FilePath(), image);
    if (result != ConfigReadResult::Ok) {
        // A refused file leaves the image as it was and has its message.
        QVC_FUZZ_CHECK(size != ConfigImage::kSize);
        QVC_FUZZ_CHECK(std::all_of(image.bytes.begin(), image.bytes.end(),
                                   [](std::uint8_t b) { return b == kMarker; }));
        QVC_FUZZ_CHECK(ConfigReadErrorText(result) != nullptr);
        return 0;
    }
    QVC_FUZZ_CHECK(size == ConfigImage::kSize);
    QVC_FUZZ_CHECK(std::equal(image.bytes.begin(), image.bytes.end(), data));

    const LabelTables labels = UnpackLabels(image);
    DeviceState state;
    state.model.ApplyModelCode(static_cast<std::uint8_t>(image.bytes[0] & 3));
    UnpackTables(image, state);
    CheckRoundTrip(state, labels);

    Switching switching(state);
    Grouping grouping(state);
    Presets presets(state, switching);
    Route(image, state, switching);
    Group(image, grouping);
    UnpackTables(image, state);
    Recall(image, presets);
    CheckLines(switching.CancelPending());
    CheckLines(switching.ClearAllRouting());
    return 0;
}
