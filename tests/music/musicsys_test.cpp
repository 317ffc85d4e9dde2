#include "music/musicsys.h"

#include <gtest/gtest.h>

namespace {

TEST(NullBackend, StartsNeitherReadyNorInUse) {
    musicsys m;
    EXPECT_FALSE(m.is_ready);
    EXPECT_FALSE(m.in_use);
    EXPECT_STREQ("null", m.name);
    EXPECT_STREQ("", m.getdevinfo());
}

TEST(NullBackend, CommandsFailStopSucceedsReadOutsAreMinusOne) {
    musicsys m;
    const char bytes[4] = {1, 2, 3, 4};
    EXPECT_FALSE(m.init(true));
    EXPECT_FALSE(m.init(false));
    EXPECT_FALSE(m.load("zoveta.xm"));
    EXPECT_FALSE(m.loadmem(bytes, sizeof bytes));
    EXPECT_FALSE(m.play());
    EXPECT_FALSE(m.play(1, 2));
    EXPECT_FALSE(m.pause());
    EXPECT_FALSE(m.setpos(0, 0));
    EXPECT_FALSE(m.setvol(1.0f));
    EXPECT_TRUE(m.stop());
    EXPECT_TRUE(m.free());
    EXPECT_EQ(-1, m.getorder());
    EXPECT_EQ(-1, m.getrow());
    EXPECT_EQ(-1, m.gettick());
    EXPECT_EQ(-1, m.getins(0));
    EXPECT_FALSE(m.is_ready);
    EXPECT_FALSE(m.in_use);
}

// Records the calls the base class makes through its virtual operations.
class recording_backend : public musicsys {
  public:
    int stops = 0;
    int frees = 0;
    bool stop() override {
        ++stops;
        return musicsys::stop();
    }
    bool free() override {
        ++frees;
        return musicsys::free();
    }
};

TEST(NullBackend, FreeStopsAPlayingModuleAndClearsBothFlags) {
    recording_backend m;
    m.is_ready = true;
    m.free();
    EXPECT_EQ(0, m.stops) << "nothing plays, nothing to stop";
    m.is_ready = true;
    m.in_use = true;
    EXPECT_TRUE(m.free());
    EXPECT_EQ(1, m.stops);
    EXPECT_FALSE(m.is_ready);
    EXPECT_FALSE(m.in_use);
}

TEST(NullBackend, InitFreesThroughTheVirtualOperation) {
    recording_backend m;
    m.is_ready = true;
    m.in_use = true;
    EXPECT_FALSE(m.init(false));
    EXPECT_EQ(1, m.frees);
    EXPECT_EQ(1, m.stops);
    EXPECT_FALSE(m.is_ready);
    EXPECT_FALSE(m.in_use);
}

} // namespace
