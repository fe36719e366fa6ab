#pragma once
// A small form with one of every kind of stored property, for the component-stream tests, the
// stream fuzz targets, the program that writes their seed inputs and the stream benchmark.
// The class, property and enumeration names are stored in the committed fuzz inputs
// (fuzz/corpus/stream_*): renaming one makes those inputs stop reaching the code they were kept for.
// FW_REGISTER defines the class records here, so include this header in one source file per program.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/ClassBuilder.h"
#include "framework/Streaming.h"

namespace streamclasses {

using namespace fw;

enum class TFuzzStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
enum class TFuzzKind { fkNone, fkLeft, fkRight };

class TFuzzFont : public TPersistent {
  FW_CLASS(TFuzzFont, TPersistent)
 public:
  int Height = -11;  // no default: always written
  TSet<TFuzzStyle> Style;
  TColor Color = clWindowText;
  std::string Name;  // empty by default: empty strings are not stored
};

// The stored size of a colour table.
inline constexpr std::size_t kColorTableSize = 1024;

class TFuzzItems : public TOwnedCollection {
  FW_CLASS(TFuzzItems, TOwnedCollection)
 public:
  TFuzzItems(TPersistent* Owner, const TClassInfo& ItemClass) : TOwnedCollection(Owner, ItemClass) {}
  std::vector<std::uint8_t> Table;
  void DefineProperties(TFiler& Filer) override {
    // Read like a colour table: exactly its size, so a shorter value fails inside the reader
    // and the rest of a longer one is left unread.
    Filer.DefineBinaryProperty(
        "ColorTable",
        [this](TStream& s) {
          Table.assign(kColorTableSize, 0);
          s.ReadBuffer(Table.data(), static_cast<std::int64_t>(kColorTableSize));
        },
        [this](TStream& s) { s.WriteBuffer(Table.data(), static_cast<std::int64_t>(Table.size())); },
        !Table.empty());
  }
};

class TFuzzWidget;

class TFuzzItem : public TCollectionItem {
  FW_CLASS(TFuzzItem, TCollectionItem)
 public:
  explicit TFuzzItem(TCollection* c) : TCollectionItem(c), Children(this, StaticClass()) {}
  std::string Name;
  int Value = 0;
  TFuzzKind Kind = TFuzzKind::fkNone;
  TFuzzFont Font;
  TFuzzItems Children;
  TFuzzWidget* Target = nullptr;
  TFuzzItems* GetChildren() const { return const_cast<TFuzzItems*>(&Children); }
  TFuzzFont* GetFont() const { return const_cast<TFuzzFont*>(&Font); }
};

class TFuzzWidget : public TComponent {
  FW_CLASS(TFuzzWidget, TComponent)
 public:
  explicit TFuzzWidget(TComponent* AOwner) : TComponent(AOwner), Items(this, TFuzzItem::StaticClass()) {}
  ~TFuzzWidget() override { SetBuddy(nullptr); }
  int Width = 0;
  std::int64_t Big = 0;
  std::string Caption;
  long double Ratio = 0;
  TFuzzFont Font;
  TFuzzItems Items;
  TFuzzWidget* Buddy = nullptr;
  TNotifyEvent OnClick;
  std::vector<std::uint8_t> Data;
  std::vector<std::int32_t> Values;
  TComponent* Parent = nullptr;
  bool enabled_ = false;
  bool enabled_while_loading_ = false;
  // What Loaded saw.
  TFuzzWidget* buddy_at_loaded_ = nullptr;
  int loaded_calls_ = 0;
  TComponentState state_at_loaded_;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v) {
    // Like a timer: a stored True takes effect when loading ends.
    if (ComponentState().Contains(csLoading))
      enabled_while_loading_ = v;
    else
      enabled_ = v;
  }
  void SetBuddy(TFuzzWidget* b) {
    if (Buddy) Buddy->RemoveFreeNotification(this);
    Buddy = b;
    if (b) b->FreeNotification(this);
  }
  TFuzzFont* GetFont() const { return const_cast<TFuzzFont*>(&Font); }
  TFuzzItems* GetItems() const { return const_cast<TFuzzItems*>(&Items); }

  void Loaded() override {
    state_at_loaded_ = ComponentState();
    TComponent::Loaded();
    ++loaded_calls_;
    buddy_at_loaded_ = Buddy;
    if (enabled_while_loading_) enabled_ = true;
  }
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == opRemove && c == Buddy) Buddy = nullptr;
    if (op == opRemove && c == Parent) Parent = nullptr;
  }
  void DefineProperties(TFiler& Filer) override {
    auto read_data = [this](TStream& s) {
      Data.assign(static_cast<std::size_t>(s.Size()), 0);
      if (!Data.empty()) s.ReadBuffer(Data.data(), s.Size());
    };
    Filer.DefineBinaryProperty(
        "Data", read_data,
        [this](TStream& s) {
          if (!Data.empty()) s.WriteBuffer(Data.data(), static_cast<std::int64_t>(Data.size()));
        },
        !Data.empty());
    // An older name, still read, never written.
    Filer.DefineBinaryProperty("OldData", read_data, nullptr, false);
    Filer.DefineProperty(
        "Values",
        [this](TReader& r) {
          Values.clear();
          r.ReadListBegin();
          while (!r.EndOfList()) Values.push_back(r.ReadInteger());
          r.ReadListEnd();
        },
        [this](TWriter& w) {
          w.WriteListBegin();
          for (std::int32_t v : Values) w.WriteInteger(v);
          w.WriteListEnd();
        },
        !Values.empty());
  }
  void SetParentComponent(TComponent* p) override {
    Parent = p;
    if (p) p->FreeNotification(this);
  }
  TComponent* GetParentComponent() const override { return Parent; }
  bool HasParent() const override { return Parent != nullptr && Parent != Owner(); }
  void GetChildren(const std::function<void(TComponent*)>& Proc, TComponent* Root) override {
    for (int i = 0; i < Root->ComponentCount(); ++i) {
      auto* w = dynamic_cast<TFuzzWidget*>(Root->Components(i));
      if (w && w->Parent == this && w != this) Proc(w);
    }
  }
};

class TFuzzForm : public TComponent {
  FW_CLASS(TFuzzForm, TComponent)
 public:
  explicit TFuzzForm(TComponent* AOwner) : TComponent(AOwner) {}
  TFuzzWidget* Button1 = nullptr;
  TFuzzWidget* Panel1 = nullptr;
  std::string Caption;
  int clicks_ = 0;
  TObject* last_sender_ = nullptr;
  void Button1Click(TObject* Sender) {
    ++clicks_;
    last_sender_ = Sender;
  }
  void Other(TObject*) {}
  void Wrong(int) {}  // published, but not of the event's shape
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == opRemove && c == Button1) Button1 = nullptr;
    if (op == opRemove && c == Panel1) Panel1 = nullptr;
  }
};

inline const std::vector<std::string> kStyles = {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};
inline const std::vector<std::string> kKinds = {"fkNone", "fkLeft", "fkRight"};

FW_REGISTER(TFuzzFont, [](TClassBuilder<TFuzzFont>& b) {
  b.Integer("Height", &TFuzzFont::Height, &TFuzzFont::Height);
  b.Set("Style", kStyles, &TFuzzFont::Style, &TFuzzFont::Style).WithDefault(0);
  b.Color("Color", &TFuzzFont::Color, &TFuzzFont::Color).WithDefault(clWindowText);
  b.String("Name", &TFuzzFont::Name, &TFuzzFont::Name);
})
FW_REGISTER(TFuzzItems, nullptr)
FW_REGISTER(TFuzzItem, [](TClassBuilder<TFuzzItem>& b) {
  b.String("Name", &TFuzzItem::Name, &TFuzzItem::Name);
  b.Integer("Value", &TFuzzItem::Value, &TFuzzItem::Value).WithDefault(0);
  b.Enum("Kind", kKinds, &TFuzzItem::Kind, &TFuzzItem::Kind);
  b.Object("Font", &TFuzzItem::GetFont);
  b.Object("Children", &TFuzzItem::GetChildren).StoredIf([](const TPersistent& p) {
    return static_cast<const TFuzzItem&>(p).Children.Count() > 0;
  });
  b.Component("Target", &TFuzzItem::Target, &TFuzzItem::Target);
})
FW_REGISTER(TFuzzWidget, [](TClassBuilder<TFuzzWidget>& b) {
  b.Integer("Width", &TFuzzWidget::Width, &TFuzzWidget::Width).WithDefault(0);
  b.Integer("Big", &TFuzzWidget::Big, &TFuzzWidget::Big).WithDefault(0);
  b.String("Caption", &TFuzzWidget::Caption, &TFuzzWidget::Caption);
  b.Boolean("Enabled", &TFuzzWidget::Enabled, &TFuzzWidget::SetEnabled).WithDefault(0);
  b.Float("Ratio", &TFuzzWidget::Ratio, &TFuzzWidget::Ratio).WithDefault(0);
  b.Object("Font", &TFuzzWidget::GetFont);
  b.Object("Items", &TFuzzWidget::GetItems);
  b.Component("Buddy", &TFuzzWidget::Buddy, &TFuzzWidget::SetBuddy);
  b.Event("OnClick", &TFuzzWidget::OnClick);
})
FW_REGISTER(TFuzzForm, [](TClassBuilder<TFuzzForm>& b) {
  b.String("Caption", &TFuzzForm::Caption, &TFuzzForm::Caption);
  b.Field("Button1", &TFuzzForm::Button1);
  b.Field("Panel1", &TFuzzForm::Panel1);
  b.Method("Button1Click", &TFuzzForm::Button1Click);
  b.Method("Other", &TFuzzForm::Other);
  b.Method("Wrong", &TFuzzForm::Wrong);
})

}  // namespace streamclasses
