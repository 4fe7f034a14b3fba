// batch_test.cpp — the OpenGL renderer's quad batcher, without a GL context.
//
// What the batch draws is its quads through the fixed index pattern; the
// tests rebuild those triangles and hold them to the triangles that went in
// (same corners, same order), whatever mix of quads and loose triangles.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "platform/gl/gl_renderer.h"

namespace {

using plat::Vertex;
using plat::gl::AppendTriangles;
using plat::gl::QuadBatch;
using plat::gl::QuadIndices;

bool Same(const Vertex& a, const Vertex& b) {
    return a.x == b.x && a.y == b.y && a.u == b.u && a.v == b.v && a.color == b.color;
}

bool Degenerate(const Vertex* t) { return Same(t[0], t[1]) || Same(t[1], t[2]) || Same(t[0], t[2]); }

// The triangles a batch draws, in order, leaving out those with no area.
std::vector<Vertex> Drawn(const std::vector<Vertex>& out, int quads) {
    std::vector<Vertex> tris;
    for (int q = 0; q < quads; ++q)
        for (int t = 0; t < 2; ++t) {
            Vertex tri[3];
            for (int k = 0; k < 3; ++k) tri[k] = out[size_t(q) * 4 + QuadIndices[t * 3 + k]];
            if (!Degenerate(tri)) tris.insert(tris.end(), tri, tri + 3);
        }
    return tris;
}

void ExpectSameTriangles(const std::vector<Vertex>& got, const std::vector<Vertex>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_TRUE(Same(got[i], want[i])) << "vertex " << i << " of triangle " << i / 3;
}

struct Batch {
    std::vector<Vertex> out;
    QuadBatch b;
    explicit Batch(int capacity) : out(size_t(capacity) * 4) {
        b.out = out.data();
        b.capacity = capacity;
    }
};

Vertex V(float x, float y, uint32_t c = 0xFFFFFFFFu, float u = 0, float v = 0) {
    return Vertex{x, y, u, v, c};
}

// A quad as the drawing calls send it: (a, b, c), (a, c, d).
void PushQuad(std::vector<Vertex>& v, Vertex a, Vertex b, Vertex c, Vertex d) {
    v.insert(v.end(), {a, b, c, a, c, d});
}

TEST(GLBatch, QuadPairsBecomeFourVerticesInOrder) {
    std::vector<Vertex> in;
    PushQuad(in, V(0, 0, 1, 0, 0), V(8, 0, 1, 1, 0), V(8, 8, 1, 1, 1), V(0, 8, 1, 0, 1));
    PushQuad(in, V(10, 0, 2), V(18, 1, 2), V(17, 9, 2), V(9, 8, 2));
    Batch batch(8);
    EXPECT_EQ(AppendTriangles(batch.b, in.data(), 0, int(in.size())), int(in.size()));
    ASSERT_EQ(batch.b.quads, 2);
    EXPECT_TRUE(Same(batch.out[0], in[0]));
    EXPECT_TRUE(Same(batch.out[3], in[5]));  // d of the first quad
    EXPECT_TRUE(Same(batch.out[4], in[6]));  // a of the second
    ExpectSameTriangles(Drawn(batch.out, batch.b.quads), in);
    EXPECT_TRUE(batch.b.uniformColor);
}

TEST(GLBatch, LooseTrianglesKeepTheirCornersAndOrder) {
    // A fan (an oval): neighbours share the centre and one rim point, which
    // is the quad pattern, so pairs merge; the odd one out stays a triangle.
    std::vector<Vertex> in;
    const Vertex centre = V(50, 50, 0xFF102030u);
    for (int i = 0; i < 7; ++i) {
        const float a0 = float(i), a1 = float(i + 1);
        in.push_back(centre);
        in.push_back(V(50 + 20 * std::cos(a0), 50 + 20 * std::sin(a0), 0xFF102030u));
        in.push_back(V(50 + 20 * std::cos(a1), 50 + 20 * std::sin(a1), 0xFF102030u));
    }
    // Then triangles sharing nothing, and one sharing the wrong edge.
    in.insert(in.end(), {V(0, 0), V(5, 0), V(0, 5)});
    in.insert(in.end(), {V(0, 5), V(5, 0), V(5, 5)});  // shares b-c, not a-c
    Batch batch(64);
    EXPECT_EQ(AppendTriangles(batch.b, in.data(), 0, int(in.size())), int(in.size()));
    EXPECT_EQ(batch.b.quads, 4 + 2);  // 3 fan pairs + 1 fan single, 2 singles
    ExpectSameTriangles(Drawn(batch.out, batch.b.quads), in);
}

TEST(GLBatch, StopsWhenFullAndResumesWhereItStopped) {
    std::vector<Vertex> in;
    for (int i = 0; i < 5; ++i)
        PushQuad(in, V(float(i), 0), V(float(i) + 1, 0), V(float(i) + 1, 1), V(float(i), 1));
    in.insert(in.end(), {V(0, 0), V(3, 0), V(0, 3)});
    Batch batch(2);
    std::vector<Vertex> drawn;
    int next = 0, rounds = 0;
    while (next < int(in.size())) {
        next = AppendTriangles(batch.b, in.data(), next, int(in.size()));
        EXPECT_LE(batch.b.quads, 2);
        auto part = Drawn(batch.out, batch.b.quads);
        drawn.insert(drawn.end(), part.begin(), part.end());
        batch.b.quads = 0;
        ASSERT_LT(++rounds, 10) << "no progress";
    }
    EXPECT_EQ(rounds, 3);  // 2 + 2 + (1 quad and the triangle)
    ExpectSameTriangles(drawn, in);
}

TEST(GLBatch, NonFiniteTrianglesAreDroppedAndOthersKept) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<Vertex> in;
    PushQuad(in, V(0, 0), V(nan, 0), V(4, 4), V(0, 4));  // a broken quad
    in.insert(in.end(), {V(inf, 0), V(1, 0), V(0, 1)});
    PushQuad(in, V(0, 0), V(4, 0), V(4, 4), V(0, 4));
    Batch batch(8);
    EXPECT_EQ(AppendTriangles(batch.b, in.data(), 0, int(in.size())), int(in.size()));
    ASSERT_EQ(batch.b.quads, 1);
    ExpectSameTriangles(Drawn(batch.out, 1), std::vector<Vertex>(in.end() - 6, in.end()));
}

TEST(GLBatch, ColourUniformityIsTrackedPerBatch) {
    Batch batch(8);
    std::vector<Vertex> flat, shaded;
    PushQuad(flat, V(0, 0, 0xFF0000FFu), V(1, 0, 0xFF0000FFu), V(1, 1, 0xFF0000FFu), V(0, 1, 0xFF0000FFu));
    PushQuad(flat, V(0, 0, 0x8000FF00u), V(1, 0, 0x8000FF00u), V(1, 1, 0x8000FF00u), V(0, 1, 0x8000FF00u));
    AppendTriangles(batch.b, flat.data(), 0, int(flat.size()));
    EXPECT_TRUE(batch.b.uniformColor) << "quads of different colours, each one colour";
    // One corner of another colour: the batch needs interpolated colours.
    PushQuad(shaded, V(0, 0, 0xFF0000FFu), V(1, 0, 0xFF0000FFu), V(1, 1, 0xFF0000FFu), V(0, 1, 0xFF00FF00u));
    AppendTriangles(batch.b, shaded.data(), 0, int(shaded.size()));
    EXPECT_FALSE(batch.b.uniformColor);
    // A loose triangle with a differing corner does the same.
    Batch other(4);
    std::vector<Vertex> tri = {V(0, 0, 1), V(1, 0, 1), V(0, 1, 2)};
    AppendTriangles(other.b, tri.data(), 0, 3);
    EXPECT_FALSE(other.b.uniformColor);
}

TEST(GLBatch, IncompleteTriangleAtTheEndIsIgnored) {
    std::vector<Vertex> in = {V(0, 0), V(1, 0), V(0, 1), V(5, 5), V(6, 5)};
    Batch batch(4);
    // count is meant to be a multiple of 3; two spare vertices draw nothing.
    EXPECT_EQ(AppendTriangles(batch.b, in.data(), 0, int(in.size())), 3);
    EXPECT_EQ(batch.b.quads, 1);
}

}  // namespace
