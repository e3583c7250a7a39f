#ifndef LARKWIN_CONFIG_EXPANSION_H
#define LARKWIN_CONFIG_EXPANSION_H

// The expansion that "expand" turns on for the rest of a configuration file.
// In the text, "${NAME}" is replaced by:
//   exe.dir          the directory of the launcher's canonical executable
//   app.dir          the folder above exe.dir when exe.dir is named "bin" (an
//                    image's root, or an installation's prefix); else refused
//   config.dir       configDirectory (the reader's directory)
//   user.home        HOME when absolute, else the user's passwd entry
//   xdg.config.home  XDG_CONFIG_HOME when absolute, else user.home + /.config
//   xdg.data.home    XDG_DATA_HOME, else user.home + /.local/share
//   xdg.cache.home   XDG_CACHE_HOME, else user.home + /.cache
//   xdg.state.home   XDG_STATE_HOME, else user.home + /.local/state
//   env:NAME         the variable NAME (letters, digits and "_")
// and "$$" by "$". Values are inserted as they are and not expanded again.
// Anything else is refused with a message naming the text: an unknown or
// unterminated "${", a "$" followed by anything else, an unset variable, a
// home that cannot be found, and a result over 64 MiB.
// Returns a new owned string.
char* createExpandedText(const char* text, const char* configDirectory);

#endif
