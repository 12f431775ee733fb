// Fuzzes the tolerance parser with arbitrary texts against two plain readings: the reference
// model's (digits taken modulo 2^32) and, where the number fits in 32 bits, the C library's
// strtoll, which skips the same six blanks in the C locale.
#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "reference_model.h"
#include "tolerance_text.h"

static void Fail(const std::string& text, const char* oracle, int64_t expected, int32_t parsed) {
    fprintf(stderr, "ParseToleranceText(\"%s\") = %d, %s reads %lld\n", text.c_str(), parsed,
            oracle, static_cast<long long>(expected));
    abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The host hands over a NUL-terminated text: anything past a NUL is never seen.
    std::string text(reinterpret_cast<const char*>(data), size);
    text.resize(text.find('\0') == std::string::npos ? size : text.find('\0'));

    const int32_t parsed = ParseToleranceText(text.c_str());
    const int32_t model = plugin_checks::ModelTolerance(text.c_str());
    if (parsed != model)
        Fail(text, "the model", model, parsed);

    errno = 0;
    char* end = nullptr;
    const long long library = strtoll(text.c_str(), &end, 10);
    const bool fits = errno == 0 && library >= INT32_MIN && library <= INT32_MAX;
    if (fits && parsed != library)
        Fail(text, "strtoll", library, parsed);
    return 0;
}
