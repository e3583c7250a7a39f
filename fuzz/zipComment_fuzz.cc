// The zip comment scan over the bytes of a file. The first four input bytes
// may ask for filler before and after the rest, so that files larger than one
// scan window, and comments longer than a window holds, are reached with
// short inputs. The result is checked against a plain scan of the whole file.

#include "fuzzSupport.h"
#include "launcher/zipComment.h"

#include <cstring>

static const size_t recordSize = 22;

static const std::string signature("PK\x05\x06", 4);

// The comment of the record nearest the end, found by searching the whole
// file for the signature.
static bool findComment(const std::string& file, std::string& comment) {
    size_t position = file.size() - recordSize;
    while ((position = file.rfind(signature, position)) != std::string::npos) {
        size_t length = (unsigned char)file[position + 20] | (unsigned char)file[position + 21]
                                                                 << 8;
        if (position + recordSize + length == file.size()) {
            comment = file.substr(position + recordSize);
            return true;
        }
        if (position-- == 0) {
            break;
        }
    }
    return false;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) {
        return -1;
    }
    size_t lead = data[0] | data[1] << 8;
    size_t tail = data[2] | data[3] << 8;
    std::string file(lead % 4 == 0 ? lead * 2 : 0, 'P');
    file.append((const char*)data + 4, size - 4);
    file.append(tail % 4 == 0 ? tail : 0, 'c');
    std::string path = writeScratch("archive", file);
    char* comment = nullptr;
    std::string failure = thrownMessage([&] { comment = getZipComment(&path[0]); });
    if (file.size() < recordSize) {
        expect(failure == "Zip file size is unreasonably small", "small file is refused");
        return 0;
    }
    expect(failure.empty(), "no failure for a readable file");
    std::string expected;
    bool found = findComment(file, expected);
    expect(found == (comment != nullptr), "a comment exactly when a record qualifies");
    if (found) {
        expect(memcmp(comment, expected.data(), expected.size()) == 0, "the comment's bytes");
        expect(comment[expected.size()] == 0, "the comment is terminated");
    }
    delete[] comment;
    return 0;
}
