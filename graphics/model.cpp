#include "graphics/model.h"

// Stand-ins until the model module exists.
int InitializeModelSystem() { return 0; }
int TerminateModelSystem() { return 0; }
int ReleaseModelDeviceObjects() { return 0; }
