#ifndef LARKWIN_PACK_IMAGE_DIRECTORYTREE_H
#define LARKWIN_PACK_IMAGE_DIRECTORYTREE_H

// Whole directory trees: symbolic links are never followed, only copied,
// removed or counted as links.

// Copies the tree at from to the new path to, with the modes and times of
// its directories, files and links, so that the copy of a runtime is the
// same runtime. Throws "Unable to copy '%s'" naming the entry that could not
// be copied.
void copyTree(const char* from, const char* to);

// Removes the tree as far as it can; failures are ignored.
void removeTree(const char* path);

// The bytes that the tree's files and links hold.
long getTreeSize(const char* path);

#endif
