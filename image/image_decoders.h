// The image decoders. Each reads a stream from its current position (the
// loading front rewinds it to 0 and clears the image first) and returns 0 when
// it took the stream and filled the image, anything else when it refused it;
// a refusal leaves nothing allocated. None of them closes the stream.
#pragma once

#include "image/raster_image.h"
#include "runtime/file/stream.h"

typedef int (*ImageDecoder)(StreamDescriptor* stream, RasterImage* image);

int LoadBmpImage(StreamDescriptor* stream, RasterImage* image);
int LoadJpegImage(StreamDescriptor* stream, RasterImage* image);
int LoadPngImage(StreamDescriptor* stream, RasterImage* image);
int LoadBgraImage(StreamDescriptor* stream, RasterImage* image);
int LoadTgaImage(StreamDescriptor* stream, RasterImage* image);
int LoadDdsImage(StreamDescriptor* stream, RasterImage* image);
