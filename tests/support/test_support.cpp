#include "support/test_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace test_support {

TempDir::TempDir() {
    char pattern[] = "/tmp/demo-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) {
        std::perror("mkdtemp");
        std::abort();
    }
    path_ = made;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::file(const std::string& name) const {
    return path_ + "/" + name;
}

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t test_seed() {
    if (const char* text = std::getenv("DEMO_TEST_SEED"))
        return static_cast<uint32_t>(std::strtoul(text, nullptr, 0));
    return static_cast<uint32_t>(::testing::UnitTest::GetInstance()->random_seed()) ^ 0x9E3779B9u;
}

#if defined(__SANITIZE_ADDRESS__)
leaks_not_ours::leaks_not_ours() {
    __lsan_disable();
}
leaks_not_ours::~leaks_not_ours() {
    __lsan_enable();
}
#else
leaks_not_ours::leaks_not_ours() = default;
leaks_not_ours::~leaks_not_ours() = default;
#endif

} // namespace test_support
