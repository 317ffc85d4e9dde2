// The kaleidoscope's grid nodes, in extended precision and fast.
#include "parts/kaleido_grid.h"

#include <algorithm>
#include <array>
#include <bit>
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

// x rounded to the nearest integer, ties to even, for |x| < 2^51: adding and taking away
// 1.5 x 2^52 leaves no fraction bits.
double nearest(double x) {
    constexpr double shifter = 0x1.8p52;
    return (x + shifter) - shifter;
}

// x rounded to the nearest integer, when every value within `error` of it rounds the same way.
bool decided(double x, double error, int32_t& rounded) {
    if (!(std::fabs(x) < 0x1p50))
        return false;
    const double n = nearest(x);
    rounded = static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(n)));
    return 0.5 - std::fabs(x - n) > error;
}

// Short polynomials around table points, for the two functions every node needs. The tables
// hold exact values rounded once; each result is within 4 units of the last place.
constexpr int angle_steps = 64; // table points pi/64 apart
constexpr int exp_steps = 32;   // table points ln 2 / 32 apart
constexpr double largest_wedge_angle = std::numbers::pi / 2 + 1.0 / 16;
constexpr double exp_limit = 700; // e^z stays a normal number

struct function_tables {
    std::array<double, 36> sine, cosine; // at k pi / 64
    std::array<double, exp_steps> power; // 2^(j / 32)
};

const function_tables& tables() {
    static const function_tables t = [] {
        function_tables made;
        for (size_t k = 0; k < made.sine.size(); ++k) {
            const long double angle = k * std::numbers::pi_v<long double> / angle_steps;
            made.sine[k] = static_cast<double>(std::sin(angle));
            made.cosine[k] = static_cast<double>(std::cos(angle));
        }
        for (int j = 0; j < exp_steps; ++j)
            made.power[j] = static_cast<double>(std::exp2(static_cast<long double>(j) / exp_steps));
        return made;
    }();
    return t;
}

// sin and cos of phi in [-1/16, largest_wedge_angle]: phi = k pi / 64 + d, |d| <= pi / 128.
void wedge_sin_cos(const function_tables& t, double phi, double& sine, double& cosine) {
    // pi / 64 in two parts; k times the first is exact.
    constexpr double step_hi = 0x1.921fb544p-5, step_lo = 0x1.0b4611a626331p-39;
    const double k = std::max(0.0, nearest(phi * (angle_steps / std::numbers::pi)));
    const double d = (phi - k * step_hi) - k * step_lo, d2 = d * d;
    const double sin_d = d + d * d2 * (-1.0 / 6 + d2 * (1.0 / 120 - d2 * (1.0 / 5040)));
    const double cos_d = 1 + d2 * (-0.5 + d2 * (1.0 / 24 + d2 * (-1.0 / 720 + d2 * (1.0 / 40320))));
    const size_t i = static_cast<size_t>(k);
    sine = t.sine[i] * cos_d + t.cosine[i] * sin_d;
    cosine = t.cosine[i] * cos_d - t.sine[i] * sin_d;
}

// e^z for |z| <= exp_limit: z = (32 m + j) ln 2 / 32 + r with |r| <= ln 2 / 64, e^z = 2^m 2^(j/32)
// e^r.
double exp_moderate(const function_tables& t, double z) {
    // ln 2 / 32 in two parts; n times the first is exact.
    constexpr double step_hi = 0x1.62e42feep-6, step_lo = 0x1.a39ef35793c76p-38;
    const double n = nearest(z * (exp_steps / std::numbers::ln2));
    const double r = (z - n * step_hi) - n * step_lo;
    const double e_r =
        1 +
        r * (1 + r * (0.5 + r * (1.0 / 6 + r * (1.0 / 24 + r * (1.0 / 120 + r * (1.0 / 720))))));
    const int64_t whole = static_cast<int64_t>(n);
    const double scale = std::bit_cast<double>(static_cast<uint64_t>((whole >> 5) + 1023) << 52);
    return t.power[whole & (exp_steps - 1)] * e_r * scale;
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
    const function_tables& t = tables();
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
        // x is not negative here, so truncation is the floor.
        const double r = floor_fold
                             ? x - static_cast<double>(static_cast<int64_t>(x * inverse_seg)) * seg
                             : std::fmod(x, seg);
        const double from_jump = std::min(std::fabs(r), std::fabs(seg) - std::fabs(r));
        const double phi = std::fabs(r - half);
        double sine, cosine;
        if (phi <= largest_wedge_angle) {
            wedge_sin_cos(t, phi, sine, cosine);
        } else {
            sine = std::sin(phi);
            cosine = std::cos(phi);
        }
        const double z = P * g.log_r2[n];
        const double R = (std::fabs(z) <= exp_limit ? exp_moderate(t, z) : std::exp(z)) * K;
        const double X = R * cosine, Y = R * sine;
        const double U = X * c - Y * s + offX, V = X * s + Y * c + offY;
        const double error =
            4 *
            (std::fabs(R) * (angle_error + power_error + 4 * unit * std::fabs(z)) + offset_error);
        int32_t u, v;
        if (from_jump > angle_error && decided(U, error, u) && decided(V, error, v)) {
            nodes[n].u = u;
            nodes[n].v = v;
        } else {
            node_extended(f, g.theta[n], g.r2[n], nodes[n]);
            ++extended;
        }
    }
    return extended;
}
