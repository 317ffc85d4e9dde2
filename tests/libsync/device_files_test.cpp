// Track file names, the file format, loading (including damaged files) and saving.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "libsync/device.h"
#include "libsync/track_file.h"
#include "sync_fixtures.h"

namespace {

using test_support::read_file;
using test_support::write_file;
using Bytes = std::vector<uint8_t>;

// Two names whose hashes are equal once masked to 31 bits.
constexpr const char* COLLIDING_A = "c#aaaaaa";
constexpr const char* COLLIDING_B = "c#ckuukc";

TEST(TrackPath, HashesAndFileNames) {
    EXPECT_STREQ("tracks\\4401F8E3.trk", sync_track_path("tracks\\", "blur#blurWidth"));
    EXPECT_STREQ("tracks\\587DE7E3.trk", sync_track_path("tracks\\", "main#blendfade"));
    EXPECT_STREQ("00000000.trk", sync_track_path("", ""));
    EXPECT_STREQ("x\\00000061.trk", sync_track_path("x\\", "a"));
    EXPECT_EQ(0x4401F8E3, sync_track_id("blur#blurWidth"));
    EXPECT_EQ(sync_track_id(COLLIDING_A), sync_track_id(COLLIDING_B));
    // Bytes above 127 count as unsigned: 0xFF, not -1.
    EXPECT_EQ(0xFF, sync_track_id("\xFF"));
}

TEST(TrackPath, NeverLongerThan259Characters) {
    std::string base(300, 'b');
    EXPECT_EQ(259u, std::strlen(sync_track_path(base.c_str(), "a")));
    std::string near(250, 'b');
    std::string path = sync_track_path(near.c_str(), "a");
    EXPECT_EQ(near + "00000061.", path);
}

TEST(DeviceCreation, RejectsNullAndSlashBases) {
    EXPECT_EQ(nullptr, sync_create_device(nullptr));
    EXPECT_EQ(nullptr, sync_create_device("/tracks"));
    DeviceHandle d(sync_create_device("tracks\\"));
    ASSERT_NE(nullptr, d);
    EXPECT_STREQ("tracks\\", d->base);
    EXPECT_EQ(-1, d->row);
    EXPECT_EQ(tcp_invalid, d->sock);
    EXPECT_EQ(0, d->num_tracks);
}

TEST(DeviceCreation, BasePathEncoding) {
    const struct {
        const char* base;
        const char* encoded;
    } cases[] = {{"tracks\\", "tracks\\"},
                 {"my tracks/", "my-20tracks-2F"},
                 {"C:\\sync\\", "C-3A\\sync\\"},
                 {"a_b.c\xE9", "a_b.c-E9"}};
    for (const auto& c : cases) {
        DeviceHandle d(sync_create_device(c.base));
        ASSERT_NE(nullptr, d);
        EXPECT_STREQ(c.encoded, d->base) << c.base;
    }
}

TEST(DeviceCreation, LongBasesAreCutAtTheLimits) {
    std::string plain(300, 'p');
    DeviceHandle d(sync_create_device(plain.c_str()));
    EXPECT_EQ(std::string(259, 'p'), d->base);
    // 257 characters written: an escape no longer fits, and the walk stops there.
    std::string escaped = std::string(257, 'p') + " pp";
    DeviceHandle e(sync_create_device(escaped.c_str()));
    EXPECT_EQ(std::string(257, 'p'), e->base);
    // 256 written: one last escape fits, ending at 259.
    std::string fits = std::string(256, 'p') + " pp";
    DeviceHandle f(sync_create_device(fits.c_str()));
    EXPECT_EQ(std::string(256, 'p') + "-20", f->base);
}

using DeviceFiles = InTempFolder;

TEST_F(DeviceFiles, OneKeyFileBytes) {
    std::filesystem::create_directory("tracks");
    DeviceHandle d(sync_create_device("tracks\\"));
    sync_track* t = sync_get_track(d.get(), "blur#blurWidth");
    track_key k{0, 1.0f, KEY_STEP};
    ASSERT_EQ(0, sync_set_key(t, &k));
    ASSERT_EQ(0, sync_save_tracks(d.get()));
    EXPECT_EQ((Bytes{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80, 0x3F, 0}),
              read_file(file("tracks/4401F8E3.trk")));
}

TEST_F(DeviceFiles, SaveThenLoadGivesTheSameKeys) {
    std::filesystem::create_directory("tracks");
    const std::vector<track_key> keys = {{-7, -0.0f, KEY_LINEAR},
                                         {0, 1.5f, KEY_SMOOTHSTEP},
                                         {3, 1e-30f, KEY_QUADRATIC},
                                         {100000, -3.25e7f, KEY_STEP}};
    {
        DeviceHandle d(sync_create_device("tracks\\"));
        sync_track* t = sync_get_track(d.get(), "scene#value");
        for (const track_key& k : keys)
            ASSERT_EQ(0, sync_set_key(t, &k));
        sync_get_track(d.get(), "scene#empty");
        ASSERT_EQ(0, sync_save_tracks(d.get()));
    }
    EXPECT_EQ(4u + 9 * keys.size(),
              read_file(file("tracks/" + std::string(sync_track_path("", "scene#value")))).size());
    EXPECT_EQ((Bytes{0, 0, 0, 0}),
              read_file(file(std::string("tracks/") + sync_track_path("", "scene#empty"))));

    DeviceHandle d(sync_create_device("tracks\\"));
    testing::internal::CaptureStderr();
    sync_track* t = sync_get_track(d.get(), "scene#value");
    sync_track* empty = sync_get_track(d.get(), "scene#empty");
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    ASSERT_EQ(int(keys.size()), t->num_keys);
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i].row, t->keys[i].row) << i;
        EXPECT_EQ(0, std::memcmp(&keys[i].value, &t->keys[i].value, 4)) << i;
        EXPECT_EQ(keys[i].type, t->keys[i].type) << i;
    }
    EXPECT_EQ(0, empty->num_keys);
    EXPECT_EQ(nullptr, empty->keys);
}

TEST_F(DeviceFiles, MissingFileIsSilentAndEmpty) {
    DeviceHandle d(sync_create_device("tracks\\"));
    testing::internal::CaptureStderr();
    sync_track* t = sync_get_track(d.get(), "nowhere");
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(0, t->num_keys);
    EXPECT_EQ(0.0, sync_get_val(t, 10.0));
}

TEST_F(DeviceFiles, LookupIsByExactNameInRequestOrder) {
    DeviceHandle d(sync_create_device("tracks\\"));
    sync_track* a = sync_get_track(d.get(), "a");
    sync_track* b = sync_get_track(d.get(), "A");
    EXPECT_NE(a, b);
    EXPECT_EQ(a, sync_get_track(d.get(), "a"));
    ASSERT_EQ(2, d->num_tracks);
    EXPECT_EQ(a, d->tracks[0]);
    EXPECT_EQ(b, d->tracks[1]);
    EXPECT_STREQ("A", d->tracks[1]->name);
}

TEST_F(DeviceFiles, CollidingNamesShareOneFile) {
    std::filesystem::create_directory("tracks");
    write_file(file(std::string("tracks/") + sync_track_path("", COLLIDING_A)),
               track_file_encode(std::vector<track_key>{{2, 4.0f, KEY_STEP}}.data(), 1));
    DeviceHandle d(sync_create_device("tracks\\"));
    sync_track* a = sync_get_track(d.get(), COLLIDING_A);
    sync_track* b = sync_get_track(d.get(), COLLIDING_B);
    EXPECT_NE(a, b);
    EXPECT_EQ(4.0, sync_get_val(a, 0));
    EXPECT_EQ(4.0, sync_get_val(b, 0));
}

TEST_F(DeviceFiles, DamagedFilesLeaveTheTrackEmptyWithOneLine) {
    const struct {
        const char* what;
        Bytes bytes;
    } cases[] = {
        {"empty file", {}},
        {"short count", {1, 0}},
        {"negative count", {0xFF, 0xFF, 0xFF, 0xFF}},
        {"count beyond the file", {2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0x80, 0x3F, 0}},
        {"huge count", {0xFF, 0xFF, 0xFF, 0x7F, 1, 0, 0, 0, 0, 0, 0x80, 0x3F, 0}},
        {"trailing bytes", {1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0x80, 0x3F, 0, 9}},
        {"last key cut short", {1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0x80, 0x3F}},
        {"rows not ascending",
         {2, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0x80, 0x3F, 0, 4, 0, 0, 0, 0, 0, 0x80, 0x3F, 0}},
        {"repeated row",
         {2, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0x80, 0x3F, 0, 5, 0, 0, 0, 0, 0, 0x80, 0x3F, 0}},
        {"type code 4", {1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0x80, 0x3F, 4}},
        {"type code 255", {1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0x80, 0x3F, 255}},
    };
    std::filesystem::create_directory("tracks");
    const std::string path = std::string("tracks/") + sync_track_path("", "damaged");
    for (const auto& c : cases) {
        write_file(file(path), c.bytes);
        DeviceHandle d(sync_create_device("tracks\\"));
        testing::internal::CaptureStderr();
        sync_track* t = sync_get_track(d.get(), "damaged");
        std::string message = testing::internal::GetCapturedStderr();
        ASSERT_NE(nullptr, t);
        EXPECT_EQ(0, t->num_keys) << c.what;
        EXPECT_EQ(nullptr, t->keys) << c.what;
        EXPECT_NE(std::string::npos, message.find(path)) << c.what << ": " << message;
        EXPECT_NE(std::string::npos, message.find("damaged")) << c.what << ": " << message;
        EXPECT_EQ(1, std::count(message.begin(), message.end(), '\n')) << c.what << ": " << message;
        EXPECT_EQ('\n', message.back()) << c.what;
    }
}

TEST_F(DeviceFiles, SaveFailsWithoutTheFolderAndDoesNotCreateIt) {
    DeviceHandle d(sync_create_device("missing\\"));
    sync_get_track(d.get(), "x");
    EXPECT_EQ(-1, sync_save_tracks(d.get()));
    EXPECT_FALSE(std::filesystem::exists("missing"));
}

TEST_F(DeviceFiles, SaveFailsWhenAFolderOnThePathIsAFile) {
    write_file(file("plain"), {1});
    DeviceHandle d(sync_create_device("plain\\sub\\"));
    sync_get_track(d.get(), "x");
    EXPECT_EQ(-1, sync_save_tracks(d.get()));
    EXPECT_EQ((Bytes{1}), read_file(file("plain")));
}

TEST_F(DeviceFiles, SaveStopsAtTheFirstFailure) {
    std::filesystem::create_directory("tracks");
    DeviceHandle d(sync_create_device("tracks\\"));
    sync_get_track(d.get(), "first");
    sync_get_track(d.get(), "second");
    sync_get_track(d.get(), "third");
    // A folder where the second file should go makes its open fail.
    std::filesystem::create_directory(std::string("tracks/") + sync_track_path("", "second"));
    EXPECT_EQ(-1, sync_save_tracks(d.get()));
    EXPECT_TRUE(std::filesystem::exists(std::string("tracks/") + sync_track_path("", "first")));
    EXPECT_FALSE(std::filesystem::exists(std::string("tracks/") + sync_track_path("", "third")));
}

TEST_F(DeviceFiles, SaveReportsAFullDisk) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    std::filesystem::create_directory("tracks");
    DeviceHandle d(sync_create_device("tracks\\"));
    sync_get_track(d.get(), "full");
    std::filesystem::create_symlink("/dev/full",
                                    std::string("tracks/") + sync_track_path("", "full"));
    EXPECT_EQ(-1, sync_save_tracks(d.get()));
}

} // namespace
