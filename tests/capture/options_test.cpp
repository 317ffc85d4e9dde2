// The capture program's command line: what it takes, the defaults, and what it refuses.
#include "options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

parsed_command parse(std::vector<const char*> args) {
    args.insert(args.begin(), "capture");
    return parse_command(int(args.size()), args.data());
}

TEST(CaptureOptions, OutputsAndTheirDefaults) {
    const parsed_command video = parse({"out/demo.mp4"});
    ASSERT_EQ("", video.error);
    EXPECT_EQ(capture_kind::video, video.options.kind);
    EXPECT_EQ("out/demo.mp4", video.options.path);
    EXPECT_EQ(60u, video.options.fps);
    EXPECT_EQ(4u, video.options.scale) << "1280 x 720";
    EXPECT_EQ(18u, video.options.crf);
    EXPECT_EQ(0.0, video.options.from);
    EXPECT_FALSE(video.options.to);

    const parsed_command frames =
        parse({"--fps", "50", "--frames", "dir", "--from", "1.5", "--to", "3"});
    ASSERT_EQ("", frames.error);
    EXPECT_EQ(capture_kind::frames, frames.options.kind);
    EXPECT_EQ("dir", frames.options.path);
    EXPECT_EQ(50u, frames.options.fps);
    EXPECT_EQ(1u, frames.options.scale);
    EXPECT_EQ(1.5, frames.options.from);
    EXPECT_EQ(3.0, *frames.options.to);

    const parsed_command still = parse({"--still", "12.25", "a.png", "--scale", "2"});
    ASSERT_EQ("", still.error);
    EXPECT_EQ(capture_kind::still, still.options.kind);
    EXPECT_EQ(12.25, still.options.still);
    EXPECT_EQ("a.png", still.options.path);
    EXPECT_EQ(2u, still.options.scale);

    const parsed_command sheet = parse({"--sheet", "s.png", "--every", "0.5"});
    ASSERT_EQ("", sheet.error);
    EXPECT_EQ(capture_kind::sheet, sheet.options.kind);
    EXPECT_EQ(0.5, sheet.options.every);
    EXPECT_EQ(2.0, parse({"--sheet", "s.png"}).options.every);

    EXPECT_TRUE(parse({"--help"}).help);
    EXPECT_TRUE(parse({"x.mp4", "-h"}).help);
}

TEST(CaptureOptions, RefusesWhatItCannotDo) {
    const std::vector<std::vector<const char*>> refused = {
        {},
        {"video.avi"},
        {"a.mp4", "b.mp4"},
        {"a.mp4", "--frames", "dir"},
        {"--frames"},
        {"--frames", ""},
        {"--still", "1"},
        {"--still", "soon", "a.png"},
        {"--still", "-1", "a.png"},
        {"--still", "1", "a.png", "--from", "0"},
        {"--still", "1", "--scale", "2", "a.png"},
        {"--sheet", "--every", "2"},
        {"a.mp4", "--fps", "0"},
        {"a.mp4", "--fps", "241"},
        {"a.mp4", "--fps", "30x"},
        {"a.mp4", "--fps", "-5"},
        {"a.mp4", "--scale", "9"},
        {"a.mp4", "--crf", "52"},
        {"a.mp4", "--from", "nan"},
        {"a.mp4", "--to", "inf"},
        {"a.mp4", "--from", "3", "--to", "3"},
        {"a.mp4", "--every", "2"},
        {"--frames", "d", "--crf", "20"},
        {"--sheet", "s.png", "--scale", "2"},
        {"--sheet", "s.png", "--every", "0"},
        {"a.mp4", "--loud"},
        {"-x"},
    };
    for (const auto& args : refused) {
        const parsed_command command = parse(args);
        std::string line;
        for (const char* arg : args)
            line += std::string(arg) + " ";
        EXPECT_NE("", command.error) << line;
        EXPECT_FALSE(command.help) << line;
    }
}

} // namespace
