#include "runtime/versionRequirement.h"

#include "util/stringBuffer.h"

#include <cstdio>

// Feature releases have at most a few digits; longer runs are no version.
static const int longestNumber = 4;

// The decimal number at text, or null when there is none (or it is too long);
// otherwise the first byte after it.
static const char* readNumber(const char* text, int* number) {
    int length = 0;
    *number = 0;
    while (text[length] >= '0' && text[length] <= '9') {
        if (length == longestNumber) {
            return nullptr;
        }
        *number = *number * 10 + (text[length] - '0');
        length++;
    }
    return length > 0 ? text + length : nullptr;
}

// "17", or "1.8" for the releases numbered 1.x until Java 8.
static const char* readBound(const char* text, int* feature) {
    const char* end = readNumber(text, feature);
    if (end != nullptr && *feature == 1 && *end == '.') {
        end = readNumber(end + 1, feature);
    }
    return end != nullptr && *feature > 0 ? end : nullptr;
}

int parseVersionRequirement(const char* text, versionRequirement* requirement) {
    int minimum;
    int maximum = 0;
    const char* end = readBound(text, &minimum);
    if (end != nullptr && *end == '-') {
        end = readBound(end + 1, &maximum);
        if (end != nullptr && maximum < minimum) {
            return 0;
        }
    }
    if (end == nullptr || *end != 0) {
        return 0;
    }
    requirement->minimum = minimum;
    requirement->maximum = maximum;
    return 1;
}

int isRequired(const versionRequirement& requirement) {
    return requirement.minimum > 0;
}

int meetsRequirement(const versionRequirement& requirement, int feature) {
    if (!isRequired(requirement)) {
        return 1;
    }
    return feature >= requirement.minimum &&
           (requirement.maximum == 0 || feature <= requirement.maximum);
}

char* createRequirementText(const versionRequirement& requirement) {
    // Two numbers of at most four digits and the words between them.
    char text[32];
    if (requirement.maximum == 0) {
        snprintf(text, sizeof text, "%d or later", requirement.minimum);
    } else if (requirement.maximum == requirement.minimum) {
        snprintf(text, sizeof text, "%d", requirement.minimum);
    } else {
        snprintf(text, sizeof text, "%d to %d", requirement.minimum, requirement.maximum);
    }
    stringBuffer buffer;
    buffer.append(text);
    return buffer.createString();
}
