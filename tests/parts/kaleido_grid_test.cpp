#include "parts/kaleido_grid.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace {

// Track settings as an editor would make them: a share of round values, key values (floats) and
// values between keys (doubles), and now and then far outside the usual ranges.
kaleido_tracks random_tracks(std::mt19937& rng) {
    auto value = [&rng](double lo, double hi) {
        static const double round_values[] = {0, 1, -1, 0.5, 2, 0.25, 4};
        if (rng() % 5 == 0)
            return round_values[rng() % std::size(round_values)];
        const double x = std::uniform_real_distribution<double>(lo, hi)(rng);
        return rng() % 2 ? static_cast<float>(x) : x;
    };
    const bool wide = rng() % 10 == 0;
    const double subdiv = value(0, 16);
    return {value(-3, 3),
            value(-3, 3),
            value(-5, 5),
            wide ? value(-1e4, 1e4) : value(-4, 4),
            value(-1, 4),
            wide ? value(-1e3, 1e3) : value(-4, 8),
            rng() % 2 ? std::round(subdiv) : subdiv,
            value(-64, 64),
            value(-4, 4),
            value(-64, 64),
            value(-64, 64),
            value(-4, 4),
            value(-64, 64)};
}

// The proof runs KALEIDO_PROOF_SETTINGS settings (10000 or more); the test a few.
TEST(KaleidoGrid, FastNodesEqualTheExtendedEvaluation) {
    const uint32_t seed = test_support::test_seed();
    std::mt19937 rng(seed);
    const char* text = std::getenv("KALEIDO_PROOF_SETTINGS");
    const int count = text ? std::atoi(text) : 150;
    std::vector<grid> fast(kaleido_node_count), extended(kaleido_node_count);
    long compared = 0, reevaluated = 0;
    for (int k = 0; k < count; ++k) {
        const float time = std::uniform_real_distribution<float>(0, 400)(rng);
        const kaleido_frame frame = kaleido_frame_at(random_tracks(rng), time);
        reevaluated += kaleido_nodes(frame, fast.data());
        kaleido_nodes_extended(frame, extended.data());
        for (int n = 0; n < kaleido_node_count; ++n, ++compared)
            ASSERT_TRUE(fast[n].u == extended[n].u && fast[n].v == extended[n].v)
                << "seed " << seed << " setting " << k << " node " << n;
    }
    std::printf("%d settings, %ld nodes compared, %ld evaluated in extended precision\n", count,
                compared, reevaluated);
}

std::vector<grid> nodes_of(const kaleido_tracks& k, float time) {
    std::vector<grid> nodes(kaleido_node_count);
    kaleido_nodes(kaleido_frame_at(k, time), nodes.data());
    return nodes;
}

// The screen position of node n, stepped to as the grid steps.
void position(int n, float& u, float& v) {
    v = -0.1375f;
    for (int j = 0; j < n / kaleido_columns; ++j)
        v += 0.0125f;
    u = -0.25f;
    for (int i = 0; i < n % kaleido_columns; ++i)
        u += 0.0125f;
}

// With no fold beyond the mirror at angle 0 (subdiv 0), no rotation and the radius as it is
// (pow 1), a node at screen position (u, v) lands at K (v, |u|) plus the displacement.
TEST(KaleidoGrid, SubdivZeroOnlyMirrorsAtAngleZero) {
    const std::vector<grid> nodes = nodes_of({0, 0, 0, 0, 1, 2, 0, 3, 0, 0, -1, 0, 0}, 0);
    for (int n = 0; n < kaleido_node_count; ++n) {
        float u, v;
        position(n, u, v);
        EXPECT_NEAR(2 * 65536.0 * v + 3 * 256, nodes[n].u, 1) << n;
        EXPECT_NEAR(2 * 65536.0 * std::fabs(u) - 256, nodes[n].v, 1) << n;
    }
}

TEST(KaleidoGrid, PowZeroPutsEveryNodeOnACircle) {
    for (const grid& node : nodes_of({0.7, 0, 0, 0, 0, 1, 3, 10, 0, 0, 0, 0, 0}, 1.5f))
        EXPECT_NEAR(65536.0, std::hypot(node.u - 2560.0, double(node.v)), 1.5);
}

// Scale 0 puts every node on the displacement, rounded to the nearest integer, ties to even.
TEST(KaleidoGrid, ScaleZeroPutsEveryNodeOnTheDisplacement) {
    const struct {
        double constX, constY;
        int32_t u, v;
    } cases[] = {{1.5, -2, 384, -512}, {1.0 / 512, 3.0 / 512, 0, 2}, {-5.0 / 512, 0.1, -2, 26}};
    for (const auto& c : cases)
        for (const grid& node : nodes_of({0, 0, 0, 0, 1, 0, 3, c.constX, 0, 0, c.constY, 0, 0}, 2))
            ASSERT_TRUE(node.u == c.u && node.v == c.v) << c.constX << " " << c.constY;
}

// The node nearest the centre is not exactly at the centre (the steps are rounded to single
// precision), so even a negative power stays an ordinary number there.
TEST(KaleidoGrid, NegativePowersStayFiniteNearTheCentre) {
    const int centre = 11 * kaleido_columns + 20;
    float u, v;
    position(centre, u, v);
    EXPECT_TRUE(u != 0 && v != 0);
    const std::vector<grid> nodes =
        nodes_of({0, 0, 0, 0, -0.5, 1.0 / 4096, 3, 0, 0, 0, 0, 0, 0}, 0);
    EXPECT_GT(std::hypot(double(nodes[centre].u), double(nodes[centre].v)), 1000.0);
}

} // namespace
