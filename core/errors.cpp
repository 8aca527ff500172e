#include "core/errors.h"

namespace {

// The length of the valid UTF-8 character that starts at `at`, or 0.
size_t Utf8CharacterLength(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (size_t i = 2; i < length; ++i)
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  return length;
}

void AppendEscaped(std::string& out, std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  for (size_t i = 0; i < text.size();) {
    const size_t length = Utf8CharacterLength(text, i);
    if (length > 0) {
      out.append(text.substr(i, length));
      i += length;
      continue;
    }
    const auto b = static_cast<unsigned char>(text[i++]);
    const char escaped[4] = {'\\', 'x', kHex[b >> 4], kHex[b & 15]};
    out.append(escaped, sizeof escaped);
  }
}

}  // namespace

std::string EscapeInvalidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendEscaped(out, text);
  return out;
}

std::string FormatMessage(std::string_view pattern, std::initializer_list<std::string_view> args) {
  std::string out;
  out.reserve(pattern.size() + 32);
  auto next = args.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c == '%' && i + 1 < pattern.size()) {
      char d = pattern[i + 1];
      if (d == 's') {
        if (next != args.end()) AppendEscaped(out, *next++);
        ++i;
        continue;
      }
      if (d == '%') {
        out.push_back('%');
        ++i;
        continue;
      }
    }
    out.push_back(c);
  }
  return out;
}

std::string ComponentMessage(std::string_view componentName, std::string_view message) {
  if (componentName.empty()) return std::string(message);
  return FormatMessage("%s: %s", {componentName, message});
}

const char* DatabaseErrorKindName(TDatabaseErrorKind kind) {
  switch (kind) {
    case ekGeneral: return "General";
    case ekDamagedFile: return "DamagedFile";
    case ekNotADatabase: return "NotADatabase";
    case ekNotFound: return "NotFound";
    case ekAccessDenied: return "AccessDenied";
    case ekLocked: return "Locked";
    case ekReadOnly: return "ReadOnly";
    case ekInvalidValue: return "InvalidValue";
    case ekKeyViolation: return "KeyViolation";
    case ekFilterSyntax: return "FilterSyntax";
    case ekInvalidState: return "InvalidState";
    case ekInputOutput: return "InputOutput";
  }
  return "?";
}

void DatabaseError(TDatabaseErrorKind kind, std::string_view message, std::string_view componentName) {
  throw EDatabaseError(ComponentMessage(componentName, message), kind);
}

void DatabaseErrorFmt(TDatabaseErrorKind kind, std::string_view pattern, std::initializer_list<std::string_view> args,
                      std::string_view componentName) {
  DatabaseError(kind, FormatMessage(pattern, args), componentName);
}

void Abort() { throw EAbort(); }
