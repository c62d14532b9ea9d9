// Builds small ZIP archives for the installer's tests.
#pragma once

#include <string>
#include <utility>
#include <vector>
#include <zip.h>
#include <zlib.h>

namespace testsupport {

struct ZipMember {
    std::string name;    // a name ending in "/" is a folder
    std::string content;
    bool badCrc = false; // store a CRC-32 that does not match the content
};

// Writes the members in order; returns false when the archive could not be written.
inline bool writeZip(const std::string& hostPath, const std::vector<ZipMember>& members)
{
    zipFile zip = zipOpen(hostPath.c_str(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    bool ok = true;
    for (const auto& member : members) {
        zip_fileinfo info {};
        if (!member.badCrc) {
            ok = ok && zipOpenNewFileInZip(zip, member.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                           Z_DEFLATED, Z_DEFAULT_COMPRESSION) == ZIP_OK;
            ok = ok && zipWriteInFileInZip(zip, member.content.data(), static_cast<unsigned>(member.content.size())) == ZIP_OK;
            ok = ok && zipCloseFileInZip(zip) == ZIP_OK;
        } else {
            // Stored raw with a made-up CRC-32.
            ok = ok && zipOpenNewFileInZip2(zip, member.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, 0, 0, 1) == ZIP_OK;
            ok = ok && zipWriteInFileInZip(zip, member.content.data(), static_cast<unsigned>(member.content.size())) == ZIP_OK;
            const uLong wrong = crc32(0, reinterpret_cast<const Bytef*>(member.content.data()), static_cast<uInt>(member.content.size())) ^ 1u;
            ok = ok && zipCloseFileInZipRaw(zip, member.content.size(), wrong) == ZIP_OK;
        }
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

} // namespace testsupport
