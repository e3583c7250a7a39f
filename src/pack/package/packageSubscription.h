#ifndef LARKWIN_PACK_PACKAGE_PACKAGESUBSCRIPTION_H
#define LARKWIN_PACK_PACKAGE_PACKAGESUBSCRIPTION_H

#include <string>
#include <vector>

// The files by which an installed package takes its own updates from its
// repository. Each format adds its own package manager's to the staged tree
// while it builds its package, and takes them out again.

// Writes text as the file at root + path, with the directories above it made
// as a package has them (0755, whatever the umask).
void addSubscriptionFile(const std::string& root, const std::string& path, const std::string& text);

// Removes root + each path.
void removeSubscriptionFiles(const std::string& root, const std::vector<std::string>& paths);

#endif
