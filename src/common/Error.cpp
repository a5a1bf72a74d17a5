#include "common/Error.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <exception>
#include <string>

#include <fcntl.h>
#include <unistd.h>

// The name the program was started by, as the C library's own messages use it.
const char* ProgramName = program_invocation_short_name;

namespace {

thread_local std::string LastError;

} // namespace

bool SetError(const char* format, ...) {
    va_list args, again;
    va_start(args, format);
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    // The text may quote ErrorText() itself: format into a fresh string.
    std::string text(length > 0 ? size_t(length) : 0, '\0');
    if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    LastError = std::move(text);
    return false;
}

const char* ErrorText() {
    return LastError.c_str();
}

void PrintError() {
    std::fprintf(stderr, "%s: %s\n", ProgramName, ErrorText());
}

void OpenStandardFiles() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open takes the lowest free number, which is this one. Without
        // /dev/null, a descriptor that cannot be written still holds it.
        if (open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) < 0) open("/", O_PATH);
    }
}

int RunTool(const char* program, int (*run)(int argc, char** argv), int argc, char** argv) {
    OpenStandardFiles();
    ProgramName = program;
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        SetError("%s", e.what());
    } catch (...) {
        SetError("failed");
    }
    PrintError();
    return 1;
}
