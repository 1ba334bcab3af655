#include "online/moviedescription.h"

#include "online/moviehash.h"
#include "online/moviesource.h"
#include "online/servers.h"
#include "platform/textutil.h"
#include "rar/rarreader.h"
#include "platform/paths.h"
#include "platform/windowport.h"

#include <cstdio>

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
