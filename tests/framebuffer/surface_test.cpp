#include "framebuffer/surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

bool all_zero(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (p[i] != 0)
            return false;
    return true;
}

TEST(Surface, DemoBackSurfaceGeometry) {
    qbx_surface s;
    ASSERT_EQ(0u, s.create(320, 180, QBX_FORMAT_ARGB8888, 1, 0));
    EXPECT_EQ(32u, s.bpp);
    EXPECT_EQ(1280u, s.pitch);
    EXPECT_EQ(230400u, s.size);
    EXPECT_EQ(230400u, s.pagelen);
    EXPECT_EQ(1u, s.banks);
    EXPECT_EQ(1u, s.pages);
    EXPECT_EQ(0xFF0000u, s.r_mask);
    EXPECT_EQ(0xFF00u, s.g_mask);
    EXPECT_EQ(0xFFu, s.b_mask);
    EXPECT_EQ(0u, s.a_mask);
    EXPECT_EQ(0u, s.rect_x);
    EXPECT_EQ(0u, s.rect_y);
    EXPECT_EQ(320u, s.rect_width);
    EXPECT_EQ(180u, s.rect_height);
    EXPECT_EQ(nullptr, s.palette);
    EXPECT_EQ(0u, s.subcount);
    EXPECT_TRUE(all_zero(s.data, s.size));
}

TEST(Surface, WiderPitchIsHonoured) {
    qbx_surface s;
    ASSERT_EQ(0u, qbx_surface_create(&s, 320, 180, 2048, QBX_FORMAT_ARGB8888, 1, 0));
    EXPECT_EQ(2048u, s.pitch);
    EXPECT_EQ(368640u, s.size);
}

TEST(Surface, CreateRefusesBadArguments) {
    qbx_surface s;
    EXPECT_EQ(QBX_SURFACE_BAD_WIDTH, s.create(100, 10, QBX_FORMAT_ARGB8888, 1, 0));
    EXPECT_EQ(nullptr, s.data) << "nothing is allocated for a bad width";
    EXPECT_EQ(QBX_SURFACE_BAD_FORMAT, s.create(8, 8, 0, 1, 0));
    EXPECT_EQ(QBX_SURFACE_BAD_FORMAT, s.create(8, 8, 19, 1, 0));
    EXPECT_EQ(QBX_SURFACE_BAD_FORMAT, qbx_surface_create(&s, 16, 8, 63, QBX_FORMAT_ARGB8888, 1, 0))
        << "a pitch below one line of pixels";
    EXPECT_EQ(nullptr, s.data);
}

TEST(Surface, SizesThatDoNotFitTheSizeFieldGetNoMemory) {
    qbx_surface s;
    EXPECT_EQ(QBX_SURFACE_NO_MEMORY, s.create(65536, 65536, QBX_FORMAT_ARGB8888, 1, 0));
    EXPECT_EQ(nullptr, s.data);
}

TEST(Surface, RequestedFormatSizes) {
    const uint32_t expected[] = {0x4002, 1, 1, 1, 2, 2, 2, 2, 2, 3,
                                 3,      4, 4, 4, 4, 1, 2, 4, 1, 0x4002};
    for (uint32_t code = 0; code < 20; ++code)
        EXPECT_EQ(expected[code], qbx_surface::getRequestedFormat(code)) << "format " << code;
}

TEST(Surface, FormatMasks) {
    struct {
        uint32_t format, bpp, r, g, b, a;
    } cases[] = {
        {3, 8, 0xE0, 0x1C, 0x03, 0},          {5, 16, 0xF00, 0xF0, 0x0F, 0xF000},
        {7, 16, 0x7C00, 0x3E0, 0x1F, 0x8000}, {8, 16, 0xF800, 0x7E0, 0x1F, 0},
        {10, 24, 0xFF, 0xFF00, 0xFF0000, 0},  {14, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000},
        {17, 32, 0, 0, 0, 0xFFFFFFFF},        {18, 8, 0, 0, 0, 0xFF},
    };
    for (const auto& c : cases) {
        qbx_surface s;
        ASSERT_EQ(0u, s.create(8, 2, c.format, 1, 0)) << c.format;
        EXPECT_EQ(c.bpp, s.bpp) << c.format;
        EXPECT_EQ(c.r, s.r_mask) << c.format;
        EXPECT_EQ(c.g, s.g_mask) << c.format;
        EXPECT_EQ(c.b, s.b_mask) << c.format;
        EXPECT_EQ(c.a, s.a_mask) << c.format;
    }
}

TEST(Surface, IndexedFormatGetsAPaletteWithoutTheOwnershipFlag) {
    qbx_surface s;
    ASSERT_EQ(0u, s.create(8, 8, QBX_FORMAT_INDEX8, 1, 0));
    ASSERT_NE(nullptr, s.palette);
    EXPECT_EQ(256u, s.palette->count);
    EXPECT_EQ(32u, s.palette->entrybits);
    EXPECT_EQ(0xFF0000u, s.palette->r_mask);
    EXPECT_EQ(0u, s.flags & QBX_SURF_OWNS_PALETTE);
    qbx_surface plain;
    ASSERT_EQ(0u, plain.create(8, 8, QBX_FORMAT_GRAY8, 1, 0));
    EXPECT_EQ(nullptr, plain.palette);
}

TEST(Surface, AttachWithUnknownFormatSetsTheRestFirst) {
    std::vector<uint8_t> memory(64);
    qbx_surface s;
    s.data = memory.data();
    EXPECT_EQ(QBX_SURFACE_BAD_FORMAT, s.attach(8, 2, 32, 99, QBX_SURF_FOREIGN, 1, 64));
    EXPECT_EQ(8u, s.width);
    EXPECT_EQ(32u, s.pitch);
    EXPECT_EQ(64u, s.pagelen);
    EXPECT_EQ(8u, s.rect_width);
}

TEST(Surface, LockRectPointsAtTheRectangle) {
    qbx_surface s;
    ASSERT_EQ(0u, s.create(64, 16, QBX_FORMAT_ARGB8888, 1, 0));
    s.rect(8, 2, 16, 4);
    uint8_t* p = qbx_surface_lockrect(&s);
    EXPECT_EQ(s.data + 2 * s.pitch + 8 * 4, p);
    EXPECT_TRUE(s.flags & QBX_SURF_LOCKED);
    EXPECT_EQ(0u, qbx_surface_unlock(&s));
    EXPECT_FALSE(s.flags & QBX_SURF_LOCKED);
}

TEST(Surface, SetBankChecksPagesBanksAndFlags) {
    qbx_surface one;
    ASSERT_EQ(0u, one.create(8, 4, QBX_FORMAT_ARGB8888, 1, 0));
    EXPECT_EQ(nullptr, qbx_surface_setbank(&one, 1, 0));
    EXPECT_EQ(0u, one.page);
    EXPECT_EQ(nullptr, qbx_surface_setbank(&one, 0, 1));

    qbx_surface two;
    ASSERT_EQ(0u, two.create(8, 4, QBX_FORMAT_ARGB8888, 2, 0));
    EXPECT_EQ(two.data + two.pagelen, qbx_surface_setbank(&two, 1, 0));
    EXPECT_EQ(1u, two.page);
    EXPECT_EQ(two.data + two.pagelen, two.lock()) << "lock follows the current page";

    two.flags |= 0x1;
    EXPECT_EQ(nullptr, qbx_surface_setbank(&two, 0, 0));
    EXPECT_EQ(1u, two.page);
}

// Every page of a several-page surface lies inside its memory: writing all of each page through
// setbank and lock stays inside the allocation (the sanitizer build reports any byte beyond).
TEST(Surface, EveryPageLiesInsideTheMemory) {
    qbx_surface s;
    ASSERT_EQ(0u, s.create(16, 4, 0, QBX_FORMAT_ARGB8888, 3, 0, 0, nullptr, nullptr));
    EXPECT_EQ(16u * 4 * 4, s.pagelen);
    EXPECT_EQ(3 * s.pagelen, s.size);
    for (uint32_t page = 0; page < 3; ++page) {
        uint8_t* p = qbx_surface_setbank(&s, page, 0);
        ASSERT_EQ(s.data + page * s.pagelen, p);
        ASSERT_EQ(p, s.lock());
        std::fill_n(p, s.pitch * s.height, uint8_t(page + 1));
        s.unlock();
    }
    EXPECT_EQ(1, s.data[0]);
    EXPECT_EQ(3, s.data[s.size - 1]);
    qbx_surface one;
    ASSERT_EQ(0u, one.create(8, 4, QBX_FORMAT_ARGB8888, 1, 0));
    EXPECT_EQ(one.size, one.pagelen);
}

class CountingAllocator : public MemoryAllocator {
  public:
    void* allocate(size_t size, uint32_t hint) override {
        ++allocations;
        last_hint = hint;
        blocks.emplace_back(size + 1, 0xAB);
        return blocks.back().data();
    }
    void release(void* memory) override {
        ++releases;
        last_released = memory;
    }
    int allocations = 0, releases = 0;
    uint32_t last_hint = 0;
    void* last_released = nullptr;
    std::vector<std::vector<uint8_t>> blocks;
};

TEST(Surface, AllocatorSuppliesAndReceivesTheMemory) {
    CountingAllocator allocator;
    {
        qbx_surface s;
        ASSERT_EQ(0u, s.create(16, 4, 0, QBX_FORMAT_ARGB8888, 1, QBX_SURF_ALLOCATOR, 77, &allocator,
                               nullptr));
        EXPECT_EQ(1, allocator.allocations);
        EXPECT_EQ(77u, allocator.last_hint);
        EXPECT_EQ(&allocator, s.allocator);
        EXPECT_TRUE(all_zero(s.data, s.size)) << "create clears the allocator's memory";
        EXPECT_EQ(0xAB, s.data[s.size]) << "and nothing past it";
    }
    EXPECT_EQ(1, allocator.releases);
}

TEST(Surface, AllocatorIsIgnoredWithoutItsFlag) {
    CountingAllocator allocator;
    qbx_surface s;
    ASSERT_EQ(0u, s.create(16, 4, 0, QBX_FORMAT_ARGB8888, 1, 0, 0, &allocator, nullptr));
    EXPECT_EQ(0, allocator.allocations);
    EXPECT_EQ(nullptr, s.allocator);
}

TEST(Surface, ForeignAndInsideParentMemoryIsNeverFreed) {
    CountingAllocator allocator;
    std::vector<uint8_t> memory(256);
    {
        qbx_surface foreign;
        foreign.data = memory.data();
        foreign.allocator = &allocator;
        ASSERT_EQ(0u, foreign.attach(8, 2, 32, QBX_FORMAT_ARGB8888,
                                     QBX_SURF_FOREIGN | QBX_SURF_ALLOCATOR, 1, 64));
        qbx_surface inside;
        inside.data = memory.data() + 64;
        inside.allocator = &allocator;
        ASSERT_EQ(0u, inside.attach(8, 2, 32, QBX_FORMAT_ARGB8888,
                                    QBX_SURF_INSIDE_PARENT | QBX_SURF_ALLOCATOR, 1, 64));
    }
    EXPECT_EQ(0, allocator.releases); // and the heap free would have crashed on vector memory
}

TEST(Surface, SubSurfacesFitRightOfThePictureOrGetTheirOwnMemory) {
    qbx_surface_request requests[] = {
        {16, 8, 0, QBX_FORMAT_ARGB8888, 0}, // 64 bytes: fits the 128 spare bytes
        {8, 4, 0, QBX_FORMAT_GRAY8, 0},     // 8 bytes: fits too, at the same offset
        {64, 8, 0, QBX_FORMAT_ARGB8888, 0}, // 256 bytes: too wide
        {8, 40, 0, QBX_FORMAT_ARGB8888, 0}, // taller than the parent
        {0, 0, 0, 0, 0},
    };
    qbx_surface parent;
    ASSERT_EQ(0u, parent.create(32, 16, 256, QBX_FORMAT_ARGB8888, 1, QBX_SURF_SUBSURFACES, 0,
                                nullptr, requests));
    ASSERT_EQ(4u, parent.subcount);
    EXPECT_EQ(64u, requests[0].pitch) << "create fills in a zero pitch";
    EXPECT_EQ(8u, requests[1].pitch);

    qbx_surface* first = parent.subsurfaces[0];
    EXPECT_EQ(parent.data + 128, first->data);
    EXPECT_EQ(256u, first->pitch);
    EXPECT_EQ(QBX_SURF_INSIDE_PARENT, first->flags);
    EXPECT_EQ(64u * 8, first->size);
    EXPECT_EQ(parent.data + 128, parent.subsurfaces[1]->data);
    EXPECT_EQ(8u, parent.subsurfaces[1]->bpp);

    for (int i : {2, 3}) {
        qbx_surface* own = parent.subsurfaces[i];
        EXPECT_FALSE(own->data >= parent.data && own->data < parent.data + parent.size) << i;
        EXPECT_EQ(0u, own->flags & QBX_SURF_INSIDE_PARENT) << i;
    }
    EXPECT_EQ(256u, parent.subsurfaces[2]->pitch);
}

TEST(Surface, SubSurfaceErrorsEndCreate) {
    qbx_surface_request requests[] = {{12, 8, 0, QBX_FORMAT_ARGB8888, 0}, {0, 0, 0, 0, 0}};
    qbx_surface parent;
    EXPECT_EQ(QBX_SURFACE_BAD_WIDTH, parent.create(16, 4, 0, QBX_FORMAT_ARGB8888, 1,
                                                   QBX_SURF_SUBSURFACES, 0, nullptr, requests));
    qbx_surface_request bad_format[] = {{8, 8, 0, 42, 0}, {0, 0, 0, 0, 0}};
    qbx_surface other;
    EXPECT_EQ(QBX_SURFACE_BAD_FORMAT, other.create(16, 4, 0, QBX_FORMAT_ARGB8888, 1,
                                                   QBX_SURF_SUBSURFACES, 0, nullptr, bad_format));
}

TEST(Surface, NotImplementedOperationsSayOne) {
    qbx_surface a, b;
    EXPECT_EQ(1u, qbx_surface_blt(&a, &b, 0));
    EXPECT_EQ(1u, qbx_surface_delete(&a));
}

TEST(Palette, Constructors) {
    qbx_palette empty;
    EXPECT_EQ(nullptr, empty.data);
    qbx_palette p(16, 32);
    ASSERT_NE(nullptr, p.data);
    EXPECT_EQ(16u, p.count);
    for (uint32_t i = 0; i < 16; ++i)
        EXPECT_EQ(0u, p.data[i]);
    EXPECT_EQ(0xFFu, p.b_mask);
    qbx_palette q(4, 32, 0xFF, 0xFF00, 0xFF0000);
    EXPECT_EQ(0xFFu, q.r_mask);
    EXPECT_EQ(0xFF0000u, q.b_mask);
}

TEST(Palette, SurfaceOwnsItWithTheFlag) {
    auto* s = new qbx_surface;
    ASSERT_EQ(0u, s->create(8, 8, QBX_FORMAT_GRAY8, 1, QBX_SURF_OWNS_PALETTE));
    s->palette = new qbx_palette(256, 32);
    delete s; // the sanitizer build reports a leak if the palette stayed behind
}

} // namespace

namespace {

TEST(Surface, ADescriptionCopyOwnsNothing) {
    auto* owner = new qbx_surface_backbuffer;
    ASSERT_EQ(0u, owner->create(16, 4, QBX_FORMAT_INDEX8, 1, 0));
    {
        qbx_surface_backbuffer copy(*owner);
        EXPECT_EQ(owner->data, copy.data);
        EXPECT_EQ(owner->palette, copy.palette);
        EXPECT_TRUE(copy.flags & QBX_SURF_FOREIGN);
    } // the copy frees nothing: the sanitizer build catches a double free below
    owner->data[0] = 1;
    delete owner;
}

} // namespace
