// Text files, on real files in a fresh temporary directory per test.
#include "runtime/file.h"
#include "scratch_dir.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

class FileTest : public ::testing::Test {
protected:
    void TearDown() override { CloseFile(AnyNumber); }
    Text TPath(const std::string& name) const { return TextFromUtf8(dir_.File(name)); }
    // Every line of the file, read as the log loader reads: one line while Eof is 0, each kept up
    // to `limit` bytes ("(too long)" beyond).
    std::vector<Text> Lines(const std::string& bytes, int64_t limit = 1 << 20) const {
        dir_.Write("in.txt", bytes);
        int64_t file = ReadFile(AnyNumber, TPath("in.txt"));
        std::vector<Text> lines;
        while (file && !Eof(file) && lines.size() < 100) {
            bool tooLong = false;
            const Text line = ReadStringWithin(file, limit, tooLong);
            lines.push_back(tooLong ? u"(too long)" : line);
        }
        CloseFile(file);
        return lines;
    }
    ScratchDir dir_;
};

TEST_F(FileTest, MarkAndLinesGiveExactBytesAndReadBackWithTheMarkAsData) {
    int64_t out = CreateFile(AnyNumber, TPath("log.csv"));
    WriteStringFormat(out);
    for (const Text& line : {Text(u"a"), Text(u"é€😀"), Text(u"a\xD800" "b")}) WriteStringN(out, line);
    CloseFile(out);
    EXPECT_EQ(dir_.Read("log.csv"), "\xEF\xBB\xBF" "a\n\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\na\xEF\xBF\xBD" "b\n");
    EXPECT_EQ(Lines(dir_.Read("log.csv")), (std::vector<Text>{u"\uFEFFa", u"é€😀", u"a\uFFFDb"}));
}

// A bounded read (5000 bytes in the last rows) keeps lines up to the limit and passes over longer
// ones to their end.
TEST_F(FileTest, LinesReadBackWithoutTheirEndsEachExactlyOnce) {
    const std::string block(4095, 'x');  // puts the next byte at the buffer's edge
    const Text xs(4095, u'x');
    const struct { const char* name; std::string bytes; std::vector<Text> lines; int64_t limit = 1 << 20; } cases[] = {
        {"CR LF", "a\r\n\r\nb\r\n", {u"a", u"", u"b"}}, {"CR, last byte CR", "a\rb\r", {u"a", u"b"}},
        {"CR CR", "a\r\rb", {u"a", u"", u"b"}}, {"NUL", "a\0b\0"s, {u"a", u"b"}}, {"empty", "", {}},
        {"CR LF split by a refill", block + "\r\ny", {xs, u"y"}}, {"CR at the buffer's end", block + "\rz\n", {xs, u"z"}},
        {"character split by a refill", block + "\xE2\x82\xAC\n", {xs + u"€"}},
        {"lead before LF", "\xC3\nb", {u"?", u"b"}}, {"cut by the end", "a\xE2\x82", {u"a??"}},
        {"at and over", std::string(5000, 'a') + "\r\n" + std::string(5001, 'b') + "\r\nend",
         {Text(5000, u'a'), u"(too long)", u"end"}, 5000},
        {"a cut sequence", std::string(4999, 'e') + "\xC3\xA9\n", {u"(too long)"}, 5000},
    };
    for (const auto& c : cases) EXPECT_EQ(Lines(c.bytes, c.limit), c.lines) << c.name;
    bool tooLong = true;
    EXPECT_TRUE(ReadStringWithin(12345, 10, tooLong).empty() && !tooLong) << "no such file";
}

TEST_F(FileTest, BufferedBytesReachTheFileInOrder) {
    // Each write is a line of its own letter; `onDisk` lines must be in the file before it is closed:
    // a write that does not fit pushes out the buffer, 4096 bytes or more go straight to the file.
    const struct { std::vector<size_t> lengths; size_t onDisk; } cases[] = {
        {{4095}, 0}, {{4095, 0}, 1}, {{10, 5000, 10}, 2},
    };
    for (const auto& c : cases) {
        int64_t file = CreateFile(AnyNumber, TPath("out.txt"));
        std::string all, onDisk;
        for (size_t i = 0; i < c.lengths.size(); ++i) {
            const std::string line(c.lengths[i], char('a' + i));
            WriteStringN(file, TextFromUtf8(line));
            all += line + "\n";
            if (i < c.onDisk) onDisk += line + "\n";
        }
        EXPECT_EQ(dir_.Read("out.txt"), onDisk) << c.lengths.size() << " lines, first " << c.lengths[0];
        CloseFile(file);
        EXPECT_EQ(dir_.Read("out.txt"), all);
    }
}

// The offset a log's whole lines are cut back to: every byte written or waiting in the buffer,
// lines long enough to go straight to the file included, and after a cut, where the cut left it.
TEST_F(FileTest, WriteOffsetCountsBytesWrittenAndWaitingAndFollowsACut) {
    const struct { std::vector<size_t> lengths; int64_t cut; } cases[] = {
        {{0, 10}, -1}, {{2047, 3}, -1}, {{10, 2500, 10}, -1}, {{10, 20}, 4},
    };
    for (const auto& c : cases) {
        const int64_t file = CreateFile(AnyNumber, TPath("out.txt"));
        int64_t expected = 0;
        for (size_t length : c.lengths) {
            WriteStringN(file, Text(length, u'é'));  // two bytes each, and the line end
            expected += int64_t(2 * length + 1);
            EXPECT_EQ(FileWriteOffset(file), expected) << length;
        }
        if (c.cut >= 0) {
            FlushFileBuffers(file);
            ASSERT_TRUE(CutFile(file, c.cut));
            WriteStringN(file, u"x");
            expected = c.cut + 2;
        }
        FlushFileBuffers(file);
        EXPECT_EQ(FileWriteOffset(file), expected);
        EXPECT_EQ(int64_t(dir_.Read("out.txt").size()), expected);
        CloseFile(file);
    }
}

TEST_F(FileTest, OpeningFailsForWhatIsNotARegularFileAndReadFilesAreNeverWritten) {
    ASSERT_EQ(mkfifo(dir_.File("fifo").c_str(), 0600), 0);
    dir_.Write("in.txt", "a\n");
    for (const Text& path : {TextFromUtf8(dir_.path), TPath("fifo"), TPath("in.txt") + Text(1, u'\0') + u"x"})
        EXPECT_EQ(ReadFile(AnyNumber, path), 0) << TextToUtf8(path);
    EXPECT_EQ(CreateFile(AnyNumber, TPath("missing/out.txt")), 0);
    const int64_t file = ReadFile(AnyNumber, TPath("in.txt"));
    WriteStringN(file, Text(5000, u'z'));
    FlushFileBuffers(file);
    CloseFile(file);
    EXPECT_EQ(dir_.Read("in.txt"), "a\n");
}

TEST(PathTest, HomeDirectoryComesFromHomeElseThePasswordEntryAndEndsInSlash) {
    const passwd* entry = getpwuid(getuid());
    std::string passwordHome = entry && entry->pw_dir ? entry->pw_dir : "";
    if (!passwordHome.empty() && passwordHome.back() != '/') passwordHome += '/';
    const EnvScope kept("HOME", getenv("HOME"));
    const struct { const char* home; std::string expected; } cases[] = {
        {"/home/zo\xC3\xAB", "/home/zo\xC3\xAB/"}, {"/x/", "/x/"}, {"", passwordHome}, {nullptr, passwordHome}};
    for (const auto& c : cases) {
        c.home ? setenv("HOME", c.home, 1) : unsetenv("HOME");
        EXPECT_EQ(TextToUtf8(GetHomeDirectory()), c.expected) << (c.home ? c.home : "(unset)");
    }
}

}  // namespace
