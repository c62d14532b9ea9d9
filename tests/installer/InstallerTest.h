// A fresh device root with the installer at "\Update\ruckel", so that its log is
// "\Update\Downloader.log".
#pragma once

#include "installer/InstallerLog.h"
#include "platform/Process.h"
#include "tests/support/DeviceRootTest.h"

class InstallerTest : public testsupport::DeviceRootTest {
protected:
    void SetUp() override
    {
        DeviceRootTest::SetUp();
        platform::overrideModulePath(u"\\Update\\ruckel");
        makeHostFolder(u"\\Update");
        InstallerLog::ResetInstance();
    }
    void TearDown() override
    {
        InstallerLog::ResetInstance();
        DeviceRootTest::TearDown();
    }
    std::string log() const { return readHostFile(u"\\Update\\Downloader.log"); }
};
