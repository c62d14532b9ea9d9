#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include "platform/Error.h"
#include "platform/devices/Device.h"
#include "platform/devices/DeviceTable.h"

using namespace platform;

namespace {

// Echoes its input back and counts live opens; control code 2 fails with 1311.
class EchoDriver : public DeviceDriver {
public:
    class Open : public DeviceOpen {
    public:
        explicit Open(EchoDriver& driver) : m_driver(driver) { ++m_driver.liveOpens; }
        ~Open() override { --m_driver.liveOpens; }
        bool control(uint32_t code, const void* input, uint32_t inputSize, void* output, uint32_t outputSize,
                     uint32_t* bytesReturned) override
        {
            if (code == 2) {
                setLastError(1311);
                return false;
            }
            const uint32_t n = std::min(inputSize, outputSize);
            if (n)
                std::memcpy(output, input, n);
            if (bytesReturned)
                *bytesReturned = n;
            return true;
        }

    private:
        EchoDriver& m_driver;
    };

    std::unique_ptr<DeviceOpen> open(uint32_t access, uint32_t) override
    {
        if (access == 0) {
            setLastError(kErrorAccessDenied);
            return nullptr;
        }
        return std::make_unique<Open>(*this);
    }

    std::atomic<int> liveOpens{0};
};

} // namespace

TEST(DeviceTableTest, UnregisteredDeviceCannotBeOpened)
{
    setLastError(0);
    Device rdr = Device::open(u"RDR0:", kGenericRead | kGenericWrite, 0);
    EXPECT_FALSE(rdr);
    EXPECT_EQ(lastError(), kErrorFileNotFound);
    EXPECT_FALSE(rdr.control(1, nullptr, 0, nullptr, 0));
    EXPECT_EQ(lastError(), kErrorInvalidHandle);
}

TEST(DeviceTableTest, RegisteredDriverServesOpensAndControls)
{
    auto driver = std::make_shared<EchoDriver>();
    ASSERT_TRUE(DeviceTable::registerDriver(u"TST0:", driver));
    EXPECT_FALSE(DeviceTable::registerDriver(u"tst0:", driver));
    EXPECT_EQ(lastError(), kErrorAlreadyExists);
    {
        Device device = Device::open(u"tst0:", kGenericRead, 0);
        ASSERT_TRUE(device);
        EXPECT_EQ(driver->liveOpens, 1);
        char out[8] = {};
        uint32_t returned = 0;
        EXPECT_TRUE(device.control(1, "abc", 3, out, sizeof(out), &returned));
        EXPECT_EQ(returned, 3u);
        EXPECT_STREQ(out, "abc");
        EXPECT_FALSE(device.control(2, nullptr, 0, nullptr, 0));
        EXPECT_EQ(lastError(), 1311u);

        // Unregistering keeps existing opens working; new opens fail.
        ASSERT_TRUE(DeviceTable::unregisterDriver(u"TST0:"));
        EXPECT_TRUE(device.control(1, "x", 1, out, 1));
        EXPECT_FALSE(Device::open(u"TST0:", kGenericRead, 0));
        Device moved = std::move(device);
        EXPECT_FALSE(device);
        EXPECT_TRUE(moved);
    }
    EXPECT_EQ(driver->liveOpens, 0);
    EXPECT_FALSE(DeviceTable::unregisterDriver(u"TST0:"));
    EXPECT_EQ(lastError(), kErrorFileNotFound);
}

TEST(DeviceTableTest, RefusalsOfDriverAndTable)
{
    auto driver = std::make_shared<EchoDriver>();
    ASSERT_TRUE(DeviceTable::registerDriver(u"TST1:", driver));
    EXPECT_FALSE(Device::open(u"TST1:", 0, 0));
    EXPECT_EQ(lastError(), kErrorAccessDenied);
    EXPECT_FALSE(Device::open(u"TST1:", kGenericRead, 0, 2));
    EXPECT_EQ(lastError(), kErrorInvalidParameter);
    EXPECT_FALSE(DeviceTable::registerDriver(u"", driver));
    EXPECT_FALSE(DeviceTable::registerDriver(u"TST2:", nullptr));
    EXPECT_EQ(lastError(), kErrorInvalidParameter);
    DeviceTable::unregisterDriver(u"TST1:");
}
