#ifndef LARKWIN_UTIL_OWNED_H
#define LARKWIN_UTIL_OWNED_H

#include <memory>

// The one owner of a string or array made with array new while it is in
// flight: a throw on the way frees it, so no code catches a message only to
// delete what it holds. Hand the pointer on with release() where a function
// takes ownership of it; get() lends it.
//
//     ownedString path(createAbsolutePath(dir, name));
//     if (!fileExists(path.get())) throw createMessage("...", path.get());
//     vm.addClassPath(path.release());
template <typename T> using ownedArray = std::unique_ptr<T[]>;
using ownedString = ownedArray<char>;

#endif
