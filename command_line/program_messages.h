// program_messages.h - a program's one-line messages: "NAME: text".
//
// region_grow and the editor say what they did, or what went wrong, in lines that begin with
// the program's name, so that a line in a script's log says where it came from. The name is
// set once at start: region_grow takes it from the name it was started under (argv[0]
// without folder or extension), the editor is always "vexra". Until then it is
// "region_grow".
#ifndef COMMAND_LINE_PROGRAM_MESSAGES_H
#define COMMAND_LINE_PROGRAM_MESSAGES_H

#include <stdint.h>
#include <stdio.h>

#include <string>

namespace command_line {

void SetProgramName(const std::string& name);
const std::string& ProgramName();

// Writes "NAME: text" and a line end to `to`. Whether it reached its reader is for the caller
// to ask (ferror, fflush), as the summary line's does.
void PrintAsProgram(FILE* to, const std::string& text);

// A count as messages give it: 33827 -> "33,827".
std::string WithThousands(uint64_t value);

// "NAME: message" on standard error, flushed (a window program's standard error can be a
// buffered file), then `code`, the exit status: return Fail(1, "cannot read ...").
int Fail(int code, const std::string& message);

} // namespace command_line

#endif
