#include "options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace {

constexpr uint32_t MAX_FPS = 240, MAX_SCALE = 8, MAX_CRF = 51;
constexpr uint32_t VIDEO_SCALE = 4; // 1280 x 720

bool ends_with(std::string_view text, std::string_view end) {
    return text.size() > end.size() && text.substr(text.size() - end.size()) == end;
}

// A whole number in [low, high], written in decimal and nothing else.
bool read_count(const char* text, uint32_t low, uint32_t high, uint32_t& out) {
    if (*text < '0' || *text > '9')
        return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (errno || *end || value < low || value > high)
        return false;
    out = uint32_t(value);
    return true;
}

// A time in seconds: a finite number, 0 or more, below ten hours.
bool read_seconds(const char* text, double& out) {
    if (!*text)
        return false;
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (errno || *end || !(value >= 0 && value < 36000))
        return false;
    out = value;
    return true;
}

struct command_reader {
    int argc;
    const char* const* argv;
    parsed_command result;
    bool output_named = false;
    bool scale_given = false, crf_given = false, every_given = false, span_given = false;

    bool fail(std::string message) {
        if (result.error.empty())
            result.error = std::move(message);
        return false;
    }

    bool output(capture_kind kind, const char* path) {
        if (output_named)
            return fail("name one output: a video file, --frames, --still or --sheet");
        if (!*path || *path == '-') // "./-name" names such a file
            return fail(std::string("the output needs a name, not \"") + path + "\"");
        output_named = true;
        result.options.kind = kind;
        result.options.path = path;
        return true;
    }

    bool video(const char* path) {
        if (!ends_with(path, ".mp4") && !ends_with(path, ".mov") && !ends_with(path, ".mkv"))
            return fail(std::string("unknown argument or video name: ") + path +
                        " (a video's name ends in .mp4, .mov or .mkv)");
        return output(capture_kind::video, path);
    }

    // The option at argv[i] with its value at argv[i + 1]; i moves past what it took.
    bool option(int& i) {
        const std::string_view name = argv[i];
        if (i + 1 >= argc)
            return fail(std::string(name) + " needs a value");
        const char* value = argv[++i];
        capture_options& o = result.options;
        if (name == "--frames")
            return output(capture_kind::frames, value);
        if (name == "--sheet")
            return output(capture_kind::sheet, value);
        if (name == "--still") {
            if (!read_seconds(value, o.still))
                return fail("--still needs a time in seconds");
            if (i + 1 >= argc)
                return fail("--still needs a time and a file name");
            return output(capture_kind::still, argv[++i]);
        }
        if (name == "--fps") {
            if (!read_count(value, 1, MAX_FPS, o.fps))
                return fail("--fps takes 1 to 240");
            return true;
        }
        if (name == "--scale") {
            if (!read_count(value, 1, MAX_SCALE, o.scale))
                return fail("--scale takes 1 to 8");
            scale_given = true;
            return true;
        }
        if (name == "--crf") {
            if (!read_count(value, 0, MAX_CRF, o.crf))
                return fail("--crf takes 0 to 51");
            crf_given = true;
            return true;
        }
        if (name == "--every") {
            if (!read_seconds(value, o.every) || o.every == 0)
                return fail("--every needs a time in seconds, more than 0");
            every_given = true;
            return true;
        }
        if (name == "--from") {
            span_given = true;
            return read_seconds(value, o.from) || fail("--from needs a time in seconds");
        }
        if (name == "--to") {
            span_given = true;
            double to = 0;
            if (!read_seconds(value, to))
                return fail("--to needs a time in seconds");
            o.to = to;
            return true;
        }
        return fail(std::string("unknown option ") + std::string(name));
    }

    // Options that the chosen output does not take, and a span that is empty.
    bool check() {
        const capture_options& o = result.options;
        if (!output_named)
            return fail("name an output: a video file, --frames, --still or --sheet");
        if (crf_given && o.kind != capture_kind::video)
            return fail("--crf is for a video");
        if (every_given && o.kind != capture_kind::sheet)
            return fail("--every is for --sheet");
        if (scale_given && o.kind == capture_kind::sheet)
            return fail("--scale is not for --sheet");
        if (span_given && o.kind == capture_kind::still)
            return fail("--from and --to are not for --still");
        if (o.to && !(*o.to > o.from))
            return fail("--to must come after --from");
        if (o.kind == capture_kind::video && !scale_given)
            result.options.scale = VIDEO_SCALE;
        return true;
    }

    void read() {
        for (int i = 1; i < argc; ++i) {
            const std::string_view arg = argv[i];
            if (arg == "--help" || arg == "-h") {
                result.help = true;
                return;
            }
            const bool ok = arg.starts_with("-") && arg.size() > 1 ? option(i) : video(argv[i]);
            if (!ok)
                return;
        }
        check();
    }
};

} // namespace

parsed_command parse_command(int argc, const char* const* argv) {
    command_reader reader{argc, argv, {}};
    reader.read();
    return reader.result;
}

const char* capture_usage() {
    return "usage: capture [options] FILE.mp4             video (H.264, AAC sound) through ffmpeg\n"
           "       capture [options] --frames DIR         numbered PNG frames and audio.wav\n"
           "       capture [options] --still SECONDS FILE.png  the frame shown at that time\n"
           "       capture [options] --sheet FILE.png     thumbnails with their times\n"
           "Runs the demo from the current folder (its module, assets\\ and tracks\\) frame by\n"
           "frame, faster than real time, until the demo ends.\n"
           "options:\n"
           "  --fps N           frames per second, 1 to 240 (default 60)\n"
           "  --scale N         every pixel as N x N pixels, 1 to 8 (default 4 for a video,\n"
           "                    which makes 1280 x 720; otherwise 1)\n"
           "  --crf N           video quality, 0 (lossless) to 51 (default 18)\n"
           "  --from SECONDS    start recording there (the demo still runs from its start)\n"
           "  --to SECONDS      stop recording there\n"
           "  --every SECONDS   time between the thumbnails of a sheet (default 2)\n"
           "  --help            this text\n";
}
