#include "parts/kaleido_grid.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace {

// Track settings as an editor would make them, with a share of plain round values and of values
// far outside the usual ranges.
class random_settings {
  public:
    explicit random_settings(uint32_t seed) : rng(seed) {}

    kaleido_tracks tracks() {
        const bool integral_subdiv = chance(0.5);
        const double subdiv = value(0, 16);
        return {value(-3, 3),
                value(-3, 3),
                value(-5, 5),
                chance(0.1) ? value(-1e4, 1e4) : value(-4, 4),
                value(-1, 4),
                chance(0.1) ? value(-1e3, 1e3) : value(-4, 8),
                integral_subdiv ? std::round(subdiv) : subdiv,
                value(-64, 64),
                value(-4, 4),
                value(-64, 64),
                value(-64, 64),
                value(-4, 4),
                value(-64, 64)};
    }
    float time() { return static_cast<float>(value(0, 400)); }

  private:
    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng) < p; }
    double value(double lo, double hi) {
        static const double round_values[] = {0, 1, -1, 0.5, 2, 0.25, 4};
        if (chance(0.2))
            return round_values[rng() % std::size(round_values)];
        const double x = std::uniform_real_distribution<double>(lo, hi)(rng);
        return chance(0.5) ? static_cast<float>(x) : x; // key values, or between keys
    }
    std::mt19937 rng;
};

// KALEIDO_PROOF_SETTINGS sets how many settings are compared (the full proof runs 10000 or more).
int settings_count() {
    const char* text = std::getenv("KALEIDO_PROOF_SETTINGS");
    return text ? std::atoi(text) : 150;
}

kaleido_tracks plain_tracks() {
    kaleido_tracks k{};
    k.scale = 1;
    k.pow = 1;
    k.subdiv = 3;
    return k;
}

// The screen position of node n, as the grid steps to it.
void position(int n, float& u, float& v) {
    v = -0.1375f;
    for (int j = 0; j < n / kaleido_columns; ++j)
        v += 0.0125f;
    u = -0.25f;
    for (int i = 0; i < n % kaleido_columns; ++i)
        u += 0.0125f;
}

} // namespace

TEST(KaleidoGrid, FastNodesEqualTheExtendedEvaluation) {
    const uint32_t seed = test_support::test_seed();
    random_settings settings(seed);
    const int count = settings_count();
    std::vector<grid> fast(kaleido_node_count), extended(kaleido_node_count);
    long compared = 0, reevaluated = 0;
    for (int k = 0; k < count; ++k) {
        const kaleido_frame frame = kaleido_frame_at(settings.tracks(), settings.time());
        reevaluated += kaleido_nodes(frame, fast.data());
        kaleido_nodes_extended(frame, extended.data());
        for (int n = 0; n < kaleido_node_count; ++n, ++compared) {
            ASSERT_EQ(extended[n].u, fast[n].u)
                << "seed " << seed << " setting " << k << " node " << n;
            ASSERT_EQ(extended[n].v, fast[n].v)
                << "seed " << seed << " setting " << k << " node " << n;
        }
    }
    std::printf("%d settings, %ld nodes compared, %ld evaluated in extended precision\n", count,
                compared, reevaluated);
}

// With no fold beyond the mirror at angle 0 (subdiv 0), no rotation and the radius as it is
// (pow 1), a node at screen position (u, v) lands at K (v, |u|) plus the displacement.
TEST(KaleidoGrid, SubdivZeroOnlyMirrorsAtAngleZero) {
    kaleido_tracks k = plain_tracks();
    k.subdiv = 0;
    k.scale = 2;
    k.dispConstX = 3;
    k.dispConstY = -1;
    std::vector<grid> nodes(kaleido_node_count);
    kaleido_nodes(kaleido_frame_at(k, 0), nodes.data());
    for (int n = 0; n < kaleido_node_count; ++n) {
        float u, v;
        position(n, u, v);
        EXPECT_NEAR(2 * 65536.0 * v + 3 * 256, nodes[n].u, 1) << n;
        EXPECT_NEAR(2 * 65536.0 * std::fabs(u) - 256, nodes[n].v, 1) << n;
    }
}

TEST(KaleidoGrid, PowZeroPutsEveryNodeOnACircle) {
    kaleido_tracks k = plain_tracks();
    k.pow = 0;
    k.rotConstVel = 0.7;
    k.dispConstX = 10;
    std::vector<grid> nodes(kaleido_node_count);
    kaleido_nodes(kaleido_frame_at(k, 1.5f), nodes.data());
    for (const grid& node : nodes)
        EXPECT_NEAR(65536.0, std::hypot(node.u - 2560.0, double(node.v)), 1.5);
}

// Scale 0 puts every node on the displacement, rounded to the nearest integer, ties to even.
TEST(KaleidoGrid, ScaleZeroPutsEveryNodeOnTheDisplacement) {
    const struct {
        double constX, constY;
        int32_t u, v;
    } cases[] = {{1.5, -2, 384, -512}, {1.0 / 512, 3.0 / 512, 0, 2}, {-5.0 / 512, 0.1, -2, 26}};
    for (const auto& c : cases) {
        kaleido_tracks k = plain_tracks();
        k.scale = 0;
        k.dispConstX = c.constX;
        k.dispConstY = c.constY;
        std::vector<grid> nodes(kaleido_node_count);
        kaleido_nodes(kaleido_frame_at(k, 2), nodes.data());
        for (const grid& node : nodes) {
            ASSERT_EQ(c.u, node.u) << c.constX;
            ASSERT_EQ(c.v, node.v) << c.constY;
        }
    }
}

// The node nearest the centre is not exactly at the centre (the steps are rounded to single
// precision), so even a negative power stays finite there.
TEST(KaleidoGrid, NegativePowersStayFiniteNearTheCentre) {
    float u, v;
    position(11 * kaleido_columns + 20, u, v);
    EXPECT_NE(0.0f, u);
    EXPECT_NE(0.0f, v);
    kaleido_tracks k = plain_tracks();
    k.pow = -0.5;
    k.scale = 1.0 / 4096;
    std::vector<grid> fast(kaleido_node_count), extended(kaleido_node_count);
    const kaleido_frame frame = kaleido_frame_at(k, 0);
    kaleido_nodes(frame, fast.data());
    kaleido_nodes_extended(frame, extended.data());
    for (int n = 0; n < kaleido_node_count; ++n) {
        ASSERT_EQ(extended[n].u, fast[n].u) << n;
        ASSERT_EQ(extended[n].v, fast[n].v) << n;
    }
    // r^-1/2 at the centre node, 16 units per unit of radius: far out, yet an ordinary number.
    const int centre = 11 * kaleido_columns + 20;
    EXPECT_GT(std::hypot(double(fast[centre].u), double(fast[centre].v)), 1000.0);
}
