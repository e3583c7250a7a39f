#include "pack/zip/classPathStrip.h"

#include "pack/base/reasonedFiles.h"
#include "pack/zip/jarManifest.h"
#include "pack/zip/zipArchive.h"
#include "pack/zip/zipMerge.h"
#include "util/owned.h"
#include "util/stringArray.h"

int writeWithoutClassPath(const char* jar, const char* output, int mode, stringArray* notes) {
    zipArchive archive(jar);
    long length = 0;
    int entry = -1;
    ownedString manifest(createManifestText(archive, &length, &entry));
    ownedString classPath(
        manifest != nullptr ? createMainAttribute(manifest.get(), length, "Class-Path") : nullptr);
    if (classPath == nullptr) {
        return 0;
    }
    // A merge of the one jar removes its Class-Path and keeps all else.
    zipArchive* archives[] = {&archive};
    stringArray dropped;
    zipMerge merge(archives, 1, &dropped, notes);
    packOutputFile out(output);
    merge.write(out, 0, "");
    out.commit(mode);
    return 1;
}
