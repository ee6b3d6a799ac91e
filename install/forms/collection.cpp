#include "collection.h"

namespace forms {

const ClassInfo& TCollectionItem::StaticClass() {
  static const ClassInfo info{"TCollectionItem", &TPersistent::StaticClass()};
  return info;
}

void TCollectionItem::Assign(const TPersistent& source) {
  throw EConvertError(Format("Cannot assign a %s to a %s", {source.ClassName(), ClassName()}));
}

const ClassInfo& TCollection::StaticClass() {
  static const ClassInfo info{"TCollection", &TPersistent::StaticClass()};
  return info;
}

TCollectionItem* TCollection::Add() {
  std::unique_ptr<TCollectionItem> item = make_item_();
  item->collection_ = this;
  items_.push_back(std::move(item));
  return items_.back().get();
}

TCollectionItem* TCollection::Items(int index) const {
  if (index < 0 || index >= Count())
    throw EConvertError(Format("List index out of bounds (%d)", {int64_t{index}}));
  return items_[static_cast<size_t>(index)].get();
}

void TCollection::Assign(const TCollection& source) {
  if (&source == this) return;
  Clear();
  for (const auto& item : source.items_) Add()->Assign(*item);
}

}  // namespace forms
