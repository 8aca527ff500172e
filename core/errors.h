#pragma once
// Exceptions the engine raises and the "%s" message formatting they use.
//
// EDatabaseError carries a fixed English message with names and values put in
// through "%s" placeholders; raised on behalf of a named component (table,
// database, session) the message reads "<name>: <message>". Beside the text it
// carries a kind, so that callers act on what went wrong without reading the
// message. EEncryptException is the cipher layer's own error. Both are plain
// value types; any thread may raise them.

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

// What went wrong, independent of the message's wording.
enum TDatabaseErrorKind : uint8_t {
  ekGeneral,       // none of the kinds below
  ekDamagedFile,   // the file's bytes contradict its own structure
  ekNotADatabase,  // not a database file, or one of a version this engine cannot read
  ekNotFound,      // a named file, table, field, index, record, session or algorithm does not exist
  ekAccessDenied,  // a wrong or missing password, or the system refuses the file
  ekLocked,        // another user holds the file: its lock did not come free, or its share mode refuses us
  ekReadOnly,      // a change to something opened or marked read-only
  ekInvalidValue,  // a value, name or size that is not acceptable where it is given
  ekKeyViolation,  // a unique index already holds the key
  ekFilterSyntax,  // the filter text is not a valid expression of the filter language
  ekInvalidState,  // the object's state does not allow the operation (closed, open, not editing)
  ekInputOutput,   // the system failed a read, write or open for another reason
};

// The kind's name without its prefix ("DamagedFile"), for diagnostics and tests.
const char* DatabaseErrorKindName(TDatabaseErrorKind kind);

class EDatabaseError : public std::runtime_error {
 public:
  explicit EDatabaseError(const std::string& message, TDatabaseErrorKind kind = ekGeneral)
      : std::runtime_error(message), kind_(kind) {}
  TDatabaseErrorKind Kind() const { return kind_; }

 private:
  TDatabaseErrorKind kind_;
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

// Raise an EDatabaseError of `kind`; the Fmt form puts `args` into `pattern`
// as FormatMessage does.
[[noreturn]] void DatabaseError(TDatabaseErrorKind kind, std::string_view message, std::string_view componentName = {});
[[noreturn]] void DatabaseErrorFmt(TDatabaseErrorKind kind, std::string_view pattern,
                                   std::initializer_list<std::string_view> args, std::string_view componentName = {});

// The silent abort: raised to stop an operation without an error message (a
// cancelled password prompt, an error handler that chose to abort). Callers
// that show errors to the user let it pass without a message.
class EAbort : public std::exception {
 public:
  const char* what() const noexcept override { return "Operation aborted"; }
};

[[noreturn]] void Abort();
