// UTF-8 and UTF-16 texts and text files: conversions of any bytes, the text operations on them,
// and any file read line by line in every encoding, buffered or not, whole or bounded.
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
    // PeekS reads to a NUL when told no length: the copy ends in two, enough for UTF-16 too.
    const std::string ended = std::string(bytes) + std::string(2, '\0');
    for (int encoding : {EncodingUtf8, EncodingUtf16, EncodingAscii}) {
        const int64_t most = encoding == EncodingUtf16 ? int64_t(bytes.size() / 2) : int64_t(bytes.size());
        for (int64_t length : {int64_t(-1), int64_t(0), most / 2, most}) PeekS(ended.data(), length, encoding);
    }

    const size_t cut = text.size() / 3;
    const TextView head = TextView(text).substr(0, cut), tail = TextView(text).substr(cut);
    FindString(tail, head, int64_t(cut) - 2);
    CountString(tail, head);
    if (!head.empty()) fuzz::Require(ReplaceString(text, head, head) == text, "replacing a text by itself changes nothing");
    StringField(tail, int64_t(cut % 7), head.substr(0, 1));
    Trim(text, head.substr(0, 1));
    LCase(text);
    fuzz::Require(LSet(text, int64_t(cut)).size() == cut, "LSet gives its width");
    Left(text, int64_t(cut) - 1);
    Right(text, int64_t(cut) - 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::InputFile input;
    fuzz::Reader reader(data, size);
    const uint8_t choice = reader.Take<uint8_t>();
    const std::string_view bytes = reader.Rest();
    ConversionsAndOperations(bytes);

    const Text path = TextFromUtf8(input.Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    static const int encodings[] = {EncodingUtf8, EncodingUtf16, EncodingAscii, 0};
    const int flags = encodings[choice & 3] | ((choice & 4) ? FileByteOrderMark : 0) | ((choice & 8) ? FileNoBuffer : 0);
    const int64_t file = ReadFile(AnyNumber, path, flags);
    fuzz::Require(file != 0, "a regular file opens");
    const int64_t limit = (choice >> 4) * 97;  // 0 to 1455 bytes
    size_t lines = 0;
    while (!Eof(file)) {
        bool tooLong = false;
        const Text line = (choice & 0x10) ? ReadString(file) : ReadStringWithin(file, limit, tooLong);
        fuzz::Require(int64_t(line.size()) <= (choice & 0x10 ? int64_t(bytes.size()) : limit), "a line fits its bound");
        fuzz::Require(++lines <= bytes.size() + 1, "every line read moves on");
    }
    CloseFile(file);
    return 0;
}
