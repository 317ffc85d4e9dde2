// The steps of a frame that both scenes share, and the templates of their filter chains.
#include "parts/scene_frame.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "framebuffer/framebuf.h"
#include "obj/rblur.h"
#include "parts/common.h"
#include "parts/kaleido_grid.h"
#include "parts/tracks.h"

namespace {

constexpr uint32_t render_pitch = 2048; // the fixed pitch of the grid mappers and the radial blur
constexpr size_t line_bytes = 1296;
constexpr uint32_t grey = 0x010101;

// The templates of the slot lists and chains, completed on the stack every frame. A null `ptr`
// ends a slot list, a null kernel a chain.
const flt_buf hbuf[5] = {{nullptr, 2}, {nullptr, 0}, {nullptr, 0}, {nullptr, 0}, {nullptr, 0}};
const flt_buf vbuf[5] = {{nullptr, 4}, {nullptr, 0}, {nullptr, 0}, {nullptr, 0}, {nullptr, 0}};
const flt_buf fbuf[6] = {{nullptr, 0}, {nullptr, 0}, {nullptr, 0},
                         {nullptr, 0}, {nullptr, 0}, {nullptr, 0}};
const fparm end_of_chain = {nullptr, 0, 0, 0, 0, 0, 0, 0};
const fparm hflt[2] = {{flt_blur_h_half_tr_clamp, 0, 1, 0, 0, 0, 0, 320}, end_of_chain};
const fparm vflt[2] = {{flt_blur_h_tr_clamp, 0, 1, 0, 0, 0, 0, 90}, end_of_chain};
const fparm fltBilerp = {flt_bilinear_2x2, 2, 0, 0, 0, 0, 0, 160};
const fparm fltBlurAdd = {flt_salpha, 2, 1, 2, 0, 0xFFFFFF, 0, 320};
const fparm fltModp = {flt_modp8, 3, 1, 4, 0, 0, 0, 320};
const fparm fltShift = {flt_rgbshift_avg_t, 3, 3, 0, 0, 0xFF00FF, 0, 320};
const fparm fltBlend = {flt_alphac, 3, 3, 0, 0, 0, 0, 320};

// A slot at `ptr` inside `surface`: taps that leave a line may reach anywhere in its memory.
void fill_slot(flt_buf& slot, const qbx_surface& surface, uint8_t* ptr, int32_t advance) {
    slot.ptr = ptr;
    slot.advance = advance;
    slot.begin = surface.data;
    slot.end = surface.data + surface.size;
}

void fill_line_slot(flt_buf& slot, uint8_t* line) {
    slot.ptr = line;
    slot.advance = 0;
    slot.begin = line;
    slot.end = line + line_bytes;
}

bool rect_holds_frame(const qbx_surface& s) {
    return uint64_t(s.rect_x) + frame_width <= s.width &&
           uint64_t(s.rect_y) + frame_height <= s.height;
}

std::unique_ptr<qbx_surface> make_surface(uint32_t width, uint32_t height, uint32_t pitch,
                                          uint32_t rect_width, uint32_t rect_height) {
    auto surface = std::make_unique<qbx_surface>();
    if (qbx_surface_create(surface.get(), width, height, pitch, QBX_FORMAT_ARGB8888, 1, 0) != 0)
        return nullptr;
    surface->rect(0, 0, rect_width, rect_height);
    return surface;
}

} // namespace

int scene_failure(const char* scene, const char* what) {
    std::fprintf(stderr, "%s: %s\n", scene, what);
    return 1;
}

int scene_surfaces::create(const char* scene, qbx_surface* back) {
    if (!back || back->bpp != 32 || !rect_holds_frame(*back))
        return scene_failure(scene, "the back surface must be 32-bit with room for 320 x 180 "
                                    "pixels from its rectangle's corner");
    const qbx_surface* alpha = common.alpha;
    if (!alpha || alpha->bpp != 8 || alpha->rect_width < frame_width ||
        alpha->rect_height < frame_height || !rect_holds_frame(*alpha))
        return scene_failure(scene, "the brightness mask must be an 8-bit picture of at least "
                                    "320 x 180");
    if (!common.overlay || !common.overlayMap)
        return scene_failure(scene, "the overlay sprites and their map are missing");
    if (!timeline)
        return scene_failure(scene, "no track access layer is set");
    target = back;
    lineA = std::make_unique<uint8_t[]>(line_bytes);
    lineB = std::make_unique<uint8_t[]>(line_bytes);
    nodes = std::make_unique<grid[]>(kaleido_node_count);
    render = make_surface(frame_width, frame_height, render_pitch, frame_width, frame_height);
    halfT = make_surface(96, 160, 0, 90, 160);
    half = make_surface(160, 96, 0, 160, 90);
    if (!render || !halfT || !half)
        return scene_failure(scene, "out of memory for the work surfaces");
    return 0;
}

uint8_t* scene_surfaces::render_line(uint32_t y) const {
    return render->lockrect() + size_t(y) * render->pitch;
}

void clear_borders(const scene_surfaces& s) {
    for (uint32_t y : {0u, 1u, frame_height - 2, frame_height - 1})
        std::memset(s.render_line(y), 0, s.render->pitch);
}

overlay_settings read_overlay(float time) {
    return {track("overlay#en", time) > 0,
            static_cast<uint32_t>(trunc_int(track("overlay#opacity", time) * 255)) * grey};
}

void draw_overlay_and_bars(const scene_surfaces& s, float time, const overlay_settings& overlay) {
    if (overlay.on)
        spritegrid_draw(s.render.get(), common.overlay, common.overlayMap, 16, 20, 11,
                        overlay.colour);
    const int32_t count = trunc_int(track("bars#count", time));
    const uint32_t intensity =
        static_cast<uint32_t>(trunc_int(track("bars#intensity", time) * 255));
    const bool coloured = track("bars#colored", time) > 0;
    if (count < 1 || intensity == 0)
        return;
    for (int32_t n = 0; n < count; ++n) {
        uint8_t* line = s.render_line(scene_rand() % frame_height);
        uint32_t colour = intensity * grey;
        if (coloured) {
            const uint32_t blue = myrand() % intensity;
            const uint32_t green = myrand() % intensity;
            const uint32_t red = myrand() % intensity;
            colour = blue | green << 8 | red << 16;
        }
        flt_add(line, line, frame_width * 4, colour);
    }
}

void prepare_glitch(float time, bool on, flt_rgbsh* table, unsigned count) {
    std::memset(table, 0, sizeof(flt_rgbsh) * count);
    if (on)
        fill_glitch(time, table, count);
}

void radial_blur(const scene_surfaces& s, float strength, float scale) {
    // Below 1/256 a complement would round to 256; above 7.08 the red weight passes 255.
    constexpr float weakest = 1.0f / 256, strongest = 7.08f;
    strength = strength > weakest ? std::min(strength, strongest) : weakest;
    const float sv[3] = {36 * strength, 24 * strength, 16 * strength}; // blue, green, red
    auto byte = [](float x) { return static_cast<uint32_t>(x); };
    const uint32_t weights = byte(sv[2]) << 16 | byte(sv[1]) << 8 | byte(sv[0]);
    const uint32_t complements =
        byte(256 - sv[2]) << 16 | byte(256 - sv[1]) << 8 | byte(256 - sv[0]);
    const int32_t step = trunc_int(scale + 31232.0);
    uint8_t* origin = s.render->lockrect();
    rblur_c_bl_alpha(origin, origin, frame_width, frame_height, step, step, complements, weights);
}

post_settings read_post(float time, bool additive) {
    post_settings p;
    p.blurOn = track("blur#blurEn", time) > 0;
    if (additive) {
        p.additive = track("blur#additive", time) > 0;
        p.addColour = static_cast<uint32_t>(trunc_int(track("blur#addOpacity", time) * 255)) * grey;
    }
    p.blurWidth = std::clamp(trunc_int(track("blur#blurWidth", time)), 1, 64);
    p.fade = static_cast<uint32_t>(trunc_int(track("main#blendfade", time) * 255));
    p.level = static_cast<uint32_t>(trunc_int(track("main#blendcolor", time) * 255));
    return p;
}

namespace {

// Blurred horizontally at half resolution into halfT (transposed), then the other way back into
// half.
void blur_passes(const scene_surfaces& s, int32_t width) {
    const uintptr_t multiplier = 0xFFFFu / (2u * static_cast<uint32_t>(width));
    qbx_surface &render = *s.render, &halfT = *s.halfT, &half = *s.half;

    flt_buf slots[5];
    std::copy(std::begin(hbuf), std::end(hbuf), slots);
    fill_slot(slots[0], halfT, halfT.lockrect(), hbuf[0].advance);
    fill_slot(slots[1], render, render.lockrect(), static_cast<int32_t>(render.pitch));
    fill_line_slot(slots[2], s.lineA.get());
    fill_line_slot(slots[3], s.lineB.get());
    fparm chain[2] = {hflt[0], hflt[1]};
    chain[0].p0 = static_cast<uintptr_t>(width);
    chain[0].p1 = multiplier;
    chain[0].p2 = halfT.pitch;
    filter(chain, slots, 180);

    std::copy(std::begin(vbuf), std::end(vbuf), slots);
    fill_slot(slots[0], half, half.lockrect(), vbuf[0].advance);
    fill_slot(slots[1], halfT, halfT.lockrect(), static_cast<int32_t>(halfT.pitch));
    fill_line_slot(slots[2], s.lineA.get());
    fill_line_slot(slots[3], s.lineB.get());
    chain[0] = vflt[0];
    chain[1] = vflt[1];
    chain[0].p0 = static_cast<uintptr_t>(width);
    chain[0].p1 = multiplier;
    chain[0].p2 = half.pitch;
    filter(chain, slots, 160);
}

} // namespace

void post_process(const scene_surfaces& s, const post_settings& p) {
    if (p.blurOn)
        blur_passes(s, p.blurWidth);

    qbx_surface &half = *s.half, &render = *s.render, &target = *s.target, &alpha = *common.alpha;
    flt_buf slots[6];
    std::copy(std::begin(fbuf), std::end(fbuf), slots);
    // Each half-resolution line serves two output lines.
    fill_slot(slots[0], half, half.lockrect(), static_cast<int32_t>(half.pitch / 2));
    fill_slot(slots[1], render, render.lockrect(), static_cast<int32_t>(render.pitch));
    fill_line_slot(slots[2], s.lineA.get());
    fill_slot(slots[3], target, target.lockrect(), static_cast<int32_t>(target.pitch));
    fill_slot(slots[4], alpha, alpha.lockrect(), static_cast<int32_t>(alpha.pitch));

    fparm chain[16] = {};
    int n = 0;
    if (p.blurOn) {
        chain[n] = fltBilerp;
        chain[n++].p0 = half.pitch / 2;
        if (p.additive) {
            chain[n] = fltBlurAdd;
            chain[n++].p0 = p.addColour;
        }
    }
    chain[n] = fltModp;
    chain[n++].src = p.blurOn ? 2 : 1;
    if (p.glitch) {
        chain[n] = fltShift;
        chain[n++].p0 = reinterpret_cast<uintptr_t>(p.glitch);
    }
    chain[n] = fltBlend;
    chain[n].p0 = p.fade * grey;
    chain[n].p1 = p.level * grey;
    filter(chain, slots, 180);
}

void present(const scene_surfaces& s) {
    qbx_update(*s.target, 1);
    qbx_flip(1);
}
