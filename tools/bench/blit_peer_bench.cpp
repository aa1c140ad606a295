// The software blit and textured triangles beside a peer (SDL2's software
// surfaces, and its software renderer's SDL_RenderGeometry for the
// triangles) on the same 1280 x 720 pictures: each row is a case of ours and
// the peer's nearest match, run in alternating rounds in one process, in
// megapixels drawn per second of this thread's CPU time. Built natively with
// VEXIL_SDL_PEER (scripts/blit_bench.sh); the Windows build runs our side
// only, so the script can set its figures beside the native peer's.
//   blit_peer_bench [rounds [seconds per side and round [only rows naming this]]]
// Prints one tab-separated line per row: "row", the row's name, our best
// rate, the peer's best rate ("-" without the peer).
#ifdef _WIN32
#include "tools/bench/bench_clock.h"
#else
#include <time.h>
#endif

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#ifdef VEXIL_SDL_PEER
#include <SDL.h>
#endif

#include "image/soft_blend_tables.h"
#include "softrender/blit_kernels.h"
#include "softrender/stretch_blit.h"
#include "softrender/triangle_raster.h"

namespace {

const int Width = 1280, Height = 720;

double ThreadSeconds()
{
#ifdef _WIN32
    return CpuTime();
#else
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
#endif
}

// The pictures both sides draw from. The 32-bit ones are read by the peer
// as XRGB8888 (plain, sprites) or ARGB8888 (alpha); the 16-bit ones as
// RGB565. Our 16-bit alpha picture is a colour word and an alpha byte per
// pixel; the peer's 16-bit-target alpha rows read the 32-bit alpha picture.
enum Picture { PLAIN32, ALPHA32, SPRITES32, PLAIN16, ALPHA16, SPRITES16, PICTURES };

const uint32_t Key32 = 0x00FF00FF, Key16 = 0xF81F;

struct Pictures {
    std::vector<uint8_t> bytes[PICTURES];
    std::vector<uint8_t> runTable32;
};

uint32_t Noise(uint32_t i)
{
    i ^= i >> 15;
    i *= 0x2C1B3C6Du;
    i ^= i >> 12;
    i *= 0x297A2D39u;
    return i ^ (i >> 15);
}

// Sprites: squares of drawn pixels among keyed ones, as a sprite sheet.
bool Inside(int x, int y)
{
    return ((x / 40 + y / 40) % 2) == 0;
}

void MakePictures(Pictures& p)
{
    const size_t n = (size_t)Width * Height;
    for (int k = 0; k < PICTURES; k++)
        p.bytes[k].resize(n * (k == PLAIN16 || k == SPRITES16 ? 2 : 4));
    for (size_t i = 0; i < n; i++) {
        const int x = (int)(i % Width), y = (int)(i / Width);
        const uint32_t v = Noise((uint32_t)i), a = Noise((uint32_t)i + 0x9E3779B9u) >> 24;
        const uint32_t plain = v & 0xFFFFFF, alpha = plain | a << 24;
        const uint32_t sprite = Inside(x, y) ? 0x204060u + (uint32_t)(x * 7 + y * 3) % 0x100 : Key32;
        const uint16_t w16 = (uint16_t)v, sprite16 = Inside(x, y) ? (uint16_t)(0x2104 + (x * 7 + y * 3) % 0x100)
                                                                   : (uint16_t)Key16;
        const uint32_t alpha16 = (v & 0xFFFF) | a << 16;
        memcpy(&p.bytes[PLAIN32][i * 4], &plain, 4);
        memcpy(&p.bytes[ALPHA32][i * 4], &alpha, 4);
        memcpy(&p.bytes[SPRITES32][i * 4], &sprite, 4);
        memcpy(&p.bytes[PLAIN16][i * 2], &w16, 2);
        memcpy(&p.bytes[ALPHA16][i * 4], &alpha16, 4);
        memcpy(&p.bytes[SPRITES16][i * 2], &sprite16, 2);
    }
    // The sprites' run table: keyed and drawn runs of up to 64, a row end.
    for (int y = 0; y < Height; y++) {
        for (int x = 0; x < Width;) {
            const bool drawn = Inside(x, y);
            int len = 1;
            while (x + len < Width && len < 64 && Inside(x + len, y) == drawn)
                len++;
            p.runTable32.push_back((uint8_t)((drawn ? 0x40 : 0x00) | (len - 1)));
            x += len;
        }
        p.runTable32.push_back(0xC0);
    }
}

// The peer's side of a row.
enum PeerBlend { PEER_NONE, PEER_BLEND, PEER_ADD, PEER_MOD, PEER_ABSENT };

struct Row {
    const char* name;
    int targetKind;           // 1 32-bit XRGB8888, 0 RGB565
    Picture picture;
    int mode, param;
    uint32_t brightness;
    int transFlag;
    bool runTable;
    bool stretch;             // a half-size picture doubled
    // The peer: its source picture, read as ARGB8888 when argb, its blend
    // mode, alpha and colour modulation and colour key.
    Picture peerPicture;
    bool argb;
    PeerBlend peerBlend;
    int alphaMod;
    uint32_t colourMod;
    bool peerKey;
};

const uint32_t White = 0xFFFFFF, Tint = 0x80C0FF;

const Row Rows[] = {
    {"32: copy, same format", 1, PLAIN32, 0, 0, White, 0, false, false, PLAIN32, false, PEER_NONE, 255, White, false},
    {"32: copy, peer converting ARGB", 1, PLAIN32, 0, 0, White, 0, false, false, ALPHA32, true, PEER_NONE, 255,
     White, false},
    {"32: per-pixel alpha blend", 1, ALPHA32, 0, 0, White, 2, false, false, ALPHA32, true, PEER_BLEND, 255, White,
     false},
    {"32: per-pixel alpha x constant 200", 1, ALPHA32, 1, 200, White, 2, false, false, ALPHA32, true, PEER_BLEND,
     200, White, false},
    {"32: alpha-weighted add", 1, ALPHA32, 2, 255, White, 2, false, false, ALPHA32, true, PEER_ADD, 255, White,
     false},
    {"32: multiply", 1, PLAIN32, 4, 0, White, 0, false, false, PLAIN32, false, PEER_MOD, 255, White, false},
    {"32: constant alpha 128", 1, PLAIN32, 1, 128, White, 0, false, false, PLAIN32, false, PEER_BLEND, 128, White,
     false},
    {"32: constant alpha 100", 1, PLAIN32, 1, 100, White, 0, false, false, PLAIN32, false, PEER_BLEND, 100, White,
     false},
    {"32: per-pixel alpha, brightness", 1, ALPHA32, 0, 0, Tint, 2, false, false, ALPHA32, true, PEER_BLEND, 255,
     Tint, false},
    {"32: keyed sprites, run table", 1, SPRITES32, 0, 0, White, 1, true, false, SPRITES32, false, PEER_NONE, 255,
     White, true},
    {"32: keyed sprites, normal path", 1, SPRITES32, 0, 0, White, 2, false, false, SPRITES32, false, PEER_NONE, 255,
     White, true},
    {"32: 2x stretch copy, same format", 1, PLAIN32, 0, 0, White, 0, false, true, PLAIN32, false, PEER_NONE, 255,
     White, false},
    {"32: 2x stretch copy, peer converting", 1, PLAIN32, 0, 0, White, 0, false, true, ALPHA32, true, PEER_NONE, 255,
     White, false},
    {"32: 2x stretch keyed sprites", 1, SPRITES32, 0, 0, White, 1, false, true, SPRITES32, false, PEER_NONE, 255,
     White, true},
    {"32: 2x stretch per-pixel alpha", 1, ALPHA32, 0, 0, White, 2, false, true, ALPHA32, true, PEER_BLEND, 255, White,
     false},
    {"16: copy", 0, PLAIN16, 0, 0, White, 0, false, false, PLAIN16, false, PEER_NONE, 255, White, false},
    {"16: keyed sprites", 0, SPRITES16, 0, 0, White, 2, false, false, SPRITES16, false, PEER_NONE, 255, White, true},
    {"16: per-pixel alpha blend", 0, ALPHA16, 0, 0, White, 2, false, false, ALPHA32, true, PEER_BLEND, 255, White,
     false},
    {"16: alpha-weighted add", 0, ALPHA16, 2, 255, White, 2, false, false, ALPHA32, true, PEER_ADD, 255, White,
     false},
    {"16: multiply", 0, PLAIN16, 4, 0, White, 0, false, false, PLAIN16, false, PEER_MOD, 255, White, false},
    {"16: constant alpha 128", 0, PLAIN16, 1, 128, White, 0, false, false, PLAIN16, false, PEER_BLEND, 128, White,
     false},
    {"16: constant alpha 100", 0, PLAIN16, 1, 100, White, 0, false, false, PLAIN16, false, PEER_BLEND, 100, White,
     false},
    {"16: per-pixel alpha, brightness", 0, ALPHA16, 0, 0, Tint, 2, false, false, ALPHA32, true, PEER_BLEND, 255, Tint,
     false},
    {"16: 2x stretch copy", 0, PLAIN16, 0, 0, White, 0, false, true, PLAIN16, false, PEER_NONE, 255, White, false},
};

BlitImageDesc Describe(uint8_t* pixels, int w, int h, int pitch, int bpp, int kind, int alphaFlag)
{
    BlitImageDesc d = {};
    d.width = w;
    d.height = h;
    d.pixels = pixels;
    d.pitch = pitch;
    d.bytesPerPixel = bpp;
    d.pixelKind = kind;
    d.alphaFlag = alphaFlag;
    d.bodyPixels = pixels;
    d.bodyWidth = w;
    d.bodyHeight = h;
    return d;
}

// Our side of a row, ready to run.
struct Ours {
    BlitImageDesc dst, src;
    BlitDrawValues draw;
    int32_t rect[4];
    const Row* row;

    void Run() const
    {
        if (row->stretch)
            PlanAndRunStretch(&dst, &src, rect, row->transFlag, nullptr, &draw);
        else
            PlanAndRunBlit(&dst, &src, 0, 0, row->transFlag, nullptr, &draw);
    }
};

Ours MakeOurs(const Row& r, Pictures& p, std::vector<uint8_t>& target)
{
    Ours o;
    o.row = &r;
    const int dBpp = r.targetKind == 1 ? 4 : 2;
    o.dst = Describe(target.data(), Width, Height, Width * dBpp, dBpp, r.targetKind, 0);
    const int sBpp = r.picture == PLAIN16 || r.picture == SPRITES16 ? 2 : 4;
    const int sw = r.stretch ? Width / 2 : Width, sh = r.stretch ? Height / 2 : Height;
    o.src = Describe(p.bytes[r.picture].data(), sw, sh, Width * sBpp, sBpp, r.targetKind,
                     r.picture == ALPHA32 || r.picture == ALPHA16);
    o.src.transColor = r.targetKind == 1 ? Key32 : Key16;
    if (r.runTable) {
        o.src.runTable = p.runTable32.data();
        o.src.runTableSize = p.runTable32.size();
        o.src.runTableValid = 1;
    }
    o.draw = BlitDrawValues{r.mode, r.param, r.brightness, {0, 0, Width, Height}};
    o.rect[0] = 0;
    o.rect[1] = 0;
    o.rect[2] = Width;
    o.rect[3] = Height;
    return o;
}

#ifdef VEXIL_SDL_PEER
struct Peer {
    SDL_Surface* dst = nullptr;
    SDL_Surface* src = nullptr;
    bool stretch = false;

    void Run() const
    {
        SDL_Rect to = {0, 0, Width, Height};
        if (stretch)
            SDL_BlitScaled(src, nullptr, dst, &to);
        else
            SDL_BlitSurface(src, nullptr, dst, &to);
    }
    ~Peer()
    {
        SDL_FreeSurface(src);
        SDL_FreeSurface(dst);
    }
};

bool MakePeer(const Row& r, Pictures& p, std::vector<uint8_t>& target, Peer& peer)
{
    const bool sixteen = r.peerPicture == PLAIN16 || r.peerPicture == SPRITES16;
    const Uint32 srcFormat = sixteen ? SDL_PIXELFORMAT_RGB565 : r.argb ? SDL_PIXELFORMAT_ARGB8888
                                                                       : SDL_PIXELFORMAT_RGB888;
    const Uint32 dstFormat = r.targetKind == 1 ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565;
    const int dBpp = r.targetKind == 1 ? 4 : 2, sBpp = sixteen ? 2 : 4;
    const int sw = r.stretch ? Width / 2 : Width, sh = r.stretch ? Height / 2 : Height;
    peer.stretch = r.stretch;
    peer.dst = SDL_CreateRGBSurfaceWithFormatFrom(target.data(), Width, Height, dBpp * 8, Width * dBpp, dstFormat);
    peer.src = SDL_CreateRGBSurfaceWithFormatFrom(p.bytes[r.peerPicture].data(), sw, sh, sBpp * 8, Width * sBpp,
                                                  srcFormat);
    if (!peer.dst || !peer.src)
        return false;
    static const SDL_BlendMode modes[] = {SDL_BLENDMODE_NONE, SDL_BLENDMODE_BLEND, SDL_BLENDMODE_ADD,
                                          SDL_BLENDMODE_MOD};
    SDL_SetSurfaceBlendMode(peer.src, modes[r.peerBlend]);
    SDL_SetSurfaceAlphaMod(peer.src, (Uint8)r.alphaMod);
    SDL_SetSurfaceColorMod(peer.src, (Uint8)(r.colourMod >> 16), (Uint8)(r.colourMod >> 8), (Uint8)r.colourMod);
    if (r.peerKey)
        SDL_SetColorKey(peer.src, SDL_TRUE, sixteen ? Key16 : Key32);
    return true;
}
#endif

// Megapixels per second of fn, which draws `pixels` pixels, over at least
// `seconds` of CPU time. The clock is read once per batch, and batches grow
// until a read costs nothing beside them (under Wine the thread's CPU time is
// a server request).
template <class Fn>
double Rate(Fn&& fn, double seconds, double pixels = (double)Width * Height)
{
    fn();
    const double start = ThreadSeconds();
    int done = 0, batch = 1;
    double spent = 0;
    while (done < 2 || spent < seconds) {
        for (int i = 0; i < batch; i++)
            fn();
        done += batch;
        spent = ThreadSeconds() - start;
        if (spent < seconds / 16)
            batch *= 2;
    }
    return pixels * done / spent / 1e6;
}

// Alternating rounds of ours and the peer's (when there is one), then the
// row's best rates; "-" where the peer has no case.
template <typename OurFn, typename PeerFn>
void TimeRow(const char* name, OurFn&& ours, PeerFn&& peer, bool havePeer, int rounds, double seconds, double pixels)
{
    double best = 0, peerBest = -1;
    for (int round = 0; round < rounds; round++) {
        const double ourRate = Rate(ours, seconds, pixels);
        best = ourRate > best ? ourRate : best;
        if (havePeer) {
            const double peerRate = Rate(peer, seconds, pixels);
            peerBest = peerRate > peerBest ? peerRate : peerBest;
        }
    }
    if (peerBest < 0)
        printf("row\t%s\t%.1f\t-\n", name, best);
    else
        printf("row\t%s\t%.1f\t%.1f\n", name, best, peerBest);
    fflush(stdout);
}

// ---- Textured triangles ----
// A 256 x 256 picture turned to eight angles (none a multiple of 90
// degrees, so no quad is an upright rectangle) at eight places on the
// 1280 x 720 target, each a quad of two triangles as the graph layer draws
// a turned sprite (corners top-left, top-right, bottom-left, bottom-right;
// triangles 0-1-2 and 1-2-3). A frame counts 8 x 256 x 256 pixels on both
// sides, the quads' area.
const int QuadSide = 256, Quads = 8;

struct TriRow {
    const char* name;
    int targetKind;           // 1 32-bit XRGB8888, 0 RGB565
    Picture picture;          // ours
    int mode, param;
    uint32_t brightness;
    int transFlag;
    // The peer: its texture's picture, read as ARGB8888 when argb, its
    // blend mode and the vertices' colour (colour and alpha modulation).
    Picture peerPicture;
    bool argb;
    PeerBlend peerBlend;
    int alphaMod;
    uint32_t colourMod;
};

const TriRow TriRows[] = {
    {"tri 32: copy", 1, PLAIN32, 0, 0, White, 0, PLAIN32, false, PEER_NONE, 255, White},
    {"tri 32: per-pixel alpha blend", 1, ALPHA32, 0, 0, White, 1, ALPHA32, true, PEER_BLEND, 255, White},
    {"tri 32: per-pixel alpha x constant 200", 1, ALPHA32, 1, 200, White, 1, ALPHA32, true, PEER_BLEND, 200, White},
    {"tri 32: alpha-weighted add", 1, ALPHA32, 2, 255, White, 1, ALPHA32, true, PEER_ADD, 255, White},
    {"tri 32: multiply", 1, PLAIN32, 4, 0, White, 0, PLAIN32, false, PEER_MOD, 255, White},
    {"tri 32: constant alpha 128", 1, PLAIN32, 1, 128, White, 0, PLAIN32, false, PEER_BLEND, 128, White},
    {"tri 32: copy, brightness", 1, PLAIN32, 0, 0, Tint, 0, PLAIN32, false, PEER_NONE, 255, Tint},
    {"tri 32: per-pixel alpha, brightness", 1, ALPHA32, 0, 0, Tint, 1, ALPHA32, true, PEER_BLEND, 255, Tint},
    {"tri 16: copy", 0, PLAIN16, 0, 0, White, 0, PLAIN16, false, PEER_NONE, 255, White},
    {"tri 16: per-pixel alpha blend", 0, ALPHA16, 0, 0, White, 1, ALPHA32, true, PEER_BLEND, 255, White},
    {"tri 16: alpha-weighted add", 0, ALPHA16, 2, 255, White, 1, ALPHA32, true, PEER_ADD, 255, White},
    {"tri 16: multiply", 0, PLAIN16, 4, 0, White, 0, PLAIN16, false, PEER_MOD, 255, White},
    {"tri 16: constant alpha 128", 0, PLAIN16, 1, 128, White, 0, PLAIN16, false, PEER_BLEND, 128, White},
};

// The four corners of each quad: x, y.
struct QuadCorners {
    int32_t x[4], y[4];
};

void MakeQuads(QuadCorners* q)
{
    static const double degrees[Quads] = {12, 33, 51, 70, 105, 142, 200, 300};
    static const int sx[4] = {-1, 1, -1, 1}, sy[4] = {-1, -1, 1, 1};
    for (int i = 0; i < Quads; i++) {
        const double cx = 200 + 293.3 * (i % 4), cy = i < 4 ? 200 : 520;
        const double a = degrees[i] * 3.14159265358979 / 180, c = cos(a), s = sin(a);
        for (int k = 0; k < 4; k++) {
            const double dx = sx[k] * QuadSide / 2.0, dy = sy[k] * QuadSide / 2.0;
            q[i].x[k] = (int32_t)lround(cx + dx * c - dy * s);
            q[i].y[k] = (int32_t)lround(cy + dx * s + dy * c);
        }
    }
}

struct TriOurs {
    BlitImageDesc dst, src;
    BlitDrawValues draw;
    SoftTriangleVertex v[Quads][4];
    int32_t trans;

    void Run() const
    {
        for (int i = 0; i < Quads; i++) {
            PlanAndRunTriangle(&dst, &src, &v[i][0], trans, nullptr, 0, &draw);
            PlanAndRunTriangle(&dst, &src, &v[i][1], trans, nullptr, 0, &draw);
        }
    }
};

TriOurs MakeTriOurs(const TriRow& r, Pictures& p, std::vector<uint8_t>& target, const QuadCorners* q)
{
    TriOurs o;
    const int dBpp = r.targetKind == 1 ? 4 : 2;
    o.dst = Describe(target.data(), Width, Height, Width * dBpp, dBpp, r.targetKind, 0);
    const int sBpp = r.picture == PLAIN16 ? 2 : 4;
    o.src = Describe(p.bytes[r.picture].data(), QuadSide, QuadSide, Width * sBpp, sBpp, r.targetKind,
                     r.picture == ALPHA32 || r.picture == ALPHA16);
    o.draw = BlitDrawValues{r.mode, r.param, r.brightness, {0, 0, Width, Height}};
    o.trans = r.transFlag;
    static const int32_t u[4] = {0, QuadSide, 0, QuadSide}, v[4] = {0, 0, QuadSide, QuadSide};
    for (int i = 0; i < Quads; i++)
        for (int k = 0; k < 4; k++)
            o.v[i][k] = SoftTriangleVertex{q[i].x[k], q[i].y[k], u[k], v[k]};
    return o;
}

#ifdef VEXIL_SDL_PEER
// The peer: a software renderer on a surface over the peer's target, the
// picture as a texture, and all quads in one SDL_RenderGeometry call, run
// to the end by SDL_RenderFlush.
struct TriPeer {
    SDL_Surface* dst = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    SDL_Vertex vertices[Quads * 4];
    int indices[Quads * 6];

    void Run() const
    {
        SDL_RenderGeometry(renderer, texture, vertices, Quads * 4, indices, Quads * 6);
        SDL_RenderFlush(renderer);
    }
    ~TriPeer()
    {
        if (texture)
            SDL_DestroyTexture(texture);
        if (renderer)
            SDL_DestroyRenderer(renderer);
        SDL_FreeSurface(dst);
    }
};

bool MakeTriPeer(const TriRow& r, Pictures& p, std::vector<uint8_t>& target, const QuadCorners* q, TriPeer& peer)
{
    const bool sixteen = r.peerPicture == PLAIN16;
    const Uint32 srcFormat = sixteen ? SDL_PIXELFORMAT_RGB565 : r.argb ? SDL_PIXELFORMAT_ARGB8888
                                                                       : SDL_PIXELFORMAT_RGB888;
    const Uint32 dstFormat = r.targetKind == 1 ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565;
    const int dBpp = r.targetKind == 1 ? 4 : 2, sBpp = sixteen ? 2 : 4;
    peer.dst = SDL_CreateRGBSurfaceWithFormatFrom(target.data(), Width, Height, dBpp * 8, Width * dBpp, dstFormat);
    if (!peer.dst || !(peer.renderer = SDL_CreateSoftwareRenderer(peer.dst)))
        return false;
    peer.texture = SDL_CreateTexture(peer.renderer, srcFormat, SDL_TEXTUREACCESS_STATIC, QuadSide, QuadSide);
    if (!peer.texture || SDL_UpdateTexture(peer.texture, nullptr, p.bytes[r.peerPicture].data(), Width * sBpp) != 0)
        return false;
    static const SDL_BlendMode modes[] = {SDL_BLENDMODE_NONE, SDL_BLENDMODE_BLEND, SDL_BLENDMODE_ADD,
                                          SDL_BLENDMODE_MOD};
    SDL_SetTextureBlendMode(peer.texture, modes[r.peerBlend]);
    const SDL_Color colour = {(Uint8)(r.colourMod >> 16), (Uint8)(r.colourMod >> 8), (Uint8)r.colourMod,
                              (Uint8)r.alphaMod};
    static const float u[4] = {0, 1, 0, 1}, v[4] = {0, 0, 1, 1};
    for (int i = 0; i < Quads; i++) {
        for (int k = 0; k < 4; k++)
            peer.vertices[i * 4 + k] = SDL_Vertex{{(float)q[i].x[k], (float)q[i].y[k]}, colour, {u[k], v[k]}};
        static const int corner[6] = {0, 1, 2, 1, 2, 3};
        for (int k = 0; k < 6; k++)
            peer.indices[i * 6 + k] = i * 4 + corner[k];
    }
    return true;
}

// Pixels that differ between two targets.
size_t Changed(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int bpp)
{
    size_t n = 0;
    for (size_t i = 0; i < a.size(); i += (size_t)bpp)
        n += memcmp(&a[i], &b[i], (size_t)bpp) != 0;
    return n;
}
#endif

void RunTriangleRows(Pictures& pictures, std::vector<uint8_t>& ourTarget, std::vector<uint8_t>& peerTarget,
                     int rounds, double seconds, const char* only)
{
    QuadCorners quads[Quads];
    MakeQuads(quads);
    const double frame = (double)Quads * QuadSide * QuadSide;
    std::vector<uint8_t> fresh(ourTarget.size());
    for (size_t i = 0; i < fresh.size(); i++)
        fresh[i] = (uint8_t)Noise((uint32_t)i * 7 + 1);
    for (const TriRow& r : TriRows) {
        if (only && !strstr(r.name, only))
            continue;
        std::copy(fresh.begin(), fresh.end(), ourTarget.begin());
        std::copy(fresh.begin(), fresh.end(), peerTarget.begin());
        TriOurs ours = MakeTriOurs(r, pictures, ourTarget, quads);
#ifdef VEXIL_SDL_PEER
        TriPeer peer;
        bool havePeer = MakeTriPeer(r, pictures, peerTarget, quads, peer);
        if (!havePeer)
            fprintf(stderr, "peer renderer: %s\n", SDL_GetError());
        // One frame each from the same target: a peer that leaves most of
        // what ours draws untouched is not drawing this case.
        if (havePeer) {
            const int bpp = r.targetKind == 1 ? 4 : 2;
            ours.Run();
            peer.Run();
            const size_t ourPixels = Changed(ourTarget, fresh, bpp), peerPixels = Changed(peerTarget, fresh, bpp);
            if (peerPixels * 2 < ourPixels) {
                fprintf(stderr, "%s: the peer changed %zu pixels, ours %zu; peer left out\n", r.name, peerPixels,
                        ourPixels);
                havePeer = false;
            }
        }
#endif
#ifdef VEXIL_SDL_PEER
        TimeRow(r.name, [&] { ours.Run(); }, [&] { peer.Run(); }, havePeer, rounds, seconds, frame);
#else
        TimeRow(r.name, [&] { ours.Run(); }, [] {}, false, rounds, seconds, frame);
#endif
    }
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 && atoi(argv[1]) > 0 ? atoi(argv[1]) : 3;
    const double seconds = argc > 2 && atof(argv[2]) > 0 ? atof(argv[2]) : 0.3;
    const char* only = argc > 3 ? argv[3] : nullptr;
    BuildSoftBlendTables();
    Pictures pictures;
    MakePictures(pictures);
    std::vector<uint8_t> ourTarget((size_t)Width * Height * 4), peerTarget((size_t)Width * Height * 4);
    for (size_t i = 0; i < ourTarget.size(); i++)
        ourTarget[i] = peerTarget[i] = (uint8_t)Noise((uint32_t)i * 7 + 1);

    for (const Row& r : Rows) {
        if (only && !strstr(r.name, only))
            continue;
        Ours ours = MakeOurs(r, pictures, ourTarget);
#ifdef VEXIL_SDL_PEER
        Peer peer;
        const bool havePeer = MakePeer(r, pictures, peerTarget, peer);
        if (!havePeer)
            fprintf(stderr, "peer surface: %s\n", SDL_GetError());
#endif
#ifdef VEXIL_SDL_PEER
        TimeRow(r.name, [&] { ours.Run(); }, [&] { peer.Run(); }, havePeer, rounds, seconds, (double)Width * Height);
#else
        TimeRow(r.name, [&] { ours.Run(); }, [] {}, false, rounds, seconds, (double)Width * Height);
#endif
    }
    RunTriangleRows(pictures, ourTarget, peerTarget, rounds, seconds, only);
    return 0;
}
