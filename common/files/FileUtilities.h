// The file and folder functions the installer's steps share. Paths are device paths; both
// separators count. Results say success; the reason for a failure is left in
// platform::lastError(). Nothing here logs or throws.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Files {

// True when the file can be opened for reading.
bool fileExists(std::u16string_view path);
// The size in bytes as a signed 32-bit value; 0 when the file cannot be opened or measured.
int32_t fileSize(std::u16string_view path);
// True when an entry of that name exists and is a folder. One trailing separator is allowed.
bool directoryExists(std::u16string_view path);
// Creates the folder and its missing parents; true when it is a folder afterwards. A file in
// the way gives false with last error 80.
bool createDirectoryTree(std::u16string_view path);
std::u16string stripTrailingSeparators(std::u16string_view path);
// Splits into folder and name; an existing folder is all folder.
void splitPath(std::u16string_view path, std::u16string& dir, std::u16string& name, bool noTrailingSeparator);
// Both refuse an existing destination folder and create the destination's parents. With
// overwrite, an existing destination file is deleted first (and stays gone if the copy fails).
bool copyFile(std::u16string_view source, std::u16string_view destination, bool overwrite);
bool moveDirectory(std::u16string_view source, std::u16string_view destination, bool overwrite);
// Removes a file, or a folder with everything below it; stops at the first item that cannot go.
bool removePath(std::u16string_view path);
// Appends every file below folder, depth first; extension (with its dot) filters exactly.
void collectFiles(std::u16string_view folder, std::optional<std::u16string_view> extension,
                  std::vector<std::u16string>& list);
// Flushes the buffers of the volume that holds path.
void flushVolume(std::u16string_view path);

// The file-system control request that flushes a volume's buffers.
constexpr uint32_t kFlushVolumeControlCode = 0x90084;

} // namespace Files
