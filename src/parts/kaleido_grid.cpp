// The kaleidoscope's grid nodes, in extended precision and fast.
#include "parts/kaleido_grid.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <numbers>

#include "platform/simd.h"

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

// Two doubles in one register: the fast path works on two nodes at a time (unless the SIMD paths
// are switched off). The arithmetic is the same IEEE arithmetic as on single doubles, lane by
// lane.
using v2d = double __attribute__((vector_size(16)));
using v2u = uint64_t __attribute__((vector_size(16)));

double magnitude(double x) {
    return std::fabs(x);
}
v2d magnitude(v2d x) {
    return reinterpret_cast<v2d>(reinterpret_cast<v2u>(x) & ~(v2u{} + (uint64_t(1) << 63)));
}
// The smaller and the larger of a and b; b when either is NaN.
template <typename D>
D smaller(D a, D b) {
    return a < b ? a : b;
}
template <typename D>
D larger(D a, D b) {
    return a > b ? a : b;
}

// x rounded to the nearest integer, ties to even, for |x| < 2^51: adding and taking away
// 1.5 x 2^52 leaves no fraction bits.
template <typename D>
D nearest(D x) {
    const D shifter = D{} + 0x1.8p52;
    return (x + shifter) - shifter;
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

// Table entry k (a whole number in 0 .. 35) of each lane.
double entry(const std::array<double, 36>& table, double k) {
    return table[static_cast<size_t>(k)];
}
v2d entry(const std::array<double, 36>& table, v2d k) {
    return v2d{entry(table, k[0]), entry(table, k[1])};
}

// 2^(n / 32) for a whole number n with |n| < 2^15: 2^(n mod 32 / 32) from the table, the rest
// through the exponent bits.
double power_of_two(const function_tables& t, double n) {
    const int64_t whole = static_cast<int64_t>(n);
    const double scale = std::bit_cast<double>(static_cast<uint64_t>((whole >> 5) + 1023) << 52);
    return t.power[whole & (exp_steps - 1)] * scale;
}
v2d power_of_two(const function_tables& t, v2d n) {
    return v2d{power_of_two(t, n[0]), power_of_two(t, n[1])};
}

// sin and cos of phi in [-1/16, largest_wedge_angle]: phi = k pi / 64 + d, |d| <= pi / 128.
// Outside that range the results are meaningless but harmless.
template <typename D>
void sin_cos_polynomial(const function_tables& t, D phi, D& sine, D& cosine) {
    // pi / 64 in two parts; k times the first is exact.
    constexpr double step_hi = 0x1.921fb544p-5, step_lo = 0x1.0b4611a626331p-39;
    const D k = smaller(larger(nearest(phi * (angle_steps / std::numbers::pi)), D{}), D{} + 35);
    const D d = (phi - k * step_hi) - k * step_lo, d2 = d * d;
    const D sin_d = d + d * d2 * (-1.0 / 6 + d2 * (1.0 / 120 - d2 * (1.0 / 5040)));
    const D cos_d = 1 + d2 * (-0.5 + d2 * (1.0 / 24 + d2 * (-1.0 / 720 + d2 * (1.0 / 40320))));
    const D table_sine = entry(t.sine, k), table_cosine = entry(t.cosine, k);
    sine = table_sine * cos_d + table_cosine * sin_d;
    cosine = table_cosine * cos_d - table_sine * sin_d;
}

// e^z for |z| <= exp_limit: z = n ln 2 / 32 + r with |r| <= ln 2 / 64, e^z = 2^(n/32) e^r. Other
// values of z are taken as the nearest limit.
template <typename D>
D exp_polynomial(const function_tables& t, D z) {
    // ln 2 / 32 in two parts; n times the first is exact.
    constexpr double step_hi = 0x1.62e42feep-6, step_lo = 0x1.a39ef35793c76p-38;
    z = smaller(larger(z, D{} - exp_limit), D{} + exp_limit);
    const D n = nearest(z * (exp_steps / std::numbers::ln2));
    const D r = (z - n * step_hi) - n * step_lo;
    const D e_r =
        1 +
        r * (1 + r * (0.5 + r * (1.0 / 6 + r * (1.0 / 24 + r * (1.0 / 120 + r * (1.0 / 720))))));
    return e_r * power_of_two(t, n);
}

// A single node takes the library's functions where the polynomials do not reach; a pair takes
// the polynomials alone, and its nodes that they do not serve are done again singly.
void sin_cos(const function_tables& t, double phi, double& sine, double& cosine) {
    if (phi <= largest_wedge_angle) {
        sin_cos_polynomial(t, phi, sine, cosine);
    } else {
        sine = std::sin(phi);
        cosine = std::cos(phi);
    }
}
void sin_cos(const function_tables& t, v2d phi, v2d& sine, v2d& cosine) {
    sin_cos_polynomial(t, phi, sine, cosine);
}
double exponential(const function_tables& t, double z) {
    return std::fabs(z) <= exp_limit ? exp_polynomial(t, z) : std::exp(z);
}
v2d exponential(const function_tables& t, v2d z) {
    return exp_polynomial(t, z);
}

// What every node of a frame shares, in double.
struct frame_in_double {
    double A, P, seg, half, inverse_seg, K, c, s, offX, offY;
    double angle_error;  // bound of the folded angle's error
    double power_error;  // bound of the power's relative error, besides 4 units per unit of z
    double offset_error; // bound of the rounding error that the displacement brings
    // The remainder by floor division is exact enough while the quotient stays far below 2^53.
    bool floor_fold;
};

// One or two nodes' coordinates in double, and a bound of their distance to the extended
// evaluation's. In double, each step's error is bounded from the magnitudes it works on: the
// folded angle's error from |theta| <= pi, |A| and SEG; the power's relative error from its
// exponent z = P ln r^2; the rotation's from |R| and the displacement. The bound is taken four
// times over.
template <typename D>
struct node_in_double {
    D U, V, error;
    D from_jump; // how far the folded angle is from the fold's jump (a multiple of SEG)
    D phi, z;    // the wedge angle and the power's exponent
};

// x mod SEG for x >= 0 by floor division, where floor_fold allows it.
template <typename D>
D floor_remainder(const frame_in_double& f, D x) {
    const D quotient = x * f.inverse_seg, whole = nearest(quotient);
    return x - (whole - (whole > quotient ? D{} + 1 : D{})) * f.seg;
}
double fold_remainder(const frame_in_double& f, double x) {
    return f.floor_fold ? floor_remainder(f, x) : std::fmod(x, f.seg);
}
v2d fold_remainder(const frame_in_double& f, v2d x) {
    return floor_remainder(f, x);
}

template <typename D>
node_in_double<D> evaluate(const frame_in_double& f, const function_tables& t, D theta, D log_r2) {
    node_in_double<D> n;
    const D x = magnitude(theta + f.A) + f.half;
    const D r = fold_remainder(f, x);
    n.from_jump = smaller(magnitude(r), magnitude(D{} + f.seg) - magnitude(r));
    n.phi = magnitude(r - f.half);
    D sine, cosine;
    sin_cos(t, n.phi, sine, cosine);
    n.z = f.P * log_r2;
    const D R = exponential(t, n.z) * f.K;
    const D X = R * cosine, Y = R * sine;
    n.U = X * f.c - Y * f.s + f.offX;
    n.V = X * f.s + Y * f.c + f.offY;
    n.error = 4 * (magnitude(R) * (f.angle_error + f.power_error + 4 * unit * magnitude(n.z)) +
                   f.offset_error);
    return n;
}

// x rounded to the nearest integer, when every value within `error` of it rounds the same way.
bool decided(double x, double error, int32_t& rounded) {
    if (!(std::fabs(x) < 0x1p50))
        return false;
    const double n = nearest(x);
    rounded = static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(n)));
    return 0.5 - std::fabs(x - n) > error;
}

frame_in_double in_double(const kaleido_frame& frame) {
    frame_in_double f;
    f.A = static_cast<double>(frame.A);
    f.P = static_cast<double>(frame.P);
    f.seg = frame.SEG;
    f.half = f.seg / 2;
    f.inverse_seg = 1 / f.seg;
    f.K = frame.K;
    f.c = frame.c;
    f.s = frame.s;
    f.offX = frame.offX;
    f.offY = frame.offY;
    f.angle_error = 8 * unit * (std::numbers::pi + std::fabs(f.A) + std::fabs(f.seg));
    f.power_error = 4 * unit * (std::fabs(f.P) + 1) + 8 * unit;
    f.offset_error = 8 * unit * std::max(std::fabs(f.offX), std::fabs(f.offY));
    f.floor_fold = f.seg > 0 && (std::numbers::pi + std::fabs(f.A) + f.half) / f.seg < 0x1p40;
    return f;
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

int kaleido_nodes(const kaleido_frame& frame, grid* nodes) {
    const node_geometry& g = geometry();
    const function_tables& t = tables();
    const frame_in_double f = in_double(frame);
    int extended = 0;
    auto single = [&](int n) {
        const node_in_double<double> d = evaluate(f, t, g.theta_d[n], g.log_r2[n]);
        int32_t u, v;
        if (d.from_jump > f.angle_error && decided(d.U, d.error, u) && decided(d.V, d.error, v)) {
            nodes[n].u = u;
            nodes[n].v = v;
        } else {
            node_extended(frame, g.theta[n], g.r2[n], nodes[n]);
            ++extended;
        }
    };
    static const bool in_pairs = simd_enabled();
    int n = 0;
    if (in_pairs && f.floor_fold) {
        const v2d shifter = v2d{} + 0x1.8p52;
        for (; n + 1 < kaleido_node_count; n += 2) {
            const node_in_double<v2d> d = evaluate(f, t, v2d{g.theta_d[n], g.theta_d[n + 1]},
                                                   v2d{g.log_r2[n], g.log_r2[n + 1]});
            // As decided() does, for both nodes at once; the low bits of x + 1.5 x 2^52 are x
            // rounded, in two's complement.
            const v2d U = d.U + shifter, V = d.V + shifter;
            const auto sure = (magnitude(d.U) < 0x1p50) & (magnitude(d.V) < 0x1p50) &
                              (0.5 - magnitude(d.U - (U - shifter)) > d.error) &
                              (0.5 - magnitude(d.V - (V - shifter)) > d.error) &
                              (d.from_jump > f.angle_error) & (d.phi <= largest_wedge_angle) &
                              (magnitude(d.z) <= exp_limit);
            for (int lane = 0; lane < 2; ++lane) {
                if (sure[lane]) {
                    nodes[n + lane].u = static_cast<int32_t>(reinterpret_cast<v2u>(U)[lane]);
                    nodes[n + lane].v = static_cast<int32_t>(reinterpret_cast<v2u>(V)[lane]);
                } else {
                    single(n + lane);
                }
            }
        }
    }
    for (; n < kaleido_node_count; ++n)
        single(n);
    return extended;
}
