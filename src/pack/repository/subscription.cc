#include "pack/repository/subscription.h"

#include "pack/repository/repositoryFiles.h"
#include "pack/zip/printableName.h"

#include <cstring>

static std::string printable(const std::string& text) {
    std::string out;
    for (char c : text) {
        char printed[4];
        out.append(printed, printableByte((unsigned char)c, printed));
    }
    return out;
}

static bool isHexDigit(char c) {
    return c != 0 && strchr("0123456789abcdefABCDEF", c) != nullptr;
}

// The offset of the first character that the files cannot hold, or npos.
static size_t findUnsafe(const std::string& rest) {
    for (size_t i = 0; i < rest.size(); i++) {
        char c = rest[i];
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     strchr("-._~:/?@!&()*+,=[]", c) != nullptr;
        bool escape =
            c == '%' && i + 2 < rest.size() && isHexDigit(rest[i + 1]) && isHexDigit(rest[i + 2]);
        if (c == 0 || (!plain && !escape)) {
            return i;
        }
    }
    return std::string::npos;
}

std::string findUrlProblem(const std::string& url, const std::vector<std::string>& readers) {
    static const char* const schemes[] = {"http://", "https://", "file://"};
    size_t start = 0;
    for (const char* scheme : schemes) {
        if (url.compare(0, strlen(scheme), scheme) == 0) {
            start = strlen(scheme);
        }
    }
    if (start == 0 || url.size() == start) {
        return "the repository's URL '" + printable(url) +
               "' is not an http://, https:// or file:// URL";
    }
    size_t unsafe = findUnsafe(url.substr(start));
    if (unsafe == std::string::npos) {
        return "";
    }
    std::string character = printable(url.substr(start + unsafe, 1));
    return "the repository's URL '" + printable(url) + "' holds '" + character + "', which " +
           joinWords(readers, " and ", "'s") + " files cannot hold as it is: write it %-encoded";
}

void checkRepositoryUrl(const std::string& url, const std::vector<std::string>& readers) {
    std::string problem = findUrlProblem(url, readers);
    if (!problem.empty()) {
        fail(problem);
    }
}

void checkSubscriptionName(const std::string& name, const std::vector<std::string>& readers) {
    // apt reads sources.list.d/NAME.sources only when NAME is of
    // [A-Za-z0-9_.-], and dnf takes such a repository id: a package name
    // with "+" would subscribe to nothing, without a word.
    bool valid = name.size() >= 2 && strchr("-.", name[0]) == nullptr;
    for (char c : name) {
        valid = valid && ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.');
    }
    if (!valid) {
        fail("the name '" + printable(name) + "' cannot name the subscription files that " +
             joinWords(readers, " and ") +
             " read: with updates, a package name takes lower-case letters, digits, '-' and '.' "
             "alone (no '+')");
    }
}

std::string keyringFileName(const std::string& name) {
    return name + "-archive-keyring.pgp";
}

std::string joinUrl(const std::string& url, const std::string& file) {
    return url.back() == '/' ? url + file : url + "/" + file;
}
