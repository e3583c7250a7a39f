#include "cache/loaderClasses.h"

#include "util/owned.h"
#include "util/stringArray.h"
#include "util/strings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
// An array that grows by doubling; T is a plain value.
template <typename T> class growingArray {
  public:
    int size() const { return count; }
    const T& operator[](int i) const { return items[i]; }
    void insert(int at, const T& item) {
        if (count == capacity) {
            capacity = capacity == 0 ? 256 : capacity * 2;
            ownedArray<T> grown(new T[capacity]);
            for (int i = 0; i < count; i++) {
                grown[i] = items[i];
            }
            items = std::move(grown);
        }
        for (int i = count; i > at; i--) {
            items[i] = items[i - 1];
        }
        items[at] = item;
        count++;
    }
    void append(const T& item) { insert(count, item); }

  private:
    ownedArray<T> items;
    int count = 0;
    int capacity = 0;
};

// Values by name, sorted for a binary search; the names are borrowed.
template <typename V> class nameIndex {
  public:
    struct entry {
        const char* name;
        V value;
    };
    // Null for a name it lacks.
    const V* find(const char* name) const {
        int at = positionOf(name);
        return at < entries.size() && strcmp(entries[at].name, name) == 0 ? &entries[at].value
                                                                          : nullptr;
    }
    void add(const char* name, V value) { entries.insert(positionOf(name), {name, value}); }

  private:
    int positionOf(const char* name) const {
        int low = 0;
        int high = entries.size();
        while (low < high) {
            int middle = low + (high - low) / 2;
            if (strcmp(entries[middle].name, name) < 0) {
                low = middle + 1;
            } else {
                high = middle;
            }
        }
        return low;
    }

    growingArray<entry> entries;
};

struct addressId {
    unsigned long long address;
    int id;
};

// The ids of the list's classes by name, and of the log's classes by their
// address while the run loaded them.
class classIds {
  public:
    // 0 for a name without an id.
    int ofName(const char* name) const {
        const int* id = byName.find(name);
        return id != nullptr ? *id : 0;
    }
    void addName(const char* name, int id) {
        names.append(createStringCopy(name));
        byName.add(names[names.size() - 1], id);
    }
    // The latest class at the address: an unloaded class's may be reused.
    int ofAddress(unsigned long long address) const {
        for (int i = byAddress.size() - 1; i >= 0; i--) {
            if (byAddress[i].address == address) {
                return byAddress[i].id;
            }
        }
        return 0;
    }
    void addAddress(unsigned long long address, int id) { byAddress.append({address, id}); }

  private:
    stringArray names;
    nameIndex<int> byName;
    growingArray<addressId> byAddress;
};

// One line of a file, read with getline into a buffer it owns.
class lineReader {
  public:
    explicit lineReader(FILE* file) : file(file) {}
    ~lineReader() { free(line); }
    lineReader(const lineReader&) = delete;
    lineReader& operator=(const lineReader&) = delete;
    // The next line without its line end, or null at the end.
    char* next() {
        ssize_t length = getline(&line, &capacity, file);
        if (length < 0) {
            return nullptr;
        }
        if (length > 0 && line[length - 1] == '\n') {
            line[length - 1] = 0;
        }
        return line;
    }

  private:
    FILE* file;
    char* line = nullptr;
    size_t capacity = 0;
};

// A file opened with fopen, closed with the owner.
class openFile {
  public:
    explicit openFile(FILE* file) : file(file) {}
    ~openFile() {
        if (file != nullptr) {
            fclose(file);
        }
    }
    openFile(const openFile&) = delete;
    openFile& operator=(const openFile&) = delete;
    FILE* get() const { return file; }
    // 0 when a write failed or the file could not be closed.
    int close() {
        int closed = file != nullptr && !ferror(file) && fclose(file) == 0;
        file = nullptr;
        return closed;
    }

  private:
    FILE* file;
};

// The jars of the classes of other loaders in the list an archive was made
// from: a run that maps them logs them as "shared objects file".
class knownJars {
  public:
    // Reads the list at path, if there is one.
    explicit knownJars(const char* path) {
        openFile file(path != nullptr ? fopen(path, "re") : nullptr);
        if (file.get() == nullptr) {
            return;
        }
        lineReader reader(file.get());
        for (char* line = reader.next(); line != nullptr; line = reader.next()) {
            const char* source = strstr(line, " source: ");
            const char* id = strstr(line, " id: ");
            if (source != nullptr && id != nullptr) {
                ownedString name(createStringCopy(line));
                name[id - line] = 0;
                lines.append(name.release());
                lines.append(createStringCopy(source + 9));
                jars.add(lines[lines.size() - 2], lines[lines.size() - 1]);
            }
        }
    }
    knownJars(const knownJars&) = delete;
    knownJars& operator=(const knownJars&) = delete;
    const char* jarOf(const char* name) const {
        const char* const* jar = jars.find(name);
        return jar != nullptr ? *jar : nullptr;
    }

  private:
    stringArray lines;
    nameIndex<const char*> jars;
};

// An id the JVM wrote, as a number far from overflowing when counted on
// from it; 0 for anything else.
int parseId(const char* text) {
    char* end;
    long value = strtol(text, &end, 10);
    return end != text && value > 0 && value < 100000000 ? (int)value : 0;
}

int isClassLine(const char* line) {
    return line[0] != 0 && line[0] != '#' && line[0] != '@';
}

// The list's lines, each class with an id: the ones the JVM wrote keep theirs.
int copyListWithIds(FILE* list, FILE* out, classIds& ids) {
    stringArray lines;
    lineReader reader(list);
    int highest = 0;
    for (char* line = reader.next(); line != nullptr; line = reader.next()) {
        const char* id = strstr(line, " id: ");
        if (isClassLine(line) && id != nullptr) {
            int value = parseId(id + 5);
            highest = value > highest ? value : highest;
        }
        lines.append(createStringCopy(line));
    }
    for (int i = 0; i < lines.size(); i++) {
        char* line = lines[i];
        char* id = strstr(line, " id: ");
        if (isClassLine(line) && id == nullptr && strchr(line, ' ') == nullptr &&
            ids.ofName(line) == 0) {
            fprintf(out, "%s id: %d\n", line, ++highest);
            ids.addName(line, highest);
            continue;
        }
        // Anything else goes to the dump as the JVM wrote it.
        fprintf(out, "%s\n", line);
        int value = isClassLine(line) && id != nullptr ? parseId(id + 5) : 0;
        if (value != 0) {
            *id = 0;
            ids.addName(line, value);
        }
    }
    return highest;
}

// One class as the log describes it: "NAME source: SOURCE", then
// " klass: ADDRESS super: ADDRESS [interfaces: ADDRESS...] loader: [...]".
struct loadedClass {
    ownedString name;
    ownedString source;
    unsigned long long address = 0;
    unsigned long long super = 0;
    growingArray<unsigned long long> interfaces;
    int builtIn = 0;
};

void readNameLine(const char* line, loadedClass& loaded) {
    const char* source = strstr(line, " source: ");
    size_t length = source != nullptr ? (size_t)(source - line) : strlen(line);
    loaded.name.reset(new char[length + 1]);
    for (size_t i = 0; i < length; i++) {
        loaded.name[i] = line[i] == '.' ? '/' : line[i];
    }
    loaded.name[length] = 0;
    loaded.source.reset(createStringCopy(source != nullptr ? source + 9 : ""));
}

int readKlassLine(char* line, loadedClass& loaded) {
    const char* loader = strstr(line, " loader: ");
    if (strncmp(line, " klass: ", 8) != 0 || loader == nullptr) {
        return 0;
    }
    loaded.builtIn = strstr(loader, "of 'bootstrap'") != nullptr ||
                     strstr(loader, "ClassLoaders$AppClassLoader'") != nullptr ||
                     strstr(loader, "ClassLoaders$PlatformClassLoader'") != nullptr;
    char* word = line + 8;
    loaded.address = strtoull(word, &word, 16);
    if (strncmp(word, " super: ", 8) != 0) {
        return 0;
    }
    loaded.super = strtoull(word + 8, &word, 16);
    if (strncmp(word, " interfaces:", 12) == 0) {
        for (word += 12; strncmp(word, " 0x", 3) == 0;) {
            loaded.interfaces.append(strtoull(word, &word, 16));
        }
    }
    return 1;
}

// The jar of a "file:" URL, when the list can name it: a path with no
// space and nothing escaped.
const char* jarOfSource(const char* source) {
    size_t length = strlen(source);
    if (strncmp(source, "file:/", 6) != 0 || length < 10 ||
        strcmp(source + length - 4, ".jar") != 0 || strpbrk(source, " \t%") != nullptr) {
        return nullptr;
    }
    return source + 5;
}

// The line that describes loaded to -Xshare:dump; 0 when it cannot be told.
int writeLoaderClass(FILE* out, const loadedClass& loaded, const classIds& ids,
                     const knownJars& known, int id) {
    const char* jar = strcmp(loaded.source.get(), "shared objects file") == 0
                          ? known.jarOf(loaded.name.get())
                          : jarOfSource(loaded.source.get());
    int super = ids.ofAddress(loaded.super);
    if (jar == nullptr || super == 0 || ids.ofName(loaded.name.get()) != 0) {
        return 0;
    }
    for (int i = 0; i < loaded.interfaces.size(); i++) {
        if (ids.ofAddress(loaded.interfaces[i]) == 0) {
            return 0;
        }
    }
    fprintf(out, "%s id: %d super: %d", loaded.name.get(), id, super);
    if (loaded.interfaces.size() > 0) {
        fprintf(out, " interfaces:");
        for (int i = 0; i < loaded.interfaces.size(); i++) {
            fprintf(out, " %d", ids.ofAddress(loaded.interfaces[i]));
        }
    }
    fprintf(out, " source: %s\n", jar);
    return 1;
}

int appendLoaderClasses(FILE* log, FILE* out, classIds& ids, const knownJars& known, int highest) {
    lineReader reader(log);
    int added = 0;
    loadedClass loaded;
    for (char* line = reader.next(); line != nullptr; line = reader.next()) {
        if (line[0] != ' ') {
            loaded = loadedClass();
            readNameLine(line, loaded);
            continue;
        }
        if (loaded.name == nullptr || !readKlassLine(line, loaded)) {
            continue;
        }
        if (loaded.builtIn) {
            ids.addAddress(loaded.address, ids.ofName(loaded.name.get()));
        } else if (writeLoaderClass(out, loaded, ids, known, highest + 1)) {
            highest++;
            added++;
            ids.addName(loaded.name.get(), highest);
            ids.addAddress(loaded.address, highest);
        }
        loaded.name.reset();
    }
    return added;
}
} // namespace

char* createLoaderListPath(const char* archive) {
    return createString(archive, ".loaders");
}

void removeClassList(const char* classList, const char* loadLog) {
    if (classList != nullptr) {
        unlink(classList);
    }
    if (loadLog != nullptr) {
        unlink(loadLog);
    }
}

int logsLoaderClasses(int featureVersion) {
    return featureVersion >= 13 && featureVersion < 24;
}

char* createLoadLogOption(const char* path) {
    if (strchr(path, '"') != nullptr) {
        return nullptr;
    }
    ownedString start(createString("-Xlog:class+load=debug:file=\"", path));
    return createString(start.get(), "\":none:filecount=0");
}

int writeListWithLoaderClasses(const char* classList, const char* loadLog, const char* earlierList,
                               const char* merged) {
    openFile list(fopen(classList, "re"));
    openFile log(fopen(loadLog, "re"));
    int fd = open(merged, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    openFile out(fd >= 0 ? fdopen(fd, "w") : nullptr);
    if (fd >= 0 && out.get() == nullptr) {
        close(fd);
    }
    if (list.get() == nullptr || log.get() == nullptr || out.get() == nullptr) {
        return -1;
    }
    classIds ids;
    int highest = copyListWithIds(list.get(), out.get(), ids);
    knownJars known(earlierList);
    int added = appendLoaderClasses(log.get(), out.get(), ids, known, highest);
    return out.close() ? added : -1;
}
