#include "platform/protect/DataProtection.h"

#include "platform/DeviceRoot.h"
#include "platform/Error.h"
#include "tests/support/DeviceRootTest.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using platform::DataProtection;

class DataProtectionTest : public testsupport::DeviceRootTest {};

const std::string kHash = "0123456789abcdef";

TEST_F(DataProtectionTest, RoundTripsDataAndDescription)
{
    struct Case {
        const char* name;
        std::string data;
        std::u16string description;
        std::string entropy;
    };
    const Case cases[] = {
        {"hash for a user", kHash, u"bob", ""},
        {"empty data", "", u"amy", ""},
        {"empty description", "secret", u"", ""},
        {"non-ASCII description", "payload", u"J\u00FCrgen\u4E2D", ""},
        {"with entropy", "secret", u"bob", "salt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto blob = DataProtection::protect(c.data.data(), c.data.size(), c.description, c.entropy);
        ASSERT_TRUE(blob);
        if (!c.data.empty()) {
            EXPECT_EQ(std::string(blob->begin(), blob->end()).find(c.data), std::string::npos) << "data in the clear";
        }
        const auto opened = DataProtection::unprotect(blob->data(), blob->size(), c.entropy);
        ASSERT_TRUE(opened);
        EXPECT_EQ(std::string(opened->data.begin(), opened->data.end()), c.data);
        EXPECT_EQ(opened->description, c.description);
    }
    const auto first = DataProtection::protect(kHash.data(), kHash.size(), u"bob");
    const auto second = DataProtection::protect(kHash.data(), kHash.size(), u"bob");
    EXPECT_NE(*first, *second) << "every blob has its own nonce";
}

TEST_F(DataProtectionTest, EveryFlippedBitIsRefused)
{
    const auto blob = DataProtection::protect(kHash.data(), kHash.size(), u"bob");
    ASSERT_TRUE(blob);
    for (size_t bit = 0; bit < blob->size() * 8; ++bit) {
        std::vector<uint8_t> altered = *blob;
        altered[bit / 8] ^= uint8_t(1u << (bit % 8));
        platform::setLastError(0);
        EXPECT_FALSE(DataProtection::unprotect(altered.data(), altered.size())) << "bit " << bit;
        EXPECT_EQ(platform::lastError(), platform::kErrorInvalidData) << "bit " << bit;
    }
}

TEST_F(DataProtectionTest, RefusesTruncatedBlobsWrongEntropyAndAnotherDeviceRoot)
{
    const auto blob = DataProtection::protect(kHash.data(), kHash.size(), u"bob", "salt");
    ASSERT_TRUE(blob);
    for (size_t size : {size_t(0), size_t(3), size_t(20), blob->size() - 1}) {
        EXPECT_FALSE(DataProtection::unprotect(blob->data(), size, "salt")) << size;
        EXPECT_EQ(platform::lastError(), platform::kErrorInvalidData);
    }
    EXPECT_FALSE(DataProtection::unprotect(blob->data(), blob->size()));
    EXPECT_FALSE(DataProtection::unprotect(blob->data(), blob->size(), "Salt"));

    const std::string first = m_root;
    char pattern[] = "/tmp/device-root-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    platform::DeviceRoot::setHostRoot(pattern);
    EXPECT_FALSE(DataProtection::unprotect(blob->data(), blob->size(), "salt"));
    EXPECT_EQ(platform::lastError(), platform::kErrorInvalidData);
    std::filesystem::remove_all(pattern);

    platform::DeviceRoot::setHostRoot(first);
    EXPECT_TRUE(DataProtection::unprotect(blob->data(), blob->size(), "salt"));
}

TEST_F(DataProtectionTest, MachineKeyIsPrivateAndSharedByProcessesThatRaceToCreateIt)
{
    constexpr int kChildren = 4;
    int pipes[kChildren][2];
    std::vector<pid_t> children;
    for (int i = 0; i < kChildren; ++i) {
        ASSERT_EQ(::pipe(pipes[i]), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const auto blob = DataProtection::protect(kHash.data(), kHash.size(), u"bob");
            if (!blob)
                ::_exit(1);
            ::_exit(::write(pipes[i][1], blob->data(), blob->size()) == ssize_t(blob->size()) ? 0 : 1);
        }
        children.push_back(child);
    }
    for (int i = 0; i < kChildren; ++i) {
        int status = 0;
        ASSERT_EQ(::waitpid(children[i], &status, 0), children[i]);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        ::close(pipes[i][1]);
        std::vector<uint8_t> blob(256);
        const ssize_t got = ::read(pipes[i][0], blob.data(), blob.size());
        ::close(pipes[i][0]);
        ASSERT_GT(got, 0);
        const auto opened = DataProtection::unprotect(blob.data(), size_t(got));
        ASSERT_TRUE(opened) << "child " << i;
        EXPECT_EQ(std::string(opened->data.begin(), opened->data.end()), kHash);
    }
    struct stat info {};
    const std::string keyFile = platform::DeviceRoot::stateFolder() + "/machine.key";
    ASSERT_EQ(::stat(keyFile.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(info.st_size, 32);
    size_t files = 0;
    for (auto& entry : std::filesystem::directory_iterator(platform::DeviceRoot::stateFolder()))
        files += entry.path().filename().string().rfind("machine.key", 0) == 0;
    EXPECT_EQ(files, 1u) << "no temporary key file is left behind";
}

TEST_F(DataProtectionTest, DamagedMachineKeyFailsInsteadOfMakingANewOne)
{
    ASSERT_TRUE(DataProtection::protect("x", 1, u"bob"));
    char pattern[] = "/tmp/device-root-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    platform::DeviceRoot::setHostRoot(pattern);
    std::ofstream(platform::DeviceRoot::stateFolder() + "/machine.key") << "short";
    EXPECT_FALSE(DataProtection::protect("x", 1, u"bob"));
    EXPECT_EQ(platform::lastError(), platform::kErrorInvalidData);
    std::filesystem::remove_all(pattern);
}

} // namespace
