// The kaleidoscope's grid nodes, in extended precision and fast.
#include "parts/kaleido_grid.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace {

constexpr long double pi = std::numbers::pi_v<long double>;

// A node coordinate rounded to the nearest integer (ties to even) and wrapped to 32 bits: only
// its low bits address the wrapping texture. 0 for NaN, the infinities and magnitudes of 2^63 or
// more.
int32_t round_node(long double x) {
    if (!(std::fabs(x) < 0x1p63L))
        return 0;
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(std::llrint(x))));
}

// Everything about a node that does not depend on the tracks: the screen position (u, v), taken
// by repeated single-precision steps from the top left, its angle and squared radius.
struct node_geometry {
    std::array<long double, kaleido_node_count> theta, r2;
    std::array<double, kaleido_node_count> theta_d, log_r2;
};

template <typename Visit>
void for_each_position(Visit visit) {
    float v = -0.1375f;
    for (int j = 0; j < kaleido_rows; ++j, v += 0.0125f) {
        const float vv = v * v;
        float u = -0.25f;
        for (int i = 0; i < kaleido_columns; ++i, u += 0.0125f)
            visit(j * kaleido_columns + i, u, v, vv);
    }
}

const node_geometry& geometry() {
    static const node_geometry g = [] {
        node_geometry made;
        for_each_position([&made](int n, float u, float v, float vv) {
            made.theta[n] = std::atan2(static_cast<long double>(u), static_cast<long double>(v));
            made.r2[n] = static_cast<long double>(u) * u + vv;
            made.theta_d[n] = static_cast<double>(made.theta[n]);
            made.log_r2[n] = static_cast<double>(std::log(made.r2[n]));
        });
        return made;
    }();
    return g;
}

void node_extended(const kaleido_frame& f, long double theta, long double r2, grid& node) {
    const long double rho = std::pow(r2, f.P);
    const long double seg = f.SEG, half = seg / 2;
    // Mirrored at angle 0, folded into wedges of SEG and mirrored inside each wedge.
    const long double phi = std::fabs(std::fmod(std::fabs(theta + f.A) + half, seg) - half);
    const long double R = rho * f.K;
    const long double X = R * std::cos(phi), Y = R * std::sin(phi);
    node.u = round_node(X * f.c - Y * f.s + f.offX);
    node.v = round_node(X * f.s + Y * f.c + f.offY);
}

constexpr double unit = 0x1p-53; // the relative rounding error of double

// True when x rounds to the same integer as every value within `error` of it.
bool decided(double x, double error) {
    return std::fabs(x) < 0x1p50 && 0.5 - std::fabs(x - std::nearbyint(x)) > error;
}

int32_t round_decided(double x) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(std::nearbyint(x))));
}

} // namespace

kaleido_frame kaleido_frame_at(const kaleido_tracks& k, float time) {
    const long double t = time;
    const long double sin_vel = k.rotSinVel;
    const long double rot =
        k.rotConstVel * t + k.rotSinSwing * std::sin(sin_vel * t) * std::cos(sin_vel * 0.3 * t);
    kaleido_frame f;
    f.c = static_cast<float>(std::cos(rot));
    f.s = static_cast<float>(std::sin(rot));
    f.A = k.angle * pi;
    f.P = k.pow * 0.5L;
    f.K = static_cast<float>(k.scale * 65536.0L);
    f.SEG = static_cast<float>(pi / (k.subdiv + 0.00001L));
    f.offX = static_cast<float>(
        (k.dispConstX + std::cos(t * k.dispSpeedX) * static_cast<long double>(k.dispSwingX)) * 256);
    f.offY = static_cast<float>(
        (k.dispConstY + std::sin(t * k.dispSpeedY) * static_cast<long double>(k.dispSwingY)) * 256);
    return f;
}

void kaleido_nodes_extended(const kaleido_frame& frame, grid* nodes) {
    for_each_position([&](int n, float u, float v, float vv) {
        node_extended(frame, std::atan2(static_cast<long double>(u), static_cast<long double>(v)),
                      static_cast<long double>(u) * u + vv, nodes[n]);
    });
}

// In double, each step's error is bounded from the magnitudes it works on: the folded angle's
// error from |theta| <= pi, |A| and SEG; the power's relative error from its exponent
// z = P ln r2; the rotation's from |R| and the displacement. The bound is taken four times over.
// Where the fold jumps (a multiple of SEG) or a coordinate's rounding could go either way within
// the bound, the node is evaluated in extended precision instead.
int kaleido_nodes(const kaleido_frame& f, grid* nodes) {
    const node_geometry& g = geometry();
    const double A = static_cast<double>(f.A), P = static_cast<double>(f.P);
    const double seg = f.SEG, half = seg / 2, K = f.K, c = f.c, s = f.s;
    const double offX = f.offX, offY = f.offY;
    const double angle_error = 8 * unit * (std::numbers::pi + std::fabs(A) + std::fabs(seg));
    const double offset_error = 8 * unit * std::max(std::fabs(offX), std::fabs(offY));
    const double power_error = 4 * unit * (std::fabs(P) + 1) + 8 * unit;
    // The remainder by floor division is exact enough while the quotient stays far below 2^53.
    const bool floor_fold = seg > 0 && (std::numbers::pi + std::fabs(A) + half) / seg < 0x1p40;
    const double inverse_seg = 1 / seg;
    int extended = 0;
    for (int n = 0; n < kaleido_node_count; ++n) {
        const double x = std::fabs(g.theta_d[n] + A) + half;
        const double r = floor_fold ? x - std::floor(x * inverse_seg) * seg : std::fmod(x, seg);
        const double from_jump = std::min(std::fabs(r), std::fabs(seg) - std::fabs(r));
        const double phi = std::fabs(r - half);
        const double z = P * g.log_r2[n];
        const double R = std::exp(z) * K;
        const double X = R * std::cos(phi), Y = R * std::sin(phi);
        const double U = X * c - Y * s + offX, V = X * s + Y * c + offY;
        const double error =
            4 *
            (std::fabs(R) * (angle_error + power_error + 4 * unit * std::fabs(z)) + offset_error);
        if (from_jump > angle_error && decided(U, error) && decided(V, error)) {
            nodes[n].u = round_decided(U);
            nodes[n].v = round_decided(V);
        } else {
            node_extended(f, g.theta[n], g.r2[n], nodes[n]);
            ++extended;
        }
    }
    return extended;
}
