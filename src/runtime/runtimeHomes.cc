#include "runtime/runtimeHomes.h"

#include "runtime/runtimeRelease.h"
#include "unix/exePath.h"
#include "unix/fileOwners.h"
#include "unix/othersWritable.h"
#include "util/owned.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <strings.h>

// "path: why", as a new string.
static char* createRefusal(const char* path, const char* why) {
    stringBuffer text;
    text.append(path);
    text.append(": ");
    text.append(why);
    return text.createString();
}

// The user's own, or root's: another user could put anything there.
static int belongsToAnother(const char* path) {
    long owner = getFileOwner(path);
    return owner >= 0 && !isRootOrRunningUser((unsigned)owner);
}

static const char* ownedByAnother = "owned by another user";

// The home, its bin directory or its java when one of them is another
// user's, or null: that user's java would run as whoever searched, root too.
static const char* findOthersPart(const char* home, const char* bin, const char* java) {
    const char* parts[] = {home, bin, java};
    for (const char* part : parts) {
        if (belongsToAnother(part)) {
            return part;
        }
    }
    return nullptr;
}

// Why others may have put a runtime at home, or null: refusal is what is
// already known about the place it was found in (it is taken over).
static char* createHomeRefusal(const char* home, const char* java, char* refusal) {
    if (refusal != nullptr) {
        return refusal;
    }
    ownedString binPath(createString(home, "/bin"));
    const char* othersPart = findOthersPart(home, binPath.get(), java);
    if (othersPart != nullptr) {
        return createRefusal(othersPart, ownedByAnother);
    }
    const char* why = whyOthersMayChangeDirectory(home);
    if (why != nullptr) {
        return createRefusal(home, why);
    }
    ownedString bin(createString(home, "/bin"));
    why = whyOthersMayChangeDirectory(bin.get());
    if (why != nullptr) {
        return createRefusal(bin.get(), why);
    }
    why = whyOthersMayChangeFile(java);
    return why != nullptr ? createRefusal(java, why) : nullptr;
}

// Adds home when it holds bin/java; 1 when it did. placeRefusal, why the
// place it was found in is not to be trusted, or null, is copied.
static int addHome(runtimeCandidates* candidates, const char* home, const char* placeRefusal) {
    ownedString java(createString(home, "/bin/java"));
    if (!testFile(java.get())) {
        return 0;
    }
    char* copied = placeRefusal != nullptr ? createStringCopy(placeRefusal) : nullptr;
    ownedString refusal(createHomeRefusal(home, java.get(), copied));
    if (refusal != nullptr) {
        // Nothing of a refused home is read.
        candidates->addRefused(java.release(), refusal.release());
        return 1;
    }
    int version = runtimeRelease(home).getFeatureVersion();
    candidates->add(java.release(), searchedRuntime, 1, version);
    return 1;
}

// The names of a directory's entries but the hidden ones, in strcmp order,
// so that the same runtimes are always seen in the same order (ties go to the
// first one seen). The directory is read twice, once to count, so that the
// array is allocated once at its size; names that appear in between are
// left out.
class sortedNames {
  public:
    explicit sortedNames(const char* dir) : count(0) {
        DIR* listing = opendir(dir);
        if (listing == nullptr) {
            return;
        }
        int room = 0;
        while (struct dirent* entry = readdir(listing)) {
            room += entry->d_name[0] != '.' ? 1 : 0;
        }
        rewinddir(listing);
        names.reset(new ownedString[room > 0 ? room : 1]);
        while (struct dirent* entry = readdir(listing)) {
            if (entry->d_name[0] != '.' && count < room) {
                names[count++].reset(createStringCopy(entry->d_name));
            }
        }
        closedir(listing);
        std::sort(names.get(), names.get() + count, [](const ownedString& a, const ownedString& b) {
            return strcmp(a.get(), b.get()) < 0;
        });
    }

    const char* operator[](int i) const { return names[i].get(); }
    int size() const { return count; }

  private:
    ownedArray<ownedString> names;
    int count;
};

static int acceptsAny(const char*) {
    return 1;
}

static int holds(const char* name, const char* word) {
    size_t length = strlen(word);
    for (const char* at = name; *at != 0; at++) {
        if (strncasecmp(at, word, length) == 0) {
            return 1;
        }
    }
    return 0;
}

// /opt holds every kind of software; only these names are taken for runtimes.
static int isNamedLikeJava(const char* name) {
    return holds(name, "jdk") || holds(name, "jre") || holds(name, "java");
}

// Each accepted subdirectory of dir, followed by below, as a home.
static void addSubdirectoryHomes(runtimeCandidates* candidates, const char* dir,
                                 int (*accepts)(const char* name), const char* below,
                                 const char* placeRefusal) {
    sortedNames listing(dir);
    ownedString prefix(createString(dir, "/"));
    for (int i = 0; i < listing.size(); i++) {
        if (!accepts(listing[i])) {
            continue;
        }
        ownedString subdirectory(createString(prefix.get(), listing[i]));
        addHome(candidates, ownedString(createString(subdirectory.get(), below)).get(),
                placeRefusal);
    }
}

// Why others may have put entries into dir, or null.
static char* createPlaceRefusal(const char* dir) {
    const char* why = whyOthersMayChangeDirectory(dir);
    return why != nullptr ? createRefusal(dir, why) : nullptr;
}

// place, when given, is the refusal of every home found.
static void addPlaceHomes(runtimeCandidates* candidates, const char* dir, const char* place) {
    ownedString refusal(place != nullptr ? createStringCopy(place) : createPlaceRefusal(dir));
    if (!addHome(candidates, dir, refusal.get())) {
        addSubdirectoryHomes(candidates, dir, acceptsAny, "", refusal.get());
    }
}

void addRuntimeHomes(runtimeCandidates* candidates, const char* dir) {
    addPlaceHomes(candidates, dir, nullptr);
}

// top is the directory right under $HOME that the user made for runtimes.
static void addHomeRuntimes(runtimeCandidates* candidates, const char* top, const char* below) {
    const char* home = getenv("HOME");
    if (home == nullptr || *home == 0) {
        return;
    }
    ownedString place(createString(home, top));
    ownedString dir(createString(place.get(), below));
    ownedString refusal(belongsToAnother(place.get()) ? createRefusal(place.get(), ownedByAnother)
                                                      : nullptr);
    addPlaceHomes(candidates, dir.get(), refusal.get());
}

// The homes below the accepted subdirectories of a shared directory.
static void addAcceptedHomes(runtimeCandidates* candidates, const char* dir,
                             int (*accepts)(const char* name), const char* below) {
    ownedString refusal(createPlaceRefusal(dir));
    addSubdirectoryHomes(candidates, dir, accepts, below, refusal.get());
}

void addInstalledRuntimes(runtimeCandidates* candidates) {
    addRuntimeHomes(candidates, "/usr/lib/jvm");
    addRuntimeHomes(candidates, "/usr/java");
    addRuntimeHomes(candidates, "/usr/local/java");
    addRuntimeHomes(candidates, "/opt/java");
    addAcceptedHomes(candidates, "/opt", isNamedLikeJava, "");
    addHomeRuntimes(candidates, "/.sdkman", "/candidates/java");
    addHomeRuntimes(candidates, "/.jdks", "");
#ifdef __APPLE__
    addAcceptedHomes(candidates, "/Library/Java/JavaVirtualMachines", acceptsAny, "/Contents/Home");
#endif
}
