#include "pack/zip/packageSections.h"

#include "pack/base/ownedText.h"
#include "pack/zip/jarManifest.h"
#include "util/owned.h"

#include <cstring>
#include <strings.h>
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

static bool isPackageAttribute(const std::string& name) {
    for (const char* known : packageAttributes) {
        if (strcasecmp(known, name.c_str()) == 0) {
            return true;
        }
    }
    return false;
}

// A manifest's sections, each its attributes (names and values, continuation
// lines joined) in order; the main section first.
typedef std::vector<std::pair<std::string, std::string>> manifestSection;

static std::vector<manifestSection> readSections(const char* text, long length) {
    std::vector<manifestSection> sections(1);
    std::vector<std::string> lines;
    std::string line;
    for (long i = 0; i <= length; i++) {
        char c = i < length ? text[i] : '\n';
        if (c != '\r' && c != '\n') {
            line += c;
            continue;
        }
        if (c == '\r' && i + 1 < length && text[i + 1] == '\n') {
            i++;
        }
        if (!line.empty() && line[0] == ' ' && !lines.empty()) {
            lines.back() += line.substr(1);
        } else {
            lines.push_back(line);
        }
        line.clear();
    }
    for (const std::string& each : lines) {
        size_t colon = each.find(": ");
        if (each.empty()) {
            if (!sections.back().empty()) {
                sections.emplace_back();
            }
        } else if (colon != std::string::npos) {
            sections.back().emplace_back(each.substr(0, colon), each.substr(colon + 2));
        }
    }
    return sections;
}

static std::vector<manifestSection> readManifestSections(const zipArchive& archive) {
    long length = 0;
    int entry = -1;
    ownedString manifest(createManifestText(archive, &length, &entry));
    return manifest != nullptr ? readSections(manifest.get(), length)
                               : std::vector<manifestSection>(1);
}

// The package attributes of a package in a jar: those of the main section,
// overridden by those of the section named after the package.
static manifestSection packageAttributesOf(const std::vector<manifestSection>& sections,
                                           const std::string& package) {
    std::map<std::string, std::string> values;
    for (const manifestSection& section : sections) {
        bool main = &section == &sections[0];
        bool named = !section.empty() && strcasecmp(section[0].first.c_str(), "Name") == 0 &&
                     section[0].second == package;
        for (const auto& attribute : section) {
            if ((main || named) && isPackageAttribute(attribute.first)) {
                values[attribute.first] = attribute.second;
            }
        }
    }
    manifestSection ordered;
    for (const char* name : packageAttributes) {
        auto found = values.find(name);
        if (found != values.end()) {
            ordered.emplace_back(found->first, found->second);
        }
    }
    return ordered;
}

// Whether the kept manifest's own section of the package names the attribute.
static bool keptSectionNames(const std::vector<manifestSection>& kept, const std::string& package,
                             const std::string& attribute) {
    for (size_t i = 1; i < kept.size(); i++) {
        if (kept[i].empty() || strcasecmp(kept[i][0].first.c_str(), "Name") != 0 ||
            kept[i][0].second != package) {
            continue;
        }
        for (const auto& each : kept[i]) {
            if (strcasecmp(each.first.c_str(), attribute.c_str()) == 0) {
                return true;
            }
        }
    }
    return false;
}

std::string createPackageSections(zipArchive** archives,
                                  const std::map<std::string, int>& packages) {
    std::map<int, std::vector<manifestSection>> sectionsOf;
    std::vector<manifestSection> kept = readManifestSections(*archives[0]);
    std::string sections;
    for (const auto& package : packages) {
        auto found = sectionsOf.find(package.second);
        if (found == sectionsOf.end()) {
            found =
                sectionsOf.emplace(package.second, readManifestSections(*archives[package.second]))
                    .first;
        }
        // The first jar's manifest is kept with its sections: a section of
        // the same name adds only what the kept one lacks, since a name twice
        // in one section is a fault that java warns of at every start.
        std::string lines;
        for (const auto& attribute : packageAttributesOf(found->second, package.first)) {
            if (!keptSectionNames(kept, package.first, attribute.first)) {
                appendLine(lines, attribute.first + ": " + attribute.second);
            }
        }
        if (!lines.empty()) {
            appendLine(sections, "Name: " + package.first);
            sections += lines + "\r\n";
        }
    }
    return sections;
}

char* createWithoutPackageAttributes(const char* manifest, long* length) {
    if (manifest == nullptr) {
        return nullptr;
    }
    ownedString text(createOwnedCopy(manifest, (size_t)*length));
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
