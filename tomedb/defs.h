#pragma once
// The definition collections of a table and of a database: the fields and
// indexes of one table as its header describes them (TTomeFieldDefs,
// TTomeIndexDefs), and the tables of one database file (TTomeTableDefs).
//
// Ownership: a collection owns its items; an item pointer stays valid until
// the item is deleted or the collection is cleared or destroyed. Items know
// their collection and their position in it.
//
// Threading: none; a collection belongs to the table or database object that
// holds it and is used from that object's thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dataset/fieldtypes.h"
#include "tomedb/format.h"

using TIntegerAry = std::vector<int32_t>;

class TTomeDefCollection;

// An item of a TTomeDefCollection: a named definition.
class TTomeDefItem {
 public:
  virtual ~TTomeDefItem() = default;
  TTomeDefItem(const TTomeDefItem&) = delete;
  TTomeDefItem& operator=(const TTomeDefItem&) = delete;

  const std::string& Name() const { return fName; }
  void SetName(const std::string& name);

  TTomeDefCollection* Collection() const { return fCollection; }
  // Position in the collection.
  int Index() const;
  // Number given by the collection when the item was added (0, 1, 2, ... in
  // the order of adding; never reused).
  int ID() const { return fID; }
  // The class name ("TTomeFieldDef", ...), from which unnamed items take
  // their default name.
  virtual const char* ClassName() const = 0;

 protected:
  explicit TTomeDefItem(TTomeDefCollection* collection);
  // Tells the collection that this item changed (inside BeginUpdate/EndUpdate
  // the collection reports once at the end).
  void Changed();

 private:
  friend class TTomeDefCollection;
  TTomeDefCollection* fCollection;
  std::string fName;
  int fID = 0;
};

// An ordered collection of definitions with update brackets and a change
// notification.
class TTomeDefCollection {
 public:
  TTomeDefCollection() = default;
  virtual ~TTomeDefCollection();
  TTomeDefCollection(const TTomeDefCollection&) = delete;
  TTomeDefCollection& operator=(const TTomeDefCollection&) = delete;

  int Count() const { return static_cast<int>(fItems.size()); }
  // REQUIRES: 0 <= index < Count().
  TTomeDefItem* ItemAt(int index) const { return fItems.at(static_cast<size_t>(index)).get(); }
  // Position of the item with this name (letter case ignored), -1 when absent.
  int IndexOf(std::string_view name) const;
  void Clear();
  void Delete(int index);

  // Changes made between BeginUpdate and the matching EndUpdate are reported
  // to OnChange once, at the outermost EndUpdate.
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return fUpdateCount; }

  std::function<void(TTomeDefCollection*)> OnChange;

 protected:
  // Takes ownership of a new item: it gets the next ID and, when it has no
  // name, characters 2-6 of its class name followed by ID + 1 ("TomeF1").
  TTomeDefItem* AddItem(std::unique_ptr<TTomeDefItem> item);

 private:
  friend class TTomeDefItem;
  void Changed();

  std::vector<std::unique_ptr<TTomeDefItem>> fItems;
  int fNextID = 0;
  int fUpdateCount = 0;
  bool fChangedInUpdate = false;
};

class TTomeFieldDefs;

// One field of a table, as its field slot describes it.
class TTomeFieldDef : public TTomeDefItem {
 public:
  const char* ClassName() const override { return "TTomeFieldDef"; }

  TFieldType FieldType() const { return fFieldType; }
  void SetFieldType(TFieldType value);
  int32_t FieldSize() const { return fFieldSize; }
  void SetFieldSize(int32_t value);
  // 0: encrypted (and compressed, for a blob) as the database says; other
  // values: always stored plain.
  uint8_t ProcessMode() const { return fProcessMode; }
  void SetProcessMode(uint8_t value);

  // Copies name, type, size and ProcessMode inside one collection update.
  void Assign(const TTomeFieldDef& source);

 private:
  friend class TTomeFieldDefs;
  explicit TTomeFieldDef(TTomeDefCollection* collection) : TTomeDefItem(collection) {}
  TFieldType fFieldType = ftUnknown;
  int32_t fFieldSize = 0;
  uint8_t fProcessMode = 0;
};

class TTomeFieldDefs : public TTomeDefCollection {
 public:
  TTomeFieldDef* Add();
  TTomeFieldDef* Add(const std::string& name, TFieldType type, int32_t size, uint8_t processMode);
  TTomeFieldDef* Items(int index) const { return static_cast<TTomeFieldDef*>(ItemAt(index)); }
  // The definition with this name (letter case ignored), or null.
  TTomeFieldDef* Find(std::string_view name) const;
};

class TTomeIndexDefs;

// One index of a table, as its index slot describes it.
class TTomeIndexDef : public TTomeDefItem {
 public:
  const char* ClassName() const override { return "TTomeIndexDef"; }

  TTDIndexOptions Options() const { return fOptions; }
  void SetOptions(TTDIndexOptions value);
  // The key field numbers in key order (1 to 8 of them).
  const TIntegerAry& FieldIndexes() const { return fFieldIndexes; }
  void SetFieldIndexes(const TIntegerAry& value);

  // Copies name, options and key fields inside one collection update.
  void Assign(const TTomeIndexDef& source);

 private:
  friend class TTomeIndexDefs;
  explicit TTomeIndexDef(TTomeDefCollection* collection) : TTomeDefItem(collection) {}
  TTDIndexOptions fOptions = tiNone;
  TIntegerAry fFieldIndexes;
};

class TTomeIndexDefs : public TTomeDefCollection {
 public:
  TTomeIndexDef* Add();
  TTomeIndexDef* Add(const std::string& name, TTDIndexOptions options, const TIntegerAry& fields);
  TTomeIndexDef* Items(int index) const { return static_cast<TTomeIndexDef*>(ItemAt(index)); }
  TTomeIndexDef* Find(std::string_view name) const;
};

class TTomeTableDefs;

// One table of a database file: its name and its position in the file's
// table directory.
class TTomeTableDef : public TTomeDefItem {
 public:
  const char* ClassName() const override { return "TTomeTableDef"; }

  int32_t TableIndex() const { return fTableIndex; }
  void SetTableIndex(int32_t value);

  void Assign(const TTomeTableDef& source);

 private:
  friend class TTomeTableDefs;
  explicit TTomeTableDef(TTomeDefCollection* collection) : TTomeDefItem(collection) {}
  int32_t fTableIndex = -1;
};

class TTomeTableDefs : public TTomeDefCollection {
 public:
  TTomeTableDef* Add();
  TTomeTableDef* Add(const std::string& name, int32_t tableIndex);
  TTomeTableDef* Items(int index) const { return static_cast<TTomeTableDef*>(ItemAt(index)); }
  TTomeTableDef* Find(std::string_view name) const;
};
