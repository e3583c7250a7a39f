#ifndef LARKWIN_CONFIG_INCLUDES_H
#define LARKWIN_CONFIG_INCLUDES_H

class configFile;

// Configuration files parsed from within another, and the archives of a
// directory, on behalf of the reader file. Nested readers fill the same
// launch description and are parsed on the spot, depth first.

// "include": parses the configuration file at path (taken over) with a
// nested reader, refusing a file whose parse is already under way and an
// include deeper than 1000 levels ("Refusing '%s': includes may nest at
// most 1000 deep").
void includeFile(configFile& file, char* path);
// "tryinclude": as includeFile, but a path where nothing exists, or that a
// directory on the way keeps out of reach (EACCES), is skipped (+DEBUG says
// so); a file that is there but may not be read is skipped with one line on
// standard error, "Not reading '%s': Permission denied".
void includeFileIfPresent(configFile& file, char* path);
// "includedir": every file of the directory (argument resolved against the
// reader's directory) whose name ends in ".config", in listing order.
void includeDir(configFile& file, char* argument);
// "addjars" (boot 0) and "addbootjars" (boot 1): every file of the
// directory whose name ends in ".jar" goes to the class path or the boot
// class path.
void addJars(configFile& file, char* argument, int boot);

#endif
