// Collections: an owned, ordered list of items of one class, stored as a
// property of the object that holds it. The collection makes its items
// itself (through the factory it was given), so reading a stored
// collection and copying one both end in items of the right class.
//
// In the stored stream a collection property is a list of item bodies:
//   Entries = <
//     { Ident = "Path" Text = "%p" }
//     { Ident = "Count" Integer = 3 }
//   >
// Reading clears the collection first; an empty collection is not written.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classes.h"

namespace forms {

class TCollection;

class TCollectionItem : public TPersistent {
  FORMS_CLASS(TCollectionItem)
public:
  TCollection* Collection() const { return collection_; }
  // Copies the values of source; the base refuses every source with
  // EConvertError.
  virtual void Assign(const TPersistent& source);

private:
  friend class TCollection;
  TCollection* collection_ = nullptr;
};

class TCollection : public TPersistent {
  FORMS_CLASS(TCollection)
public:
  using ItemFactory = std::function<std::unique_ptr<TCollectionItem>()>;
  // owner: the object that holds the collection (may be nil).
  TCollection(TPersistent* owner, ItemFactory make_item) : owner_(owner), make_item_(std::move(make_item)) {}
  TCollection(const TCollection&) = delete;
  TCollection& operator=(const TCollection&) = delete;

  TPersistent* Owner() const { return owner_; }
  // A new item at the end.
  TCollectionItem* Add();
  int Count() const { return static_cast<int>(items_.size()); }
  // Raises EConvertError for an index out of range.
  TCollectionItem* Items(int index) const;
  void Clear() { items_.clear(); }
  // Makes this collection a copy of source, item by item (each through the
  // new item's Assign).
  void Assign(const TCollection& source);

private:
  TPersistent* owner_;
  ItemFactory make_item_;
  std::vector<std::unique_ptr<TCollectionItem>> items_;
};

// The published collection property of class C.
template <class C, class L>
PropInfo CollectionProp(const std::string& name, L& (C::*get)()) {
  PropInfo p = ObjectProp<C, L>(name, get);
  p.kind = PropKind::Collection;
  return p;
}

}  // namespace forms
