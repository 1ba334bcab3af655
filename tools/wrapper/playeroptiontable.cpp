#include "tools/wrapper/playeroptiontable.h"

#include "platform/paths.h"
#include "platform/process.h"
#include "platform/profile.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <iterator>
#include <poll.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// mplayer options we meet that take no value, for when the player cannot list its own.
const char* const kFallbackFlags[] = {
    "-slave",
    "-identify",
    "-quiet",
    "-really-quiet",
    "-fs",
    "-nosound",
    "-novideo",
    "-hr-mp3-seek",
    "-nokeepaspect",
    "-keepaspect",
    "-noautosub",
    "-nolirc",
    "-benchmark",
    "-nocache",
    "-forceidx",
    "-idx",
    "-fixed-vo",
    "-nomsgcolor",
    "-noconsolecontrols",
    "-noidx",
    "-loop0",
    "-nofs",
    "-double",
    "-nodouble",
    "-noaspect",
    "-zoom",
    "-nozoom",
    "-nograbpointer",
    "-noar",
    "-nojoystick",
    "-nomouseinput",
    "-nostop-xscreensaver",
    "-rootwin",
    "-ontop",
    "-framedrop",
    "-hardframedrop",
    "-noframedrop",
    "-nobps",
};

// -list-options prints " %-20.20s %-15.15s ..." per option: the name is cut at 20 characters.
constexpr size_t kNameWidth = 20;
constexpr size_t kTypeColumn = kNameWidth + 2;
constexpr size_t kTypeWidth = 15;
// Fewer rows than this is not the player's table (a stand-in or an error message).
constexpr size_t kMinimumRows = 20;
constexpr size_t kMaxListOutput = 1u << 20;
const char kCacheMagic[] = "quorvan mplayer options 1";

std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(' ');
    if (begin == std::string::npos)
        return "";
    size_t end = text.find_last_not_of(' ');
    return text.substr(begin, end - begin + 1);
}

// Flags, help texts and plain functions stand alone; every other type reads the next word.
bool TypeTakesValue(const std::string& type) {
    return type != "Flag" && type != "Print" && type != "Func";
}

PlayerOptionTable g_current = PlayerOptionTable::Fallback();

// What identifies one installed binary: its real path, modification time and size.
std::string BinaryKey(const std::string& program) {
    std::string path =
        program.find('/') == std::string::npos ? FindProgramOnPath(program) : program;
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return "";
    std::ostringstream key;
    key << path << '\t' << st.st_mtim.tv_sec << '.' << st.st_mtim.tv_nsec << '\t' << st.st_size;
    return key.str();
}

// The question runs in a process group of its own, which a signal sent to us does not reach:
// told to go while it runs (the front end's SIGTERM when it closes or exits), we take that
// group with us rather than leave a player that never answered running for ever.
volatile sig_atomic_t g_probeGroup = 0;
constexpr int kEndingSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void KillProbeAndEnd(int signal) {
    pid_t group = g_probeGroup;
    if (group > 0)
        kill(-group, SIGKILL);
    std::signal(signal, SIG_DFL);
    raise(signal);
}

// Installs KillProbeAndEnd for the ending signals while it lives; the old handlers after.
class ProbeSignalGuard {
  public:
    ProbeSignalGuard() {
        struct sigaction action {};
        action.sa_handler = KillProbeAndEnd;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < std::size(kEndingSignals); ++i)
            sigaction(kEndingSignals[i], &action, &old_[i]);
    }
    ~ProbeSignalGuard() {
        g_probeGroup = 0;
        for (size_t i = 0; i < std::size(kEndingSignals); ++i)
            sigaction(kEndingSignals[i], &old_[i], nullptr);
    }
    ProbeSignalGuard(const ProbeSignalGuard&) = delete;
    ProbeSignalGuard& operator=(const ProbeSignalGuard&) = delete;

  private:
    struct sigaction old_[std::size(kEndingSignals)]{};
};

// The output of `program -list-options`, or "" when it could not be run within the limit.
std::string RunListOptions(const std::string& program, int timeoutMs) {
    SpawnOptions options;
    options.argv = {program, "-list-options"};
    options.pipeOutput = true;
    options.nullStdio = true; // stdin from /dev/null: nothing to wait for there
    options.newProcessGroup = true;
    ProbeSignalGuard guard;
    SpawnResult child = SpawnProcess(options);
    if (!child.ok())
        return "";
    g_probeGroup = child.pid;
    std::string output;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool complete = false;
    while (!complete) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0)
            break;
        pollfd p{child.outputFd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0)
            continue;
        char buf[8192];
        ssize_t n = read(child.outputFd, buf, sizeof(buf));
        if (n > 0 && output.size() < kMaxListOutput)
            output.append(buf, static_cast<size_t>(n));
        else if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
            complete = true;
    }
    close(child.outputFd);
    int status = 0;
    if (!complete || !WaitProcess(child.pid, complete ? 2000 : 0, &status)) {
        KillProcessGroup(child.pid, 0);
        return "";
    }
    return output;
}
} // namespace

PlayerOptionTable PlayerOptionTable::Fallback() {
    PlayerOptionTable table;
    for (const char* flag : kFallbackFlags)
        table.exact_[flag + 1] = false;
    return table;
}

std::optional<PlayerOptionTable> PlayerOptionTable::FromListOptions(const std::string& output) {
    PlayerOptionTable table;
    table.learned_ = true;
    size_t rows = 0;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.size() < kTypeColumn + 1 || line[0] != ' ' || line[kNameWidth + 1] != ' ')
            continue;
        std::string name = Trim(line.substr(1, kNameWidth));
        std::string type = Trim(line.substr(kTypeColumn, kTypeWidth));
        if (name.empty() || type.empty() || name == "Name")
            continue;
        bool value = TypeTakesValue(type);
        ++rows;
        size_t colon = name.find(':');
        if (colon != std::string::npos) {
            // "input:file" is written "-input file=..."
            table.subconfigs_.insert(name.substr(0, colon));
        } else if (name.back() == '*') {
            table.prefixes_.emplace_back(name.substr(0, name.size() - 1), value);
        } else {
            table.exact_[name] = value;
            if (name.size() == kNameWidth) // perhaps cut: longer names starting so match it
                table.prefixes_.emplace_back(name, value);
        }
    }
    if (rows < kMinimumRows)
        return std::nullopt;
    return table;
}

bool PlayerOptionTable::TakesValue(const std::string& option) const {
    std::string name = option.size() > 1 && option[0] == '-' ? option.substr(1) : option;
    if (auto it = exact_.find(name); it != exact_.end())
        return it->second;
    if (subconfigs_.count(name) != 0)
        return true;
    for (const auto& [prefix, value] : prefixes_)
        if (name.rfind(prefix, 0) == 0)
            return value;
    // Unknown to the player: mplayer refuses it anyway; the hand-written list decides.
    static const PlayerOptionTable fallback = Fallback();
    if (learned_)
        return fallback.TakesValue(option);
    return true;
}

const PlayerOptionTable& CurrentPlayerOptionTable() {
    return g_current;
}

void SetPlayerOptionTable(PlayerOptionTable table) {
    g_current = std::move(table);
}

PlayerOptionTable LearnPlayerOptions(const std::string& program, const std::string& cacheFile,
                                     int timeoutMs) {
    const std::string key = BinaryKey(program);
    if (key.empty())
        return PlayerOptionTable::Fallback();
    const std::string header = std::string(kCacheMagic) + "\n" + key + "\n";
    if (std::optional<std::string> cached = ReadProfileFile(cacheFile);
        cached && cached->compare(0, header.size(), header) == 0) {
        if (auto table = PlayerOptionTable::FromListOptions(cached->substr(header.size())))
            return *table;
    }
    std::string output = RunListOptions(program, timeoutMs);
    auto table = PlayerOptionTable::FromListOptions(output);
    if (!table)
        return PlayerOptionTable::Fallback();
    // A failed write only means asking again next time.
    WriteFileAtomically(cacheFile, header + output);
    return *table;
}
