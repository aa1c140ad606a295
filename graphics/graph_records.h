// Graph records: the image behind a graph handle, its texture tiles or its
// software memory image.
#pragma once

#include <d3d9.h>

struct ColorFormat;
struct MEMIMG;
struct RasterImage;

// 1 when graph is a valid graph handle whose image was made as a draw target.
int IsDrawableGraph(int graph);
// The graph's size: 0, or -1 (nothing written) for an invalid handle.
int QueryGraphSize(int graph, int* width, int* height);
// A drawable graph's render-target surface and its format kind; null / -1
// for any other graph.
IDirect3DSurface9* GetGraphTargetSurface(int graph);
int GetGraphFormatKind(int graph);
// A software graph's memory image (a view of its rectangle); null for a
// graph with textures or an invalid handle.
MEMIMG* GetGraphMemImage(int graph);
// Writes an image of the graph's size into its texture tiles; 0 or -1.
int CopyImageToGraphTiles(int graph, const RasterImage* image);
// The colour format of a Direct3D format number, or null.
const ColorFormat* GetD3DFormatColorFormat(int format);
