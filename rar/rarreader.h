#pragma once
// The process-wide RAR reader `s` and the free functions the rest of the system calls.
// Each is a thin wrapper over the same operation of `s` (rarvolumeset.h).
#include "rar/rarvolumeset.h"

extern RarVolumeSet s;
// The name buffers of `s`.
extern char (&rarfilename)[kRarNameBuffer];
extern char (&rarfilenamewzorzec)[kRarNameBuffer];

bool isRarFileName(const char* name);
inline bool isRarFileName(const std::string& name) {
    return isRarFileName(name.c_str());
}
// Reads the geometry into `s`; see RarVolumeSet::raropen for the failures.
void raropen();
int64_t numerpliku(int64_t pos);
int64_t seekinpart(int64_t pos);
int64_t pozostalo(int64_t pos);
void rarread(char* buffer, int64_t pos, int length);
void rarseek(int64_t pos);
int rarreadnic(char* buffer, int length);
