// gl_renderer.cpp — the OpenGL renderer: fixed-function GL 1.1..2.1 over
// client-side vertex arrays, with the software renderer's drawing semantics.
//
// Every GL entry point comes through the getProc the window code hands in; the
// program never links the GL library, so <GL/gl.h> is used for its types and
// enums only.
//
// Batching: triangles collect in one interleaved vertex array (x, y, u, v as
// floats, colour as four bytes R G B A) with a 16-bit index list. A quad sent
// as the pair (a, b, c), (a, c, d) — images, rectangles and glyphs — costs
// four vertices and six indices. The batch is drawn only when the texture or
// blend mode changes, when it is full, and at Clear, ReadPixels and Present.
//
// Blends (fragment = texel × vertex colour, GL_MODULATE):
//   1 mask:  no blending, alpha test a > 0.5 (a ≥ 128 of 255)
//   2 solid: no blending (also any unknown mode)
//   3 alpha: SRC_ALPHA, ONE_MINUS_SRC_ALPHA
//   4 light: SRC_ALPHA, ONE
//   5 shade: DST_COLOR, ZERO
#include <GL/gl.h>

#include <algorithm>
#include <atomic>
#include <type_traits>
#include <cstring>
#include <vector>

#include "platform/backend.h"

#ifndef GL_BGRA
#define GL_BGRA 0x80E1
#endif
#ifndef GL_UNSIGNED_INT_8_8_8_8_REV
#define GL_UNSIGNED_INT_8_8_8_8_REV 0x8367
#endif
#ifndef GL_CLAMP_TO_EDGE
#define GL_CLAMP_TO_EDGE 0x812F
#endif

namespace plat {
namespace {

// The GL entry points this renderer uses, resolved once per context.
struct GLFuncs {
    void(APIENTRY* Viewport)(GLint, GLint, GLsizei, GLsizei);
    void(APIENTRY* MatrixMode)(GLenum);
    void(APIENTRY* LoadIdentity)();
    void(APIENTRY* Ortho)(GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble);
    void(APIENTRY* Enable)(GLenum);
    void(APIENTRY* Disable)(GLenum);
    void(APIENTRY* BlendFunc)(GLenum, GLenum);
    void(APIENTRY* AlphaFunc)(GLenum, GLclampf);
    void(APIENTRY* TexEnvi)(GLenum, GLenum, GLint);
    void(APIENTRY* GenTextures)(GLsizei, GLuint*);
    void(APIENTRY* DeleteTextures)(GLsizei, const GLuint*);
    void(APIENTRY* BindTexture)(GLenum, GLuint);
    void(APIENTRY* TexImage2D)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum,
                               const void*);
    void(APIENTRY* TexParameteri)(GLenum, GLenum, GLint);
    void(APIENTRY* PixelStorei)(GLenum, GLint);
    void(APIENTRY* ClearColor)(GLclampf, GLclampf, GLclampf, GLclampf);
    void(APIENTRY* Clear)(GLbitfield);
    void(APIENTRY* ReadPixels)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*);
    void(APIENTRY* EnableClientState)(GLenum);
    void(APIENTRY* DisableClientState)(GLenum);
    void(APIENTRY* VertexPointer)(GLint, GLenum, GLsizei, const void*);
    void(APIENTRY* TexCoordPointer)(GLint, GLenum, GLsizei, const void*);
    void(APIENTRY* ColorPointer)(GLint, GLenum, GLsizei, const void*);
    void(APIENTRY* DrawElements)(GLenum, GLsizei, GLenum, const void*);
    void(APIENTRY* ReadBuffer)(GLenum);
    void(APIENTRY* Color4ub)(GLubyte, GLubyte, GLubyte, GLubyte);
    void(APIENTRY* ShadeModel)(GLenum);

    bool Load(GLGetProcFn getProc) {
        bool ok = true;
        auto get = [&](auto& fn, const char* name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(getProc(name));
            if (!fn) ok = false;
        };
        get(Viewport, "glViewport");
        get(MatrixMode, "glMatrixMode");
        get(LoadIdentity, "glLoadIdentity");
        get(Ortho, "glOrtho");
        get(Enable, "glEnable");
        get(Disable, "glDisable");
        get(BlendFunc, "glBlendFunc");
        get(AlphaFunc, "glAlphaFunc");
        get(TexEnvi, "glTexEnvi");
        get(GenTextures, "glGenTextures");
        get(DeleteTextures, "glDeleteTextures");
        get(BindTexture, "glBindTexture");
        get(TexImage2D, "glTexImage2D");
        get(TexParameteri, "glTexParameteri");
        get(PixelStorei, "glPixelStorei");
        get(ClearColor, "glClearColor");
        get(Clear, "glClear");
        get(ReadPixels, "glReadPixels");
        get(EnableClientState, "glEnableClientState");
        get(DisableClientState, "glDisableClientState");
        get(VertexPointer, "glVertexPointer");
        get(TexCoordPointer, "glTexCoordPointer");
        get(ColorPointer, "glColorPointer");
        get(DrawElements, "glDrawElements");
        get(ReadBuffer, "glReadBuffer");
        get(Color4ub, "glColor4ub");
        get(ShadeModel, "glShadeModel");
        return ok;
    }
};

// One vertex as GL reads it: colour bytes in memory order R, G, B, A.
struct GLVertex {
    float x, y, u, v;
    uint32_t rgba;
};
static_assert(sizeof(GLVertex) == 20);

// 0xAARRGGBB to the little-endian word whose bytes are R, G, B, A.
inline uint32_t ToRGBA(uint32_t argb) {
    return (argb & 0xFF00FF00u) | ((argb >> 16) & 0xFFu) | ((argb & 0xFFu) << 16);
}

inline bool SameVertex(const Vertex& a, const Vertex& b) {
    return a.x == b.x && a.y == b.y && a.u == b.u && a.v == b.v && a.color == b.color;
}

std::atomic<uint64_t> next_context_id{1};

// Vertices per batch: 16-bit indices address at most 65536.
constexpr int MaxVertices = 65532;
constexpr int MaxIndices = MaxVertices / 4 * 6;

class GLRenderer final : public RenderBackend {
public:
    GLRenderer(int width, int height, const GLFuncs& gl, SwapFn swap)
        : width_(std::max(width, 1)), height_(std::max(height, 1)), gl_(gl),
          swap_(std::move(swap)), id_(next_context_id.fetch_add(1)) {
        vertices_.resize(MaxVertices);
        indices_.resize(MaxIndices);
        SetupState();
    }

    ~GLRenderer() override {
        // Textures still alive keep their names; with gpu_context naming this
        // renderer they are re-uploaded by whichever renderer comes next.
    }

    const char* Name() const override { return "opengl"; }
    int Width() const override { return width_; }
    int Height() const override { return height_; }

    void Clear(uint32_t rgb) override {
        Flush();
        gl_.ClearColor(((rgb >> 16) & 0xFF) / 255.0f, ((rgb >> 8) & 0xFF) / 255.0f,
                       (rgb & 0xFF) / 255.0f, 1.0f);
        gl_.Clear(GL_COLOR_BUFFER_BIT);
    }

    void DrawTriangles(Texture* tex, int blend, const Vertex* v, int count) override {
        if (!v || count < 3) return;
        if (tex && (tex->width <= 0 || tex->height <= 0 ||
                    tex->pixels.size() < static_cast<size_t>(tex->width) * tex->height))
            return;  // a texture without pixels has nothing to show
        if (blend < BlendMask || blend > BlendShade) blend = BlendSolid;
        Select(tex, blend);
        int i = 0;
        while (i + 3 <= count) {
            if (i + 6 <= count && SameVertex(v[i + 3], v[i]) && SameVertex(v[i + 4], v[i + 2])) {
                Room(4, 6);
                GLVertex* out = &vertices_[nv_];
                const Vertex* q[4] = {&v[i], &v[i + 1], &v[i + 2], &v[i + 5]};
                for (int k = 0; k < 4; ++k)
                    out[k] = GLVertex{q[k]->x, q[k]->y, q[k]->u, q[k]->v, ToRGBA(q[k]->color)};
                uint16_t* ix = &indices_[ni_];
                const uint16_t b = static_cast<uint16_t>(nv_);
                ix[0] = b;
                ix[1] = b + 1;
                ix[2] = b + 2;
                ix[3] = b;
                ix[4] = b + 2;
                ix[5] = b + 3;
                nv_ += 4;
                ni_ += 6;
                i += 6;
                continue;
            }
            Room(3, 3);
            for (int k = 0; k < 3; ++k) {
                const Vertex& s = v[i + k];
                vertices_[nv_ + k] = GLVertex{s.x, s.y, s.u, s.v, ToRGBA(s.color)};
                indices_[ni_ + k] = static_cast<uint16_t>(nv_ + k);
            }
            nv_ += 3;
            ni_ += 3;
            i += 3;
        }
    }

    void Present(bool vsync) override {
        Flush();
        if (swap_) swap_(vsync);
    }

    void ReadPixels(int x, int y, int w, int h, uint32_t* argb) override {
        if (!argb || w <= 0 || h <= 0) return;
        Flush();
        std::fill(argb, argb + static_cast<size_t>(w) * h, 0u);
        // Only the part inside the back buffer is read; the rest stays 0, as
        // the software renderer leaves it.
        const int x0 = std::max(x, 0), y0 = std::max(y, 0);
        const int x1 = std::min(x + w, width_), y1 = std::min(y + h, height_);
        if (x0 >= x1 || y0 >= y1) return;
        const int rw = x1 - x0, rh = y1 - y0;
        readback_.resize(static_cast<size_t>(rw) * rh);
        gl_.PixelStorei(GL_PACK_ALIGNMENT, 4);
        gl_.PixelStorei(GL_PACK_ROW_LENGTH, 0);
        gl_.ReadBuffer(GL_BACK);
        // GL rows run bottom to top.
        gl_.ReadPixels(x0, height_ - y1, rw, rh, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                       readback_.data());
        for (int row = 0; row < rh; ++row) {
            const uint32_t* src = &readback_[static_cast<size_t>(rh - 1 - row) * rw];
            uint32_t* dst = argb + static_cast<size_t>(y0 - y + row) * w + (x0 - x);
            // The back buffer is opaque whatever alpha the blends left in it.
            for (int col = 0; col < rw; ++col) dst[col] = src[col] | 0xFF000000u;
        }
    }

    void ReleaseTexture(Texture& t) override {
        if (t.gpu_name == 0 || t.gpu_context != id_) return;
        if (&t == tex_ || t.gpu_name == bound_name_) {
            Flush();
            tex_ = nullptr;
            bound_name_ = 0;
            gl_.BindTexture(GL_TEXTURE_2D, 0);
        }
        const GLuint name = t.gpu_name;
        gl_.DeleteTextures(1, &name);
        t.gpu_name = 0;
        t.gpu_generation = 0;
        t.gpu_context = 0;
    }

private:
    void SetupState() {
        gl_.Viewport(0, 0, width_, height_);
        gl_.MatrixMode(GL_PROJECTION);
        gl_.LoadIdentity();
        gl_.Ortho(0, width_, height_, 0, -1, 1);  // origin top-left, y down
        gl_.MatrixMode(GL_MODELVIEW);
        gl_.LoadIdentity();
        gl_.MatrixMode(GL_TEXTURE);
        gl_.LoadIdentity();
        gl_.MatrixMode(GL_MODELVIEW);
        gl_.Disable(GL_DEPTH_TEST);
        gl_.Disable(GL_DITHER);
        gl_.Disable(GL_LIGHTING);
        gl_.Disable(GL_CULL_FACE);
        gl_.Disable(GL_SCISSOR_TEST);
        gl_.Disable(GL_STENCIL_TEST);
        gl_.Disable(GL_TEXTURE_2D);
        gl_.Disable(GL_BLEND);
        gl_.Disable(GL_ALPHA_TEST);
        // Alpha above one half means a ≥ 128 of 255. The reference sits between
        // 127 and 128 so that implementations comparing in 8-bit fixed point
        // (where 0.5 itself rounds to 128 and "greater" would drop 128) agree
        // with those comparing floats.
        gl_.AlphaFunc(GL_GEQUAL, 127.75f / 255.0f);
        gl_.ShadeModel(GL_SMOOTH);
        gl_.TexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        gl_.PixelStorei(GL_UNPACK_ALIGNMENT, 4);
        gl_.EnableClientState(GL_VERTEX_ARRAY);
        gl_.EnableClientState(GL_COLOR_ARRAY);
        gl_.EnableClientState(GL_TEXTURE_COORD_ARRAY);
        gl_.VertexPointer(2, GL_FLOAT, sizeof(GLVertex), &vertices_[0].x);
        gl_.TexCoordPointer(2, GL_FLOAT, sizeof(GLVertex), &vertices_[0].u);
        gl_.ColorPointer(4, GL_UNSIGNED_BYTE, sizeof(GLVertex), &vertices_[0].rgba);
        blend_ = BlendSolid;
        textured_ = false;
    }

    // Makes (tex, blend) the batch's state, drawing what came before if that
    // differs. Uploads the texture when it is new to this context or changed.
    void Select(Texture* tex, int blend) {
        const bool stale = tex && (tex->gpu_context != id_ || tex->gpu_name == 0 ||
                                   tex->gpu_generation != tex->generation);
        if (tex == tex_ && blend == blend_ && !stale &&
            (!tex || (tex->gpu_name == bound_name_ && tex->filtered == bound_filtered_)))
            return;
        Flush();
        if (blend != blend_) {
            ApplyBlend(blend);
            blend_ = blend;
        }
        if (tex) {
            if (stale) Upload(*tex);
            if (!textured_) {
                gl_.Enable(GL_TEXTURE_2D);
                textured_ = true;
            }
            if (tex->gpu_name != bound_name_ || tex->filtered != bound_filtered_) {
                gl_.BindTexture(GL_TEXTURE_2D, tex->gpu_name);
                const GLint filter = tex->filtered ? GL_LINEAR : GL_NEAREST;
                gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
                gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
                bound_name_ = tex->gpu_name;
                bound_filtered_ = tex->filtered;
            }
        } else if (textured_) {
            gl_.Disable(GL_TEXTURE_2D);
            textured_ = false;
        }
        tex_ = tex;
    }

    void ApplyBlend(int blend) {
        switch (blend) {
            case BlendMask:
                gl_.Disable(GL_BLEND);
                gl_.Enable(GL_ALPHA_TEST);
                break;
            case BlendAlpha:
                gl_.Disable(GL_ALPHA_TEST);
                gl_.Enable(GL_BLEND);
                gl_.BlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
                break;
            case BlendLight:
                gl_.Disable(GL_ALPHA_TEST);
                gl_.Enable(GL_BLEND);
                gl_.BlendFunc(GL_SRC_ALPHA, GL_ONE);
                break;
            case BlendShade:
                gl_.Disable(GL_ALPHA_TEST);
                gl_.Enable(GL_BLEND);
                gl_.BlendFunc(GL_DST_COLOR, GL_ZERO);
                break;
            default:
                gl_.Disable(GL_ALPHA_TEST);
                gl_.Disable(GL_BLEND);
                break;
        }
    }

    void Upload(Texture& t) {
        // A name from another (older) context means nothing here: make a new one.
        if (t.gpu_context != id_ || t.gpu_name == 0) {
            GLuint name = 0;
            gl_.GenTextures(1, &name);
            t.gpu_name = name;
            t.gpu_context = id_;
        }
        gl_.BindTexture(GL_TEXTURE_2D, t.gpu_name);
        bound_name_ = t.gpu_name;
        const GLint filter = t.filtered ? GL_LINEAR : GL_NEAREST;
        gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
        gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
        bound_filtered_ = t.filtered;
        gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        gl_.PixelStorei(GL_UNPACK_ALIGNMENT, 4);
        gl_.PixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        gl_.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, t.width, t.height, 0, GL_BGRA,
                       GL_UNSIGNED_INT_8_8_8_8_REV, t.pixels.data());
        t.gpu_generation = t.generation;
    }

    // Ensures the batch has room for nv more vertices and ni more indices.
    void Room(int nv, int ni) {
        if (nv_ + nv > MaxVertices || ni_ + ni > MaxIndices) Flush();
    }

    void Flush() {
        if (ni_ == 0) {
            nv_ = 0;
            return;
        }
        gl_.DrawElements(GL_TRIANGLES, ni_, GL_UNSIGNED_SHORT, indices_.data());
        nv_ = 0;
        ni_ = 0;
    }

    int width_, height_;
    GLFuncs gl_;
    SwapFn swap_;
    uint64_t id_;

    std::vector<GLVertex> vertices_;
    std::vector<uint16_t> indices_;
    int nv_ = 0, ni_ = 0;
    std::vector<uint32_t> readback_;

    // State of the pending batch and of the context.
    Texture* tex_ = nullptr;
    int blend_ = BlendSolid;
    bool textured_ = false;
    GLuint bound_name_ = 0;
    bool bound_filtered_ = false;
};

}  // namespace

std::unique_ptr<RenderBackend> CreateGLRenderer(int width, int height, GLGetProcFn getProc,
                                                SwapFn swap) {
    if (!getProc) return nullptr;
    GLFuncs gl{};
    if (!gl.Load(getProc)) return nullptr;
    return std::make_unique<GLRenderer>(width, height, gl, std::move(swap));
}

}  // namespace plat
