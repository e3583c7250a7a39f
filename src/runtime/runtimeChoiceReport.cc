#include "runtime/runtimeChoiceReport.h"

#include "util/owned.h"
#include "util/stringBuffer.h"

#include <cstdio>

static void appendNumber(stringBuffer& buffer, int number) {
    char digits[16];
    snprintf(digits, sizeof digits, "%d", number);
    buffer.append(digits);
}

static void appendVersion(stringBuffer& buffer, int version) {
    if (version > 0) {
        buffer.append("version ");
        appendNumber(buffer, version);
    } else {
        buffer.append("version unknown");
    }
}

static void appendRequirement(stringBuffer& buffer, const versionRequirement& requirement) {
    buffer.append(ownedString(createRequirementText(requirement)).get());
}

static void appendVerdict(stringBuffer& buffer, const runtimeCandidate& candidate) {
    if (candidate.verdict == verdictTaken) {
        buffer.append("taken");
        return;
    }
    // A configured javapath is never passed over for another runtime.
    buffer.append(candidate.origin == configuredRuntime ? "reported, " : "passed over, ");
    // The refusal names what other users may write to.
    buffer.append(candidate.verdict == verdictRefused ? candidate.refusal
                                                      : getVerdictText(candidate.verdict));
}

char* createChoiceTrace(const runtimeCandidates& candidates,
                        const versionRequirement& requirement) {
    stringBuffer trace;
    trace.append("Choosing a Java runtime");
    if (isRequired(requirement)) {
        trace.append(" of version ");
        appendRequirement(trace, requirement);
    }
    trace.append(":\n");
    for (int i = 0; i < candidates.size(); i++) {
        const runtimeCandidate& candidate = candidates[i];
        trace.append("  ");
        trace.append(getOriginText(candidate.origin));
        trace.append(" ");
        trace.append(candidate.javaPath);
        if (candidate.exists && candidate.refusal == nullptr) {
            trace.append(", ");
            appendVersion(trace, candidate.version);
        }
        trace.append(": ");
        appendVerdict(trace, candidate);
        trace.append("\n");
    }
    return trace.createString();
}

// One line for each runtime that exists, from the first-th on.
static void appendRuntimes(stringBuffer& buffer, const runtimeCandidates& candidates, int first) {
    for (int i = first; i < candidates.size(); i++) {
        const runtimeCandidate& candidate = candidates[i];
        if (candidate.exists) {
            buffer.append("\n  ");
            buffer.append(candidate.javaPath);
            buffer.append(": ");
            if (candidate.refusal != nullptr) {
                buffer.append("refused, ");
                buffer.append(candidate.refusal);
            } else {
                appendVersion(buffer, candidate.version);
            }
        }
    }
}

static void appendDownload(stringBuffer& buffer, const char* downloadPage) {
    buffer.append("download and install a Java Runtime from\n");
    buffer.append(downloadPage);
}

static int countExisting(const runtimeCandidates& candidates, int first) {
    int existing = 0;
    for (int i = first; i < candidates.size(); i++) {
        existing += candidates[i].exists ? 1 : 0;
    }
    return existing;
}

char* createNoRuntimeMessage(const runtimeCandidates& candidates,
                             const versionRequirement& requirement, const char* downloadPage) {
    stringBuffer message;
    message.append("Unable to find a Java Runtime");
    if (isRequired(requirement)) {
        message.append(" of version ");
        appendRequirement(message, requirement);
    }
    if (countExisting(candidates, 0) > 0) {
        message.append(". Runtimes seen:");
        appendRuntimes(message, candidates, 0);
    } else {
        message.append(". None was seen in JAVA_HOME, along PATH, in the javasearch "
                       "directories or in the usual install places.");
    }
    message.append("\nPlease ");
    appendDownload(message, downloadPage);
    return message.createString();
}

char* createJavaPathMessage(const runtimeCandidates& candidates,
                            const versionRequirement& requirement, const char* downloadPage) {
    const runtimeCandidate& configured = candidates[0];
    stringBuffer message;
    message.append("The configured javapath ");
    message.append(configured.javaPath);
    if (!configured.exists) {
        message.append(" does not exist.");
    } else {
        if (configured.version > 0) {
            message.append(" is version ");
            appendNumber(message, configured.version);
        } else {
            message.append(" is of unknown version (no readable release file)");
        }
        message.append(", which does not fit the required version ");
        appendRequirement(message, requirement);
        message.append(".");
    }
    if (countExisting(candidates, 1) > 0) {
        message.append(" Other runtimes seen:");
        appendRuntimes(message, candidates, 1);
    }
    message.append("\nChange javapath or javaversion, or ");
    appendDownload(message, downloadPage);
    return message.createString();
}
