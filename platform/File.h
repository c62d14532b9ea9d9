// Files and folders addressed by device paths.
// Calls return false (or an invalid object) on failure and leave the reason in lastError().
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

enum FileAttribute : uint32_t {
    kAttributeReadOnly = 0x01,
    kAttributeHidden = 0x02,
    kAttributeDirectory = 0x10,
    kAttributeArchive = 0x20,
    kAttributeNormal = 0x80,
};

constexpr uint32_t kInvalidAttributes = 0xFFFFFFFF;

// An open file; move-only, closes in its destructor.
class File {
public:
    enum class Access { Read, Write, ReadWrite };
    enum class Disposition {
        CreateNew,        // fails with 80 when the file exists
        CreateAlways,     // creates or truncates
        OpenExisting,     // fails with 2 when missing
        OpenAlways,       // opens or creates
        AppendAlways,     // opens or creates; every write goes to the end
    };
    enum class Origin { Begin, Current, End };

    File() = default;
    static File open(std::u16string_view devicePath, Access access, Disposition disposition);

    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File();

    bool isOpen() const { return m_fd >= 0; }
    explicit operator bool() const { return isOpen(); }

    // Reads up to size bytes; the count read (0 at the end), or -1 on failure.
    int64_t read(void* buffer, size_t size);
    // Writes all of data; false when any of it could not be written.
    bool write(const void* data, size_t size);
    bool write(std::string_view data) { return write(data.data(), data.size()); }
    // The new position, or -1 on failure.
    int64_t seek(int64_t offset, Origin origin);
    // The size in bytes, or -1 on failure.
    int64_t size() const;
    // Pushes written data to the storage device.
    bool flush();
    bool close();

private:
    explicit File(int fd) : m_fd(fd) {}
    int m_fd = -1;
};

// One entry of a folder search.
struct FindData {
    std::u16string name;
    uint32_t attributes = 0;
    uint64_t size = 0;
};

// A search over one folder for names matching a pattern ("*" and "?" wildcards, case ignored).
// The state folder is never listed.
class FindFile {
public:
    FindFile() = default;
    // Starts the search and fills first with the first match. Fails with 2 when nothing
    // matches, 3 when the folder is missing.
    static FindFile first(std::u16string_view devicePattern, FindData& first);

    FindFile(FindFile&& other) noexcept;
    FindFile& operator=(FindFile&& other) noexcept;
    FindFile(const FindFile&) = delete;
    FindFile& operator=(const FindFile&) = delete;
    ~FindFile();

    bool isOpen() const { return m_state != nullptr; }
    explicit operator bool() const { return isOpen(); }
    // The next match; false with last error 18 after the last one.
    bool next(FindData& entry);
    void close();

private:
    struct State;
    State* m_state = nullptr;
};

uint32_t fileAttributes(std::u16string_view devicePath);
// Only the read-only bit can be changed.
bool setFileAttributes(std::u16string_view devicePath, uint32_t attributes);
bool deleteFile(std::u16string_view devicePath);
// Copies a file's content and mode. With failIfExists, an existing destination gives 80.
bool copyFile(std::u16string_view source, std::u16string_view destination, bool failIfExists);
// Renames a file or a folder with its content. An existing destination gives 183.
bool moveFile(std::u16string_view source, std::u16string_view destination);
bool createDirectory(std::u16string_view devicePath);
bool removeDirectory(std::u16string_view devicePath);
// Flushes the buffers of the file system that holds devicePath.
bool flushVolume(std::u16string_view devicePath);

// The 8-bit path under which a C library's own file access (fopen) reaches a device file, as the
// device converts a wide path for it: at most 259 bytes in the system code page, else nullopt
// (last error 206).
std::optional<std::string> cLibraryPath(std::u16string_view devicePath);

// True when a device path names a program that can be started: on Linux, files created by the
// platform with a name ending in ".exe" get the execute bit, because archives keep no modes.
bool isProgramName(std::u16string_view devicePath);

} // namespace platform
