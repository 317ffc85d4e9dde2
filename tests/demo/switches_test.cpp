#include "demo/switches.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct Outcome {
    bool go_on;
    controlFlags flags;
    std::vector<std::string> args; // as upper-cased in place
};

Outcome read(std::vector<std::string> args) {
    std::vector<char*> argv = {const_cast<char*>("demo")};
    for (std::string& arg : args)
        argv.push_back(arg.data());
    Outcome out{};
    out.go_on = readSwitches(int(argv.size()), argv.data(), out.flags);
    out.args = args;
    return out;
}

TEST(Switches, LettersAnywhereInAnyCase) {
    const struct {
        std::vector<std::string> args;
        bool wide, profile, autoSetup;
    } cases[] = {
        {{}, false, false, false},
        {{"x"}, false, false, false},
        {{"wide"}, true, false, false},
        {{"Wide"}, true, false, false},
        {{"WIDE"}, true, false, false},
        {{"auto"}, false, true, true}, // the T of auto
        {{"p"}, false, true, false},
        {{"profile"}, false, true, false},
        {{"wide", "auto"}, true, true, true},
        {{"paw"}, true, true, true},
        {{"t"}, false, true, false},
    };
    for (const auto& c : cases) {
        Outcome out = read(c.args);
        SCOPED_TRACE(testing::PrintToString(c.args));
        EXPECT_TRUE(out.go_on);
        EXPECT_EQ(c.wide, out.flags.wide);
        EXPECT_EQ(c.profile, out.flags.profile);
        EXPECT_EQ(c.autoSetup, out.flags.autoSetup);
        EXPECT_FALSE(out.flags.paused);
    }
}

TEST(Switches, QuestionMarkStopsAtOnceAfterTheT) {
    Outcome out = read({"wide", "t?w", "auto"});
    EXPECT_FALSE(out.go_on);
    EXPECT_TRUE(out.flags.wide);
    EXPECT_TRUE(out.flags.profile); // T is tested before "?"
    EXPECT_FALSE(out.flags.autoSetup);
    // Upper-cased in place, letters only; arguments after the help are not touched.
    EXPECT_EQ((std::vector<std::string>{"WIDE", "T?W", "auto"}), out.args);
    EXPECT_EQ((std::vector<std::string>{"Ä-1Z", "/?"}), read({"Ä-1z", "/?"}).args);
}

} // namespace
