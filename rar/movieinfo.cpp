// The RAR-packed DVD warning.
#include "platform/paths.h"
#include "platform/rarnames.h"
#include "platform/windowport.h"
#include "rar/streaming.h"

#include <sys/stat.h>

bool WarnIfRarDvd(const std::string& file) {
    // A whole DVD packed for transfer comes in volumes of 50000000 bytes.
    struct stat st {};
    if (!CzyToRar(file) || stat(file.c_str(), &st) != 0 || st.st_size != 50000000)
        return false;
    Port().MessageBox("Sorry this program don't play RAR DVD (4GB). Please unrar before play.\n"
                      "Use this program to play RAR DVDRips and file less that 700MB.",
                      "DVD error", MB_OK_);
    return true;
}
