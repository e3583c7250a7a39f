#ifndef LARKWIN_CACHE_SHORTRUNSRECORD_H
#define LARKWIN_CACHE_SHORTRUNSRECORD_H

#include "cache/shortRunsRule.h"

// The runs that "shortruns" measured, beside the archive they mapped
// ("NAME.jsa.runs"): one line per run, "s1 T 123456" or "s1 C 123456" (the
// mode, all tiers or C1 only, and the run's CPU time in microseconds).
// Each run appends its line with one write, holding the file's lock only
// for that write, so runs that end at once lose nothing; a start reads it
// without the lock, and a line cut short or of another form is skipped.
// The file is kept to its last runs: a write that makes it larger than
// compactedBytes puts the last keptRuns lines in its place, under the lock.

// It holds the longest wait between two retries (159 runs) and the retry.
static const int keptRuns = 200;
static const long compactedBytes = 4096;
// A start reads at most the file's last readBytes.
static const long readBytes = 8192;

// The well-formed lines of text, at most capacity of them, the last ones
// kept; their number.
int parseShortRuns(const char* text, long length, shortRunSample* samples, int capacity);

// One line, with its line feed, into line (of size at least 32).
void formatShortRun(char* line, unsigned long size, shortRunSample sample);

// The record at path when it is a regular file of the user's own that
// others may not write; 0 runs otherwise.
int readShortRuns(const char* path, shortRunSample* samples, int capacity);

// Appends sample to the record at path (made, mode 0600, when missing);
// 0 when that failed (the record is not the user's own, or a write failed).
int appendShortRun(const char* path, shortRunSample sample);

#endif
