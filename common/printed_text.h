// Text printed into memory, for work done on another thread whose console
// text must appear in the one-thread order.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <new>
#include <stdio.h>
#include <string>

namespace common {

class PrintedText {
public:
    PrintedText() : file_(::open_memstream(&data_, &size_)) {
        if (file_ == nullptr) throw std::bad_alloc();
    }
    ~PrintedText() {
        if (file_ != nullptr) std::fclose(file_);
        std::free(data_);
    }
    PrintedText(const PrintedText&) = delete;
    PrintedText& operator=(const PrintedText&) = delete;

    std::FILE* file() const { return file_; }
    // Everything printed; the stream is closed after.
    std::string take() {
        std::fclose(file_);
        file_ = nullptr;
        return std::string(data_, size_);
    }

private:
    char* data_ = nullptr;
    size_t size_ = 0;
    std::FILE* file_;
};

}  // namespace common
