#ifndef LARKWIN_UNIX_FILEOWNERS_H
#define LARKWIN_UNIX_FILEOWNERS_H

// Whose files the launcher takes for its own. A file of another user could
// say anything, and the launcher runs what its settings name (javapath, a
// -javaagent: option) as the user who started it: root, too.

// 1 when uid is root's or that of the user running the launcher (its
// effective uid): the owners whose runtimes (~/.jdks) and caches are used.
int isRootOrRunningUser(unsigned uid);

// The owner of the file at path (links followed), or -1 when it cannot be
// told.
long getFileOwner(const char* path);

// 1 when a configuration file owned by uid is read: it belongs to root, to
// the user running the launcher, or to the owner of executable (the
// launcher's own file, so that an installation a build user owns keeps
// working); executable may be null.
int isSettingsOwner(unsigned uid, const char* executable);

#endif
