#include "recorder.h"

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#include "contact_sheet.h"
#include "demo/driver.h"
#include "frame_timing.h"
#include "framebuffer/framebuf.h"
#include "framebuffer/timer.h"
#include "libsync/timeline.h"
#include "media/wav.h"
#include "music/basscore.h"
#include "outputs.h"
#include "parts/common.h"
#include "picture.h"
#include "platform/audio.h"
#include "platform/display_headless.h"
#include "progress.h"

namespace {

constexpr const char* RUN_TRACK = "main#run";
// Recordings of a demo that does not end by itself need --to beyond this.
constexpr double LONGEST_SECONDS = 3600;
// How far the clock the loop read may be from the frame's time before the recording is wrong:
// the loop keeps it in a float, whose steps grow with the time.
constexpr double CLOCK_TOLERANCE = 1e-4, CLOCK_TOLERANCE_PER_SECOND = 1e-6;

// The library timer's counter during a recording. Before the frame loop every reading moves it on
// by a millisecond, so that start-up's waits on the clock (the settle time of a full-screen mode)
// end; in the loop it stands still, and each pass puts it at the start of its frame.
struct step_counter {
    uint64_t next = 0; // the next reading
    uint64_t last = 0; // the latest reading
    bool in_loop = false;
    uint64_t loop_start = 0; // the reading the loop took its start time from
};
step_counter counter;

uint64_t read_counter() {
    if (counter.in_loop)
        return counter.next;
    counter.last = counter.next;
    counter.next += tsc_rate / 1000;
    return counter.last;
}

// The message pump's pause between frames paces a demo on a screen; a recording has no one to wait
// for.
void no_pause() {}

volatile std::sig_atomic_t stop_requested = 0;

void request_stop(int) {
    stop_requested = 1;
}

class recording {
  public:
    explicit recording(const capture_options& options)
        : options_(options), output_(make_output(options)), progress_(stderr, isatty(2)) {
        if (options.kind == capture_kind::still) {
            first_ = frame_at(options.still, options.fps);
            end_ = first_ + 1;
        } else {
            first_ = frame_at(options.from, options.fps);
            if (options.to)
                end_ = first_frame_from(*options.to, options.fps);
        }
        sound_.resize(2 * (MUSIC_OUTPUT_RATE / options.fps + 1));
        pcm_.resize(sound_.size());
    }

    int run() {
        demo_options demo;
        demo.make_music = [] { return new bassmod(AUDIO_DEVICE_NONE); };
        demo.before_pass = [this](uint32_t frame) { step_clock(frame); };
        demo.after_pass = [this](const demo_pass& pass) {
            const bool more = take(pass);
            if (!more) // the driver's closing banner comes on a line of its own
                progress_.close();
            return more;
        };
        headless_display_config().on_present = [this](const display_lock& picture) {
            copy_picture(picture.data, picture.pitch, picture.width, picture.height, shown_);
        };

        // The driver's switches: automatic setup (A) and nothing else.
        char program[] = "capture", automatic[] = "A";
        char* argv[] = {program, automatic, nullptr};
        const int code = demo_main(2, argv, demo);
        if (code != 0)
            return 1; // the driver has said why
        if (error_.empty() && frames_run_ == 0)
            error_ = "nothing to record: the demo ends before its first frame";
        if (error_.empty() && !output_->finish())
            error_ = output_->error();
        if (!error_.empty()) {
            progress_.close();
            std::fprintf(stderr, "capture: %s\n", error_.c_str());
            return 1;
        }
        progress_.finish(frames_run_, options_.fps);
        return 0;
    }

  private:
    void step_clock(uint32_t frame) {
        if (!counter.in_loop) { // the loop's start time was the latest reading
            counter.in_loop = true;
            counter.loop_start = counter.last;
        }
        counter.next = counter.loop_start + counts_before(frame, options_.fps, tsc_rate);
    }

    // The first frame at which "main#run" is below 0, searched up to `limit`.
    std::optional<uint64_t> demo_end(uint64_t limit) const {
        for (uint64_t frame = 0; frame < limit; ++frame) {
            const double t =
                double(counts_before(frame, options_.fps, tsc_rate)) / double(tsc_rate);
            if (timeline->getTrack(RUN_TRACK, float(t)) < 0)
                return frame;
        }
        return std::nullopt;
    }

    // Where the recording ends, once the tracks are open, and the folder for it; false when it
    // would record nothing or has nowhere to go.
    bool plan() {
        const uint64_t limit = end_ ? *end_ : uint64_t(LONGEST_SECONDS * options_.fps) + 1;
        const std::optional<uint64_t> ends = demo_end(limit);
        if (!ends && !end_) {
            error_ = "the demo does not end within an hour: give --to";
            return false;
        }
        if (ends)
            end_ = *ends;
        if (*end_ <= first_) {
            error_ =
                "nothing to record: the demo ends at " + time_label(double(*end_) / options_.fps);
            return false;
        }
        progress_.start(*end_);
        return make_folder();
    }

    // The folder the output goes into: --frames' own, or the one of the file.
    bool make_folder() {
        const std::filesystem::path path = options_.path;
        const std::filesystem::path folder =
            options_.kind == capture_kind::frames ? path : path.parent_path();
        std::error_code error;
        if (!folder.empty())
            std::filesystem::create_directories(folder, error);
        if (error)
            error_ = "cannot make the folder " + folder.string() + ": " + error.message();
        return !error;
    }

    // One finished pass: its sound rendered, its picture and sound handed to the output. False
    // ends the loop.
    bool take(const demo_pass& pass) {
        const uint64_t frame = pass.frame;
        if (frame == 0 && !plan())
            return false;
        if (timeline->getTrack(RUN_TRACK, pass.t) < 0)
            return false; // the demo has ended: this pass showed nothing new
        const double time = double(frame) / options_.fps;
        if (std::fabs(pass.t - time) > CLOCK_TOLERANCE + CLOCK_TOLERANCE_PER_SECOND * time) {
            error_ = "the demo's clock did not follow the frames";
            return false;
        }
        frames_run_ = frame + 1;
        const uint32_t samples = samples_of(frame, options_.fps, MUSIC_OUTPUT_RATE);
        if (!audio_render(sound_.data(), samples)) {
            error_ = "the music could not be rendered";
            return false;
        }
        if (frame >= first_) {
            for (size_t i = 0; i < 2 * size_t(samples); ++i)
                pcm_[i] = media::pcm16(sound_[i]);
            if (!output_->add(frame, shown_, pcm_.data(), samples)) {
                error_ = output_->error();
                return false;
            }
        }
        progress_.update(frames_run_);
        if (stop_requested) {
            error_ = "interrupted";
            return false;
        }
        return frames_run_ < *end_;
    }

    const capture_options& options_;
    std::unique_ptr<capture_output> output_;
    progress progress_;
    uint64_t first_ = 0;
    std::optional<uint64_t> end_; // the frame after the last one recorded
    uint64_t frames_run_ = 0;
    media::image shown_ = media::image(320, 180, 0xFF000000u); // the picture on the display
    std::vector<float> sound_;
    std::vector<int16_t> pcm_;
    std::string error_;
};

} // namespace

int record(const capture_options& options) {
    // The headless display with the demo's own mode, the track files (never a live editor), and
    // a broken pipe to ffmpeg told as an error instead of a signal.
    setenv("DEMO_DISPLAY", "headless", 1);
    unsetenv("DEMO_EDITOR");
    headless_display_reset();
    headless_display_config().modes = {{320, 180, 32}};
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN); // a file size limit is told like a full disk
    std::signal(SIGINT, request_stop);
    std::signal(SIGTERM, request_stop);

    counter = {};
    qbx_timer_use_counter(read_counter);
    qbx_use_pause(no_pause);
    int code = 1;
    {
        recording r(options);
        code = r.run();
    }
    qbx_use_pause(nullptr);
    qbx_timer_use_counter(nullptr);
    headless_display_reset();
    return code;
}
