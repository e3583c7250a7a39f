#ifndef LARKWIN_UNIX_TEMPFILE_H
#define LARKWIN_UNIX_TEMPFILE_H

// Writes text (up to its NUL) into a new file made from the template
// "/tmp/larkwin-envdump-XXXXXX", readable by its owner only, and returns its
// path (owned by the caller). Throws "Unable to create temporary file." or,
// after removing what was written, "Failed to write to temporary file.";
// +DEBUG shows the reason, which errno holds too.
char* writeTempFile(const char* text);
// The same with another template, whose last six characters are "XXXXXX".
char* writeTempFileFrom(const char* pattern, const char* text);

#endif
