#include "pack/zip/bundle.h"

#include "pack/base/reasonedFiles.h"
#include "pack/zip/zipArchive.h"
#include "pack/zip/zipFormat.h"
#include "pack/zip/zipMerge.h"
#include "unix/files.h"
#include "util/stringArray.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

static void writeSingle(char* launcher, const char* archivePath, const char* output,
                        const char* configuration, const zipLimits& limits) {
    zipArchive archive(archivePath, limits);
    long launcherSize = packGetFileSize(launcher);
    packOutputFile out(output);
    out.appendFileRange(launcher, 0, launcherSize);
    archive.writeShifted(out, launcherSize, configuration);
    out.commit(0755);
}

static void writeMerged(char* launcher, zipArchive** archives, int count, const char* output,
                        const char* configuration, int quiet, const zipLimits& limits) {
    stringArray dropped;
    stringArray notes;
    zipMerge merge(archives, count, &dropped, &notes, limits);
    long launcherSize = packGetFileSize(launcher);
    packOutputFile out(output);
    out.appendFileRange(launcher, 0, launcherSize);
    merge.write(out, launcherSize, configuration);
    out.commit(0755);
    // Only a bundle that was made has left anything out.
    for (int i = 0; i < dropped.size() && !quiet; i++) {
        fprintf(stderr, "larkwin-pack: %s\n", dropped[i]);
    }
    // What changes how the application runs is said even with --quiet.
    for (int i = 0; i < notes.size(); i++) {
        fprintf(stderr, "larkwin-pack: %s\n", notes[i]);
    }
}

void writeBundle(char* launcher, const stringArray& archives, const char* output,
                 const char* configuration, int quiet, const zipLimits& limits) {
    int count = archives.size();
    if (count == 1) {
        writeSingle(launcher, archives[0], output, configuration, limits);
        return;
    }
    // Every input is read and checked before the output is begun.
    std::vector<std::unique_ptr<zipArchive>> owners;
    std::vector<zipArchive*> opened;
    for (int i = 0; i < count; i++) {
        owners.emplace_back(new zipArchive(archives[i], limits));
        opened.push_back(owners.back().get());
    }
    writeMerged(launcher, opened.data(), count, output, configuration, quiet, limits);
}

void writeConfiguredLauncher(char* launcher, const char* output, const char* configuration) {
    long launcherSize = packGetFileSize(launcher);
    packOutputFile out(output);
    out.appendFileRange(launcher, 0, launcherSize);
    // An archive without entries: its central directory, empty, starts
    // where the launcher ends.
    unsigned char end[zipEndRecordSize];
    memset(end, 0, sizeof end);
    putZip4(end, 0, 0x06054B50);
    putZip4(end, 16, launcherSize);
    long commentLength = (long)strlen(configuration);
    putZip2(end, 20, commentLength);
    out.write(end, zipEndRecordSize);
    out.write(configuration, commentLength);
    out.commit(0755);
}
