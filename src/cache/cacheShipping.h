#ifndef LARKWIN_CACHE_CACHESHIPPING_H
#define LARKWIN_CACHE_CACHESHIPPING_H

#include "util/owned.h"

class javaVm;

// The app image side of one start (see shippedArchive.h): the image that
// the launcher and its runtime belong to, the archive of it that this start
// maps, and, for a training run, where the image keeps its archives.
class cacheShipping {
  public:
    cacheShipping() {}
    cacheShipping(const cacheShipping&) = delete;
    cacheShipping& operator=(const cacheShipping&) = delete;

    // Looks for the image whose runtime lies in runtimeHome; 1 when the
    // launcher belongs to one. A one file's "image" is the folder of its
    // copies, whose archives lie in its data's copy (vm.unpackedRoot).
    int findImage(const javaVm& vm, const char* runtimeHome);
    // The image's directory, once found, below which the key counts paths
    // relative to it; null when there is none.
    const char* getImageRoot() const { return imageRoot.get(); }
    // Where the image keeps its archives, once found.
    const char* getShippedDirectory() const { return shippedDirectory.get(); }
    // Makes "IMAGE/lib/startupcache" when it is missing, where a training
    // run puts the image's archive: null, or why it cannot be made (owned
    // by the caller).
    char* createTrainingRefusal();
    // That directory, once made.
    const char* getDirectory() const { return directory.get(); }
    // Whether the start maps the image's archive at shippedPath, with the
    // user's record of it at seenPath; under +DEBUG, why not. Takes both.
    int choose(char* shippedPath, char* seenPath);
    // The image's archive chosen.
    const char* getArchive() const { return archive.get(); }
    // After a JVM that mapped it crashed during its start-up: this user no
    // longer maps it until it changes.
    void refuse();

  private:
    ownedString imageRoot;
    ownedString shippedDirectory;
    ownedString directory;
    ownedString archive;
    ownedString seenPath;
};

#endif
