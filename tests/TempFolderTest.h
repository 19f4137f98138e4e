#pragma once
// A test with a folder of its own under the system's temporary folder, named after the process
// and the test, made before and removed after each test (even where a test took its rights).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

class TTempFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("doryou-test-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::permissions(dir, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(dir, ec);
    }
    std::string Path(const std::string& Name) const { return (dir / Name).string(); }

    std::filesystem::path dir;
};
