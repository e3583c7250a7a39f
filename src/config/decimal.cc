#include "config/decimal.h"

#include <climits>

int readDecimal(const char* text) {
    int negative = *text == '-';
    if (*text == '-' || *text == '+') {
        text++;
    }
    // Accumulated as a negative number, whose range holds INT_MIN as well.
    int value = 0;
    for (; *text >= '0' && *text <= '9'; text++) {
        int digit = *text - '0';
        if (value < (INT_MIN + digit) / 10) {
            return negative ? INT_MIN : INT_MAX;
        }
        value = value * 10 - digit;
    }
    if (negative) {
        return value;
    }
    return value == INT_MIN ? INT_MAX : -value;
}
