// A runtime's lib/modules, as the launcher reads it to judge a manifest's
// Add-Exports and Add-Opens entries: the input is written as the image of a
// scratch runtime home and asked for a few modules and packages. Whatever a
// runtime home holds, a question must neither read outside the file nor
// give an answer for an image it could not read.

#include "fuzzSupport.h"
#include "runtime/runtimeImage.h"

static void checkAnswer(const runtimeImage& image, const char* module, const char* package) {
    packageAnswer answer = image.findPackage(module, package);
    expect(answer == packageFound || answer == moduleMissing || answer == packageMissing ||
               answer == imageUnreadable,
           "an answer is one of the four");
    expect(image.isReadable() || answer == imageUnreadable, "an unread image answers nothing");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool made = false;
    if (!made) {
        makeScratchDir("home");
        makeScratchDir("home/lib");
        made = true;
    }
    writeScratch("home/lib/modules", std::string((const char*)data, size));
    runtimeImage image(scratchPath("home").c_str());
    // The seed's module and package, one it lacks, and a real runtime's.
    checkAnswer(image, "m", "p");
    checkAnswer(image, "m", "q");
    checkAnswer(image, "java.base", "java.lang");
    return 0;
}
