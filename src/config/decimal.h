#ifndef LARKWIN_CONFIG_DECIMAL_H
#define LARKWIN_CONFIG_DECIMAL_H

// A decimal integer read the way atoi reads one: an optional sign, then the
// digits up to the first other byte; 0 when there are no digits. A value
// beyond the range of int gives the nearest limit instead of overflowing.
int readDecimal(const char* text);

#endif
