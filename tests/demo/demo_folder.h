#pragma once
// A scratch folder holding everything the demo reads, written by the test: a tiny module of three
// 64-row patterns at 24 rows per second, the six textures at the sizes the scenes take, and track
// files. The demo runs with it as its working folder.
#include <string>
#include <vector>

#include "libsync/track.h"
#include "support/test_support.h"

class DemoFolder {
  public:
    DemoFolder();

    const std::string& path() const { return dir_.path(); }
    std::string file(const std::string& relative) const { return dir_.file(relative); }

    // Writes the track file of `name`.
    void track(const std::string& name, const std::vector<track_key>& keys);
    // "main#run" as step keys (row, value), from 0 at row 0 unless the first key is there.
    void run_track(const std::vector<std::pair<int, float>>& keys);
    void remove(const std::string& relative);

  private:
    test_support::TempDir dir_;
};
