// Processes of the device: start one from a device path, open one by identifier, wait for it,
// read its exit code, terminate it. Processes of this platform record their exit code when they
// end through exitProcess(), so that a process that did not start them can read it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Wait.h"

namespace platform {

class ProcessHandle {
public:
    ProcessHandle() = default;

    // Starts imagePath with commandLine as its whole command line (the first token names the
    // program by convention, and the image path written out unquoted counts as one token; an
    // empty command line means the image path alone). Fails with 2 or
    // 3 when the image is missing, 5 when it cannot be run, 193 when it is no program.
    static ProcessHandle start(std::u16string_view imagePath, std::u16string_view commandLine);
    // Opens a running (or ended but not yet reaped) process; 87 when there is none.
    static ProcessHandle open(uint32_t processId);

    ProcessHandle(ProcessHandle&& other) noexcept;
    ProcessHandle& operator=(ProcessHandle&& other) noexcept;
    ProcessHandle(const ProcessHandle&) = delete;
    ProcessHandle& operator=(const ProcessHandle&) = delete;
    ~ProcessHandle();

    bool isOpen() const { return m_fd >= 0; }
    explicit operator bool() const { return isOpen(); }
    uint32_t id() const { return m_id; }

    // kWaitSignaled once the process has ended, kWaitTimeout, or kWaitFailed.
    uint32_t wait(uint32_t timeoutMs);
    // kStillActive while it runs. False (last error set) when the process ended without
    // recording a code that can be read.
    bool exitCode(uint32_t& code);
    // Ends the process at once; code becomes its exit code.
    bool terminate(uint32_t code);
    void close();

private:
    int m_fd = -1;
    uint32_t m_id = 0;
    uint64_t m_startTime = 0;
    bool m_isChild = false;
    bool m_reaped = false;
    uint32_t m_childCode = 0;
};

// Ends the calling process with code, recording it for processes that hold it open.
[[noreturn]] void exitProcess(uint32_t code);

// The identifier of the calling process.
uint32_t currentProcessId();

// For tools and tests that run a whole process tree: processes whose parent ends become children
// of the calling process, so that their end can be collected below.
bool becomeOrphanCollector();

struct EndedProcess {
    uint32_t id = 0;
    std::string name;      // the program's file name, cut to 15 bytes by the system
    uint32_t exitCode = 0; // the recorded code when there is one
};
// Waits up to timeoutMs for any child (adopted ones included) to end, and reaps it.
std::optional<EndedProcess> waitForEndedChild(uint32_t timeoutMs);

// Cuts a command line into tokens: blanks (space, tab, CR, LF) separate, double quotes group
// without nesting or escapes, an empty pair of quotes is an empty token.
std::vector<std::u16string> splitCommandLine(std::u16string_view commandLine);

} // namespace platform
