// Moving the program folder aside before an update, and back when the update fails.
#include "installer/Ruckel.h"

#include "common/files/FileUtilities.h"
#include "installer/InstallerLog.h"
#include "platform/Error.h"

namespace {

void logErrorCode(uint32_t error) { InstallerLog::Instance().WriteComposed(u"Error code is:", error); }

} // namespace

int Ruckel::CreateBackup()
{
    auto& log = InstallerLog::Instance();
    const std::u16string& programDir = request->programDir;
    if (!Files::directoryExists(programDir)) {
        log.Write(u"There is no such directory: " + programDir + u"\n");
        return 1;
    }
    const std::u16string backup = BackupDir();
    log.Write(backup + u"\n");
    log.Write(u"Move:" + programDir + u"\n");
    log.Write(u"To:" + backup + u"\n");
    if (Files::moveDirectory(programDir, backup, true)) {
        log.Write(u"Backup creation is successful\n");
        return 0;
    }
    const uint32_t error = platform::lastError();
    log.Write(u"Can not create backup\n");
    logErrorCode(error);
    return 1;
}

int Ruckel::RemoveCurrent()
{
    auto& log = InstallerLog::Instance();
    const std::u16string folder = Files::stripTrailingSeparators(request->programDir);
    log.Write(folder + u"\n");
    if (!Files::directoryExists(folder)) {
        log.Write(u"There is already no such directory:" + folder + u"\n");
        return 0;
    }
    log.Write(u"Remove Current\n");
    if (Files::removePath(folder)) {
        log.Write(u"Current successfuly removed\n");
        return 0;
    }
    const uint32_t error = platform::lastError();
    log.Write(u"Can not remove current\n");
    logErrorCode(error);
    return 1;
}

int Ruckel::RestorBackup()
{
    auto& log = InstallerLog::Instance();
    log.Write(u"RestorBackup:RemovingCurrent\n");
    RemoveCurrent();
    log.Write(u"RestorBackup:RemovedCurrent\n");
    const std::u16string backup = BackupDir();
    if (!Files::directoryExists(backup)) {
        log.Write(u"There is no directory to restore: " + backup + u"\n");
        return 1;
    }
    log.Write(backup + u"\n");
    log.Write(u"Move:" + backup + u"\n");
    log.Write(u"To:" + request->programDir + u"\n");
    if (Files::moveDirectory(backup, request->programDir, true)) {
        log.Write(u"Restore is successful\n");
        return 0;
    }
    const uint32_t error = platform::lastError();
    log.Write(u"Can not restore\n");
    logErrorCode(error);
    return 1;
}

void Ruckel::RemoveBackup()
{
    auto& log = InstallerLog::Instance();
    const std::u16string backup = BackupDir();
    log.Write(backup + u"\n");
    if (!Files::directoryExists(backup)) {
        log.Write(u"There is no such directory:" + backup + u"\n");
        return;
    }
    log.Write(u"Remove backup\n");
    if (Files::removePath(backup)) {
        log.Write(u"Backup successfuly removed\n");
        return;
    }
    const uint32_t error = platform::lastError();
    log.Write(u"Can not remove backup\n");
    logErrorCode(error);
}
