// raster.cpp — exact convex polygon filling with the top-left rule.
//
// The polygon is the intersection of the half-planes of its edges, so a row's
// span is the intersection of each edge's bound on that row: edges going up
// the screen bound x from below, edges going down bound it from above. Each
// bound is an exact floor division, carried from row to row as quotient and
// remainder, so a row costs a few additions per edge and no division.
#include "platform/soft/raster.h"

#include <algorithm>

namespace plat::soft {
namespace {

// floor(a / b) for b > 0.
inline int64_t FloorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b) != 0 && a < 0) --q;
    return q;
}

// floor(a / b) and the remainder for b > 0 and |a| < 2^52, from the
// double quotient (off by at most 2 after truncation) and exact integer
// corrections: a 64-bit integer division costs tens of cycles, and every
// draw's edges take two per band they cross.
inline int64_t FloorDivRem(int64_t a, int64_t b, int64_t* rem) {
    int64_t q = static_cast<int64_t>(static_cast<double>(a) / static_cast<double>(b));
    int64_t r = a - q * b;
    while (r < 0) {
        --q;
        r += b;
    }
    while (r >= b) {
        ++q;
        r -= b;
    }
    *rem = r;
    return q;
}

// One edge's bound on x, tracked row by row: x >= q (lower) or x <= q (upper),
// q = floor(num / div), num advancing by `step` each row. Values stay within
// the guard band's products, far below 2^52.
struct Bound {
    int64_t q, rem, div, stepQ, stepRem;
    void Start(int64_t num, int64_t d, int64_t step) {
        div = d;
        q = FloorDivRem(num, d, &rem);
        stepQ = FloorDivRem(step, d, &stepRem);
    }
    void Next() {
        // Without a branch: whether a row carries follows the edge's slope,
        // which a branch predictor cannot guess.
        q += stepQ;
        rem += stepRem;
        const int64_t carry = rem >= div;
        q += carry;
        rem -= div & -carry;
    }
};

// ceil(a / 256) and floor(a / 256) in fixed-point units.
inline int64_t CeilDivSub(int64_t a) { return -FloorDiv(-a, SubPixel); }

// The rows of a fill: each row's span is the tightest of its bounds. L and
// U fix the counts of lower and upper bounds so they stay in registers
// (0 = given at run time).
template <int L, int U>
void Rows(Bound* lower, Bound* upper, int64_t rowFirst, int64_t rowLast, int width, SpanFn span,
          const void* ctx, int lowers = L, int uppers = U) {
    const int nl = L ? L : lowers, nu = U ? U : uppers;
    Bound lo_[L ? L : 1], hi_[U ? U : 1];
    Bound* lb = lower;
    Bound* ub = upper;
    if (L) {
        for (int i = 0; i < nl; ++i) lo_[i] = lower[i];
        lb = lo_;
    }
    if (U) {
        for (int i = 0; i < nu; ++i) hi_[i] = upper[i];
        ub = hi_;
    }
    for (int64_t row = rowFirst; row <= rowLast; ++row) {
        int64_t lo = 0, hi = width - 1;
        for (int i = 0; i < nl; ++i) {
            lo = std::max(lo, lb[i].q);
            lb[i].Next();
        }
        for (int i = 0; i < nu; ++i) {
            hi = std::min(hi, ub[i].q);
            ub[i].Next();
        }
        if (lo <= hi) span(ctx, static_cast<int>(row), static_cast<int>(lo), static_cast<int>(hi) + 1);
    }
}

}  // namespace

bool IsConvexQuad(const FixPoint* p) {
    int sign = 0;
    int64_t area2 = 0;
    for (int i = 0; i < 4; ++i) {
        const FixPoint& a = p[i];
        const FixPoint& b = p[(i + 1) & 3];
        const FixPoint& c = p[(i + 2) & 3];
        int64_t cross = int64_t(b.x - a.x) * (c.y - b.y) - int64_t(b.y - a.y) * (c.x - b.x);
        int s = (cross > 0) - (cross < 0);
        if (s != 0) {
            if (sign != 0 && s != sign) return false;
            sign = s;
        }
        area2 += int64_t(a.x) * b.y - int64_t(b.x) * a.y;
    }
    return sign != 0 && area2 != 0;
}

bool ConvexRows(const FixPoint* p, int n, int height, int* first, int* last) {
    if (n < 3 || n > 16 || height <= 0) return false;
    int64_t ymin = p[0].y, ymax = p[0].y;
    for (int i = 1; i < n; ++i) {
        ymin = std::min<int64_t>(ymin, p[i].y);
        ymax = std::max<int64_t>(ymax, p[i].y);
    }
    const int64_t rowFirst = std::max<int64_t>(CeilDivSub(ymin - SubPixel / 2), 0);
    const int64_t rowLast = std::min<int64_t>(FloorDiv(ymax - SubPixel / 2, SubPixel), height - 1);
    if (rowFirst > rowLast) return false;
    *first = static_cast<int>(rowFirst);
    *last = static_cast<int>(rowLast);
    return true;
}

void FillConvex(const FixPoint* p, int n, int width, int height, SpanFn span, const void* ctx) {
    FillConvexRows(p, n, width, 0, height, span, ctx);
}

void FillConvexRows(const FixPoint* p, int n, int width, int rowBegin, int rowEnd, SpanFn span,
                    const void* ctx) {
    if (n < 3 || n > 16 || width <= 0 || rowBegin >= rowEnd) return;
    int64_t area2 = 0;
    int64_t ymin = p[0].y, ymax = p[0].y;
    for (int i = 0; i < n; ++i) {
        const FixPoint& a = p[i];
        const FixPoint& b = p[i + 1 == n ? 0 : i + 1];
        area2 += int64_t(a.x) * b.y - int64_t(b.x) * a.y;
        ymin = std::min<int64_t>(ymin, a.y);
        ymax = std::max<int64_t>(ymax, a.y);
    }
    if (area2 == 0) return;
    const bool reversed = area2 < 0;  // walk so the inside is on the positive side

    // Rows whose centres (row·256 + 128) lie within the vertical extent.
    int64_t rowFirst = CeilDivSub(ymin - SubPixel / 2);
    int64_t rowLast = FloorDiv(ymax - SubPixel / 2, SubPixel);
    rowFirst = std::max<int64_t>(rowFirst, rowBegin);
    rowLast = std::min<int64_t>(rowLast, rowEnd - 1);
    if (rowFirst > rowLast) return;

    // Every bound starts at this row; horizontal edges may raise rowFirst.
    const int64_t startRow = rowFirst;
    // Edges going up bound x from below, edges going down from above.
    Bound lower[16], upper[16];
    int lowers = 0, uppers = 0;
    for (int i = 0; i < n; ++i) {
        int ia = reversed ? n - 1 - i : i;
        int ib = reversed ? (ia == 0 ? n - 1 : ia - 1) : (ia + 1 == n ? 0 : ia + 1);
        const int64_t x0 = p[ia].x, y0 = p[ia].y;
        const int64_t dx = p[ib].x - x0, dy = p[ib].y - y0;
        if (dx == 0 && dy == 0) continue;
        // Inside: E = dx·(Y − y0) − dy·(X − x0) > 0, or = 0 on a top or left edge.
        const int64_t bias = (dy < 0 || (dy == 0 && dx > 0)) ? 0 : -1;
        if (dy == 0) {
            // Horizontal: it only limits the rows. dx > 0 is a top edge
            // (Y >= y0 inside), dx < 0 a bottom edge (Y < y0 inside).
            if (dx > 0)
                rowFirst = std::max(rowFirst, CeilDivSub(y0 - SubPixel / 2));
            else
                rowLast = std::min(rowLast, FloorDiv(y0 - 1 - SubPixel / 2, SubPixel));
            continue;
        }
        // At pixel x of row r: E = K(r) + A·x with A = −256·dy and
        // K(r) = dx·(r·256 + 128 − y0) − dy·(128 − x0).
        const int64_t a = -SubPixel * dy;
        const int64_t k = dx * (startRow * SubPixel + SubPixel / 2 - y0) - dy * (SubPixel / 2 - x0);
        const int64_t kStep = dx * SubPixel;
        if (a > 0) {
            // x >= ceil(−(K + bias) / A) = floor((−(K + bias) + A − 1) / A)
            lower[lowers++].Start(-(k + bias) + a - 1, a, -kStep);
        } else {
            // x <= floor((K + bias) / −A)
            upper[uppers++].Start(k + bias, -a, kStep);
        }
    }
    if (rowFirst > rowLast) return;
    // Rows skipped by a horizontal edge's limit still advance the bounds.
    for (int64_t r = startRow; r < rowFirst; ++r) {
        for (int i = 0; i < lowers; ++i) lower[i].Next();
        for (int i = 0; i < uppers; ++i) upper[i].Next();
    }
    if (lowers == 2 && uppers == 2)  // any quad whose sides all slant
        Rows<2, 2>(lower, upper, rowFirst, rowLast, width, span, ctx);
    else if (lowers == 1 && uppers == 1)  // a quad with level top and bottom
        Rows<1, 1>(lower, upper, rowFirst, rowLast, width, span, ctx);
    else
        Rows<0, 0>(lower, upper, rowFirst, rowLast, width, span, ctx, lowers, uppers);
}

}  // namespace plat::soft
