// The device against a fake editor on loopback: the exact bytes both ways, the commands, the
// row reports, split messages, failures and reconnection.
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fake_editor.h"
#include "libsync/device.h"
#include "libsync/track_file.h"
#include "sync_fixtures.h"

namespace {

using test_support::read_file;
using test_support::write_file;

// What the program's callbacks saw.
struct Playback {
    std::vector<int> pauses;
    std::vector<int> seeks;
    bool playing = true;
};

sync_cb playback_callbacks = {
    [](void* data, int flag) { static_cast<Playback*>(data)->pauses.push_back(flag); },
    [](void* data, int row) { static_cast<Playback*>(data)->seeks.push_back(row); },
    [](void* data) { return static_cast<Playback*>(data)->playing ? 1 : 0; },
};

class Protocol : public InTempFolder {
  protected:
    void SetUp() override {
        InTempFolder::SetUp();
        device.reset(sync_create_device("tracks\\"));
        ASSERT_NE(nullptr, device);
    }

    // Connects the device to the editor and checks the greeting and the track requests.
    void connect(const std::vector<std::string>& expected_requests) {
        editor.accept_async();
        ASSERT_EQ(0, sync_connect(device.get(), editor.host().c_str(), 1));
        ASSERT_TRUE(editor.accepted());
        for (const std::string& name : expected_requests)
            ASSERT_EQ(get_track_message(name), editor.receive(get_track_message(name).size()))
                << name;
    }

    int update(int row) { return sync_update(device.get(), row, &playback_callbacks, &playback); }

    sync_track* track(int index) { return device->tracks[index]; }

    FakeEditor editor;
    DeviceHandle device;
    Playback playback;
};

TEST_F(Protocol, ConnectRequestsEveryTrackInOrderAndDropsFileKeys) {
    std::filesystem::create_directory("tracks");
    track_key file_key{3, 9.0f, KEY_STEP};
    write_file(file(std::string("tracks/") + sync_track_path("", "b")),
               track_file_encode(&file_key, 1));
    sync_get_track(device.get(), "blur#blurWidth");
    sync_get_track(device.get(), "b");
    ASSERT_EQ(1, track(1)->num_keys);

    connect({"blur#blurWidth", "b"});
    EXPECT_EQ(0, track(1)->num_keys);
    EXPECT_EQ(nullptr, track(1)->keys);

    // The request bytes themselves, as the editor reads them.
    Bytes request = {2, 0, 0, 0, 14};
    for (char c : std::string("blur#blurWidth"))
        request.push_back(static_cast<uint8_t>(c));
    EXPECT_EQ(request, get_track_message("blur#blurWidth"));

    // A track asked for while connected comes from the editor, not from its file.
    write_file(file(std::string("tracks/") + sync_track_path("", "c")),
               track_file_encode(&file_key, 1));
    sync_track* c = sync_get_track(device.get(), "c");
    EXPECT_EQ(get_track_message("c"), editor.receive(6));
    EXPECT_EQ(0, c->num_keys);
}

TEST_F(Protocol, SetKeyExampleBytes) {
    sync_get_track(device.get(), "t0");
    sync_get_track(device.get(), "t1");
    connect({"t0", "t1"});
    Bytes message = {0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00,
                     0x00, 0x10, 0x3F, 0x80, 0x00, 0x00, 0x01};
    EXPECT_EQ(message, set_key_message(1, 16, 1.0f, KEY_LINEAR));
    editor.send(message);
    ASSERT_TRUE(poll_until([&] { EXPECT_EQ(0, update(0)); }, [&] { return track(1)->num_keys; }));
    EXPECT_EQ(16, track(1)->keys[0].row);
    EXPECT_EQ(1.0f, track(1)->keys[0].value);
    EXPECT_EQ(KEY_LINEAR, track(1)->keys[0].type);
    EXPECT_EQ(0, track(0)->num_keys);
}

TEST_F(Protocol, KeyEditsSeekAndPause) {
    sync_get_track(device.get(), "t");
    connect({"t"});
    playback.playing = false;
    editor.send(
        concat({set_key_message(0, 1, 1.0f, KEY_STEP), set_key_message(0, 5, 5.0f, KEY_LINEAR),
                set_key_message(0, 9, 9.0f, KEY_STEP), set_key_message(0, 5, 6.0f, KEY_STEP),
                delete_key_message(0, 1), delete_key_message(0, 4), set_row_message(-130),
                pause_message(1), pause_message(0), pause_message(7)}));
    ASSERT_TRUE(
        poll_until([&] { EXPECT_EQ(0, update(0)); }, [&] { return playback.pauses.size() == 3; }));
    ASSERT_EQ(2, track(0)->num_keys);
    EXPECT_EQ(5, track(0)->keys[0].row);
    EXPECT_EQ(6.0f, track(0)->keys[0].value);
    EXPECT_EQ(KEY_STEP, track(0)->keys[0].type);
    EXPECT_EQ(9, track(0)->keys[1].row);
    EXPECT_EQ(std::vector<int>{-130}, playback.seeks);
    EXPECT_EQ((std::vector<int>{1, 0, 7}), playback.pauses);
    // A seek does not count as a reported row.
    EXPECT_EQ(-1, device->row);
    EXPECT_NE(tcp_invalid, device->sock);
}

TEST_F(Protocol, CallbacksMayBeMissing) {
    sync_get_track(device.get(), "t");
    connect({"t"});
    sync_cb none = {};
    editor.send(concat({set_row_message(4), pause_message(1), set_key_message(0, 2, 1.0f, 0)}));
    ASSERT_TRUE(poll_until([&] { EXPECT_EQ(0, sync_update(device.get(), 3, &none, nullptr)); },
                           [&] { return track(0)->num_keys == 1; }));
    EXPECT_EQ(0, sync_update(device.get(), 3, nullptr, nullptr));
    EXPECT_EQ(-1, device->row);
}

TEST_F(Protocol, SaveCommandWritesTheFilesAndAFailedSaveKeepsTheConnection) {
    sync_get_track(device.get(), "blur#blurWidth");
    connect({"blur#blurWidth"});
    playback.playing = false;
    // No folder yet: the save fails, quietly.
    editor.send(concat({set_key_message(0, 0, 1.0f, KEY_STEP), {5}}));
    ASSERT_TRUE(
        poll_until([&] { EXPECT_EQ(0, update(0)); }, [&] { return track(0)->num_keys == 1; }));
    EXPECT_FALSE(std::filesystem::exists("tracks"));
    std::filesystem::create_directory("tracks");
    editor.send({5});
    ASSERT_TRUE(poll_until([&] { EXPECT_EQ(0, update(0)); },
                           [&] { return std::filesystem::exists("tracks/4401F8E3.trk"); }));
    EXPECT_EQ((Bytes{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80, 0x3F, 0}),
              read_file(file("tracks/4401F8E3.trk")));
    EXPECT_NE(tcp_invalid, device->sock);
}

TEST_F(Protocol, RowIsReportedWhilePlayingAndOnlyWhenItChanges) {
    connect({});
    // The row starts at -1, so -1 is not sent; the next bytes are the report of row 5.
    EXPECT_EQ(0, update(-1));
    EXPECT_EQ(0, update(5));
    EXPECT_EQ(Bytes({3, 0, 0, 0, 5}), editor.receive(5));
    EXPECT_EQ(5, device->row);
    EXPECT_EQ(0, update(5));
    EXPECT_EQ(0, update(-2));
    EXPECT_EQ(Bytes({3, 0xFF, 0xFF, 0xFF, 0xFE}), editor.receive(5));

    playback.playing = false;
    EXPECT_EQ(0, update(7));
    playback.playing = true;
    EXPECT_EQ(0, update(8));
    EXPECT_EQ(set_row_message(8), editor.receive(5));

    // After a seek the program's own row is reported again only when it differs from the last.
    editor.send(set_row_message(100));
    ASSERT_TRUE(
        poll_until([&] { EXPECT_EQ(0, update(8)); }, [&] { return playback.seeks.size() == 1; }));
    EXPECT_EQ(0, update(9));
    EXPECT_EQ(set_row_message(9), editor.receive(5));
}

TEST_F(Protocol, MessagesSplitIntoSingleBytes) {
    sync_get_track(device.get(), "a");
    sync_get_track(device.get(), "b");
    editor.accept_async("hello, demo!", true);
    ASSERT_EQ(0, sync_connect(device.get(), editor.host().c_str(), 1));
    ASSERT_TRUE(editor.accepted());
    EXPECT_EQ(concat({get_track_message("a"), get_track_message("b")}), editor.receive(12));

    playback.playing = false;
    editor.send_byte_by_byte_async(
        concat({set_key_message(1, 16, 1.0f, KEY_LINEAR), set_key_message(1, 20, 2.0f, KEY_STEP),
                delete_key_message(1, 20), set_row_message(0x01020304), pause_message(1)}));
    ASSERT_TRUE(
        poll_until([&] { ASSERT_EQ(0, update(0)); }, [&] { return playback.pauses.size() == 1; }));
    editor.join();
    ASSERT_EQ(1, track(1)->num_keys);
    EXPECT_EQ(16, track(1)->keys[0].row);
    EXPECT_EQ(std::vector<int>{0x01020304}, playback.seeks);
}

TEST_F(Protocol, EveryProtocolFailureDropsTheConnection) {
    const struct {
        const char* what;
        Bytes bytes;
        const char* message;
    } cases[] = {
        {"type 4", set_key_message(0, 3, 1.0f, 4), ""},
        {"track number equal to the count", set_key_message(2, 3, 1.0f, 0), ""},
        {"huge track number", set_key_message(0xFFFFFFFF, 3, 1.0f, 0), ""},
        {"delete on a missing track", delete_key_message(2, 1), ""},
        {"command 2 from the editor", get_track_message("x"), "unknown cmd: 02\n"},
        {"command 6", {6}, "unknown cmd: 06\n"},
        {"command 0xAB", {0xAB}, "unknown cmd: ab\n"},
    };
    playback.playing = false; // no row reports before the end of the stream
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        device.reset(sync_create_device("tracks\\"));
        sync_get_track(device.get(), "a");
        sync_get_track(device.get(), "b");
        connect({"a", "b"});
        // A good command first: it stays applied after the failure.
        editor.send(concat({set_key_message(0, 1, 2.0f, KEY_STEP), c.bytes}));
        testing::internal::CaptureStderr();
        ASSERT_TRUE(poll_until([&] { update(0); }, [&] { return device->sock == tcp_invalid; }));
        EXPECT_EQ(c.message, testing::internal::GetCapturedStderr());
        EXPECT_EQ(1, track(0)->num_keys);
        EXPECT_TRUE(editor.closed_by_program());
        EXPECT_EQ(-1, update(0));
    }
}

TEST_F(Protocol, EditorHangingUpDropsTheConnection) {
    sync_get_track(device.get(), "a");
    connect({"a"});
    // Half a message, then the editor is gone.
    editor.send({0, 0, 0, 0});
    editor.hang_up();
    playback.playing = false;
    ASSERT_TRUE(poll_until([&] { update(0); }, [&] { return device->sock == tcp_invalid; }));
    EXPECT_EQ(-1, update(0));
}

TEST_F(Protocol, DeleteOfARowWithoutAKeyIsIgnored) {
    sync_get_track(device.get(), "a");
    connect({"a"});
    editor.send(concat({delete_key_message(0, 42), set_key_message(0, 1, 1.0f, 0)}));
    ASSERT_TRUE(
        poll_until([&] { EXPECT_EQ(0, update(0)); }, [&] { return track(0)->num_keys == 1; }));
    EXPECT_NE(tcp_invalid, device->sock);
}

TEST_F(Protocol, GreetingMustMatchExactly) {
    for (const char* answer : {"hello, demo?", "hello, dem", "HELLO, DEMO!"}) {
        SCOPED_TRACE(answer);
        editor.accept_async(answer, false, true);
        EXPECT_EQ(-1, sync_connect(device.get(), editor.host().c_str(), 1));
        editor.accepted();
        EXPECT_EQ(tcp_invalid, device->sock);
        EXPECT_EQ(-1, update(0));
    }
}

// How long an editor's silence held the caller, in milliseconds.
template <typename Call>
int64_t waited_ms(Call call) {
    const tcp_deadline start = tcp_deadline_in(0);
    call();
    return tcp_deadline_in(0) - start;
}

TEST_F(Protocol, EditorThatNeverGreetsIsGivenUpAfterTheTimeout) {
    editor.accept_async("");
    const int64_t waited =
        waited_ms([&] { EXPECT_EQ(-1, sync_connect(device.get(), editor.host().c_str(), 1)); });
    EXPECT_TRUE(editor.accepted());
    EXPECT_GE(waited, SYNC_TIMEOUT_MS - 10);
    EXPECT_LT(waited, 3 * SYNC_TIMEOUT_MS);
    EXPECT_TRUE(device->timed_out);
    EXPECT_EQ(tcp_invalid, device->sock);
    EXPECT_TRUE(editor.closed_by_program());
}

TEST_F(Protocol, EditorThatStopsMidMessageIsGivenUpAfterTheTimeout) {
    sync_get_track(device.get(), "a");
    connect({"a"});
    EXPECT_FALSE(device->timed_out);
    editor.send({0, 0, 0, 0}); // 4 of the 14 bytes of a key, then silence
    playback.playing = false;
    int result = 0;
    const int64_t waited = waited_ms(
        [&] { ASSERT_TRUE(poll_until([&] { result = update(0); }, [&] { return result != 0; })); });
    EXPECT_GE(waited, SYNC_TIMEOUT_MS - 10);
    EXPECT_LT(waited, 3 * SYNC_TIMEOUT_MS);
    EXPECT_TRUE(device->timed_out);
    EXPECT_EQ(tcp_invalid, device->sock);
    EXPECT_TRUE(editor.closed_by_program());

    // A hang-up is not a timeout, and a new connection starts clean.
    connect({"a"});
    EXPECT_FALSE(device->timed_out);
    editor.hang_up();
    ASSERT_TRUE(poll_until([&] { update(0); }, [&] { return device->sock == tcp_invalid; }));
    EXPECT_FALSE(device->timed_out);
}

TEST_F(Protocol, UnreachableEditor) {
    EXPECT_EQ(-1, sync_connect(device.get(), "127.0.0.1:1", 1338));
    EXPECT_EQ(-1, sync_connect(device.get(), "127.0.0.1:99999", 1338));
    EXPECT_FALSE(device->timed_out);
    EXPECT_EQ(-1, update(0));
    EXPECT_EQ(-1, update(0));
}

TEST_F(Protocol, ReconnectionRequestsEverythingAgainAndDropsKeys) {
    sync_get_track(device.get(), "a");
    sync_get_track(device.get(), "b");
    connect({"a", "b"});
    editor.send(set_key_message(1, 0, 1.0f, 0));
    ASSERT_TRUE(poll_until([&] { update(0); }, [&] { return track(1)->num_keys == 1; }));
    editor.hang_up();
    ASSERT_TRUE(poll_until([&] { update(0); }, [&] { return device->sock == tcp_invalid; }));
    // Keys stay while unconnected; a new track comes from its (missing) file.
    EXPECT_EQ(1, track(1)->num_keys);
    sync_get_track(device.get(), "c");

    connect({"a", "b", "c"});
    EXPECT_EQ(0, track(1)->num_keys);
    editor.send(set_key_message(2, 4, 3.0f, 0));
    ASSERT_TRUE(
        poll_until([&] { EXPECT_EQ(0, update(0)); }, [&] { return track(2)->num_keys == 1; }));
}

} // namespace
