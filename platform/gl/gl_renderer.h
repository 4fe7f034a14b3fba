// gl_renderer.h — what the OpenGL renderer shows to its tests and benchmarks
// beyond the RenderBackend table: which GL path it took, its batch counters,
// and the CPU-side batcher that turns triangles into indexed quads.
//
// Only platform/gl, tests/gl and bench/ include this; the game reaches the
// renderer through platform/backend.h alone.
#pragma once

#include <cstdint>
#include <string>

#include "platform/backend.h"

namespace plat::gl {

// ---------------------------------------------------------------------------
// GL paths, fastest first. CreateGLRenderer takes the first one the context
// supports (GLSL 1.30 and up, then 1.20, then the fixed-function pipeline).
// ---------------------------------------------------------------------------
enum class Path : int {
    Auto = 0,            // the default: the best the context offers
    Shader130 = 1,       // GLSL 1.30+: flat / noperspective varyings, vertex buffer
    Shader120 = 2,       // GLSL 1.20: plain varyings, vertex buffer
    FixedFunction = 3,   // GL 1.1 texture environment over client arrays
};
const char* PathName(Path path);

// Makes every later CreateGLRenderer try `path` first (Auto restores the
// default). For tests that compare each path with the software renderer; a
// path the context lacks still falls back down the list.
void ForcePath(Path path);

struct Stats {
    Path path = Path::Auto;  // the path in use
    uint64_t drawCalls = 0;  // batches sent to GL since the renderer was made
    uint64_t quads = 0;      // quads in those batches (a lone triangle counts as one)
    uint64_t uploads = 0;    // texture uploads (first use or a changed generation)
    uint64_t deletes = 0;    // texture names given back by ReleaseTexture
    std::string glRenderer;  // GL_RENDERER, e.g. "llvmpipe (LLVM 15.0.6, 256 bits)"
    std::string glVersion;   // GL_VERSION
    int glsl = 0;            // the shading language version in use (130, 120; 0 fixed)
    std::string shaderLog;   // the compiler's words on the last shader that failed
};
// The counters of r when it is an OpenGL renderer; false otherwise.
bool GetStats(const RenderBackend* r, Stats* out);

// ---------------------------------------------------------------------------
// Batching (no GL here, so it is tested without a context)
// ---------------------------------------------------------------------------
// Every primitive becomes a quad of four vertices drawn through one fixed
// index pattern, (0, 1, 2) and (0, 2, 3). The drawing calls send a quad as
// the triangles (a, b, c), (a, c, d), which become the quad a, b, c, d; any
// other triangle (a, b, c) becomes a, b, c, c, whose second triangle has no
// area and draws nothing. Triangles with a non-finite corner are dropped.
constexpr int QuadIndices[6] = {0, 1, 2, 0, 2, 3};

struct QuadBatch {
    Vertex* out = nullptr;  // room for capacity × 4 vertices
    int capacity = 0;       // quads
    int quads = 0;          // quads written so far
    // False once a written triangle had corners of different colours, which
    // rules out flat (per-primitive) colour for this batch.
    bool uniformColor = true;
};

// Appends triangles v[first .. count) (count a multiple of 3) to the batch
// and returns the index of the first triangle vertex not taken, which is
// count when everything fitted; the caller flushes and calls again from there.
int AppendTriangles(QuadBatch& batch, const Vertex* v, int first, int count);

}  // namespace plat::gl
