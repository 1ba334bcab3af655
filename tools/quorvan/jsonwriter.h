#pragma once
// Just enough JSON for the companion's --json output: one flat-or-nested object at a time.
#include <cstdint>
#include <string>
#include <vector>

// `text` as a quoted JSON string. Quotes, backslashes and control characters are escaped;
// valid UTF-8 passes through; a byte that is not part of valid UTF-8 (a file name in a
// legacy code page) becomes the code point of the same value (\u0080 to \u00ff).
std::string JsonString(const std::string& text);

class JsonObject {
  public:
    JsonObject& Add(const std::string& key, const std::string& value);
    JsonObject& Add(const std::string& key, const char* value);
    JsonObject& Add(const std::string& key, int64_t value);
    JsonObject& Add(const std::string& key, uint64_t value);
    JsonObject& Add(const std::string& key, int value);
    JsonObject& Add(const std::string& key, double value);
    JsonObject& Add(const std::string& key, bool value);
    JsonObject& AddNull(const std::string& key);
    JsonObject& Add(const std::string& key, const JsonObject& value);
    JsonObject& Add(const std::string& key, const std::vector<std::string>& values);
    std::string str() const { return "{" + body_ + "}"; }

  private:
    JsonObject& Raw(const std::string& key, const std::string& json);
    std::string body_;
};
