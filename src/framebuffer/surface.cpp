#include "framebuffer/surface.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

struct pixel_format {
    uint32_t bytes, bpp, r_mask, g_mask, b_mask, a_mask;
};

// Indexed by format code; entry 0 is not a format.
constexpr pixel_format formats[] = {
    {0, 0, 0, 0, 0, 0},
    {1, 8, 0, 0, 0, 0},                          // 1 index8, with a palette
    {1, 8, 0, 0, 0, 0},                          // 2 index8, no palette
    {1, 8, 0xE0, 0x1C, 0x03, 0},                 // 3 rgb332
    {2, 16, 0xF00, 0xF0, 0x0F, 0},               // 4 rgb444
    {2, 16, 0xF00, 0xF0, 0x0F, 0xF000},          // 5 argb4444
    {2, 16, 0x7C00, 0x3E0, 0x1F, 0},             // 6 rgb555
    {2, 16, 0x7C00, 0x3E0, 0x1F, 0x8000},        // 7 argb1555
    {2, 16, 0xF800, 0x7E0, 0x1F, 0},             // 8 rgb565
    {3, 24, 0xFF0000, 0xFF00, 0xFF, 0},          // 9 rgb888
    {3, 24, 0xFF, 0xFF00, 0xFF0000, 0},          // 10 bgr888
    {4, 32, 0xFF0000, 0xFF00, 0xFF, 0},          // 11 argb8888, top byte ignored
    {4, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000}, // 12 argb8888
    {4, 32, 0xFF, 0xFF00, 0xFF0000, 0},          // 13 abgr8888, top byte ignored
    {4, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000}, // 14 abgr8888
    {1, 8, 0xFF, 0, 0, 0},                       // 15 one colour channel
    {2, 16, 0, 0, 0, 0xFFFF},                    // 16 alpha only
    {4, 32, 0, 0, 0, 0xFFFFFFFF},                // 17 alpha only
    {1, 8, 0, 0, 0, 0xFF},                       // 18 alpha only
};
constexpr uint32_t format_count = sizeof(formats) / sizeof(formats[0]);

bool known_format(uint32_t format) {
    return format >= 1 && format < format_count;
}

} // namespace

qbx_palette::qbx_palette(uint32_t count, uint32_t entrybits)
    : qbx_palette(count, entrybits, 0xFF0000, 0xFF00, 0xFF) {}

qbx_palette::qbx_palette(uint32_t count, uint32_t entrybits, uint32_t r_mask, uint32_t g_mask,
                         uint32_t b_mask)
    : data(new uint32_t[count]()), entrybits(entrybits), count(count), r_mask(r_mask),
      g_mask(g_mask), b_mask(b_mask) {}

qbx_palette::~qbx_palette() {
    delete[] data;
}

qbx_surface::~qbx_surface() {
    release_memory();
    if (flags & QBX_SURF_SUBSURFACES) {
        for (uint32_t i = 0; i < subcount; ++i)
            delete subsurfaces[i];
        delete[] subsurfaces;
    }
    if (((flags & QBX_SURF_OWNS_PALETTE) || owns_attached_palette) && palette)
        delete palette;
}

void qbx_surface::release_memory() {
    if (flags & QBX_SURF_INSIDE_PARENT)
        return;
    if (flags & QBX_SURF_FOREIGN)
        return;
    if ((flags & QBX_SURF_ALLOCATOR) && allocator)
        allocator->release(data);
    else
        std::free(data);
}

uint8_t* qbx_surface::lock() {
    flags |= QBX_SURF_LOCKED;
    return data + static_cast<size_t>(pagelen) * page;
}

uint8_t* qbx_surface::lockrect() {
    uint8_t* p = lock();
    if (!p)
        return nullptr;
    return p + static_cast<size_t>(pitch) * rect_y + static_cast<size_t>(bpp / 8) * rect_x;
}

uint32_t qbx_surface::unlock() {
    flags &= ~QBX_SURF_LOCKED;
    return 0;
}

uint32_t qbx_surface::rect(uint32_t x, uint32_t y, uint32_t w, uint32_t h) {
    rect_x = x;
    rect_y = y;
    rect_width = w;
    rect_height = h;
    return 0;
}

uint32_t qbx_surface::getRequestedFormat(uint32_t format) {
    return known_format(format) ? formats[format].bytes : QBX_SURFACE_BAD_FORMAT;
}

uint32_t qbx_surface::create(uint32_t width, uint32_t height, uint32_t format, uint32_t pages,
                             uint32_t flags) {
    return create(width, height, 0, format, pages, flags, 0, nullptr, nullptr);
}

uint32_t qbx_surface::create(uint32_t width, uint32_t height, uint32_t pitch, uint32_t format,
                             uint32_t pages, uint32_t flags, uint32_t hint,
                             MemoryAllocator* allocator, qbx_surface_request* requests) {
    if (width % 8 != 0)
        return QBX_SURFACE_BAD_WIDTH;
    const uint32_t bytes = getRequestedFormat(format);
    if (bytes > 0x4000)
        return bytes;
    const uint64_t line = uint64_t(width) * bytes;
    if (pitch == 0) {
        if (line > UINT32_MAX)
            return QBX_SURFACE_BAD_FORMAT;
        pitch = static_cast<uint32_t>(line);
    }
    if (line > pitch)
        return QBX_SURFACE_BAD_FORMAT;
    // The size field is 32 bits wide: a larger picture cannot be described, so it gets no memory.
    const uint64_t total = uint64_t(pitch) * height * pages;
    if (total > UINT32_MAX)
        return QBX_SURFACE_NO_MEMORY;
    const uint32_t size = static_cast<uint32_t>(total);

    void* memory;
    if ((flags & QBX_SURF_ALLOCATOR) && allocator) {
        this->allocator = allocator;
        memory = allocator->allocate(size, hint);
    } else {
        memory = std::malloc(size ? size : 1);
    }
    if (!memory)
        return QBX_SURFACE_NO_MEMORY;
    std::memset(memory, 0, size);
    data = static_cast<uint8_t*>(memory);

    if (uint32_t error = attach(width, height, pitch, format, flags, pages, size))
        return error;
    // The pages lie one after the other inside the allocation.
    if (pages > 1)
        pagelen = pitch * height;
    if (flags & QBX_SURF_SUBSURFACES)
        return create_subsurfaces(requests);
    subcount = 0;
    return 0;
}

uint32_t qbx_surface::create_subsurfaces(qbx_surface_request* requests) {
    uint32_t count = 0;
    while (requests && requests[count].width != 0)
        ++count;
    subsurfaces = new (std::nothrow) qbx_surface*[count]();
    if (!subsurfaces)
        return QBX_SURFACE_NO_SUBSURFACE;
    subcount = count;

    const uint32_t used = (bpp / 8) * width;
    const uint32_t spare = pitch - used;
    for (uint32_t i = 0; i < count; ++i) {
        qbx_surface_request& request = requests[i];
        qbx_surface* sub = new (std::nothrow) qbx_surface;
        if (!sub)
            return QBX_SURFACE_NO_SUBSURFACE;
        subsurfaces[i] = sub;
        const uint32_t bytes = getRequestedFormat(request.format);
        if (bytes > 0x4000)
            return bytes;
        if (request.pitch == 0)
            request.pitch = bytes * request.width;
        // A request goes into the spare bytes right of the picture only when it fits there in
        // both directions; otherwise it gets memory of its own.
        const bool fits = spare >= request.pitch && uint64_t(bytes) * request.width <= spare &&
                          request.height <= height;
        if (!fits) {
            const uint32_t error =
                sub->create(request.width, request.height, request.pitch, request.format, 1,
                            request.flags & ~QBX_SURF_SUBSURFACES, 0, allocator, nullptr);
            if (error)
                return error;
            continue;
        }
        sub->data = data + used;
        const uint32_t subflags =
            (request.flags & ~(QBX_SURF_SUBSURFACES | QBX_SURF_INSIDE_PARENT)) |
            QBX_SURF_INSIDE_PARENT;
        const uint32_t error = sub->attach(request.width, request.height, pitch, request.format,
                                           subflags, 1, request.pitch * request.height);
        if (error)
            return error;
    }
    return 0;
}

uint32_t qbx_surface::attach(uint32_t width, uint32_t height, uint32_t pitch, uint32_t format,
                             uint32_t flags, uint32_t pages, uint32_t size) {
    this->width = width;
    this->height = height;
    this->pitch = pitch;
    this->flags = flags;
    this->pages = pages;
    this->size = size;
    banks = 1;
    pagelen = size / banks;
    reserved0 = reserved1 = 0;
    bank = page = 0;
    rect(0, 0, width, height);
    if (!known_format(format))
        return QBX_SURFACE_BAD_FORMAT;
    const pixel_format& f = formats[format];
    bpp = f.bpp;
    r_mask = f.r_mask;
    g_mask = f.g_mask;
    b_mask = f.b_mask;
    a_mask = f.a_mask;
    if (format == QBX_FORMAT_INDEX8) {
        if (owns_attached_palette)
            delete palette;
        palette = new qbx_palette(256, 32);
        owns_attached_palette = true;
    }
    return 0;
}

void qbx_surface::copy_description(const qbx_surface& other) {
    data = other.data;
    width = other.width;
    height = other.height;
    bpp = other.bpp;
    // A description owns nothing: neither the pixels, nor sub-surfaces, nor a palette.
    flags = (other.flags | QBX_SURF_FOREIGN) & ~(QBX_SURF_SUBSURFACES | QBX_SURF_OWNS_PALETTE);
    banks = other.banks;
    size = other.size;
    pages = other.pages;
    pitch = other.pitch;
    pagelen = other.pagelen;
    reserved0 = other.reserved0;
    reserved1 = other.reserved1;
    r_mask = other.r_mask;
    g_mask = other.g_mask;
    b_mask = other.b_mask;
    a_mask = other.a_mask;
    rect_x = other.rect_x;
    rect_y = other.rect_y;
    rect_width = other.rect_width;
    rect_height = other.rect_height;
    bank = other.bank;
    page = other.page;
    palette = other.palette;
    allocator = other.allocator;
    subcount = other.subcount;
    subsurfaces = other.subsurfaces;
    owns_attached_palette = false;
}

uint32_t qbx_surface_create(qbx_surface* surface, uint32_t width, uint32_t height, uint32_t format,
                            uint32_t pages, uint32_t flags) {
    return surface->create(width, height, format, pages, flags);
}

uint32_t qbx_surface_create(qbx_surface* surface, uint32_t width, uint32_t height, uint32_t pitch,
                            uint32_t format, uint32_t pages, uint32_t flags) {
    return surface->create(width, height, pitch, format, pages, flags, 0, nullptr, nullptr);
}

uint8_t* qbx_surface_lock(qbx_surface* surface) {
    return surface->lock();
}
uint8_t* qbx_surface_lockrect(qbx_surface* surface) {
    return surface->lockrect();
}
uint32_t qbx_surface_unlock(qbx_surface* surface) {
    return surface->unlock();
}

uint32_t qbx_surface_rect(qbx_surface* surface, uint32_t x, uint32_t y, uint32_t w, uint32_t h) {
    return surface->rect(x, y, w, h);
}

uint8_t* qbx_surface_setbank(qbx_surface* surface, uint32_t page, uint32_t bank) {
    if ((surface->flags & QBX_SURF_NOBANKSWITCH) || page >= surface->pages ||
        bank >= surface->banks)
        return nullptr;
    surface->bank = bank;
    surface->page = page;
    return surface->data + static_cast<size_t>(page) * surface->pagelen +
           static_cast<size_t>(bank) * surface->size;
}

uint32_t qbx_surface_blt(qbx_surface*, qbx_surface*, uint32_t) {
    return 1;
}
uint32_t qbx_surface_delete(qbx_surface*) {
    return 1;
}
