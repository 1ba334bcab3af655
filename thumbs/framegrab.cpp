#include "thumbs/framegrab.h"

#include "thumbs/capturerules.h"

#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}
} // namespace

std::string ScreenshotFileName(const std::string& line) {
    size_t open = line.find('\'');
    if (open == std::string::npos)
        return "";
    size_t close = line.find('\'', open + 1);
    if (close == std::string::npos)
        return "";
    std::string name = line.substr(open + 1, close - open - 1);
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
        return "";
    return name;
}

FrameGrabber::FrameGrabber(CaptureChannel& channel, std::string folder, const PlaybackStart& start)
    : channel_(channel), folder_(std::move(folder)),
      placer_(channel, FramesPerSecond(start.videoLine)) {}

FrameGrabber::Status FrameGrabber::Keyframe(double seconds, Clock::time_point deadline,
                                            GrabbedFrame* frame) {
    return Placed(placer_.SeekTo(seconds, deadline), deadline, frame);
}

FrameGrabber::Status FrameGrabber::Exact(double seconds, Clock::time_point deadline,
                                         GrabbedFrame* frame) {
    return Placed(placer_.PlaceExactly(seconds, deadline), deadline, frame);
}

FrameGrabber::Status FrameGrabber::Placed(FramePlacer::Result placed, Clock::time_point deadline,
                                          GrabbedFrame* frame) {
    if (placed == FramePlacer::Result::Exited)
        return Status::Exited;
    if (placed == FramePlacer::Result::Interrupted)
        return Status::Interrupted;
    if (placed == FramePlacer::Result::Silent || placer_.where() < 0)
        return Status::NoAnswer;
    Status shot = Shoot(deadline, &frame->image);
    if (shot == Status::Ok)
        frame->seconds = placer_.where();
    return shot;
}

FrameGrabber::Status FrameGrabber::Shoot(Clock::time_point deadline, QImage* image) {
    if (!channel_.Send("pausing screenshot"))
        return Status::Exited;
    std::string line;
    while (true) {
        ReadStatus status = channel_.ReadLine(line, MsLeft(deadline));
        if (status == ReadStatus::Timeout)
            return Status::NoAnswer;
        if (status == ReadStatus::End || IsExitingLine(line.c_str()))
            return Status::Exited;
        if (!IsScreenshotLine(line.c_str()))
            continue;
        const std::string name = ScreenshotFileName(line);
        if (name.empty())
            return Status::NoPicture;
        const std::string path = folder_ + "/" + name;
        QImage loaded(QString::fromStdString(path), "PNG");
        unlink(path.c_str());
        if (loaded.isNull())
            return Status::NoPicture;
        *image = loaded.convertToFormat(QImage::Format_RGB32);
        return Status::Ok;
    }
}
