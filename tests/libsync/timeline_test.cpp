#include "libsync/timeline.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fake_editor.h"
#include "libsync/track_file.h"
#include "sync_fixtures.h"

namespace {

using test_support::write_file;

void write_track(const std::string& name, const std::vector<track_key>& keys) {
    std::filesystem::create_directories("tracks");
    write_file(std::string("tracks/") + sync_track_path("", name.c_str()),
               track_file_encode(keys.data(), static_cast<int32_t>(keys.size())));
}

struct Calls {
    int pauses = 0;
    int last_pause = -1;
    int seeks = 0;
    int playing_queries = 0;
    bool playing = true;
};
Calls calls;

sync_cb counting_callbacks = {
    [](void*, int flag) {
        ++calls.pauses;
        calls.last_pause = flag;
    },
    [](void*, int) { ++calls.seeks; },
    [](void*) {
        ++calls.playing_queries;
        return calls.playing ? 1 : 0;
    },
};

class TimelineTest : public InTempFolder {
  protected:
    void SetUp() override {
        InTempFolder::SetUp();
        calls = {};
        timeline.rowRate = 24.0f;
        timeline.callbacks = counting_callbacks;
    }
    Timeline timeline;
};

TEST_F(TimelineTest, SecondsBecomeFractionalRows) {
    write_track("ramp", {{0, 0.0f, KEY_LINEAR}, {48, 48.0f, KEY_STEP}});
    ASSERT_FALSE(timeline.open("tracks\\"));
    EXPECT_FALSE(timeline.isRemote());
    EXPECT_DOUBLE_EQ(24.0, timeline.getTrack("ramp", 1.0));
    EXPECT_DOUBLE_EQ(12.0, timeline.getTrack("ramp", 0.5));
    EXPECT_DOUBLE_EQ(1.0, timeline.getTrack("ramp", 1.0 / 24.0));
    EXPECT_DOUBLE_EQ(0.5, timeline.getTrack("ramp", 0.5 / 24.0));
    int id = timeline.loadTrack("ramp");
    EXPECT_EQ(sync_track_id("ramp"), id);
    EXPECT_DOUBLE_EQ(24.0, timeline.getTrack(id, 1.0));
}

TEST_F(TimelineTest, NegativeTimesAreFlooredInEvaluation) {
    write_track("steps", {{-1, -1.0f, KEY_STEP}, {0, 5.0f, KEY_STEP}});
    ASSERT_FALSE(timeline.open("tracks\\"));
    // -0.25 s is row -6; -0.5 / 24 s is row -0.5, which lies on row -1.
    EXPECT_EQ(-1.0, timeline.getTrack("steps", -0.5 / 24.0));
    EXPECT_EQ(5.0, timeline.getTrack("steps", 0.0));
}

TEST_F(TimelineTest, MissingTrackIsZeroAndIsNotLookedForAgain) {
    ASSERT_FALSE(timeline.open("tracks\\"));
    EXPECT_EQ(0.0, timeline.getTrack("later", 0.0));
    write_track("later", {{0, 3.0f, KEY_STEP}});
    EXPECT_EQ(0.0, timeline.getTrack("later", 10.0));
    EXPECT_EQ(0.0, timeline.getTrack(sync_track_id("later"), 10.0));
}

TEST_F(TimelineTest, UnregisteredIdIsZeroAndRegistersNothing) {
    write_track("known", {{0, 3.0f, KEY_STEP}});
    ASSERT_FALSE(timeline.open("tracks\\"));
    int id = sync_track_id("known");
    EXPECT_EQ(0.0, timeline.getTrack(id, 0.0));
    EXPECT_EQ(0.0, timeline.getTrack(id, 0.0));
    EXPECT_EQ(3.0, timeline.getTrack("known", 0.0));
    EXPECT_EQ(3.0, timeline.getTrack(id, 0.0));
}

TEST_F(TimelineTest, CollidingNamesShareTheFirstRegisteredTrack) {
    // These two names hash to the same id (and file); the device keeps them apart.
    const char* first = "c#aaaaaa";
    const char* second = "c#ckuukc";
    ASSERT_EQ(sync_track_id(first), sync_track_id(second));
    write_track(first, {{0, 7.0f, KEY_STEP}});
    ASSERT_FALSE(timeline.open("tracks\\"));
    EXPECT_EQ(7.0, timeline.getTrack(first, 0.0));
    EXPECT_EQ(7.0, timeline.getTrack(second, 0.0));
}

TEST_F(TimelineTest, FileModeUpdateCallsNothing) {
    ASSERT_FALSE(timeline.open("tracks\\"));
    EXPECT_FALSE(timeline.update(1.0));
    EXPECT_FALSE(timeline.update(-1e300));
    EXPECT_EQ(0, calls.playing_queries);
}

TEST_F(TimelineTest, OpenFailures) {
    EXPECT_TRUE(timeline.open("/absolute"));
    EXPECT_FALSE(timeline.isRemote());
    EXPECT_EQ(0.0, timeline.getTrack("anything", 1.0));
    EXPECT_EQ(sync_track_id("anything"), timeline.loadTrack("anything"));

    // An unreachable editor leaves a working file mode behind.
    write_track("t", {{0, 2.0f, KEY_STEP}});
    EXPECT_TRUE(timeline.open("tracks\\", "127.0.0.1:1"));
    EXPECT_FALSE(timeline.isRemote());
    EXPECT_FALSE(timeline.update(1.0));
    EXPECT_EQ(0, calls.playing_queries);
    EXPECT_EQ(2.0, timeline.getTrack("t", 0.0));
}

TEST_F(TimelineTest, RemoteModePollsAndReconnects) {
    FakeEditor editor;
    std::string host = editor.host();
    editor.accept_async();
    ASSERT_FALSE(timeline.open("tracks\\", host.c_str()));
    ASSERT_TRUE(editor.accepted());
    EXPECT_TRUE(timeline.isRemote());

    EXPECT_EQ(0.0, timeline.getTrack("x", 1.0));
    EXPECT_EQ(get_track_message("x"), editor.receive(6));
    editor.send(concat({set_key_message(0, 0, 0.0f, KEY_LINEAR),
                        set_key_message(0, 48, 2.0f, KEY_STEP), pause_message(1)}));
    ASSERT_TRUE(poll_until([&] { timeline.update(0.5); }, [&] { return calls.pauses == 1; }));
    EXPECT_DOUBLE_EQ(1.0, timeline.getTrack("x", 1.0));
    // The row of 0.5 s, truncated: 12.
    EXPECT_EQ(set_row_message(12), editor.receive(5));
    timeline.update(-0.99 / 24.0);
    EXPECT_EQ(set_row_message(0), editor.receive(5));

    // The editor goes away: the next update notices and connects again at once.
    editor.hang_up();
    editor.accept_async();
    EXPECT_FALSE(timeline.update(1.0));
    ASSERT_TRUE(editor.accepted());
    EXPECT_EQ(get_track_message("x"), editor.receive(6));
    // Keys are dropped until the editor answers again.
    EXPECT_EQ(0.0, timeline.getTrack("x", 1.0));
}

// The editor pauses playback and then falls silent in the middle of a message: one line, playback
// resumes, and the editor is not polled or looked for again.
TEST_F(TimelineTest, EditorThatStopsAnsweringIsGivenUp) {
    FakeEditor editor;
    std::string host = editor.host();
    editor.accept_async();
    ASSERT_FALSE(timeline.open("tracks\\", host.c_str()));
    ASSERT_TRUE(editor.accepted());
    editor.send(concat({pause_message(1), {0, 0}}));
    calls.playing = false; // as the program's pause callback would have it
    testing::internal::CaptureStderr();
    ASSERT_TRUE(poll_until([&] { timeline.update(1.0); }, [&] { return calls.pauses == 2; }));
    EXPECT_EQ(0, calls.last_pause);
    EXPECT_EQ("sync editor at " + host + " stopped answering: playing on without it\n",
              testing::internal::GetCapturedStderr());
    EXPECT_TRUE(editor.closed_by_program());

    const int queries = calls.playing_queries;
    testing::internal::CaptureStderr();
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(timeline.update(1.0));
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    EXPECT_EQ(queries, calls.playing_queries);
    EXPECT_TRUE(timeline.isRemote());
}

// An editor that hangs up is looked for again; one that takes the new connection but never greets
// ends the search.
TEST_F(TimelineTest, ReconnectionThatIsNeverGreetedIsGivenUp) {
    FakeEditor editor;
    std::string host = editor.host();
    editor.accept_async();
    ASSERT_FALSE(timeline.open("tracks\\", host.c_str()));
    ASSERT_TRUE(editor.accepted());

    editor.hang_up();
    editor.accept_async("");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(timeline.update(1.0));
    EXPECT_TRUE(editor.accepted());
    EXPECT_EQ("sync editor at " + host +
                  ": connection lost, playing on and reconnecting when it "
                  "is back\nsync editor at " +
                  host + " stopped answering: playing on without it\n",
              testing::internal::GetCapturedStderr());
}

} // namespace
