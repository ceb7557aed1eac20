// Text files: exact bytes written, lines read back, buffering, numbering and the path helpers, on
// real files in a fresh temporary directory per test.
#include "runtime/file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <pwd.h>

#include <cstdint>
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
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "quolk-file-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        CloseFile(AnyNumber);
        std::filesystem::remove_all(dir_);
    }

    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    Text TextPath(const std::string& name) const { return TextFromUtf8(Path(name)); }

    void Put(const std::string& name, const std::string& bytes) const {
        std::ofstream(Path(name), std::ios::binary) << bytes;
    }
    std::string Bytes(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::string dir_;
};

// Every line of the file, read the way the log loader reads: one line while Eof is 0.
std::vector<Text> ReadLines(int64_t file) {
    std::vector<Text> lines;
    while (!Eof(file) && lines.size() < 1000) lines.push_back(ReadString(file));
    return lines;
}

std::string Repeat(char c, size_t n) { return std::string(n, c); }

TEST_F(FileTest, MarkAndTwoLinesGiveExactBytesAndReadBackWithTheMarkAsData) {
    int64_t out = CreateFile(AnyNumber, TextPath("log.csv"), EncodingUtf8);
    ASSERT_NE(out, 0);
    WriteStringFormat(out, EncodingUtf8);
    WriteStringN(out, u"a", EncodingUtf8);
    WriteStringN(out, u"b", EncodingUtf8);
    CloseFile(out);
    EXPECT_EQ(Bytes("log.csv"), "\xEF\xBB\xBF" "a\nb\n");

    int64_t in = ReadFile(AnyNumber, TextPath("log.csv"), EncodingUtf8);
    ASSERT_NE(in, 0);
    EXPECT_EQ(ReadString(in), u"\uFEFFa");
    EXPECT_EQ(Eof(in), 0);
    EXPECT_EQ(ReadString(in), u"b");
    EXPECT_EQ(Eof(in), 1);
    EXPECT_EQ(ReadString(in), u"");
}

TEST_F(FileTest, LinesReadBackWithoutTheirEndsAndEachExactlyOnce) {
    const std::string block = Repeat('x', 4095);  // puts the next byte at the buffer's edge
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<Text> lines;
    } cases[] = {
        {"line feeds", "a\nb\n", {u"a", u"b"}},
        {"CR LF", "a\r\nb\r\n", {u"a", u"b"}},
        {"CR alone, last byte CR", "a\rb\r", {u"a", u"b"}},
        {"NUL", "a\0b\0"s, {u"a", u"b"}},
        {"empty middle line", "a\n\nb\n", {u"a", u"", u"b"}},
        {"empty middle line CR LF", "a\r\n\r\nb\r\n", {u"a", u"", u"b"}},
        {"CR then CR", "a\r\rb", {u"a", u"", u"b"}},
        {"last line without end", "a\nb", {u"a", u"b"}},
        {"only a line end", "\r\n", {u""}},
        {"empty file", "", {}},
        {"multi-byte characters", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\n", {u"é€\U0001F600"}},
        {"CR LF split by a refill", block + "\r\ny", {Text(4095, u'x'), u"y"}},
        {"CR at the buffer's end then text", block + "\rz\n", {Text(4095, u'x'), u"z"}},
        {"character split by a refill", block + "\xE2\x82\xAC\n", {Text(4095, u'x') + u"€"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Put("in.txt", c.bytes);
        int64_t file = ReadFile(AnyNumber, TextPath("in.txt"), EncodingUtf8);
        ASSERT_NE(file, 0);
        EXPECT_EQ(ReadLines(file), c.lines);
        CloseFile(file);
    }
}

TEST_F(FileTest, MalformedUtf8ReadsAsQuestionMarksWithoutLosingLineEnds) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<Text> lines;
    } cases[] = {
        {"stray continuation byte", "a\x80" "b\n", {u"a?b"}},
        {"continuation byte alone", "\xBF\n", {u"?"}},
        {"byte that starts nothing", "\xFF\xFE\n", {u"??"}},
        {"lead byte before a line end", "\xC3\nb\n", {u"?", u"b"}},
        {"lead byte before plain text", "\xE2" "ab\n", {u"?ab"}},
        {"sequence cut by the end of the file", "a\xE2\x82", {u"a??"}},
        {"overlong form", "\xC0\xAF\n", {u"??"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Put("in.txt", c.bytes);
        int64_t file = ReadFile(AnyNumber, TextPath("in.txt"), EncodingUtf8);
        ASSERT_NE(file, 0);
        EXPECT_EQ(ReadLines(file), c.lines);
        CloseFile(file);
    }
}

TEST_F(FileTest, OtherEncodingsReadTheirOwnUnits) {
    struct Case {
        const char* name;
        int flags;
        std::string bytes;
        std::vector<Text> lines;
    } cases[] = {
        {"UTF-16 LF", EncodingUtf16, "a\0\n\0b\0\n\0"s, {u"a", u"b"}},
        {"UTF-16 CR LF and CR", EncodingUtf16, "a\0\r\0\n\0b\0\r\0c\0"s, {u"a", u"b", u"c"}},
        {"UTF-16 NUL", EncodingUtf16, "a\0\0\0b\0"s, {u"a", u"b"}},
        {"UTF-16 surrogate pair", EncodingUtf16, "=\xD8\0\xDE\n\0"s, {u"\U0001F600"}},
        {"UTF-16 odd last byte", EncodingUtf16, "a\0b"s, {u"a"}},
        {"UTF-16 CR then odd byte", EncodingUtf16, "a\0\r\0x"s, {u"a"}},
        {"8-bit", EncodingAscii, "a\xE9\n\xFF\r\n", {u"aé", u"ÿ"}},
        {"mark flag, UTF-8 mark", FileByteOrderMark | int{EncodingUtf8}, "\xEF\xBB\xBF" "a\nb\n", {u"a", u"b"}},
        {"mark flag, UTF-16 mark", FileByteOrderMark, "\xFF\xFE" "a\0\n\0"s, {u"a"}},
        {"mark flag, UTF-8 mark overrides", FileByteOrderMark | int{EncodingUtf16}, "\xEF\xBB\xBF" "a\n", {u"a"}},
        {"mark flag, no mark", FileByteOrderMark, "abc\n", {u"abc"}},
        {"mark flag, two bytes", FileByteOrderMark, "ab", {u"ab"}},
        {"mark flag, empty file", FileByteOrderMark, "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Put("in.txt", c.bytes);
        int64_t file = ReadFile(AnyNumber, TextPath("in.txt"), c.flags);
        ASSERT_NE(file, 0);
        EXPECT_EQ(ReadLines(file), c.lines);
        CloseFile(file);
    }
}

TEST_F(FileTest, WritingProducesTheBytesOfTheEncoding) {
    struct Case {
        const char* name;
        int flags;
        int encoding;
        Text text;
        std::string bytes;
    } cases[] = {
        {"UTF-8", EncodingUtf8, EncodingUtf8, u"é€\U0001F600", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\n"},
        {"flags 0 mean UTF-8", 0, 0, u"é", "\xC3\xA9\n"},
        {"file's UTF-16", EncodingUtf16, 0, u"aé\U0001F600", "a\0\xE9\0=\xD8\0\xDE\n\0"s},
        {"call overrides the file", EncodingUtf16, EncodingUtf8, u"a", "a\n"},
        {"8-bit drops wide units", EncodingAscii, 0, u"aé€", "a\xE9\n"},
        {"empty text writes the line feed", EncodingUtf8, 0, u"", "\n"},
        {"empty UTF-16 text", EncodingUtf8, EncodingUtf16, u"", "\n\0"s},
        {"lone surrogate", EncodingUtf8, 0, u"a\xD800" "b", "a\xEF\xBF\xBD" "b\n"},
        {"no carriage return added", EncodingUtf8, 0, u"a\r", "a\r\n"},
        {"mark flag, UTF-8", FileByteOrderMark | int{EncodingUtf8}, 0, u"a", "\xEF\xBB\xBF" "a\n"},
        {"mark flag, UTF-16", FileByteOrderMark | int{EncodingUtf16}, 0, u"a", "\xFF\xFE" "a\0\n\0"s},
        {"mark flag, 8-bit has none", FileByteOrderMark | int{EncodingAscii}, 0, u"a", "a\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int64_t file = CreateFile(AnyNumber, TextPath("out.txt"), c.flags);
        ASSERT_NE(file, 0);
        WriteStringN(file, c.text, c.encoding);
        CloseFile(file);
        EXPECT_EQ(Bytes("out.txt"), c.bytes);
    }
}

TEST_F(FileTest, WriteStringFormatWritesTheMarkOfEachEncoding) {
    struct Case {
        int encoding;
        std::string bytes;
    } cases[] = {
        {EncodingUtf8, "\xEF\xBB\xBF"},     {MarkUtf16BigEndian, "\xFE\xFF"},
        {MarkUtf32LittleEndian, "\xFF\xFE\0\0"s}, {MarkUtf32BigEndian, "\0\0\xFE\xFF"s},
        {EncodingUtf16, "\xFF\xFE"},        {EncodingAscii, ""},
        {0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.encoding);
        int64_t file = CreateFile(AnyNumber, TextPath("out.txt"));
        WriteStringFormat(file, c.encoding);
        CloseFile(file);
        EXPECT_EQ(Bytes("out.txt"), c.bytes);
    }
}

TEST_F(FileTest, BufferedBytesReachTheFileInOrder) {
    // Each write is a line of its own letter; `onDisk` is how many lines the file must already hold
    // before it is closed: a write that does not fit pushes out the buffer, 4096 bytes or more go
    // straight to the file.
    struct Case {
        const char* name;
        std::vector<size_t> lengths;  // without the line feed
        size_t onDisk;
    } cases[] = {
        {"small lines stay buffered", {10, 20}, 0},
        {"exactly filling the buffer", {4095}, 0},
        {"full buffer, then a line feed", {4095, 0}, 1},
        {"second line does not fit", {4000, 200}, 1},
        {"large line after a small one", {10, 5000, 10}, 2},
        {"line of exactly the buffer's size", {10, 4095}, 2},
        {"large line first", {5000}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int64_t file = CreateFile(AnyNumber, TextPath("out.txt"), EncodingUtf8);
        std::string expected, expectedOnDisk;
        for (size_t i = 0; i < c.lengths.size(); ++i) {
            std::string line = Repeat(static_cast<char>('a' + i), c.lengths[i]) + "\n";
            WriteStringN(file, TextFromUtf8(line.substr(0, line.size() - 1)));
            expected += line;
            if (i < c.onDisk) expectedOnDisk += line;
        }
        EXPECT_EQ(Bytes("out.txt"), expectedOnDisk);
        CloseFile(file);
        EXPECT_EQ(Bytes("out.txt"), expected);
    }
}

TEST_F(FileTest, FlushWritesBufferedBytesAndNoBufferWritesAtOnce) {
    int64_t file = CreateFile(AnyNumber, TextPath("log.csv"), EncodingUtf8);
    WriteStringFormat(file, EncodingUtf8);
    WriteStringN(file, u"header", EncodingUtf8);
    EXPECT_EQ(Bytes("log.csv"), "");
    FlushFileBuffers(file);
    EXPECT_EQ(Bytes("log.csv"), "\xEF\xBB\xBF" "header\n");
    WriteStringN(file, u"row", EncodingUtf8);
    EXPECT_EQ(Bytes("log.csv"), "\xEF\xBB\xBF" "header\n");
    CloseFile(file);
    EXPECT_EQ(Bytes("log.csv"), "\xEF\xBB\xBF" "header\nrow\n");

    int64_t direct = CreateFile(AnyNumber, TextPath("direct.txt"), FileNoBuffer | int{EncodingUtf8});
    WriteStringN(direct, u"a");
    EXPECT_EQ(Bytes("direct.txt"), "a\n");
    WriteStringN(direct, Text(5000, u'b'));
    EXPECT_EQ(Bytes("direct.txt"), "a\n" + Repeat('b', 5000) + "\n");
}

TEST_F(FileTest, WithoutBufferEofIsTheStreamsIndicator) {
    // The stream reports its end only after a read has hit it, so one empty line more is read.
    Put("in.txt", "\xEF\xBB\xBF" "a\nb\n");
    int64_t file = ReadFile(AnyNumber, TextPath("in.txt"), FileNoBuffer | FileByteOrderMark);
    ASSERT_NE(file, 0);
    EXPECT_EQ(Eof(file), 0);
    EXPECT_EQ(ReadString(file), u"a");
    EXPECT_EQ(ReadString(file), u"b");
    EXPECT_EQ(Eof(file), 0);
    EXPECT_EQ(ReadString(file), u"");
    EXPECT_EQ(Eof(file), 1);

    Put("crlf.txt", "a\r\nb\rc");
    file = ReadFile(AnyNumber, TextPath("crlf.txt"), FileNoBuffer);
    EXPECT_EQ(ReadString(file), u"a");
    EXPECT_EQ(ReadString(file), u"b");
    EXPECT_EQ(ReadString(file), u"c");
    EXPECT_EQ(Eof(file), 1);
}

TEST_F(FileTest, ReadingBetweenWritesKeepsEveryByteInOrder) {
    for (int flags : {int{EncodingUtf8}, FileNoBuffer | int{EncodingUtf8}}) {
        SCOPED_TRACE(flags);
        int64_t file = CreateFile(AnyNumber, TextPath("out.txt"), flags);
        WriteStringN(file, u"a");
        EXPECT_EQ(ReadString(file), u"");
        WriteStringN(file, u"b");
        EXPECT_EQ(ReadString(file), u"");
        WriteStringN(file, Text(5000, u'c'));
        Eof(file);  // without a buffer it reads nothing; with one it switches to reading
        WriteStringN(file, u"d");
        CloseFile(file);
        EXPECT_EQ(Bytes("out.txt"), "a\nb\n" + Repeat('c', 5000) + "\nd\n");
    }
}

TEST_F(FileTest, WritingToAFileOpenedForReadingDoesNothing) {
    Put("in.txt", "a\nb\n");
    int64_t file = ReadFile(AnyNumber, TextPath("in.txt"), EncodingUtf8);
    EXPECT_EQ(ReadString(file), u"a");
    WriteStringN(file, u"zzz");
    WriteStringN(file, Text(5000, u'z'));
    WriteStringFormat(file, EncodingUtf8);
    FlushFileBuffers(file);
    EXPECT_EQ(ReadString(file), u"b");
    EXPECT_EQ(Eof(file), 1);
    CloseFile(file);
    EXPECT_EQ(Bytes("in.txt"), "a\nb\n");
}

TEST_F(FileTest, TenMegabyteLineReadsBackWhole) {
    // Multi-byte characters at every alignment, so many of them straddle buffer refills.
    Text line;
    line.reserve(10u << 20);
    const Text pattern = u"ab€c\U0001F600déf,";
    while (line.size() + pattern.size() <= (10u << 20)) line += pattern;
    int64_t out = CreateFile(AnyNumber, TextPath("long.txt"), EncodingUtf8);
    WriteStringN(out, line);
    WriteStringN(out, u"next");
    CloseFile(out);

    int64_t in = ReadFile(AnyNumber, TextPath("long.txt"), EncodingUtf8);
    Text back = ReadString(in);
    EXPECT_EQ(back.size(), line.size());
    EXPECT_TRUE(back == line);
    EXPECT_EQ(ReadString(in), u"next");
    EXPECT_EQ(Eof(in), 1);
}

TEST_F(FileTest, OpeningFailsForWhatIsNotARegularFile) {
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
    struct Case {
        const char* name;
        Text path;
    } cases[] = {
        {"directory", TextFromUtf8(dir_)},
        {"missing path", TextPath("missing.csv")},
        {"FIFO", TextPath("fifo")},
        {"empty path", u""},
        {"NUL inside the path", TextPath("in.txt") + Text(1, u'\0') + u"x"},
    };
    Put("in.txt", "a\n");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReadFile(AnyNumber, c.path), 0);
        EXPECT_EQ(ReadFile(4, c.path), 0);
        EXPECT_EQ(IsFile(4), 0);
    }
    EXPECT_EQ(CreateFile(5, TextFromUtf8(dir_)), 0);
    EXPECT_EQ(CreateFile(5, TextPath("missing/out.txt")), 0);
    EXPECT_EQ(IsFile(5), 0);
}

TEST_F(FileTest, CreateFileEmptiesAnExistingFile) {
    Put("old.csv", Repeat('x', 100));
    EXPECT_NE(CreateFile(7, TextPath("old.csv")), 0);
    EXPECT_EQ(IsFile(7), 1);
    CloseFile(7);
    EXPECT_EQ(Bytes("old.csv"), "");
}

TEST_F(FileTest, NumbersThatNameNoFileDoNothing) {
    int64_t closed = CreateFile(AnyNumber, TextPath("closed.txt"));
    CloseFile(closed);
    EXPECT_EQ(CreateFile(int64_t{1} << 40, TextPath("huge.txt")), 0);
    EXPECT_FALSE(std::filesystem::exists(Path("huge.txt")));
    for (int64_t number : {int64_t{0}, int64_t{3}, int64_t{16}, int64_t{1000}, int64_t{1} << 40,
                           int64_t{-5}, INT64_MAX, closed}) {
        SCOPED_TRACE(number);
        WriteStringFormat(number, EncodingUtf8);
        WriteStringN(number, u"x");
        FlushFileBuffers(number);
        EXPECT_EQ(IsFile(number), 0);
        EXPECT_EQ(ReadString(number), u"");
        EXPECT_EQ(Eof(number), 0);
        CloseFile(number);
    }
    EXPECT_EQ(Bytes("closed.txt"), "");
}

TEST_F(FileTest, HandlesAndNumbersNameTheirOwnFiles) {
    int64_t first = CreateFile(AnyNumber, TextPath("first.txt"));
    int64_t second = CreateFile(AnyNumber, TextPath("second.txt"));
    ASSERT_NE(first, 0);
    ASSERT_NE(second, 0);
    EXPECT_NE(first, second);
    EXPECT_GT(first, MaxObjectNumber);
    EXPECT_NE(CreateFile(0, TextPath("zero.txt")), 0);
    WriteStringN(first, u"one");
    WriteStringN(second, u"two");
    WriteStringN(0, u"zero");
    CloseFile(first);
    EXPECT_EQ(IsFile(first), 0);
    EXPECT_EQ(IsFile(second), 1);
    EXPECT_EQ(IsFile(0), 1);
    CloseFile(second);
    CloseFile(0);
    EXPECT_EQ(Bytes("first.txt"), "one\n");
    EXPECT_EQ(Bytes("second.txt"), "two\n");
    EXPECT_EQ(Bytes("zero.txt"), "zero\n");
}

TEST_F(FileTest, ReusingANumberClosesTheOldFileFirst) {
    CreateFile(3, TextPath("old.txt"));
    WriteStringN(3, u"old");
    ASSERT_NE(CreateFile(3, TextPath("new.txt")), 0);
    EXPECT_EQ(Bytes("old.txt"), "old\n");
    WriteStringN(3, u"new");
    CloseFile(3);
    EXPECT_EQ(Bytes("new.txt"), "new\n");
    EXPECT_EQ(Bytes("old.txt"), "old\n");

    // The same path again: the old bytes are written before the file is truncated.
    CreateFile(3, TextPath("same.txt"));
    WriteStringN(3, u"first");
    CreateFile(3, TextPath("same.txt"));
    WriteStringN(3, u"second");
    CloseFile(3);
    EXPECT_EQ(Bytes("same.txt"), "second\n");

    // A failed opening still closed the old file.
    CreateFile(3, TextPath("kept.txt"));
    WriteStringN(3, u"kept");
    EXPECT_EQ(ReadFile(3, TextPath("missing.txt")), 0);
    EXPECT_EQ(IsFile(3), 0);
    EXPECT_EQ(Bytes("kept.txt"), "kept\n");
}

TEST_F(FileTest, CloseFileAnyNumberClosesEveryFile) {
    int64_t handle = CreateFile(AnyNumber, TextPath("handle.txt"));
    CreateFile(1, TextPath("one.txt"));
    CreateFile(20, TextPath("twenty.txt"));
    WriteStringN(handle, u"h");
    WriteStringN(1, u"1");
    WriteStringN(20, u"20");
    CloseFile(AnyNumber);
    for (int64_t number : {handle, int64_t{1}, int64_t{20}}) EXPECT_EQ(IsFile(number), 0);
    EXPECT_EQ(Bytes("handle.txt"), "h\n");
    EXPECT_EQ(Bytes("one.txt"), "1\n");
    EXPECT_EQ(Bytes("twenty.txt"), "20\n");
}

// Sets or removes HOME for one test and restores it afterwards.
class HomeGuard {
public:
    explicit HomeGuard(const char* value) {
        if (const char* old = getenv("HOME")) saved_ = old;
        if (value)
            setenv("HOME", value, 1);
        else
            unsetenv("HOME");
    }
    ~HomeGuard() {
        if (saved_)
            setenv("HOME", saved_->c_str(), 1);
        else
            unsetenv("HOME");
    }

private:
    std::optional<std::string> saved_;
};

TEST(HomeDirectoryTest, ComesFromHomeElseThePasswordEntryAndEndsInSlash) {
    const passwd* entry = getpwuid(getuid());
    std::string passwordHome = entry && entry->pw_dir ? entry->pw_dir : "";
    if (!passwordHome.empty() && passwordHome.back() != '/') passwordHome += '/';
    struct Case {
        const char* home;
        Text expected;
    } cases[] = {
        {"/home/someone", u"/home/someone/"},
        {"/home/someone/", u"/home/someone/"},
        {"/", u"/"},
        {"/home/zo\xC3\xAB", u"/home/zoë/"},
        {"", TextFromUtf8(passwordHome)},
        {nullptr, TextFromUtf8(passwordHome)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.home ? c.home : "(unset)");
        HomeGuard guard(c.home);
        EXPECT_EQ(GetHomeDirectory(), c.expected);
    }
}

TEST(FilePartTest, TakesThePartAfterTheLastSlash) {
    struct Case {
        Text path;
        Text expected;
    } cases[] = {
        {u"/a/b/c.txt", u"c.txt"},
        {u"\"/a/b c\"", u"b c"},
        {u"/a/", u""},
        {u"", u""},
        {u"/", u""},
        {u"c.txt", u"c.txt"},
        {u"\"c.txt\" -x /y", u"c.txt"},
        {u"\"/a/b", u"b"},
        {u"a/b\"c", u"b\"c"},
        {u"/home/zoë/log ü.csv", u"log ü.csv"},
    };
    for (const auto& c : cases) EXPECT_EQ(GetFilePart(c.path), c.expected) << TextToUtf8(c.path);
}

}  // namespace
