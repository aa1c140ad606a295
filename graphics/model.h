// 3D model module (never used by this program beyond its start and end).
#pragma once

int InitializeModelSystem();
int TerminateModelSystem();
