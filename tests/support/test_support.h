#pragma once
// Helpers shared by the tests: a scratch folder, whole-file reads and writes, the random seed.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace test_support {

// A fresh folder under /tmp, removed with everything in it when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const;

  private:
    std::string path_;
};

void write_file(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> read_file(const std::string& path);

// The seed for randomised tests: DEMO_TEST_SEED when set, else derived from gtest's seed
// (--gtest_random_seed). Tests print it with every failure so that a run can be repeated.
uint32_t test_seed();

// While one lives, the leak checker of the sanitizer build ignores new allocations: for what
// libraries of the system keep to the end of the process. Does nothing in other builds.
class leaks_not_ours {
  public:
    leaks_not_ours();
    ~leaks_not_ours();
    leaks_not_ours(const leaks_not_ours&) = delete;
    leaks_not_ours& operator=(const leaks_not_ours&) = delete;
};

} // namespace test_support
