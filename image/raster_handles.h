// Raster-image handles.
#pragma once

int EndRasterHandles();
