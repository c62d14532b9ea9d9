// A named event shared by the processes of one device root: manual or automatic reset, waited on
// with a time-out. The event exists while any process holds it open.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/Wait.h"

namespace platform {

class NamedEvent {
public:
    enum class Reset { Manual, Automatic };

    NamedEvent() = default;
    // Creates the event, or opens it when it exists (then lastError() is 183 and the existing
    // event keeps its kind and state).
    static NamedEvent create(std::u16string_view name, Reset reset, bool initiallySignaled);
    // Opens an existing event; fails with 2 when there is none.
    static NamedEvent open(std::u16string_view name);

    NamedEvent(NamedEvent&& other) noexcept;
    NamedEvent& operator=(NamedEvent&& other) noexcept;
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;
    ~NamedEvent();

    bool isOpen() const { return m_fd >= 0; }
    explicit operator bool() const { return isOpen(); }

    bool set();
    bool reset();
    // kWaitSignaled, kWaitTimeout or kWaitFailed. An automatic-reset event is reset by the wait
    // that sees it signalled.
    uint32_t wait(uint32_t timeoutMs);
    void close();

private:
    struct Shared;
    // Maps the event's state from m_fd.
    bool map();

    int m_fd = -1;
    Shared* m_shared = nullptr;
};

} // namespace platform
