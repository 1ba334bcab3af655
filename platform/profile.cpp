#include "platform/profile.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const char kBom[] = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// One line of a settings file as the lookups see it.
struct ProfileLine {
    std::string text;    // without its line end
    bool header = false; // "[name]"
    bool entry = false;  // "key=value"
    std::string name;    // section name of a header, key of an entry
    std::string value;   // raw value of an entry (trimmed, quotes kept)
};

ProfileLine Classify(std::string text) {
    ProfileLine line;
    line.text = std::move(text);
    std::string trimmed = Trim(line.text);
    if (trimmed.empty() || trimmed[0] == ';')
        return line;
    if (trimmed[0] == '[') {
        size_t close = trimmed.find(']');
        line.header = true;
        line.name =
            Trim(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1));
        return line;
    }
    size_t eq = trimmed.find('=');
    if (eq == std::string::npos)
        return line;
    line.entry = true;
    line.name = Trim(trimmed.substr(0, eq));
    line.value = Trim(trimmed.substr(eq + 1));
    return line;
}

struct ParsedProfile {
    bool bom = false;
    bool crlf = false;
    std::vector<ProfileLine> lines;
};

ParsedProfile Parse(const std::string& content) {
    ParsedProfile parsed;
    size_t pos = 0;
    if (content.compare(0, 3, kBom) == 0) {
        parsed.bom = true;
        pos = 3;
    }
    parsed.crlf = content.find("\r\n") != std::string::npos;
    while (pos < content.size()) {
        size_t end = content.find('\n', pos);
        if (end == std::string::npos)
            end = content.size();
        size_t stop = end;
        if (stop > pos && content[stop - 1] == '\r')
            --stop;
        parsed.lines.push_back(Classify(content.substr(pos, stop - pos)));
        pos = end + 1;
    }
    return parsed;
}

std::string Unquote(const std::string& value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// Index of the first header named `section`, or lines.size().
size_t FindSection(const ParsedProfile& parsed, const std::string& section) {
    for (size_t i = 0; i < parsed.lines.size(); ++i)
        if (parsed.lines[i].header && SameName(parsed.lines[i].name, section))
            return i;
    return parsed.lines.size();
}

// One past the last line of the section whose header is at `header`.
size_t SectionEnd(const ParsedProfile& parsed, size_t header) {
    size_t i = header + 1;
    while (i < parsed.lines.size() && !parsed.lines[i].header)
        ++i;
    return i;
}

size_t FindKey(const ParsedProfile& parsed, size_t header, size_t end, const std::string& key) {
    for (size_t i = header + 1; i < end; ++i)
        if (parsed.lines[i].entry && SameName(parsed.lines[i].name, key))
            return i;
    return end;
}

std::string Join(const ParsedProfile& parsed) {
    const char* eol = parsed.crlf ? "\r\n" : "\n";
    std::string out = parsed.bom ? kBom : "";
    for (const ProfileLine& line : parsed.lines) {
        out += line.text;
        out += eol;
    }
    return out;
}

std::string FirstLine(const std::string& text) {
    size_t cut = text.find_first_of("\r\n");
    return cut == std::string::npos ? text : text.substr(0, cut);
}

} // namespace

std::optional<std::string> ProfileLookup(const std::string& content, const std::string& section,
                                         const std::string& key) {
    ParsedProfile parsed = Parse(content);
    size_t header = FindSection(parsed, section);
    if (header == parsed.lines.size())
        return std::nullopt;
    size_t end = SectionEnd(parsed, header);
    size_t found = FindKey(parsed, header, end, key);
    if (found == end)
        return std::nullopt;
    return Unquote(parsed.lines[found].value);
}

std::string ProfileStore(const std::string& content, const std::string& section,
                         const std::string* key, const std::string* value) {
    ParsedProfile parsed = Parse(content);
    size_t header = FindSection(parsed, section);
    bool haveSection = header != parsed.lines.size();
    if (key == nullptr) {
        if (haveSection) {
            size_t end = SectionEnd(parsed, header);
            parsed.lines.erase(parsed.lines.begin() + static_cast<long>(header),
                               parsed.lines.begin() + static_cast<long>(end));
        }
        return Join(parsed);
    }
    std::string cleanKey = FirstLine(Trim(*key));
    if (!haveSection) {
        if (value == nullptr)
            return Join(parsed);
        if (!parsed.lines.empty() && !Trim(parsed.lines.back().text).empty())
            parsed.lines.push_back(Classify(""));
        parsed.lines.push_back(Classify("[" + FirstLine(section) + "]"));
        parsed.lines.push_back(Classify(cleanKey + "=" + FirstLine(*value)));
        return Join(parsed);
    }
    size_t end = SectionEnd(parsed, header);
    size_t found = FindKey(parsed, header, end, cleanKey);
    if (value == nullptr) {
        if (found != end)
            parsed.lines.erase(parsed.lines.begin() + static_cast<long>(found));
        return Join(parsed);
    }
    if (found != end) {
        // Keep the key as the file spells it; only the value changes.
        parsed.lines[found] = Classify(parsed.lines[found].name + "=" + FirstLine(*value));
        return Join(parsed);
    }
    // A new key goes after the section's last non-blank line, before any blank separator.
    size_t insert = end;
    while (insert > header + 1 && Trim(parsed.lines[insert - 1].text).empty())
        --insert;
    parsed.lines.insert(parsed.lines.begin() + static_cast<long>(insert),
                        Classify(cleanKey + "=" + FirstLine(*value)));
    return Join(parsed);
}

int ProfileParseInt(const std::string& value) {
    size_t i = 0;
    while (i < value.size() && IsBlank(value[i]))
        ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '-' || value[i] == '+')) {
        negative = value[i] == '-';
        ++i;
    }
    long long number = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        number = number * 10 + (value[i] - '0');
        if (number > static_cast<long long>(INT_MAX) + 1)
            number = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        number = -number;
    if (number > INT_MAX)
        number = INT_MAX;
    return static_cast<int>(number);
}

std::optional<std::string> ReadProfileFile(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<unsigned long long>(st.st_size) > kMaxProfileFileSize) {
        close(fd);
        return std::nullopt;
    }
    std::string data;
    char buffer[65536];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        data.append(buffer, static_cast<size_t>(n));
        if (data.size() > kMaxProfileFileSize) {
            close(fd);
            return std::nullopt;
        }
    }
    close(fd);
    return data;
}

std::optional<std::string> ReadProfileForUpdate(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return std::string();
        NoteWriteFailure(path, std::strerror(errno));
        return std::nullopt;
    }
    std::optional<std::string> content = ReadProfileFile(path);
    if (!content) {
        int why = S_ISDIR(st.st_mode)                                                 ? EISDIR
                  : static_cast<unsigned long long>(st.st_size) > kMaxProfileFileSize ? EFBIG
                                                                                      : EACCES;
        NoteWriteFailure(path, std::strerror(why));
    }
    return content;
}

AtomicFileWriter::AtomicFileWriter(std::string path) : path_(std::move(path)) {}

AtomicFileWriter::~AtomicFileWriter() {
    if (fd_ >= 0)
        close(fd_);
    if (!tempPath_.empty())
        unlink(tempPath_.c_str());
}

bool AtomicFileWriter::Write(const std::string& data) {
    if (failed_)
        return false;
    if (fd_ < 0) {
        std::string pattern = path_ + ".XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        fd_ = mkostemp(name.data(), O_CLOEXEC);
        if (fd_ < 0) {
            error_ = errno;
            failed_ = true;
            return false;
        }
        tempPath_ = name.data();
        // A replaced file keeps its permissions; a new one stays private to the user (the
        // settings hold a password).
        struct stat old {};
        if (stat(path_.c_str(), &old) == 0)
            fchmod(fd_, old.st_mode & 07777);
    }
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(fd_, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error_ = n < 0 ? errno : ENOSPC;
            failed_ = true;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool AtomicFileWriter::Commit() {
    if (fd_ < 0 && !failed_)
        Write("");
    if (failed_ || fd_ < 0)
        return false;
    // A full disk may show only here, when the data reaches it.
    if (fsync(fd_) != 0)
        error_ = errno;
    if (close(fd_) != 0 && error_ == 0)
        error_ = errno;
    fd_ = -1;
    if (error_ == 0 && rename(tempPath_.c_str(), path_.c_str()) != 0)
        error_ = errno;
    if (error_ != 0) {
        failed_ = true;
        return false;
    }
    tempPath_.clear();
    return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& data) {
    AtomicFileWriter writer(path);
    if (writer.Write(data) && writer.Commit())
        return true;
    NoteWriteFailure(path, std::strerror(writer.Error() != 0 ? writer.Error() : EIO));
    return false;
}

namespace {
thread_local WriteFailureLog* t_failureLog = nullptr;
} // namespace

WriteFailureLog::WriteFailureLog() : outer_(t_failureLog) {
    t_failureLog = this;
}

WriteFailureLog::~WriteFailureLog() {
    t_failureLog = outer_;
}

void NoteWriteFailure(const std::string& path, const std::string& reason) {
    WriteFailureLog* log = t_failureLog;
    if (log == nullptr)
        return;
    for (const auto& failure : log->failures_)
        if (failure.path == path)
            return;
    log->failures_.push_back({path, reason});
}

int GetPrivateProfileIntA(const char* section, const char* key, int defaultValue,
                          const char* file) {
    if (section == nullptr || key == nullptr || file == nullptr)
        return defaultValue;
    std::optional<std::string> content = ReadProfileFile(file);
    if (!content)
        return defaultValue;
    std::optional<std::string> value = ProfileLookup(*content, section, key);
    if (!value || value->empty())
        return defaultValue;
    return ProfileParseInt(*value);
}

std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& defaultValue, const std::string& file,
                             size_t maxChars) {
    std::optional<std::string> content = ReadProfileFile(file);
    std::optional<std::string> value;
    if (content)
        value = ProfileLookup(*content, section, key);
    std::string result = value ? *value : defaultValue;
    if (result.size() > maxChars)
        result.resize(maxChars);
    return result;
}

size_t GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                                char* out, size_t size, const char* file) {
    if (out == nullptr || size == 0)
        return 0;
    std::string value = GetProfileString(
        section != nullptr ? section : "", key != nullptr ? key : "",
        defaultValue != nullptr ? defaultValue : "", file != nullptr ? file : "", size - 1);
    std::memcpy(out, value.data(), value.size());
    out[value.size()] = '\0';
    return value.size();
}

int WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                               const char* file) {
    if (section == nullptr || file == nullptr)
        return 0;
    std::optional<std::string> content = ReadProfileForUpdate(file);
    if (!content)
        return 0;
    std::string keyText = key != nullptr ? key : "";
    std::string valueText = value != nullptr ? value : "";
    std::string updated = ProfileStore(*content, section, key != nullptr ? &keyText : nullptr,
                                       value != nullptr ? &valueText : nullptr);
    return WriteFileAtomically(file, updated) ? 1 : 0;
}
