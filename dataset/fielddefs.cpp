#include "dataset/fielddefs.h"

#include "core/component.h"
#include "core/errors.h"

TFieldDef& TFieldDefs::Add(std::string name, TFieldType dataType, int32_t size) {
  if (IndexOf(name) >= 0) DatabaseErrorFmt(ekInvalidValue, "Duplicate field name '%s'", {name});
  items_.emplace_back(std::move(name), dataType, size, Count() + 1);
  return items_.back();
}

int TFieldDefs::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (SameNameIgnoringCase(items_[i].Name(), name)) return static_cast<int>(i);
  return -1;
}

const TFieldDef* TFieldDefs::Find(std::string_view name) const {
  int i = IndexOf(name);
  return i < 0 ? nullptr : &items_[static_cast<size_t>(i)];
}

TIndexDef& TIndexDefs::Add(std::string name, std::string fields, TIndexOptions options) {
  items_.emplace_back(std::move(name), std::move(fields), options);
  return items_.back();
}

int TIndexDefs::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (SameNameIgnoringCase(items_[i].Name(), name)) return static_cast<int>(i);
  return -1;
}

const TIndexDef* TIndexDefs::Find(std::string_view name) const {
  int i = IndexOf(name);
  return i < 0 ? nullptr : &items_[static_cast<size_t>(i)];
}
