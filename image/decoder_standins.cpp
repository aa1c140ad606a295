#include "image/image_decoders.h"

// Stand-ins until these decoders exist: they refuse every stream.
int LoadJpegImage(StreamDescriptor*, RasterImage*) { return -1; }
int LoadPngImage(StreamDescriptor*, RasterImage*) { return -1; }
int LoadBgraImage(StreamDescriptor*, RasterImage*) { return -1; }
int LoadTgaImage(StreamDescriptor*, RasterImage*) { return -1; }
int LoadDdsImage(StreamDescriptor*, RasterImage*) { return -1; }
