// random.cpp — the one global random generator: the minimal-standard
// multiplicative generator (modulus 2^31 − 1, multiplier 48271) stepped with
// Schrage's method so no product overflows 32 bits. Music patterns and the
// pause menu reseed it and rely on the exact sequence.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/core/core.h"
#include "platform/platform.h"

namespace {

constexpr int kInitialState = 4660;  // 0x1234
int g_state = kInitialState;         // always in 1 .. 2^31 − 2

int Step() {
    // 48271 × (s mod 44488) ≤ 2147480248 and 3399 × (s div 44488) < 2^31,
    // so the difference fits an int.
    int s = 48271 * (g_state % 44488) - 3399 * (g_state / 44488);
    if (s < 0) s += 2147483647;
    g_state = s;
    return s;
}

}  // namespace

namespace plat {
void ResetRandomState() { g_state = kInitialState; }
}  // namespace plat

void SeedRnd(int seed) {
    const int s = seed & 0x7fffffff;
    g_state = (s == 0 || seed == -1) ? kInitialState : s;
}

int RndSeed() { return g_state; }

double RndDouble() {
    const int s1 = Step();
    const int s2 = Step();
    return ((s1 & 0x1ffffffc) + (s2 & 0x1ffffff8) / 134217728.0) / 536870912.0;
}

double Rnd(double a, double b) { return std::min(a, b) + RndDouble() * std::fabs(b - a); }

int Rand(int a, int b) {
    // Widened so that extreme bounds cannot overflow the span.
    const int64_t d = static_cast<int64_t>(b) - a;
    if (d > 0) return static_cast<int>(a + static_cast<int64_t>(RndDouble() * double(d + 1)));
    return static_cast<int>(b + static_cast<int64_t>(RndDouble() * double(1 - d)));
}
