#include "ui/speechsynccommand.h"

#include "online/cancel.h"
#include "persist/i18l.h"
#include "platform/paths.h"
#include "platform/statefolder.h"
#include "platform/windowport.h"
#include "player/launchtables.h"
#include "player/mplayerinfo.h"
#include "subtitles/subtitleloading.h"
#include "subtitles/subtitlesync.h"
#include "ui/onlinewait.h"
#include "ui/uihooks.h"

#include <atomic>
#include <memory>

namespace {

constexpr size_t kNameLimit = 1400; // as the other subtitle dialogs

struct SyncJob {
    SubtitleSyncRequest request;
    SubtitleSyncResult result;
};

} // namespace

void SynchroniseToSpeechCommand() {
    std::string movie = Mp1.MovieFileSnapshot();
    if (movie.empty()) {
        Port().MessageBox(I18l.getString("MessageNoMoveOpen"), "Quorvan", MB_OK_);
        return;
    }
    std::string subtitle =
        Hooks().openFile({{"Text (*.txt,*.srt,*.sub,*.ssa,*.ass)", "*.TXT;*.srt;*.sub;*.ssa;*.ass"},
                          {"All (*.*)", "*.*"}});
    if (subtitle.empty() || subtitle.size() >= kNameLimit)
        return;

    auto job = std::make_shared<SyncJob>();
    job->request.movie = movie;
    job->request.subtitle = subtitle;
    job->request.fallbackFolder = StateFolder();
    auto progress = std::make_shared<std::atomic<int>>(0);
    RunOnlineWithWait(
        I18l.getString("Sync.Wait"),
        [job, progress] {
            // The wait dialog's Cancel reaches the decoder through the progress reports.
            std::atomic<bool> cancel{false};
            job->result = SynchroniseSubtitle(
                job->request,
                [&cancel, progress](double f) {
                    progress->store(static_cast<int>(f * 1000));
                    if (CurrentExchangeCancelled())
                        cancel.store(true);
                },
                &cancel);
        },
        [job, movie](bool cancelled) {
            const SubtitleSyncResult& r = job->result;
            if (cancelled || r.cancelled)
                return;
            if (!r.written) {
                Port().MessageBox(I18l.getString("Sync.Failed") + "\n" + r.error, "Quorvan",
                                  MB_OK_);
                return;
            }
            LoadSUB(Mp1, r.outPath);
            Port().SetTitle(std::string(ProgramTitle) + "| " + FileNameFromPath(movie) + " | " +
                            SyncSummary(r.fit));
        },
        progress);
}
