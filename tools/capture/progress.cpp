#include "progress.h"

namespace {

constexpr int BAR_WIDTH = 30;
constexpr double REDRAW_SECONDS = 0.1;

std::string clock_text(double seconds) {
    const long s = long(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

} // namespace

double progress::seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
}

void progress::start(uint64_t total) {
    total_ = total;
    started_ = std::chrono::steady_clock::now();
}

// "1234/10800 frames, 412 fps, 0:23 left"
std::string progress::state(uint64_t done) const {
    const double elapsed = seconds();
    const double rate = elapsed > 0 ? double(done) / elapsed : 0;
    std::string text = std::to_string(done);
    if (total_)
        text += "/" + std::to_string(total_);
    char rest[64];
    std::snprintf(rest, sizeof rest, " frames, %.0f fps", rate);
    text += rest;
    if (total_ && rate > 0 && done <= total_)
        text += ", " + clock_text(double(total_ - done) / rate) + " left";
    return text;
}

void progress::update(uint64_t done) {
    if (terminal_) {
        const double now = seconds();
        if (now - drawn_ < REDRAW_SECONDS && done != total_)
            return;
        drawn_ = now;
        std::string bar;
        if (total_) {
            const uint64_t filled = std::min<uint64_t>(done, total_) * BAR_WIDTH / total_;
            bar = "[" + std::string(filled, '#') + std::string(BAR_WIDTH - filled, '-') + "] ";
        }
        std::fprintf(out_, "\r%s%s\033[K", bar.c_str(), state(done).c_str());
        bar_shown_ = true;
    } else if (total_) {
        const uint64_t tenths = std::min<uint64_t>(done, total_) * 10 / total_;
        if (tenths <= tenths_)
            return;
        tenths_ = tenths;
        std::fprintf(out_, "capture: %d%% (%s)\n", int(tenths * 10), state(done).c_str());
    }
    std::fflush(out_);
}

void progress::close() {
    if (bar_shown_)
        std::fputs("\n", out_);
    bar_shown_ = false;
}

void progress::finish(uint64_t done, uint32_t fps) {
    const double elapsed = seconds();
    close();
    const double rate = elapsed > 0 ? double(done) / elapsed : 0;
    std::fprintf(out_, "capture: %llu frames in %.2f s: %.1f fps, %.2fx real time\n",
                 static_cast<unsigned long long>(done), elapsed, rate, rate / fps);
    std::fflush(out_);
}
