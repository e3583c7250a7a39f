#ifndef LARKWIN_CONFIG_CONFIGLINES_H
#define LARKWIN_CONFIG_CONFIGLINES_H

// The line syntax of the configuration language, apart from what the lines
// do: a line ends at a run of CR and LF bytes; spaces and tabs are trimmed
// from both ends; an empty line and one that begins with "#" are skipped;
// the directive word runs to the first space, and the argument is the rest,
// less the spaces and tabs at its start ("" when there is no space).

// Calls apply(context, word, argument) for every directive line of text, in
// order. text is cut in place: word and argument point into it. What apply
// throws passes out unchanged and ends the walk.
void forEachDirectiveLine(char* text, void (*apply)(void* context, char* word, char* argument),
                          void* context);
// The same for one line already trimmed, which is cut in place.
void splitDirectiveLine(char* line, void (*apply)(void* context, char* word, char* argument),
                        void* context);

#endif
