#include "program_messages.h"

static std::string& StoredName() {
    static std::string name = "region_grow";
    return name;
}

void SetProgramName(const std::string& name) {
    StoredName() = name;
}

const std::string& ProgramName() {
    return StoredName();
}

void PrintAsProgram(FILE* to, const std::string& text) {
    fprintf(to, "%s: %s\n", ProgramName().c_str(), text.c_str());
}

int Fail(int code, const std::string& message) {
    PrintAsProgram(stderr, message);
    fflush(stderr);
    return code;
}
