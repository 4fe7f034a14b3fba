// The polygon filler's coverage rule: meshes of triangles sharing edges cover
// every pixel exactly once, and a convex quad filled as one polygon covers
// exactly the pixels of its two triangles. Coverage is exact arithmetic, so
// every count is compared exactly.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/soft/raster.h"

using plat::soft::FillConvex;
using plat::soft::FixPoint;
using plat::soft::IsConvexQuad;

namespace {

struct Counter {
    int width, height;
    std::vector<int> hits;
    Counter(int w, int h) : width(w), height(h), hits(size_t(w) * h, 0) {}
    static void Span(const void* ctx, int y, int x0, int x1) {
        auto* c = static_cast<Counter*>(const_cast<void*>(ctx));
        for (int x = x0; x < x1; ++x) ++c->hits[size_t(y) * c->width + x];
    }
    void Fill(std::vector<FixPoint> p) { FillConvex(p.data(), int(p.size()), width, height, &Span, this); }
    int Total() const {
        int t = 0;
        for (int h : hits) t += h;
        return t;
    }
};

FixPoint Px(double x, double y) {
    return FixPoint{int32_t(std::lround(x * plat::soft::SubPixel)), int32_t(std::lround(y * plat::soft::SubPixel))};
}

}  // namespace

TEST(Raster, AxisAlignedSquaresCoverWholePixels) {
    Counter c(16, 16);
    c.Fill({Px(2, 3), Px(7, 3), Px(7, 9), Px(2, 9)});
    EXPECT_EQ(c.Total(), 5 * 6);
    EXPECT_EQ(c.hits[3 * 16 + 2], 1);  // top-left pixel is in
    EXPECT_EQ(c.hits[9 * 16 + 2], 0);  // the row of the bottom edge is out
    EXPECT_EQ(c.hits[3 * 16 + 7], 0);  // the column of the right edge is out
    // The same square wound the other way covers the same pixels.
    Counter d(16, 16);
    d.Fill({Px(2, 3), Px(2, 9), Px(7, 9), Px(7, 3)});
    EXPECT_EQ(c.hits, d.hits);
}

TEST(Raster, MeshOfRandomTrianglesCoversEachPixelOnce) {
    // A grid whose inner points are jittered, each cell cut along a random
    // diagonal, with vertices on awkward sub-pixel positions and some exactly
    // on pixel centres: every pixel inside the mesh is hit exactly once.
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> jitter(-1.5, 1.5);
    const int n = 8, cell = 10, w = n * cell + 1;
    std::vector<FixPoint> grid((n + 1) * (n + 1));
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i) {
            bool inner = i > 0 && j > 0 && i < n && j < n;
            double x = i * cell + (inner ? jitter(rng) : 0), y = j * cell + (inner ? jitter(rng) : 0);
            if ((i + j) % 3 == 0 && inner) x = std::floor(x) + 0.5, y = std::floor(y) + 0.5;
            grid[j * (n + 1) + i] = Px(x, y);
        }
    Counter c(w, w);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            FixPoint a = grid[j * (n + 1) + i], b = grid[j * (n + 1) + i + 1];
            FixPoint d = grid[(j + 1) * (n + 1) + i], e = grid[(j + 1) * (n + 1) + i + 1];
            if (rng() & 1) {
                c.Fill({a, b, e});
                c.Fill({a, e, d});
            } else {
                c.Fill({a, b, d});
                c.Fill({b, e, d});  // opposite winding on purpose
            }
        }
    int overlaps = 0, gaps = 0;
    for (int y = 0; y < n * cell; ++y)
        for (int x = 0; x < n * cell; ++x) {
            overlaps += c.hits[size_t(y) * w + x] > 1;
            gaps += c.hits[size_t(y) * w + x] == 0;
        }
    EXPECT_EQ(overlaps, 0);
    EXPECT_EQ(gaps, 0);
    EXPECT_EQ(c.Total(), n * cell * n * cell);
}

TEST(Raster, ConvexQuadEqualsItsTwoTriangles) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> pos(-5.0, 45.0), ang(0, 6.283185307), rad(1, 25);
    int tested = 0;
    for (int k = 0; k < 400; ++k) {
        // A rotated rectangle (parallelogram after snapping) around a random centre.
        double cx = pos(rng), cy = pos(rng), a = ang(rng), hw = rad(rng), hh = rad(rng) * 0.5;
        double c = std::cos(a), s = std::sin(a);
        std::vector<FixPoint> q = {Px(cx - c * hw + s * hh, cy - s * hw - c * hh),
                                   Px(cx + c * hw + s * hh, cy + s * hw - c * hh),
                                   Px(cx + c * hw - s * hh, cy + s * hw + c * hh),
                                   Px(cx - c * hw - s * hh, cy - s * hw + c * hh)};
        ASSERT_TRUE(IsConvexQuad(q.data()));
        Counter whole(40, 40), halves(40, 40);
        whole.Fill(q);
        halves.Fill({q[0], q[1], q[2]});
        halves.Fill({q[0], q[2], q[3]});
        ASSERT_EQ(whole.hits, halves.hits) << "quad " << k;
        tested += whole.Total() > 0;
    }
    EXPECT_GT(tested, 300);  // most quads fell on the 40 × 40 target
}

TEST(Raster, RecognisesOnlyConvexQuads) {
    std::vector<FixPoint> square = {Px(0, 0), Px(4, 0), Px(4, 4), Px(0, 4)};
    std::vector<FixPoint> bowtie = {Px(0, 0), Px(4, 4), Px(4, 0), Px(0, 4)};
    std::vector<FixPoint> dart = {Px(0, 0), Px(4, 2), Px(0, 4), Px(1, 2)};
    std::vector<FixPoint> flat = {Px(0, 0), Px(1, 0), Px(2, 0), Px(3, 0)};
    EXPECT_TRUE(IsConvexQuad(square.data()));
    EXPECT_FALSE(IsConvexQuad(bowtie.data()));
    EXPECT_FALSE(IsConvexQuad(dart.data()));
    EXPECT_FALSE(IsConvexQuad(flat.data()));
}

TEST(Raster, ClipsToTheTargetAndSkipsDegenerates) {
    Counter c(10, 10);
    c.Fill({Px(-50, -50), Px(60, -50), Px(60, 60), Px(-50, 60)});
    EXPECT_EQ(c.Total(), 100);
    Counter d(10, 10);
    d.Fill({Px(1, 1), Px(5, 5), Px(9, 9)});  // zero area
    d.Fill({Px(1, 1), Px(1, 1), Px(1, 1)});
    EXPECT_EQ(d.Total(), 0);
}

TEST(Raster, PackedDivisionRoundsLikeTheFormula) {
    for (uint32_t x = 0; x <= 255 * 255; ++x) {
        uint32_t expect = (x * 2 + 255) / 510;  // round(x / 255), halves up
        ASSERT_EQ(plat::soft::Div255(x), expect) << x;
        ASSERT_EQ(plat::soft::Div255Pair((x << 16) | (255 * 255 - x)),
                  (expect << 16) | ((2 * (255 * 255 - x) + 255) / 510))
            << x;
    }
}
