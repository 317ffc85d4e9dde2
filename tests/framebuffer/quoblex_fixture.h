#pragma once
// A library run on the headless display: every test starts from a fresh library state and a
// display offering the modes it sets.
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include <gtest/gtest.h>

#include "framebuffer/exception.h"
#include "framebuffer/mode.h"
#include "framebuffer/quoblex.h"
#include "framebuffer/setup.h"
#include "platform/display_headless.h"

class QuoblexTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("DEMO_DISPLAY", "headless", 1);
        unsetenv("QUOBLEX");
        headless_display_reset();
        reset_library();
    }

    void TearDown() override {
        qbx_done();
        reset_library();
        unsetenv("QUOBLEX");
    }

    static void reset_library() {
        modes.clear();
        setupmodes.clear();
        curmode = nullptr;
        qbx_flags = 0;
        qbx_killcount = 3;
        qbx_setup_dialog = nullptr;
        if (qbx_log)
            std::fclose(qbx_log);
        qbx_log = nullptr;
    }

    // The display offers these modes, each at every depth given.
    static void offer(std::initializer_list<display_mode_desc> sizes,
                      std::initializer_list<uint32_t> depths = {32}) {
        for (display_mode_desc size : sizes)
            for (uint32_t depth : depths)
                headless_display_config().modes.push_back({size.width, size.height, depth});
    }

    static void start(uint32_t flags = 0) { ASSERT_EQ(0u, qbx_init(flags)); }

    static std::vector<headless_message>& boxes() { return headless_display_record().messages; }
};
