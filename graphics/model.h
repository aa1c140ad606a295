// 3D model module (never used by this program beyond its start and end).
#pragma once

int InitializeModelSystem();
int TerminateModelSystem();
// Releases the models' vertex and index buffers (device release).
int ReleaseModelDeviceObjects();
