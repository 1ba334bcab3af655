// The scanners of service answers: the XML-RPC scanner, the first-bytes rule, gzip and the
// language list, on anything a server (or a file) may give.
#include "online/answerkind.h"
#include "online/opensubtitles.h"
#include "online/parsexml.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    parsexml p;
    p.parserun(text, text.substr(0, size % 17));
    p.parse(text, "token");
    p.parseint(text, "alreadyindb");
    std::vector<std::string> list;
    p.parsetolist(text, "id", list);
    ClassifyAnswer(text);
    std::string out;
    GunzipBytes(text, &out, 1 << 20);
    ParseOpensubtitleList(text);
    return 0;
}
