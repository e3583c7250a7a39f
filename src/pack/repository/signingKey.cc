#include "pack/repository/signingKey.h"

#include "pack/repository/repositoryFiles.h"
#include "pack/zip/buildTime.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <vector>

// gpg's messages, which --logger-fd 1 sends to standard output, on one line.
static std::string oneLine(const std::string& printed) {
    std::string line;
    std::istringstream lines(printed);
    for (std::string part; std::getline(lines, part);) {
        if (!part.empty()) {
            line += (line.empty() ? "" : "; ") + part;
        }
    }
    return line.empty() ? "gpg failed and said nothing" : line;
}

// The "--with-colons" field (from 0) of a line, or empty.
static std::string colonField(const std::string& line, int index) {
    size_t start = 0;
    for (int i = 0; i < index && start != std::string::npos; i++) {
        start = line.find(':', start);
        start = start == std::string::npos ? start : start + 1;
    }
    if (start == std::string::npos) {
        return "";
    }
    size_t end = line.find(':', start);
    return line.substr(start, end == std::string::npos ? end : end - start);
}

// The fingerprints of the secret keys that a "--with-colons" listing shows;
// the first one's expiry (0: never) in expiry.
static std::vector<std::string> listedFingerprints(const std::string& listing, long& expiry) {
    std::vector<std::string> found;
    std::istringstream lines(listing);
    bool afterKey = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.compare(0, 4, "sec:") == 0) {
            afterKey = true;
            if (found.empty()) {
                expiry = atol(colonField(line, 6).c_str());
            }
        } else if (afterKey && line.compare(0, 4, "fpr:") == 0) {
            size_t end = line.find(':', 12);
            found.push_back(line.substr(12, end == std::string::npos ? end : end - 12));
            afterKey = false;
        }
    }
    return found;
}

// The creation time of the newest key or subkey that a "--with-colons"
// listing shows (its sixth field), or 0.
static long newestKeyTime(const std::string& listing) {
    long newest = 0;
    std::istringstream lines(listing);
    for (std::string line; std::getline(lines, line);) {
        if (line.compare(0, 4, "sec:") == 0 || line.compare(0, 4, "ssb:") == 0) {
            std::istringstream fields(line);
            std::string field;
            for (int i = 0; i < 6 && std::getline(fields, field, ':'); i++) {
            }
            newest = std::max(newest, std::atol(field.c_str()));
        }
    }
    return newest;
}

// The date a signature carries: the build's, yet never before the key was
// made, which would leave the key unusable then. Nothing without
// SOURCE_DATE_EPOCH: gpg takes the clock.
static std::optional<long> signatureTime(const std::string& gpg, const std::string& key) {
    std::optional<long> epoch = getSourceDateEpoch();
    if (!epoch) {
        return std::nullopt;
    }
    std::string listing =
        runProgram({gpg, "--batch", "--with-colons", "--list-secret-keys", "--", key});
    return std::max(*epoch, newestKeyTime(listing));
}

signingKey::signingKey(const std::string& keyId) : id(keyId), gpgPath(findProgram("gpg", "gpg")) {
    std::string printed;
    int status = runProgramStatus(
        {gpgPath, "--batch", "--logger-fd", "1", "--with-colons", "--list-secret-keys", "--", id},
        printed);
    std::vector<std::string> keys = listedFingerprints(printed, expiry);
    if (status != 0 || keys.empty()) {
        fail("GnuPG cannot sign with '" + id + "': " + oneLine(printed));
    }
    if (keys.size() > 1) {
        fail("GnuPG cannot sign with '" + id + "': it names " + std::to_string(keys.size()) +
             " secret keys; give one key's fingerprint");
    }
    fingerprintText = keys[0];
    sign("--detach-sign", "/dev/null", "/dev/null");
}

void signingKey::alsoSignWith(const std::string& otherId) {
    signingKey other(otherId);
    if (other.fingerprint() != fingerprintText) {
        others.push_back(other.fingerprint());
    }
}

std::vector<std::string> signingKey::fingerprints() const {
    std::vector<std::string> all = {fingerprintText};
    all.insert(all.end(), others.begin(), others.end());
    return all;
}

std::string signingKey::exportPublic() const {
    std::vector<std::string> command = {gpgPath,          "--batch", "--export", "--export-options",
                                        "export-minimal", "--"};
    for (const std::string& fingerprint : fingerprints()) {
        command.push_back(fingerprint);
    }
    std::string key = runProgram(command);
    if (key.empty()) {
        fail("GnuPG exported no public key for '" + id + "'");
    }
    return key;
}

void signingKey::clearSign(const std::string& input, const std::string& output) const {
    sign("--clearsign", input, output);
}

void signingKey::detachSign(const std::string& input, const std::string& output) const {
    sign("--detach-sign", input, output);
}

void signingKey::sign(const char* how, const std::string& input, const std::string& output) const {
    std::vector<std::string> command = {gpgPath, "--batch", "--yes",         "--logger-fd",
                                        "1",     "--armor", "--digest-algo", "SHA512"};
    for (const std::string& fingerprint : fingerprints()) {
        command.push_back("--local-user");
        command.push_back(fingerprint);
    }
    for (const std::string& word :
         {std::string(how), std::string("--output"), output, std::string("--"), input}) {
        command.push_back(word);
    }
    std::string printed;
    // "!": the faked time stands still while gpg runs; no key signs before
    // it was made.
    std::optional<long> epoch;
    for (const std::string& fingerprint : fingerprints()) {
        std::optional<long> time = signatureTime(gpgPath, fingerprint);
        if (time && (!epoch || *time > *epoch)) {
            epoch = time;
        }
    }
    if (epoch) {
        command.insert(command.begin() + 1, {"--faked-system-time", std::to_string(*epoch) + "!"});
    }
    int status = runProgramStatus(command, printed);
    if (status != 0) {
        fail("GnuPG cannot sign with '" + id + "': " + oneLine(printed));
    }
}

std::string createSignatureTimeOptions(const signingKey& key) {
    std::optional<long> time = signatureTime(key.gpg(), key.fingerprint());
    return time ? " --faked-system-time " + std::to_string(*time) + "!" : "";
}
