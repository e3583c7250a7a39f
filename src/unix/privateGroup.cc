#include "unix/privateGroup.h"

#include "unix/files.h"
#include "util/owned.h"

#include <cstdlib>
#include <cstring>

// The launcher is linked statically, where the C library's user and group
// lookups would need its shared modules; the two files are read instead. A
// user or group that only a directory service knows is not found there, so
// its group counts as shared.
static const size_t longestDatabase = 16 * 1024 * 1024;

// The colon-separated field number index of line (which ends at a line feed
// or NUL), as a pointer into it and its length in *length; null when the
// line has fewer fields.
static const char* findField(const char* line, int index, size_t* length) {
    for (int i = 0; i < index; i++) {
        line += strcspn(line, ":\n");
        if (*line != ':') {
            return nullptr;
        }
        line++;
    }
    *length = strcspn(line, ":\n");
    return line;
}

static long readNumber(const char* field, size_t length) {
    char* end = nullptr;
    long value = strtol(field, &end, 10);
    return length > 0 && end == field + length ? value : -1;
}

static int fieldIs(const char* field, size_t length, const char* text) {
    return strlen(text) == length && strncmp(field, text, length) == 0;
}

// Calls visit on every line of the database file; stops when it returns 0.
template <typename F> static int forEachLine(const char* path, F visit) {
    ownedString text(createWholeFileContent(path, longestDatabase));
    for (const char* line = text.get(); line != nullptr && *line != 0;) {
        if (!visit(line)) {
            return 0;
        }
        const char* end = strchr(line, '\n');
        line = end != nullptr ? end + 1 : nullptr;
    }
    return text != nullptr;
}

// The owner's name (owned by the caller), null when it is not in the file.
// Whether any other user has gid as primary group goes to *shared; *primary
// tells whether the owner has.
static char* createOwnerName(unsigned gid, unsigned owner, int* shared, int* primary) {
    ownedString name;
    forEachLine("/etc/passwd", [&](const char* line) {
        size_t length = 0;
        const char* userName = findField(line, 0, &length);
        size_t uidLength = 0, gidLength = 0;
        const char* uid = findField(line, 2, &uidLength);
        const char* group = findField(line, 3, &gidLength);
        if (uid == nullptr || group == nullptr) {
            return 1;
        }
        int isOwner = readNumber(uid, uidLength) == (long)owner;
        int inGroup = readNumber(group, gidLength) == (long)gid;
        if (isOwner && name == nullptr) {
            name.reset(new char[length + 1]);
            memcpy(name.get(), userName, length);
            name[length] = 0;
        }
        *primary = *primary || (isOwner && inGroup);
        *shared = *shared || (!isOwner && inGroup);
        return 1;
    });
    return name.release();
}

// 1 when the group's line lists no member but name, -1 when it lists only
// name, 0 when it lists another or the group is not there.
static int findSupplementary(unsigned gid, const char* name) {
    int found = 0;
    forEachLine("/etc/group", [&](const char* line) {
        size_t gidLength = 0, membersLength = 0;
        const char* number = findField(line, 2, &gidLength);
        const char* members = findField(line, 3, &membersLength);
        if (number == nullptr || members == nullptr || readNumber(number, gidLength) != (long)gid) {
            return 1;
        }
        found = membersLength == 0 ? 1 : -1;
        for (const char* member = members; member < members + membersLength;) {
            size_t length = strcspn(member, ",:\n");
            found = fieldIs(member, length, name) ? found : 0;
            member += length + 1;
        }
        return 0;
    });
    return found;
}

int isPrivateGroupOf(unsigned gid, unsigned owner) {
    int shared = 0;
    int primary = 0;
    ownedString name(createOwnerName(gid, owner, &shared, &primary));
    if (name == nullptr || shared) {
        return 0;
    }
    int supplementary = findSupplementary(gid, name.get());
    return supplementary != 0 && (primary || supplementary < 0) ? 1 : 0;
}
