#include "pack/image/appContent.h"
#include "pack/options/packOptions.h"
#include "util/strings.h"

// --app-content needs a directory to copy into; the menu-entry options
// must agree with each other (a package is already required for them).
char* packOptions::createContentMisuseError() const {
    if (menuEntry && noMenuEntry) {
        return createStringCopy("give --menu-entry or --no-menu-entry, not both");
    }
    if (noMenuEntry && terminal) {
        return createStringCopy("--terminal says how the menu entry runs; leave out "
                                "--no-menu-entry");
    }
    if (noMenuEntry && (fileTypes.size() > 0 || urlSchemes.size() > 0)) {
        return createStringCopy("--no-menu-entry leaves nothing to open the --file-type or "
                                "--url-scheme with");
    }
    if (appContents.size() > 0 && appImage == nullptr && !packages() && !oneFile()) {
        return createStringCopy("--app-content needs --app-image, --deb or --rpm: a bundle is "
                                "one file, with no folder to hold it");
    }
    for (int i = 0; i < appContents.size(); i++) {
        appContent content;
        std::string error = parseAppContent(appContents[i], &content);
        if (!error.empty()) {
            return createStringCopy(error.c_str());
        }
    }
    return nullptr;
}
