#include "pack/onefile/oneFileParts.h"

#include "pack/base/failure.h"
#include "pack/base/reasonedFiles.h"
#include "pack/zip/zipArchive.h"
#include "pack/zip/zipMerge.h"
#include "util/stringArray.h"

#include <cstdio>
#include <memory>

namespace {

std::string unpackLine(const std::string& kind, const storedPart& part) {
    return "unpack " + kind + " " + part.digest + " " + std::to_string(part.offset) + " " +
           std::to_string(part.length) + "\n";
}

// The jars as a bundle holds them: one copied whole, several merged.
void appendJars(packOutputFile& out, long shift, const std::vector<std::string>& jars,
                const std::string& configuration, bool quiet) {
    std::vector<std::unique_ptr<zipArchive>> owners;
    std::vector<zipArchive*> opened;
    for (const std::string& jar : jars) {
        owners.emplace_back(new zipArchive(jar.c_str()));
        opened.push_back(owners.back().get());
    }
    if (opened.size() == 1) {
        opened[0]->writeShifted(out, shift, configuration.c_str());
        return;
    }
    stringArray dropped;
    stringArray notes;
    zipMerge merge(opened.data(), (int)opened.size(), &dropped, &notes, bundleLimits);
    merge.write(out, shift, configuration.c_str());
    for (int i = 0; i < dropped.size() && !quiet; i++) {
        fprintf(stderr, "larkwin-pack: %s\n", dropped[i]);
    }
    for (int i = 0; i < notes.size(); i++) {
        fprintf(stderr, "larkwin-pack: %s\n", notes[i]);
    }
}

std::string withLineEnd(const char* text) {
    std::string line = text;
    if (!line.empty() && line.back() != '\n') {
        line += '\n';
    }
    return line;
}

} // namespace

std::vector<storedPart> writeParts(const std::string& output, const std::string& launcher,
                                   const std::vector<partFolder>& parts,
                                   const std::vector<std::string>& jars, const char* configuration,
                                   bool quiet) {
    std::string launcherPath = launcher;
    long shift = packGetFileSize(&launcherPath[0]);
    packOutputFile out(output.c_str());
    out.appendFileRange(launcherPath.c_str(), 0, shift);
    std::vector<storedPart> stored;
    std::string before;
    std::string last;
    for (const partFolder& part : parts) {
        stored.push_back(appendStoredTree(out, shift, part.folder));
        shift = stored.back().offset + stored.back().length;
        (part.kind == "runtime" ? last : before) += unpackLine(part.kind, stored.back());
    }
    std::string text = before + withLineEnd(configuration) + last;
    if (text.size() > 65535) {
        fail("the configuration is longer than 65535 bytes");
    }
    appendJars(out, shift, jars, text, quiet);
    out.commit(0755);
    return stored;
}

void writeJoinedJars(const std::string& path, const std::vector<std::string>& jars, bool quiet) {
    packOutputFile out(path.c_str());
    appendJars(out, 0, jars, "", quiet);
    out.commit(0644);
}
