#include "demo/driver.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "demo/frame_loop.h"
#include "demo/run.h"
#include "framebuffer/framebuf.h"
#include "framebuffer/mode.h"
#include "framebuffer/quoblex.h"
#include "music/basscore.h"
#include "obj/sintab.h"
#include "parts/bmpdist.h"
#include "parts/common.h"
#include "parts/kaleido.h"

namespace {

constexpr const char* CAPTION = "Parallax Foundry - foldline - 2026";
constexpr const char* BANNER = "foldline by Parallax Foundry, 2026\n";
constexpr uint32_t PICTURE_WIDTH = 320, PICTURE_HEIGHT = 180, PICTURE_BPP = 32;
constexpr uint32_t PICTURE_FORMAT = 11; // 0xAARRGGBB
constexpr uint32_t OVERLAY_COLUMNS = 20, OVERLAY_ROWS = 11;
constexpr double SETTLE_SECONDS = 1.0;
constexpr const char* MODULE_FILE = "zoveta.xm";

// The run that the editor's callbacks act on.
demo_run* current = nullptr;

void syncPause(void*, int pause) {
    current->flags.paused = pause != 0;
    if (pause) {
        current->timer->stop();
        current->mod->pause();
    } else {
        current->timer->start();
        current->mod->play();
    }
}

void syncSetRow(void*, int row) {
    current->timer->set(row / ROWS_PER_SECOND);
    current->mod->setpos(row >> 6, row & 63);
}

int syncIsPlaying(void*) {
    return current->flags.paused ? 0 : 1;
}

// Start-up ends here: the message on standard error, and exit code 1.
int fail(const char* message) {
    std::fputs(message, stderr);
    return 1;
}

int failWithCode(const char* message, uint32_t code) {
    std::fprintf(stderr, message, code);
    return 1;
}

void progressDot() {
    std::fputs(".", stdout);
}

// The track access layer on "tracks\", live from the sync editor that DEMO_EDITOR names.
void openTimeline(demo_run& run, const std::string& editor) {
    run.timeline = std::make_unique<Timeline>();
    run.timeline->rowRate = static_cast<float>(ROWS_PER_SECOND);
    run.timeline->callbacks = {syncPause, syncSetRow, syncIsPlaying};
    timeline = run.timeline.get();
    if (editor.empty()) {
        run.timeline->open("tracks\\");
    } else if (run.timeline->open("tracks\\", editor.c_str())) {
        std::fprintf(stderr, "sync editor at %s did not answer: playing from the track files\n",
                     editor.c_str());
    } else {
        std::printf("sync editor at %s: tracks are edited live\n", editor.c_str());
    }
}

// Start-up steps 6 to 14: tables, profiler, clock, tracks, textures, scenes and the module, with
// the progress line. False when a scene cannot draw (a texture is missing or damaged).
bool initAll(demo_run& run, const std::string& editor) {
    initsintab();
    run.profiler = std::make_unique<Profiler>();
    run.timer = std::make_unique<Time>();
    run.timer->init();
    openTimeline(run, editor);

    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::fputs(" depooding", stdout);
    progressDot();

    // Every run starts from the same random state, so a run can be replayed frame by frame.
    reset_random_state();
    common.alpha = loadTexture("assets\\alpha.tga", false, true);
    progressDot();
    common.overlay = loadTexture("assets\\overlay.tga", false, false);
    progressDot();
    common.overlayMap = new unsigned char[OVERLAY_COLUMNS * OVERLAY_ROWS]();
    progressDot();

    run.parts[SCENE_BITMAPDIST] = std::make_unique<bitmapdist>();
    const int bitmapdistFailed = run.parts[SCENE_BITMAPDIST]->init(run.back.get(), 0);
    progressDot();
    run.parts[SCENE_KALEIDO] = std::make_unique<kaleido0>();
    const int kaleidoFailed = run.parts[SCENE_KALEIDO]->init(run.back.get(), 0);
    progressDot();
    if (bitmapdistFailed || kaleidoFailed)
        return false;

    run.timer->set(0.0);
    if (run.mod->load(MODULE_FILE)) {
        progressDot();
        std::fputs("\n", stdout);
    } else {
        std::fputs("main() -> can't load module\n", stderr);
    }
    return true;
}

// The scenes and what they share.
void doneAll(demo_run& run) {
    for (auto& scene : run.parts)
        scene.reset();
    delete common.alpha;
    delete common.overlay;
    delete[] common.overlayMap;
    common = {};
    run.back.reset();
}

// Tears down whatever start-up made, once, in the order of a normal end: the display mode, the
// scenes, the sine tables, the library, the music, the tracks.
class RunGuard {
  public:
    explicit RunGuard(demo_run& run) : run_(run) { current = &run; }
    ~RunGuard() { tearDown(); }
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

    void tearDown() {
        if (done_)
            return;
        done_ = true;
        qbx_donemode();
        doneAll(run_);
        donesintab();
        qbx_done();
        run_.mod.reset();
        run_.timeline.reset();
        timeline = nullptr;
        bassmod::prefetch(nullptr);
        current = nullptr;
    }

  private:
    demo_run& run_;
    bool done_ = false;
};

bool windowed() {
    const qbx_mode* mode = qbx_getcurrentmodestruct();
    return mode && (mode->flags & QBX_MODE_WINDOWED);
}

} // namespace

int demo_main(int argc, char** argv, const demo_options& options) {
    demo_run run;
    if (!readSwitches(argc, argv, run.flags)) {
        printHelp();
        return 0;
    }
    const char* editorVariable = std::getenv("DEMO_EDITOR");
    const std::string editor = editorVariable ? editorVariable : "";

    RunGuard guard(run);
    // The module decodes on a second core while the display comes up; start-up takes it (or
    // reports it missing) in its own step.
    bassmod::prefetch(MODULE_FILE);
    if (uint32_t r = qbx_init(0))
        return failWithCode("main() -> can't init quoblex: error 0x%X", r);

    uint32_t modeFlags = QBX_MODE_DIRECT_LOCK;
    if (run.flags.wide)
        modeFlags |= QBX_MODE_ASPECT_16_9;
    if (!run.flags.autoSetup)
        modeFlags |= QBX_MODE_SETUP;
    run.mode = qbx_addmode(CAPTION, PICTURE_WIDTH, PICTURE_HEIGHT, PICTURE_BPP, 0, modeFlags);
    if (run.mode < 0)
        return failWithCode("main() -> can't add video mode: error 0x%X", uint32_t(run.mode));

    run.back = std::make_unique<qbx_surface>();
    if (uint32_t r = run.back->create(PICTURE_WIDTH, PICTURE_HEIGHT, PICTURE_FORMAT, 1, 0))
        return failWithCode("main() -> can't create back surface: error 0x%X", r);

    run.mod.reset(options.make_music ? options.make_music() : new bassmod);
    if (!run.mod->init(!run.flags.autoSetup))
        return fail("main() -> can't init musicsys\n");

    if (!initAll(run, editor))
        return fail("main() -> can't init scenes\n");

    if (uint32_t r = qbx_setmode(run.mode))
        return failWithCode("main() -> can't set video mode: error 0x%X", r);
    // A new full-screen mode gets a second to settle, counted from the clock's start.
    while (!qbx_isexit() && !windowed() && run.timer->get() < SETTLE_SECONDS) {
    }
    if (!run.mod->play())
        return fail("main() -> can't play\n");
    if (run.timeline->isRemote())
        syncPause(nullptr, 0);

    const uint32_t frames = runFrameLoop(run, options);

    guard.tearDown();
    std::fputs(BANNER, stdout);
    if (run.flags.profile)
        dumpProfile(*run.profiler, frames);
    return 0;
}
