#ifndef LARKWIN_PACK_PACKAGE_PACKAGETRAINING_H
#define LARKWIN_PACK_PACKAGE_PACKAGETRAINING_H

struct packageRequest;

// --train with --deb or --rpm: the package's image is trained in the
// staging tree, and its archive must still map once the package is
// installed elsewhere. Only runtimes whose archives take the class path
// relative to the image allow that; with any other runtime this throws why,
// before anything is made.
void checkPackageTraining(const packageRequest& request);

// Trains the image under root/opt/NAME with the request's training
// arguments. First every file there gets a modification time no later than
// epochSeconds, in whole seconds: dpkg-deb clamps file times to
// SOURCE_DATE_EPOCH and keeps no fractions, and the JVM maps an archive
// only while the class path's files keep the times they had.
void trainPackageImage(const packageRequest& request, const char* root, long epochSeconds);

// Makes the image's shipped archives mode 0444 again, as the start-up cache
// made them, after the staging tree's modes were normalized.
void sealShippedArchives(const packageRequest& request, const char* root);

#endif
