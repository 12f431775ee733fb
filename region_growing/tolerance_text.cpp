#include "tolerance_text.h"

static bool IsSkippedSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int32_t ParseToleranceText(const char* text) {
    if (text == nullptr)
        return 0;
    while (IsSkippedSpace(*text))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    // The number is read with no overflow test: a long one keeps only its value modulo 2^32.
    // That wraparound is defined in unsigned arithmetic only (a signed overflow is undefined
    // behaviour), so value * 10 + digit and the negation are taken in uint32_t, and the last
    // conversion reads the 32 bits as two's complement: "4294967301" gives 5, "2147483648"
    // gives -2147483648, "-4294967286" gives 10.
    uint32_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        value = value * 10u + static_cast<uint32_t>(*text - '0');
    if (negative)
        value = 0u - value;
    return static_cast<int32_t>(value);
}
