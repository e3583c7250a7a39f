#include "pack/package/stagingFiles.h"

#include "pack/image/directoryTree.h"
#include "unix/outputFile.h"
#include "util/stringArray.h"
#include "util/strings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

char* joinPath(const char* directory, const char* name) {
    char* prefix = createString(directory, "/");
    char* path = createString(prefix, name);
    delete[] prefix;
    return path;
}

void writeTextFile(const char* path, const char* text, int mode) {
    outputFile file(path);
    file.write(text, (long)strlen(text));
    file.commit(mode);
}

// "Unable to create 'PATH': " and the system's reason.
[[noreturn]] static void failCreating(const std::string& path) {
    throw createStringCopy(("Unable to create '" + path + "': " + strerror(errno)).c_str());
}

void writeGzipFile(const char* path, const char* text) {
    gzFile file = gzopen(path, "wb9");
    int written = file != nullptr && gzputs(file, text) == (int)strlen(text);
    if (file == nullptr || gzclose(file) != Z_OK || !written) {
        failCreating(path);
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
            char* child = joinPath(path, entry->d_name);
            walk(child, visit, context);
            delete[] child;
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
        failCreating(to);
    }
    partialCopy partial(to);
    copyTree(from, partial.path.c_str());
    if (rename(partial.path.c_str(), to.c_str()) != 0) {
        failCreating(to);
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

void publishPackages(const char* built, const char* to, int quiet) {
    stringArray moved;
    moveFiles(built, to, moved);
    for (int i = 0; i < moved.size() && !quiet; i++) {
        printf("larkwin-pack: wrote '%s'\n", moved[i]);
    }
}
