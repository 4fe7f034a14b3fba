// gl_renderer.cpp — the OpenGL renderer, with the software renderer's
// drawing semantics (platform/soft/soft.cpp).
//
// Every GL entry point comes through the getProc the window code hands in; the
// program never links the GL library, so <GL/gl.h> and <GL/glext.h> give
// types and enums only.
//
// Batching: every draw lands in one client-side array of quads (plat::Vertex
// as it is: x, y, u, v floats and the 0xAARRGGBB colour, whose bytes B G R A
// the shaders swizzle), drawn through a prebuilt 16-bit index list, four
// vertices a quad. The batch goes to GL only when the texture or the blend
// mode changes, when it is full, and at Clear, ReadPixels and Present. A batch
// whose primitives are each one colour (every draw the game makes) takes its
// colour flat, per primitive; one with a shaded corner interpolates. Nothing
// is culled: alpha-0 draws cost what visible ones do.
//
// Fragments are texel × vertex colour (nearest, or bilinear when the texture
// is filtered, clamped at the edges, no mipmaps). Blends:
//   1 mask:  no blending; fragments with alpha <= 0.5 are dropped
//   2 solid: no blending (also any unknown mode)
//   3 alpha: SRC_ALPHA, ONE_MINUS_SRC_ALPHA
//   4 light: SRC_ALPHA, ONE
//   5 shade: DST_COLOR, ZERO
// On the GLSL 1.30 path alpha and light premultiply in the shader and blend
// with ONE instead of SRC_ALPHA: llvmpipe blends on 8-bit lanes, where a
// factor of ONE costs nothing and the shader's multiply is one float op per
// channel (about 8% of the engine test's frame). The GLSL 1.20 path keeps the
// plain factors: on llvmpipe without a depth buffer its premultiplying
// shader was seen to draw one-colour rectangles unmultiplied after a solid
// draw.
//
// The fastest path on Mesa's llvmpipe (measured with the engine test's
// sprite frame under Xvfb): GLSL 1.30 with flat colour and noperspective
// texture coordinates, the batch copied into a vertex buffer orphaned at
// every flush, one glDrawElements per batch. GLSL 1.20 and the
// fixed-function pipeline follow as fallbacks with the same pictures.
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/backend.h"
#include "platform/gl/gl_renderer.h"

namespace plat {
namespace gl {
namespace {

// ---------------------------------------------------------------------------
// Entry points
// ---------------------------------------------------------------------------
// GL 1.1 functions take their types from gl.h's prototypes (decltype never
// references the symbol); later ones from glext.h's pointer typedefs.
#define GL11(name) decltype(&::gl##name) name = nullptr
struct Funcs {
    GL11(GetString);
    GL11(GetError);
    GL11(GetIntegerv);
    GL11(Viewport);
    GL11(Enable);
    GL11(Disable);
    GL11(BlendFunc);
    GL11(GenTextures);
    GL11(DeleteTextures);
    GL11(BindTexture);
    GL11(TexImage2D);
    GL11(TexParameteri);
    GL11(PixelStorei);
    GL11(ClearColor);
    GL11(Clear);
    GL11(ReadPixels);
    GL11(ReadBuffer);
    GL11(DrawElements);
    GL11(Flush);
    // Fixed function only
    GL11(MatrixMode);
    GL11(LoadIdentity);
    GL11(Ortho);
    GL11(AlphaFunc);
    GL11(TexEnvi);
    GL11(ShadeModel);
    GL11(EnableClientState);
    GL11(DisableClientState);
    GL11(VertexPointer);
    GL11(TexCoordPointer);
    GL11(ColorPointer);
    // Shaders and buffers (GL 2.0 / 1.5 / 3.0)
    PFNGLCREATESHADERPROC CreateShader = nullptr;
    PFNGLSHADERSOURCEPROC ShaderSource = nullptr;
    PFNGLCOMPILESHADERPROC CompileShader = nullptr;
    PFNGLGETSHADERIVPROC GetShaderiv = nullptr;
    PFNGLGETSHADERINFOLOGPROC GetShaderInfoLog = nullptr;
    PFNGLDELETESHADERPROC DeleteShader = nullptr;
    PFNGLCREATEPROGRAMPROC CreateProgram = nullptr;
    PFNGLATTACHSHADERPROC AttachShader = nullptr;
    PFNGLBINDATTRIBLOCATIONPROC BindAttribLocation = nullptr;
    PFNGLLINKPROGRAMPROC LinkProgram = nullptr;
    PFNGLGETPROGRAMIVPROC GetProgramiv = nullptr;
    PFNGLDELETEPROGRAMPROC DeleteProgram = nullptr;
    PFNGLUSEPROGRAMPROC UseProgram = nullptr;
    PFNGLGETUNIFORMLOCATIONPROC GetUniformLocation = nullptr;
    PFNGLUNIFORM1IPROC Uniform1i = nullptr;
    PFNGLUNIFORM2FPROC Uniform2f = nullptr;
    PFNGLENABLEVERTEXATTRIBARRAYPROC EnableVertexAttribArray = nullptr;
    PFNGLDISABLEVERTEXATTRIBARRAYPROC DisableVertexAttribArray = nullptr;
    PFNGLVERTEXATTRIBPOINTERPROC VertexAttribPointer = nullptr;
    PFNGLGENBUFFERSPROC GenBuffers = nullptr;
    PFNGLDELETEBUFFERSPROC DeleteBuffers = nullptr;
    PFNGLBINDBUFFERPROC BindBuffer = nullptr;
    PFNGLBUFFERDATAPROC BufferData = nullptr;
    PFNGLBUFFERSUBDATAPROC BufferSubData = nullptr;
    PFNGLACTIVETEXTUREPROC ActiveTexture = nullptr;
    PFNGLGENVERTEXARRAYSPROC GenVertexArrays = nullptr;  // 3.0, optional
    PFNGLBINDVERTEXARRAYPROC BindVertexArray = nullptr;
    PFNGLDELETEVERTEXARRAYSPROC DeleteVertexArrays = nullptr;
    PFNGLBINDFRAGDATALOCATIONPROC BindFragDataLocation = nullptr;  // 3.0, optional

    bool core = false;     // everything every path needs
    bool fixed = false;    // the fixed-function calls
    bool shaders = false;  // GLSL programs and buffer objects
    bool vao = false;

    void Load(GLGetProcFn getProc) {
        auto get = [&](auto& fn, const char* name, bool& flag) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(getProc(name));
            if (!fn) flag = false;
        };
        core = true;
        get(GetString, "glGetString", core);
        get(GetError, "glGetError", core);
        get(GetIntegerv, "glGetIntegerv", core);
        get(Viewport, "glViewport", core);
        get(Enable, "glEnable", core);
        get(Disable, "glDisable", core);
        get(BlendFunc, "glBlendFunc", core);
        get(GenTextures, "glGenTextures", core);
        get(DeleteTextures, "glDeleteTextures", core);
        get(BindTexture, "glBindTexture", core);
        get(TexImage2D, "glTexImage2D", core);
        get(TexParameteri, "glTexParameteri", core);
        get(PixelStorei, "glPixelStorei", core);
        get(ClearColor, "glClearColor", core);
        get(Clear, "glClear", core);
        get(ReadPixels, "glReadPixels", core);
        get(ReadBuffer, "glReadBuffer", core);
        get(DrawElements, "glDrawElements", core);
        get(Flush, "glFlush", core);
        fixed = true;
        get(MatrixMode, "glMatrixMode", fixed);
        get(LoadIdentity, "glLoadIdentity", fixed);
        get(Ortho, "glOrtho", fixed);
        get(AlphaFunc, "glAlphaFunc", fixed);
        get(TexEnvi, "glTexEnvi", fixed);
        get(ShadeModel, "glShadeModel", fixed);
        get(EnableClientState, "glEnableClientState", fixed);
        get(DisableClientState, "glDisableClientState", fixed);
        get(VertexPointer, "glVertexPointer", fixed);
        get(TexCoordPointer, "glTexCoordPointer", fixed);
        get(ColorPointer, "glColorPointer", fixed);
        shaders = true;
        get(CreateShader, "glCreateShader", shaders);
        get(ShaderSource, "glShaderSource", shaders);
        get(CompileShader, "glCompileShader", shaders);
        get(GetShaderiv, "glGetShaderiv", shaders);
        get(GetShaderInfoLog, "glGetShaderInfoLog", shaders);
        get(DeleteShader, "glDeleteShader", shaders);
        get(CreateProgram, "glCreateProgram", shaders);
        get(AttachShader, "glAttachShader", shaders);
        get(BindAttribLocation, "glBindAttribLocation", shaders);
        get(LinkProgram, "glLinkProgram", shaders);
        get(GetProgramiv, "glGetProgramiv", shaders);
        get(DeleteProgram, "glDeleteProgram", shaders);
        get(UseProgram, "glUseProgram", shaders);
        get(GetUniformLocation, "glGetUniformLocation", shaders);
        get(Uniform1i, "glUniform1i", shaders);
        get(Uniform2f, "glUniform2f", shaders);
        get(EnableVertexAttribArray, "glEnableVertexAttribArray", shaders);
        get(DisableVertexAttribArray, "glDisableVertexAttribArray", shaders);
        get(VertexAttribPointer, "glVertexAttribPointer", shaders);
        get(GenBuffers, "glGenBuffers", shaders);
        get(DeleteBuffers, "glDeleteBuffers", shaders);
        get(BindBuffer, "glBindBuffer", shaders);
        get(BufferData, "glBufferData", shaders);
        get(BufferSubData, "glBufferSubData", shaders);
        get(ActiveTexture, "glActiveTexture", shaders);
        vao = true;
        get(GenVertexArrays, "glGenVertexArrays", vao);
        get(BindVertexArray, "glBindVertexArray", vao);
        get(DeleteVertexArrays, "glDeleteVertexArrays", vao);
        bool optional = true;
        get(BindFragDataLocation, "glBindFragDataLocation", optional);
    }
};
#undef GL11

// "4.5 (Compatibility Profile) Mesa 22.3.6" → 45; "1.30" → 130 with scale 100.
int ParseVersion(const GLubyte* text, int scale) {
    if (!text) return 0;
    const char* s = reinterpret_cast<const char*>(text);
    while (*s && (*s < '0' || *s > '9')) ++s;
    int major = 0, minor = 0;
    while (*s >= '0' && *s <= '9') major = major * 10 + (*s++ - '0');
    if (*s == '.') {
        ++s;
        int digits = 0, limit = scale == 100 ? 2 : 1;
        while (*s >= '0' && *s <= '9' && digits < limit) {
            minor = minor * 10 + (*s++ - '0');
            ++digits;
        }
        if (scale == 100 && digits == 1) minor *= 10;
    }
    return major * scale + minor;
}

// ---------------------------------------------------------------------------
// Shaders
// ---------------------------------------------------------------------------
// Program variants: textured or flat-coloured fragments; what the fragment
// writes (straight colour, premultiplied colour, or straight with the mask's
// discard); colour per primitive (flat) or interpolated.
enum Output { OutStraight = 0, OutPremultiplied = 1, OutMask = 2 };
constexpr int VariantCount = 2 * 3 * 2;
inline int VariantIndex(bool textured, Output out, bool flat) {
    return (textured ? 6 : 0) + int(out) * 2 + (flat ? 1 : 0);
}

// Attribute locations, bound before linking.
constexpr GLuint AttrPos = 0, AttrUV = 1, AttrColor = 2;

std::string VertexSource(int glsl, bool flat) {
    std::string s;
    if (glsl >= 130) {
        s = "#version " + std::to_string(glsl) + "\n";
        s += "in vec2 a_pos;\nin vec2 a_uv;\nin vec4 a_color;\n";
        s += "noperspective out vec2 v_uv;\n";
        s += flat ? "flat out vec4 v_color;\n" : "noperspective out vec4 v_color;\n";
    } else {
        s = "#version 120\n";
        s += "attribute vec2 a_pos;\nattribute vec2 a_uv;\nattribute vec4 a_color;\n";
        s += "varying vec2 v_uv;\nvarying vec4 v_color;\n";
    }
    // u_scale = (2 / width, 2 / height): window pixels, origin top-left, y down.
    s += "uniform vec2 u_scale;\n"
         "void main() {\n"
         "  gl_Position = vec4(a_pos.x * u_scale.x - 1.0, 1.0 - a_pos.y * u_scale.y, 0.0, 1.0);\n"
         "  v_uv = a_uv;\n"
         "  v_color = a_color.zyxw;\n"  // bytes B G R A of 0xAARRGGBB
         "}\n";
    return s;
}

std::string FragmentSource(int glsl, bool textured, Output out, bool flat) {
    std::string s;
    const bool modern = glsl >= 130;
    if (modern) {
        s = "#version " + std::to_string(glsl) + "\n";
        s += "noperspective in vec2 v_uv;\n";
        s += flat ? "flat in vec4 v_color;\n" : "noperspective in vec4 v_color;\n";
        s += "out vec4 o_color;\n";
    } else {
        s = "#version 120\nvarying vec2 v_uv;\nvarying vec4 v_color;\n";
    }
    s += "uniform sampler2D u_tex;\nvoid main() {\n";
    if (textured)
        s += modern ? "  vec4 c = texture(u_tex, v_uv) * v_color;\n"
                    : "  vec4 c = texture2D(u_tex, v_uv) * v_color;\n";
    else
        s += "  vec4 c = v_color;\n";
    if (out == OutMask) s += "  if (c.a <= 0.5) discard;\n";
    if (out == OutPremultiplied) s += "  c = vec4(c.rgb * c.a, c.a);\n";
    s += modern ? "  o_color = c;\n}\n" : "  gl_FragColor = c;\n}\n";
    return s;
}

std::atomic<int> forced_path{int(Path::Auto)};

// Context identities, tagged so they never match the zero of a texture that
// no renderer has seen.
std::atomic<uint64_t> next_context_id{0x474C000000000001ull};

// Quads per batch: 16-bit indices reach 65536 vertices.
constexpr int MaxQuads = 16384;

inline Output OutputFor(int blend, bool premultiply) {
    switch (blend) {
        case BlendMask: return OutMask;
        case BlendAlpha:
        case BlendLight: return premultiply ? OutPremultiplied : OutStraight;
        default: return OutStraight;
    }
}

class GLRenderer final : public RenderBackend {
public:
    GLRenderer(int width, int height, const Funcs& f, SwapFn swap)
        : width_(std::max(width, 1)), height_(std::max(height, 1)), f_(f), swap_(std::move(swap)),
          id_(next_context_id.fetch_add(1)) {
        vertices_.resize(static_cast<size_t>(MaxQuads) * 4);
        batch_.out = vertices_.data();
        batch_.capacity = MaxQuads;
    }

    ~GLRenderer() override {
        // Only what this renderer made; textures still alive keep their names
        // and are re-uploaded by whichever renderer draws them next.
        if (f_.shaders && stats_.path != Path::FixedFunction) {
            f_.UseProgram(0);
            // Generic attribute 0 aliases the fixed pipeline's position.
            f_.DisableVertexAttribArray(AttrPos);
            f_.DisableVertexAttribArray(AttrUV);
            f_.DisableVertexAttribArray(AttrColor);
            for (GLuint p : programs_)
                if (p) f_.DeleteProgram(p);
            f_.BindBuffer(GL_ARRAY_BUFFER, 0);
            f_.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
            if (vbo_) f_.DeleteBuffers(1, &vbo_);
            if (ibo_) f_.DeleteBuffers(1, &ibo_);
            if (vao_) {
                f_.BindVertexArray(0);
                f_.DeleteVertexArrays(1, &vao_);
            }
        }
    }

    // Sets up the context for `path`; false when it cannot be had.
    bool Init(Path path, int glsl) {
        f_.GetError();  // drop anything left from before
        f_.Viewport(0, 0, width_, height_);
        f_.Disable(GL_DEPTH_TEST);
        f_.Disable(GL_DITHER);
        f_.Disable(GL_CULL_FACE);
        f_.Disable(GL_SCISSOR_TEST);
        f_.Disable(GL_STENCIL_TEST);
        f_.Disable(GL_BLEND);
        f_.PixelStorei(GL_UNPACK_ALIGNMENT, 4);
        f_.PixelStorei(GL_PACK_ALIGNMENT, 4);

        indices_.resize(static_cast<size_t>(MaxQuads) * 6);
        for (int q = 0; q < MaxQuads; ++q)
            for (int k = 0; k < 6; ++k)
                indices_[static_cast<size_t>(q) * 6 + k] = static_cast<uint16_t>(q * 4 + QuadIndices[k]);

        stats_.path = path;
        auto text = [&](GLenum what) {
            const GLubyte* t = f_.GetString(what);
            return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
        };
        stats_.glRenderer = text(GL_RENDERER);
        stats_.glVersion = text(GL_VERSION);
        if (path == Path::FixedFunction) return InitFixed();
        glsl_ = glsl;
        stats_.glsl = glsl;
        return InitShaders();
    }

    const char* Name() const override { return "opengl"; }
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    const Stats& GetStats() const { return stats_; }

    void Clear(uint32_t rgb) override {
        Flush();
        f_.ClearColor(((rgb >> 16) & 0xFF) / 255.0f, ((rgb >> 8) & 0xFF) / 255.0f,
                      (rgb & 0xFF) / 255.0f, 1.0f);
        f_.Clear(GL_COLOR_BUFFER_BIT);
    }

    void DrawTriangles(Texture* tex, int blend, const Vertex* v, int count) override {
        if (!v || count < 3) return;
        if (tex && !HasTexels(*tex)) return;  // a texture without pixels has nothing to show
        if (blend < BlendMask || blend > BlendShade) blend = BlendSolid;
        Select(tex, blend);
        int next = 0;
        while (true) {
            next = AppendTriangles(batch_, v, next, count);
            if (next + 3 > count) break;
            Flush();  // full: draw what is there and go on from `next`
        }
    }

    // glFlush hands the batches to the driver, which starts on them (a
    // software GL rasterises on its own threads) while the game sleeps.
    void Submit() override {
        Flush();
        f_.Flush();
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
        f_.PixelStorei(GL_PACK_ROW_LENGTH, 0);
        f_.ReadBuffer(GL_BACK);
        // GL counts rows from the bottom.
        f_.ReadPixels(x0, height_ - y1, rw, rh, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                      readback_.data());
        for (int row = 0; row < rh; ++row) {
            const uint32_t* src = &readback_[static_cast<size_t>(rh - 1 - row) * rw];
            uint32_t* dst = argb + static_cast<size_t>(y0 - y + row) * w + (x0 - x);
            for (int col = 0; col < rw; ++col) dst[col] = src[col] | 0xFF000000u;
        }
    }

    void ReleaseTexture(Texture& t) override {
        if (t.gpu_name == 0 || t.gpu_context != id_) return;
        if (&t == tex_ || t.gpu_name == boundName_) {
            Flush();  // the pending batch still samples it
            tex_ = nullptr;
            boundName_ = 0;
            f_.BindTexture(GL_TEXTURE_2D, 0);
        }
        const GLuint name = t.gpu_name;
        f_.DeleteTextures(1, &name);
        ++stats_.deletes;
        t.gpu_name = 0;
        t.gpu_generation = 0;
        t.gpu_context = 0;
    }

private:
    bool InitFixed() {
        if (!f_.fixed) return false;
        f_.MatrixMode(GL_PROJECTION);
        f_.LoadIdentity();
        f_.Ortho(0, width_, height_, 0, -1, 1);  // origin top-left, y down
        f_.MatrixMode(GL_TEXTURE);
        f_.LoadIdentity();
        f_.MatrixMode(GL_MODELVIEW);
        f_.LoadIdentity();
        f_.Disable(GL_LIGHTING);
        f_.Disable(GL_TEXTURE_2D);
        f_.Disable(GL_ALPHA_TEST);
        // Above one half: alpha 128 of 255 passes, 127 fails. The reference
        // sits just under 0.5 because llvmpipe compares in 8 bits, where 0.5
        // itself rounds to 128 and would turn 128 away.
        f_.AlphaFunc(GL_GREATER, 0.499f);
        f_.ShadeModel(GL_SMOOTH);
        f_.TexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        f_.EnableClientState(GL_VERTEX_ARRAY);
        f_.EnableClientState(GL_COLOR_ARRAY);
        f_.EnableClientState(GL_TEXTURE_COORD_ARRAY);
        // The fixed pipeline reads colour bytes R G B A: a converted copy.
        converted_.resize(vertices_.size());
        f_.VertexPointer(2, GL_FLOAT, sizeof(Vertex), &converted_[0].x);
        f_.TexCoordPointer(2, GL_FLOAT, sizeof(Vertex), &converted_[0].u);
        f_.ColorPointer(4, GL_UNSIGNED_BYTE, sizeof(Vertex), &converted_[0].color);
        return f_.GetError() == GL_NO_ERROR;
    }

    bool InitShaders() {
        if (!f_.shaders) return false;
        programs_.assign(VariantCount, 0);
        // One program proves the version compiles; the rest come on first use.
        if (!Program(VariantIndex(true, OutPremultiplied, glsl_ >= 130))) return false;
        if (f_.vao && glsl_ >= 130) {
            f_.GenVertexArrays(1, &vao_);
            f_.BindVertexArray(vao_);
        }
        f_.GenBuffers(1, &vbo_);
        f_.GenBuffers(1, &ibo_);
        f_.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, ibo_);
        f_.BufferData(GL_ELEMENT_ARRAY_BUFFER, indices_.size() * sizeof(uint16_t), indices_.data(),
                      GL_STATIC_DRAW);
        f_.BindBuffer(GL_ARRAY_BUFFER, vbo_);
        f_.BufferData(GL_ARRAY_BUFFER, vertices_.size() * sizeof(Vertex), nullptr, GL_STREAM_DRAW);
        f_.EnableVertexAttribArray(AttrPos);
        f_.EnableVertexAttribArray(AttrUV);
        f_.EnableVertexAttribArray(AttrColor);
        PointAttributes(0);
        f_.ActiveTexture(GL_TEXTURE0);
        if (f_.GetError() != GL_NO_ERROR) return false;
        return true;
    }

    // The vertex attributes read from vertex `first` of the buffer on, so a
    // batch's indices 0.. address the batch wherever it was written.
    void PointAttributes(size_t first) {
        const size_t base = first * sizeof(Vertex);
        f_.VertexAttribPointer(AttrPos, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                               reinterpret_cast<const void*>(base + offsetof(Vertex, x)));
        f_.VertexAttribPointer(AttrUV, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                               reinterpret_cast<const void*>(base + offsetof(Vertex, u)));
        f_.VertexAttribPointer(AttrColor, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Vertex),
                               reinterpret_cast<const void*>(base + offsetof(Vertex, color)));
        pointedAt_ = first;
    }

    GLuint Compile(GLenum kind, const std::string& src) {
        GLuint s = f_.CreateShader(kind);
        if (!s) return 0;
        const char* text = src.c_str();
        f_.ShaderSource(s, 1, &text, nullptr);
        f_.CompileShader(s);
        GLint ok = GL_FALSE;
        f_.GetShaderiv(s, GL_COMPILE_STATUS, &ok);
        if (!ok) {
            char log[512] = {0};
            f_.GetShaderInfoLog(s, sizeof log - 1, nullptr, log);
            stats_.shaderLog = log;
            f_.DeleteShader(s);
            return 0;
        }
        return s;
    }

    // The program of a variant, compiled on first use; 0 when it fails.
    GLuint Program(int variant) {
        if (programs_[variant]) return programs_[variant];
        const bool textured = variant >= 6;
        const Output out = static_cast<Output>((variant % 6) / 2);
        const bool flat = (variant & 1) != 0 && glsl_ >= 130;
        GLuint vs = Compile(GL_VERTEX_SHADER, VertexSource(glsl_, flat));
        GLuint fs = Compile(GL_FRAGMENT_SHADER, FragmentSource(glsl_, textured, out, flat));
        GLuint p = 0;
        if (vs && fs) {
            p = f_.CreateProgram();
            f_.AttachShader(p, vs);
            f_.AttachShader(p, fs);
            f_.BindAttribLocation(p, AttrPos, "a_pos");
            f_.BindAttribLocation(p, AttrUV, "a_uv");
            f_.BindAttribLocation(p, AttrColor, "a_color");
            if (glsl_ >= 130 && f_.BindFragDataLocation) f_.BindFragDataLocation(p, 0, "o_color");
            f_.LinkProgram(p);
            GLint ok = GL_FALSE;
            f_.GetProgramiv(p, GL_LINK_STATUS, &ok);
            if (!ok) {
                f_.DeleteProgram(p);
                p = 0;
            }
        }
        if (vs) f_.DeleteShader(vs);
        if (fs) f_.DeleteShader(fs);
        if (!p) return 0;
        f_.UseProgram(p);
        f_.Uniform2f(f_.GetUniformLocation(p, "u_scale"), 2.0f / width_, 2.0f / height_);
        GLint sampler = f_.GetUniformLocation(p, "u_tex");
        if (sampler >= 0) f_.Uniform1i(sampler, 0);
        currentProgram_ = p;
        programs_[variant] = p;
        return p;
    }

    // Makes (tex, blend) the batch's state, drawing what came before if that
    // differs. Uploads the texture when it is new to this context or changed
    // (after drawing what was queued with its old pixels).
    void Select(Texture* tex, int blend) {
        const bool stale = tex && (tex->gpu_context != id_ || tex->gpu_name == 0 ||
                                   tex->gpu_generation != tex->generation);
        if (tex == tex_ && blend == blend_ && !stale &&
            (!tex || (tex->gpu_name == boundName_ && tex->filtered == boundFiltered_)))
            return;
        Flush();
        if (tex && stale) Upload(*tex);
        if (tex && (tex->gpu_name != boundName_ || tex->filtered != boundFiltered_)) {
            f_.BindTexture(GL_TEXTURE_2D, tex->gpu_name);
            SetFilter(tex->filtered);
            boundName_ = tex->gpu_name;
        }
        tex_ = tex;
        blend_ = blend;
    }

    void SetFilter(bool filtered) {
        const GLint filter = filtered ? GL_LINEAR : GL_NEAREST;
        f_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
        f_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
        boundFiltered_ = filtered;
    }

    void Upload(Texture& t) {
        // A name from another (older) context means nothing here: make a new one.
        if (t.gpu_context != id_ || t.gpu_name == 0) {
            GLuint name = 0;
            f_.GenTextures(1, &name);
            t.gpu_name = name;
            t.gpu_context = id_;
        }
        f_.BindTexture(GL_TEXTURE_2D, t.gpu_name);
        boundName_ = t.gpu_name;
        SetFilter(t.filtered);
        f_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        f_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        f_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);  // no mipmaps
        f_.PixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        const uint32_t* texels = t.pixels.data();
        std::vector<uint32_t> expanded;  // an alpha-only texture as white texels
        if (t.pixels.empty() && !t.alpha.empty()) {
            expanded.resize(t.alpha.size());
            for (size_t i = 0; i < expanded.size(); ++i)
                expanded[i] = (uint32_t(t.alpha[i]) << 24) | 0x00FFFFFFu;
            texels = expanded.data();
        }
        f_.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, t.width, t.height, 0, GL_BGRA,
                      GL_UNSIGNED_INT_8_8_8_8_REV, texels);
        t.gpu_generation = t.generation;
        ++stats_.uploads;
    }

    bool Premultiplies() const { return stats_.path == Path::Shader130; }

    // GL state for the batch about to be drawn.
    void ApplyState(bool flat) {
        const bool textured = tex_ != nullptr;
        if (blend_ != appliedBlend_) {
            const bool premul = Premultiplies();
            switch (blend_) {
                case BlendAlpha:
                    f_.Enable(GL_BLEND);
                    f_.BlendFunc(premul ? GL_ONE : GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
                    break;
                case BlendLight:
                    f_.Enable(GL_BLEND);
                    f_.BlendFunc(premul ? GL_ONE : GL_SRC_ALPHA, GL_ONE);
                    break;
                case BlendShade:
                    f_.Enable(GL_BLEND);
                    f_.BlendFunc(GL_DST_COLOR, GL_ZERO);
                    break;
                default:  // mask and solid write the fragment as it is
                    f_.Disable(GL_BLEND);
                    break;
            }
            if (stats_.path == Path::FixedFunction) {
                if (blend_ == BlendMask)
                    f_.Enable(GL_ALPHA_TEST);
                else
                    f_.Disable(GL_ALPHA_TEST);
            }
            appliedBlend_ = blend_;
        }
        if (stats_.path == Path::FixedFunction) {
            if (textured != appliedTextured_) {
                if (textured)
                    f_.Enable(GL_TEXTURE_2D);
                else
                    f_.Disable(GL_TEXTURE_2D);
                appliedTextured_ = textured;
            }
            if (flat != appliedFlat_) {
                f_.ShadeModel(flat ? GL_FLAT : GL_SMOOTH);
                appliedFlat_ = flat;
            }
            return;
        }
        const Output out = OutputFor(blend_, Premultiplies());
        GLuint p = Program(VariantIndex(textured, out, flat && glsl_ >= 130));
        if (!p) p = Program(VariantIndex(textured, out, false));
        if (p != currentProgram_) {
            f_.UseProgram(p);
            currentProgram_ = p;
        }
    }

    void Flush() {
        const int quads = batch_.quads;
        if (quads == 0) return;
        const bool flat = batch_.uniformColor;
        ApplyState(flat);
        const size_t nv = static_cast<size_t>(quads) * 4;
        if (stats_.path == Path::FixedFunction) {
            for (size_t i = 0; i < nv; ++i) {
                converted_[i] = vertices_[i];
                const uint32_t c = vertices_[i].color;  // 0xAARRGGBB → bytes R G B A
                converted_[i].color = (c & 0xFF00FF00u) | ((c >> 16) & 0xFFu) | ((c & 0xFFu) << 16);
            }
            f_.DrawElements(GL_TRIANGLES, quads * 6, GL_UNSIGNED_SHORT, indices_.data());
        } else {
            // Batches go one after another into the buffer, each where the
            // previous ended, so none overwrites what GL may still read; only a
            // batch that no longer fits orphans the buffer. Orphaning at every
            // batch (often hundreds a frame on the title screen) had the driver
            // allocate a whole new store each time, and the process heap grew
            // in jumps to hold the bursts of them.
            if (streamAt_ + nv > vertices_.size()) {
                f_.BufferData(GL_ARRAY_BUFFER, vertices_.size() * sizeof(Vertex), nullptr,
                              GL_STREAM_DRAW);
                streamAt_ = 0;
            }
            f_.BufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(streamAt_ * sizeof(Vertex)),
                             static_cast<GLsizeiptr>(nv * sizeof(Vertex)), vertices_.data());
            if (streamAt_ != pointedAt_) PointAttributes(streamAt_);
            f_.DrawElements(GL_TRIANGLES, quads * 6, GL_UNSIGNED_SHORT, nullptr);
            streamAt_ += nv;
        }
        ++stats_.drawCalls;
        stats_.quads += static_cast<uint64_t>(quads);
        batch_.quads = 0;
        batch_.uniformColor = true;
    }

    int width_, height_;
    Funcs f_;
    SwapFn swap_;
    uint64_t id_;
    int glsl_ = 0;

    std::vector<Vertex> vertices_;   // the batch
    std::vector<Vertex> converted_;  // fixed-function copy with R G B A colours
    std::vector<uint16_t> indices_;
    QuadBatch batch_;
    std::vector<uint32_t> readback_;
    std::vector<GLuint> programs_;
    GLuint vbo_ = 0, ibo_ = 0, vao_ = 0;
    size_t streamAt_ = 0;   // vertices written into the buffer's current store
    size_t pointedAt_ = 0;  // the vertex the attributes start at
    Stats stats_;

    // The pending batch's state, and what the context has now.
    Texture* tex_ = nullptr;
    int blend_ = BlendSolid;
    GLuint boundName_ = 0;
    bool boundFiltered_ = false;
    int appliedBlend_ = -1;
    bool appliedTextured_ = false;
    bool appliedFlat_ = false;
    GLuint currentProgram_ = 0;
};

}  // namespace

const char* PathName(Path path) {
    switch (path) {
        case Path::Shader130: return "glsl 1.30";
        case Path::Shader120: return "glsl 1.20";
        case Path::FixedFunction: return "fixed function";
        default: return "auto";
    }
}

void ForcePath(Path path) { forced_path.store(int(path)); }

bool GetStats(const RenderBackend* r, Stats* out) {
    auto* g = dynamic_cast<const GLRenderer*>(r);
    if (!g || !out) return false;
    *out = g->GetStats();
    return true;
}

}  // namespace gl

std::unique_ptr<RenderBackend> CreateGLRenderer(int width, int height, GLGetProcFn getProc,
                                                SwapFn swap) {
    using namespace gl;
    if (!getProc) return nullptr;
    Funcs f;
    f.Load(getProc);
    if (!f.core) return nullptr;
    const int version = ParseVersion(f.GetString(GL_VERSION), 10);
    if (version < 12) return nullptr;  // BGRA uploads need 1.2
    const int glsl =
        version >= 20 && f.shaders ? ParseVersion(f.GetString(GL_SHADING_LANGUAGE_VERSION), 100) : 0;

    // Candidates in order; a forced path goes first.
    std::vector<std::pair<Path, int>> tries;
    const Path forced = static_cast<Path>(forced_path.load());
    auto add = [&](Path p) {
        if (p == Path::Shader130 && glsl >= 130) {
            tries.push_back({p, 130});
            if (glsl >= 140) tries.push_back({p, 140});  // core-only contexts
            if (glsl >= 150) tries.push_back({p, 150});
        }
        if (p == Path::Shader120 && glsl >= 120) tries.push_back({p, 120});
        if (p == Path::FixedFunction && f.fixed) tries.push_back({p, 0});
    };
    if (forced != Path::Auto) add(forced);
    add(Path::Shader130);
    add(Path::Shader120);
    add(Path::FixedFunction);
    for (const auto& [path, lang] : tries) {
        auto r = std::make_unique<GLRenderer>(width, height, f, swap);
        if (r->Init(path, lang)) return r;
    }
    return nullptr;
}

}  // namespace plat
