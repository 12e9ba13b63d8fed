#pragma once
// The lines a failed command prints, and the meanings the commands share. Two kinds of failure
// are kept apart: a device or protocol result code ("error -13: ...") and a failure of the port
// or the system ("error: <port> is already in use ..."), whose errno numbers overlap the
// device's codes (EACCES is 13, EAGAIN 11), so they are never told apart by number.

#include <cstdint>
#include <span>
#include <string>

namespace korrcli {

// "error <code>: <meaning>" on stderr for a device or protocol result; returns the exit status
// of a failure.
int ReportError(int32_t code, const char* meaning);
// "error: <text>" on stderr for a failure that has no device code; returns the exit status of
// a failure.
int ReportFailure(const std::string& text);

// "korrbsl <command>: <what> (see korrbsl <command> --help)" on stderr; returns the exit status
// of a usage error.
int ReportUsageError(const char* command, const std::string& what);

// What a port's failure with the system error `errnoCode` (positive, as errno) means, naming
// the port: "/dev/ttyUSB0 is already in use by another program", "... isn't available", "...
// is not a serial port", or, for missing permission, the group that owns the port and how to
// join it.
std::string PortErrorText(const std::string& port, int errnoCode);

// The group that owns the port's device node; empty when it cannot be read.
std::string PortOwningGroup(const std::string& port);

// What reading or writing a file failed with (errno, positive), naming the file.
std::string FileErrorText(const std::string& file, int errnoCode, bool writing);

// A result code and what it means to one command. Each command keeps its own table: the same
// code reads differently at the loader, the device link and the instrument layer.
struct CodeText {
    int32_t code;
    const char* text;
};

// The text of `code` in `table`, else `otherwise`.
const char* CodeMeaning(std::span<const CodeText> table, int32_t code, const char* otherwise);

// The last resort for a code that has no meaning of its own: the system's text for an errno
// code (negated), else "unexpected error".
const char* SystemErrorMeaning(int32_t code);

}  // namespace korrcli
