// platform.h — every service the game and the framework call, on one page.
//
// The services are global and single-threaded: one graphics context, one
// drawing state, one input state, one random generator. Behind them sit
// replaceable back ends chosen once at start-up (SDL window + OpenGL or
// software renderer for the real program; memory-only video, audio, scripted
// input and a virtual clock for tests, see platform/headless/headless.h).
//
// Handles are shared pointers; an empty handle is "none". Every operation that
// takes a handle does nothing (or returns 0 / "") when given none.
//
// Strings hold one byte per character (Latin-1). Coordinates are in virtual
// pixels unless a comment says window pixels; angles are in degrees; colours
// are 0..255 with a separate alpha 0..1.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// Handles
// ---------------------------------------------------------------------------
struct ImageData;   // frames of equal size with a hot spot (platform/image.h)
struct FontData;    // a TrueType face rendered once into a glyph atlas
struct PixmapData;  // 32-bit ARGB pixels in memory
struct SoundData;   // decoded sample with its loop flag
struct StreamData;  // an open text file
struct SocketData;  // a connected TCP socket

using Image = std::shared_ptr<ImageData>;
using Font = std::shared_ptr<FontData>;
using Pixmap = std::shared_ptr<PixmapData>;
using Sound = std::shared_ptr<SoundData>;
using Stream = std::shared_ptr<StreamData>;
using Socket = std::shared_ptr<SocketData>;
using Channel = int;  // 0 = none; channels come from AllocChannel

// ---------------------------------------------------------------------------
// Program lifetime
// ---------------------------------------------------------------------------
// Initialises the real back ends (SDL video/input/joysticks, real clock).
// Call once before anything else; tests call UseHeadlessPlatform instead.
void PlatformInit();
// Ends the program with this exit code. The real build flushes and exits; the
// headless build throws ProgramEnded so the test that drove the game regains
// control (see headless.h).
[[noreturn]] void EndProgram(int code);
// Fallback notes the platform produced ("renderer 2 is not available ...");
// returns "" when none is pending. The framework writes them to its log.
std::string NextPlatformNote();

// ---------------------------------------------------------------------------
// Window and frame
// ---------------------------------------------------------------------------
struct GraphicsMode {
    int width = 0, height = 0, depth = 0, hertz = 0;
};

enum : int {
    RendererOpenGL = 0,    // OpenGL 2D renderer
    RendererSoftware = 1,  // software renderer presented through SDL
    RendererLegacy = 2,    // not present on this host; falls back to 1
};

void SetWindowCaption(const std::string& caption);
// The picture the window system shows for the program's windows (title bar,
// task switcher), from the next window opened on; a null pixmap leaves the
// system's default.
void SetWindowIcon(const Pixmap& icon);
// Chooses the renderer for the next Graphics call. Returns the renderer that
// will actually be used (2 becomes 1, with a platform note).
int SelectRenderer(int renderer);
int CurrentRenderer();  // the renderer of the open context, -1 when closed
// depth 0 = window; 16/24/32 = full screen at that size. hertz is the rate
// Flip(-1) paces to. Returns false (no context) when the mode is unavailable.
// When the chosen renderer cannot be opened it falls back (OpenGL → software
// → an 800 × 600 window), each step leaving a platform note.
bool Graphics(int width, int height, int depth = 0, int hertz = 60, int flags = 0);
void EndGraphics();
bool GraphicsOpen();
int GraphicsWidth();   // window pixels of the open context
int GraphicsHeight();
bool GraphicsModeExists(int width, int height, int depth = 0, int hertz = 0);  // 0 = any
int CountGraphicsModes();
GraphicsMode GetGraphicsMode(int index);  // index 0 .. CountGraphicsModes()-1

void SetVirtualResolution(float width, float height);
float VirtualResolutionWidth();
float VirtualResolutionHeight();
float VirtualMouseX();  // the pointer in virtual pixels
float VirtualMouseY();

void SetClsColor(int r, int g, int b);
void Cls();
// sync 1 waits for vblank, 0 shows at once, -1 paces to the Graphics rate
// (in a window: a 1000/hertz target with the remainder carried, so 60 Hz gives
// 16/17 ms steps averaging 16.67 ms; sleeps until the target, or pulls the
// target up to now when late, so there is no catch-up burst). Polls events.
void Flip(int sync = -1);
// Starts the renderer on the frame drawn so far (its raster threads, the GL
// driver) and returns at once, so that the drawing runs while the caller
// waits for the frame's time; draws made before the next Flip still belong
// to the frame.
void SubmitDrawing();

void ShowMouse();
void HideMouse();
void MoveMouse(int x, int y);  // window pixels
bool AppTerminate();           // true once after a close request, then cleared
// True for the rest of the run once the session asked the program to end
// (SIGTERM or SIGINT): the closing screen then saves and ends at once.
bool AppTerminating();
bool AppSuspended();           // true while the window is not active

// ---------------------------------------------------------------------------
// Drawing state and primitives (reset by Graphics)
// ---------------------------------------------------------------------------
enum : int {
    BlendMask = 1,   // no blending; only pixels with alpha > 0.5 are drawn
    BlendSolid = 2,  // no blending (also any unknown value)
    BlendAlpha = 3,  // src × a + dst × (1 − a)
    BlendLight = 4,  // src × a + dst (additive)
    BlendShade = 5,  // src × dst (multiplicative)
};

void SetColor(int r, int g, int b);  // each clamped to 0..255; tints images
void GetColor(int& r, int& g, int& b);
void SetAlpha(float alpha);  // clamped to 0..1
float GetAlpha();
void SetBlend(int mode);
int GetBlend();
void SetScale(float sx, float sy);  // images and text
void GetScale(float& sx, float& sy);
void SetRotation(float degrees);  // images and text, about the hot spot
float GetRotation();
void SetLineWidth(float width);  // virtual pixels
float GetLineWidth();
void SetImageFont(const Font& font);  // none = the built-in default font
Font GetImageFont();

void DrawRect(float x, float y, float w, float h);
void DrawLine(float x1, float y1, float x2, float y2);
void DrawOval(float x, float y, float w, float h);  // ellipse inscribed in the box
// The hot spot lands on (x, y); scale and rotation turn about it.
void DrawImage(const Image& image, float x, float y, int frame = 0);
void DrawText(const std::string& text, float x, float y);  // top-left at (x, y)
int TextWidth(const std::string& text);  // current font, unscaled pixels
int TextHeight();

// ---------------------------------------------------------------------------
// Images, pixmaps and fonts
// ---------------------------------------------------------------------------
enum : int {
    ImageMasked = 1,
    ImageFiltered = 2,
    ImageDynamic = 8,
    ImageDefault = -1,  // masked and filtered
};

void AutoMidHandle(bool on);  // images loaded afterwards get a centred hot spot
Image LoadImage(const std::string& path, int flags = ImageDefault);
// Cells of cellWidth × cellHeight numbered left to right, top to bottom;
// frames firstCell .. firstCell + cellCount − 1 become frames 0.. of the image.
Image LoadAnimImage(const std::string& path, int cellWidth, int cellHeight, int firstCell,
                    int cellCount, int flags = ImageDefault);
Image CreateImage(int width, int height, int frames = 1, int flags = ImageDefault);
int ImageWidth(const Image& image);
int ImageHeight(const Image& image);
int ImageFrames(const Image& image);
void SetImageHandle(const Image& image, float x, float y);
void MidHandleImage(const Image& image);
// Copies the back buffer at window pixel (x, y) into a frame of the image.
void GrabImage(const Image& image, int x, int y, int frame = 0);
// Copies a frame of the image into a new pixmap / a pixmap into a frame.
Pixmap LockImage(const Image& image, int frame = 0);
void UnlockImage(const Image& image, const Pixmap& pixmap, int frame = 0);

Pixmap CreatePixmap(int width, int height);  // transparent black
Pixmap GrabPixmap(int x, int y, int w, int h);  // back buffer, window pixels
Pixmap LoadPixmap(const std::string& path);   // PNG
int PixmapWidth(const Pixmap& pixmap);
int PixmapHeight(const Pixmap& pixmap);
uint32_t ReadPixel(const Pixmap& pixmap, int x, int y);  // 0xAARRGGBB
void WritePixel(const Pixmap& pixmap, int x, int y, uint32_t argb);
// compression 0..9; returns true when the whole file was written.
bool SavePixmapPNG(const Pixmap& pixmap, const std::string& path, int compression = 9);

// Pixel height `size`; style 4 = smoothed (anti-aliased) glyphs, else 1-bit.
Font LoadImageFont(const std::string& path, int size, int style = 4);

// ---------------------------------------------------------------------------
// Sound
// ---------------------------------------------------------------------------
// Back-end names in the platform's order; the software mixer's come first.
std::vector<std::string> AudioDriverNames();
bool AudioDriverExists(const std::string& name);  // case-insensitive
bool SetAudioDriver(const std::string& name);     // before the first sound
std::string CurrentAudioDriver();
// Makes the OpenAL back end available when the library is present.
bool EnableOpenAL();
// Opens the chosen back end now instead of at the first sound, so that its
// fallback notes ("no audio device ...") come while the log takes them.
void OpenAudio();
// The open output and its format ("FreeAudio: 44100 Hz stereo 16-bit, ..."),
// "" before the first sound opens it.
std::string AudioDeviceDescription();

Sound LoadSound(const std::string& path, int flags = 0);  // WAV or Ogg Vorbis; 1 = loop
Channel AllocChannel();
Channel CueSound(const Sound& sound, Channel channel = 0);  // paused; 0 allocates
Channel PlaySound(const Sound& sound, Channel channel = 0);
void ResumeChannel(Channel channel);
void PauseChannel(Channel channel);
void StopChannel(Channel channel);
bool ChannelPlaying(Channel channel);
void SetChannelVolume(Channel channel, float volume);  // 0..1
void SetChannelPan(Channel channel, float pan);        // −1 left .. 1 right
void SetChannelRate(Channel channel, float rate);      // 1 = unchanged pitch

// ---------------------------------------------------------------------------
// Input (every query first polls pending events)
// ---------------------------------------------------------------------------
// Keys use the classic desktop virtual-key numbers (8 Backspace, 9 Tab,
// 13 Return, 27 Escape, 32 Space, 37..40 arrows, 48..57 digits, 65..90
// letters, 112..123 F1..F12, 160..165 left/right Shift, Control, Alt, ...).
enum : int { KeyCount = 256 };

bool KeyDown(int key);
int KeyHit(int key);  // presses since the previous call for this key
int GetChar();        // next typed character (Latin-1), 0 when none
void FlushKeys();

int MouseX();  // window pixels
int MouseY();
int MouseZ();  // wheel position
bool MouseDown(int button);  // 1 left, 2 right, 3 middle
int MouseHit(int button);
void FlushMouse();

int JoyCount();
std::string JoyName(int port);
int JoyButtonCaps(int port);  // 2^buttons − 1
bool JoyDown(int button, int port);
float JoyX(int port);  // axes −1..1
float JoyY(int port);
float JoyZ(int port);
float JoyR(int port);
float JoyU(int port);
float JoyV(int port);
float JoyHat(int port);  // −1 centred, 0 up, 0.25 right, 0.5 down, 0.75 left

// ---------------------------------------------------------------------------
// Time and random numbers
// ---------------------------------------------------------------------------
uint32_t MilliSecs();  // wraps at 2^32
void Delay(int ms);
std::string CurrentDate();  // "07 Dec 2026"
std::string CurrentTime();  // "23:56:19"

void SeedRnd(int seed);
int RndSeed();
double RndDouble();          // [0, 1)
double Rnd(double a, double b);  // min(a, b) + RndDouble() × |b − a|
int Rand(int a, int b);          // both ends included, either order

// ---------------------------------------------------------------------------
// Files and folders (paths relative to the current folder, "/" separated)
// ---------------------------------------------------------------------------
Stream ReadFile(const std::string& path);
Stream WriteFile(const std::string& path);  // creates or truncates
std::string ReadLine(const Stream& stream);  // to LF, zero byte or end; CR dropped
// Text followed by CR LF. Returns false when the write failed (disk full ...).
bool WriteLine(const Stream& stream, const std::string& text);
bool WriteString(const Stream& stream, const std::string& bytes);  // raw bytes
bool Eof(const Stream& stream);
// Returns false when buffered data could not be written out.
bool CloseStream(const Stream& stream);
int FileType(const std::string& path);  // 0 nothing, 1 file, 2 folder
bool ChangeDir(const std::string& path);
std::string CurrentDir();
bool DeleteFile(const std::string& path);
bool CreateDir(const std::string& path);
bool RenameFile(const std::string& from, const std::string& to);  // replaces `to`

// ---------------------------------------------------------------------------
// Network (TCP)
// ---------------------------------------------------------------------------
// Resolves the host (first IPv4 address) and connects; none on failure or
// when no connection is made within timeoutMs.
Socket ConnectSocket(const std::string& host, int port, int timeoutMs = 5000);
int ConnectAttempts();  // ConnectSocket calls so far in this process
int SocketSend(const Socket& socket, const std::string& bytes);  // bytes sent, −1 on error
int SocketReadAvail(const Socket& socket);  // bytes ready now, −1 when closed/failed
// Waits up to timeoutMs for data; returns what arrived ("" on time-out or when
// the peer closed; SocketConnected then tells which).
std::string SocketRecv(const Socket& socket, int maxBytes, int timeoutMs = 5000);
bool SocketConnected(const Socket& socket);
void CloseSocket(const Socket& socket);

// ---------------------------------------------------------------------------
// Memory statistics (feed the debug overlay only)
// ---------------------------------------------------------------------------
int64_t MemoryInUse();  // bytes held by images, fonts, sounds and pixmaps
int CollectGarbage();   // nothing to collect: returns 0

// ---------------------------------------------------------------------------
// Text utilities (1-based positions; out-of-range parts are cut, never errors)
// ---------------------------------------------------------------------------
std::string Left(const std::string& s, int n);
std::string Right(const std::string& s, int n);
std::string Mid(const std::string& s, int start, int count = -1);  // −1 = to the end
int Instr(const std::string& s, const std::string& sub, int start = 1);  // 0 = not found
std::string Replace(const std::string& s, const std::string& sub, const std::string& with);
std::string Trim(const std::string& s);  // drops codes below 33 at both ends
std::string Upper(const std::string& s);  // ASCII and Latin-1 letters
std::string Lower(const std::string& s);
int Asc(const std::string& s);  // first code, −1 for ""
std::string Chr(int code);      // low 8 bits
int ToInt(const std::string& s);  // blanks, sign, "%" binary, "$" hex; stops at junk
int64_t ToLong(const std::string& s);
double ToFloat(const std::string& s);
std::string Str(int64_t value);
std::string Str(double value);  // shortest round-trip form, e.g. "1.5"
