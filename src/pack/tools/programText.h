#ifndef LARKWIN_PACK_TOOLS_PROGRAMTEXT_H
#define LARKWIN_PACK_TOOLS_PROGRAMTEXT_H

#include <string>
#include <vector>

// The tool runner of toolProcess.h with the command as words and what the
// program prints as a std::string: where its stringBuffer becomes the
// packer's string.

// Runs the command (its first word a path) in directory (empty: here) and
// returns what it wrote on standard output, with standard error too when
// errorsToo is set. Throws, its output shown first, unless it succeeds.
std::string runProgram(const std::vector<std::string>& command, const std::string& directory = "",
                       bool errorsToo = false);

// As runProgram, but returns the exit status; output receives standard
// output.
int runProgramStatus(const std::vector<std::string>& command, std::string& output);

#endif
