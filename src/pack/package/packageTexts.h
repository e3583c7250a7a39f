#ifndef LARKWIN_PACK_PACKAGE_PACKAGETEXTS_H
#define LARKWIN_PACK_PACKAGE_PACKAGETEXTS_H

// The texts a package installs beside the app image. Every result is owned.

// The lines that end an installed application's configuration: the site
// file /etc/NAME/NAME.config, then the user's own, each read when it exists,
// so that later lines (and so the user's) win.
char* createSettingsLines(const char* name);

// The site file as installed: comments that say what it is for.
char* createSiteSettings(const char* name);

// The argument of the last line of the configuration text whose directive
// word is word, or null when no line has it. Lines are read by config/'s
// reader of the configuration language; included files are not read.
char* createDirectiveArgument(const char* configuration, const char* word);

// A manual page that names the command and where its settings live.
char* createManualPage(const char* name, const char* version, const char* description);

// A Debian changelog of the one version, dated at epochSeconds.
char* createChangelog(const char* name, const char* version, const char* maintainer,
                      long epochSeconds);

// Appends the words (separated by spaces) in lines of at most width
// characters where the words allow, each line begun with indent.
void appendWrapped(class stringBuffer& text, const char* words, int width, const char* indent);

// The time packages are dated: SOURCE_DATE_EPOCH when it is set (for
// reproducible builds), else now.
long getPackageTime();

#endif
