#include "pack/package/packageIcons.h"

#include "pack/base/reasonedFiles.h"
#include "pack/image/directoryTree.h"
#include "pack/package/stagingFiles.h"
#include "pack/tools/toolProcess.h"
#include "unix/exePath.h"
#include "unix/files.h"
#include "util/owned.h"
#include "util/stringArray.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cstdio>
#include <cstring>

static const int iconSizes[] = {16, 24, 32, 48, 64, 128, 256};
static const int iconSizeCount = sizeof iconSizes / sizeof iconSizes[0];
// Bigger icons than this are no icons.
static const long longestIcon = 64L * 1024 * 1024;

int getSquarePngSize(const unsigned char* bytes, long length) {
    static const unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (length < 24 || memcmp(bytes, signature, sizeof signature) != 0 ||
        memcmp(bytes + 12, "IHDR", 4) != 0) {
        return 0;
    }
    unsigned long width = 0;
    unsigned long height = 0;
    for (int i = 0; i < 4; i++) {
        width = width << 8 | bytes[16 + i];
        height = height << 8 | bytes[20 + i];
    }
    return width == height && width <= 65535 ? (int)width : 0;
}

char* createBase64(const unsigned char* bytes, long length) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    stringBuffer text;
    for (long i = 0; i < length; i += 3) {
        unsigned long group = (unsigned long)bytes[i] << 16;
        group |= i + 1 < length ? (unsigned long)bytes[i + 1] << 8 : 0;
        group |= i + 2 < length ? bytes[i + 2] : 0;
        text.append(digits[group >> 18 & 63]);
        text.append(digits[group >> 12 & 63]);
        text.append(i + 1 < length ? digits[group >> 6 & 63] : '=');
        text.append(i + 2 < length ? digits[group & 63] : '=');
    }
    return text.createString();
}

static int endsWith(const char* text, const char* ending) {
    size_t length = strlen(text);
    size_t endingLength = strlen(ending);
    return length >= endingLength && strcmp(text + length - endingLength, ending) == 0;
}

// An SVG that shows the PNG at its size, for rsvg-convert to scale.
static char* createPngWrapper(const char* icon, const char* work, int* size) {
    ownedString bytes(packCreateWholeFileContent(const_cast<char*>(icon), (size_t)longestIcon));
    long length = bytes != nullptr ? packGetFileSize(const_cast<char*>(icon)) : 0;
    *size = bytes != nullptr ? getSquarePngSize((const unsigned char*)bytes.get(), length) : 0;
    if (*size == 0) {
        throw createMessage("the icon '%s' is not a square PNG", icon);
    }
    ownedString base64(createBase64((const unsigned char*)bytes.get(), length));
    char number[16];
    snprintf(number, sizeof number, "%d", *size);
    stringBuffer svg;
    const char* parts[] = {"<svg xmlns=\"http://www.w3.org/2000/svg\" "
                           "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"",
                           number,
                           "\" height=\"",
                           number,
                           "\"><image width=\"",
                           number,
                           "\" height=\"",
                           number,
                           "\" xlink:href=\"data:image/png;base64,",
                           base64.get(),
                           "\"/></svg>\n"};
    for (const char* part : parts) {
        svg.append(part);
    }
    ownedString text(svg.createString());
    ownedString wrapper(joinPath(work, "icon.svg"));
    writeTextFile(wrapper.get(), text.get(), 0644);
    return wrapper.release();
}

static void renderIcon(const char* converter, const char* svg, int size, const char* output) {
    char number[16];
    snprintf(number, sizeof number, "%d", size);
    char* arguments[] = {const_cast<char*>(converter),
                         const_cast<char*>("-w"),
                         number,
                         const_cast<char*>("-h"),
                         number,
                         const_cast<char*>("-o"),
                         const_cast<char*>(output),
                         const_cast<char*>(svg),
                         nullptr};
    stringBuffer printed;
    runToolOrFail(arguments, &printed);
}

// hicolor/SIZE/apps/NAME.EXTENSION under root, its directory made.
static char* createThemePath(const char* root, const char* size, const char* name,
                             const char* extension, stringArray& installed) {
    stringBuffer relative;
    const char* parts[] = {"/usr/share/icons/hicolor/", size, "/apps/", name, extension};
    for (const char* part : parts) {
        relative.append(part);
    }
    ownedString inPackage(relative.createString());
    ownedString path(createString(root, inPackage.get()));
    installed.append(inPackage.release());
    ownedString directory(createParentPath(path.get()));
    packMakeDirectories(directory.get());
    return path.release();
}

void installIcons(const char* icon, const char* name, const char* root, const char* work,
                  stringArray& installed) {
    ownedString converter(createExePath(const_cast<char*>("rsvg-convert")));
    if (converter == nullptr) {
        throw createStringCopy("making the icons needs rsvg-convert (Debian's librsvg2-bin)");
    }
    int largest = 1 << 30;
    ownedString svg;
    if (endsWith(icon, ".svg")) {
        svg.reset(createThemePath(root, "scalable", name, ".svg", installed));
        copyTree(icon, svg.get());
    } else {
        svg.reset(createPngWrapper(icon, work, &largest));
    }
    for (int i = 0; i < iconSizeCount && iconSizes[i] <= largest; i++) {
        char size[32];
        snprintf(size, sizeof size, "%dx%d", iconSizes[i], iconSizes[i]);
        ownedString output(createThemePath(root, size, name, ".png", installed));
        renderIcon(converter.get(), svg.get(), iconSizes[i], output.get());
    }
    if (installed.size() == 0) {
        throw createMessage("the icon '%s' is smaller than 16 by 16 pixels", icon);
    }
}
