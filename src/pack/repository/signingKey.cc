#include "pack/repository/signingKey.h"

#include "pack/repository/repositoryFiles.h"

#include <cstdlib>
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
    int status = runProgramStatus(command, printed);
    if (status != 0) {
        fail("GnuPG cannot sign with '" + id + "': " + oneLine(printed));
    }
}
