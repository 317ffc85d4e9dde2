#include "libsync/track.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

namespace {

// A track that frees its keys; the name is not needed here.
struct OwnedTrack : sync_track {
    OwnedTrack() : sync_track{nullptr, nullptr, 0} {}
    explicit OwnedTrack(const std::vector<track_key>& keys) : OwnedTrack() {
        for (const track_key& key : keys)
            EXPECT_EQ(0, sync_set_key(this, &key));
    }
    ~OwnedTrack() { std::free(keys); }
    std::vector<int> rows() const {
        std::vector<int> result;
        for (int i = 0; i < num_keys; ++i)
            result.push_back(keys[i].row);
        return result;
    }
};

track_key key(int row, float value, uint8_t type = KEY_STEP) {
    return {row, value, type};
}

TEST(TrackEvaluation, EmptyTrackIsZeroEverywhere) {
    OwnedTrack t;
    for (double row : {-100.0, -0.5, 0.0, 3.7, 1e9})
        EXPECT_EQ(0.0, sync_get_val(&t, row)) << row;
}

TEST(TrackEvaluation, OneKeyHoldsEverywhere) {
    OwnedTrack t({key(5, 2.5f, KEY_LINEAR)});
    for (double row : {-10.0, 4.99, 5.0, 5.5, 1000.0})
        EXPECT_EQ(2.5, sync_get_val(&t, row)) << row;
}

TEST(TrackEvaluation, EveryTypeBetweenKeysAtRowTwoAndAHalf) {
    const struct {
        uint8_t type;
        double expected;
    } cases[] = {
        {KEY_STEP, 0.0}, {KEY_LINEAR, 2.5}, {KEY_SMOOTHSTEP, 1.5625}, {KEY_QUADRATIC, 0.625}};
    for (const auto& c : cases) {
        OwnedTrack t({key(0, 0.0f, c.type), key(10, 10.0f, KEY_STEP)});
        EXPECT_DOUBLE_EQ(c.expected, sync_get_val(&t, 2.5)) << "type " << int(c.type);
        EXPECT_EQ(0.0, sync_get_val(&t, 0.0)) << "on the first key, type " << int(c.type);
        EXPECT_EQ(10.0, sync_get_val(&t, 10.0)) << "on the last key, type " << int(c.type);
        EXPECT_EQ(10.0, sync_get_val(&t, 11.25)) << "after the last key, type " << int(c.type);
        EXPECT_EQ(0.0, sync_get_val(&t, -3.5)) << "before the first key, type " << int(c.type);
    }
}

TEST(TrackEvaluation, StepHoldsUntilTheNextKey) {
    OwnedTrack t({key(0, 1.0f, KEY_STEP), key(10, 7.0f, KEY_STEP)});
    EXPECT_EQ(1.0, sync_get_val(&t, 9.999));
    EXPECT_EQ(7.0, sync_get_val(&t, 10.0));
}

TEST(TrackEvaluation, BeforeTheFirstKeyNoExtrapolation) {
    OwnedTrack t({key(4, 3.0f, KEY_LINEAR), key(8, 5.0f, KEY_LINEAR)});
    EXPECT_EQ(3.0, sync_get_val(&t, 0.0));
    EXPECT_EQ(3.0, sync_get_val(&t, 3.9));
    EXPECT_EQ(5.0, sync_get_val(&t, 8.5));
}

TEST(TrackEvaluation, MiddleKeyStartsItsOwnSegment) {
    // The type of the key that starts a segment alone decides its curve.
    OwnedTrack t({key(0, 0.0f, KEY_LINEAR), key(4, 4.0f, KEY_STEP), key(8, 0.0f, KEY_QUADRATIC)});
    EXPECT_EQ(2.0, sync_get_val(&t, 2.0));
    EXPECT_EQ(4.0, sync_get_val(&t, 4.0));
    EXPECT_EQ(4.0, sync_get_val(&t, 7.5));
    EXPECT_EQ(0.0, sync_get_val(&t, 8.0));
}

TEST(TrackEvaluation, NegativeFractionalRowsAreFloored) {
    // -0.5 lies in the segment starting at row -1, not at row 0.
    OwnedTrack t({key(-1, 10.0f, KEY_STEP), key(0, 20.0f, KEY_STEP), key(2, 40.0f, KEY_LINEAR)});
    EXPECT_EQ(10.0, sync_get_val(&t, -0.5));
    EXPECT_EQ(20.0, sync_get_val(&t, 0.0));
    OwnedTrack linear({key(-4, 0.0f, KEY_LINEAR), key(0, 8.0f, KEY_STEP)});
    EXPECT_DOUBLE_EQ(5.0, sync_get_val(&linear, -1.5));
}

TEST(TrackEvaluation, InterpolatesFromTheFractionalRow) {
    OwnedTrack t({key(0, 0.0f, KEY_LINEAR), key(2, 1.0f, KEY_LINEAR)});
    EXPECT_DOUBLE_EQ(0.125, sync_get_val(&t, 0.25));
    EXPECT_DOUBLE_EQ(0.625, sync_get_val(&t, 1.25));
}

TEST(TrackEvaluation, ExtremeRowsStayInBounds) {
    OwnedTrack t({key(INT32_MIN, -1.0f, KEY_LINEAR), key(INT32_MAX, 1.0f, KEY_LINEAR)});
    // The two rows are further apart than an int can count.
    EXPECT_NEAR(0.0, sync_get_val(&t, -0.5), 1e-9);
    EXPECT_EQ(-1.0, sync_get_val(&t, -1e300));
    EXPECT_EQ(1.0, sync_get_val(&t, 1e300));
    EXPECT_EQ(-1.0, sync_get_val(&t, -INFINITY));
    EXPECT_EQ(1.0, sync_get_val(&t, INFINITY));
    EXPECT_EQ(-1.0, sync_get_val(&t, NAN));
}

TEST(TrackEvaluation, UnknownTypeHoldsItsValue) {
    OwnedTrack t({key(0, 3.0f, 7), key(10, 9.0f, KEY_STEP)});
    EXPECT_EQ(3.0, sync_get_val(&t, 5.0));
}

TEST(TrackKeys, FindReportsTheInsertionPoint) {
    OwnedTrack t({key(2, 0), key(5, 0), key(9, 0)});
    EXPECT_EQ(0, sync_find_key(&t, 2));
    EXPECT_EQ(2, sync_find_key(&t, 9));
    EXPECT_EQ(-1, sync_find_key(&t, 1));
    EXPECT_EQ(-2, sync_find_key(&t, 3));
    EXPECT_EQ(-3, sync_find_key(&t, 6));
    EXPECT_EQ(-4, sync_find_key(&t, 10));
    OwnedTrack empty;
    EXPECT_EQ(-1, sync_find_key(&empty, 0));
}

TEST(TrackKeys, InsertKeepsOrderAtFrontMiddleAndEnd) {
    OwnedTrack t({key(10, 1), key(20, 2)});
    track_key front = key(-5, 0), middle = key(15, 1.5f), end = key(30, 3);
    ASSERT_EQ(0, sync_set_key(&t, &middle));
    ASSERT_EQ(0, sync_set_key(&t, &end));
    ASSERT_EQ(0, sync_set_key(&t, &front));
    EXPECT_EQ((std::vector<int>{-5, 10, 15, 20, 30}), t.rows());
    EXPECT_EQ(1.5f, t.keys[2].value);
}

TEST(TrackKeys, SetOnAnOccupiedRowReplacesInPlace) {
    OwnedTrack t({key(0, 1.0f, KEY_STEP), key(8, 2.0f, KEY_STEP)});
    track_key replacement = key(8, 5.0f, KEY_SMOOTHSTEP);
    ASSERT_EQ(0, sync_set_key(&t, &replacement));
    ASSERT_EQ(2, t.num_keys);
    EXPECT_EQ(5.0f, t.keys[1].value);
    EXPECT_EQ(KEY_SMOOTHSTEP, t.keys[1].type);
}

TEST(TrackKeys, DeleteKeepsOrderAndTheLastOneLeavesNoArray) {
    OwnedTrack t({key(1, 1), key(2, 2), key(3, 3)});
    ASSERT_EQ(0, sync_del_key(&t, 2));
    EXPECT_EQ((std::vector<int>{1, 3}), t.rows());
    ASSERT_EQ(0, sync_del_key(&t, 1));
    EXPECT_EQ((std::vector<int>{3}), t.rows());
    ASSERT_EQ(0, sync_del_key(&t, 3));
    EXPECT_EQ(0, t.num_keys);
    EXPECT_EQ(nullptr, t.keys);
    EXPECT_EQ(0.0, sync_get_val(&t, 3.0));
}

TEST(TrackKeys, DeletingAMissingRowChangesNothing) {
    OwnedTrack t({key(1, 1), key(3, 3)});
    EXPECT_EQ(-1, sync_del_key(&t, 2));
    EXPECT_EQ((std::vector<int>{1, 3}), t.rows());
    OwnedTrack empty;
    EXPECT_EQ(-1, sync_del_key(&empty, 0));
    EXPECT_EQ(nullptr, empty.keys);
}

} // namespace
