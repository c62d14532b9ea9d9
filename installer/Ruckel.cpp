#include "installer/Ruckel.h"

#include "common/files/FileUtilities.h"
#include "installer/InstallerLog.h"
#include "installer/splash/InstallerSplash.h"
#include "platform/Process.h"
#include "platform/display/WindowManager.h"

namespace {
constexpr uint32_t kQuitMessage = 0x0012;
}

Ruckel::Ruckel(InstallerSplash* splash, RuckelTimeouts timeouts) : m_splash(splash), m_timeouts(timeouts) {}

void Ruckel::Run()
{
    auto& log = InstallerLog::Instance();
    m_request = std::make_unique<InstallRequest>();
    request = m_request.get();
    ParseCommandLine(*request);
    bool allowed = true;

    // The system reports the module path into a buffer of 260 characters.
    std::u16string path = platform::modulePath();
    if (path.size() >= 260)
        path.resize(259);
    if (path.empty()) {
        log.Write(u"Can not obtain a path to file of this process\n");
        allowed = false;
    }
    std::u16string name;
    Files::splitPath(path, installerDir, name, true);
    if (installerDir.empty())
        log.Write(u"Can not obtain a directory path to file of this process\n");

    if (!request->CheckRequest())
        allowed = false;

    const bool finished = allowed ? RunInstallation() : false;
    log.Write(u"Downloader Finish\n");

    // The message loop must end in every case but the final picture, which stays until the unit
    // restarts. Closing the splash ends it with 0; without a window to close, the loop is told
    // directly.
    if (finished) {
        const bool hasWindow = m_splash && platform::isWindow(m_splash->window);
        if (m_splash)
            m_splash->Close();
        if (!hasWindow)
            EndMessageLoop(kExitInstalled);
    } else if (!m_showsFinalPicture) {
        EndMessageLoop(kExitNotInstalled);
    }
}

bool Ruckel::RunInstallation()
{
    auto& log = InstallerLog::Instance();
    if (WaitForParent() != 0)
        return false;

    if (m_splash) {
        const int shown = m_splash->Show();
        if (shown != 0)
            log.WriteComposed(u"cannot show splash, error code: ", static_cast<int32_t>(shown));
        m_splash->Refresh();
    }

    if (request->programDirGiven) {
        if (CreateBackup() != 0)
            RestorBackup();
        else if (RemoveCurrent() != 0)
            RestorBackup();
        else if (InstallUpdate() != 0)
            RestorBackup();
    }

    if (!request->pwBrdPortGiven) {
        if (LaunchApplication() != 0) {
            RestorBackup();
            LaunchApplication();
        }
        RemoveBackup();
        return true;
    }

    if (request->programDirGiven)
        RemoveBackup();
    UpdatePowerBoard();
    if (m_splash)
        m_splash->ShowFinished();
    m_showsFinalPicture = true;
    return false;
}

void Ruckel::EndMessageLoop(int exitCode)
{
    if (m_mainThreadId != 0)
        platform::postThreadMessage(m_mainThreadId, kQuitMessage, static_cast<uintptr_t>(exitCode), 0);
}

std::u16string Ruckel::BackupDir() const { return Files::stripTrailingSeparators(request->programDir) + u"_B"; }
