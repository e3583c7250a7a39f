#ifndef LARKWIN_PACK_BASE_FAILURE_H
#define LARKWIN_PACK_BASE_FAILURE_H

#include <cerrno>
#include <string>
#include <vector>

// The packer's one way to fail: main catches the owned char* message that
// these throw and prints it.

// Throws message.
[[noreturn]] void fail(const std::string& message);
// Throws "WHAT 'PATH': strerror(errno)", errno read before anything else, so
// call it right where the system call failed.
[[noreturn]] void failWithReason(const char* what, const std::string& path);
// Throws "MESSAGE: strerror(cause)" in place of message, which it releases.
[[noreturn]] void failAddingReason(char* message, int cause);

// The words joined as a sentence joins them, each followed by suffix: "A, B
// or C" with lastJoin " or ", "A's and B's" with " and " and "'s".
std::string joinWords(const std::vector<std::string>& words, const char* lastJoin,
                      const char* suffix = "");

// Runs call. A char* message that it throws gains ": strerror(errno)", errno
// read first in the catch: the unix/ functions leave errno at the cause when
// they throw, and nothing runs in between but their own clean-up.
template <typename Call> auto withReason(Call call) -> decltype(call()) {
    try {
        return call();
    } catch (char* message) {
        failAddingReason(message, errno);
    }
}

#endif
