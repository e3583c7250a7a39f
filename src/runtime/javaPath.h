#ifndef LARKWIN_RUNTIME_JAVAPATH_H
#define LARKWIN_RUNTIME_JAVAPATH_H

// The java executable to run: "$JAVA_HOME/bin/java" when it exists, else the
// first java along "PATH". Only existence is tested. Owned by the caller;
// throws the no-runtime message when there is none.
char* getJavaPath();
// Tells the user that no Java runtime was found and where to get one: two
// lines, no line end after the second. Owned by the caller.
char* getNoJreMessage();
// The address of the download page that the no-runtime messages give.
const char* getJavaDownloadPage();

#endif
