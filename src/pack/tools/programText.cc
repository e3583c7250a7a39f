#include "pack/tools/programText.h"

#include "pack/tools/toolProcess.h"
#include "util/stringBuffer.h"

// The command as the tool runner takes it: borrowed, closed by null.
static std::vector<char*> argumentVector(const std::vector<std::string>& command) {
    std::vector<char*> vector;
    for (const std::string& word : command) {
        vector.push_back(const_cast<char*>(word.c_str()));
    }
    vector.push_back(nullptr);
    return vector;
}

std::string runProgram(const std::vector<std::string>& command, const std::string& directory,
                       bool errorsToo) {
    std::vector<char*> vector = argumentVector(command);
    const char* in = directory.empty() ? nullptr : directory.c_str();
    stringBuffer printed;
    if (errorsToo) {
        runToolCollectingErrors(in, vector.data(), &printed);
    } else {
        runToolInOrFail(in, vector.data(), &printed);
    }
    return std::string(printed.getData(), printed.getLength());
}

int runProgramStatus(const std::vector<std::string>& command, std::string& output) {
    std::vector<char*> vector = argumentVector(command);
    stringBuffer printed;
    int status = runTool(vector.data(), &printed);
    output.assign(printed.getData(), printed.getLength());
    return status;
}
