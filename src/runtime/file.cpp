// Buffered UTF-8 text files over stdio streams, named by number or handle. A file is created for
// writing or opened for reading, never both, and has one 4096-byte transfer buffer.
#include "runtime/file.h"

#include <fcntl.h>
#include <stdio_ext.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr size_t FileBufferSize = 4096;

struct FileObject {
    FILE* stream = nullptr;
    std::unique_ptr<unsigned char[]> buffer = std::make_unique<unsigned char[]>(FileBufferSize);
    bool reading = false;
    size_t used = 0;   // writing: bytes waiting in the buffer
    size_t start = 0;  // reading: the unread bytes are buffer[start, end)
    size_t end = 0;
    int error = 0;  // errno of the first write or flush that failed
    // Writing: where the stream stands, counted here so that asking costs no system call; -1 once a
    // write failed part way, and then asked of the stream.
    int64_t streamOffset = 0;

    FileObject() = default;
    FileObject(const FileObject&) = delete;
    FileObject& operator=(const FileObject&) = delete;
    ~FileObject();
};

// Function-local, so that files still open when the program ends are flushed and closed by the
// table's destructor even if nobody called CloseFile(AnyNumber).
ObjectTable<FileObject>& Files() {
    static ObjectTable<FileObject> files(16);
    return files;
}

// --- Writing ---------------------------------------------------------------------------------

// Keeps the first failure of a write: what comes after it is usually its consequence.
void WriteRaw(FileObject& f, const void* bytes, size_t size) {
    errno = 0;
    const bool whole = fwrite(bytes, 1, size, f.stream) == size;
    if (!whole && f.error == 0) f.error = errno != 0 ? errno : EIO;
    f.streamOffset = whole && f.streamOffset >= 0 ? f.streamOffset + int64_t(size) : -1;
}

void FlushStream(FileObject& f) {
    errno = 0;
    if (fflush(f.stream) != 0 && f.error == 0) f.error = errno != 0 ? errno : EIO;
}

void WriteOutBuffer(FileObject& f) {
    if (f.used > 0) WriteRaw(f, f.buffer.get(), f.used);
    f.used = 0;
}

FileObject::~FileObject() {
    if (!stream) return;
    if (!reading) WriteOutBuffer(*this);
    fclose(stream);
}

// Bytes that fit join the buffer; otherwise the buffer goes out first, and 4096 bytes or more
// then go straight to the stream.
void WriteBytes(FileObject& f, std::string_view bytes) {
    if (f.reading || bytes.empty()) return;
    if (bytes.size() > FileBufferSize - f.used) {
        WriteOutBuffer(f);
        if (bytes.size() >= FileBufferSize) {
            WriteRaw(f, bytes.data(), bytes.size());
            return;
        }
    }
    memcpy(f.buffer.get() + f.used, bytes.data(), bytes.size());
    f.used += bytes.size();
}

// --- Reading ---------------------------------------------------------------------------------

// At least one unread byte in the buffer; false at the end of the file.
bool FillBuffer(FileObject& f) {
    if (f.start < f.end) return true;
    f.start = 0;
    f.end = fread(f.buffer.get(), 1, FileBufferSize, f.stream);
    return f.end > 0;
}

bool IsLineEnd(unsigned char byte) { return byte == '\n' || byte == '\r' || byte == 0; }

// Appends the bytes up to the next line end to `line`, but never more than `limit` of them:
// the rest of a longer line is passed over, and `cut` tells that it was. Consumes the line end
// and, after a carriage return, a line feed right behind it. Scans the buffer in runs, so long
// lines are cheap. A line end is never part of a UTF-8 sequence, so stopping at the first one also
// ends a line whose multi-byte character was cut short instead of swallowing the line end into it.
void ReadLineBytes(FileObject& f, std::string& line, size_t limit, bool& cut) {
    while (FillBuffer(f)) {
        const unsigned char* begin = f.buffer.get() + f.start;
        const unsigned char* stop = f.buffer.get() + f.end;
        const unsigned char* p = std::find_if(begin, stop, IsLineEnd);
        const size_t count = static_cast<size_t>(p - begin), room = limit - line.size();
        if (count > room) cut = true;
        line.append(reinterpret_cast<const char*>(begin), std::min(count, room));
        f.start += count;
        if (f.start < f.end) {
            ++f.start;
            if (*p == '\r' && FillBuffer(f) && f.buffer[f.start] == '\n') ++f.start;
            return;
        }
    }
}

// --- Opening ---------------------------------------------------------------------------------

FILE* OpenRegularFile(const std::string& name) {
    struct stat status {};
    if (stat(name.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return nullptr;
    // Opened without blocking and checked again: should the path have become a FIFO since the
    // check, opening must not wait for a writer that never comes.
    int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return nullptr;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    FILE* stream = fdopen(fd, "r");
    if (!stream) close(fd);
    return stream;
}

int64_t OpenFileObject(int64_t number, TextView path, bool forReading) {
    const int64_t requested = number;
    // The record comes first: an old file under the same number is closed (and its buffered bytes
    // written) before the path is opened, which matters when both name the same file.
    FileObject* f = Files().Create(number);
    if (!f) return 0;
    std::string name = TextToUtf8(path);
    if (name.find('\0') == std::string::npos)  // a NUL would silently cut the path short
        f->stream = forReading ? OpenRegularFile(name) : fopen(name.c_str(), "we");
    if (!f->stream) {
        Files().Free(number);
        return 0;
    }
    f->reading = forReading;
    setvbuf(f->stream, nullptr, _IONBF, 0);  // this layer buffers; a second copy gains nothing
    return requested == AnyNumber ? number : 1;
}

std::string PasswordHome() {
    long hint = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> scratch(hint > 0 ? static_cast<size_t>(hint) : 16384);
    for (;;) {
        passwd entry{};
        passwd* found = nullptr;
        int error = getpwuid_r(getuid(), &entry, scratch.data(), scratch.size(), &found);
        if (error == ERANGE && scratch.size() < (1u << 20)) {
            scratch.resize(scratch.size() * 2);
            continue;
        }
        if (error != 0 || !found || !found->pw_dir) return {};
        return found->pw_dir;
    }
}

}  // namespace

int64_t CreateFile(int64_t number, TextView path) { return OpenFileObject(number, path, false); }

int64_t ReadFile(int64_t number, TextView path) { return OpenFileObject(number, path, true); }

void WriteStringFormat(int64_t file) {
    if (FileObject* f = Files().Get(file)) WriteBytes(*f, "\xEF\xBB\xBF");
}

void WriteStringN(int64_t file, TextView text) { WriteUtf8N(file, TextToUtf8(text)); }

void WriteUtf8N(int64_t file, std::string_view bytes) {
    FileObject* f = Files().Get(file);
    if (!f || f->reading) return;
    if (bytes.size() < FileBufferSize - f->used) {  // both fit: no copy of the line
        WriteBytes(*f, bytes);
        WriteBytes(*f, "\n");
    } else {  // a line that pushes the buffer out goes on with its end
        WriteBytes(*f, std::string(bytes) + '\n');
    }
}

Text ReadStringWithin(int64_t file, int64_t maxBytes, bool& tooLong) {
    tooLong = false;
    FileObject* f = Files().Get(file);
    if (!f || !f->reading) return {};
    std::string bytes;
    ReadLineBytes(*f, bytes, maxBytes > 0 ? static_cast<size_t>(maxBytes) : 0, tooLong);
    return tooLong ? Text() : TextFromUtf8(bytes);
}

int Eof(int64_t file) {
    FileObject* f = Files().Get(file);
    return f && f->reading && !FillBuffer(*f) ? 1 : 0;
}

void FlushFileBuffers(int64_t file) {
    FileObject* f = Files().Get(file);
    if (!f || f->reading) return;
    WriteOutBuffer(*f);
    FlushStream(*f);
}

int FileError(int64_t file) {
    FileObject* f = Files().Get(file);
    return f ? f->error : 0;
}

int64_t FileWriteOffset(int64_t file) {
    FileObject* f = Files().Get(file);
    if (!f) return -1;
    const off_t offset = !f->reading && f->streamOffset >= 0 ? off_t(f->streamOffset) : ftello(f->stream);
    return offset < 0 ? -1 : int64_t(offset) + int64_t(f->reading ? 0 : f->used);
}

int64_t FileStoredSize(int64_t file) {
    FileObject* f = Files().Get(file);
    struct stat status {};
    if (!f || fstat(fileno(f->stream), &status) != 0) return -1;
    return int64_t(status.st_size);
}

bool CutFile(int64_t file, int64_t size) {
    FileObject* f = Files().Get(file);
    if (!f || f->reading || size < 0) return false;
    f->used = 0;
    __fpurge(f->stream);
    f->streamOffset = -1;
    if (ftruncate(fileno(f->stream), off_t(size)) != 0) return false;
    return fseeko(f->stream, off_t(size), SEEK_SET) == 0;
}

void CloseFile(int64_t file) { Files().Free(file); }

Text GetHomeDirectory() {
    const char* variable = getenv("HOME");
    std::string home = variable && *variable ? std::string(variable) : PasswordHome();
    if (home.empty()) return {};
    if (home.back() != '/') home.push_back('/');
    return TextFromUtf8(home);
}
