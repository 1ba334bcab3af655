#include "platform/deferringmutex.h"

#include "platform/windowport.h"

void MessageDeferringMutex::unlock() {
    std::vector<Message> due;
    if (--depth_ == 0)
        due.swap(pending_);
    mutex_.unlock();
    for (const Message& message : due)
        Port().MessageBox(message.text, message.caption, message.flags);
}

void MessageDeferringMutex::DeferMessageBox(std::string text, std::string caption, int flags) {
    pending_.push_back({std::move(text), std::move(caption), flags});
}
