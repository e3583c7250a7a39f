#include "pack/package/packageTexts.h"

#include "config/configLines.h"
#include "pack/zip/buildTime.h"
#include "util/owned.h"
#include "util/stringBuffer.h"
#include "util/strings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

static void appendAll(stringBuffer& text, const char* const* parts) {
    for (int i = 0; parts[i] != nullptr; i++) {
        text.append(parts[i]);
    }
}

char* createSettingsLines(const char* name) {
    stringBuffer text;
    const char* parts[] = {"tryinclude /etc/",
                           name,
                           "/",
                           name,
                           ".config\nexpand\ntryinclude ${xdg.config.home}/",
                           name,
                           "/",
                           name,
                           ".config\n",
                           nullptr};
    appendAll(text, parts);
    return text.createString();
}

char* createSiteSettings(const char* name) {
    stringBuffer text;
    const char* parts[] = {"# Settings of ",
                           name,
                           " for every user of this machine: directives of\n"
                           "# larkwin(1), one per line, read at each start after the packaged\n"
                           "# configuration. For example:\n"
                           "#   vmparam -Xmx2g\n"
                           "#   addparam --verbose\n"
                           "# Each user's own settings, read after these, go in\n"
                           "# $XDG_CONFIG_HOME/",
                           name,
                           "/",
                           name,
                           ".config\n# (by default ~/.config/",
                           name,
                           "/",
                           name,
                           ".config).\n",
                           nullptr};
    appendAll(text, parts);
    return text.createString();
}

namespace {
// What the walk over the lines looks for, and the last argument found.
struct directiveSearch {
    const char* word;
    ownedString found;
};
} // namespace

static void keepIfWord(void* context, char* word, char* argument) {
    directiveSearch* search = static_cast<directiveSearch*>(context);
    if (strcmp(word, search->word) == 0) {
        search->found.reset(createStringCopy(argument));
    }
}

char* createDirectiveArgument(const char* configuration, const char* word) {
    // The lines are cut in place, so they are cut in a copy.
    ownedString text(createStringCopy(configuration));
    directiveSearch search{word, nullptr};
    forEachDirectiveLine(text.get(), keepIfWord, &search);
    return search.found.release();
}

// Text for roff: a backslash and a leading dot or quote would be read as
// requests or escapes.
static void appendRoff(stringBuffer& page, const char* text) {
    if (text[0] == '.' || text[0] == '\'') {
        page.append("\\&");
    }
    for (const char* c = text; *c != 0; c++) {
        if (*c == '-') {
            page.append("\\-");
        } else if (*c == '\\') {
            page.append("\\e");
        } else {
            page.append(*c);
        }
    }
}

char* createManualPage(const char* name, const char* version, const char* description) {
    stringBuffer page;
    page.append(".TH ");
    appendRoff(page, name);
    page.append(" 1 \"\" \"");
    appendRoff(page, version);
    page.append("\"\n.SH NAME\n");
    appendRoff(page, name);
    page.append(" \\- ");
    appendRoff(page, description);
    page.append("\n.SH SYNOPSIS\n.B ");
    appendRoff(page, name);
    page.append("\n[\\fIargument\\fR ...]\n.SH FILES\n.TP\n.BI /etc/");
    appendRoff(page, name);
    page.append("/");
    appendRoff(page, name);
    page.append(".config\nSettings for every user: VM options (\\fBvmparam\\fR) and parameters "
                "(\\fBaddparam\\fR), one directive of\n.BR larkwin (1)\nper line.\n.TP\n"
                ".BI $XDG_CONFIG_HOME/");
    appendRoff(page, name);
    page.append("/");
    appendRoff(page, name);
    page.append(".config\nThe same for one user (by default under \\fB~/.config\\fR); read "
                "after the file above.\n.SH SEE ALSO\n.BR larkwin (1)\n");
    return page.createString();
}

char* createChangelog(const char* name, const char* version, const char* maintainer,
                      long epochSeconds) {
    time_t when = (time_t)epochSeconds;
    struct tm utc;
    gmtime_r(&when, &utc);
    const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char date[64];
    snprintf(date, sizeof date, "%s, %02d %s %04d %02d:%02d:%02d +0000", days[utc.tm_wday],
             utc.tm_mday, months[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour, utc.tm_min,
             utc.tm_sec);
    stringBuffer text;
    const char* parts[] = {name,
                           " (",
                           version,
                           ") unstable; urgency=medium\n\n"
                           "  * Packaged by larkwin-pack.\n\n -- ",
                           maintainer,
                           "  ",
                           date,
                           "\n",
                           nullptr};
    appendAll(text, parts);
    return text.createString();
}

long getPackageTime() {
    return getBuildTime();
}

void appendWrapped(stringBuffer& text, const char* words, int width, const char* indent) {
    const char* word = words;
    int column = 0;
    while (*word != 0) {
        while (*word == ' ') {
            word++;
        }
        int length = (int)strcspn(word, " ");
        if (length == 0) {
            break;
        }
        if (column > 0 && column + 1 + length > width) {
            text.append('\n');
            column = 0;
        }
        text.append(column > 0 ? " " : indent);
        column += column > 0 ? 1 : (int)strlen(indent);
        text.append(word, length);
        column += length;
        word += length;
    }
}
