// A CSV monitor log of any content through the --analyze road: loading, the phase analysis and the
// report text (or its JSON summary). Every file ends in a report or one of the load errors, and no
// report shows a figure that is not finite.
#include <cstdlib>
#include <string>

#include "analysis/log_loader.h"
#include "app/cli/command_line.h"
#include "fuzz_support.h"

namespace {

struct Output {
    char* bytes = nullptr;
    size_t size = 0;
    FILE* stream = open_memstream(&bytes, &size);
    ~Output() {
        std::fclose(stream);
        std::free(bytes);
    }
    std::string Text() {
        std::fflush(stream);
        return std::string(bytes, size);
    }
};

std::string Lowered(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // English, where no word of the report holds "inf" or "nan".
    setenv("LANGUAGE", "en", 1);
    setenv("LC_ALL", "C.UTF-8", 1);
    setenv("TZ", "UTC", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::InputFile input;
    std::string path = input.Write(data, size);
    const bool json = size > 0 && (data[size - 1] & 1) != 0;
    char program[] = "quolk", analyze[] = "--analyze", asJson[] = "--json";
    char* argv[] = {program, analyze, path.data(), asJson, nullptr};
    Output out, err;
    int status = RunCommandLine(json ? 4 : 3, argv, out.stream, err.stream);
    fuzz::Require(status == 0 || status == ExitLoadError, "exit status is 0 or 2");
    std::string report = out.Text();
    fuzz::Require((status == 0) == !report.empty(), "a report exactly when loaded", report);
    if (json) return 0;
    std::string lowered = Lowered(report);
    fuzz::Require(lowered.find("inf") == std::string::npos && lowered.find("nan") == std::string::npos,
                  "no infinity or NaN in the report", report);
    return 0;
}
