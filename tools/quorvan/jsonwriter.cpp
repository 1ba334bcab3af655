#include "tools/quorvan/jsonwriter.h"

#include "platform/textutil.h"

#include <cmath>

namespace {
// Length of the valid UTF-8 sequence starting at `i`, or 0 when the byte does not start one.
size_t Utf8Length(const std::string& s, size_t i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n;
    uint32_t min;
    if (c >= 0xc2 && c <= 0xdf)
        n = 2, min = 0x80;
    else if (c >= 0xe0 && c <= 0xef)
        n = 3, min = 0x800;
    else if (c >= 0xf0 && c <= 0xf4)
        n = 4, min = 0x10000;
    else
        return 0;
    if (i + n > s.size())
        return 0;
    uint32_t cp = c & (0x3f >> (n - 1));
    for (size_t k = 1; k < n; ++k) {
        unsigned char cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xc0) != 0x80)
            return 0;
        cp = (cp << 6) | (cc & 0x3f);
    }
    bool surrogate = cp >= 0xd800 && cp <= 0xdfff;
    return cp >= min && cp <= 0x10ffff && !surrogate ? n : 0;
}
} // namespace

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7f) {
            out += Format("\\u%04x", c);
        } else if (c >= 0x80) {
            size_t n = Utf8Length(text, i);
            if (n == 0) {
                out += Format("\\u%04x", c);
            } else {
                out.append(text, i, n);
                i += n;
                continue;
            }
        } else {
            out += char(c);
        }
        ++i;
    }
    return out + "\"";
}

JsonObject& JsonObject::Raw(const std::string& key, const std::string& json) {
    if (!body_.empty())
        body_ += ",";
    body_ += JsonString(key) + ":" + json;
    return *this;
}

JsonObject& JsonObject::Add(const std::string& key, const std::string& value) {
    return Raw(key, JsonString(value));
}
JsonObject& JsonObject::Add(const std::string& key, const char* value) {
    return Raw(key, JsonString(value));
}
JsonObject& JsonObject::Add(const std::string& key, int64_t value) {
    return Raw(key, Format("%lld", static_cast<long long>(value)));
}
JsonObject& JsonObject::Add(const std::string& key, uint64_t value) {
    return Raw(key, Format("%llu", static_cast<unsigned long long>(value)));
}
JsonObject& JsonObject::Add(const std::string& key, double value) {
    // JSON has no NaN or infinity.
    return std::isfinite(value) ? Raw(key, Format("%.10g", value)) : AddNull(key);
}
JsonObject& JsonObject::Add(const std::string& key, int value) {
    return Add(key, static_cast<int64_t>(value));
}
JsonObject& JsonObject::Add(const std::string& key, bool value) {
    return Raw(key, value ? "true" : "false");
}
JsonObject& JsonObject::AddNull(const std::string& key) {
    return Raw(key, "null");
}
JsonObject& JsonObject::Add(const std::string& key, const JsonObject& value) {
    return Raw(key, value.str());
}
JsonObject& JsonObject::Add(const std::string& key, const std::vector<std::string>& values) {
    std::string list;
    for (const std::string& v : values) {
        if (!list.empty())
            list += ',';
        list += JsonString(v);
    }
    return Raw(key, "[" + list + "]");
}
