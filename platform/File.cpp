#include "platform/File.h"

#include "platform/DeviceRoot.h"
#include "platform/Error.h"
#include "platform/Text.h"
#include "platform/TextCase.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

// ENOENT means "file not found" only when the parent folder exists; otherwise the path is wrong.
bool failWithPathErrno(int errnoValue, const std::string& hostPath)
{
    if (errnoValue == ENOENT) {
        const auto slash = hostPath.rfind('/');
        struct stat st {};
        if (slash != std::string::npos && slash > 0 &&
            (::stat(hostPath.substr(0, slash).c_str(), &st) != 0 || !S_ISDIR(st.st_mode))) {
            setLastError(kErrorPathNotFound);
            return false;
        }
    }
    return failWithErrno(errnoValue);
}

uint32_t attributesOf(const struct stat& st, std::string_view name)
{
    uint32_t attributes = 0;
    if (S_ISDIR(st.st_mode))
        attributes |= kAttributeDirectory;
    if (!(st.st_mode & S_IWUSR))
        attributes |= kAttributeReadOnly;
    if (!name.empty() && name.front() == '.' && name != "." && name != "..")
        attributes |= kAttributeHidden;
    if (attributes == 0)
        attributes = kAttributeNormal;
    return attributes;
}

bool matchFolded(std::u16string_view pattern, std::u16string_view name)
{
    size_t p = 0, n = 0, starP = std::u16string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (starP != std::u16string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    // "*.*" also matches names without a dot, as on the device.
    return p == pattern.size() || pattern.substr(p) == u".*";
}

// Names match patterns ignoring case, as on the device.
bool matchPattern(std::u16string_view pattern, std::u16string_view name)
{
    return matchFolded(foldCase(pattern), foldCase(name));
}

bool hasWildcards(std::u16string_view text)
{
    return text.find_first_of(u"*?") != std::u16string_view::npos;
}

bool endsWithExe(std::u16string_view path)
{
    if (path.size() < 4)
        return false;
    return foldCase(path.substr(path.size() - 4)) == u".exe";
}

bool isStateFolder(const std::string& hostPath)
{
    return hostPath == DeviceRoot::hostRoot() + "/" + std::string(DeviceRoot::kStateFolderName);
}

} // namespace

File File::open(std::u16string_view devicePath, Access access, Disposition disposition)
{
    const auto host = DeviceRoot::toHost(devicePath);
    if (!host)
        return File();
    int flags = O_CLOEXEC;
    switch (access) {
    case Access::Read: flags |= O_RDONLY; break;
    case Access::Write: flags |= O_WRONLY; break;
    case Access::ReadWrite: flags |= O_RDWR; break;
    }
    switch (disposition) {
    case Disposition::CreateNew: flags |= O_CREAT | O_EXCL; break;
    case Disposition::CreateAlways: flags |= O_CREAT | O_TRUNC; break;
    case Disposition::OpenExisting: break;
    case Disposition::OpenAlways: flags |= O_CREAT; break;
    case Disposition::AppendAlways: flags |= O_CREAT | O_APPEND; break;
    }
    if (access == Access::Read && (flags & (O_TRUNC | O_APPEND))) {
        setLastError(kErrorInvalidParameter);
        return File();
    }
    const mode_t mode = isProgramName(devicePath) ? 0777 : 0666;
    const int fd = ::open(host->c_str(), flags, mode);
    if (fd < 0) {
        if (errno == EEXIST)
            setLastError(kErrorFileExists);
        else
            failWithPathErrno(errno, *host);
        return File();
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        setLastError(kErrorAccessDenied);
        return File();
    }
    return File(fd);
}

File::File(File&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

File& File::operator=(File&& other) noexcept
{
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

File::~File() { close(); }

int64_t File::read(void* buffer, size_t size)
{
    if (m_fd < 0) {
        setLastError(kErrorInvalidHandle);
        return -1;
    }
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, size);
        if (got >= 0)
            return got;
        if (errno != EINTR) {
            failWithErrno(errno);
            return -1;
        }
    }
}

bool File::write(const void* data, size_t size)
{
    if (m_fd < 0) {
        setLastError(kErrorInvalidHandle);
        return false;
    }
    auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t put = ::write(m_fd, bytes, size);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return failWithErrno(errno);
        }
        bytes += put;
        size -= static_cast<size_t>(put);
    }
    return true;
}

int64_t File::seek(int64_t offset, Origin origin)
{
    if (m_fd < 0) {
        setLastError(kErrorInvalidHandle);
        return -1;
    }
    const int whence = origin == Origin::Begin ? SEEK_SET : origin == Origin::Current ? SEEK_CUR : SEEK_END;
    const off_t position = ::lseek(m_fd, offset, whence);
    if (position < 0) {
        failWithErrno(errno);
        return -1;
    }
    return position;
}

int64_t File::size() const
{
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0) {
        failWithErrno(m_fd < 0 ? EBADF : errno);
        return -1;
    }
    return st.st_size;
}

bool File::flush()
{
    if (m_fd < 0) {
        setLastError(kErrorInvalidHandle);
        return false;
    }
    return ::fdatasync(m_fd) == 0 || failWithErrno(errno);
}

bool File::close()
{
    if (m_fd < 0)
        return true;
    const int result = ::close(std::exchange(m_fd, -1));
    return result == 0 || failWithErrno(errno);
}

struct FindFile::State {
    DIR* dir = nullptr;
    std::string hostFolder;
    std::u16string pattern;
    bool atRoot = false;
};

FindFile FindFile::first(std::u16string_view devicePattern, FindData& first)
{
    size_t cut = devicePattern.find_last_of(u"\\/");
    std::u16string_view folder = cut == std::u16string_view::npos ? std::u16string_view() : devicePattern.substr(0, cut);
    std::u16string_view pattern = cut == std::u16string_view::npos ? devicePattern : devicePattern.substr(cut + 1);
    if (pattern.empty()) {
        setLastError(kErrorFileNotFound);
        return FindFile();
    }
    auto hostFolder = DeviceRoot::toHost(folder);
    if (!hostFolder)
        return FindFile();
    struct stat st {};
    if (::stat(hostFolder->c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        setLastError(kErrorPathNotFound);
        return FindFile();
    }

    FindFile search;
    search.m_state = new State;
    search.m_state->hostFolder = *hostFolder;
    search.m_state->pattern = pattern;
    search.m_state->atRoot = *hostFolder == DeviceRoot::hostRoot();
    if (!hasWildcards(pattern)) {
        // An exact name is looked up directly; the search then holds just that entry.
        auto host = DeviceRoot::toHost(devicePattern);
        if (!host || pattern == u"." || pattern == u".." || ::lstat(host->c_str(), &st) != 0 || isStateFolder(*host)) {
            if (host)
                setLastError(kErrorFileNotFound);
            return FindFile();
        }
        first.name = std::u16string(pattern);
        first.attributes = attributesOf(st, utf8FromWide(pattern));
        first.size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
        return search;
    }
    search.m_state->dir = ::opendir(hostFolder->c_str());
    if (!search.m_state->dir) {
        failWithErrno(errno);
        return FindFile();
    }
    if (!search.next(first)) {
        setLastError(kErrorFileNotFound);
        return FindFile();
    }
    return search;
}

FindFile::FindFile(FindFile&& other) noexcept : m_state(std::exchange(other.m_state, nullptr)) {}

FindFile& FindFile::operator=(FindFile&& other) noexcept
{
    if (this != &other) {
        close();
        m_state = std::exchange(other.m_state, nullptr);
    }
    return *this;
}

FindFile::~FindFile() { close(); }

bool FindFile::next(FindData& entry)
{
    if (!m_state) {
        setLastError(kErrorInvalidHandle);
        return false;
    }
    if (!m_state->dir) {
        setLastError(kErrorNoMoreFiles);
        return false;
    }
    for (;;) {
        errno = 0;
        const dirent* d = ::readdir(m_state->dir);
        if (!d) {
            setLastError(errno ? errorFromErrno(errno) : kErrorNoMoreFiles);
            return false;
        }
        const std::string name = d->d_name;
        if (m_state->atRoot && (name == "." || name == ".." || name == DeviceRoot::kStateFolderName))
            continue;
        const std::u16string wideName = wideFromUtf8(name);
        if (!matchPattern(m_state->pattern, wideName))
            continue;
        struct stat st {};
        if (::lstat((m_state->hostFolder + "/" + name).c_str(), &st) != 0)
            continue; // removed while we were listing
        entry.name = wideName;
        entry.attributes = attributesOf(st, name);
        entry.size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
        return true;
    }
}

void FindFile::close()
{
    if (!m_state)
        return;
    if (m_state->dir)
        ::closedir(m_state->dir);
    delete std::exchange(m_state, nullptr);
}

uint32_t fileAttributes(std::u16string_view devicePath)
{
    const auto host = DeviceRoot::toHost(devicePath);
    if (!host)
        return kInvalidAttributes;
    struct stat st {};
    if (::stat(host->c_str(), &st) != 0) {
        failWithPathErrno(errno, *host);
        return kInvalidAttributes;
    }
    const auto slash = host->rfind('/');
    return attributesOf(st, std::string_view(*host).substr(slash + 1));
}

bool setFileAttributes(std::u16string_view devicePath, uint32_t attributes)
{
    const auto host = DeviceRoot::toHost(devicePath);
    if (!host)
        return false;
    struct stat st {};
    if (::stat(host->c_str(), &st) != 0)
        return failWithPathErrno(errno, *host);
    mode_t mode = st.st_mode & 07777;
    mode = (attributes & kAttributeReadOnly) ? (mode & ~mode_t(0222)) : (mode | S_IWUSR);
    return ::chmod(host->c_str(), mode) == 0 || failWithErrno(errno);
}

bool deleteFile(std::u16string_view devicePath)
{
    const auto host = DeviceRoot::toHost(devicePath);
    if (!host)
        return false;
    struct stat st {};
    if (::lstat(host->c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            setLastError(kErrorAccessDenied);
            return false;
        }
        // A read-only file cannot be deleted on the device.
        if (!(st.st_mode & S_IWUSR) && !S_ISLNK(st.st_mode)) {
            setLastError(kErrorAccessDenied);
            return false;
        }
    }
    return ::unlink(host->c_str()) == 0 || failWithPathErrno(errno, *host);
}

bool copyFile(std::u16string_view source, std::u16string_view destination, bool failIfExists)
{
    const auto from = DeviceRoot::toHost(source);
    const auto to = DeviceRoot::toHost(destination);
    if (!from || !to)
        return false;
    const int in = ::open(from->c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return failWithPathErrno(errno, *from);
    struct stat st {};
    if (::fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(in);
        setLastError(kErrorAccessDenied);
        return false;
    }
    const int out = ::open(to->c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : O_TRUNC), st.st_mode & 0777);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        if (error == EEXIST) {
            setLastError(kErrorFileExists);
            return false;
        }
        return failWithPathErrno(error, *to);
    }
    char buffer[65536];
    bool ok = true;
    int error = 0;
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ok = got == 0;
            error = errno;
            break;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out, buffer + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0) {
                ok = false;
                error = errno;
                break;
            }
            done += put;
        }
        if (!ok)
            break;
    }
    ::fchmod(out, st.st_mode & 0777);
    if (::close(out) != 0 && ok) {
        ok = false;
        error = errno;
    }
    ::close(in);
    if (!ok) {
        ::unlink(to->c_str());
        return failWithErrno(error);
    }
    return true;
}

bool moveFile(std::u16string_view source, std::u16string_view destination)
{
    const auto from = DeviceRoot::toHost(source);
    const auto to = DeviceRoot::toHost(destination);
    if (!from || !to)
        return false;
    if (::renameat2(AT_FDCWD, from->c_str(), AT_FDCWD, to->c_str(), RENAME_NOREPLACE) == 0)
        return true;
    const int error = errno;
    if (error == EEXIST) {
        setLastError(kErrorAlreadyExists);
        return false;
    }
    if (error == EXDEV) {
        struct stat st {};
        if (::stat(from->c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
            if (!copyFile(source, destination, true))
                return false;
            return deleteFile(source);
        }
    }
    if (error == ENOENT) {
        struct stat st {};
        if (::lstat(from->c_str(), &st) != 0)
            return failWithPathErrno(error, *from);
        return failWithPathErrno(error, *to);
    }
    return failWithErrno(error);
}

bool createDirectory(std::u16string_view devicePath)
{
    const auto host = DeviceRoot::toHost(devicePath);
    if (!host)
        return false;
    return ::mkdir(host->c_str(), 0777) == 0 || failWithPathErrno(errno, *host);
}

bool removeDirectory(std::u16string_view devicePath)
{
    const auto host = DeviceRoot::toHost(devicePath);
    if (!host)
        return false;
    if (*host == DeviceRoot::hostRoot()) {
        setLastError(kErrorAccessDenied);
        return false;
    }
    return ::rmdir(host->c_str()) == 0 || failWithPathErrno(errno, *host);
}

bool flushVolume(std::u16string_view devicePath)
{
    const auto host = DeviceRoot::toHost(devicePath);
    if (!host)
        return false;
    const int fd = ::open(host->c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return failWithPathErrno(errno, *host);
    const bool ok = ::syncfs(fd) == 0 || failWithErrno(errno);
    ::close(fd);
    return ok;
}

bool isProgramName(std::u16string_view devicePath) { return endsWithExe(devicePath); }

std::optional<std::string> cLibraryPath(std::u16string_view devicePath)
{
    if (narrowFromWide(devicePath, CodePage::Ansi).size() >= 260) {
        setLastError(kErrorFilenameExcedRange);
        return std::nullopt;
    }
    return DeviceRoot::toHost(devicePath);
}

} // namespace platform
