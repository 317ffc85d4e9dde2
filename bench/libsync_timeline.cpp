// Timeline::getTrack as the scenes call it: by name, dozens of times a frame, over 100 tracks of
// 50 keys each. The allocations counter shows that nothing is allocated once a track is known.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "allocation_counter.h"
#include "libsync/device.h"
#include "libsync/timeline.h"

namespace {

constexpr int TRACKS = 100;
constexpr int KEYS = 50;

// 100 track files in a scratch folder, which is the working folder while it exists.
class TrackFolder {
  public:
    TrackFolder() {
        char pattern[] = "/tmp/demo-bench-XXXXXX";
        folder_ = mkdtemp(pattern);
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(folder_);
        std::filesystem::create_directory("tracks");
        sync_device* d = sync_create_device("tracks\\");
        for (int t = 0; t < TRACKS; ++t) {
            names_.push_back("scene" + std::to_string(t / 10) + "#param" + std::to_string(t));
            sync_track* track = sync_get_track(d, names_.back().c_str());
            for (int k = 0; k < KEYS; ++k) {
                track_key key{k * 8, float(std::sin(k + t)), uint8_t((k + t) % 4)};
                sync_set_key(track, &key);
            }
        }
        sync_save_tracks(d);
        sync_destroy_device(d);
    }
    ~TrackFolder() {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(folder_);
    }
    const std::vector<std::string>& names() const { return names_; }

  private:
    std::filesystem::path folder_, previous_;
    std::vector<std::string> names_;
};

void BM_GetTrackByName(benchmark::State& state) {
    TrackFolder folder;
    Timeline timeline;
    timeline.rowRate = 24.0f;
    timeline.open("tracks\\");
    std::vector<const char*> names;
    for (const std::string& name : folder.names())
        names.push_back(name.c_str());
    size_t first_use = allocation_count();
    for (const char* name : names) // first use: files are read, map nodes allocated
        benchmark::DoNotOptimize(timeline.getTrack(name, 0.0));
    first_use = allocation_count() - first_use;

    size_t before = allocation_count();
    size_t i = 0;
    for (auto _ : state) {
        double time = std::fmod(double(i) * 0.0137, 17.0); // rows 0 to 408: every segment
        benchmark::DoNotOptimize(timeline.getTrack(names[i % TRACKS], time));
        ++i;
    }
    state.counters["allocations_per_call"] =
        benchmark::Counter(double(allocation_count() - before) / double(state.iterations()));
    state.counters["first_use_allocations"] = benchmark::Counter(double(first_use));
}
BENCHMARK(BM_GetTrackByName);

void BM_GetTrackById(benchmark::State& state) {
    TrackFolder folder;
    Timeline timeline;
    timeline.rowRate = 24.0f;
    timeline.open("tracks\\");
    std::vector<int> ids;
    for (const std::string& name : folder.names())
        ids.push_back(timeline.loadTrack(name.c_str()));

    size_t before = allocation_count();
    size_t i = 0;
    for (auto _ : state) {
        double time = std::fmod(double(i) * 0.0137, 17.0);
        benchmark::DoNotOptimize(timeline.getTrack(ids[i % TRACKS], time));
        ++i;
    }
    state.counters["allocations_per_call"] =
        benchmark::Counter(double(allocation_count() - before) / double(state.iterations()));
}
BENCHMARK(BM_GetTrackById);

} // namespace
