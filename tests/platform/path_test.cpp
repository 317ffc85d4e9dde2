#include "platform/path.h"

#include <gtest/gtest.h>

TEST(Path, BackslashesBecomeSlashes) {
    EXPECT_EQ("tracks/4401F8E3.trk", os_path("tracks\\4401F8E3.trk"));
    EXPECT_EQ("assets/alpha.tga", os_path("assets\\alpha.tga"));
    EXPECT_EQ("plain/path", os_path("plain/path"));
    EXPECT_EQ("", os_path(""));
    EXPECT_EQ("", os_path(nullptr));
}
