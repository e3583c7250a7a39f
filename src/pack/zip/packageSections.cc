#include "pack/zip/packageSections.h"

#include "pack/zip/jarManifest.h"
#include "util/owned.h"

#include <cstring>
#include <vector>

static const char* const packageAttributes[] = {"Specification-Title",
                                                "Specification-Version",
                                                "Specification-Vendor",
                                                "Implementation-Title",
                                                "Implementation-Version",
                                                "Implementation-Vendor",
                                                "Sealed"};

std::string getClassPackage(const char* name, int length) {
    std::string entry(name, length);
    const std::string versions = "META-INF/versions/";
    if (entry.compare(0, versions.size(), versions) == 0) {
        size_t slash = entry.find('/', versions.size());
        entry = slash == std::string::npos ? "" : entry.substr(slash + 1);
    }
    size_t last = entry.rfind('/');
    const std::string suffix = ".class";
    bool isClass = entry.size() > suffix.size() &&
                   entry.compare(entry.size() - suffix.size(), suffix.size(), suffix) == 0;
    if (!isClass || last == std::string::npos || entry.compare(0, 9, "META-INF/") == 0) {
        return "";
    }
    return entry.substr(0, last + 1);
}

// A manifest line: at most 72 bytes, then continuation lines of a space and
// at most 71 bytes.
static void appendLine(std::string& text, const std::string& line) {
    size_t at = 0;
    for (size_t width = 72; at < line.size(); width = 71) {
        text += (at == 0 ? "" : " ") + line.substr(at, width) + "\r\n";
        at += width;
    }
}

// The archive's attribute lines, or an empty string when it has none.
static std::string attributeLines(const zipArchive& archive) {
    long length = 0;
    int entry = -1;
    ownedString manifest(createManifestText(archive, &length, &entry));
    std::string lines;
    for (const char* name : packageAttributes) {
        ownedString value(manifest != nullptr ? createMainAttribute(manifest.get(), length, name)
                                              : nullptr);
        if (value != nullptr) {
            appendLine(lines, std::string(name) + ": " + value.get());
        }
    }
    return lines;
}

std::string createPackageSections(zipArchive** archives,
                                  const std::map<std::string, int>& packages) {
    std::map<int, std::string> linesOf;
    std::string sections;
    for (const auto& package : packages) {
        auto found = linesOf.find(package.second);
        if (found == linesOf.end()) {
            found =
                linesOf.emplace(package.second, attributeLines(*archives[package.second])).first;
        }
        if (!found->second.empty()) {
            appendLine(sections, "Name: " + package.first);
            sections += found->second + "\r\n";
        }
    }
    return sections;
}

char* createWithoutPackageAttributes(const char* manifest, long* length) {
    if (manifest == nullptr) {
        return nullptr;
    }
    ownedString text(new char[*length + 1]);
    memcpy(text.get(), manifest, *length);
    text[*length] = 0;
    for (const char* name : packageAttributes) {
        ownedString value(createMainAttribute(text.get(), *length, name));
        if (value != nullptr) {
            long edited = 0;
            text.reset(createEditedManifest(text.get(), *length, name, nullptr, &edited));
            *length = edited;
        }
    }
    return text.release();
}

static bool endsWithLineEnd(const std::string& text) {
    return !text.empty() && (text.back() == '\n' || text.back() == '\r');
}

std::string appendSections(const char* manifest, long length, const std::string& sections) {
    std::string text =
        manifest != nullptr ? std::string(manifest, length) : "Manifest-Version: 1.0\r\n\r\n";
    if (!endsWithLineEnd(text)) {
        text += "\r\n";
    }
    // A blank line ends the section before.
    std::string withoutLast = text.substr(
        0,
        text.size() - (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0 ? 2 : 1));
    if (!endsWithLineEnd(withoutLast)) {
        text += "\r\n";
    }
    return text + sections;
}
