// Small components for the stream and component tests: a root form with a
// published method and a widget with one property of every kind (a picture
// and an icon among them), which records each setter call and whether it
// came while loading.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classes.h"
#include "collection.h"
#include "graphics.h"

namespace forms_test {

using forms::TComponent;
using forms::TStringList;

// Every call the test components saw, in order ("Widget1.Count=3 loading").
std::vector<std::string>& Journal();

enum class Colour { Red, Green, Blue };

class TTestInfo : public forms::TPersistent {
  FORMS_CLASS(TTestInfo)
public:
  std::string Title() const { return title_; }
  void SetTitle(const std::string& title) { title_ = title; }

private:
  std::string title_ = "untitled";
};

// A collection item with a text and a reference.
class TTestRow : public forms::TCollectionItem {
  FORMS_CLASS(TTestRow)
public:
  void Assign(const forms::TPersistent& source) override;
  std::string Label() const { return label_; }
  void SetLabel(const std::string& label) { label_ = label; }
  TComponent* Target() const { return target_; }
  void SetTarget(TComponent* target) { target_ = target; }

private:
  std::string label_;
  TComponent* target_ = nullptr;
};

class TTestWidget : public TComponent {
  FORMS_CLASS(TTestWidget)
public:
  void Loaded() override;
  void AfterLoaded() override;
  void Notification(TComponent* component, forms::TOperation operation) override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  int32_t Count() const { return count_; }
  void SetCount(int32_t count);
  std::string Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  Colour Shade() const { return shade_; }
  void SetShade(Colour shade);
  uint32_t Colours() const { return colours_; }
  void SetColours(uint32_t colours);
  TTestWidget* Buddy() const { return buddy_; }
  void SetBuddy(TTestWidget* buddy);
  TStringList& Items() { return items_; }
  void SetItems(const TStringList& items);
  TTestInfo& Info() { return info_; }
  forms::TCollection& Rows() { return rows_; }
  forms::TPicture& Picture() { return picture_; }
  forms::TIcon& Icon() { return icon_; }
  void SetOnClick(std::function<void(TComponent*)> handler) { on_click_ = std::move(handler); }
  void Click() {
    if (on_click_) on_click_(this);
  }

private:
  void Record(const std::string& what);

  bool enabled_ = true;
  int32_t count_ = 7;
  std::string caption_;
  Colour shade_ = Colour::Green;
  uint32_t colours_ = 0;
  TTestWidget* buddy_ = nullptr;
  TStringList items_;
  TTestInfo info_;
  forms::TCollection rows_{this, [] { return std::make_unique<TTestRow>(); }};
  forms::TPicture picture_;
  forms::TIcon icon_;
  std::function<void(TComponent*)> on_click_;
};

class TTestForm : public TComponent {
  FORMS_CLASS(TTestForm)
public:
  void Loaded() override;
  void WidgetClicked(TComponent* sender);
  void WrongSignature(int value);
  std::vector<std::string> clicks;
};

// Registers the test classes for the stream reader.
void RegisterTestClasses();

}  // namespace forms_test
