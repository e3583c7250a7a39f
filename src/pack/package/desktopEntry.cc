#include "pack/package/desktopEntry.h"

#include "pack/package/packageFields.h"
#include "util/owned.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cctype>

char* createWindowClass(const char* mainClass) {
    char* windowClass = createStringCopy(mainClass);
    for (char* c = windowClass; *c != 0; c++) {
        if (*c == '.' || *c == '/') {
            *c = '-';
        }
    }
    return windowClass;
}

// A string value as a desktop entry writes it: its backslashes doubled. A
// control character (a line break would start another key) is refused.
static void appendKey(stringBuffer& text, const char* key, const char* value) {
    if (value == nullptr) {
        return;
    }
    for (const unsigned char* c = (const unsigned char*)value; *c != 0; c++) {
        if (*c < 0x20 || *c == 0x7F) {
            throw createMessage("the menu entry's %s would hold a control character, which a "
                                "desktop entry cannot hold",
                                key);
        }
    }
    text.append(key);
    text.append('=');
    for (const char* c = value; *c != 0; c++) {
        if (*c == '\\') {
            text.append('\\');
        }
        text.append(*c);
    }
    text.append('\n');
}

char* createDesktopEntryText(const desktopEntry& entry) {
    stringBuffer text;
    text.append("[Desktop Entry]\nType=Application\n");
    appendKey(text, "Name", entry.name);
    appendKey(text, "Comment", entry.comment);
    appendKey(text, "Exec", entry.exec);
    appendKey(text, "Icon", entry.icon);
    text.append(entry.terminal ? "Terminal=true\n" : "Terminal=false\n");
    appendKey(text, "Categories", entry.categories);
    appendKey(text, "StartupWMClass", entry.windowClass);
    if (entry.mimeTypes != nullptr && entry.mimeTypes[0] != 0) {
        appendKey(text, "MimeType", entry.mimeTypes);
    }
    if (entry.noDisplay) {
        text.append("NoDisplay=true\n");
    }
    return text.createString();
}

char* createMimeTypeList(const std::vector<std::string>& fileTypes,
                         const std::vector<std::string>& urlSchemes) {
    stringBuffer list;
    for (const std::string& text : fileTypes) {
        fileType type;
        ownedString(parseFileType(text.c_str(), &type));
        list.append(type.mimeType);
        list.append(';');
    }
    for (const std::string& scheme : urlSchemes) {
        list.append("x-scheme-handler/");
        for (char c : scheme) {
            list.append((char)tolower((unsigned char)c));
        }
        list.append(';');
    }
    return list.createString();
}

static void appendEscaped(stringBuffer& xml, const char* text) {
    for (const char* c = text; *c != 0; c++) {
        switch (*c) {
        case '&':
            xml.append("&amp;");
            break;
        case '<':
            xml.append("&lt;");
            break;
        case '>':
            xml.append("&gt;");
            break;
        case '"':
            xml.append("&quot;");
            break;
        default:
            xml.append(*c);
        }
    }
}

char* createMimeInfo(const std::vector<std::string>& fileTypes) {
    stringBuffer xml;
    xml.append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n");
    for (const std::string& text : fileTypes) {
        fileType type;
        ownedString(parseFileType(text.c_str(), &type));
        xml.append("  <mime-type type=\"");
        appendEscaped(xml, type.mimeType);
        xml.append("\">\n    <comment>");
        appendEscaped(xml, type.description);
        xml.append("</comment>\n    <glob pattern=\"*.");
        appendEscaped(xml, type.extension);
        xml.append("\"/>\n  </mime-type>\n");
    }
    xml.append("</mime-info>\n");
    return xml.createString();
}
