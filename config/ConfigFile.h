// Reading and writing a configuration file: exactly the 832 bytes of a
// ConfigImage, byte for byte, nothing else.
#pragma once

#include "ConfigImage.h"

#include <filesystem>

namespace qvc {

// The messages the window shows around a load or a save.
inline constexpr const char* kConfigOpenErrorText =
    "Error! Unable to open Configuration file. Check if file exist?";
inline constexpr const char* kConfigSizeErrorText = "Error! File corrupted. File size invalid.";
inline constexpr const char* kConfigCreateErrorText =
    "Error! Unable to create Configuration file. Check if disk is write-protected";
inline constexpr const char* kConfigLoadedText =
    "File open successful. Quorvel Command updated with settings from file.";

enum class ConfigReadResult { Ok, CannotOpen, BadSize };

// Reads the file into `image` when it is a regular file of exactly 832 bytes.
// CannotOpen: it cannot be opened, is not a regular file, or the read comes
// up short. BadSize: any other size. On anything but Ok `image` is untouched.
ConfigReadResult ReadConfigFile(const std::filesystem::path& path, ConfigImage& image);

// The message for a refused read (kConfigOpenErrorText or
// kConfigSizeErrorText); nullptr for Ok.
const char* ConfigReadErrorText(ConfigReadResult result);

// Writes the 832 bytes. They go to a new temporary file in the target's
// folder, which is flushed to the disk and closed, and only then renamed over
// the target; a file that was there is replaced whole or not at all and keeps
// its permission bits. A symbolic link is followed: its target is written and
// the link stays. False when anything fails; the temporary file is then
// removed and an existing target is left as it was.
// An existing target that cannot be written is refused and left untouched;
// one without any write permission bit counts as such even for root. A
// writable file in a folder that cannot be written is rewritten in place,
// where a failure part-way can leave it damaged; a new file cannot be made
// there.
bool WriteConfigFile(const std::filesystem::path& path, const ConfigImage& image);

} // namespace qvc
