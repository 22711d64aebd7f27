#include "common/read_ahead.h"

#include <algorithm>
#include <cstring>

namespace common {

ReadAhead::ReadAhead(InputFile file, size_t blockBytes, size_t blocks) : file_(std::move(file)), blocks_(blocks) {
    for (size_t i = 0; i < blocks_.size(); ++i) {
        blocks_[i].bytes.resize(blockBytes);
        free_.push_back(i);
    }
    reader_ = std::thread([this] { produce(); });
}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    reader_.join();
}

void ReadAhead::produce() {
    for (;;) {
        size_t index = 0;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || !free_.empty(); });
            if (stopping_) return;
            index = free_.front();
            free_.pop_front();
        }
        Block& block = blocks_[index];
        block.size = 0;
        block.last = false;
        long got = 0;
        // A block is filled whole before it is handed over, so the reader's
        // window sees the same bytes whatever sizes read() returns.
        while (block.size < block.bytes.size() && (got = file_.read(block.bytes.data() + block.size,
                                                                   block.bytes.size() - block.size)) > 0)
            block.size += static_cast<size_t>(got);
        block.last = got <= 0;
        {
            std::lock_guard lock(mutex_);
            if (got < 0) {
                failed_ = true;
                error_ = file_.error();
            }
            ready_.push_back(index);
        }
        changed_.notify_all();
        if (block.last) return;
    }
}

long ReadAhead::read(char* into, size_t count) {
    size_t copied = 0;
    std::unique_lock lock(mutex_);
    while (copied < count && !ended_) {
        changed_.wait(lock, [this] { return !ready_.empty(); });
        Block& block = blocks_[ready_.front()];
        const size_t n = std::min(count - copied, block.size - offset_);
        // A ready block is the reader's alone: the copy needs no lock.
        lock.unlock();
        std::memcpy(into + copied, block.bytes.data() + offset_, n);
        lock.lock();
        copied += n;
        offset_ += n;
        if (offset_ < block.size) continue;
        if (block.last) {
            ended_ = true;
            if (failed_) return -1;
            break;
        }
        free_.push_back(ready_.front());
        ready_.pop_front();
        offset_ = 0;
        changed_.notify_all();
    }
    return static_cast<long>(copied);
}

}  // namespace common
