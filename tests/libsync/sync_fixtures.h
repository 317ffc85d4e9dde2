#pragma once
// Shared by the sync tests: a scratch working folder (device base paths are relative) and a
// device that is destroyed with the test.
#include <filesystem>
#include <memory>
#include <string>

#include "libsync/device.h"
#include "support/test_support.h"

struct DeviceDeleter {
    void operator()(sync_device* d) const { sync_destroy_device(d); }
};
using DeviceHandle = std::unique_ptr<sync_device, DeviceDeleter>;

// Runs each test inside a fresh temporary folder.
class InTempFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(scratch_.path());
    }
    void TearDown() override { std::filesystem::current_path(previous_); }

    // A file in the scratch folder, by its path relative to it.
    std::string file(const std::string& relative) const { return scratch_.file(relative); }

  private:
    test_support::TempDir scratch_;
    std::filesystem::path previous_;
};
