#include "platform/ProcessHandle.h"

#include "platform/DeviceRoot.h"
#include "platform/Error.h"
#include "platform/File.h"
#include "platform/Text.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace platform {

namespace {

// One numeric field of /proc/<pid>/stat (fields count from 1; the command name is field 2).
uint64_t statField(uint32_t pid, int wanted)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = stat.rfind(')');
    if (close == std::string::npos)
        return 0;
    size_t position = close + 2;
    for (int field = 3; field < wanted; ++field) {
        position = stat.find(' ', position);
        if (position == std::string::npos)
            return 0;
        ++position;
    }
    return std::strtoull(stat.c_str() + position, nullptr, 10);
}

// Identifies one process even after its identifier is reused: the start time in clock ticks.
uint64_t processStartTime(uint32_t pid) { return statField(pid, 22); }

uint32_t parentOf(uint32_t pid) { return static_cast<uint32_t>(statField(pid, 4)); }

std::string exitRecordFolder()
{
    std::string folder = DeviceRoot::stateFolder() + "/processes";
    ::mkdir(folder.c_str(), 0700);
    return folder;
}

std::string exitRecordPath(uint32_t pid, uint64_t startTime)
{
    return exitRecordFolder() + "/" + std::to_string(pid) + "-" + std::to_string(startTime);
}

bool writeExitRecord(uint32_t pid, uint64_t startTime, uint32_t code)
{
    const std::string path = exitRecordPath(pid, startTime);
    const std::string temporary = path + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const std::string text = std::to_string(code);
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return written && ::rename(temporary.c_str(), path.c_str()) == 0;
}

bool readExitRecord(uint32_t pid, uint64_t startTime, uint32_t& code)
{
    std::ifstream in(exitRecordPath(pid, startTime));
    unsigned long value = 0;
    if (!(in >> value))
        return false;
    code = static_cast<uint32_t>(value);
    return true;
}

// Records of processes that are gone are kept for a while for late readers, then dropped.
void pruneExitRecords()
{
    const std::string folder = exitRecordFolder();
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    const time_t now = ::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        const auto dash = name.find('-');
        if (dash == std::string::npos)
            continue;
        struct stat st {};
        const std::string path = folder + "/" + name;
        if (::stat(path.c_str(), &st) != 0 || now - st.st_mtime < 600)
            continue;
        if (::access(("/proc/" + name.substr(0, dash)).c_str(), F_OK) != 0)
            ::unlink(path.c_str());
    }
    ::closedir(dir);
}

int pidfdOpen(uint32_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0)); }

bool isBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

} // namespace

std::vector<std::u16string> splitCommandLine(std::u16string_view line)
{
    std::vector<std::u16string> tokens;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        if (i >= line.size())
            break;
        size_t start, end;
        if (line[i] == u'"') {
            start = i + 1;
            end = line.find(u'"', start);
        } else {
            start = i;
            end = start;
            while (end < line.size() && !isBlank(line[end]))
                ++end;
        }
        if (end == std::u16string_view::npos)
            end = line.size();
        // A lone quote at the very end starts no token; an empty pair of quotes is one.
        if (start < line.size())
            tokens.emplace_back(line.substr(start, end - start));
        i = end + 1;
    }
    return tokens;
}

ProcessHandle ProcessHandle::start(std::u16string_view imagePath, std::u16string_view commandLine)
{
    const auto host = DeviceRoot::toHost(imagePath);
    if (!host)
        return ProcessHandle();
    struct stat st {};
    if (::stat(host->c_str(), &st) != 0) {
        fileAttributes(imagePath); // tells a missing file (2) from a missing folder (3)
        return ProcessHandle();
    }
    if (S_ISDIR(st.st_mode)) {
        setLastError(kErrorAccessDenied);
        return ProcessHandle();
    }

    std::vector<std::string> arguments;
    // A command line that starts with the image path names the program with it, blanks and all.
    if (commandLine.substr(0, imagePath.size()) == imagePath &&
        (commandLine.size() == imagePath.size() || isBlank(commandLine[imagePath.size()]))) {
        arguments.push_back(utf8FromWide(imagePath));
        commandLine.remove_prefix(imagePath.size());
    }
    for (const auto& token : splitCommandLine(commandLine))
        arguments.push_back(utf8FromWide(token));
    if (arguments.empty())
        arguments.push_back(utf8FromWide(imagePath));
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    // The child reports a failed exec through a pipe that closes on a successful one.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        failWithErrno(errno);
        return ProcessHandle();
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        const int error = errno;
        ::close(report[0]);
        ::close(report[1]);
        failWithErrno(error);
        return ProcessHandle();
    }
    if (pid == 0) {
        ::close(report[0]);
        ::execve(host->c_str(), argv.data(), environ);
        const int error = errno;
        (void)!::write(report[1], &error, sizeof error);
        ::_exit(127);
    }
    ::close(report[1]);
    int childError = 0;
    ssize_t got;
    do
        got = ::read(report[0], &childError, sizeof childError);
    while (got < 0 && errno == EINTR);
    ::close(report[0]);
    if (got == static_cast<ssize_t>(sizeof childError)) {
        ::waitpid(pid, nullptr, 0);
        failWithErrno(childError);
        return ProcessHandle();
    }

    ProcessHandle process;
    process.m_fd = pidfdOpen(static_cast<uint32_t>(pid));
    if (process.m_fd < 0) {
        failWithErrno(errno);
        return ProcessHandle();
    }
    process.m_id = static_cast<uint32_t>(pid);
    process.m_startTime = processStartTime(process.m_id);
    process.m_isChild = true;
    setLastError(kErrorSuccess);
    return process;
}

ProcessHandle ProcessHandle::open(uint32_t processId)
{
    if (processId == 0) {
        setLastError(kErrorInvalidParameter);
        return ProcessHandle();
    }
    ProcessHandle process;
    process.m_fd = pidfdOpen(processId);
    if (process.m_fd < 0) {
        failWithErrno(errno);
        return ProcessHandle();
    }
    process.m_id = processId;
    process.m_startTime = processStartTime(processId);
    process.m_isChild = parentOf(processId) == currentProcessId();
    return process;
}

ProcessHandle::ProcessHandle(ProcessHandle&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)),
      m_id(other.m_id),
      m_startTime(other.m_startTime),
      m_isChild(other.m_isChild),
      m_reaped(other.m_reaped),
      m_childCode(other.m_childCode)
{
}

ProcessHandle& ProcessHandle::operator=(ProcessHandle&& other) noexcept
{
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_id = other.m_id;
        m_startTime = other.m_startTime;
        m_isChild = other.m_isChild;
        m_reaped = other.m_reaped;
        m_childCode = other.m_childCode;
    }
    return *this;
}

ProcessHandle::~ProcessHandle() { close(); }

void ProcessHandle::close()
{
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
}

uint32_t ProcessHandle::wait(uint32_t timeoutMs)
{
    if (m_fd < 0) {
        setLastError(kErrorInvalidHandle);
        return kWaitFailed;
    }
    timespec begin {};
    ::clock_gettime(CLOCK_MONOTONIC, &begin);
    for (;;) {
        int timeout = -1;
        if (timeoutMs != kInfinite) {
            timespec now {};
            ::clock_gettime(CLOCK_MONOTONIC, &now);
            const int64_t elapsed = (now.tv_sec - begin.tv_sec) * 1000 + (now.tv_nsec - begin.tv_nsec) / 1000000;
            timeout = static_cast<int>(std::max<int64_t>(0, static_cast<int64_t>(timeoutMs) - elapsed));
        }
        pollfd entry { m_fd, POLLIN, 0 };
        const int ready = ::poll(&entry, 1, timeout);
        if (ready > 0)
            return kWaitSignaled;
        if (ready == 0)
            return kWaitTimeout;
        if (errno != EINTR) {
            failWithErrno(errno);
            return kWaitFailed;
        }
    }
}

bool ProcessHandle::exitCode(uint32_t& code)
{
    if (m_fd < 0) {
        setLastError(kErrorInvalidHandle);
        return false;
    }
    if (wait(0) == kWaitTimeout) {
        code = kStillActive;
        return true;
    }
    if (m_isChild && !m_reaped) {
        siginfo_t info {};
        if (::waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(m_fd), &info, WEXITED) == 0) {
            m_reaped = true;
            m_childCode = info.si_code == CLD_EXITED ? static_cast<uint32_t>(info.si_status)
                                                     : 128u + static_cast<uint32_t>(info.si_status);
        }
    }
    // A recorded code is whole; the system keeps only its low byte.
    if (readExitRecord(m_id, m_startTime, code))
        return true;
    if (m_reaped) {
        code = m_childCode;
        return true;
    }
    setLastError(kErrorNotSupported);
    return false;
}

bool ProcessHandle::terminate(uint32_t code)
{
    if (m_fd < 0) {
        setLastError(kErrorInvalidHandle);
        return false;
    }
    if (wait(0) == kWaitSignaled) {
        setLastError(kErrorAccessDenied);
        return false;
    }
    writeExitRecord(m_id, m_startTime, code);
    if (::syscall(SYS_pidfd_send_signal, m_fd, SIGKILL, nullptr, 0) != 0)
        return failWithErrno(errno);
    return true;
}

void exitProcess(uint32_t code)
{
    const uint32_t pid = currentProcessId();
    writeExitRecord(pid, processStartTime(pid), code);
    pruneExitRecords();
    std::exit(static_cast<int>(code & 0xFF));
}

uint32_t currentProcessId() { return static_cast<uint32_t>(::getpid()); }

bool becomeOrphanCollector() { return ::prctl(PR_SET_CHILD_SUBREAPER, 1) == 0 || failWithErrno(errno); }

std::optional<EndedProcess> waitForEndedChild(uint32_t timeoutMs)
{
    const uint32_t step = 20;
    for (uint32_t waited = 0;; waited += step) {
        siginfo_t info {};
        if (::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
            failWithErrno(errno);
            return std::nullopt;
        }
        if (info.si_pid != 0) {
            EndedProcess ended;
            ended.id = static_cast<uint32_t>(info.si_pid);
            std::ifstream comm("/proc/" + std::to_string(info.si_pid) + "/comm");
            std::getline(comm, ended.name);
            const uint64_t startTime = processStartTime(ended.id);
            ended.exitCode = info.si_code == CLD_EXITED ? static_cast<uint32_t>(info.si_status)
                                                        : 128u + static_cast<uint32_t>(info.si_status);
            readExitRecord(ended.id, startTime, ended.exitCode);
            siginfo_t reaped {};
            ::waitid(P_PID, static_cast<id_t>(info.si_pid), &reaped, WEXITED);
            return ended;
        }
        if (timeoutMs != kInfinite && waited >= timeoutMs) {
            setLastError(kErrorWaitTimeout);
            return std::nullopt;
        }
        ::usleep(step * 1000);
    }
}

} // namespace platform
