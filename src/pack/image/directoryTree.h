#ifndef LARKWIN_PACK_IMAGE_DIRECTORYTREE_H
#define LARKWIN_PACK_IMAGE_DIRECTORYTREE_H

// Whole directory trees: symbolic links are copied, removed or counted as
// links; only copySelfContainedTree follows those that lead outside.

// Copies the tree at from to the new path to, with the modes and times of
// its directories, files and links, so that the copy of a runtime is the
// same runtime. Throws "Unable to copy '%s': " and the system's reason,
// naming the entry that could not be copied.
void copyTree(const char* from, const char* to);

// The same, except that a link whose target, links resolved, lies outside
// the tree is replaced by a copy of that target (a file, or a directory
// copied by the same rule), so that the copy needs nothing outside itself.
// Links within the tree, and links that lead nowhere, stay links.
void copySelfContainedTree(const char* from, const char* to);

// Removes the tree as far as it can; failures are ignored.
void removeTree(const char* path);

// Copies what input holds from its offset on to output: 1 when all of it
// was copied, 0 when a read or a write failed (errno says why).
int copyFileBytes(int input, int output);

// The bytes that the tree's files and links hold.
long getTreeSize(const char* path);

#endif
