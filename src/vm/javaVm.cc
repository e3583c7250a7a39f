#include "vm/javaVm.h"

#include "unix/files.h"
#include "util/owned.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cstring>

stringArray HACKtempFileArray;

javaVm::javaVm()
    : exitCode(0), restartCode(0), socketPort(0), javaPath(nullptr), mainClass(nullptr),
      firstParams(0), useStartupCache(0), startupCacheDir(nullptr), unpackedRoot(nullptr),
      unpackedAppDirectory(nullptr), useShortRuns(0), crashDirectory(nullptr) {}

// Members are destroyed in reverse declaration order: params, vmOptions,
// skipPath, bootPath, classPath and tempFiles, after javaPath and mainClass.
javaVm::~javaVm() {
    deleteTempFiles();
    delete[] javaPath;
    delete[] mainClass;
    delete[] startupCacheDir;
    delete[] unpackedRoot;
    delete[] unpackedAppDirectory;
    delete[] crashDirectory;
}

void javaVm::deleteTempFiles() {
    for (int i = 0; i < tempFiles.size(); i++) {
        deleteTempFile(tempFiles[i]);
    }
}

char* javaVm::createPath(const stringArray* list) const {
    stringBuffer joined;
    for (int i = 0; i < list->size(); i++) {
        if (i > 0) {
            joined.append(getPathSeparator());
        }
        joined.append((*list)[i]);
    }
    return joined.createString();
}

void javaVm::setJavaPath(char* path) {
    delete[] javaPath;
    javaPath = path;
}

void javaVm::setStartupCache(char* directory) {
    delete[] startupCacheDir;
    startupCacheDir = directory;
    useStartupCache = 1;
}

void javaVm::setUnpackedCopies(char* root, char* appDirectory) {
    delete[] unpackedRoot;
    delete[] unpackedAppDirectory;
    unpackedRoot = root;
    unpackedAppDirectory = appDirectory;
}

void javaVm::setMainClass(char* name) {
    delete[] mainClass;
    for (char* c = name; *c != 0; c++) {
        if (*c == '.') {
            *c = '/';
        }
    }
    mainClass = name;
}

static void removeFirst(stringArray& list, const char* entry) {
    int found = list.find(entry, getFileStrCmp());
    if (found >= 0) {
        list.remove(found);
    }
}

static bool contains(const stringArray& list, const char* entry) {
    return list.find(entry, getFileStrCmp()) >= 0;
}

void javaVm::addPath(char* entry) {
    ownedString owned(entry);
    if (!contains(bootPath, entry) && !contains(skipPath, entry)) {
        classPath.append(owned.release());
    }
}

void javaVm::addBootPath(char* entry) {
    ownedString owned(entry);
    removeFirst(classPath, entry);
    if (!contains(skipPath, entry)) {
        bootPath.append(owned.release());
    }
}

void javaVm::addSkipPath(char* entry) {
    ownedString owned(entry);
    removeFirst(classPath, entry);
    removeFirst(bootPath, entry);
    skipPath.append(owned.release());
}

void javaVm::addVmOption(char* option) {
    vmOptions.append(option);
}

void javaVm::addParam(char* param) {
    params.append(param);
}

void javaVm::addFirstParam(char* param) {
    params.insert(firstParams, param);
    firstParams++;
}

stringArray* javaVm::getParams() const {
    stringArray* copy = new stringArray();
    for (int i = 0; i < params.size(); i++) {
        copy->append(createStringCopy(params[i]));
    }
    return copy;
}

void javaVm::clearParams() {
    while (params.size() > 0) {
        params.remove(0);
    }
    firstParams = 0;
}

int javaVm::shouldRestart() const {
    return exitCode == restartCode && exitCode != 0 ? 1 : 0;
}

void javaVm::migrateDashJ() {
    int i = 0;
    while (i < params.size()) {
        const char* param = params[i];
        if (strncmp(param, "-J-", 3) == 0) {
            addVmOption(createStringCopy(param + 2));
            params.remove(i);
            if (i < firstParams) {
                firstParams--;
            }
        } else {
            i++;
        }
    }
}

void javaVm::addTempFile(const char* path) {
    tempFiles.append(createStringCopy(path));
}

void javaVm::setCrashDirectory(char* directory) {
    delete[] crashDirectory;
    crashDirectory = directory;
}
