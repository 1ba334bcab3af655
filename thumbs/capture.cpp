#include "thumbs/capture.h"

#include "platform/textutil.h"
#include "platform/windowport.h"
#include "thumbs/capturerules.h"
#include "thumbs/frameplacer.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// A line longer than this (no terminator in sight) is handed over in pieces.
constexpr size_t kMaxLine = 2000;
} // namespace

FdChannel::FdChannel(int outputFd, std::function<bool(const std::string&)> send)
    : fd_(outputFd), send_(std::move(send)) {}

bool FdChannel::Send(const std::string& command) {
    return send_ ? send_(command) : false;
}

ReadStatus FdChannel::ReadLine(std::string& line, int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        size_t end = pending_.find_first_of("\r\n");
        if (end != std::string::npos || pending_.size() >= kMaxLine) {
            size_t cut = end != std::string::npos ? end : kMaxLine;
            line = pending_.substr(0, cut);
            size_t skip = cut;
            if (end != std::string::npos) {
                skip = cut + 1;
                // "\r\n" is one line end.
                if (pending_[cut] == '\r' && skip < pending_.size() && pending_[skip] == '\n')
                    ++skip;
            }
            pending_.erase(0, skip);
            return ReadStatus::Line;
        }
        if (ended_ || fd_ < 0) {
            if (!pending_.empty()) {
                line.swap(pending_);
                pending_.clear();
                return ReadStatus::Line;
            }
            return ReadStatus::End;
        }
        pollfd p{fd_, POLLIN, 0};
        int rc = poll(&p, 1, MsLeft(deadline));
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc == 0)
            return ReadStatus::Timeout;
        char buffer[4096];
        ssize_t n = read(fd_, buffer, sizeof(buffer));
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0) {
            ended_ = true;
            continue;
        }
        pending_.append(buffer, static_cast<size_t>(n));
    }
}

PlaybackStart WaitForPlaybackStart(CaptureChannel& channel, int limitMs) {
    PlaybackStart start;
    auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    std::string line;
    while (true) {
        ReadStatus status = channel.ReadLine(line, MsLeft(deadline));
        if (status != ReadStatus::Line)
            return start;
        float length = 0;
        if (line.compare(0, 10, "ID_LENGTH=") == 0) {
            length = std::strtof(line.c_str() + 10, nullptr);
            if (length > 0)
                start.length = length;
        } else if (ParseLengthAnswer(line.c_str(), &length) && length > 0) {
            start.length = length;
        } else if (line.compare(0, 6, "VIDEO:") == 0) {
            start.videoLine = line;
        } else if (IsExitingLine(line.c_str())) {
            return start;
        } else if (IsStartingPlayback(line.c_str())) {
            start.started = true;
            return start;
        }
    }
}

float AskMovieLength(CaptureChannel& channel, int limitMs) {
    if (!channel.Send("pausing_keep_force get_time_length"))
        return 0;
    auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    std::string line;
    while (channel.ReadLine(line, MsLeft(deadline)) == ReadStatus::Line) {
        float length = 0;
        if (ParseLengthAnswer(line.c_str(), &length))
            return length;
        if (IsExitingLine(line.c_str()))
            return 0;
    }
    return 0;
}

SeriesPlan PlanSeries(float length, int count, const PlaybackStart& start) {
    SeriesPlan plan;
    plan.framesPerSecond = FramesPerSecond(start.videoLine);
    if (length > 0) {
        plan.positions = SeriesPositions(length, count);
        plan.movieLength = length;
    } else {
        // No seek goes below 0 or past the end of a movie whose end nobody knows.
        plan.positions = SeriesPercentPositions(count);
        plan.seekMode = 1;
    }
    return plan;
}

SeriesResult TakeScreenshots(CaptureChannel& channel, const SeriesPlan& plan) {
    SeriesResult result;
    bool askTime = plan.askTimePosition;
    bool forward = plan.decodeForward && plan.seekMode == 2 && !plan.pauseAfterSeek;
    FramePlacer placer(channel, plan.framesPerSecond);
    int lastVideoTime = 0;
    std::string line;
    for (size_t i = 0; i < plan.positions.size(); ++i) {
        const int position = plan.positions[i];
        auto deadline = Clock::now() + std::chrono::milliseconds(plan.frameLimitMs);
        bool shot = false, answered = false, exited = false;
        if (forward && askTime) {
            double next = i + 1 < plan.positions.size() ? plan.positions[i + 1]
                          : plan.movieLength > 0        ? plan.movieLength
                                                        : 1e9;
            FramePlacer::Result placed = placer.Place(position, next, deadline);
            if (placed == FramePlacer::Result::Exited)
                exited = true;
            else if (placed == FramePlacer::Result::Silent)
                askTime = forward = false; // the answers are kept from us
        } else {
            channel.Send(Format("pausing seek %d %d", position, plan.seekMode));
            if (plan.pauseAfterSeek) {
                channel.Send("pause");
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
        }
        if (!exited) {
            channel.Send("pausing screenshot");
            if (askTime)
                channel.Send("pausing_keep_force get_time_pos");
        }
        while (!exited && !(shot && (answered || !askTime))) {
            ReadStatus status = channel.ReadLine(line, MsLeft(deadline));
            if (status == ReadStatus::Timeout && shot) {
                // The answers are kept from us (a player that swallows them): stop asking.
                askTime = forward = false;
                break;
            }
            if (status != ReadStatus::Line) {
                exited = true;
                break;
            }
            int seconds = 0;
            double exact = 0;
            if (ParseVideoTime(line.c_str(), &seconds)) {
                lastVideoTime = seconds;
            } else if (ParseTimePositionSeconds(line.c_str(), &exact) &&
                       ParseTimePositionAnswer(line.c_str(), &seconds)) {
                lastVideoTime = seconds;
                placer.StandsAt(exact);
                answered = true;
            } else if (IsExitingLine(line.c_str())) {
                exited = true;
                break;
            } else if (IsScreenshotLine(line.c_str())) {
                shot = true;
                ++result.shots;
                // The answer normally comes first; a short wait is enough for one that lags.
                if (!answered && askTime)
                    deadline = Clock::now() + std::chrono::milliseconds(1000);
            }
        }
        if (plan.makeItems) {
            thumbitem item;
            // A percent series' frames are found again by their time.
            item.seekPos = plan.seekMode == 2 ? position : lastVideoTime;
            item.videoTime = lastVideoTime;
            result.frames.push_back(item);
        }
        if (exited) {
            Port().MessageBox(plan.exitingText, plan.exitingCaption, MB_OK_);
            result.endedEarly = true;
            break;
        }
    }
    return result;
}
