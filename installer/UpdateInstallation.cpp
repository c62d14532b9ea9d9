// Putting the new version and its extra files in place, and starting the device application.
#include "installer/Ruckel.h"

#include "common/files/FileUtilities.h"
#include "installer/InstallerLog.h"
#include "installer/splash/InstallerSplash.h"
#include "platform/Error.h"
#include "platform/NamedEvent.h"
#include "platform/ProcessHandle.h"

namespace {
constexpr std::u16string_view kStartEvent = u"7F9DA520-4D66-417b-BCA6-8734B13DE6B1";
constexpr std::u16string_view kDataSettings = u"\\Mounted Volume\\PX Data\\KT9Settings.ini";
constexpr std::u16string_view kSplashFolder = u"\\Mounted Volume\\SplashScreens\\Dark";
} // namespace

int Ruckel::InstallUpdate()
{
    auto& log = InstallerLog::Instance();
    if (ExtractPackage(installerDir + u"\\Data.zip", request->programDir) != 0)
        return 1;

    const std::u16string settings = installerDir + u"\\KT9Settings.ini";
    if (Files::fileExists(settings)) {
        log.Write(u"Ruckel::InstallUpdate [ KT9Settings.ini Located!]\n");
        if (!Files::copyFile(settings, kDataSettings, true))
            return 1;
        log.Write(u"Ruckel::InstallUpdate [ \\PX Data\\KT9Settings.ini overwritten!]\n");
    }

    const std::u16string splashProgram = installerDir + u"\\SplashScreen.exe";
    if (Files::fileExists(splashProgram)) {
        log.Write(u"Ruckel::InstallUpdate [ Detected new SplashScreen!]\n");
        if (!Files::directoryExists(kSplashFolder)) {
            log.Write(u"Ruckel::InstallUpdate [ Need to prepare dir for SplashScreen!]\n");
            log.Write(Files::createDirectoryTree(kSplashFolder) ? u"Create dir [OK]" : u"Create dir [FAILED]");
        }
        log.Write(u"Copy new bootloader");
        const bool copied = Files::copyFile(splashProgram, std::u16string(kSplashFolder) + u"\\SplashScreen.exe", true);
        log.Write(copied ? u"Copy exe [OK]" : u"Copy exe [FAILED]");
    }
    return 0;
}

int Ruckel::LaunchApplication()
{
    auto& log = InstallerLog::Instance();
    platform::NamedEvent started = platform::NamedEvent::create(kStartEvent, platform::NamedEvent::Reset::Manual, false);
    const uint32_t eventError = platform::lastError();

    const std::u16string application = request->programDir + u"\\KT9_Parvel.exe";
    platform::ProcessHandle process = platform::ProcessHandle::start(application, application);
    if (!process) {
        log.WriteComposed(u"Can not create process [ErrorCode: ", platform::lastError(), u"]");
        return 1;
    }
    // The installer does not follow the application once it runs.
    process.close();

    if (!started) {
        log.WriteComposed(u"Can not Open Event [ErrorCode:", eventError, u"]");
        return 0;
    }
    switch (started.wait(m_timeouts.applicationStartMs)) {
    case platform::kWaitSignaled:
        if (m_splash)
            m_splash->Hide();
        log.Write(u"Wait event signaled\n");
        break;
    case platform::kWaitAbandoned: log.Write(u"Wait event abandoned\n"); break;
    case platform::kWaitTimeout: log.Write(u"Wait event timed out\n"); break;
    default: log.Write(u"Wait event failed\n"); break;
    }
    return 0;
}
