#include "output_file.h"

#include <cerrno>
#include <cstring>

output_file::output_file(std::string path) : path_(std::move(path)) {}

output_file::~output_file() {
    discard();
}

bool output_file::fail(const std::string& what) {
    if (error_.empty())
        error_ = "cannot " + what + " " + path_ + ": " + std::strerror(errno);
    return false;
}

bool output_file::open() {
    if (file_)
        return true;
    if (opened_ || !error_.empty())
        return false; // one file, written once
    file_ = std::fopen(partial_path().c_str(), "wb");
    opened_ = file_ != nullptr;
    return opened_ || fail("write");
}

bool output_file::write(const void* data, size_t size) {
    if (!open())
        return false;
    return std::fwrite(data, 1, size, file_) == size || fail("write");
}

bool output_file::write_at(uint64_t offset, const std::vector<uint8_t>& bytes) {
    if (!open())
        return false;
    if (std::fflush(file_) != 0 || std::fseek(file_, long(offset), SEEK_SET) != 0)
        return fail("write");
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
    return (written && std::fseek(file_, 0, SEEK_END) == 0) || fail("write");
}

bool output_file::complete() {
    if (!opened_ && !open())
        return false;
    if (!file_) // completed before, or failed
        return error_.empty();
    // A full disk may show only now, when the buffered bytes go out.
    const bool flushed = std::fflush(file_) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    return (flushed && closed) || fail("write");
}

bool output_file::commit() {
    if (!complete())
        return false;
    if (std::rename(partial_path().c_str(), path_.c_str()) != 0)
        return fail("rename the finished file to");
    committed_ = true;
    return true;
}

void output_file::discard() {
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
    if (opened_ && !committed_)
        std::remove(partial_path().c_str());
    opened_ = false;
}

bool write_whole_file(const std::string& path, const std::vector<uint8_t>& bytes,
                      std::string& error) {
    output_file file(path);
    if (file.write(bytes) && file.commit())
        return true;
    error = file.error();
    return false;
}
