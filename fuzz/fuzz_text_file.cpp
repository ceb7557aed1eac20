// UTF-8 texts and text files: conversions of any bytes, the text operations on them, and any file
// read line by line within a bound.
#include "fuzz_support.h"
#include "runtime/file.h"
#include "runtime/text.h"

namespace {

void ConversionsAndOperations(std::string_view bytes) {
    const Text text = TextFromUtf8(bytes);
    fuzz::Require(text.size() <= bytes.size(), "no more units than bytes");
    const std::string utf8 = TextToUtf8(text);
    fuzz::Require(TextFromUtf8(utf8) == text || utf8.find("\xEF\xBF\xBD") != std::string::npos,
                  "UTF-8 of a decoded text decodes to it (lone surrogates aside)");
    fuzz::Require(TextToUtf8(TextFromUtf8(utf8)) == utf8, "re-encoding is stable");

    const size_t cut = text.size() / 3;
    const TextView head = TextView(text).substr(0, cut), tail = TextView(text).substr(cut);
    FindString(tail, head, int64_t(cut) - 2);
    CountString(tail, head);
    if (!head.empty()) fuzz::Require(ReplaceString(text, head, head) == text, "replacing a text by itself changes nothing");
    StringField(tail, int64_t(cut % 7), head.substr(0, 1));
    Trim(text, head.substr(0, 1));
    LCase(text);
    fuzz::Require(LSet(text, int64_t(cut)).size() == cut, "LSet gives its width");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::InputFile input;
    fuzz::Reader reader(data, size);
    const uint8_t choice = reader.Take<uint8_t>();
    const std::string_view bytes = reader.Rest();
    ConversionsAndOperations(bytes);

    const Text path = TextFromUtf8(input.Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    const int64_t file = ReadFile(AnyNumber, path);
    fuzz::Require(file != 0, "a regular file opens");
    const int64_t limit = choice * 7;  // 0 to 1785 bytes
    size_t lines = 0;
    while (!Eof(file)) {
        bool tooLong = false;
        const Text line = ReadStringWithin(file, limit, tooLong);
        fuzz::Require(int64_t(line.size()) <= limit, "a line fits its bound");
        fuzz::Require(++lines <= bytes.size() + 1, "every line read moves on");
    }
    CloseFile(file);
    return 0;
}
