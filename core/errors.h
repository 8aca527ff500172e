#pragma once
// Exceptions the engine raises and the "%s" message formatting they use.
//
// EDatabaseError carries a fixed English message with names and values put in
// through "%s" placeholders; raised on behalf of a named component (table,
// database, session) the message reads "<name>: <message>". EEncryptException
// is the cipher layer's own error. Both are plain value types; any thread may
// raise them.

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

class EDatabaseError : public std::runtime_error {
 public:
  explicit EDatabaseError(const std::string& message) : std::runtime_error(message) {}
};

class EEncryptException : public std::runtime_error {
 public:
  explicit EEncryptException(const std::string& message) : std::runtime_error(message) {}
};

// Replaces each "%s" of `pattern` by the next argument, in order, and "%%" by
// "%". Missing arguments leave their "%s" empty; extra arguments are ignored.
// Messages are UTF-8: a byte of an argument that is not part of a valid UTF-8
// character is put in as the four characters "\xHH" (hexadecimal).
std::string FormatMessage(std::string_view pattern, std::initializer_list<std::string_view> args);

// `text` with every byte that is not part of a valid UTF-8 character written
// as "\xHH"; valid UTF-8 comes back unchanged.
std::string EscapeInvalidUtf8(std::string_view text);

// "%s: %s" when `componentName` is not empty, the bare message otherwise.
std::string ComponentMessage(std::string_view componentName, std::string_view message);

[[noreturn]] void DatabaseError(std::string_view message, std::string_view componentName = {});
[[noreturn]] void DatabaseErrorFmt(std::string_view pattern, std::initializer_list<std::string_view> args,
                                   std::string_view componentName = {});

// The silent abort: raised to stop an operation without an error message (a
// cancelled password prompt, an error handler that chose to abort). Callers
// that show errors to the user let it pass without a message.
class EAbort : public std::exception {
 public:
  const char* what() const noexcept override { return "Operation aborted"; }
};

[[noreturn]] void Abort();
