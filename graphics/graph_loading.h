// Graph loading, creation, restore and deletion: pictures become graphs and
// graphs go back to nothing.
#pragma once

#include <windows.h>

struct ColorFormat;
struct MovieData;
struct RasterImage;

// The game's image loader: LoadGraphFile(path, 0, 0); the second argument
// has no effect.
int LoadImageToGraph(const char* path, int reserved);
// A graph of the image file at path (mirrored when mirror is 1), or of a
// movie when no decoder takes the file; the handle or -1.
int LoadGraphFile(const char* path, int mirror, int movieOption);
// A new graph holding the image (and its alpha image); the handle or -1.
// With mirror and mirrorHere both 1 the images are flipped for the transfer
// and back again afterwards.
int TransferRasterImageToGraph(RasterImage* image, RasterImage* alpha, int mirror, int mirrorHere);
// A new graph sized and formatted for the image, pixels not yet transferred.
int CreateGraphFromImage(RasterImage* image, RasterImage* alpha);
// A new cleared graph; alpha from the empty-graph setting.
int CreateEmptyGraph(int width, int height);
// A new graph showing (x, y, width, height) of source, cut to the source.
int CreateDerivedGraph(int x, int y, int width, int height, int source);
// Makes graph (freshly allocated) show the rectangle of source; 0 or -1.
int InitDerivedGraph(int source, int graph, int x, int y, int width, int height);
// Fills a drawable graph (or a software graph) with a colour; 0 or -1.
int FillGraphColor(int graph, int r, int g, int b, int a);
// Refills the graph from the rectangle of the image at (fileX, fileY) with
// the graph's size and records name and position for later reloads. The
// bitmap arguments stand for image and alpha when bitmapMode is 1.
int ReloadGraphFromImage(ColorFormat* bitmapFormat, HBITMAP colourBitmap, HBITMAP alphaBitmap,
                         const char* fileName, int bitmapMode, RasterImage* image, RasterImage* alpha, int fileX,
                         int fileY, int graph, int fileMirror);
// Refills the rectangle of the graph at (dstX, dstY) from the source
// rectangle of the image (null: all of it); 0 or -1.
int ReloadGraphFromImagePart(ColorFormat* bitmapFormat, HBITMAP colourBitmap, HBITMAP alphaBitmap,
                             const char* fileName, int bitmapMode, RasterImage* image, RasterImage* alpha,
                             const RECT* source, int dstX, int dstY, int graph, int fileMirror);
// Frame callback of a movie graph (user value = the graph's handle).
void OnMovieFrameToGraph(MovieData* movie, int graph);
// The default graph-restore handler: reloads every graph that came from a file.
void RestoreAllGraphs();
// Names the file a graph's picture came from (path), shares a source graph's
// name (path null, source a graph) or drops the name (both absent). 0 or -1.
int SetGraphFileName(int graph, const char* path, int source);
// Deletes a graph; 0, or -1 for an invalid handle.
int FreeGraph(int graph);
// Deletes every graph (graphics end); 0.
int FreeAllGraphs();

int LoadImageToGraph(const char* path, int reserved);
int CreateDerivedGraph(int x, int y, int width, int height, int source);
int FreeGraph(int graph);
