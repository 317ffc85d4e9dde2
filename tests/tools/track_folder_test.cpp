// trackfile build: one file per track of the source, and no file of a track the source dropped.
#include "track_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "libsync/track_file.h"
#include "support/test_support.h"

TEST(TrackFolder, BuildWritesTheSourcesTracksAndRemovesStaleOnes) {
    test_support::TempDir dir;
    const std::string folder = dir.file("tracks");
    std::vector<TrackText> tracks;
    std::string error;
    ASSERT_TRUE(
        parse_tracks("track a#b\n0 1 linear\n8 2 step\n\ntrack c#d\n4 -1 step\n", tracks, error))
        << error;
    std::filesystem::create_directories(folder);
    const std::string stale = folder + "/0000ABCD.trk", other = folder + "/notes.txt";
    test_support::write_file(stale, {0, 0, 0, 0});
    test_support::write_file(other, {1, 2, 3});
    ASSERT_TRUE(build_track_folder(tracks, folder, error)) << error;
    EXPECT_FALSE(std::filesystem::exists(stale)) << "a track no source names";
    EXPECT_TRUE(std::filesystem::exists(other)) << "not a track file: left alone";
    for (const TrackText& t : tracks)
        EXPECT_TRUE(test_support::read_file(folder + "/" + track_file_name(t.id)) ==
                    track_file_encode(t.keys.data(), int32_t(t.keys.size())))
            << t.name;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files += entry.path().extension() == ".trk";
    EXPECT_EQ(2, files);

    // Dropping a track from the source drops its file on the next build.
    tracks.pop_back();
    ASSERT_TRUE(build_track_folder(tracks, folder, error)) << error;
    EXPECT_TRUE(std::filesystem::exists(folder + "/" + track_file_name(tracks[0].id)));
    EXPECT_EQ(1, int(std::distance(std::filesystem::directory_iterator(folder),
                                   std::filesystem::directory_iterator())) -
                     1);
}

TEST(TrackFolder, BuildFailsClearlyWhenTheFolderCannotBeMade) {
    test_support::TempDir dir;
    test_support::write_file(dir.file("file"), {1});
    std::vector<TrackText> tracks = {{"a#b", 1, {{0, 1.0f, 0}}}};
    std::string error;
    EXPECT_FALSE(build_track_folder(tracks, dir.file("file/tracks"), error));
    EXPECT_NE(std::string::npos, error.find("cannot")) << error;
}
