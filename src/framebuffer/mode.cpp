#include "framebuffer/mode.h"

#include <cstdlib>
#include <utility>

#include "framebuffer/cpuid.h"
#include "framebuffer/exception.h"
#include "framebuffer/quoblex.h"
#include "framebuffer/setup.h"

std::vector<qbx_mode> setupmodes;
std::deque<qbx_mode> modes;
qbx_mode* curmode = nullptr;

namespace {

// What one enumeration pass admits (bounds inclusive) and the flags its candidates get.
struct enum_filter {
    uint32_t min_x, max_x, min_y, max_y, min_bpp, max_bpp;
    uint32_t flags;
};

constexpr uint32_t open_bound = 0xFFFFFFFF;
constexpr uint32_t standard_widths[] = {640, 800, 1024, 1280, 1680, 1920, 2560};
constexpr uint32_t standard_heights[] = {480, 600, 768, 1024, 1080, 1200, 1440};

// Requests beyond this on either side are refused: no display offers them, and doubling such a
// picture would overflow the record's sizes.
constexpr uint32_t largest_request = 16384;

constexpr const char* no_suitable_mode = "can't find suitable mode";

uint32_t first_at_least(const uint32_t (&table)[7], uint64_t value) {
    for (uint32_t entry : table)
        if (entry >= value)
            return entry;
    return open_bound;
}

uint32_t bound(uint64_t value) {
    return value > open_bound ? open_bound : uint32_t(value);
}

uint32_t aspect_target(uint32_t flags) {
    switch (flags & QBX_MODE_ASPECT) {
    case QBX_MODE_ASPECT_4_3:
        return QBX_ASPECT_4_3;
    case QBX_MODE_ASPECT_16_9:
        return QBX_ASPECT_16_9;
    case QBX_MODE_ASPECT_16_10:
        return QBX_ASPECT_16_10;
    default:
        return QBX_ASPECT_ANY;
    }
}

// The enumeration passes for a request, in order. A request narrower than 320 pixels is bounded
// like a 320-wide one, with its own width in place of 320.
std::vector<enum_filter> enumeration_passes(uint32_t x, uint32_t y, uint32_t flags,
                                            uint32_t aspect) {
    const uint64_t a = aspect == QBX_ASPECT_ANY ? QBX_ASPECT_4_3 : aspect;
    const uint32_t doubled = flags | QBX_MODE_DOUBLED;
    const uint64_t x2 = uint64_t(x) * 2, y2 = uint64_t(y) * 2;
    if (x <= 320) {
        if (y < 320)
            return {
                {bound(x2), bound(x2), bound(y2), bound((uint64_t(x) << 17) / a), 8, 32, doubled},
                {x, x, y, bound((uint64_t(x) << 16) / a), 8, 32, flags}};
        return {{bound(x2), bound(x2), y, 480, 8, 32, doubled}, {x, x, y, 480, 8, 32, flags}};
    }
    if (x <= 640)
        return {{bound(x2), bound(x2), bound(y2), 1024, 8, 32, doubled},
                {x, 640, y, 480, 8, 32, flags}};
    const uint32_t w = first_at_least(standard_widths, x);
    const uint32_t h =
        w == open_bound ? open_bound : first_at_least(standard_heights, (uint64_t(w) << 16) / a);
    return {{x, w, y, h, 8, 32, flags}};
}

constexpr const char* table_header = "   n |   x  |   y  | bpp |   flags    |\n";
constexpr const char* table_rule = "  ---+------+------+-----+------------+\n";

void log_row(size_t index, const qbx_mode& mode) {
    qbx_logf("  %2d | %4d | %4d | %3d | 0x%08X |\n", int(index), int(mode.host.x), int(mode.host.y),
             int(mode.host.bpp), mode.flags);
}

// |a - b| of the signed 32-bit difference.
int64_t distance(uint32_t a, uint32_t b) {
    const int64_t d = int32_t(a - b);
    return d < 0 ? -d : d;
}

// Steps 3 to 13 of adding a mode; returns the new handle or QBX_MODE_USER_BREAK.
int32_t add_mode(const char* name, uint32_t x, uint32_t y, uint32_t bpp, uint32_t flags) {
    const uint32_t aspect = aspect_target(flags);

    setupmodes.clear();
    qbx_logf("\n  finding modes:\n");
    qbx_logf("%s", table_header);
    qbx_logf("%s", table_rule);
    if (x == 0 || y == 0 || x > largest_request || y > largest_request)
        throw qbx_exception::mode(QBX_ERR_MODE_REQUEST, 0, x, y, bpp, no_suitable_mode);
    if (!qbx_dd.dd)
        throw qbx_exception::display(0, "can't locate ddraw interface");
    for (enum_filter filter : enumeration_passes(x, y, flags, aspect))
        qbx_check_display(qbx_dd.dd->enum_modes(qbx_mode::qbx_enum_callback, &filter),
                          "can't enumerate display modes");
    qbx_logf("%s", table_rule);

    int32_t chosen = -1;
    if (setupmodes.empty()) {
        if (qbx_flags & QBX_FLAG_LOWDEPTH)
            throw qbx_exception::mode(QBX_ERR_MODE_REQUEST, 0, x, y, bpp, no_suitable_mode);
        qbx_logf("  no modes found, entering windowed-only mode");
        qbx_mode fallback;
        fallback.flags = QBX_MODE_FALLBACK | QBX_MODE_WINDOWED;
        setupmodes.push_back(fallback);
    } else {
        qbx_mode::sortmodes(setupmodes, qbx_mode::bpp_sort);
        qbx_mode::sortmodes(setupmodes, qbx_mode::y_sort);
        qbx_mode::sortmodes(setupmodes, qbx_mode::x_sort);
        if (!(qbx_flags & QBX_FLAG_NOAUTOFIND))
            chosen = qbx_mode::findbestmode(x, y, bpp, flags, aspect);
    }

    if ((flags & QBX_MODE_SETUP) || (qbx_flags & QBX_FLAG_MANUAL) || chosen < 0) {
        chosen = qbx_setup(x, y, bpp, flags, chosen);
    } else {
        qbx_mode& candidate = setupmodes[chosen];
        candidate.flags = flags;
        if (bpp == 32)
            candidate.convflags =
                (candidate.host.bpp == 15 || candidate.host.bpp == 16) ? QBX_CONV_DITHER : 0;
    }

    if (chosen == QBX_MODE_USER_BREAK) {
        qbx_logf("user break");
        return QBX_MODE_USER_BREAK;
    }
    if (chosen < 0 || size_t(chosen) >= setupmodes.size())
        throw qbx_exception::mode(QBX_ERR_MODE_CHOICE, uint32_t(chosen), x, y, bpp,
                                  no_suitable_mode);

    qbx_mode& candidate = setupmodes[chosen];
    if (bpp == 32 && candidate.host.bpp == 8)
        candidate.convflags = QBX_CONV_32_TO_8;
    if ((candidate.flags & QBX_MODE_PORTRAIT) || y > x)
        candidate.flags |= QBX_MODE_DOUBLED;
    if (cpuid.features_edx & CPUID_EDX_MMX)
        candidate.flags |= QBX_MODE_SIMD;
    if (candidate.flags & QBX_MODE_DOUBLED) {
        candidate.convflags |= QBX_CONV_DOUBLE_X;
        if (!(candidate.flags & QBX_MODE_PORTRAIT) && y < x)
            candidate.convflags |= QBX_CONV_DOUBLE_Y | QBX_CONV_DOUBLE_LINES;
    }

    qbx_mode record;
    record.flags = candidate.flags;
    record.convflags = candidate.convflags;
    record.width = (record.convflags & QBX_CONV_DOUBLE_X) ? 2 * x : x;
    record.height = (record.convflags & QBX_CONV_DOUBLE_Y) ? 2 * y : y;
    record.bpp = bpp;
    record.host = (record.flags & QBX_MODE_WINDOWED)
                      ? qbx_host_props{record.width, record.height, bpp}
                      : candidate.host;
    // A host mode that cannot hold the picture would put it outside the display.
    if (record.host.x < record.width || record.host.y < record.height)
        throw qbx_exception::mode(QBX_ERR_MODE_REQUEST, 0, x, y, bpp, no_suitable_mode);
    record.xpad = (record.host.x - record.width) >> 1;
    record.ypad = (record.host.y - record.height) >> 1;
    record.name = name;
    modes.push_back(record);

    qbx_logf("  selected mode: 0x%X -> %dx%d %dbpp, flags 0x%08X", uint32_t(chosen),
             int(record.host.x), int(record.host.y), int(record.host.bpp), record.flags);
    return int32_t(modes.size() - 1);
}

} // namespace

void qbx_mode::free_tables() {
    delete[] graytable;
    graytable = nullptr;
    delete[] xlat;
    xlat = nullptr;
    delete palette;
    palette = nullptr;
}

bool qbx_mode::qbx_enum_callback(const display_mode_desc& mode, void* context) {
    const enum_filter& filter = *static_cast<const enum_filter*>(context);
    if (mode.width < filter.min_x || mode.width > filter.max_x || mode.height < filter.min_y ||
        mode.height > filter.max_y || mode.bpp < filter.min_bpp || mode.bpp > filter.max_bpp ||
        mode.height == 0)
        return true;
    const bool tall = mode.height > mode.width;
    qbx_mode candidate;
    candidate.host = {mode.width, mode.height, mode.bpp};
    candidate.flags = filter.flags | (tall ? QBX_MODE_PORTRAIT : 0);
    candidate.aspect = uint32_t((uint64_t(mode.width) << (tall ? 17 : 16)) / mode.height);
    log_row(setupmodes.size(), candidate);
    setupmodes.push_back(candidate);
    return true;
}

bool qbx_mode::bpp_sort(const qbx_mode& a, const qbx_mode& b) {
    return b.host.bpp < a.host.bpp;
}
bool qbx_mode::y_sort(const qbx_mode& a, const qbx_mode& b) {
    return b.host.y < a.host.y;
}
bool qbx_mode::x_sort(const qbx_mode& a, const qbx_mode& b) {
    return b.host.x < a.host.x;
}

void qbx_mode::sortmodes(std::vector<qbx_mode>& list, qbx_mode_comparer comparer) {
    const size_t count = list.size();
    for (size_t pass = 0; pass + 1 < count; ++pass) {
        bool exchanged = false;
        for (size_t j = 0; j + pass + 1 < count; ++j) {
            if (comparer(list[j], list[j + 1])) {
                std::swap(list[j], list[j + 1]);
                exchanged = true;
            }
        }
        if (!exchanged)
            break;
    }
}

int32_t qbx_mode::findbestmode(uint32_t x, uint32_t y, uint32_t bpp, uint32_t flags,
                               uint32_t aspect) {
    // The best so far, with the width factor it was found for (a doubled candidate's width is
    // measured against twice the request, and so is the best's when it was doubled).
    struct {
        int32_t index = -1;
        uint32_t x = 0, y = 0, bpp = 0, factor = 1;
    } best;
    qbx_logf("  find best matching mode:\n");
    qbx_logf("%s", table_header);
    qbx_logf("%s", table_rule);
    const bool any_aspect = (flags & QBX_MODE_ASPECT) == QBX_MODE_ASPECT_ANY;
    for (size_t i = 0; i < setupmodes.size(); ++i) {
        const qbx_mode& candidate = setupmodes[i];
        const uint32_t factor = (candidate.flags & QBX_MODE_DOUBLED) ? 2 : 1;
        const int64_t dx = distance(candidate.host.x, factor * x);
        const int64_t dy = distance(candidate.host.y, y);
        const int64_t dd = distance(candidate.host.bpp, bpp);
        const int64_t bx = distance(best.x, best.factor * x);
        const int64_t by = distance(best.y, y);
        const int64_t bd = distance(best.bpp, bpp);
        const bool aspect_passes = any_aspect || candidate.aspect == aspect;
        if ((dx == bx && dy == by && dd <= bd) || ((dx < bx || dy < by) && aspect_passes)) {
            best = {int32_t(i), candidate.host.x, candidate.host.y, candidate.host.bpp, factor};
            log_row(i, candidate);
        }
    }
    qbx_logf("%s", table_rule);
    return best.index;
}

int32_t qbx_addmode(const char* name, uint32_t x, uint32_t y, uint32_t bpp, uint32_t rate,
                    uint32_t flags) {
    qbx_logf("\nqbx_addmode(): ---------start--------\n");
    qbx_logf("  x = %d, y = %d, bpp = %d, rate = %d, flags = 0x%X\n", int(x), int(y), int(bpp),
             int(rate), flags);
    const uint32_t result =
        qbx_guarded([&]() -> uint32_t { return uint32_t(add_mode(name, x, y, bpp, flags)); });
    qbx_logf("\nqbx_addmode(): ----------end---------\n");
    return int32_t(result);
}

int32_t qbx_addmode(uint32_t x, uint32_t y, uint32_t bpp, uint32_t rate, uint32_t flags) {
    return qbx_addmode(nullptr, x, y, bpp, rate, flags);
}

qbx_mode* qbx_getmodestruct(int32_t index) {
    if (index < 0 || size_t(index) >= modes.size())
        return nullptr;
    return &modes[size_t(index)];
}

qbx_mode* qbx_getcurrentmodestruct() {
    return curmode;
}
