// Graph loading, creation, restore and deletion.
#pragma once

// Deletes every graph (graphics end).
int FreeAllGraphs();

int LoadImageToGraph(const char* path, int reserved);
int CreateDerivedGraph(int x, int y, int width, int height, int source);
int FreeGraph(int graph);
