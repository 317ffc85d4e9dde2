// The outputs made of pictures: numbered PNG frames with the sound beside them, one still, and a
// contact sheet.
#include <cstdio>
#include <filesystem>
#include <vector>

#include "contact_sheet.h"
#include "frame_timing.h"
#include "media/png.h"
#include "music/basscore.h"
#include "outputs.h"
#include "picture.h"
#include "wav_writer.h"

namespace {

std::string frame_file_name(uint64_t frame) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%06llu.png", static_cast<unsigned long long>(frame));
    return name;
}

// DIR/frame_NNNNNN.png for every frame, and DIR/audio.wav.
class frames_output : public capture_output {
  public:
    frames_output(std::string folder, uint32_t scale)
        : folder_(std::move(folder)), scale_(scale),
          sound_((std::filesystem::path(folder_) / "audio.wav").string(), MUSIC_OUTPUT_RATE) {}

    bool add(uint64_t frame, const media::image& picture, const int16_t* sound,
             uint32_t samples) override {
        std::string error;
        const std::string path = (std::filesystem::path(folder_) / frame_file_name(frame)).string();
        if (!write_whole_file(path, media::encode_png(sized(picture)), error))
            return fail(error);
        return sound_.add(sound, samples) || fail(sound_.error());
    }

    bool finish() override { return sound_.commit() || fail(sound_.error()); }

  private:
    const media::image& sized(const media::image& picture) {
        if (scale_ == 1)
            return picture;
        enlarge(picture, scale_, enlarged_);
        return enlarged_;
    }

    std::string folder_;
    uint32_t scale_;
    wav_writer sound_;
    media::image enlarged_;
};

// The one frame `frame`, written when the run is over.
class still_output : public capture_output {
  public:
    still_output(std::string path, uint32_t scale, uint64_t frame)
        : path_(std::move(path)), scale_(scale), frame_(frame) {}

    bool add(uint64_t frame, const media::image& picture, const int16_t*, uint32_t) override {
        if (frame == frame_)
            enlarge(picture, scale_, still_);
        return true;
    }

    bool finish() override {
        if (still_.pixels.empty())
            return fail("no frame was shown at the time of the still");
        std::string error;
        return write_whole_file(path_, media::encode_png(still_), error) || fail(error);
    }

  private:
    std::string path_;
    uint32_t scale_;
    uint64_t frame_;
    media::image still_;
};

// Half-size thumbnails of the frames shown at from, from + every, from + 2 every, ...
class sheet_output : public capture_output {
  public:
    sheet_output(std::string path, double from, double every, uint32_t fps)
        : path_(std::move(path)), from_(from), every_(every), fps_(fps),
          next_(frame_at(from, fps)) {}

    bool add(uint64_t frame, const media::image& picture, const int16_t*, uint32_t) override {
        if (frame != next_)
            return true;
        thumbnails_.push_back({halve(picture), time_label(double(frame) / fps_)});
        do // times less than a frame apart fall on one frame
            next_ = frame_at(from_ + double(++taken_) * every_, fps_);
        while (next_ <= frame);
        return true;
    }

    bool finish() override {
        if (thumbnails_.empty())
            return fail("no frame to put on the sheet");
        std::string error;
        return write_whole_file(path_, media::encode_png(contact_sheet(thumbnails_)), error) ||
               fail(error);
    }

  private:
    std::string path_;
    double from_, every_;
    uint32_t fps_;
    uint64_t next_;      // the frame of the next thumbnail
    uint64_t taken_ = 0; // times passed
    std::vector<thumbnail> thumbnails_;
};

} // namespace

std::unique_ptr<capture_output> make_output(const capture_options& options) {
    switch (options.kind) {
    case capture_kind::video:
        return make_video_output(options);
    case capture_kind::frames:
        return std::make_unique<frames_output>(options.path, options.scale);
    case capture_kind::still:
        return std::make_unique<still_output>(options.path, options.scale,
                                              frame_at(options.still, options.fps));
    case capture_kind::sheet:
        return std::make_unique<sheet_output>(options.path, options.from, options.every,
                                              options.fps);
    }
    return nullptr;
}
