#include "online/cancel.h"

namespace {
thread_local const std::atomic<bool>* tCancelFlag = nullptr;
}

ScopedCancel::ScopedCancel(const std::atomic<bool>* flag) : previous_(tCancelFlag) {
    tCancelFlag = flag;
}

ScopedCancel::~ScopedCancel() {
    tCancelFlag = previous_;
}

bool CurrentExchangeCancelled() {
    return tCancelFlag != nullptr && tCancelFlag->load(std::memory_order_relaxed);
}
