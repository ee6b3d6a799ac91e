#include "widgets.h"

namespace forms_test {

using namespace forms;

std::vector<std::string>& Journal() {
  static std::vector<std::string> journal;
  return journal;
}

const ClassInfo& TTestInfo::StaticClass() {
  static const ClassInfo info{"TTestInfo", &TPersistent::StaticClass(), nullptr,
                              {StringProp<TTestInfo>("Title", &TTestInfo::Title, &TTestInfo::SetTitle)}};
  return info;
}

const ClassInfo& TTestRow::StaticClass() {
  static const ClassInfo info{"TTestRow", &TCollectionItem::StaticClass(), nullptr,
                              {StringProp<TTestRow>("Label", &TTestRow::Label, &TTestRow::SetLabel),
                               ComponentProp<TTestRow, TComponent>("Target", &TTestRow::Target, &TTestRow::SetTarget)}};
  return info;
}

void TTestRow::Assign(const TPersistent& source) {
  const auto* row = dynamic_cast<const TTestRow*>(&source);
  if (!row) return TCollectionItem::Assign(source);
  label_ = row->label_;
  target_ = row->target_;
}

const ClassInfo& TTestWidget::StaticClass() {
  static const ClassInfo info{
      "TTestWidget",
      &TComponent::StaticClass(),
      [](TComponent* owner) -> TComponent* { return New<TTestWidget>(owner); },
      {BoolProp<TTestWidget>("Enabled", &TTestWidget::Enabled, &TTestWidget::SetEnabled, true),
       IntProp<TTestWidget>("Count", &TTestWidget::Count, &TTestWidget::SetCount, 7),
       StringProp<TTestWidget>("Caption", &TTestWidget::Caption, &TTestWidget::SetCaption),
       EnumProp<TTestWidget, Colour>("Shade", {"clRed", "clGreen", "clBlue"}, &TTestWidget::Shade,
                                     &TTestWidget::SetShade, Colour::Green),
       SetOfProp<TTestWidget, uint32_t>("Colours", {"clRed", "clGreen", "clBlue"},
                                      &TTestWidget::Colours, &TTestWidget::SetColours, 0u),
       ComponentProp<TTestWidget, TTestWidget>("Buddy", &TTestWidget::Buddy, &TTestWidget::SetBuddy),
       StringsProp<TTestWidget, TStringList>("Items", &TTestWidget::Items, &TTestWidget::SetItems),
       ObjectProp<TTestWidget, TTestInfo>("Info", &TTestWidget::Info),
       CollectionProp<TTestWidget, TCollection>("Rows", &TTestWidget::Rows),
       ObjectProp<TTestWidget, forms::TPicture>("Picture", &TTestWidget::Picture),
       ObjectProp<TTestWidget, forms::TIcon>("Icon", &TTestWidget::Icon),
       EventProp<TTestWidget, void(TComponent*)>("OnClick", &TTestWidget::SetOnClick)}};
  return info;
}

void TTestWidget::Record(const std::string& what) {
  Journal().push_back(Name() + "." + what + (Loading() ? " loading" : ""));
}

void TTestWidget::Loaded() {
  Record("Loaded");
  TComponent::Loaded();
}

void TTestWidget::AfterLoaded() { Record("AfterLoaded"); }

void TTestWidget::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == buddy_) buddy_ = nullptr;
}

void TTestWidget::SetEnabled(bool enabled) {
  enabled_ = enabled;
  Record(std::string("Enabled=") + (enabled ? "True" : "False"));
}

void TTestWidget::SetCount(int32_t count) {
  count_ = count;
  Record("Count=" + std::to_string(count));
}

void TTestWidget::SetCaption(const std::string& caption) {
  caption_ = caption;
  Record("Caption=" + caption);
}

void TTestWidget::SetShade(Colour shade) {
  shade_ = shade;
  Record("Shade=" + std::to_string(static_cast<int>(shade)));
}

void TTestWidget::SetColours(uint32_t colours) {
  colours_ = colours;
  Record("Colours=" + std::to_string(colours));
}

void TTestWidget::SetBuddy(TTestWidget* buddy) {
  buddy_ = buddy;
  if (buddy) buddy->FreeNotification(this);
  Record("Buddy=" + (buddy ? buddy->Name() : std::string("nil")));
}

void TTestWidget::SetItems(const TStringList& items) {
  items_.Assign(items);
  Record("Items=" + std::to_string(items.Count()));
}

const ClassInfo& TTestForm::StaticClass() {
  static const ClassInfo info{
      "TTestForm",
      &TComponent::StaticClass(),
      nullptr,
      {},
      {PublishedMethod<TTestForm, void(TComponent*)>("WidgetClicked", &TTestForm::WidgetClicked),
       PublishedMethod<TTestForm, void(int)>("WrongSignature", &TTestForm::WrongSignature)}};
  return info;
}

void TTestForm::Loaded() {
  Journal().push_back(Name() + ".Loaded" + (Loading() ? " loading" : ""));
  TComponent::Loaded();
}

void TTestForm::WidgetClicked(TComponent* sender) { clicks.push_back(sender->Name()); }

void TTestForm::WrongSignature(int) {}

void RegisterTestClasses() { RegisterStreamClass(TTestWidget::StaticClass()); }

}  // namespace forms_test
