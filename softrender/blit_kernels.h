// The platform-free core of the software blitter: plain descriptions of the
// three images, the per-call job the kernels run, and the eight kernel
// families (normal / run-table x 16 / 32-bit x direct / palette source).
// The frame (PlanAndRunBlit) does every check, clip and table choice once
// per call; a family only loops.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Blend modes of the draw state that draw something.
enum {
    BLIT_MODE_COPY = 0,
    BLIT_MODE_ALPHA = 1,
    BLIT_MODE_ADD = 2,
    BLIT_MODE_SUB = 3,
    BLIT_MODE_MUL = 4,
    BLIT_MODE_INVERT = 10,
    BLIT_MODE_MUL_BLEND = 11,
};

// Right and bottom exclusive, as a draw area.
struct BlitRect {
    int32_t left, top, right, bottom;
};

// What the frame reads of one image. pixels is the image's (or view's)
// top-left pixel; for a view, the body fields describe the whole image the
// view lies in (bodyPixels, bodyWidth, bodyHeight), so the frame can tell a
// view from its whole body.
struct BlitImageDesc {
    int32_t width, height;
    uint8_t* pixels;
    int32_t pitch;
    int32_t bytesPerPixel;
    int32_t pixelKind;        // 0 R5G6B5, 1 32-bit
    int32_t paletteFlag;      // only 1 counts
    int32_t alphaFlag;        // only 1 counts
    uint32_t transColor;
    int32_t runTableValid;    // only 1 counts
    const uint8_t* runTable;  // null when none
    size_t runTableSize;      // bytes of runTable
    const void* palette;      // 4-byte entries for kind 1, 2-byte for kind 0
    int32_t paletteCount;
    const uint8_t* bodyPixels;
    int32_t bodyWidth, bodyHeight;
};

// The draw state values that a blit reads.
struct BlitDrawValues {
    int32_t mode;
    int32_t param;            // 0..255
    uint32_t brightness;      // 0x00RRGGBB; low 24 bits 0xFFFFFF = unchanged
    BlitRect area;
};

// One call's work, ready for a kernel: pointers at the first pixel drawn,
// row skips in bytes (pitch minus the bytes of w pixels), and the table
// rows chosen for p and the brightness.
struct BlitJob {
    uint8_t* dst;
    const uint8_t* src;
    const uint8_t* blend;     // null without a blend image
    ptrdiff_t dstSkip, srcSkip, blendSkip;
    int32_t w, h;
    int32_t dstBpp, srcBpp;
    int32_t mode;             // after the parameter gates (mode 1 at p 255 arrives as 0)
    int32_t param;
    int32_t brightActive;
    uint32_t brightness;
    uint32_t brR, brG, brB;
    int32_t alphaSource;      // direct sources only
    int32_t transFlag;        // the call's argument, non-zero = on
    uint32_t transColor;      // pixel value, or palette index
    const uint32_t* mulP;     // MulDiv255Table[p]
    const uint32_t* mulR;     // MulDiv255Table[brR]
    const uint32_t* mulG;
    const uint32_t* mulB;
    const int32_t* signedP;   // SignedMulDiv255Table[p]
    const uint8_t (*lerpP)[64]; // Lerp64Table[p >> 2]
    const uint8_t* ramp;      // BlendGraphRamp
    // Run-table path: the first code and the end of the table.
    const uint8_t* runTable;
    const uint8_t* runTableEnd;
    // Palette sources: the frame's scratch copy (256 entries of 32 bits;
    // packed 16-bit entries for kind 0) and the source body's palette.
    const void* palette;
    const void* bodyPalette;
    int32_t paletteCount;
};

typedef void (*BlitFamily)(const BlitJob* job);

// The eight families. Each takes every mode 0 to 11 (5 to 9 draw nothing).
void BlitNormal32Direct(const BlitJob* job);
void BlitRun32Direct(const BlitJob* job);
void BlitNormal16Direct(const BlitJob* job);
void BlitRun16Direct(const BlitJob* job);
void BlitNormal32Palette(const BlitJob* job);
void BlitRun32Palette(const BlitJob* job);
void BlitNormal16Palette(const BlitJob* job);
void BlitRun16Palette(const BlitJob* job);

// The frame without the platform: refusals, clipping, pointers, path and
// family choice, parameter gates. BlitMemImage fills the descriptions from
// the images and the draw state and calls this. blend may be null.
void PlanAndRunBlit(const BlitImageDesc* dst, const BlitImageDesc* src, int32_t x, int32_t y, int32_t transFlag,
                    const BlitImageDesc* blend, const BlitDrawValues* draw);

// The run-table walk shared by every run-table family. Kernel provides
//   void Opaque(uint8_t* d, const uint8_t* s, const uint8_t* m, int n)
//   void Translucent(uint8_t* d, const uint8_t* s, const uint8_t* m, int n)
// drawing n pixels from the given pointers (m null without a blend image).
// A run longer than what is left of the row is cut at the row's end, a
// short row still starts the next one at its proper place, and the walk
// never reads past the table's end.
template <class Kernel>
inline void WalkRunTable(const BlitJob* job, Kernel& kernel)
{
    const uint8_t* code = job->runTable;
    const uint8_t* end = job->runTableEnd;
    uint8_t* dst = job->dst;
    const uint8_t* src = job->src;
    const uint8_t* blend = job->blend;
    const ptrdiff_t dstRow = (ptrdiff_t)job->w * job->dstBpp + job->dstSkip;
    const ptrdiff_t srcRow = (ptrdiff_t)job->w * job->srcBpp + job->srcSkip;
    const ptrdiff_t blendRow = (ptrdiff_t)job->w + job->blendSkip;
    for (int32_t row = 0; row < job->h; row++) {
        int32_t left = job->w;
        ptrdiff_t at = 0;
        for (;;) {
            if (code >= end)
                return;
            const uint32_t r = *code++;
            if (r >= 0xC0)
                break;
            int32_t n = (int32_t)(r & 63) + 1;
            if (n > left)
                n = left;
            if (n > 0) {
                const uint32_t kind = r >> 6;
                if (kind == 1)
                    kernel.Opaque(dst + at * job->dstBpp, src + at * job->srcBpp, blend ? blend + at : nullptr, n);
                else if (kind == 2)
                    kernel.Translucent(dst + at * job->dstBpp, src + at * job->srcBpp,
                                       blend ? blend + at : nullptr, n);
                at += n;
                left -= n;
            }
        }
        dst += dstRow;
        src += srcRow;
        if (blend)
            blend += blendRow;
    }
}
