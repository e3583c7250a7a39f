#ifndef LARKWIN_PACK_IMAGE_APPIMAGE_H
#define LARKWIN_PACK_IMAGE_APPIMAGE_H

class packOptions;

// The relative path by which an app image's bundle names its runtime; the
// launcher resolves it against the directory of its executable.
extern const char* appImageJavaPath;

// Writes the app image that the options ask for: DIR/bin/NAME, the bundle
// with the configuration, and DIR/runtime, the runtime linked by the JDK's
// jlink or copied from a runtime's home. The image is made in a temporary
// directory beside DIR and renamed to DIR when it is complete; a failure
// leaves nothing behind. Prints the image's size unless quiet.
void writeAppImage(packOptions& options, const char* configuration);

#endif
