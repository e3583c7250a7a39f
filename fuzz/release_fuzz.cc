// A runtime's release file and the version texts read from it: the input is
// written as the release file of a scratch runtime home, and its text is also
// taken whole as a version and as a "javaversion" argument. Whatever a home
// under /opt or a javasearch directory holds, reading it must neither fail
// nor give a version outside the range a feature release can have.

#include "fuzzSupport.h"
#include "runtime/runtimeRelease.h"
#include "runtime/versionRequirement.h"

#include <cstring>

static void checkValues(const runtimeRelease& release) {
    for (const char* key : {"JAVA_VERSION", "JAVA_RUNTIME_VERSION", "IMPLEMENTOR", ""}) {
        char* value = release.createValue(key);
        expect(value == nullptr || strchr(value, '\n') == nullptr, "a value ends at its line");
        delete[] value;
    }
    int feature = release.getFeatureVersion();
    expect(feature >= 0 && feature <= 9999, "a feature version has at most four digits");
}

static void checkText(const std::string& text) {
    int feature = parseFeatureVersion(text.c_str());
    expect(feature >= 0 && feature <= 9999, "a feature version has at most four digits");
    versionRequirement requirement;
    if (parseVersionRequirement(text.c_str(), &requirement)) {
        expect(requirement.maximum == 0 || requirement.minimum <= requirement.maximum,
               "a range runs upwards");
        char* shown = createRequirementText(requirement);
        expect(shown[0] != 0, "a requirement is shown");
        delete[] shown;
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes((const char*)data, size);
    static bool made = false;
    if (!made) {
        makeScratchDir("home");
        made = true;
    }
    writeScratch("home/release", bytes);
    checkValues(runtimeRelease(scratchPath("home").c_str()));
    checkText(bytes.substr(0, bytes.find('\0')));
    return 0;
}
