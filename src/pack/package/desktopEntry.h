#ifndef LARKWIN_PACK_PACKAGE_DESKTOPENTRY_H
#define LARKWIN_PACK_PACKAGE_DESKTOPENTRY_H

#include <string>
#include <vector>

// The window class that Java's X11 toolkit gives every window of an
// application: the name of the class whose main method started the thread
// that first used the toolkit (the main class, when the application opens
// its windows from main or the event thread), with "." turned into "-".
// mainClass may be written with "/" too. Owned.
char* createWindowClass(const char* mainClass);

// What a menu entry says. Optional fields are null.
struct desktopEntry {
    const char* name;
    const char* comment;
    // The command with its field code, such as "/usr/bin/app %F".
    const char* exec;
    const char* icon;
    const char* categories;
    const char* windowClass;
    // The media types it opens, each followed by ";".
    const char* mimeTypes;
    // Listed as a handler of its media types only, not in the menu.
    int noDisplay;
    // Runs in a terminal (a text application).
    int terminal;
};

// The text of a .desktop file. Owned.
char* createDesktopEntryText(const desktopEntry& entry);

// The media types of the file types (each "EXT,MIME,DESCRIPTION") and the
// URL schemes (as x-scheme-handler/SCHEME), each followed by ";". Owned;
// empty when there are none.
char* createMimeTypeList(const std::vector<std::string>& fileTypes,
                         const std::vector<std::string>& urlSchemes);

// The shared-mime-info package file that names the file types' media types
// and their extensions. Owned.
char* createMimeInfo(const std::vector<std::string>& fileTypes);

#endif
