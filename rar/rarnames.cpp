#include "rar/rarnames.h"

#include "platform/textutil.h"

#include <cstring>
#include <strings.h>

bool CzyToRar(const char* name) {
    size_t n = std::strlen(name);
    return n > 4 && strcasecmp(name + n - 4, ".rar") == 0;
}

namespace {
// True when the last strlen(pattern) characters of `name` match the digit-wildcard pattern.
bool EndsWithPattern(const std::string& name, const char* pattern) {
    size_t n = std::strlen(pattern);
    if (name.size() < n)
        return false;
    return cmpznak(name.c_str() + name.size() - n, pattern) == 1;
}

void ReplaceEnding(std::string& name, size_t length, const char* replacement) {
    name.replace(name.size() - length, length, replacement);
}
} // namespace

void ZrobPierwszyPart(std::string& name) {
    if (EndsWithPattern(name, ".r??"))
        ReplaceEnding(name, 4, ".rar");
    if (EndsWithPattern(name, ".rar.bc!") || EndsWithPattern(name, ".rar.!ut"))
        ReplaceEnding(name, 8, ".rar");
    if (EndsWithPattern(name, ".r??.bc!") || EndsWithPattern(name, ".r??.!ut"))
        ReplaceEnding(name, 8, ".rar");
    if (EndsWithPattern(name, ".part??.rar"))
        ReplaceEnding(name, 11, ".part01.rar");
    if (EndsWithPattern(name, ".part?.rar"))
        ReplaceEnding(name, 10, ".part1.rar");
}
