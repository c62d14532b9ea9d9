// The installer: one object that runs the whole installation on the worker thread and drives the
// splash window. Every step returns 0 for success and 1 for failure and reports to the installer
// log only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "installer/InstallRequest.h"
#include "util/Runnable.h"

class InstallerSplash;

// The time limits of the installation, in milliseconds. Tests shorten them; nothing else does.
struct RuckelTimeouts {
    uint32_t parentExitMs = 900000;      // for the device application to end by itself
    uint32_t parentTerminatedMs = 60000; // for it to end after it was terminated
    uint32_t applicationStartMs = 120000; // for the relaunched application's start event
};

// How the process ends when the worker did not close the splash window.
enum RuckelExitCode : int {
    kExitInstalled = 0,        // the splash was closed after the installation
    kExitAlreadyRunning = 1,   // another installer holds the single-instance mutex
    kExitNotInstalled = 2,     // failed request checks or parent hand-over: nothing was done
};

class Ruckel : public Util::Runnable {
public:
    // splash may be null: the installation then runs without a window.
    Ruckel(InstallerSplash* splash, RuckelTimeouts timeouts = {});

    void Run() override;
    bool RunInstallation();

    int WaitForParent();
    int CreateBackup();
    int RemoveCurrent();
    int RestorBackup();
    void RemoveBackup();
    int ExtractPackage(const std::u16string& archivePath, const std::u16string& targetDir);
    int InstallUpdate();
    int LaunchApplication();
    void UpdatePowerBoard();

    // The thread whose message loop ends the process; Run ends it when the splash cannot.
    void SetMainThread(uint32_t mainThreadId) { m_mainThreadId = mainThreadId; }

    InstallRequest* request = nullptr;
    std::u16string installerDir;

private:
    std::u16string BackupDir() const;
    void EndMessageLoop(int exitCode);

    InstallerSplash* m_splash;
    RuckelTimeouts m_timeouts;
    uint32_t m_mainThreadId = 0;
    bool m_showsFinalPicture = false; // the process stays up until the unit restarts
    std::unique_ptr<InstallRequest> m_request;
};
