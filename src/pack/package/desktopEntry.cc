#include "pack/package/desktopEntry.h"

#include "pack/base/failure.h"
#include "pack/base/ownedText.h"
#include "pack/package/packageFields.h"

#include <cctype>

char* createWindowClass(const char* mainClass) {
    std::string windowClass = mainClass;
    for (char& c : windowClass) {
        if (c == '.' || c == '/') {
            c = '-';
        }
    }
    return createOwnedCopy(windowClass);
}

// A string value as a desktop entry writes it: its backslashes doubled. A
// control character (a line break would start another key) is refused.
static void appendKey(std::string& text, const char* key, const char* value) {
    if (value == nullptr) {
        return;
    }
    for (const unsigned char* c = (const unsigned char*)value; *c != 0; c++) {
        if (*c < 0x20 || *c == 0x7F) {
            fail(std::string("the menu entry's ") + key +
                 " would hold a control character, which a desktop entry cannot hold");
        }
    }
    text += key;
    text += '=';
    for (const char* c = value; *c != 0; c++) {
        if (*c == '\\') {
            text += '\\';
        }
        text += *c;
    }
    text += '\n';
}

char* createDesktopEntryText(const desktopEntry& entry) {
    std::string text = "[Desktop Entry]\nType=Application\n";
    appendKey(text, "Name", entry.name);
    appendKey(text, "Comment", entry.comment);
    appendKey(text, "Exec", entry.exec);
    appendKey(text, "Icon", entry.icon);
    text += entry.terminal ? "Terminal=true\n" : "Terminal=false\n";
    appendKey(text, "Categories", entry.categories);
    appendKey(text, "StartupWMClass", entry.windowClass);
    if (entry.mimeTypes != nullptr && entry.mimeTypes[0] != 0) {
        appendKey(text, "MimeType", entry.mimeTypes);
    }
    if (entry.noDisplay) {
        text += "NoDisplay=true\n";
    }
    return createOwnedCopy(text);
}

char* createMimeTypeList(const std::vector<std::string>& fileTypes,
                         const std::vector<std::string>& urlSchemes) {
    std::string list;
    for (const std::string& text : fileTypes) {
        fileType type;
        takeString(parseFileType(text.c_str(), &type));
        list += type.mimeType;
        list += ';';
    }
    for (const std::string& scheme : urlSchemes) {
        list += "x-scheme-handler/";
        for (char c : scheme) {
            list += (char)tolower((unsigned char)c);
        }
        list += ';';
    }
    return createOwnedCopy(list);
}

static void appendEscaped(std::string& xml, const char* text) {
    for (const char* c = text; *c != 0; c++) {
        switch (*c) {
        case '&':
            xml += "&amp;";
            break;
        case '<':
            xml += "&lt;";
            break;
        case '>':
            xml += "&gt;";
            break;
        case '"':
            xml += "&quot;";
            break;
        default:
            xml += *c;
        }
    }
}

char* createMimeInfo(const std::vector<std::string>& fileTypes) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    for (const std::string& text : fileTypes) {
        fileType type;
        takeString(parseFileType(text.c_str(), &type));
        xml += "  <mime-type type=\"";
        appendEscaped(xml, type.mimeType);
        xml += "\">\n    <comment>";
        appendEscaped(xml, type.description);
        xml += "</comment>\n    <glob pattern=\"*.";
        appendEscaped(xml, type.extension);
        xml += "\"/>\n  </mime-type>\n";
    }
    xml += "</mime-info>\n";
    return createOwnedCopy(xml);
}
