// tolerance_text.h - reads a tolerance from the host's parameter text.
//
// The text is a plain decimal integer: leading blanks, tabs, line feeds, vertical tabs, form
// feeds and carriage returns are skipped, one '+' or '-' may follow, then digits up to the first
// non-digit. Digits accumulate as value * 10 + digit in 32 bits with no overflow test, so large
// numbers wrap around: "2147483648" reads as -2147483648 and "4294967301" as 5. A text with no
// digits, and a null text, read as 0.
#ifndef REGION_GROWING_TOLERANCE_TEXT_H
#define REGION_GROWING_TOLERANCE_TEXT_H

#include <stdint.h>

int32_t ParseToleranceText(const char* text);

#endif
