#include "unix/files.h"

#include "unix/failureReason.h"
#include "util/owned.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

const char* getPathSeparator() {
    return ":";
}

const char* getLineTerminator() {
    return "\n";
}

int (*getFileStrCmp())(const char*, const char*) {
    return strcasecmp;
}

// fopen() succeeds on a directory on this platform, but reading it fails;
// such a file counts as one that cannot be opened.
static FILE* openForReading(const char* path) {
    FILE* file = fopen(path, "r");
    if (file == nullptr) {
        throwUnableToOpen(path);
    }
    struct stat status;
    int unknown = fstat(fileno(file), &status) != 0;
    if (unknown || S_ISDIR(status.st_mode)) {
        int cause = unknown ? errno : EISDIR;
        fclose(file);
        errno = cause;
        throwUnableToOpen(path);
    }
    return file;
}

long getFileSize(const char* path) {
    FILE* file = openForReading(path);
    long size = -1;
    if (fseeko(file, 0, SEEK_END) == 0) {
        size = (long)ftello(file);
    }
    fclose(file);
    return size;
}

char* createFileContent(const char* path, long offset, int length) {
    FILE* file = openForReading(path);
    if (length < 0) {
        length = 0;
    }
    char* content = new char[(size_t)length + 1];
    size_t got = 0;
    if (fseeko(file, (off_t)offset, SEEK_SET) == 0) {
        got = fread(content, 1, length, file);
    }
    fclose(file);
    content[got] = 0;
    return content;
}

// One piece of a stream read in turns; the pieces are joined once at the
// end, so that a long stream is not copied again after every read.
struct streamPiece {
    char bytes[65536];
    size_t length;
    std::unique_ptr<streamPiece> next;
};

static char* createJoinedPieces(const streamPiece* first, size_t total) {
    char* content = new char[total + 1];
    size_t at = 0;
    for (const streamPiece* piece = first; piece != nullptr; piece = piece->next.get()) {
        memcpy(content + at, piece->bytes, piece->length);
        at += piece->length;
    }
    content[at] = 0;
    return content;
}

// A pipe or FIFO: its size is known only once it has been read to its end.
// Reading stops one byte past the limit, which is enough to tell that the
// stream holds more (an endless one such as /dev/zero included).
static char* createStreamContent(FILE* file, size_t limit) {
    // Unbuffered, so that stdio reads no further ahead than asked.
    setvbuf(file, nullptr, _IONBF, 0);
    std::unique_ptr<streamPiece> first;
    std::unique_ptr<streamPiece>* last = &first;
    size_t total = 0;
    for (;;) {
        *last = std::unique_ptr<streamPiece>(new streamPiece);
        streamPiece* piece = last->get();
        size_t wanted = limit + 1 - total;
        piece->length = fread(piece->bytes, 1,
                              wanted < sizeof piece->bytes ? wanted : sizeof piece->bytes, file);
        last = &piece->next;
        total += piece->length;
        if (piece->length == 0 || total > limit) {
            break;
        }
    }
    return total > limit ? nullptr : createJoinedPieces(first.get(), total);
}

// A regular file is read in one piece into a buffer of its size; one larger
// than the limit is not read at all.
char* createWholeFileContent(const char* path, size_t limit, long* owner) {
    FILE* file = openForReading(path);
    struct stat status;
    char* content = nullptr;
    int known = fstat(fileno(file), &status) == 0;
    if (owner != nullptr) {
        *owner = known ? (long)status.st_uid : -1;
    }
    if (known && S_ISREG(status.st_mode)) {
        size_t size = (size_t)status.st_size;
        if (size <= limit) {
            content = new char[size + 1];
            content[fread(content, 1, size, file)] = 0;
        }
    } else {
        content = createStreamContent(file, limit);
    }
    fclose(file);
    return content;
}

char* createWorkingDirectory() {
    for (size_t size = 1024;; size *= 2) {
        ownedString directory(new char[size]);
        if (getcwd(directory.get(), size) != nullptr) {
            return directory.release();
        }
        if (errno != ERANGE) {
            return nullptr;
        }
    }
}

int isMissingFile(const char* path) {
    struct stat status;
    return stat(path, &status) != 0 && (errno == ENOENT || errno == ENOTDIR) ? 1 : 0;
}

namespace {
struct freeDeleter {
    void operator()(char* p) const { free(p); }
};
} // namespace

char* createCanonicalPath(const char* path) {
    // realpath's result comes from malloc, not array new.
    std::unique_ptr<char, freeDeleter> resolved(realpath(path, nullptr));
    return resolved != nullptr ? createStringCopy(resolved.get()) : nullptr;
}

// The canonical form of base; when it cannot be resolved, base itself made
// absolute, so that a base that names nothing yields a result that names
// nothing either.
static char* createCanonicalBase(const char* base) {
    char* canonical = createCanonicalPath(base);
    if (canonical != nullptr || base[0] == '/') {
        return canonical != nullptr ? canonical : createStringCopy(base);
    }
    ownedString directory(createWorkingDirectory());
    ownedString prefix(createString(directory != nullptr ? directory.get() : "", "/"));
    return createString(prefix.get(), base);
}

// Removes the last component of the text in result (the root is the empty
// prefix, so nothing is removed there).
static void removeLastComponent(stringBuffer& result, char* text) {
    char* lastSlash = strrchr(text, '/');
    if (lastSlash != nullptr) {
        *lastSlash = 0;
    }
    result.clear();
    result.append(text);
}

static void applyComponent(stringBuffer& result, const char* component, int length) {
    if (length == 1 && component[0] == '.') {
        return;
    }
    if (length == 2 && component[0] == '.' && component[1] == '.') {
        ownedString text(result.createString());
        removeLastComponent(result, text.get());
        return;
    }
    result.append('/');
    result.append(component, length);
}

char* createAbsolutePath(const char* base, const char* path) {
    if (path[0] == '/') {
        return createStringCopy(path);
    }
    ownedString directory(base != nullptr ? createCanonicalBase(base) : createWorkingDirectory());
    stringBuffer result;
    if (directory != nullptr && strcmp(directory.get(), "/") != 0) {
        result.append(directory.get());
    }
    const char* component = path;
    while (*component != 0) {
        const char* end = strchrnul(component, '/');
        applyComponent(result, component, (int)(end - component));
        component = *end == '/' ? end + 1 : end;
    }
    if (result.getLength() == 0) {
        result.append('/');
    }
    return result.createString();
}

void deleteTempFile(const char* path) {
    unlink(path);
}

char* createParentPath(const char* path) {
    const char* slash = strrchr(path, '/');
    if (slash == nullptr) {
        return createStringCopy(".");
    }
    if (slash == path) {
        return createStringCopy("/");
    }
    stringBuffer parent;
    parent.append(path, (int)(slash - path));
    return parent.createString();
}

void makeDirectories(const char* path) {
    ownedString partial(createStringCopy(path));
    for (char* slash = strchr(partial.get() + 1, '/');; slash = strchr(slash + 1, '/')) {
        if (slash != nullptr) {
            *slash = 0;
        }
        if (mkdir(partial.get(), 0755) != 0 && errno != EEXIST) {
            int cause = errno;
            throwWithReason(createMessage("Unable to create '%s'", path), cause);
        }
        if (slash == nullptr) {
            break;
        }
        *slash = '/';
    }
}
