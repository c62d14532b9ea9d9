// A named mutex shared by the processes of one device root.
// The object exists while any process holds it open; it is released when its holder closes it
// or ends, however it ends.
#pragma once

#include <string_view>

namespace platform {

class NamedMutex {
public:
    NamedMutex() = default;
    // Opens the mutex, creating it when nobody holds it. On success lastError() is 183 when the
    // object already existed and 0 when this call created it.
    static NamedMutex create(std::u16string_view name);

    NamedMutex(NamedMutex&& other) noexcept;
    NamedMutex& operator=(NamedMutex&& other) noexcept;
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;
    ~NamedMutex();

    bool isOpen() const { return m_fd >= 0; }
    explicit operator bool() const { return isOpen(); }
    // Hands the open object to the process: it stays held until the process ends.
    void release() { m_fd = -1; }
    void close();

private:
    explicit NamedMutex(int fd) : m_fd(fd) {}
    int m_fd = -1;
};

} // namespace platform
