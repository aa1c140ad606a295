// Graph records made by a test around textures it names itself: a picture
// cut into a grid of tiles with the tile entries laid out as graph set-up
// lays them out for a graph that owns its whole picture.
#pragma once

#include <stdlib.h>
#include <string.h>

#include <vector>

#include "graphics/draw_state.h"
#include "graphics/graph_record.h"

struct TestTileSpec {
    int x, y;                         // position of the tile in the picture
    int usedWidth, usedHeight;
    int textureWidth, textureHeight;
    IDirect3DTexture9* texture;
};

// Fills a graph record's tile entries for a graph of the whole picture.
inline void FillTestTileEntries(GraphRecord* record, GraphImageRecord* image)
{
    record->tileCount = image->tileCount;
    for (int i = 0; i < image->tileCount; i++) {
        TextureTile& t = image->tiles[i];
        GraphTileEntry& e = record->tiles[i];
        e = GraphTileEntry{};
        e.dstX = t.x;
        e.dstY = t.y;
        e.pieceWidth = t.usedWidth;
        e.pieceHeight = t.usedHeight;
        float xs[2] = {(float)t.x, (float)(t.x + t.usedWidth)}, ys[2] = {(float)t.y, (float)(t.y + t.usedHeight)};
        float us[2] = {0.0f, (float)t.usedWidth / (float)t.textureWidth};
        float vs[2] = {0.0f, (float)t.usedHeight / (float)t.textureHeight};
        for (int k = 0; k < 4; k++) {
            int right = k & 1, bottom = k >> 1;
            e.corners[k][0] = xs[right];
            e.corners[k][1] = ys[bottom];
            e.corners[k][2] = us[right];
            e.corners[k][3] = vs[bottom];
            double w = image->width, h = image->height;
            e.diagonalSide[k] = xs[right] * h / w + ys[bottom] <= h ? 1 : 0;
        }
        e.tile = &t;
    }
}

inline GraphImageRecord* MakeTestImage(int width, int height, const std::vector<TestTileSpec>& tiles)
{
    size_t size = sizeof(GraphImageRecord) + tiles.size() * sizeof(TextureTile);
    GraphImageRecord* image = (GraphImageRecord*)calloc(1, size);
    image->refCount = 1;
    image->desc.texture = 1;
    image->desc.colorDepth = 32;
    image->width = width;
    image->height = height;
    image->tileCount = (int)tiles.size();
    for (size_t i = 0; i < tiles.size(); i++) {
        TextureTile& t = image->tiles[i];
        const TestTileSpec& s = tiles[i];
        t.texture = s.texture;
        t.x = s.x;
        t.y = s.y;
        t.usedWidth = s.usedWidth;
        t.usedHeight = s.usedHeight;
        t.textureWidth = s.textureWidth;
        t.textureHeight = s.textureHeight;
    }
    return image;
}

// A free-standing record (not in the handle table) over the image.
inline GraphRecord* MakeTestRecord(GraphImageRecord* image)
{
    size_t size = sizeof(GraphRecord) + (size_t)image->tileCount * sizeof(GraphTileEntry);
    GraphRecord* record = (GraphRecord*)calloc(1, size);
    record->handle = -1;
    record->movie = -1;
    record->image = image;
    record->width = image->width;
    record->height = image->height;
    FillTestTileEntries(record, image);
    return record;
}

// A fake texture pointer for the recording device, which never calls it.
inline IDirect3DTexture9* FakeTexture(int n)
{
    static char slots[16];
    return reinterpret_cast<IDirect3DTexture9*>(&slots[n & 15]);
}

// The draw area in both its forms, without the device calls of SetClipArea.
inline void SetTestDrawArea(int left, int top, int right, int bottom)
{
    SetRect(&Draw.area, left, top, right, bottom);
    Draw.areaLeftF = (float)left;
    Draw.areaTopF = (float)top;
    Draw.areaRightF = (float)right;
    Draw.areaBottomF = (float)bottom;
    Draw.emptyArea = left == right || top == bottom;
}
