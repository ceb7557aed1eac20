// Text files, on real files in a fresh temporary directory per test.
#include "runtime/file.h"
#include "scratch_dir.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

class FileTest : public ::testing::Test {
protected:
    void TearDown() override { CloseFile(AnyNumber); }
    std::string Path(const std::string& name) const { return dir_.File(name); }
    Text TPath(const std::string& name) const { return TextFromUtf8(Path(name)); }
    void Put(const std::string& name, const std::string& bytes) const { dir_.Write(name, bytes); }
    std::string Bytes(const std::string& name) const { return dir_.Read(name); }
    // Every line of the file, read as the log loader reads: one line while Eof is 0.
    std::vector<Text> Lines(const std::string& bytes, int flags) const {
        Put("in.txt", bytes);
        int64_t file = ReadFile(AnyNumber, TPath("in.txt"), flags);
        std::vector<Text> lines;
        while (file && !Eof(file) && lines.size() < 100) lines.push_back(ReadString(file));
        CloseFile(file);
        return lines;
    }
    ScratchDir dir_;
};

TEST_F(FileTest, MarkAndTwoLinesGiveExactBytesAndReadBackWithTheMarkAsData) {
    int64_t out = CreateFile(AnyNumber, TPath("log.csv"), EncodingUtf8);
    WriteStringFormat(out, EncodingUtf8);
    WriteStringN(out, u"a", EncodingUtf8);
    WriteStringN(out, u"b", EncodingUtf8);
    CloseFile(out);
    EXPECT_EQ(Bytes("log.csv"), "\xEF\xBB\xBF" "a\nb\n");
    int64_t in = ReadFile(AnyNumber, TPath("log.csv"), EncodingUtf8);
    EXPECT_EQ(ReadString(in), u"\uFEFFa");
    EXPECT_EQ(Eof(in), 0);
    EXPECT_EQ(ReadString(in), u"b");
    EXPECT_EQ(Eof(in), 1);
    EXPECT_EQ(ReadString(in), u"");
}

TEST_F(FileTest, LinesReadBackWithoutTheirEndsEachExactlyOnce) {
    const std::string block(4095, 'x');  // puts the next byte at the buffer's edge
    const Text xs(4095, u'x');
    const int utf8 = EncodingUtf8, utf16 = EncodingUtf16, mark = FileByteOrderMark;
    const struct { const char* name; int flags; std::string bytes; std::vector<Text> lines; } cases[] = {
        {"LF", utf8, "a\nb\n", {u"a", u"b"}}, {"CR LF", utf8, "a\r\n\r\nb\r\n", {u"a", u"", u"b"}},
        {"CR, last byte CR", utf8, "a\rb\r", {u"a", u"b"}}, {"CR CR", utf8, "a\r\rb", {u"a", u"", u"b"}},
        {"NUL", utf8, "a\0b\0"s, {u"a", u"b"}}, {"only a line end", utf8, "\r\n", {u""}}, {"empty", utf8, "", {}},
        {"CR LF split by a refill", utf8, block + "\r\ny", {xs, u"y"}},
        {"CR at the buffer's end", utf8, block + "\rz\n", {xs, u"z"}},
        {"character split by a refill", utf8, block + "\xE2\x82\xAC\n", {xs + u"€"}},
        {"stray continuation", utf8, "a\x80" "b\n", {u"a?b"}}, {"lead before LF", utf8, "\xC3\nb", {u"?", u"b"}},
        {"cut by the end", utf8, "a\xE2\x82", {u"a??"}}, {"overlong", utf8, "\xC0\xAF\n", {u"??"}},
        {"UTF-16 CR LF, CR", utf16, "a\0\r\0\n\0b\0\r\0c\0"s, {u"a", u"b", u"c"}},
        {"UTF-16 NUL, pair", utf16, "a\0\0\0=\xD8\0\xDE"s, {u"a", u"😀"}},
        {"UTF-16 odd last byte", utf16, "a\0b"s, {u"a"}}, {"8-bit", EncodingAscii, "a\xE9\n\xFF", {u"aé", u"ÿ"}},
        {"UTF-8 mark", mark | utf8, "\xEF\xBB\xBF" "a\n", {u"a"}}, {"UTF-16 mark", mark, "\xFF\xFE" "a\0"s, {u"a"}},
        {"UTF-8 mark overrides", mark | utf16, "\xEF\xBB\xBF" "a", {u"a"}}, {"no mark", mark, "ab", {u"ab"}},
    };
    for (const auto& c : cases) EXPECT_EQ(Lines(c.bytes, c.flags), c.lines) << c.name;
}

TEST_F(FileTest, WritingProducesTheBytesOfTheEncoding) {
    const int mark = FileByteOrderMark;
    const struct { const char* name; int flags, encoding; Text text; std::string bytes; } cases[] = {
        {"UTF-8", 0, 0, u"é€😀", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\n"},
        {"file's UTF-16", EncodingUtf16, 0, u"aé😀", "a\0\xE9\0=\xD8\0\xDE\n\0"s},
        {"call overrides the file", EncodingUtf16, EncodingUtf8, u"a\r", "a\r\n"},
        {"8-bit drops wide units", EncodingAscii, 0, u"aé€", "a\xE9\n"},
        {"lone surrogate", EncodingUtf8, 0, u"a\xD800" "b", "a\xEF\xBF\xBD" "b\n"},
        {"UTF-16 mark", mark | EncodingUtf16, 0, u"", "\xFF\xFE\n\0"s},
        {"8-bit has no mark", mark | EncodingAscii, 0, u"a", "a\n"},
    };
    for (const auto& c : cases) {
        int64_t file = CreateFile(AnyNumber, TPath("out.txt"), c.flags);
        WriteStringN(file, c.text, c.encoding);
        CloseFile(file);
        EXPECT_EQ(Bytes("out.txt"), c.bytes) << c.name;
    }
    int64_t file = CreateFile(AnyNumber, TPath("marks.txt"));
    for (int encoding : {int{EncodingUtf16}, int{MarkUtf16BigEndian}, int{MarkUtf32LittleEndian},
                         int{MarkUtf32BigEndian}, int{EncodingAscii}})
        WriteStringFormat(file, encoding);
    CloseFile(file);
    EXPECT_EQ(Bytes("marks.txt"), "\xFF\xFE" "\xFE\xFF" "\xFF\xFE\0\0" "\0\0\xFE\xFF"s);  // 8-bit: none
}

TEST_F(FileTest, BufferedBytesReachTheFileInOrder) {
    // Each write is a line of its own letter; `onDisk` lines must be in the file before it is closed:
    // a write that does not fit pushes out the buffer, 4096 bytes or more go straight to the file.
    const struct { std::vector<size_t> lengths; size_t onDisk; } cases[] = {
        {{10, 20}, 0}, {{4095}, 0}, {{4095, 0}, 1}, {{4000, 200}, 1}, {{10, 5000, 10}, 2}, {{5000}, 1},
    };
    for (const auto& c : cases) {
        int64_t file = CreateFile(AnyNumber, TPath("out.txt"), EncodingUtf8);
        std::string all, onDisk;
        for (size_t i = 0; i < c.lengths.size(); ++i) {
            const std::string line(c.lengths[i], char('a' + i));
            WriteStringN(file, TextFromUtf8(line));
            all += line + "\n";
            if (i < c.onDisk) onDisk += line + "\n";
        }
        EXPECT_EQ(Bytes("out.txt"), onDisk) << c.lengths.size() << " lines, first " << c.lengths[0];
        CloseFile(file);
        EXPECT_EQ(Bytes("out.txt"), all);
    }
    int64_t file = CreateFile(AnyNumber, TPath("flush.txt"));
    WriteStringN(file, u"header");
    FlushFileBuffers(file);
    WriteStringN(file, u"row");
    EXPECT_EQ(Bytes("flush.txt"), "header\n");
}

TEST_F(FileTest, FileErrorKeepsTheFirstFailedWriteOrFlush) {
    // /dev/full takes every open and refuses every write; the failure shows once bytes reach it.
    const struct { const char* path; int flags; size_t lineLength; bool flush; int error; } cases[] = {
        {"/dev/full", EncodingUtf8, 10, false, 0},       {"/dev/full", EncodingUtf8, 10, true, ENOSPC},
        {"/dev/full", EncodingUtf8, 5000, false, ENOSPC}, {"/dev/full", FileNoBuffer, 10, false, ENOSPC},
        {nullptr, EncodingUtf8, 10, true, 0},
    };
    for (const auto& c : cases) {
        const Text path = c.path ? TextFromUtf8(c.path) : TPath("fine.txt");
        int64_t file = CreateFile(AnyNumber, path, c.flags);
        ASSERT_NE(file, 0) << c.path;
        WriteStringN(file, Text(c.lineLength, u'x'));
        if (c.flush) FlushFileBuffers(file);
        EXPECT_EQ(FileError(file), c.error) << (c.path ? c.path : "file") << " " << c.lineLength;
        CloseFile(file);
        EXPECT_EQ(FileError(file), 0);  // a closed file has nothing to tell
    }
}

TEST_F(FileTest, ReadingAndWritingOneFileKeepsEveryByteInOrder) {
    for (int flags : {0, int{FileNoBuffer}}) {
        int64_t file = CreateFile(AnyNumber, TPath("out.txt"), flags);
        WriteStringN(file, u"a");
        EXPECT_EQ(ReadString(file), u"");
        WriteStringN(file, Text(5000, u'c'));
        Eof(file);  // without a buffer it reads nothing; with one it switches to reading
        WriteStringN(file, u"d");
        CloseFile(file);
        EXPECT_EQ(Bytes("out.txt"), "a\n" + std::string(5000, 'c') + "\nd\n") << flags;
    }
    Put("in.txt", "a\nb\n");  // a file opened for reading is never written
    ReadFile(7, TPath("in.txt"));
    EXPECT_EQ(ReadString(7), u"a");
    WriteStringN(7, Text(5000, u'z'));
    FlushFileBuffers(7);
    EXPECT_EQ(ReadString(7), u"b");
    EXPECT_EQ(Bytes("in.txt"), "a\nb\n");
}

TEST_F(FileTest, TenMegabyteLineReadsBackWhole) {
    // Multi-byte characters at every alignment, so many of them straddle buffer refills.
    Text line;
    const Text pattern = u"ab€c😀déf,";
    while (line.size() + pattern.size() <= (10u << 20)) line += pattern;
    int64_t out = CreateFile(AnyNumber, TPath("long.txt"), EncodingUtf8);
    WriteStringN(out, line);
    WriteStringN(out, u"next");
    CloseFile(out);
    int64_t in = ReadFile(AnyNumber, TPath("long.txt"), EncodingUtf8);
    EXPECT_TRUE(ReadString(in) == line);
    EXPECT_EQ(ReadString(in), u"next");
    EXPECT_EQ(Eof(in), 1);
}

// A bounded read keeps lines up to the limit as ReadString does and passes over longer ones to
// their end, in every encoding and with or without the buffer.
TEST_F(FileTest, BoundedReadsDropLinesBeyondTheLimitAndGoOnAfterThem) {
    const std::string atLimit(5000, 'a'), overLimit(5001, 'b');
    const int utf8 = EncodingUtf8, utf16 = EncodingUtf16, noBuffer = FileNoBuffer, latin = EncodingAscii;
    const auto wide = [](const std::string& bytes) {
        std::string out;
        for (char c : bytes) out += std::string(1, c) + '\0';
        return out;
    };
    struct Line { Text text; bool tooLong; };
    const struct { const char* name; int flags; std::string bytes; std::vector<Line> lines; } cases[] = {
        {"UTF-8", utf8, atLimit + "\r\n" + overLimit + "\r\nend", {{Text(5000, u'a'), false}, {u"", true}, {u"end", false}}},
        {"unbuffered", utf8 | noBuffer, overLimit + "\n" + atLimit, {{u"", true}, {Text(5000, u'a'), false}}},
        {"8-bit", latin, overLimit + "\r" + "x\xE9", {{u"", true}, {u"x\u00E9", false}}},
        {"UTF-16", utf16, wide(std::string(2500, 'c') + "\r\n" + std::string(2501, 'd') + "\nz"),
         {{Text(2500, u'c'), false}, {u"", true}, {u"z", false}}},
        {"a cut sequence", utf8, std::string(4999, 'e') + "\xC3\xA9\n", {{u"", true}}},
    };
    for (const auto& c : cases) {
        Put("in.txt", c.bytes);
        int64_t file = ReadFile(AnyNumber, TPath("in.txt"), c.flags);
        for (const Line& expected : c.lines) {
            bool tooLong = !expected.tooLong;
            EXPECT_EQ(ReadStringWithin(file, 5000, tooLong), expected.text) << c.name;
            EXPECT_EQ(tooLong, expected.tooLong) << c.name;
        }
        EXPECT_EQ(Eof(file), 1) << c.name;
        CloseFile(file);
    }
    bool tooLong = true;
    const Text none = ReadStringWithin(12345, 10, tooLong);
    EXPECT_TRUE(none.empty() && !tooLong) << "no such file";
}

TEST_F(FileTest, OpeningFailsForWhatIsNotARegularFile) {
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
    Put("in.txt", "a\n");
    for (const Text& path : {TextFromUtf8(dir_.path), TPath("missing.csv"), TPath("fifo"), Text(),
                             TPath("in.txt") + Text(1, u'\0') + u"x"}) {
        EXPECT_EQ(ReadFile(AnyNumber, path), 0) << TextToUtf8(path);
        EXPECT_EQ(ReadFile(4, path), 0) << TextToUtf8(path);
        EXPECT_EQ(IsFile(4), 0);
    }
    EXPECT_EQ(CreateFile(5, TextFromUtf8(dir_.path)), 0);
    EXPECT_EQ(CreateFile(5, TPath("missing/out.txt")), 0);
    EXPECT_EQ(IsFile(5), 0);
}

TEST_F(FileTest, NumbersAndHandlesNameTheirOwnFiles) {
    int64_t closed = CreateFile(AnyNumber, TPath("closed.txt"));
    CloseFile(closed);
    EXPECT_EQ(CreateFile(int64_t{1} << 40, TPath("huge.txt")), 0);
    EXPECT_FALSE(std::filesystem::exists(Path("huge.txt")));
    for (int64_t number : {int64_t{0}, int64_t{16}, int64_t{1} << 40, int64_t{-5}, closed}) {
        WriteStringN(number, u"x");
        EXPECT_EQ(IsFile(number) + Eof(number), 0) << number;
        EXPECT_EQ(ReadString(number), u"");
    }
    EXPECT_EQ(Bytes("closed.txt"), "");
    const int64_t handle = CreateFile(AnyNumber, TPath("handle.txt"));
    EXPECT_GT(handle, MaxObjectNumber);
    EXPECT_NE(CreateFile(0, TPath("zero.txt")), 0);
    WriteStringN(handle, u"h");
    WriteStringN(0, u"0");
    CloseFile(AnyNumber);
    EXPECT_EQ(IsFile(handle) + IsFile(0), 0);
    EXPECT_EQ(Bytes("handle.txt") + Bytes("zero.txt"), "h\n0\n");
}

TEST_F(FileTest, ReusingANumberClosesTheOldFileFirst) {
    Put("same.txt", std::string(100, 'x'));
    CreateFile(3, TPath("old.txt"));
    WriteStringN(3, u"old");
    ASSERT_NE(CreateFile(3, TPath("same.txt")), 0);  // emptied on creation
    EXPECT_EQ(Bytes("old.txt"), "old\n");
    WriteStringN(3, u"first");
    CreateFile(3, TPath("same.txt"));  // the old bytes go out before the file is truncated again
    WriteStringN(3, u"second");
    EXPECT_EQ(ReadFile(3, TPath("missing.txt")), 0);  // a failed opening still closed the old file
    EXPECT_EQ(IsFile(3), 0);
    EXPECT_EQ(Bytes("same.txt"), "second\n");
}

TEST(PathTest, HomeDirectoryComesFromHomeElseThePasswordEntryAndEndsInSlash) {
    const passwd* entry = getpwuid(getuid());
    std::string passwordHome = entry && entry->pw_dir ? entry->pw_dir : "";
    if (!passwordHome.empty() && passwordHome.back() != '/') passwordHome += '/';
    const char* home = getenv("HOME");
    const std::optional<std::string> saved = home ? std::optional<std::string>(home) : std::nullopt;
    const struct { const char* home; std::string expected; } cases[] = {
        {"/home/zo\xC3\xAB", "/home/zo\xC3\xAB/"}, {"/x/", "/x/"}, {"", passwordHome}, {nullptr, passwordHome}};
    for (const auto& c : cases) {
        c.home ? setenv("HOME", c.home, 1) : unsetenv("HOME");
        EXPECT_EQ(TextToUtf8(GetHomeDirectory()), c.expected) << (c.home ? c.home : "(unset)");
    }
    saved ? setenv("HOME", saved->c_str(), 1) : unsetenv("HOME");
}

TEST(PathTest, FilePartIsWhatFollowsTheLastSlash) {
    const struct { Text path, expected; } cases[] = {
        {u"/a/b/c.txt", u"c.txt"}, {u"\"/a/b c\"", u"b c"}, {u"/a/", u""}, {u"", u""}, {u"c.txt", u"c.txt"},
        {u"\"c.txt\" -x /y", u"c.txt"}, {u"\"/a/b", u"b"}, {u"a/b\"c", u"b\"c"}};
    for (const auto& c : cases) EXPECT_EQ(GetFilePart(c.path), c.expected) << TextToUtf8(c.path);
}

}  // namespace
