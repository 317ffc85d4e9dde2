// Runs the demo with the given switches, reports when its first frame was presented and ends
// there. The settle wait after a full-screen mode is set lasts a second of the demo clock; it is
// left out by running the library timer a thousand times faster until the frame loop starts.
// Where the demo asks for the setup dialog (without "auto"), the dialog is answered in code as a
// user who ticks "windowed" and presses Enter would answer it, so the demo opens its window
// without the dialog's own window first.
#include <chrono>
#include <cstdio>

#include "demo/driver.h"
#include "elapsed.h"
#include "framebuffer/setup.h"
#include "framebuffer/timer.h"

namespace {

bool fast = true;

uint64_t counter() {
    using namespace std::chrono;
    static const auto start = steady_clock::now();
    const auto since =
        duration_cast<duration<int64_t, std::ratio<1, 10'000'000>>>(steady_clock::now() - start);
    return uint64_t(since.count()) * (fast ? 1000 : 1);
}

bool answer_windowed(dialog_window& window) {
    dialog_create(window);
    dialog_click(window, QBX_SETUP_WINDOWED);
    dialog_click(window, QBX_SETUP_RUN);
    return true;
}

} // namespace

// Stands in for the display layer's choice of dialog front end.
dialog_runner dialog_runner_for(const display_backend*) {
    return answer_windowed;
}

int main(int argc, char** argv) {
    qbx_timer_use_counter(counter);
    demo_options options;
    options.before_pass = [](uint32_t) { fast = false; };
    options.after_pass = [](const demo_pass&) {
        std::fprintf(stderr, "first frame: %.1f ms\n", ms_since_start());
        return false;
    };
    return demo_main(argc, argv, options);
}
