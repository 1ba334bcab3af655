#include "platform/rarnames.h"

#include "platform/textutil.h"

#include <cctype>
#include <cstring>
#include <strings.h>

bool CzyToRar(const char* name) {
    size_t n = std::strlen(name);
    return n > 4 && strcasecmp(name + n - 4, ".rar") == 0;
}

namespace {
// True when the last strlen(pattern) characters of `name` match the digit-wildcard pattern,
// letters without regard to case: Linux keeps a downloaded set's capitals (FILM.R00), which
// Windows matched all the same.
bool EndsWithPattern(const std::string& name, const char* pattern) {
    size_t n = std::strlen(pattern);
    if (name.size() < n)
        return false;
    std::string ending = name.substr(name.size() - n);
    for (char& c : ending)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return cmpznak(ending.c_str(), pattern) == 1;
}

// Replaces the ending of `length` characters by `replacement`, each letter in the case of the
// letter it replaces (digits and punctuation as given), so FILM.R07 becomes FILM.RAR.
void ReplaceEnding(std::string& name, size_t length, const char* replacement) {
    size_t at = name.size() - length;
    std::string text = replacement;
    bool upper = false;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char old = i < length ? static_cast<unsigned char>(name[at + i]) : 0;
        if (std::isalpha(old))
            upper = std::isupper(old) != 0;
        if (std::isalpha(static_cast<unsigned char>(text[i])))
            text[i] = char(upper ? std::toupper(static_cast<unsigned char>(text[i]))
                                 : std::tolower(static_cast<unsigned char>(text[i])));
    }
    name.replace(at, length, text);
}

bool EndsWithNoCase(const std::string& name, const char* ending) {
    size_t n = std::strlen(ending);
    return name.size() >= n && strcasecmp(name.c_str() + name.size() - n, ending) == 0;
}

// The rule's prefix and tail as the first volume writes them (".PART" for FILM.PART1.RAR).
std::string PrefixAsWritten(const std::string& firstVolume, const std::string& base,
                            const RarNamingRule& rule) {
    return firstVolume.substr(base.size(), std::strlen(rule.prefix));
}
std::string TailAsWritten(const std::string& firstVolume, const RarNamingRule& rule) {
    return firstVolume.substr(firstVolume.size() - std::strlen(rule.tail));
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
        if (EndsWithNoCase(name, rule.ending))
            return &rule;
    }
    return nullptr;
}

std::string RarVolumeName(const std::string& firstVolume, const std::string& base,
                          const RarNamingRule& rule, int64_t k) {
    if (rule.scheme == 1 && k == 0)
        return firstVolume;
    long long number = rule.scheme == 1 ? k - 1 : k + 1;
    return base + PrefixAsWritten(firstVolume, base, rule) + Format("%.*lld", rule.digits, number) +
           TailAsWritten(firstVolume, rule);
}

std::string RarNamePattern(const std::string& firstVolume, const std::string& base,
                           const RarNamingRule& rule) {
    std::string escaped = base;
    size_t pos = 0;
    while ((pos = escaped.find('%', pos)) != std::string::npos) {
        escaped.insert(pos, 1, '%');
        pos += 2;
    }
    return escaped + PrefixAsWritten(firstVolume, base, rule) + Format("%%.%dd", rule.digits) +
           TailAsWritten(firstVolume, rule);
}

namespace {
// Length of the run of digits that ends at `end` (exclusive) in `text`.
size_t DigitsBefore(const std::string& text, size_t end) {
    size_t n = 0;
    while (n < end && std::isdigit(static_cast<unsigned char>(text[end - n - 1])))
        ++n;
    return n;
}
} // namespace

std::string RarSetKey(const std::string& name) {
    std::string lower = name;
    for (char& c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    for (const char* suffix : {".bc!", ".!ut"})
        if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, suffix) == 0)
            lower.resize(lower.size() - 4);
    size_t n = lower.size();
    if (n > 4 && lower.compare(n - 4, 4, ".rar") == 0) {
        size_t digits = DigitsBefore(lower, n - 4);
        size_t word = n - 4 - digits;
        if (digits > 0 && word >= 5 && lower.compare(word - 5, 5, ".part") == 0)
            return lower.substr(0, word - 5) + ".part#.rar";
        return lower.substr(0, n - 4) + ".r#";
    }
    size_t digits = DigitsBefore(lower, n);
    if (digits >= 2 && n > digits + 1 && lower[n - digits - 1] == 'r' &&
        lower[n - digits - 2] == '.')
        return lower.substr(0, n - digits - 2) + ".r#";
    if (digits >= 3 && n > digits && lower[n - digits - 1] == '.')
        return lower.substr(0, n - digits - 1) + ".#";
    return "";
}
