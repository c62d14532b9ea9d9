// Unpacking "Data.zip" into the program folder, member by member.
#include "installer/Ruckel.h"

#include "common/files/FileUtilities.h"
#include "installer/InstallerLog.h"
#include "platform/Error.h"
#include "platform/File.h"
#include "platform/Text.h"

#include <climits>
#include <memory>
#include <new>
#include <unzip.h>
#include <zlib.h>

namespace {

// The member name buffer holds 260 bytes with its terminator.
constexpr unsigned kNameBufferSize = 260;

bool isSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// A name must stay inside the target folder: no absolute path, no drive, no "..".
bool staysInside(std::u16string_view name)
{
    if (name.empty() || isSeparator(name.front()) || (name.size() >= 2 && name[1] == u':'))
        return false;
    size_t start = 0;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i == name.size() || isSeparator(name[i])) {
            if (name.substr(start, i - start) == u"..")
                return false;
            start = i + 1;
        }
    }
    return true;
}

// Reads the whole member into buffer; the count read, which differs from size on a short or
// failed read.
uint64_t readMember(unzFile archive, unsigned char* buffer, uint64_t size)
{
    uint64_t done = 0;
    while (done < size) {
        const unsigned chunk = static_cast<unsigned>(std::min<uint64_t>(size - done, 1u << 30));
        const int got = unzReadCurrentFile(archive, buffer + done, chunk);
        if (got <= 0)
            break;
        done += static_cast<uint64_t>(got);
    }
    return done;
}

} // namespace

int Ruckel::ExtractPackage(const std::u16string& archivePath, const std::u16string& targetDir)
{
    auto& log = InstallerLog::Instance();
    bool ok = true;

    if (!Files::directoryExists(targetDir)) {
        log.Write(u"There is no such dir\n" + targetDir);
        if (!Files::createDirectoryTree(targetDir)) {
            log.WriteComposed(u"Can not create extracting dir: ", targetDir, u"\nError code", platform::lastError());
            ok = false;
        } else {
            log.Write(u"Create successful\n");
        }
    }
    if (Files::directoryExists(targetDir))
        log.Write(u"Dir exists\n");
    if (!Files::fileExists(archivePath)) {
        log.Write(u"There is no zip data file\n");
        ok = false;
    }
    if (!ok)
        return 1;

    const auto libraryPath = platform::cLibraryPath(archivePath);
    unzFile archive = libraryPath ? unzOpen(libraryPath->c_str()) : nullptr;
    if (!archive) {
        log.Write(u"Can not open zip file\n");
        return 1;
    }

    for (int next = unzGoToFirstFile(archive); next == UNZ_OK; next = unzGoToNextFile(archive)) {
        char nameBuffer[kNameBufferSize] = {};
        unz_file_info info {};
        if (unzGetCurrentFileInfo(archive, &info, nameBuffer, kNameBufferSize, nullptr, 0, nullptr, 0) != UNZ_OK)
            continue;

        // Names that cannot be decoded, or that would land outside the target, are refused.
        if (info.size_filename >= kNameBufferSize) {
            log.Write(u"Skipped member: name of 260 bytes or more\n");
            ok = false;
            continue;
        }
        const std::string_view rawName(nameBuffer, info.size_filename);
        if (!platform::isValidUtf8(rawName) || rawName.find('\0') != std::string_view::npos) {
            log.Write(u"Skipped member: name is not valid UTF-8\n");
            ok = false;
            continue;
        }
        const std::u16string name = platform::wideFromUtf8(rawName);
        if (!staysInside(name)) {
            log.Write(u"Skipped member: name leaves the target folder:" + name + u"\n");
            ok = false;
            continue;
        }

        const int opened = unzOpenCurrentFile(archive);
        if (opened != UNZ_OK) {
            log.WriteComposed(u"Can not unzOpenCurrentFile\nResult code is:", static_cast<int32_t>(opened));
            ok = false;
            continue;
        }

        std::u16string folderPart, filePart;
        Files::splitPath(name, folderPart, filePart, true);
        const std::u16string memberFolder = targetDir + u"\\" + folderPart;
        log.Write(u"Inflating" + std::u16string(filePart.empty() ? u"[D]" : u"[F]") + u":" + memberFolder + u"\\" +
                  filePart + u"\n");
        Files::createDirectoryTree(memberFolder);

        if (!filePart.empty()) {
            const std::u16string filePath = memberFolder + u"\\" + filePart;
            const uint64_t size = info.uncompressed_size;
            std::unique_ptr<unsigned char[]> buffer;
            bool write = true;
            if (size > 0) {
                buffer.reset(new (std::nothrow) unsigned char[size]);
                // A member that cannot be held, read whole or matched to its CRC-32 is left out.
                write = buffer && readMember(archive, buffer.get(), size) == size;
                if (write) {
                    uLong crc = crc32(0L, Z_NULL, 0);
                    for (uint64_t done = 0; done < size;) {
                        const uInt chunk = static_cast<uInt>(std::min<uint64_t>(size - done, UINT_MAX));
                        crc = crc32(crc, buffer.get() + done, chunk);
                        done += chunk;
                    }
                    write = crc == info.crc;
                }
            }
            if (write) {
                platform::File file = platform::File::open(filePath, platform::File::Access::Write,
                                                           platform::File::Disposition::CreateAlways);
                if (!file) {
                    log.WriteComposed(u"Can not open file:", filePath, u"\nError code is:", platform::lastError());
                    ok = false;
                } else if (size > 0 && !file.write(buffer.get(), size)) {
                    log.WriteComposed(u"Can not write to file:", filePath, u"\nError code is:", platform::lastError());
                    ok = false;
                }
            }
        }
        unzCloseCurrentFile(archive);
    }
    unzClose(archive);
    return ok ? 0 : 1;
}
