// Graph loading, creation, restore and deletion.
#pragma once

// Deletes every graph (graphics end).
int FreeAllGraphs();
