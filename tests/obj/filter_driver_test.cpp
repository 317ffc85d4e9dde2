#include "obj/filter.h"

#include <gtest/gtest.h>

#include <vector>

#include "filter_test_util.h"

namespace {

using filter_test::guarded;

struct call {
    const uint8_t* dst;
    const uint8_t* src;
    const uint8_t* third;
    int32_t n, index;
    size_t bytes;
    uintptr_t p0, p1, p2;
    const uint8_t* src_begin;
    const uint8_t* src_end;
};

std::vector<call> calls;

fparm end_of_chain() {
    return {nullptr, 0, 0, 0, 0, 0, 0, 0};
}

void record(const flt_line& l) {
    calls.push_back(
        {l.dst, l.src, l.third, l.n, l.index(), l.bytes, l.p0, l.p1, l.p2, l.src_begin, l.src_end});
}

// Writes the remaining-line count into the first byte of the destination line.
void mark(const flt_line& l) {
    l.dst[0] = static_cast<uint8_t>(l.n);
}

TEST(FilterDriver, StepsSeeTheirSlotsParametersAndLineState) {
    calls.clear();
    guarded a(64), b(64), c(64);
    flt_buf slots[] = {
        {a.data(), 8}, {b.data(), 0}, {c.data(), -4, c.data(), c.end()}, {nullptr, 0}};
    const fparm chain[] = {{record, 0, 2, 1, 11, 22, 33, 5}, {nullptr, 0, 0, 0, 0, 0, 0, 0}};
    ASSERT_TRUE(filter(chain, slots, 3));
    ASSERT_EQ(3u, calls.size());
    for (int k = 0; k < 3; ++k) {
        const call& got = calls[k];
        EXPECT_EQ(a.data() + 8 * k, got.dst);
        EXPECT_EQ(c.data() - 4 * k, got.src);
        EXPECT_EQ(b.data(), got.third);
        EXPECT_EQ(3 - k, got.n);
        EXPECT_EQ(k, got.index);
        EXPECT_EQ(20u, got.bytes);
        EXPECT_EQ(11u, got.p0);
        EXPECT_EQ(22u, got.p1);
        EXPECT_EQ(33u, got.p2);
        EXPECT_EQ(c.data(), got.src_begin); // the slot's own span
        EXPECT_EQ(c.end(), got.src_end);
    }
    EXPECT_EQ(a.data() + 24, slots[0].ptr);
    EXPECT_EQ(b.data(), slots[1].ptr);
    EXPECT_EQ(c.data() - 12, slots[2].ptr);
}

TEST(FilterDriver, WithoutSpanTheSourceLineIsTheSpan) {
    calls.clear();
    guarded a(64);
    flt_buf slots[] = {{a.data(), 4}, {nullptr, 0}};
    const fparm chain[] = {{record, 0, 0, 0, 0, 0, 0, 3}, {nullptr, 0, 0, 0, 0, 0, 0, 0}};
    ASSERT_TRUE(filter(chain, slots, 2));
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ(a.data() + 4, calls[1].src_begin);
    EXPECT_EQ(a.data() + 16, calls[1].src_end);
}

TEST(FilterDriver, EvenLinesOnlyStepsSkipOddRemainingCounts) {
    for (int count : {5, 6}) {
        calls.clear();
        guarded a(64);
        flt_buf slots[] = {{a.data(), 0}, {nullptr, 0}};
        const fparm chain[] = {{record, 0 | EVEN_LINES_ONLY, 0, 0, 0, 0, 0, 1},
                               {nullptr, 0, 0, 0, 0, 0, 0, 0}};
        ASSERT_TRUE(filter(chain, slots, count));
        std::vector<int> seen;
        for (const call& c : calls)
            seen.push_back(c.n);
        EXPECT_EQ(count == 6 ? std::vector<int>({6, 4, 2}) : std::vector<int>({4, 2}), seen)
            << "count " << count;
    }
}

TEST(FilterDriver, LaterStepsSeeWhatEarlierStepsWrote) {
    guarded lines(4 * 8), scratch(8);
    flt_buf slots[] = {{lines.data(), 8}, {scratch.data(), 0}, {nullptr, 0}};
    // mark the scratch line, then add it onto the image line with the add kernel
    const fparm chain[] = {{mark, 1, 1, 1, 0, 0, 0, 2},
                           {flt_add, 0, 1, 0, 0x01000000, 0, 0, 2},
                           {nullptr, 0, 0, 0, 0, 0, 0, 0}};
    ASSERT_TRUE(filter(chain, slots, 4));
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(4 - k, lines.data()[8 * k]) << "line " << k;
    EXPECT_EQ(0x01u, lines.data()[3]);
    EXPECT_TRUE(lines.guards_intact());
}

TEST(FilterDriver, EmptyChainOnlyAdvancesTheSlots) {
    guarded a(256, 7), b(256, 9);
    flt_buf slots[] = {{a.data(), 16}, {b.data(), -2}, {nullptr, 0}};
    const fparm chain[] = {{nullptr, 0, 0, 0, 0, 0, 0, 0}};
    ASSERT_TRUE(filter(chain, slots, 7));
    EXPECT_EQ(a.data() + 112, slots[0].ptr);
    EXPECT_EQ(b.data() - 14, slots[1].ptr);
    for (size_t k = 0; k < 256; ++k)
        ASSERT_TRUE(a.data()[k] == 7 && b.data()[k] == 9);
    EXPECT_TRUE(a.guards_intact() && b.guards_intact());
}

TEST(FilterDriver, NoLinesRunNothing) {
    calls.clear();
    guarded a(16);
    flt_buf slots[] = {{a.data(), 4}, {nullptr, 0}};
    const fparm chain[] = {{record, 0, 0, 0, 0, 0, 0, 1}, {nullptr, 0, 0, 0, 0, 0, 0, 0}};
    for (int count : {0, -3})
        ASSERT_TRUE(filter(chain, slots, count));
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(a.data(), slots[0].ptr);
}

TEST(FilterDriver, NullChainOrSlotsAreRefused) {
    guarded a(16);
    flt_buf slots[] = {{a.data(), 4}, {nullptr, 0}};
    const fparm chain[] = {end_of_chain()};
    EXPECT_FALSE(filter(nullptr, slots, 2));
    EXPECT_FALSE(filter(chain, nullptr, 2));
    EXPECT_EQ(a.data(), slots[0].ptr);
}

TEST(FilterDriver, StepNamingAMissingSlotRunsNothing) {
    guarded a(16);
    for (const fparm bad : {fparm{record, 1, 0, 0, 0, 0, 0, 1}, fparm{record, 0, 1, 0, 0, 0, 0, 1},
                            fparm{record, 0, 0, 5, 0, 0, 0, 1},
                            fparm{record, 1 | EVEN_LINES_ONLY, 0, 0, 0, 0, 0, 1}}) {
        calls.clear();
        flt_buf slots[] = {{a.data(), 4}, {nullptr, 0}};
        const fparm chain[] = {{record, 0, 0, 0, 0, 0, 0, 1}, bad, {nullptr, 0, 0, 0, 0, 0, 0, 0}};
        EXPECT_FALSE(filter(chain, slots, 3));
        EXPECT_TRUE(calls.empty());
        EXPECT_EQ(a.data(), slots[0].ptr);
    }
}

} // namespace
