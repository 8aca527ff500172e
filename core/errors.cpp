#include "core/errors.h"

std::string FormatMessage(std::string_view pattern, std::initializer_list<std::string_view> args) {
  std::string out;
  out.reserve(pattern.size() + 32);
  auto next = args.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c == '%' && i + 1 < pattern.size()) {
      char d = pattern[i + 1];
      if (d == 's') {
        if (next != args.end()) out.append(*next++);
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

void DatabaseError(std::string_view message, std::string_view componentName) {
  throw EDatabaseError(ComponentMessage(componentName, message));
}

void DatabaseErrorFmt(std::string_view pattern, std::initializer_list<std::string_view> args,
                      std::string_view componentName) {
  DatabaseError(FormatMessage(pattern, args), componentName);
}

void Abort() { throw EAbort(); }
