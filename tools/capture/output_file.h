#pragma once
// Files that appear under their name only once they are complete: written as NAME.partial and
// renamed at the end, removed again when the recording fails or stops early. Errors name the file
// and what the system said ("No space left on device").
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class output_file {
  public:
    // Nothing is opened until the first write.
    explicit output_file(std::string path);
    ~output_file(); // an uncommitted file is removed
    output_file(const output_file&) = delete;
    output_file& operator=(const output_file&) = delete;

    const std::string& path() const { return path_; }
    std::string partial_path() const { return path_ + ".partial"; }

    // Appends; false, with the error set, when it cannot.
    bool write(const void* data, size_t size);
    bool write(const std::vector<uint8_t>& bytes) { return write(bytes.data(), bytes.size()); }
    // Overwrites bytes already written, from `offset` on.
    bool write_at(uint64_t offset, const std::vector<uint8_t>& bytes);
    // Writes out what is buffered and closes the file, still under its partial name.
    bool complete();
    // Completes the file and gives it its name.
    bool commit();
    // Removes what was written; no error.
    void discard();

    const std::string& error() const { return error_; }

  private:
    bool open();
    bool fail(const std::string& what);

    std::string path_;
    std::FILE* file_ = nullptr;
    bool opened_ = false; // the partial file exists
    bool committed_ = false;
    std::string error_;
};

// A whole file written at once, complete or not at all; the error goes to `error`.
bool write_whole_file(const std::string& path, const std::vector<uint8_t>& bytes,
                      std::string& error);
