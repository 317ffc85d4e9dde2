#include "framebuffer/quoblex.h"

#include <cctype>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>

#include "framebuffer/cpuid.h"
#include "framebuffer/exception.h"
#include "framebuffer/framebuf.h"
#include "framebuffer/mode.h"
#include "framebuffer/setup.h"
#include "framebuffer/timer.h"
#include "platform/path.h"

qbx_dd_t qbx_dd;

namespace {

constexpr const char* low_depth_warning =
    "your desktop bit depth is 8bpp or less: windowed modes are not available";

// Lets go of the display object and the backend it came from.
void close_display() {
    qbx_dd.dd.reset();
    if (qbx_dd.library)
        qbx_dd.library->quit();
    qbx_dd.library = nullptr;
}

// What is missing and how to run without a screen; kept for the error's text.
const char* no_display_message() {
    static std::string text;
    text = std::string("no display: ") + display_backend_failure() +
           " - to run without a screen set DEMO_DISPLAY=headless, or run under xvfb-run";
    return text.c_str();
}

void open_log(const char* name) {
    if (qbx_log)
        std::fclose(qbx_log);
    qbx_log = std::fopen(os_path(name).c_str(), "w");
    if (qbx_log)
        std::setvbuf(qbx_log, nullptr, _IONBF, 0);
}

} // namespace

void qbx_logf(const char* format, ...) {
    if (!qbx_log)
        return;
    va_list args;
    va_start(args, format);
    std::vfprintf(qbx_log, format, args);
    va_end(args);
    std::fflush(qbx_log);
}

void qbx_message(display_icon icon, const char* caption, const char* text) {
    if (qbx_dd.library)
        qbx_dd.library->message_box(icon, caption, text);
    qbx_logf("%s\n", text);
    std::fprintf(stderr, "%s\n", text);
}

void qbx_getenv() {
    const char* value = std::getenv("QUOBLEX");
    if (!value)
        return;
    char options[1024] = {};
    std::strncpy(options, value, sizeof options - 1);
    for (char& c : options)
        c = char(std::toupper(static_cast<unsigned char>(c)));

    const char* separators = " :;,";
    char* rest = nullptr;
    for (char* token = strtok_r(options, separators, &rest); token;
         token = strtok_r(nullptr, separators, &rest)) {
        if (std::strcmp(token, "NOMMX") == 0) {
            qbx_flags |= QBX_FLAG_NOMMX;
        } else if (std::strcmp(token, "MANUAL") == 0) {
            qbx_flags |= QBX_FLAG_MANUAL;
        } else if (std::strcmp(token, "NOAUTOFIND") == 0) {
            qbx_flags |= QBX_FLAG_NOAUTOFIND;
        } else if (std::strcmp(token, "LOG") == 0) {
            if (const char* name = strtok_r(nullptr, separators, &rest))
                open_log(name);
        }
    }
}

uint32_t qbx_init(uint32_t flags) {
    qbx_flags = flags;
    curmode = nullptr;
    qbx_getenv();

    const char* envar = std::getenv("QUOBLEX");
    qbx_logf("%s - framebuffer library, written by the demo's authors\n", QBX_BANNER);
    qbx_logf("qbx_flags = 0x%X\n", qbx_flags);
    qbx_logf("envar     = %s\n", envar ? envar : "");

    return qbx_guarded([]() -> uint32_t {
        modes.clear();
        qbx_notifyExit = false;

        cpuidset((qbx_flags & QBX_FLAG_NOMMX) ? ~CPUID_EDX_MMX : 0xFFFFFFFF, 0xFFFFFFFF);
        cpuidget();
        qbx_logf("\ncpu -> %s, family %d, model %d, stepping %d, ", cpuid.vendor, int(cpuid.family),
                 int(cpuid.model), int(cpuid.stepping));

        qbx_winver = 0;
        qbx_logf("running Windows %d.%d\n", int(qbx_winver & 0xFF), int((qbx_winver >> 8) & 0xFF));

        // A second start-up lets go of what the first one brought up.
        close_display();
        qbx_dd.library = display_backend_choose();
        // Without a display there is no desktop to ask about: one line says what is missing.
        if (!qbx_dd.library)
            throw qbx_exception::display(0, no_display_message());
        qbx_setup_dialog = dialog_runner_for(qbx_dd.library);

        // An unanswered query leaves the desktop unknown (all zero).
        display_mode_desc desktop;
        if (display_failed(qbx_dd.library->desktop_mode(desktop)))
            desktop = {};
        qbx_logf("current display mode: %dx%d %dbpp\n", int(desktop.width), int(desktop.height),
                 int(desktop.bpp));

        if (desktop.bpp <= 8) {
            qbx_message(display_icon::warning, "quoblex warning", low_depth_warning);
            qbx_flags |= QBX_FLAG_LOWDEPTH;
        }

        qbx_dd.library->set_screen_saver(false);

        const int32_t created = qbx_dd.library->create(qbx_dd.dd);
        if (display_failed(created) || !qbx_dd.dd)
            throw qbx_exception::display(created, "can't create ddraw interface");
        qbx_logf("DirectDraw is initialized");

        qbx_inittimer();
        qbx_logf("\n");
        return 0;
    });
}

uint32_t qbx_recover() {
    if (qbx_dd.dd) {
        qbx_dd.dd->restore_display_mode();
        if (curmode)
            qbx_dd.dd->set_cooperative_level(curmode->hwnd, display_cooperation::normal);
    }
    if (qbx_dd.library)
        qbx_dd.library->set_screen_saver(true);
    return 0;
}

uint32_t qbx_done() {
    qbx_freetimer();
    qbx_recover();
    // A mode still set is ended before its display object goes.
    qbx_donemode();
    close_display();
    qbx_logf("qbx_done(): deinit and close quoblex.....");
    return 0;
}
