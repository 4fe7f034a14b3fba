// raster.cpp — exact convex polygon filling with the top-left rule.
//
// The polygon is the intersection of the half-planes of its edges, so a row's
// span is the intersection of each edge's bound on that row: edges going up
// the screen bound x from below, edges going down bound it from above. Each
// bound is an exact floor division, carried from row to row as quotient and
// remainder, so a row costs a few additions per edge and no division.
#include "platform/soft/raster.h"

#include <algorithm>
#include <cstddef>

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

// The rows of a fill: each row's span is the tightest of its bounds, given
// to emit(row, lo, hi) as the inclusive range lo..hi (empty when lo > hi).
template <typename Emit>
void Rows(Bound* lower, Bound* upper, int lowers, int uppers, int64_t rowFirst, int64_t rowLast,
          int width, Emit& emit) {
    for (int64_t row = rowFirst; row <= rowLast; ++row) {
        int64_t lo = 0, hi = width - 1;
        for (int i = 0; i < lowers; ++i) {
            lo = std::max(lo, lower[i].q);
            lower[i].Next();
        }
        for (int i = 0; i < uppers; ++i) {
            hi = std::min(hi, upper[i].q);
            upper[i].Next();
        }
        emit(static_cast<int>(row), static_cast<int>(lo), static_cast<int>(hi));
    }
}

// The same for the two shapes nearly every draw has, two lower and two
// upper bounds (a quad whose sides all slant) or one of each (a quad with
// level top and bottom), with the bounds in locals so they stay in
// registers rather than going through memory every row.
template <typename Emit>
void Rows22(const Bound* lower, const Bound* upper, int64_t rowFirst, int64_t rowLast, int width,
            Emit& emit) {
    Bound a = lower[0], b = lower[1], c = upper[0], d = upper[1];
    const int64_t right = width - 1;
    for (int64_t row = rowFirst; row <= rowLast; ++row) {
        const int64_t lo = std::max<int64_t>(std::max(a.q, b.q), 0);
        const int64_t hi = std::min(std::min(c.q, d.q), right);
        a.Next();
        b.Next();
        c.Next();
        d.Next();
        emit(static_cast<int>(row), static_cast<int>(lo), static_cast<int>(hi));
    }
}
template <typename Emit>
void Rows11(const Bound* lower, const Bound* upper, int64_t rowFirst, int64_t rowLast, int width,
            Emit& emit) {
    Bound a = lower[0], c = upper[0];
    const int64_t right = width - 1;
    for (int64_t row = rowFirst; row <= rowLast; ++row) {
        const int64_t lo = std::max<int64_t>(a.q, 0);
        const int64_t hi = std::min(c.q, right);
        a.Next();
        c.Next();
        emit(static_cast<int>(row), static_cast<int>(lo), static_cast<int>(hi));
    }
}

// One row at a time to a SpanFn.
struct EachSpan {
    SpanFn span;
    const void* ctx;
    void operator()(int row, int lo, int hi) const {
        if (lo <= hi) span(ctx, row, lo, hi + 1);
    }
    void Flush() {}
};

// Rows gathered into runs for a RowsFn.
struct RowRuns {
    RowsFn rows = nullptr;
    const void* ctx = nullptr;
    // Not int: stores into `spans` then cannot alias them.
    ptrdiff_t first = 0, count = 0;
    int32_t spans[2 * RowRun];
    void operator()(int row, int lo, int hi) {
        if (count == 0) first = row;
        spans[2 * count] = lo;
        spans[2 * count + 1] = hi + 1;
        if (++count == RowRun) Flush();
    }
    void Flush() {
        if (count > 0) rows(ctx, static_cast<int>(first), static_cast<int>(count), spans);
        count = 0;
    }
};

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

namespace {

template <typename Emit>
void FillRows(const FixPoint* p, int n, int width, int rowBegin, int rowEnd, Emit& emit) {
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
    if (lowers == 2 && uppers == 2)
        Rows22(lower, upper, rowFirst, rowLast, width, emit);
    else if (lowers == 1 && uppers == 1)
        Rows11(lower, upper, rowFirst, rowLast, width, emit);
    else
        Rows(lower, upper, lowers, uppers, rowFirst, rowLast, width, emit);
    emit.Flush();
}

}  // namespace

void FillConvexRows(const FixPoint* p, int n, int width, int rowBegin, int rowEnd, SpanFn span,
                    const void* ctx) {
    EachSpan emit{span, ctx};
    FillRows(p, n, width, rowBegin, rowEnd, emit);
}

void FillConvexRows(const FixPoint* p, int n, int width, int rowBegin, int rowEnd, RowsFn rows,
                    const void* ctx) {
    RowRuns emit;
    emit.rows = rows;
    emit.ctx = ctx;
    FillRows(p, n, width, rowBegin, rowEnd, emit);
}

}  // namespace plat::soft
