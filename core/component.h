#pragma once
// TComponent: the small ownership base of the engine's named objects
// (databases, sessions, tables).
//
// Ownership: a component created with an owner is owned by it; destroying the
// owner destroys its owned components, the most recently inserted first. A
// component destroyed on its own first leaves its owner's list. Owned
// components must be created with `new` (the owner deletes them).
//
// Threading: none; a component tree is used from one thread at a time.

#include <string>
#include <string_view>
#include <vector>

enum TOperation { opInsert, opRemove };

class TComponent {
 public:
  explicit TComponent(TComponent* owner = nullptr);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  const std::string& Name() const { return name_; }
  virtual void SetName(const std::string& name) { name_ = name; }

  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  // REQUIRES: 0 <= index < ComponentCount().
  TComponent* Components(int index) const { return components_.at(static_cast<size_t>(index)); }
  // Position in the owner's list, -1 without an owner.
  int ComponentIndex() const;
  // The owned component of that name (letter case ignored), or null.
  TComponent* FindComponent(std::string_view name) const;

  // Takes ownership of `component` (leaving its previous owner), or gives it up.
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

  // True while the destructor of this TComponent runs (children are being freed).
  bool Destroying() const { return destroying_; }

 protected:
  // Told when a component is inserted into or removed from this owner.
  virtual void Notification(TComponent* component, TOperation operation);

 private:
  std::string name_;
  TComponent* owner_ = nullptr;
  std::vector<TComponent*> components_;
  bool destroying_ = false;
};

// Letter-case-insensitive equality of ASCII names, as names of engine objects
// are matched.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);
