// A file read ahead of its reader by a thread of its own, one block at a
// time: on the machines we run on, copying a large export out of the page
// cache costs as much as parsing it, and the two can run on two cores.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "common/file_loader.h"

namespace common {

class ReadAhead {
public:
    // Takes the opened file and starts reading it from its current position.
    explicit ReadAhead(InputFile file, size_t blockBytes = size_t{1} << 20, size_t blocks = 4);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // As InputFile::read: up to `count` bytes, 0 at the end, -1 when the file
    // could not be read (error() then holds errno). Never returns fewer than
    // `count` bytes except at the end.
    long read(char* into, size_t count);
    int error() const { return error_; }

private:
    struct Block {
        std::vector<char> bytes;
        size_t size = 0;     // bytes read into it
        bool last = false;   // the end of the file, or a failed read
    };
    void produce();

    InputFile file_;
    std::vector<Block> blocks_;
    std::deque<size_t> ready_, free_;
    size_t offset_ = 0;  // into ready_.front()
    bool stopping_ = false, ended_ = false, failed_ = false;
    int error_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread reader_;
};

}  // namespace common
