// The scanners of service answers: the XML-RPC scanner, the first-bytes rule, gzip, the
// language lists, 7zz's listing of an archive and the REST API's JSON answers, on anything
// a server (or a file) may give.
#include "online/answerkind.h"
#include "online/opensubtitles.h"
#include "online/osrest.h"
#include "online/osrestapi.h"
#include "online/parsexml.h"
#include "online/sevenzip.h"

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
    SevenZipListing listing;
    ParseSevenZipListing(text, &listing);
    ParseOSRestLanguageTable(text);
    OSRestLogin login;
    ParseOSRestLogin(text, &login);
    OSRestSessionUrl("https://api.example/api/v1", login.baseUrl);
    std::vector<OSRestItem> items = ParseOSRestSearch(text);
    SortOSRestItems(items);
    for (const OSRestItem& item : items)
        item.MenuLabel();
    OSRestDownloadLink link;
    ParseOSRestDownload(text, &link);
    OSRestQuota quota;
    ParseOSRestUserInfo(text, &quota);
    DescribeOSRestError(long(size % 600), text, text);
    IsOSPlaceholder(text);
    OSRestQuery({{text.substr(0, size / 2), text.substr(size / 2)}});
    return 0;
}
