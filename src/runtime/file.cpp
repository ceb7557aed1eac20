// Buffered text files over stdio streams, named by number or handle. Each file has one 4096-byte
// transfer buffer that serves either writing or reading, whichever was used last.
#include "runtime/file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int64_t FileBufferSize = 4096;
constexpr int EncodingBits = 0x1F;

enum class Direction { reading, writing };

struct FileObject {
    FILE* stream = nullptr;
    std::unique_ptr<unsigned char[]> buffer;  // none when opened with FileNoBuffer
    int64_t bufferSize = FileBufferSize;
    int64_t pending = 0;  // writing: bytes free in the buffer; reading: bytes still unread
    int64_t filled = 0;   // reading: bytes the last refill left in the buffer
    Direction direction = Direction::reading;
    int encoding = EncodingUtf8;
    bool readOnly = false;
    int error = 0;  // errno of the first write or flush that failed

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

// --- The transfer buffer ---------------------------------------------------------------------

// Keeps the first failure of a write: what comes after it is usually its consequence.
void WriteRaw(FileObject& f, const void* bytes, size_t size) {
    errno = 0;
    if (fwrite(bytes, 1, size, f.stream) != size && f.error == 0) f.error = errno != 0 ? errno : EIO;
}

void FlushStream(FileObject& f) {
    errno = 0;
    if (fflush(f.stream) != 0 && f.error == 0) f.error = errno != 0 ? errno : EIO;
}

void WriteOutBuffer(FileObject& f) {
    if (!f.buffer || f.direction != Direction::writing) return;
    int64_t used = f.bufferSize - f.pending;
    if (used > 0) WriteRaw(f, f.buffer.get(), static_cast<size_t>(used));
    f.pending = f.bufferSize;
}

FileObject::~FileObject() {
    if (!stream) return;
    WriteOutBuffer(*this);
    fclose(stream);
}

void SwitchToWriting(FileObject& f) {
    if (f.direction == Direction::writing) return;
    // The stream has run ahead of the reader by the unread bytes; writing continues where reading
    // stopped. The positioning call is also what stdio demands between input and output.
    fseeko(f.stream, -static_cast<off_t>(f.pending), SEEK_CUR);
    f.direction = Direction::writing;
    f.pending = f.buffer ? f.bufferSize : 0;
    f.filled = 0;
}

void SwitchToReading(FileObject& f) {
    if (f.direction == Direction::reading) return;
    WriteOutBuffer(f);
    fflush(f.stream);
    f.direction = Direction::reading;
    f.pending = 0;
    f.filled = 0;
}

void WriteBytes(FileObject& f, std::string_view bytes) {
    if (f.readOnly || bytes.empty()) return;
    SwitchToWriting(f);
    if (!f.buffer) {
        WriteRaw(f, bytes.data(), bytes.size());
        FlushStream(f);
        return;
    }
    auto size = static_cast<int64_t>(bytes.size());
    if (size > f.pending) {
        WriteOutBuffer(f);
        if (size >= f.bufferSize) {
            WriteRaw(f, bytes.data(), bytes.size());
            return;
        }
    }
    memcpy(f.buffer.get() + (f.bufferSize - f.pending), bytes.data(), bytes.size());
    f.pending -= size;
}

// Makes at least `count` unread bytes lie together in the buffer. False at the end of the file,
// where a partial unit is dropped so that reading always moves on.
bool FillBuffer(FileObject& f, int64_t count) {
    SwitchToReading(f);
    if (f.pending >= count) return true;
    unsigned char* b = f.buffer.get();
    memmove(b, b + (f.filled - f.pending), static_cast<size_t>(f.pending));
    size_t got = fread(b + f.pending, 1, static_cast<size_t>(f.bufferSize - f.pending), f.stream);
    f.filled = f.pending + static_cast<int64_t>(got);
    f.pending = f.filled;
    if (f.pending >= count) return true;
    f.pending = 0;
    return false;
}

// One unit of `size` bytes (1 for UTF-8 and 8-bit, 2 for UTF-16); false at the end of the file.
bool ReadUnit(FileObject& f, unsigned char* unit, int64_t size) {
    if (!f.buffer) {
        SwitchToReading(f);
        return fread(unit, 1, static_cast<size_t>(size), f.stream) == static_cast<size_t>(size);
    }
    if (!FillBuffer(f, size)) return false;
    memcpy(unit, f.buffer.get() + (f.filled - f.pending), static_cast<size_t>(size));
    f.pending -= size;
    return true;
}

// Puts back the unit just read; it still lies in the buffer because units are read whole.
void UnreadUnit(FileObject& f, int64_t size) {
    if (f.buffer)
        f.pending += size;
    else
        fseeko(f.stream, -static_cast<off_t>(size), SEEK_CUR);
}

// --- Lines -----------------------------------------------------------------------------------

bool IsLineEnd(unsigned char byte) { return byte == '\n' || byte == '\r' || byte == 0; }

// After a carriage return, a line feed right behind it belongs to the same line end.
void SkipLineFeed(FileObject& f, int64_t unitSize) {
    unsigned char unit[2] = {};
    if (!ReadUnit(f, unit, unitSize)) return;
    bool lineFeed = unit[0] == '\n' && (unitSize == 1 || unit[1] == 0);
    if (!lineFeed) UnreadUnit(f, unitSize);
}

// Appends the bytes up to the next line end to `line`, but never more than `limit` of them:
// the rest of a longer line is passed over, and `cut` tells that it was. Consumes the line end;
// returns the line end byte, or -1 at the end of the file. Scans the buffer in runs, so long lines
// are cheap. A line end is never part of a UTF-8 sequence, so stopping at the first one also ends
// a line whose multi-byte character was cut short instead of swallowing the line end into it.
int ReadLineBytes(FileObject& f, std::string& line, size_t limit, bool& cut) {
    const auto keep = [&](const unsigned char* bytes, size_t count) {
        size_t room = limit - line.size();
        if (count > room) cut = true;
        line.append(reinterpret_cast<const char*>(bytes), count < room ? count : room);
    };
    if (!f.buffer) {
        unsigned char byte;
        while (ReadUnit(f, &byte, 1)) {
            if (IsLineEnd(byte)) return byte;
            keep(&byte, 1);
        }
        return -1;
    }
    while (FillBuffer(f, 1)) {
        const unsigned char* start = f.buffer.get() + (f.filled - f.pending);
        const unsigned char* end = start + f.pending;
        const unsigned char* p = start;
        while (p < end && !IsLineEnd(*p)) ++p;
        keep(start, static_cast<size_t>(p - start));
        f.pending -= p - start;
        if (p < end) {
            --f.pending;
            return *p;
        }
    }
    return -1;
}

// The next UTF-16 line, with at most `limit` units kept as ReadLineBytes keeps bytes.
Text ReadLineUtf16(FileObject& f, size_t limit, bool& cut) {
    Text line;
    unsigned char unit[2];
    while (ReadUnit(f, unit, 2)) {
        auto u = static_cast<char16_t>(unit[0] | unit[1] << 8);
        if (u == u'\n' || u == 0) break;
        if (u == u'\r') {
            SkipLineFeed(f, 2);
            break;
        }
        if (line.size() < limit) line.push_back(u);
        else cut = true;
    }
    return line;
}

// The next line in the file's encoding, kept up to `limit` bytes as stored.
Text ReadLine(FileObject& f, size_t limit, bool& cut) {
    if (f.encoding == EncodingUtf16) return ReadLineUtf16(f, limit / 2, cut);
    std::string bytes;
    if (ReadLineBytes(f, bytes, limit, cut) == '\r') SkipLineFeed(f, 1);
    if (f.encoding == EncodingUtf8) return TextFromUtf8(bytes);
    Text line(bytes.size(), u'\0');
    for (size_t i = 0; i < bytes.size(); ++i) line[i] = static_cast<unsigned char>(bytes[i]);
    return line;
}

std::string EncodeLine(TextView text, int encoding) {
    std::string bytes;
    if (encoding == EncodingUtf8) {
        bytes = TextToUtf8(text);
        bytes.push_back('\n');
    } else if (encoding == EncodingUtf16) {
        bytes.reserve(2 * text.size() + 2);
        for (char16_t u : text) {
            bytes.push_back(static_cast<char>(u & 0xFF));
            bytes.push_back(static_cast<char>(u >> 8));
        }
        bytes.append("\n\0", 2);
    } else {
        bytes.reserve(text.size() + 1);
        for (char16_t u : text)
            if (u < 256) bytes.push_back(static_cast<char>(u));
        bytes.push_back('\n');
    }
    return bytes;
}

std::string_view ByteOrderMark(int encoding) {
    switch (encoding) {
        case EncodingUtf8: return {"\xEF\xBB\xBF", 3};
        case MarkUtf16BigEndian: return {"\xFE\xFF", 2};
        case MarkUtf32LittleEndian: return {"\xFF\xFE\0\0", 4};
        case MarkUtf32BigEndian: return {"\0\0\xFE\xFF", 4};
        case EncodingUtf16: return {"\xFF\xFE", 2};
        default: return {};
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

// With FileByteOrderMark: FF FE makes the file UTF-16, EF BB BF UTF-8; the mark is skipped, and
// without one reading starts at the first byte.
void DetectByteOrderMark(FileObject& f) {
    unsigned char mark[3] = {};
    size_t got = fread(mark, 1, 3, f.stream);
    off_t skip = 0;
    if (got >= 2 && mark[0] == 0xFF && mark[1] == 0xFE) {
        f.encoding = EncodingUtf16;
        skip = 2;
    } else if (got == 3 && mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF) {
        f.encoding = EncodingUtf8;
        skip = 3;
    }
    fseeko(f.stream, skip, SEEK_SET);
}

int64_t OpenFileObject(int64_t number, TextView path, int flags, bool forReading) {
    const int64_t requested = number;
    // The record comes first: an old file under the same number is closed (and its buffered bytes
    // written) before the path is opened, which matters when both name the same file.
    FileObject* f = Files().Create(number);
    if (!f) return 0;
    std::string name = TextToUtf8(path);
    if (name.find('\0') == std::string::npos)  // a NUL would silently cut the path short
        f->stream = forReading ? OpenRegularFile(name) : fopen(name.c_str(), "w+e");
    if (!f->stream) {
        Files().Free(number);
        return 0;
    }
    f->readOnly = forReading;
    f->encoding = (flags & EncodingBits) == 0 ? EncodingUtf8 : (flags & EncodingBits);
    if (!(flags & FileNoBuffer)) {
        f->buffer = std::make_unique<unsigned char[]>(FileBufferSize);
        setvbuf(f->stream, nullptr, _IONBF, 0);  // this layer buffers; a second copy gains nothing
    }
    f->direction = forReading ? Direction::reading : Direction::writing;
    f->pending = !forReading && f->buffer ? f->bufferSize : 0;
    if (flags & FileByteOrderMark) {
        if (forReading)
            DetectByteOrderMark(*f);
        else if (f->encoding == EncodingUtf8 || f->encoding == EncodingUtf16)
            WriteBytes(*f, ByteOrderMark(f->encoding));
    }
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

int64_t CreateFile(int64_t number, TextView path, int flags) {
    return OpenFileObject(number, path, flags, false);
}

int64_t ReadFile(int64_t number, TextView path, int flags) {
    return OpenFileObject(number, path, flags, true);
}

int64_t IsFile(int64_t file) { return Files().Exists(file) ? 1 : 0; }

void WriteStringFormat(int64_t file, int encoding) {
    if (FileObject* f = Files().Get(file)) WriteBytes(*f, ByteOrderMark(encoding));
}

void WriteStringN(int64_t file, TextView text, int encoding) {
    FileObject* f = Files().Get(file);
    if (!f || f->readOnly) return;
    WriteBytes(*f, EncodeLine(text, encoding != 0 ? encoding : f->encoding));
}

Text ReadString(int64_t file) {
    FileObject* f = Files().Get(file);
    bool cut = false;
    return f ? ReadLine(*f, SIZE_MAX, cut) : Text();
}

Text ReadStringWithin(int64_t file, int64_t maxBytes, bool& tooLong) {
    tooLong = false;
    FileObject* f = Files().Get(file);
    if (!f) return {};
    Text line = ReadLine(*f, maxBytes > 0 ? static_cast<size_t>(maxBytes) : 0, tooLong);
    if (tooLong) line.clear();
    return line;
}

int Eof(int64_t file) {
    FileObject* f = Files().Get(file);
    if (!f) return 0;
    if (!f->buffer) return feof(f->stream) ? 1 : 0;
    return FillBuffer(*f, 1) ? 0 : 1;
}

void FlushFileBuffers(int64_t file) {
    FileObject* f = Files().Get(file);
    if (!f || f->direction != Direction::writing) return;
    WriteOutBuffer(*f);
    FlushStream(*f);
}

int FileError(int64_t file) {
    FileObject* f = Files().Get(file);
    return f ? f->error : 0;
}

void CloseFile(int64_t file) { Files().Free(file); }

Text GetHomeDirectory() {
    const char* variable = getenv("HOME");
    std::string home = variable && *variable ? std::string(variable) : PasswordHome();
    if (home.empty()) return {};
    if (home.back() != '/') home.push_back('/');
    return TextFromUtf8(home);
}

Text GetFilePart(TextView path) {
    if (!path.empty() && path.front() == u'"') {
        path.remove_prefix(1);
        path = path.substr(0, path.find(u'"'));
    }
    size_t slash = path.rfind(u'/');
    return Text(slash == TextView::npos ? path : path.substr(slash + 1));
}
