#include "online/oshelpfunctions.h"

OShelpFunctions OS;

const char* const _LogIn =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><methodCall><methodName>LogIn</methodName>"
    "<params><param><value><string>$login$</string></value></param>"
    "<param><value><string>$pass$</string></value></param>"
    "<param><value><string></string></value></param>"
    "<param><value><string>DoVavuzivav_0.2</string></value></param></params></methodCall>";

void OShelpFunctions::replaceone(std::string& text, const std::string& placeholder,
                                 const std::string& value) {
    size_t at = text.find(placeholder);
    if (at != std::string::npos)
        text.replace(at, placeholder.size(), value);
}

std::string OShelpFunctions::fill(std::string& t) {
    const std::pair<const char*, const std::string*> fields[] = {
        {"$pass$", &pass},
        {"$login$", &login},
        {"$token$", &token},
        {"$subcontent$", &subcontent},
        {"$subhash$", &subhash},
        {"$moviefilename$", &moviefilename},
        {"$moviefps$", &moviefps},
        {"$movieframes$", &movieframes},
        {"$idmovieimdb$", &idmovieimdb},
        {"$moviehash$", &moviehash},
        {"$sublanguageid$", &sublanguageid},
        {"$subauthorcomment$", &subauthorcomment},
        {"$movietimems$", &movietimems},
        {"$moviebytesize$", &moviebytesize},
        {"$subfilename$", &subfilename},
        {"$text$", &text},
    };
    for (const auto& [placeholder, value] : fields)
        replaceone(t, placeholder, *value);
    return t;
}

std::string OShelpFunctions::getLogin() {
    std::string request = _LogIn;
    return fill(request);
}
