// The RAR-packed DVD warning and the movie description look-up.
#include "online/moviehash.h"
#include "online/moviesource.h"
#include "online/servers.h"
#include "platform/paths.h"
#include "platform/textutil.h"
#include "platform/windowport.h"
#include "platform/rarnames.h"
#include "rar/rarreader.h"
#include "rar/streaming.h"

#include <cstdio>

bool WarnIfRarDvd(const std::string& file) {
    // A whole DVD packed for transfer comes in volumes of 50000000 bytes.
    if (!CzyToRar(file) || GetFileSizeForName(file) != 50000000)
        return false;
    Port().MessageBox("Sorry this program don't play RAR DVD (4GB). Please unrar before play.\n"
                      "Use this program to play RAR DVDRips and file less that 700MB.",
                      "DVD error", MB_OK_);
    return true;
}

std::string MovieDescriptionUrl(const std::string& webHost, const std::string& hexDigest,
                                const std::string& moviePath) {
    return webHost + "/index.php3?www=opis.php3&id=" + hexDigest +
           "&film=" + FileNameFromPath(moviePath);
}

int PokazOpisFilmuRAR(const char* movie) {
    std::string path = movie != nullptr ? movie : "";
    unsigned char digest[16];
    {
        // The stored movie of a set is read through the reader, so a set finds the same page
        // as the movie unpacked.
        MovieSource source(path, s);
        if (!source.ok()) {
            Port().MessageBox("Najpierw otwórz plik filmu!", "Error", MB_OK_);
            return 0;
        }
        NapiprojektDigest(source, digest);
    }
    char hex[33];
    tohexdigs(digest, hex);
    std::printf("%s\n", hex);
    Port().OpenWithDefaultApplication(
        MovieDescriptionUrl(ServiceUrl(Service::NapiprojektWeb), hex, path));
    return 0;
}
