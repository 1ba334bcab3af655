#include "persist/history.h"

#include "persist/optins.h"
#include "platform/profile.h"
#include "platform/statefolder.h"

#include <climits>

history history1;

namespace {
constexpr const char* kHistoryFileName = "m.txt";
}

bool IsRememberablePath(const std::string& path) {
    // The drive-letter rule of old ("X:" first) becomes: an absolute local path.
    if (path.size() <= 3 || path[0] != '/')
        return false;
    return path.find_first_of("\r\n") == std::string::npos;
}

std::vector<hist_posytion> ParseHistory(const std::string& content) {
    std::vector<hist_posytion> entries;
    size_t pos = 0;
    while (pos < content.size()) {
        size_t end = content.find('\n', pos);
        if (end == std::string::npos)
            end = content.size();
        hist_posytion entry;
        entry.path = content.substr(pos, end - pos);
        if (!entry.path.empty() && entry.path.back() == '\r')
            entry.path.pop_back();
        pos = end + 1;
        // The position is read like "%d": blanks and line ends first, a sign, digits.
        while (pos < content.size() && (content[pos] == ' ' || content[pos] == '\t' ||
                                        content[pos] == '\r' || content[pos] == '\n'))
            ++pos;
        bool negative = false;
        if (pos < content.size() && (content[pos] == '-' || content[pos] == '+')) {
            negative = content[pos] == '-';
            ++pos;
        }
        if (pos >= content.size() || content[pos] < '0' || content[pos] > '9')
            break;
        long long number = 0;
        while (pos < content.size() && content[pos] >= '0' && content[pos] <= '9') {
            if (number <= INT_MAX)
                number = number * 10 + (content[pos] - '0');
            ++pos;
        }
        if (number > INT_MAX)
            number = INT_MAX;
        entry.position = static_cast<int>(negative ? -number : number);
        entries.push_back(std::move(entry));
        // The rest of the position's line is dropped.
        size_t lineEnd = content.find('\n', pos);
        pos = lineEnd == std::string::npos ? content.size() : lineEnd + 1;
    }
    return entries;
}

std::string FormatHistory(const std::vector<hist_posytion>& entries) {
    std::string text;
    for (const hist_posytion& entry : entries) {
        text += entry.path;
        text += '\n';
        text += std::to_string(entry.position);
        text += '\n';
    }
    return text;
}

int history::get(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const hist_posytion& entry : list_)
        if (entry.path == path)
            return entry.position;
    return 0;
}

int PositionToRemember(int position, float length) {
    constexpr float kCreditsSeconds = 10;
    if (length > 0 && static_cast<float>(position) >= length - kCreditsSeconds)
        return 0;
    return position;
}

void history::add(const std::string& path, int position) {
    if (!IsRememberablePath(path))
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    EraseLocked(path);
    if (position <= 0)
        return;
    list_.push_front({path, position});
    FixSizeLocked();
}

void history::ereasethis(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    EraseLocked(path);
}

void history::fixsize() {
    std::lock_guard<std::mutex> lock(mutex_);
    FixSizeLocked();
}

void history::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    list_.clear();
}

void history::EraseLocked(const std::string& path) {
    for (auto it = list_.begin(); it != list_.end(); ++it)
        if (it->path == path) {
            list_.erase(it);
            return;
        }
}

void history::FixSizeLocked() {
    while (static_cast<long>(list_.size()) > maxsize && !list_.empty())
        list_.pop_back();
}

void history::serialize(const std::string& file) {
    if (!Optins1.rememberPositions)
        return;
    std::vector<hist_posytion> entries = Entries();
    WriteFileAtomically(file, FormatHistory(entries));
}

void history::deserialize(const std::string& file) {
    std::optional<std::string> content = ReadProfileFile(file);
    if (!content)
        return;
    std::vector<hist_posytion> entries = ParseHistory(*content);
    std::lock_guard<std::mutex> lock(mutex_);
    for (hist_posytion& entry : entries)
        list_.push_back(std::move(entry));
}

void history::serialize() {
    serialize(StateFile(kHistoryFileName));
}
void history::deserialize() {
    deserialize(StateFile(kHistoryFileName));
}

std::vector<hist_posytion> history::Entries() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return {list_.begin(), list_.end()};
}
