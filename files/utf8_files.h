// utf8_files.h - file names as UTF-8 text on every platform.
//
// The tool keeps every file name as UTF-8 in a std::string. On Linux that is what the system
// takes. On Windows the narrow ("A") file functions read names in the local code page, which
// cannot spell most names (a "日本.png" on a Western machine), so every operation on a name
// goes through the wide-character API instead: std::filesystem paths built here (wide inside
// on Windows), _wfopen and _wopen. The command line is taken the same way, from
// GetCommandLineW, so that a name typed in any script reaches the tool unchanged.
#ifndef FILES_UTF8_FILES_H
#define FILES_UTF8_FILES_H

#include <stdio.h>

#include <filesystem>
#include <string>
#include <vector>

namespace files {

// A path for std::filesystem from a UTF-8 name, and back.
std::filesystem::path PathFromUtf8(const std::string& name);
std::string Utf8FromPath(const std::filesystem::path& path);

// fopen() for a UTF-8 name.
FILE* OpenUtf8(const std::string& name, const char* mode);

// Creates the file `name` for writing (binary), failing with errno EEXIST when any entry of
// that name exists, a symbolic link included: the file opened is always a new one. The
// file's permissions are those of a new file (0666 less the umask).
FILE* CreateNewUtf8(const std::string& name);

// Removes a file; false (errno set) when it could not.
bool RemoveUtf8(const std::string& name);

// The program's arguments, without the program name, as UTF-8. On Windows they are read from
// GetCommandLineW, whatever `argv` holds; elsewhere they are `argv`.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// A batch of runs in one process, where starting a process is slow (under an emulator): the
// file `path` holds one command line per line, its arguments separated by tabs. Empty lines
// are passed over; `number` counts from 1 over every line.
struct BatchLine {
    size_t number = 0;
    std::vector<std::string> arguments;
};
bool ReadBatchFile(const std::string& path, std::vector<BatchLine>* lines, std::string* error);
// After a line has run: "batch line N: status S" on standard output, once what the run wrote to
// either stream is out, so that a reader of both streams together can tell the runs apart.
void ReportBatchLine(const BatchLine& line, int status);

// The folder that holds the running program, where the files that ship beside it are (the
// plug-in, the editor's plugins folder). Windows names it through GetModuleFileNameW, so that a
// folder of any name is found; elsewhere it is where /proc/self/exe leads, empty where that
// cannot be read.
std::filesystem::path ExecutableFolder();

// A name that nobody can guess: `prefix`, twelve random letters and digits, `suffix`. Short,
// so that it fits beside a target whose own name is as long as the system allows.
std::string UnpredictableName(const std::string& prefix, const std::string& suffix);

} // namespace files

#endif
