// appendUnicode and the environment dump. The input's NUL-separated pieces
// become the whole process environment; "exportenv" writes the dump, which
// must hold one line per entry that getenv finds, escaped so that decoding
// it gives the name and value back, and nothing but printable ASCII.

#include "config/configFile.h"
#include "fuzzSupport.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

extern char** environ;

static int hexValue(char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The inverse of appendUnicode; aborts on anything it could not have written.
static std::string decode(const std::string& escaped) {
    std::string text;
    for (size_t i = 0; i < escaped.size(); i++) {
        unsigned char c = escaped[i];
        expect(c >= 0x20 && c <= 0x7F, "escaped text is printable ASCII");
        if (c != '\\') {
            text += (char)c;
        } else if (escaped.compare(i, 2, "\\\\") == 0) {
            text += '\\';
            i++;
        } else {
            expect(escaped.compare(i, 4, "\\u00") == 0 && i + 6 <= escaped.size(), "escape");
            int high = hexValue(escaped[i + 4]);
            int low = hexValue(escaped[i + 5]);
            expect(high >= 0 && low >= 0, "lowercase hexadecimal digits");
            int byte = high * 16 + low;
            expect(byte < 0x20 || byte > 0x7F, "only control and high bytes are escaped");
            text += (char)byte;
            i += 5;
        }
    }
    return text;
}

static void checkAppendUnicode(const std::string& text) {
    stringBuffer buffer;
    buffer.append("prefix");
    buffer.appendUnicode(text.c_str());
    char* escaped = buffer.createString();
    expect(strncmp(escaped, "prefix", 6) == 0, "earlier content kept");
    expect(decode(escaped + 6) == text.substr(0, text.find('\0')), "escaping round trip");
    delete[] escaped;
}

static std::string readDump(const fuzzVm& vm) {
    static const char option[] = "-Dlarkwin.exportenv=";
    const char* path = nullptr;
    for (int i = 0; i < vm.vmOptions.size(); i++) {
        if (strncmp(vm.vmOptions[i], option, strlen(option)) == 0) {
            path = vm.vmOptions[i] + strlen(option);
        }
    }
    expect(path != nullptr, "the dump's option");
    expect(access(path, F_OK) == 0, "the dump exists");
    return readFile(path);
}

static void checkDump(const std::string& dump, char** entries) {
    size_t begin = 0;
    for (char** entry = entries; *entry != nullptr; entry++) {
        std::string name(*entry, strcspn(*entry, "="));
        const char* value = getenv(name.c_str());
        if (value == nullptr) {
            continue;
        }
        size_t end = dump.find('\n', begin);
        expect(end != std::string::npos, "a line per variable");
        std::string line = dump.substr(begin, end - begin);
        size_t equals = line.find('=');
        expect(equals != std::string::npos, "name=value");
        expect(decode(line.substr(0, equals)) == name, "the name");
        expect(decode(line.substr(equals + 1)) == value, "the value");
        begin = end + 1;
    }
    expect(begin == dump.size(), "nothing after the last line");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input((const char*)data, size);
    checkAppendUnicode(input);
    std::vector<std::string> pieces;
    for (size_t begin = 0; begin <= input.size();) {
        size_t end = input.find('\0', begin);
        end = end == std::string::npos ? input.size() : end;
        pieces.push_back(input.substr(begin, end - begin));
        begin = end + 1;
    }
    std::vector<char*> entries;
    for (std::string& piece : pieces) {
        entries.push_back(&piece[0]);
    }
    entries.push_back(nullptr);
    char** saved = environ;
    environ = entries.data();
    {
        fuzzVm vm;
        char text[] = "exportenv\n";
        std::string name = scratchPath("app");
        configFile reader(createStringCopy(name.c_str()), &vm, createStringCopy(text));
        std::string failure = thrownMessage([&] { reader.parse(); });
        environ = saved;
        expect(failure.empty(), "the dump is written");
        environ = entries.data();
        checkDump(readDump(vm), entries.data());
        environ = saved;
    }
    forgetTempFiles();
    return 0;
}
