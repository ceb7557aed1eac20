// Helpers shared by the fuzz targets: an input as a file, and a hard stop for a broken property.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace fuzz {

// One in-memory file for the whole run, rewritten with each input: no disk traffic, and a path that
// the runtime opens like any regular file.
class InputFile {
public:
    InputFile() : fd_(memfd_create("quolk-fuzz-input", MFD_CLOEXEC)) {
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    const std::string& Write(const uint8_t* data, size_t size) {
        if (ftruncate(fd_, 0) != 0 || (size > 0 && pwrite(fd_, data, size, 0) != ssize_t(size))) std::abort();
        return path_;
    }

private:
    int fd_;
    std::string path_;
};

// A property every input must keep; its failure is a finding, reported like a crash.
inline void Require(bool holds, const char* what, std::string_view detail = {}) {
    if (holds) return;
    std::fprintf(stderr, "property broken: %s\n", what);
    std::fwrite(detail.data(), 1, detail.size() < 4000 ? detail.size() : 4000, stderr);
    std::fputc('\n', stderr);
    std::abort();
}

// Reads the input front to back as numbers and texts.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    // The next sizeof(Number) bytes as the number they make (missing bytes are 0).
    template <typename Number>
    Number Take() {
        unsigned char bytes[sizeof(Number)] = {};
        for (size_t i = 0; i < sizeof bytes && at_ < size_; ++i) bytes[i] = data_[at_++];
        Number value;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    }
    // Bytes up to the next `separator` (consumed) or the end.
    std::string_view Part(uint8_t separator) {
        size_t start = at_;
        while (at_ < size_ && data_[at_] != separator) ++at_;
        std::string_view part(reinterpret_cast<const char*>(data_ + start), at_ - start);
        if (at_ < size_) ++at_;
        return part;
    }
    std::string_view Rest() {
        std::string_view rest(reinterpret_cast<const char*>(data_ + at_), size_ - at_);
        at_ = size_;
        return rest;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

}  // namespace fuzz
