#ifndef LARKWIN_RUNTIME_VERSIONREQUIREMENT_H
#define LARKWIN_RUNTIME_VERSIONREQUIREMENT_H

// The feature releases of Java an application runs on, as "javaversion"
// writes them: "17" (17 or later) or "11-17" (11 to 17, both included).
struct versionRequirement {
    // 0: nothing is required.
    int minimum = 0;
    // 0: no upper bound.
    int maximum = 0;
};

// Reads "MIN" or "MIN-MAX", each bound a feature release written as "17" or
// in the old form "1.8". 1 when the text is well formed (requirement then
// holds it), else 0 and requirement is untouched.
int parseVersionRequirement(const char* text, versionRequirement* requirement);
int isRequired(const versionRequirement& requirement);
// Whether a runtime of that feature release fits; an unknown version (0)
// never fits a requirement.
int meetsRequirement(const versionRequirement& requirement, int feature);
// "17 or later", "11 to 17", "17". Owned by the caller.
char* createRequirementText(const versionRequirement& requirement);

#endif
