#include "pack/package/stagingFiles.h"

#include "pack/base/failure.h"
#include "pack/base/reasonedFiles.h"
#include "pack/image/directoryTree.h"
#include "unix/removalOnSignal.h"
#include "util/owned.h"
#include "util/stringArray.h"
#include "util/strings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

char* joinPath(const char* directory, const char* name) {
    ownedString prefix(createString(directory, "/"));
    return createString(prefix.get(), name);
}

void writeTextFile(const char* path, const char* text, int mode) {
    packOutputFile file(path);
    file.write(text, (long)strlen(text));
    file.commit(mode);
}

void writeGzipFile(const char* path, const char* text) {
    gzFile file = gzopen(path, "wb9");
    int written = file != nullptr && gzputs(file, text) == (int)strlen(text);
    if (file == nullptr || gzclose(file) != Z_OK || !written) {
        failWithReason("Unable to create", path);
    }
}

// Calls visit for the path and, in a directory, for everything below it.
static void walk(const char* path, void (*visit)(const char*, const struct stat&, void*),
                 void* context) {
    struct stat status;
    if (lstat(path, &status) != 0) {
        return;
    }
    visit(path, status, context);
    if (!S_ISDIR(status.st_mode)) {
        return;
    }
    DIR* listing = opendir(path);
    if (listing == nullptr) {
        return;
    }
    for (dirent* entry = readdir(listing); entry != nullptr; entry = readdir(listing)) {
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) {
            ownedString child(joinPath(path, entry->d_name));
            walk(child.get(), visit, context);
        }
    }
    closedir(listing);
}

static void normalizeMode(const char* path, const struct stat& status, void*) {
    if (S_ISDIR(status.st_mode) || (S_ISREG(status.st_mode) && (status.st_mode & 0111) != 0)) {
        chmod(path, 0755);
    } else if (S_ISREG(status.st_mode)) {
        chmod(path, 0644);
    }
}

void normalizeModes(const char* path) {
    walk(path, normalizeMode, nullptr);
}

struct fileSearch {
    stringArray* files;
    int elfOnly;
};

static int isElfFile(const char* path) {
    char magic[4] = {0, 0, 0, 0};
    int input = open(path, O_RDONLY);
    int isElf = input >= 0 && read(input, magic, 4) == 4 && memcmp(magic, "\177ELF", 4) == 0;
    if (input >= 0) {
        close(input);
    }
    return isElf;
}

static void addFile(const char* path, const struct stat& status, void* context) {
    fileSearch* search = (fileSearch*)context;
    if (S_ISREG(status.st_mode) && (!search->elfOnly || isElfFile(path))) {
        search->files->append(createStringCopy(path));
    }
}

void findFiles(const char* path, stringArray& files, int elfOnly) {
    fileSearch search = {&files, elfOnly};
    walk(path, addFile, &search);
}

// Removes a partial copy that was not renamed into place.
class partialCopy {
  public:
    explicit partialCopy(const std::string& to) : path(to + ".partial") { unlink(path.c_str()); }
    ~partialCopy() { unlink(path.c_str()); }
    partialCopy(const partialCopy&) = delete;
    partialCopy& operator=(const partialCopy&) = delete;
    std::string path;
};

static void moveFile(const char* from, const std::string& to) {
    if (rename(from, to.c_str()) == 0) {
        return;
    }
    if (errno != EXDEV) {
        failWithReason("Unable to create", to);
    }
    partialCopy partial(to);
    copyTree(from, partial.path.c_str());
    if (rename(partial.path.c_str(), to.c_str()) != 0) {
        failWithReason("Unable to create", to);
    }
}

void moveFiles(const char* from, const char* to, stringArray& moved) {
    stringArray files;
    findFiles(from, files, 0);
    for (int i = 0; i < files.size(); i++) {
        std::string target = std::string(to) + "/" + (strrchr(files[i], '/') + 1);
        moveFile(files[i], target);
        moved.append(createStringCopy(target.c_str()));
    }
}

// Packages on their way into their directories: each is first moved (or
// copied) beside its place under a temporary name, registered for removal
// on a signal; only when all are there are they renamed into place. Unless
// done, what it moved is removed at its end.
class publication {
  public:
    publication() = default;
    ~publication() {
        for (size_t i = 0; i < temporaries.size(); i++) {
            unregisterRemoval(&(*temporaries[i])[0]);
            unlink(temporaries[i]->c_str());
        }
        for (const std::string& target : placed) {
            if (!done) {
                unlink(target.c_str());
            }
        }
    }
    publication(const publication&) = delete;
    publication& operator=(const publication&) = delete;

    void bring(const char* from, const std::string& to) {
        size_t slash = to.rfind('/');
        temporaries.push_back(std::unique_ptr<std::string>(
            new std::string(to.substr(0, slash + 1) + "." + to.substr(slash + 1) + ".XXXXXX")));
        targets.push_back(to);
        std::string& temporary = *temporaries.back();
        int file = openRegisteredFile(&temporary[0]);
        if (file < 0) {
            failWithReason("Unable to create", to);
        }
        close(file);
        if (rename(from, temporary.c_str()) != 0) {
            if (errno != EXDEV || unlink(temporary.c_str()) != 0) {
                failWithReason("Unable to create", to);
            }
            copyTree(from, temporary.c_str());
        }
    }
    const std::vector<std::string>& place() {
        for (size_t i = 0; i < temporaries.size(); i++) {
            if (rename(temporaries[i]->c_str(), targets[i].c_str()) != 0) {
                failWithReason("Unable to create", targets[i]);
            }
            placed.push_back(targets[i]);
        }
        done = true;
        return placed;
    }

  private:
    std::vector<std::unique_ptr<std::string>> temporaries;
    std::vector<std::string> targets;
    std::vector<std::string> placed;
    bool done = false;
};

std::vector<std::string>
publishAll(const std::vector<std::pair<std::string, std::string>>& builtAndTo, int quiet) {
    publication moving;
    for (const auto& pair : builtAndTo) {
        stringArray files;
        findFiles(pair.first.c_str(), files, 0);
        for (int i = 0; i < files.size(); i++) {
            moving.bring(files[i], pair.second + "/" + (strrchr(files[i], '/') + 1));
        }
    }
    std::vector<std::string> written = moving.place();
    for (const std::string& path : written) {
        if (!quiet) {
            printf("larkwin-pack: wrote '%s'\n", path.c_str());
        }
    }
    return written;
}

std::vector<std::string> publishPackages(const char* built, const char* to, int quiet) {
    stringArray moved;
    moveFiles(built, to, moved);
    std::vector<std::string> published;
    for (int i = 0; i < moved.size(); i++) {
        if (!quiet) {
            printf("larkwin-pack: wrote '%s'\n", moved[i]);
        }
        published.push_back(moved[i]);
    }
    return published;
}
