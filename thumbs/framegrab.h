#pragma once
// Single frames on demand from a paused capture player (CapturePlayer, startPaused), the engine
// of the sheets used one frame at a time: a seek and a screenshot for the keyframe picture,
// FramePlacer's decoding forward for the exact one. The picture is read back from the file the
// player wrote into its folder and the file removed.
#include "thumbs/capture.h"
#include "thumbs/frameplacer.h"

#include <QImage>
#include <chrono>
#include <functional>
#include <string>

struct GrabbedFrame {
    QImage image;
    double seconds = -1; // the frame's own time, as the player answered it
};

class FrameGrabber {
  public:
    enum class Status {
        Ok,
        Exited,      // the player said "Exiting" or its output ended: it is gone
        NoAnswer,    // no answer within the limit: the player cannot be trusted any more
        NoPicture,   // the screenshot came but its file could not be read
        Interrupted, // the interruption (SetInterruption) came first: no picture was taken
    };

    // `start` is what the player said before its playback started (the frame rate).
    FrameGrabber(CaptureChannel& channel, std::string folder, const PlaybackStart& start);

    // The keyframe a seek to `seconds` lands on: fast, up to a keyframe distance late.
    Status Keyframe(double seconds, std::chrono::steady_clock::time_point deadline,
                    GrabbedFrame* frame);
    // The frame nearest `seconds` that decoding forward from the keyframe before it reaches.
    Status Exact(double seconds, std::chrono::steady_clock::time_point deadline,
                 GrabbedFrame* frame);
    // See FramePlacer::SetInterruption.
    void SetInterruption(std::function<bool()> interrupted, int stepsPerRound) {
        placer_.SetInterruption(std::move(interrupted), stepsPerRound);
    }

  private:
    Status Placed(FramePlacer::Result placed, std::chrono::steady_clock::time_point deadline,
                  GrabbedFrame* frame);
    // "pausing screenshot" and its file.
    Status Shoot(std::chrono::steady_clock::time_point deadline, QImage* image);

    CaptureChannel& channel_;
    std::string folder_;
    FramePlacer placer_;
};

// The file name a "*** screenshot 'shot0001.png' ***" line names, "" when it names none (or a
// name with a path in it).
std::string ScreenshotFileName(const std::string& line);
