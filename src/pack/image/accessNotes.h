#ifndef LARKWIN_PACK_IMAGE_ACCESSNOTES_H
#define LARKWIN_PACK_IMAGE_ACCESSNOTES_H

#include <string>

// Names on standard error each entry of the configuration's "addexports"
// and "addopens" lines that the runtime (a home) lacks, which the image's
// launcher will leave out at every start, as java -jar would.
void noteAbsentAccess(const char* configuration, const std::string& runtime);

#endif
