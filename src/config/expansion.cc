#include "config/expansion.h"

#include "config/unpackDirective.h"

#include "unix/exePath.h"
#include "unix/files.h"
#include "unix/userDirectories.h"
#include "util/owned.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cstdlib>
#include <cstring>

namespace {

// As long as the longest configuration text: a few short names that each
// expand to a long value must not make the launcher hold without bound.
const size_t longestExpansion = 64 * 1024 * 1024;

struct xdgDirectory {
    const char* name;
    const char* variable;
    const char* fallback;
};

const xdgDirectory xdgDirectories[] = {
    {"xdg.config.home", "XDG_CONFIG_HOME", "/.config"},
    {"xdg.data.home", "XDG_DATA_HOME", "/.local/share"},
    {"xdg.cache.home", "XDG_CACHE_HOME", "/.cache"},
    {"xdg.state.home", "XDG_STATE_HOME", "/.local/state"},
};

const int xdgCount = sizeof xdgDirectories / sizeof xdgDirectories[0];

const char* const knownNames =
    "${exe.dir}, ${app.dir}, ${config.dir}, ${user.home}, ${xdg.config.home}, "
    "${xdg.data.home}, ${xdg.cache.home}, ${xdg.state.home}, "
    "${env:NAME} and $$ for a literal $";

// What the names stand for, each found once however often the text names it
// (the text is walked twice: to measure, then to copy).
class expansionValues {
  public:
    explicit expansionValues(const char* configDirectory) : configDirectory(configDirectory) {}

    // The value of "${name}"; piece is that whole text, for messages.
    const char* lookUp(const char* piece, const char* name);

  private:
    const char* lookUpExeDirectory(const char* piece);
    const char* lookUpAppDirectory(const char* piece);
    const char* lookUpUserHome(const char* piece);
    const char* lookUpXdg(const char* piece, int which);

    const char* configDirectory;
    ownedString exeDirectory;
    ownedString appDirectory;
    ownedString userHome;
    ownedString xdg[xdgCount];
};

const char* expansionValues::lookUpExeDirectory(const char* piece) {
    if (exeDirectory == nullptr) {
        if (HACKexePath == nullptr) {
            throw createMessage("Unable to expand '%s': the launcher's own path is unknown", piece);
        }
        ownedString executable(getExecutablePath());
        exeDirectory.reset(createParentPath(executable.get()));
    }
    return exeDirectory.get();
}

// An image's launcher is IMAGE/bin/NAME, an installed one PREFIX/bin/NAME: the
// folder above bin is the one whose share/ holds the application's data.
const char* expansionValues::lookUpAppDirectory(const char* piece) {
    if (appDirectory == nullptr && getUnpackedAppDirectory() != nullptr) {
        appDirectory.reset(createStringCopy(getUnpackedAppDirectory()));
    }
    if (appDirectory == nullptr) {
        const char* bin = lookUpExeDirectory(piece);
        const char* last = strrchr(bin, '/');
        if (last == nullptr || strcmp(last, "/bin") != 0) {
            stringBuffer message;
            message.append("Unable to expand '");
            message.append(piece);
            message.append("': the launcher's folder '");
            message.append(bin);
            message.append("' is not named bin, so no application folder lies above it "
                           "(${exe.dir} names that folder)");
            throw message.createString();
        }
        appDirectory.reset(createParentPath(bin));
    }
    return appDirectory.get();
}

const char* expansionValues::lookUpUserHome(const char* piece) {
    if (userHome == nullptr) {
        userHome.reset(createUserHome());
        if (userHome == nullptr) {
            throw createMessage("Unable to expand '%s': HOME is not an absolute path and "
                                "/etc/passwd names no home for the user",
                                piece);
        }
    }
    return userHome.get();
}

const char* expansionValues::lookUpXdg(const char* piece, int which) {
    if (xdg[which] == nullptr) {
        xdg[which].reset(
            createXdgDirectory(xdgDirectories[which].variable, xdgDirectories[which].fallback));
        if (xdg[which] == nullptr) {
            throw createMessage("Unable to expand '%s': neither its variable nor HOME is an "
                                "absolute path, and /etc/passwd names no home for the user",
                                piece);
        }
    }
    return xdg[which].get();
}

int isVariableName(const char* name) {
    static const char allowed[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                  "0123456789_";
    return name[0] != 0 && strspn(name, allowed) == strlen(name) ? 1 : 0;
}

const char* expansionValues::lookUp(const char* piece, const char* name) {
    if (strcmp(name, "exe.dir") == 0) {
        return lookUpExeDirectory(piece);
    }
    if (strcmp(name, "app.dir") == 0) {
        return lookUpAppDirectory(piece);
    }
    if (strcmp(name, "config.dir") == 0) {
        return configDirectory;
    }
    if (strcmp(name, "user.home") == 0) {
        return lookUpUserHome(piece);
    }
    for (int i = 0; i < xdgCount; i++) {
        if (strcmp(name, xdgDirectories[i].name) == 0) {
            return lookUpXdg(piece, i);
        }
    }
    if (startsWith(name, "env:") && isVariableName(name + 4)) {
        const char* value = getenv(name + 4);
        if (value == nullptr) {
            throw createMessage("Unable to expand '%s': the variable is not set", piece);
        }
        return value;
    }
    stringBuffer message;
    message.append("Unknown expansion '");
    message.append(piece);
    message.append("' (known: ");
    message.append(knownNames);
    message.append(")");
    throw message.createString();
}

// Measures the expanded text when out is null, else writes it there.
class expansionWriter {
  public:
    explicit expansionWriter(char* out) : out(out), length(0) {}
    void put(const char* text, size_t n) {
        if (n > longestExpansion - length) {
            throw createStringCopy("Refusing an expanded argument of more than 64 MiB");
        }
        if (out != nullptr) {
            memcpy(out + length, text, n);
        }
        length += n;
    }
    size_t getLength() const { return length; }

  private:
    char* out;
    size_t length;
};

char* createPrefix(const char* text, size_t length) {
    char* prefix = new char[length + 1];
    memcpy(prefix, text, length);
    prefix[length] = 0;
    return prefix;
}

// The "${...}" that begins at text[0]: its value goes to the writer; returns
// the length of the piece. A name ends at the first "}", so names do not nest.
size_t expandName(const char* text, expansionValues& values, expansionWriter& writer) {
    const char* close = strchr(text, '}');
    if (close == nullptr) {
        throw createMessage("Unterminated expansion '%s'", text);
    }
    size_t pieceLength = (size_t)(close - text) + 1;
    ownedString piece(createPrefix(text, pieceLength));
    ownedString name(createPrefix(text + 2, pieceLength - 3));
    const char* value = values.lookUp(piece.get(), name.get());
    writer.put(value, strlen(value));
    return pieceLength;
}

void expandInto(const char* text, expansionValues& values, expansionWriter& writer) {
    size_t at = 0;
    while (text[at] != 0) {
        size_t run = strcspn(text + at, "$");
        writer.put(text + at, run);
        at += run;
        if (text[at] == 0) {
            break;
        }
        if (text[at + 1] == '$') {
            writer.put("$", 1);
            at += 2;
        } else if (text[at + 1] == '{') {
            at += expandName(text + at, values, writer);
        } else {
            throw createMessage("Unable to expand '%s': write $$ for a literal $", text);
        }
    }
}

} // namespace

char* createExpandedText(const char* text, const char* configDirectory) {
    expansionValues values(configDirectory);
    expansionWriter measure(nullptr);
    expandInto(text, values, measure);
    ownedString expanded(new char[measure.getLength() + 1]);
    expansionWriter writer(expanded.get());
    expandInto(text, values, writer);
    expanded[measure.getLength()] = 0;
    return expanded.release();
}
