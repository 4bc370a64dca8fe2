#pragma once
// Runs the command-line program as a user runs it, in a folder, and collects what it says.

#include "stream/PipeTestSupport.h"

#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace QuorlixTest {

struct ToolOutcome {
    int m_Status;
    std::string m_Out;
    std::string m_Err;
};

/// "quorlix <arguments>" in `folder`, with `input` (when not null) as standard input: the exit
/// status (-1 when it did not exit), standard output and standard error.
inline ToolOutcome RunTool(const TempDir& folder, const std::string& arguments,
                           const char* input = nullptr) {
    std::string command = "cd '" + folder.Path() + "' && ";
    if (input != nullptr) {
        WriteFileBytes(folder / "stdin.txt", input);
        command += "<stdin.txt ";
    }
    command += "'" QUORLIX_TOOL "' " + arguments + " 2>stderr.txt";
    ToolOutcome outcome{-1, "", ""};
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            outcome.m_Out.append(buffer, n);
        const int status = ::pclose(pipe);
        outcome.m_Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    outcome.m_Err = ReadFileBytes(folder / "stderr.txt");
    return outcome;
}

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace QuorlixTest
