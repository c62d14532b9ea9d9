#include "common/files/FileUtilities.h"

#include "platform/Error.h"
#include "platform/File.h"

namespace Files {

namespace {

bool isSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

size_t lastSeparator(std::u16string_view path) { return path.find_last_of(u"\\/"); }

std::u16string_view withoutOneTrailingSeparator(std::u16string_view path)
{
    if (!path.empty() && isSeparator(path.back()))
        path.remove_suffix(1);
    return path;
}

enum class Transfer { Copy, Move };

bool transfer(std::u16string_view source, std::u16string_view destination, bool overwrite, Transfer kind)
{
    const std::u16string from = stripTrailingSeparators(source);
    const std::u16string to = stripTrailingSeparators(destination);
    if (from.empty() || to.empty()) {
        platform::setLastError(platform::kErrorInvalidParameter);
        return false;
    }
    if (directoryExists(to)) {
        platform::setLastError(platform::kErrorAlreadyExists);
        return false;
    }
    if (overwrite) {
        platform::File existing = platform::File::open(to, platform::File::Access::Read, platform::File::Disposition::OpenExisting);
        if (existing) {
            existing.close();
            platform::deleteFile(to);
        }
    }
    // Creating and removing the destination as a folder leaves exactly its parents in place.
    if (!createDirectoryTree(to))
        return false;
    if (!platform::removeDirectory(to))
        return false;
    if (kind == Transfer::Copy)
        return platform::copyFile(from, to, false);
    return platform::moveFile(from, to);
}

} // namespace

bool fileExists(std::u16string_view path)
{
    platform::File file = platform::File::open(path, platform::File::Access::Read, platform::File::Disposition::OpenExisting);
    return file.isOpen();
}

int32_t fileSize(std::u16string_view path)
{
    platform::File file = platform::File::open(path, platform::File::Access::Read, platform::File::Disposition::OpenExisting);
    if (!file)
        return 0;
    const int64_t end = file.seek(0, platform::File::Origin::End);
    if (end < 0 || file.seek(0, platform::File::Origin::Begin) < 0)
        return 0;
    return static_cast<int32_t>(end);
}

bool directoryExists(std::u16string_view path)
{
    if (path.empty())
        return false;
    path = withoutOneTrailingSeparator(path);
    platform::FindData entry;
    platform::FindFile search = platform::FindFile::first(path, entry);
    if (!search)
        return false;
    return (entry.attributes & platform::kAttributeDirectory) != 0;
}

bool createDirectoryTree(std::u16string_view path)
{
    if (path.empty())
        return false;
    path = withoutOneTrailingSeparator(path);
    const uint32_t attributes = platform::fileAttributes(path);
    if (attributes != platform::kInvalidAttributes) {
        if (attributes & platform::kAttributeDirectory)
            return true;
        platform::setLastError(platform::kErrorFileExists);
        return false;
    }
    const size_t separator = lastSeparator(path);
    if (separator != std::u16string_view::npos && !createDirectoryTree(path.substr(0, separator)))
        return false;
    return platform::createDirectory(path);
}

std::u16string stripTrailingSeparators(std::u16string_view path)
{
    while (!path.empty() && isSeparator(path.back()))
        path.remove_suffix(1);
    return std::u16string(path);
}

void splitPath(std::u16string_view path, std::u16string& dir, std::u16string& name, bool noTrailingSeparator)
{
    if (directoryExists(path)) {
        dir = path;
        name.clear();
        return;
    }
    const size_t separator = lastSeparator(path);
    if (separator == std::u16string_view::npos) {
        dir.clear();
        name = path;
        return;
    }
    dir = path.substr(0, separator);
    name = path.substr(separator + 1);
    if (!noTrailingSeparator)
        dir += u'\\';
}

bool copyFile(std::u16string_view source, std::u16string_view destination, bool overwrite)
{
    return transfer(source, destination, overwrite, Transfer::Copy);
}

bool moveDirectory(std::u16string_view source, std::u16string_view destination, bool overwrite)
{
    return transfer(source, destination, overwrite, Transfer::Move);
}

bool removePath(std::u16string_view path)
{
    const std::u16string p = stripTrailingSeparators(path);
    // An empty path would name the device's root folder: never wipe the whole device.
    if (p.empty()) {
        platform::setLastError(platform::kErrorInvalidParameter);
        return false;
    }
    {
        platform::File file = platform::File::open(p, platform::File::Access::Read, platform::File::Disposition::OpenExisting);
        if (file) {
            file.close();
            return platform::deleteFile(p);
        }
    }
    std::vector<std::u16string> files;
    collectFiles(p, std::nullopt, files);
    for (const auto& file : files)
        if (!platform::deleteFile(file))
            return false;

    platform::FindData entry;
    platform::FindFile search = platform::FindFile::first(p + u"\\*", entry);
    if (!search)
        return false;
    do {
        if (entry.name == u"." || entry.name == u"..")
            continue;
        const std::u16string child = p + u"\\" + entry.name;
        const bool removed = (entry.attributes & platform::kAttributeDirectory) ? removePath(child) : platform::deleteFile(child);
        if (!removed)
            return false;
    } while (search.next(entry));
    if (platform::lastError() != platform::kErrorNoMoreFiles)
        return false;
    search.close();

    const uint32_t attributes = platform::fileAttributes(p);
    if (attributes != platform::kInvalidAttributes && (attributes & platform::kAttributeDirectory) && !platform::removeDirectory(p))
        return false;
    return true;
}

void collectFiles(std::u16string_view folder, std::optional<std::u16string_view> extension, std::vector<std::u16string>& list)
{
    if (folder.empty())
        return;
    std::u16string prefix(folder);
    if (!isSeparator(prefix.back()))
        prefix += u'\\';
    platform::FindData entry;
    platform::FindFile search = platform::FindFile::first(prefix + u"*", entry);
    if (!search)
        return;
    do {
        if (entry.attributes & platform::kAttributeDirectory) {
            if (entry.name != u"." && entry.name != u"..")
                collectFiles(prefix + entry.name, extension, list);
            continue;
        }
        if (extension) {
            const size_t dot = entry.name.rfind(u'.');
            if (dot == std::u16string::npos || std::u16string_view(entry.name).substr(dot) != *extension)
                continue;
        }
        list.push_back(prefix + entry.name);
    } while (search.next(entry));
}

void flushVolume(std::u16string_view path) { platform::flushVolume(path); }

} // namespace Files
