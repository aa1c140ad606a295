// Archive-aware file access: settings and the archive table's life cycle.
#pragma once

int SetArchiveExtension(const char* text);
int SetArchiveKeyString(const char* text);
// Closes the archives that nothing references any more; 0.
int TerminateArchives();
