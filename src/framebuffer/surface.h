#pragma once
// Pixel surfaces and palettes: a description of a rectangle of pixels in memory (where the pixels
// are, the picture's size, the distance between lines, the pixel layout) and the memory itself when
// the surface owns it. All status results are 0 for success or one of the error codes below.
#include <cstddef>
#include <cstdint>

// Status codes of create, attach and getRequestedFormat.
constexpr uint32_t QBX_SURFACE_NO_SUBSURFACE = 2;   // no memory for a sub-surface object
constexpr uint32_t QBX_SURFACE_NO_MEMORY = 3;       // no memory for the pixels
constexpr uint32_t QBX_SURFACE_BAD_WIDTH = 0x4001;  // width not a multiple of 8
constexpr uint32_t QBX_SURFACE_BAD_FORMAT = 0x4002; // unknown format code, or pitch below a line

// Surface flag bits.
constexpr uint32_t QBX_SURF_NOBANKSWITCH = 0x00000003;  // either bit: setbank refuses to switch
constexpr uint32_t QBX_SURF_DEEP_DISPLAY = 0x00000004;  // display description, more than 8 bpp
constexpr uint32_t QBX_SURF_FOREIGN = 0x00000008;       // pixel memory not owned
constexpr uint32_t QBX_SURF_OWNS_PALETTE = 0x00000040;  // destructor deletes `palette`
constexpr uint32_t QBX_SURF_ALLOCATOR = 0x00000080;     // memory from the MemoryAllocator
constexpr uint32_t QBX_SURF_SUBSURFACES = 0x00000100;   // create builds sub-surfaces
constexpr uint32_t QBX_SURF_INSIDE_PARENT = 0x00000200; // memory lies inside a parent surface
constexpr uint32_t QBX_SURF_LOCKED = 0x80000000;

// Pixel format codes accepted by create and attach (1 to 18); 11 is the demo's argb8888.
constexpr uint32_t QBX_FORMAT_INDEX8 = 1;
constexpr uint32_t QBX_FORMAT_GRAY8 = 2; // 8-bit, no palette
constexpr uint32_t QBX_FORMAT_ARGB8888 = 11;

// Colour entries for 8-bit indexed pixels: `count` entries 0x00RRGGBB. Owns `data`.
struct qbx_palette {
    uint32_t* data = nullptr;
    uint32_t entrybits = 0;
    uint32_t count = 0;
    uint32_t reserved0 = 0;
    uint32_t r_mask = 0, g_mask = 0, b_mask = 0;
    uint32_t reserved1 = 0;

    qbx_palette() = default;
    qbx_palette(uint32_t count, uint32_t entrybits);
    qbx_palette(uint32_t count, uint32_t entrybits, uint32_t r_mask, uint32_t g_mask,
                uint32_t b_mask);
    ~qbx_palette();
    qbx_palette(const qbx_palette&) = delete;
    qbx_palette& operator=(const qbx_palette&) = delete;
};

// Supplies pixel memory to create when the surface flag QBX_SURF_ALLOCATOR is given.
class MemoryAllocator {
  public:
    virtual ~MemoryAllocator() = default;
    virtual void* allocate(size_t size, uint32_t hint) = 0;
    virtual void release(void* memory) = 0;
};

// One entry of a sub-surface request list; the list ends at the first entry of width 0.
struct qbx_surface_request {
    uint32_t width, height;
    uint32_t pitch; // 0: create fills in width x bytes per pixel
    uint32_t format;
    uint32_t flags;
};

class qbx_surface {
  public:
    uint8_t* data = nullptr; // first byte of page 0
    uint32_t width = 0, height = 0;
    uint32_t bpp = 0;
    uint32_t flags = 0;
    uint32_t banks = 0;
    uint32_t size = 0; // bytes of pixel memory
    uint32_t pages = 0;
    uint32_t pitch = 0;   // bytes from one line to the next
    uint32_t pagelen = 0; // bytes from one page to the next
    uint32_t reserved0 = 0, reserved1 = 0;
    uint32_t r_mask = 0, g_mask = 0, b_mask = 0, a_mask = 0;
    uint32_t rect_x = 0, rect_y = 0, rect_width = 0, rect_height = 0; // the active rectangle
    uint32_t bank = 0, page = 0;
    qbx_palette* palette = nullptr;
    MemoryAllocator* allocator = nullptr;
    uint32_t subcount = 0;
    qbx_surface** subsurfaces = nullptr;

    qbx_surface() = default;
    virtual ~qbx_surface();
    qbx_surface(const qbx_surface&) = delete;
    qbx_surface& operator=(const qbx_surface&) = delete;

    // Marks the surface locked; returns the first byte of the current page.
    virtual uint8_t* lock();
    // lock(), advanced to the active rectangle's first pixel; null when lock() gives null.
    virtual uint8_t* lockrect();
    virtual uint32_t unlock();
    // Stores the active rectangle (not checked against the surface).
    virtual uint32_t rect(uint32_t x, uint32_t y, uint32_t w, uint32_t h);

    uint32_t create(uint32_t width, uint32_t height, uint32_t format, uint32_t pages,
                    uint32_t flags);
    // Allocates zeroed pixel memory (pitch 0: width x bytes per pixel) and describes it.
    uint32_t create(uint32_t width, uint32_t height, uint32_t pitch, uint32_t format,
                    uint32_t pages, uint32_t flags, uint32_t hint, MemoryAllocator* allocator,
                    qbx_surface_request* requests);
    // Describes the memory that `data` already points at.
    uint32_t attach(uint32_t width, uint32_t height, uint32_t pitch, uint32_t format,
                    uint32_t flags, uint32_t pages, uint32_t size);

    // Bytes per pixel of a format code, or QBX_SURFACE_BAD_FORMAT.
    static uint32_t getRequestedFormat(uint32_t format);

  protected:
    // A field-by-field copy that takes ownership of nothing (for display descriptions).
    void copy_description(const qbx_surface& other);

  private:
    uint32_t create_subsurfaces(qbx_surface_request* requests);
    void release_memory();
    bool owns_attached_palette = false; // the 256-entry palette attach made for format 1
};

// The locked display surface of the current display mode. lock(flags) gives the application a
// pointer into the display itself where the mode allows it; lock() is lock(0).
class qbx_surface_backbuffer : public qbx_surface {
  public:
    qbx_surface_backbuffer() = default;
    qbx_surface_backbuffer(const qbx_surface_backbuffer& other) { copy_description(other); }
    qbx_surface_backbuffer& operator=(const qbx_surface_backbuffer& other) {
        copy_description(other);
        return *this;
    }
    uint8_t* lock() override { return lock(0); }
    uint32_t unlock() override;
    virtual uint8_t* lock(uint32_t flags);
};

uint32_t qbx_surface_create(qbx_surface* surface, uint32_t width, uint32_t height, uint32_t format,
                            uint32_t pages, uint32_t flags);
uint32_t qbx_surface_create(qbx_surface* surface, uint32_t width, uint32_t height, uint32_t pitch,
                            uint32_t format, uint32_t pages, uint32_t flags);
uint8_t* qbx_surface_lock(qbx_surface* surface);
uint8_t* qbx_surface_lockrect(qbx_surface* surface);
uint32_t qbx_surface_unlock(qbx_surface* surface);
uint32_t qbx_surface_rect(qbx_surface* surface, uint32_t x, uint32_t y, uint32_t w, uint32_t h);
// Selects page and bank; null (nothing changed) when switching is refused or out of range.
uint8_t* qbx_surface_setbank(qbx_surface* surface, uint32_t page, uint32_t bank);
// Not implemented: both return 1 and do nothing.
uint32_t qbx_surface_blt(qbx_surface* destination, qbx_surface* source, uint32_t flags);
uint32_t qbx_surface_delete(qbx_surface* surface);
