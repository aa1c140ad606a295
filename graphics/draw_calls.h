// The public graph drawing calls.
#pragma once

int DrawGraphAt(int x, int y, int graph, int trans);
