#include "tools/wrapper/openfailure.h"

#include "tools/wrapper/crashreport.h"

namespace {
std::string WithoutTerminator(const std::string& piece) {
    std::string text = piece;
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    return text;
}
} // namespace

bool OpenFailurePlugin::OnOutput(const std::string& piece, PlayerIo& io) {
    if (piece.rfind("Starting playback...", 0) == 0) {
        started_ = true;
    } else if (!started_ && IsPlayerErrorLine(piece)) {
        failure_ = WithoutTerminator(piece);
    } else if (piece.rfind("Exiting... (End of file)", 0) == 0 && !started_) {
        const std::string& reason =
            ownProblem_ != nullptr && !ownProblem_->empty() ? *ownProblem_ : failure_;
        io.Print("Exiting... (Fatal error) " +
                 (reason.empty() ? std::string("mplayer found nothing it could play") : reason) +
                 "\n");
        return false;
    }
    return true;
}
