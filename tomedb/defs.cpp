#include "tomedb/defs.h"

#include <algorithm>
#include <cstring>

#include "core/component.h"
#include "core/errors.h"

// ---------------------------------------------------------------- item

TTomeDefItem::TTomeDefItem(TTomeDefCollection* collection) : fCollection(collection) {}

void TTomeDefItem::SetName(const std::string& name) {
  if (name == fName) return;
  fName = name;
  Changed();
}

int TTomeDefItem::Index() const {
  if (!fCollection) return -1;
  for (int i = 0; i < fCollection->Count(); ++i)
    if (fCollection->ItemAt(i) == this) return i;
  return -1;
}

void TTomeDefItem::Changed() {
  if (fCollection) fCollection->Changed();
}

// ---------------------------------------------------------- collection

TTomeDefCollection::~TTomeDefCollection() = default;

int TTomeDefCollection::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < fItems.size(); ++i)
    if (SameNameIgnoringCase(fItems[i]->Name(), name)) return static_cast<int>(i);
  return -1;
}

void TTomeDefCollection::Clear() {
  if (fItems.empty()) return;
  fItems.clear();
  Changed();
}

void TTomeDefCollection::Delete(int index) {
  if (index < 0 || index >= Count())
    DatabaseErrorFmt(ekInvalidValue, "List index out of bounds (%s)", {std::to_string(index)});
  fItems.erase(fItems.begin() + index);
  Changed();
}

void TTomeDefCollection::BeginUpdate() { ++fUpdateCount; }

void TTomeDefCollection::EndUpdate() {
  if (fUpdateCount == 0) return;
  if (--fUpdateCount == 0 && fChangedInUpdate) {
    fChangedInUpdate = false;
    if (OnChange) OnChange(this);
  }
}

void TTomeDefCollection::Changed() {
  if (fUpdateCount > 0) {
    fChangedInUpdate = true;
    return;
  }
  if (OnChange) OnChange(this);
}

TTomeDefItem* TTomeDefCollection::AddItem(std::unique_ptr<TTomeDefItem> item) {
  item->fID = fNextID++;
  if (item->fName.empty()) {
    // "TTomeFieldDef" -> "TomeF" + (ID + 1)
    const char* className = item->ClassName();
    const size_t length = std::strlen(className);
    std::string stem = length > 1 ? std::string(className + 1, std::min<size_t>(5, length - 1)) : std::string();
    item->fName = stem + std::to_string(item->fID + 1);
  }
  fItems.push_back(std::move(item));
  Changed();
  return fItems.back().get();
}

// --------------------------------------------------------------- fields

void TTomeFieldDef::SetFieldType(TFieldType value) {
  fFieldType = value;
  Changed();
}
void TTomeFieldDef::SetFieldSize(int32_t value) {
  fFieldSize = value;
  Changed();
}
void TTomeFieldDef::SetProcessMode(uint8_t value) {
  fProcessMode = value;
  Changed();
}

void TTomeFieldDef::Assign(const TTomeFieldDef& source) {
  if (&source == this) return;
  TTomeDefCollection* c = Collection();
  if (c) c->BeginUpdate();
  SetName(source.Name());
  SetFieldType(source.FieldType());
  SetFieldSize(source.FieldSize());
  SetProcessMode(source.ProcessMode());
  if (c) c->EndUpdate();
}

TTomeFieldDef* TTomeFieldDefs::Add() {
  return static_cast<TTomeFieldDef*>(AddItem(std::unique_ptr<TTomeFieldDef>(new TTomeFieldDef(this))));
}

TTomeFieldDef* TTomeFieldDefs::Add(const std::string& name, TFieldType type, int32_t size, uint8_t processMode) {
  auto item = std::unique_ptr<TTomeFieldDef>(new TTomeFieldDef(this));
  item->fFieldType = type;
  item->fFieldSize = size;
  item->fProcessMode = processMode;
  auto* added = static_cast<TTomeFieldDef*>(AddItem(std::move(item)));
  if (!name.empty()) added->SetName(name);
  return added;
}

TTomeFieldDef* TTomeFieldDefs::Find(std::string_view name) const {
  int i = IndexOf(name);
  return i < 0 ? nullptr : Items(i);
}

// -------------------------------------------------------------- indexes

void TTomeIndexDef::SetOptions(TTDIndexOptions value) {
  fOptions = value;
  Changed();
}
void TTomeIndexDef::SetFieldIndexes(const TIntegerAry& value) {
  fFieldIndexes = value;
  Changed();
}

void TTomeIndexDef::Assign(const TTomeIndexDef& source) {
  if (&source == this) return;
  TTomeDefCollection* c = Collection();
  if (c) c->BeginUpdate();
  SetName(source.Name());
  SetOptions(source.Options());
  SetFieldIndexes(source.FieldIndexes());
  if (c) c->EndUpdate();
}

TTomeIndexDef* TTomeIndexDefs::Add() {
  return static_cast<TTomeIndexDef*>(AddItem(std::unique_ptr<TTomeIndexDef>(new TTomeIndexDef(this))));
}

TTomeIndexDef* TTomeIndexDefs::Add(const std::string& name, TTDIndexOptions options, const TIntegerAry& fields) {
  auto item = std::unique_ptr<TTomeIndexDef>(new TTomeIndexDef(this));
  item->fOptions = options;
  item->fFieldIndexes = fields;
  auto* added = static_cast<TTomeIndexDef*>(AddItem(std::move(item)));
  if (!name.empty()) added->SetName(name);
  return added;
}

TTomeIndexDef* TTomeIndexDefs::Find(std::string_view name) const {
  int i = IndexOf(name);
  return i < 0 ? nullptr : Items(i);
}

// --------------------------------------------------------------- tables

void TTomeTableDef::SetTableIndex(int32_t value) {
  fTableIndex = value;
  Changed();
}

void TTomeTableDef::Assign(const TTomeTableDef& source) {
  if (&source == this) return;
  TTomeDefCollection* c = Collection();
  if (c) c->BeginUpdate();
  SetName(source.Name());
  SetTableIndex(source.TableIndex());
  if (c) c->EndUpdate();
}

TTomeTableDef* TTomeTableDefs::Add() {
  return static_cast<TTomeTableDef*>(AddItem(std::unique_ptr<TTomeTableDef>(new TTomeTableDef(this))));
}

TTomeTableDef* TTomeTableDefs::Add(const std::string& name, int32_t tableIndex) {
  auto item = std::unique_ptr<TTomeTableDef>(new TTomeTableDef(this));
  item->fTableIndex = tableIndex;
  auto* added = static_cast<TTomeTableDef*>(AddItem(std::move(item)));
  if (!name.empty()) added->SetName(name);
  return added;
}

TTomeTableDef* TTomeTableDefs::Find(std::string_view name) const {
  int i = IndexOf(name);
  return i < 0 ? nullptr : Items(i);
}
