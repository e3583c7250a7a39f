#ifndef LARKWIN_PACK_TOOLS_TOOLPROCESS_H
#define LARKWIN_PACK_TOOLS_TOOLPROCESS_H

class stringBuffer;

// Runs a program of the JDK (arguments[0] is its path; the vector ends with
// null) and waits for it. What it writes on standard output is appended to
// output; its standard error stays larkwin-pack's own. Returns its exit
// status, 128 + n when signal n ended it, or 127 when it could not be
// executed. The tool runs in a process group of its own, which a
// termination signal of larkwin-pack ends (removalOnSignal.h) with all that
// the tool started. Throws "fork failed: " or "pipe failed: " followed by
// the system's reason.
int runTool(char** arguments, stringBuffer* output);

// As runTool, with the tool's working directory (null: larkwin-pack's own).
int runToolIn(const char* directory, char** arguments, stringBuffer* output);

// Runs the tool and throws "'%s' failed with exit status N" unless it
// succeeds; its output is then shown on standard error first, since the JDK's
// tools explain their failures there.
void runToolOrFail(char** arguments, stringBuffer* output);

// As runToolOrFail, in the directory (null: larkwin-pack's own).
void runToolInOrFail(const char* directory, char** arguments, stringBuffer* output);

// As runToolInOrFail, with the tool's standard error collected in output
// too: for a tool whose warnings are noise unless it fails.
void runToolCollectingErrors(const char* directory, char** arguments, stringBuffer* output);

#endif
