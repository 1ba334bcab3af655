#include "tools/wrapper/subtitletracker.h"

#include "platform/fdio.h"
#include "platform/paths.h"
#include "player/slavecommand.h"
#include "tools/wrapper/wrapperoptions.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
constexpr long long kPollMs = 100;
// Status lines this recent make position questions unnecessary.
constexpr long long kStatusFreshMs = 300;
// A question unanswered this long is taken as lost.
constexpr long long kAnswerLimitMs = 2000;
// The longest a cue is looked back for while it may still be shown.
constexpr size_t kOverlapLookBack = 16;

bool StartsWith(const std::string& s, const char* prefix) {
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

std::string WithoutLineEnd(std::string s) {
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n'))
        s.pop_back();
    return s;
}

// The command without its "pausing..." prefix, split into its name and the rest.
void SplitCommand(const std::string& command, std::string& name, std::string& rest) {
    std::string c = command;
    for (const char* prefix :
         {"pausing_keep_force ", "pausing_keep ", "pausing_toggle ", "pausing "})
        if (StartsWith(c, prefix)) {
            c = c.substr(std::strlen(prefix));
            break;
        }
    size_t blank = c.find(' ');
    name = c.substr(0, blank);
    rest = blank == std::string::npos ? "" : c.substr(blank + 1);
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\r'))
        rest.pop_back();
}

// The file argument of "sub_load", read the way mplayer reads it.
std::string LoadArgument(const std::string& rest) {
    std::string file;
    return ReadSlaveText(rest, &file) ? file : std::string();
}

std::string LengthText(const std::string& seconds) {
    double s = std::atof(seconds.c_str());
    if (!(s > 0))
        return "unknown";
    long long whole = static_cast<long long>(s);
    char buf[64];
    std::snprintf(buf, sizeof(buf), "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                  whole % 60);
    return buf;
}

const char* QuestionText(int what) {
    static const char* const texts[] = {"pausing_keep_force get_time_pos",
                                        "pausing_keep_force get_property pause",
                                        "pausing_keep_force get_property sub_file",
                                        "pausing_keep_force get_property sub_visibility",
                                        "pausing_keep_force get_property sub_delay"};
    return texts[what];
}
} // namespace

SubtitleTrackerPlugin::SubtitleTrackerPlugin(std::string movieName,
                                             std::function<long long()> clockMs)
    : movieName_(std::move(movieName)), clockMs_(std::move(clockMs)) {}

long long SubtitleTrackerPlugin::Now() const {
    if (clockMs_)
        return clockMs_();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string SubtitleTrackerPlugin::PrepareFile(const std::string& path,
                                               std::vector<std::string>& log) {
    std::string error;
    std::string bytes = ReadSubtitleBytes(path, &error);
    if (bytes.empty()) {
        log.push_back("Subtitle file " + path + " refused: " + error);
        return "";
    }
    // Binary data (a movie or an archive given as a subtitle) is never handed to mplayer.
    ParsedSubtitles parsed = ParseSubtitleFile(bytes);
    if (parsed.error.find("binary") != std::string::npos) {
        log.push_back("Subtitle file " + path + " refused: " + parsed.error);
        return "";
    }
    DetectedEncoding encoding = DetectSubtitleEncoding(bytes);
    if (!NeedsCopy(encoding, subcp_))
        return path;
    std::string copy =
        copies_.Make(path, Utf8ToEncoding(SubtitleTextToUtf8(bytes, encoding), subcp_));
    if (copy.empty())
        return path;
    log.push_back("Subtitle file " + path + " is " + encoding.name + ": read as " + subcp_);
    return copy;
}

void SubtitleTrackerPlugin::Prepare(std::vector<std::string>& args) {
    std::vector<size_t> movies = FindMovieArguments(args);
    std::vector<size_t> subArgs;
    bool autosub = true;
    int fuzziness = 0;
    bool userSubcp = false;
    for (size_t i = 0; i + 1 < args.size(); ++i) {
        const std::string& w = args[i];
        if (w == "-sub")
            subArgs.push_back(i + 1);
        else if (w == "-subfps")
            forcedFps_ = std::atof(args[i + 1].c_str());
        else if (w == "-sub-fuzziness")
            fuzziness = std::atoi(args[i + 1].c_str());
        else if (w == "-subcp") {
            userSubcp = true;
            subcp_ = args[i + 1];
        }
    }
    for (const auto& w : args)
        autosub = autosub && w != "-noautosub";

    // The encoding of the first subtitle mplayer will show decides -subcp; files in another
    // encoding are handed to it as copies in that one.
    std::string primary;
    for (size_t at : subArgs)
        if (primary.empty() && !args[at].empty())
            primary = args[at].substr(0, args[at].find(','));
    // mplayer looks for subtitles beside local files only (not standard input, URLs or DVDs).
    const bool localMovie = !movies.empty() && args[movies.front()] != "-" &&
                            args[movies.front()].find("://") == std::string::npos;
    std::vector<std::string> candidates;
    if (primary.empty() && autosub && localMovie) {
        candidates = AutoloadCandidates(args[movies.front()], fuzziness);
        if (!candidates.empty())
            primary = candidates.front();
    }
    std::vector<std::string> log;
    if (!userSubcp) {
        subcp_ = "UTF-8";
        std::string error;
        std::string bytes = primary.empty() ? "" : ReadSubtitleBytes(primary, &error);
        // A binary file is refused below: it has no encoding to choose.
        if (!bytes.empty() && ParseSubtitleFile(bytes).error.find("binary") != std::string::npos)
            primary.clear();
        else if (!bytes.empty())
            subcp_ = SubcpFor(DetectSubtitleEncoding(bytes));
        size_t at = movies.empty() ? args.size() : movies.front();
        args.insert(args.begin() + static_cast<long>(at), {"-subcp", subcp_});
        for (auto& s : subArgs)
            if (s >= at)
                s += 2;
        if (!primary.empty())
            log.push_back("Subtitle encoding: -subcp " + subcp_ + " for " + primary);
    }
    std::vector<size_t> emptied;
    for (size_t at : subArgs) {
        std::string kept;
        std::string list = args[at];
        size_t start = 0;
        while (start <= list.size()) {
            size_t comma = list.find(',', start);
            std::string file =
                list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
            std::string given = file.empty() ? "" : PrepareFile(file, log);
            if (!given.empty())
                kept += (kept.empty() ? "" : ",") + given;
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
        if (kept.empty() && !list.empty())
            emptied.push_back(at);
        args[at] = kept.empty() ? list : kept;
    }
    // A -sub whose every file was refused goes, with its option word.
    for (auto it = emptied.rbegin(); it != emptied.rend(); ++it)
        args.erase(args.begin() + static_cast<long>(*it) - 1,
                   args.begin() + static_cast<long>(*it) + 1);
    // Files beside the movie in another encoding than the first: mplayer is given them all
    // itself, those as copies, instead of finding them.
    bool mixed = false;
    std::vector<std::string> found;
    // A folder full of text files is not read whole at every start: the likeliest few count.
    if (candidates.size() > 30)
        candidates.resize(30);
    for (const auto& file : candidates) {
        std::string error;
        std::string bytes = ReadSubtitleBytes(file, &error);
        if (bytes.empty() || file.find(',') != std::string::npos ||
            !ParseSubtitleFile(bytes).error.empty())
            continue;
        found.push_back(file);
        mixed = mixed || NeedsCopy(DetectSubtitleEncoding(bytes), subcp_);
    }
    if (mixed) {
        std::string list;
        for (const auto& file : found) {
            std::string given = PrepareFile(file, log);
            if (!given.empty())
                list += (list.empty() ? "" : ",") + given;
        }
        std::vector<size_t> now = FindMovieArguments(args);
        size_t at = now.empty() ? args.size() : now.front();
        args.insert(args.begin() + static_cast<long>(at), {"-noautosub", "-sub", list});
    }
    for (const auto& line : log)
        WriteAllBlocking(1, line + "\n");
}

void SubtitleTrackerPlugin::Message(const std::string& text, PlayerIo& io) {
    io.Print(text + "\n");
}

void SubtitleTrackerPlugin::Question(Ask what, PlayerIo& io) {
    io.SendToPlayer(QuestionText(static_cast<int>(what)));
    asked_.push_back({what, Now(), generation_});
}

bool SubtitleTrackerPlugin::TakeAnswer(Ask what, bool* current) {
    for (auto it = asked_.begin(); it != asked_.end(); ++it)
        if (it->what == what) {
            if (current != nullptr)
                *current = it->generation == generation_;
            asked_.erase(it);
            return true;
        }
    return false;
}

void SubtitleTrackerPlugin::AskSubtitleState(PlayerIo& io) {
    if (files_.empty())
        return; // mplayer has no subtitle properties then, only complaints
    Question(Ask::SubFile, io);
    Question(Ask::Visibility, io);
    Question(Ask::Delay, io);
}

void SubtitleTrackerPlugin::PollPosition(PlayerIo& io) {
    bool timeAsked = std::any_of(asked_.begin(), asked_.end(),
                                 [](const Asked& a) { return a.what == Ask::Time; });
    if (timeAsked)
        return; // one question at a time; the answer comes within milliseconds
    Question(Ask::Time, io);
    Question(Ask::Pause, io);
    nextPollMs_ = Now() + kPollMs;
}

void SubtitleTrackerPlugin::Forget() {
    shown_.clear();
}

void SubtitleTrackerPlugin::LoadCommand(const std::string& argument, PlayerIo& io) {
    std::string error;
    std::string bytes = ReadSubtitleBytes(argument, &error);
    if (bytes.empty()) {
        Message("Subtitle file " + argument + " refused: " + error, io);
        return;
    }
    ParsedSubtitles parsed = ParseSubtitleFile(bytes);
    if (!parsed.error.empty() && parsed.error.find("binary") != std::string::npos) {
        Message("Subtitle file " + argument + " refused: " + parsed.error, io);
        return;
    }
    DetectedEncoding encoding = DetectSubtitleEncoding(bytes);
    std::string path = argument;
    if (NeedsCopy(encoding, subcp_)) {
        std::string copy =
            copies_.Make(argument, Utf8ToEncoding(SubtitleTextToUtf8(bytes, encoding), subcp_));
        if (!copy.empty())
            path = copy;
    }
    SlaveCommand load("sub_load");
    load.Text(path);
    if (!load.ok()) {
        Message(load.refusal(), io);
        return;
    }
    io.SendToPlayer(load.line());
}

SubtitleTrackerPlugin::File* SubtitleTrackerPlugin::SelectedFile() {
    if (selected_ < 0 || static_cast<size_t>(selected_) >= files_.size())
        return nullptr;
    File& f = files_[static_cast<size_t>(selected_)];
    if (!f.read) {
        f.read = true;
        std::string error;
        std::string bytes = ReadSubtitleBytes(f.path, &error);
        f.parsed = bytes.empty() ? ParsedSubtitles{} : ParseSubtitleFile(bytes);
        if (bytes.empty())
            f.parsed.error = error;
    }
    double fps = movieFps_;
    if (f.cuesFps != fps) {
        f.cues = CuesInMilliseconds(f.parsed, fps, forcedFps_);
        f.cuesFps = fps;
    }
    return &f;
}

bool SubtitleTrackerPlugin::OnCommand(const std::string& command, PlayerIo& io) {
    std::string name, rest;
    SplitCommand(command, name, rest);
    if (name == "sub_load") {
        LoadCommand(LoadArgument(rest), io);
        return false;
    }
    if (name == "quit" || name == "stop") {
        playing_ = false;
        return true;
    }
    const bool subtitleState = name == "sub_select" || name == "sub_file" || name == "sub_demux" ||
                               name == "sub_vob" || name == "sub_source" || name == "sub_remove" ||
                               name == "sub_visibility" || name == "sub_delay";
    const bool moves = name == "seek" || name == "seek_chapter" || name == "frame_step" ||
                       name == "pause" || name == "speed_set" || name == "speed_incr" ||
                       name == "speed_mult" || name == "loadfile";
    if (!subtitleState && !moves)
        return true;
    io.SendToPlayer(command);
    if (name == "sub_remove") {
        int n = rest.empty() ? -1 : std::atoi(rest.c_str());
        if (n < 0)
            files_.clear();
        else if (static_cast<size_t>(n) < files_.size())
            files_.erase(files_.begin() + n);
    }
    if (subtitleState) {
        Forget();
        AskSubtitleState(io);
    } else if (playing_) {
        if (name != "pause") {
            clock_.Reset();
            Forget(); // a line seeked into appears again
        }
        ++generation_;
        // The position is asked at once, so a line after a seek comes without a poll's wait;
        // answers to questions asked before it are kept from the front end and not believed.
        Question(Ask::Time, io);
        Question(Ask::Pause, io);
    }
    return false;
}

bool SubtitleTrackerPlugin::OnOutput(const std::string& piece, PlayerIo& io) {
    const long long now = Now();
    double seconds = 0;
    if (std::sscanf(piece.c_str(), "A:%lf", &seconds) == 1 ||
        std::sscanf(piece.c_str(), "V:%lf", &seconds) == 1) {
        if (playing_) {
            clock_.SetPaused(false, now);
            clock_.Sample(seconds, now);
            lastStatusMs_ = now;
        }
        return true;
    }
    if (StartsWith(piece, "ANS_TIME_POSITION=")) {
        bool current = true;
        bool ours = TakeAnswer(Ask::Time, &current);
        if (current)
            clock_.Sample(std::atof(piece.c_str() + 18), now);
        return !ours;
    }
    if (StartsWith(piece, "ANS_pause=")) {
        bool current = true;
        bool ours = TakeAnswer(Ask::Pause, &current);
        if (current)
            clock_.SetPaused(StartsWith(piece, "ANS_pause=yes"), now);
        return !ours;
    }
    if (StartsWith(piece, "ANS_sub_file=")) {
        int n = std::atoi(piece.c_str() + 13);
        if (n != selected_)
            Forget();
        selected_ = n;
        return !TakeAnswer(Ask::SubFile);
    }
    if (StartsWith(piece, "ANS_sub_visibility=")) {
        bool on = StartsWith(piece, "ANS_sub_visibility=yes");
        if (on != visible_)
            Forget();
        visible_ = on;
        return !TakeAnswer(Ask::Visibility);
    }
    if (StartsWith(piece, "ANS_sub_delay=")) {
        double d = std::atof(piece.c_str() + 14);
        if (d != delay_)
            Forget();
        delay_ = d;
        return !TakeAnswer(Ask::Delay);
    }
    if (StartsWith(piece, "Failed to get value of property '") && !asked_.empty())
        return false; // its ANS_ERROR line follows
    if (StartsWith(piece, "ANS_ERROR=") && !asked_.empty()) {
        // A property mplayer does not have now (no subtitles at all): our question's answer.
        asked_.pop_front();
        return false;
    }
    if (StartsWith(piece, "ID_FILE_SUB_ID=")) {
        pendingFileId_ = std::atoi(piece.c_str() + 15);
        return true;
    }
    if (StartsWith(piece, "ID_FILE_SUB_FILENAME=")) {
        std::string path = WithoutLineEnd(piece.substr(21));
        if (pendingFileId_ >= 0 && pendingFileId_ < 1000) {
            size_t id = static_cast<size_t>(pendingFileId_);
            if (files_.size() <= id)
                files_.resize(id + 1);
            files_[id] = File{};
            files_[id].path = path;
            pendingFileId_ = -1;
            if (playing_)
                AskSubtitleState(io);
        }
        // The front end lists the file the user chose, not our copy of it.
        std::string original = copies_.OriginalOf(path);
        if (original != path) {
            io.Print("ID_FILE_SUB_FILENAME=" + original +
                     piece.substr(WithoutLineEnd(piece).size()));
            return false;
        }
        return true;
    }
    if (StartsWith(piece, "ID_VIDEO_FPS=")) {
        movieFps_ = std::atof(piece.c_str() + 13);
    } else if (StartsWith(piece, "ID_LENGTH=")) {
        movieLength_ = WithoutLineEnd(piece.substr(10));
    } else if (StartsWith(piece, "ID_VIDEO_WIDTH=")) {
        width_ = std::atoi(piece.c_str() + 15);
    } else if (StartsWith(piece, "ID_VIDEO_HEIGHT=")) {
        height_ = std::atoi(piece.c_str() + 16);
    } else if (StartsWith(piece, "Playing ")) {
        // The next movie of mplayer's own list: its subtitles are announced afresh.
        files_.clear();
        selected_ = 0;
        playing_ = false;
        clock_.Reset();
        Forget();
    } else if (StartsWith(piece, "Starting playback...")) {
        playing_ = true;
        infoDue_ = true;
        clock_.Reset();
        Forget();
        AskSubtitleState(io);
        if (!files_.empty())
            PollPosition(io);
    } else if (StartsWith(piece, "Exiting...")) {
        playing_ = false;
    }
    return true;
}

void SubtitleTrackerPlugin::ShowLines(PlayerIo& io) {
    File* file = visible_ ? SelectedFile() : nullptr;
    if (file == nullptr || file->cues.empty() || !clock_.Known()) {
        if (file == nullptr)
            Forget();
        return;
    }
    const auto& cues = file->cues;
    const double atMs = (clock_.Now(Now()) - delay_) * 1000.0;
    // Cues are sorted by start: those on screen start at or before now and end after it.
    auto upper =
        std::upper_bound(cues.begin(), cues.end(), atMs, [](double t, const SubtitleCue& c) {
            return t < static_cast<double>(c.start);
        });
    size_t end = static_cast<size_t>(upper - cues.begin());
    std::vector<size_t> now;
    for (size_t k = end, looked = 0; k > 0 && looked < kOverlapLookBack; --k, ++looked)
        if (static_cast<double>(cues[k - 1].end) > atMs)
            now.push_back(k - 1);
    std::reverse(now.begin(), now.end());
    for (size_t k : now)
        if (std::find(shown_.begin(), shown_.end(), k) == shown_.end())
            io.Print("XX : " + OneLine(cues[k].text) + "\n");
    shown_ = now;
}

void SubtitleTrackerPlugin::OnTick(PlayerIo& io) {
    const long long now = Now();
    while (!asked_.empty() && now - asked_.front().at > kAnswerLimitMs)
        asked_.pop_front();
    if (!playing_)
        return;
    if (infoDue_) {
        infoDue_ = false;
        // The name is text from outside like the subtitles: one line, no control characters.
        std::string name = movieName_.empty() ? "unknown" : OneLine(FileNameFromPath(movieName_));
        io.Print("XX :  movie info: " + name + ", length " + LengthText(movieLength_) + ", video " +
                 std::to_string(width_) + "x" + std::to_string(height_) + "\n");
    }
    if (files_.empty())
        return; // nothing to show: mplayer is not asked anything
    if (now - lastStatusMs_ > kStatusFreshMs && now >= nextPollMs_)
        PollPosition(io);
    ShowLines(io);
}
