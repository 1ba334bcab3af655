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

// The ".part" rows come before ".rar" so that x.part01.rar is taken by the numbered scheme.
const RarNamingRule kRules[] = {
    {".part01.rar", ".part", 2, ".rar", 2},
    {".part001.rar", ".part", 3, ".rar", 2},
    {".part1.rar", ".part", 1, ".rar", 2},
    {".rar", ".r", 2, "", 1},
    {".001", ".", 3, "", 2},
};
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

const RarNamingRule* FindFirstVolumeRule(const std::string& name) {
    for (const RarNamingRule& rule : kRules) {
        size_t n = std::strlen(rule.ending);
        if (name.size() >= n && name.compare(name.size() - n, n, rule.ending) == 0)
            return &rule;
    }
    return nullptr;
}

std::string RarVolumeName(const std::string& firstVolume, const std::string& base,
                          const RarNamingRule& rule, int64_t k) {
    if (rule.scheme == 1 && k == 0)
        return firstVolume;
    long long number = rule.scheme == 1 ? k - 1 : k + 1;
    return base + rule.prefix + Format("%.*lld", rule.digits, number) + rule.tail;
}

std::string RarNamePattern(const std::string& base, const RarNamingRule& rule) {
    std::string escaped = base;
    size_t pos = 0;
    while ((pos = escaped.find('%', pos)) != std::string::npos) {
        escaped.insert(pos, 1, '%');
        pos += 2;
    }
    return escaped + rule.prefix + Format("%%.%dd", rule.digits) + rule.tail;
}
