#include "tools/unrar/bitinput.h"

BitInput::BitInput(PackedSource& source) : source_(source), buffer_(1 << 16) {}

void BitInput::Refill() {
    while (held_ <= 56) {
        if (at_ == end_ && !sourceEnded_) {
            at_ = 0;
            end_ = source_.Read(buffer_.data(), buffer_.size());
            delivered_ += end_;
            sourceEnded_ = end_ == 0;
        }
        uint64_t byte = at_ < end_ ? buffer_[at_++] : 0; // zeros past the end
        bits_ |= byte << (56 - held_);
        held_ += 8;
    }
}
