#ifndef LARKWIN_PACK_OPTIONS_OPTIONVALUES_H
#define LARKWIN_PACK_OPTIONS_OPTIONVALUES_H

#include <string>

// The checks of the option table's rows (optionTable.h): each takes the
// option's name and one value it was given, and returns empty when the value
// is fit, else the usage message.

std::string checkOneLine(const char* name, const std::string& value);
std::string checkMainClass(const char* name, const std::string& value);
std::string checkJavaVersion(const char* name, const std::string& value);
// A name for DIR/bin: not empty, ".", ".." nor holding "/".
std::string checkFileName(const char* name, const std::string& value);
std::string checkAppContent(const char* name, const std::string& value);
std::string checkIcon(const char* name, const std::string& value);
std::string checkMetainfo(const char* name, const std::string& value);
std::string checkFileType(const char* name, const std::string& value);
std::string checkUrlScheme(const char* name, const std::string& value);
std::string checkKeep(const char* name, const std::string& value);

// --exclude-modules: a list that leaves java.base in.
std::string checkExcludedModules(const char* name, const std::string& value);

#endif
