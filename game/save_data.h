// The settings and progress file "SaveData.dat".
#pragma once

void ReadSaveData();
void WriteSaveData();
