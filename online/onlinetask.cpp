#include "online/onlinetask.h"

#include "online/cancel.h"
#include "platform/windowport.h"

#include <thread>

std::shared_ptr<OnlineTask> OnlineTask::Start(std::function<void()> work,
                                              std::function<void(bool cancelled)> done) {
    std::shared_ptr<OnlineTask> task(new OnlineTask());
    // The worker owns a reference, so the task outlives a caller that lets go of it.
    std::thread([task, work = std::move(work), done = std::move(done)]() mutable {
        {
            ScopedCancel scope(&task->cancel_);
            work();
        }
        task->finished_ = true;
        Port().PostToUi([task, done = std::move(done)] { done(task->Cancelled()); });
    }).detach();
    return task;
}

void OnlineTask::Cancel() {
    cancel_ = true;
}
