// Numbers and texts: Val and ValF of any text; Str, StrF, Round and RoundToInteger of any value.
#include <cmath>
#include <cstring>

#include "fuzz_support.h"
#include "runtime/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Reader reader(data, size);
    const int64_t whole = reader.Take<int64_t>();
    const float single = reader.Take<float>();
    const double wide = reader.Take<double>();
    const int64_t decimals = reader.Take<int8_t>();
    const Text text = TextFromUtf8(reader.Rest());

    fuzz::Require(Val(Str(whole)) == whole, "Val reads back what Str wrote");
    const Text shown = StrF(single, decimals);
    fuzz::Require(!shown.empty() && shown.size() < 600, "StrF gives a bounded text");
    if (std::isfinite(single) && decimals == -1) {
        // As many digits as needed, up to ten after the point: close to the value.
        const double back = ValF(shown);
        fuzz::Require(std::fabs(back - single) <= 1e-10 * std::fmax(1.0, std::fabs(single)) + 5e-11,
                      "StrF(x, -1) reads back close to x", TextToUtf8(shown));
    }
    if (std::isnan(single)) fuzz::Require(shown == u"NaN", "NaN is shown as NaN");
    const float parsedSingle = ValF(shown);
    fuzz::Require(std::isnan(single) == std::isnan(parsedSingle), "ValF reads StrF's NaN as NaN");

    Val(text);
    const double read = ValF(text);
    for (int mode : {int(RoundDown), int(RoundUp), int(RoundNearest), 7}) {
        const double rounded = Round(read, mode);
        fuzz::Require(std::isnan(read) || std::isinf(read) || rounded == std::floor(rounded), "Round gives a whole");
        Round(wide, mode);
    }
    const int64_t nearest = RoundToInteger(wide);
    if (std::isnan(wide)) fuzz::Require(nearest == 0, "RoundToInteger(NaN) is 0");
    else if (std::fabs(wide) < 9e18) fuzz::Require(std::fabs(double(nearest) - wide) <= 0.5, "RoundToInteger is nearest");
    return 0;
}
