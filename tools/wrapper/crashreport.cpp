#include "tools/wrapper/crashreport.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {
std::string WithoutTerminator(std::string text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::string Lower(std::string text) {
    for (auto& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}
} // namespace

bool IsPlayerErrorLine(const std::string& piece) {
    const std::string line = WithoutTerminator(piece);
    if (line.empty() || StartsWith(line, "A:") || StartsWith(line, "V:") ||
        StartsWith(line, "Exiting...") || StartsWith(line, "- MPlayer crashed") ||
        StartsWith(line, "MPlayer interrupted by signal"))
        return false;
    // Things mplayer tries and gets over by itself are not the reason anything failed.
    if (StartsWith(line, "Failed to open VDPAU backend") || StartsWith(line, "[vdpau]") ||
        StartsWith(line, "Failed to open LIRC") || StartsWith(line, "Could not find matching"))
        return false;
    const std::string lower = Lower(line);
    for (const char* word : {"error", "failed", "fatal", "cannot", "can't", "couldn't"})
        if (lower.find(word) != std::string::npos)
            return true;
    return false;
}

bool CrashReportPlugin::OnOutput(const std::string& piece, PlayerIo&) {
    if (StartsWith(piece, "Exiting...")) {
        exitingSeen_ = true;
    } else if (StartsWith(piece, "Starting playback...")) {
        // What failed before is what mplayer tried and got over (video and audio outputs it
        // probes, a VDPAU device under XWayland): no reason for what happens now.
        firstXError_.clear();
        lastError_.clear();
    } else if (StartsWith(piece, "MPlayer interrupted by signal")) {
        signalLine_ = WithoutTerminator(piece);
    } else if (StartsWith(piece, "- MPlayer crashed")) {
        // Told once, in our own words, when the player has gone.
        ownCrashLine_ = true;
        return false;
    } else if (IsPlayerErrorLine(piece)) {
        lastError_ = WithoutTerminator(piece);
        if (firstXError_.empty() &&
            (StartsWith(piece, "X11 error:") || StartsWith(piece, "X Error of failed request")))
            firstXError_ = lastError_;
    }
    return true;
}

std::string CrashReportPlugin::Reason() const {
    return !firstXError_.empty() ? firstXError_ : lastError_;
}

std::string DescribeSignal(int signal) {
    const char* name = strsignal(signal);
    return "signal " + std::to_string(signal) +
           (name != nullptr ? " (" + std::string(name) + ")" : "");
}

namespace {
std::string CrashLineText(const std::string& how, const std::string& reason) {
    std::string line = "- Pelnix crashed: " + how;
    if (!reason.empty())
        line += "; last error: " + reason;
    return line + "\n";
}
} // namespace

std::string CrashReportPlugin::CrashLine(const ProxyResult& result) const {
    std::string how;
    if (!result.ran)
        return ""; // the proxy said why it could not start it
    if (result.crashed) {
        how = "mplayer ended by " + DescribeSignal(result.exitCode - 128);
    } else if (ownCrashLine_ || !signalLine_.empty()) {
        how = !signalLine_.empty() ? signalLine_ : "mplayer crashed";
    } else if (result.exitCode != 0 && !result.endedBySignal && !exitingSeen_) {
        how = "mplayer ended with exit code " + std::to_string(result.exitCode);
    } else {
        return "";
    }
    if (result.crashed && !signalLine_.empty())
        how += " (" + signalLine_ + ")";
    return CrashLineText(how, Reason());
}
