#ifndef LARKWIN_PACK_IMAGE_APPLICATIONDIRECTORY_H
#define LARKWIN_PACK_IMAGE_APPLICATIONDIRECTORY_H

#include "pack/image/appContent.h"
#include "pack/service/serviceUnit.h"

#include <optional>
#include <string>
#include <vector>

class stringArray;

// The relative path by which an application directory's bundle names its
// runtime; the launcher resolves it against the directory of its executable.
extern const char* applicationDirectoryJavaPath;

// What an application directory is made of: the directory DIR, which must
// not exist; NAME, the bundle's name in DIR/bin (DIR's last part when not
// given); the launcher; the application's jars, its own first; where the
// runtime comes from: linked by jlink ("auto" or not given), with the extra
// modules, without the excluded ones and, with keepDebug, the JDK's debug data, or copied from a
// runtime's home; a systemd unit with service; a training run with these
// arguments with training; files and folders copied in, contents. quiet:
// nothing is printed.
struct imageRequest {
    std::string directory;
    std::optional<std::string> name;
    std::string launcher;
    std::vector<std::string> archives;
    std::optional<std::string> runtime;
    std::optional<std::string> addModules;
    std::optional<std::string> excludeModules;
    bool keepDebug = false;
    bool quiet = false;
    std::optional<serviceRequest> service;
    std::optional<std::vector<std::string>> training;
    std::vector<appContent> contents;
    // The image goes into a package, whose files every user reads.
    bool package = false;
    // Its configuration has a start-up cache, whose archive holds the
    // runtime's classes too (see leavesOutBaseArchive).
    bool startupCache = false;
};

// Whether a runtime that jlink links with the JDK in jdkHome is made without
// its base archive: for an image (not a package, which makes it when
// installed) that is to be the same from one build to the next
// (SOURCE_DATE_EPOCH) with a start-up cache and no training, on a JDK whose
// dump differs each time (before Java 25). Its first start runs without
// class-data sharing; the cache's archive serves every later one.
bool leavesOutBaseArchive(const imageRequest& request, const char* jdkHome);

// Makes the runtime folder (which must not exist) that the request asks
// for: linked by jlink from the modules the jars need (scratch is a folder
// for jlink's helper files) or copied from a runtime's home.
void writeImageRuntime(const imageRequest& request, const stringArray& jars,
                       const std::string& scratch, const std::string& runtime);

// Writes the application directory that the request asks for: DIR/bin/NAME,
// the bundle with the configuration, DIR/lib, the jars (without a Class-Path
// that would lead out: the configuration names every jar), and DIR/runtime, the
// runtime linked by the JDK's jlink or copied from a runtime's home. The
// directory is made in a temporary directory beside DIR and renamed to DIR
// when it is complete; a failure leaves nothing behind. Prints its size
// unless quiet.
void writeApplicationDirectory(const imageRequest& request, const char* configuration);

#endif
