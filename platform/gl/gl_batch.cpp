// gl_batch.cpp — triangles into the OpenGL renderer's quad batch.
//
// Four vertices per quad instead of six: vertex processing and the copy into
// the GL buffer both scale with vertices, and the engine test sends tens of
// thousands of quads a frame.
#include <cmath>

#include "platform/gl/gl_renderer.h"

namespace plat::gl {
namespace {

inline bool SameVertex(const Vertex& a, const Vertex& b) {
    return a.x == b.x && a.y == b.y && a.u == b.u && a.v == b.v && a.color == b.color;
}

inline bool Finite(const Vertex& q) { return std::isfinite(q.x) && std::isfinite(q.y); }

}  // namespace

int AppendTriangles(QuadBatch& batch, const Vertex* v, int first, int count) {
    int i = first;
    Vertex* out = batch.out + static_cast<size_t>(batch.quads) * 4;
    int quads = batch.quads;
    bool uniform = batch.uniformColor;
    while (i + 3 <= count && quads < batch.capacity) {
        const Vertex& a = v[i];
        const Vertex& b = v[i + 1];
        const Vertex& c = v[i + 2];
        if (i + 6 <= count && SameVertex(v[i + 3], a) && SameVertex(v[i + 4], c)) {
            const Vertex& d = v[i + 5];
            if (Finite(a) && Finite(b) && Finite(c) && Finite(d)) {
                out[0] = a;
                out[1] = b;
                out[2] = c;
                out[3] = d;
                out += 4;
                ++quads;
                uniform = uniform && a.color == b.color && a.color == c.color && a.color == d.color;
            }
            i += 6;
            continue;
        }
        if (Finite(a) && Finite(b) && Finite(c)) {
            out[0] = a;
            out[1] = b;
            out[2] = c;
            out[3] = c;
            out += 4;
            ++quads;
            uniform = uniform && a.color == b.color && a.color == c.color;
        }
        i += 3;
    }
    batch.quads = quads;
    batch.uniformColor = uniform;
    return i;
}

}  // namespace plat::gl
