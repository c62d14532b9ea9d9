// A fresh device root with the program at "\App\kt9.exe", so that the data folder is "\ Data"
// and the dump file "\App\kt9_dump.txt".
#pragma once

#include "platform/Process.h"
#include "tests/support/DeviceRootTest.h"

class UtilTest : public testsupport::DeviceRootTest {
protected:
    void SetUp() override
    {
        DeviceRootTest::SetUp();
        platform::overrideModulePath(u"\\App\\kt9.exe");
        makeHostFolder(u"\\App");
    }
};
