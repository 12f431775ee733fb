#include "program_messages.h"

namespace command_line {

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

std::string WithThousands(uint64_t value) {
    std::string digits = std::to_string(value), text;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += ',';
        text += digits[i];
    }
    return text;
}

int Fail(int code, const std::string& message) {
    PrintAsProgram(stderr, message);
    fflush(stderr);
    return code;
}

} // namespace command_line
