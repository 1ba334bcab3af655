#pragma once
// The window side of an online exchange: the work runs on a worker (online/onlinetask.h)
// while the window keeps running, shows a busy cursor and, after 1 s, a small dialog with
// a "Cancel" button; Cancel (or closing that dialog) stops the transfer at once. `apply`
// runs on the window thread when the work has ended, with cancelled = true after a Cancel,
// and applies the results (messages, relaunch) in the order the command gives.
//
// One exchange at a time: while one runs, a second request is refused (false) and the user
// is told to wait.
#include <atomic>
#include <functional>
#include <memory>
#include <string>

// `waitText` is the line the Cancel dialog shows. With `progress` (per mille, written by the
// work) the dialog also has a progress bar that follows it.
bool RunOnlineWithWait(const std::string& waitText, std::function<void()> work,
                       std::function<void(bool cancelled)> apply,
                       std::shared_ptr<const std::atomic<int>> progress = nullptr);

// True while an exchange started here has not yet been applied.
bool OnlineExchangeRunning();
// Cancels the running exchange, if any (the exit command, tests).
void CancelOnlineExchange();
// The exit command: cancels the running exchange and gives its worker a moment to let go
// of the transfer before the process ends; nothing of it is applied any more.
void EndOnlineExchangeForExit();
