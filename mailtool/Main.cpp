// tarnwick-mail's entry point. Standard output is written with fwrite; on the
// native (posix) builds it is already a binary stream.
#include <cstdio>

#include "mailtool/MailTool.h"

int main(int argc, char** argv) { return tarnwick::mailtool::RunMailTool(argc, argv, stdout, stderr); }
