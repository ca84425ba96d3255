// tarnwick-mail: the operator's command-line view of a mailbox. It prints the
// narrow bytes the Mail object's methods return for a message file (summary
// line, plain-text body, attachment list, one attachment's decoded bytes),
// read the same way, and counts the messages of a mailbox directory.
#pragma once

#include <cstdio>

namespace tarnwick::mailtool {

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;   // unreadable message, no such attachment, a write error
constexpr int kExitUsage = 2;     // the command line is wrong

// Runs the tool on argv (argv[0] is the program name): results go to out,
// messages to err. Returns the exit status.
int RunMailTool(int argc, char** argv, std::FILE* out, std::FILE* err);

}  // namespace tarnwick::mailtool
