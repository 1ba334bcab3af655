#include "rar/rarreader.h"

RarVolumeSet s;
char (&rarfilename)[kRarNameBuffer] = s.rarfilename;
char (&rarfilenamewzorzec)[kRarNameBuffer] = s.rarfilenamewzorzec;

bool isRarFileName(const char* name) {
    return s.isRarFileName(name);
}
void raropen() {
    s.raropen();
}
int64_t numerpliku(int64_t pos) {
    return s.numerpliku(pos);
}
int64_t seekinpart(int64_t pos) {
    return s.seekinpart(pos);
}
int64_t pozostalo(int64_t pos) {
    return s.pozostalo(pos);
}
void rarread(char* buffer, int64_t pos, int length) {
    s.rarread(buffer, pos, length);
}
void rarseek(int64_t pos) {
    s.rarseek(pos);
}
int rarreadnic(char* buffer, int length) {
    return s.rarreadnic(buffer, length);
}
