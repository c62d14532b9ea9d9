// A test fixture that owns a fresh device root in a temporary folder and removes it afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>

#include "platform/DeviceRoot.h"
#include "platform/Text.h"

namespace testsupport {

class DeviceRootTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/device-root-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_root = pattern;
        platform::DeviceRoot::setHostRoot(m_root);
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::permissions(m_root, std::filesystem::perms::owner_all, ignored);
        for (auto& entry : std::filesystem::recursive_directory_iterator(m_root, ignored))
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(m_root, ignored);
    }

    // The host path of a device path, for checking results from outside the system.
    std::string host(std::u16string_view devicePath) const
    {
        auto path = platform::DeviceRoot::toHost(devicePath);
        return path ? *path : std::string();
    }
    void writeHostFile(std::u16string_view devicePath, const std::string& content) const
    {
        const std::filesystem::path path = host(devicePath);
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
    }
    std::string readHostFile(std::u16string_view devicePath) const
    {
        std::ifstream in(host(devicePath), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool hostExists(std::u16string_view devicePath) const { return std::filesystem::exists(host(devicePath)); }
    void makeHostFolder(std::u16string_view devicePath) const { std::filesystem::create_directories(host(devicePath)); }

    std::string m_root;
};

} // namespace testsupport
