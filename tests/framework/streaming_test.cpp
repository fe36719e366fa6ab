#include <gtest/gtest.h>

#include <cstring>

#include "framework/ClassBuilder.h"
#include "framework/Streaming.h"

using namespace fw;

namespace streamtest {

enum class TStyle { fsBold, fsItalic, fsUnderline };
enum class TKind { kdNone, kdLeft, kdRight };

class TTestFont : public TPersistent {
  FW_CLASS(TTestFont, TPersistent)
 public:
  int Height = -11;
  TSet<TStyle> Style;
  TColor Color = clWindowText;
};

class TTestItem;

class TTestItems : public TOwnedCollection {
  FW_CLASS(TTestItems, TOwnedCollection)
 public:
  TTestItems(TPersistent* Owner, const TClassInfo& ItemClass) : TOwnedCollection(Owner, ItemClass) {}
  std::vector<std::uint8_t> Table;
  void DefineProperties(TFiler& Filer) override {
    Filer.DefineBinaryProperty(
        "ColorTable",
        [this](TStream& s) {
          Table.assign(static_cast<std::size_t>(s.Size()), 0);
          if (!Table.empty()) s.ReadBuffer(Table.data(), s.Size());
        },
        [this](TStream& s) {
          if (!Table.empty()) s.WriteBuffer(Table.data(), static_cast<std::int64_t>(Table.size()));
        },
        !Table.empty());
  }
};

class TTestWidget;

class TTestItem : public TCollectionItem {
  FW_CLASS(TTestItem, TCollectionItem)
 public:
  explicit TTestItem(TCollection* c) : TCollectionItem(c), Children(this, StaticClass()) {}
  std::string Name;
  int Value = 0;
  TKind Kind = TKind::kdNone;
  TTestItems Children;
  TTestWidget* Target = nullptr;
  TTestItems* GetChildren() const { return const_cast<TTestItems*>(&Children); }
};

class TTestWidget : public TComponent {
  FW_CLASS(TTestWidget, TComponent)
 public:
  explicit TTestWidget(TComponent* AOwner) : TComponent(AOwner), Items(this, TTestItem::StaticClass()) {}
  int Width = 0;
  std::int64_t Big = 0;
  std::string Caption;
  bool enabled_ = false;
  bool enabled_while_loading_ = false;
  long double Ratio = 0;
  TTestFont Font;
  TTestItems Items;
  TTestWidget* Buddy = nullptr;
  TNotifyEvent OnClick;
  std::vector<std::uint8_t> Data;
  TComponent* parent_ = nullptr;
  // What Loaded saw.
  TTestWidget* buddy_at_loaded_ = nullptr;
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
  void SetBuddy(TTestWidget* b) {
    Buddy = b;
    if (b) b->FreeNotification(this);
  }
  TTestFont* GetFont() const { return const_cast<TTestFont*>(&Font); }
  TTestItems* GetItems() const { return const_cast<TTestItems*>(&Items); }

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
  }
  void DefineProperties(TFiler& Filer) override {
    Filer.DefineBinaryProperty(
        "Data",
        [this](TStream& s) {
          Data.assign(static_cast<std::size_t>(s.Size()), 0);
          if (!Data.empty()) s.ReadBuffer(Data.data(), s.Size());
        },
        [this](TStream& s) {
          if (!Data.empty()) s.WriteBuffer(Data.data(), static_cast<std::int64_t>(Data.size()));
        },
        !Data.empty());
  }
  void SetParentComponent(TComponent* p) override { parent_ = p; }
  TComponent* GetParentComponent() const override { return parent_; }
  bool HasParent() const override { return parent_ != nullptr && parent_ != Owner(); }
  void GetChildren(const std::function<void(TComponent*)>& Proc, TComponent* Root) override {
    for (int i = 0; i < Root->ComponentCount(); ++i) {
      auto* w = dynamic_cast<TTestWidget*>(Root->Components(i));
      if (w && w->parent_ == this) Proc(w);
    }
  }
};

class TTestForm : public TComponent {
  FW_CLASS(TTestForm, TComponent)
 public:
  explicit TTestForm(TComponent* AOwner) : TComponent(AOwner) {}
  TTestWidget* Button1 = nullptr;
  TTestWidget* Panel1 = nullptr;
  int clicks_ = 0;
  TObject* last_sender_ = nullptr;
  void Button1Click(TObject* Sender) {
    ++clicks_;
    last_sender_ = Sender;
  }
  void Wrong(int) {}
};

FW_REGISTER(TTestFont, [](TClassBuilder<TTestFont>& b) {
  b.Integer("Height", &TTestFont::Height, &TTestFont::Height);
  b.Set("Style", {"fsBold", "fsItalic", "fsUnderline"}, &TTestFont::Style, &TTestFont::Style).WithDefault(0);
  b.Color("Color", &TTestFont::Color, &TTestFont::Color).WithDefault(clWindowText);
})
FW_REGISTER(TTestItems, nullptr)
FW_REGISTER(TTestItem, [](TClassBuilder<TTestItem>& b) {
  b.String("Name", &TTestItem::Name, &TTestItem::Name);
  b.Integer("Value", &TTestItem::Value, &TTestItem::Value).WithDefault(0);
  b.Enum("Kind", {"kdNone", "kdLeft", "kdRight"}, &TTestItem::Kind, &TTestItem::Kind);
  b.Object("Children", &TTestItem::GetChildren).StoredIf([](const TPersistent& p) {
    return static_cast<const TTestItem&>(p).Children.Count() > 0;
  });
  b.Component("Target", &TTestItem::Target, &TTestItem::Target);
})
FW_REGISTER(TTestWidget, [](TClassBuilder<TTestWidget>& b) {
  b.Integer("Width", &TTestWidget::Width, &TTestWidget::Width).WithDefault(0);
  b.Integer("Big", &TTestWidget::Big, &TTestWidget::Big).WithDefault(0);
  b.String("Caption", &TTestWidget::Caption, &TTestWidget::Caption);
  b.Boolean("Enabled", &TTestWidget::Enabled, &TTestWidget::SetEnabled).WithDefault(0);
  b.Float("Ratio", &TTestWidget::Ratio, &TTestWidget::Ratio).WithDefault(0);
  b.Object("Font", &TTestWidget::GetFont);
  b.Object("Items", &TTestWidget::GetItems);
  b.Component("Buddy", &TTestWidget::Buddy, &TTestWidget::SetBuddy);
  b.Event("OnClick", &TTestWidget::OnClick);
})
FW_REGISTER(TTestForm, [](TClassBuilder<TTestForm>& b) {
  b.Field("Button1", &TTestForm::Button1);
  b.Field("Panel1", &TTestForm::Panel1);
  b.Method("Button1Click", &TTestForm::Button1Click);
  b.Method("Wrong", &TTestForm::Wrong);
})

}  // namespace streamtest

using namespace streamtest;

namespace {

const char* kFormText = R"(object Form1: TTestForm
  object Panel1: TTestWidget
    Width = 300
    Caption = 'Панель'
    Font.Height = -13
    Font.Style = [fsBold, fsUnderline]
    Font.Color = clRed
    Items.ColorTable = {
      00010203}
    Items = <
      item
        Name = 'first'
        Value = 5
        Kind = kdLeft
        Target = Button1
        Children = <
          item
            Name = 'inner'
            Kind = kdRight
          end>
      end
      item
        Kind = kdNone
      end>
    object Button1: TTestWidget
      Width = -70000
      Big = 5000000000
      Caption = 'It''s'#13#10'OK'
      Enabled = True
      Ratio = 1.5
      Font.Height = -11
      Items = <>
      Buddy = Panel1
      OnClick = Button1Click
      Data = {
        DEADBEEF}
    end
  end
end
)";

std::string Bytes(TMemoryStream& s) {
  return std::string(static_cast<const char*>(s.Memory()), static_cast<std::size_t>(s.Size()));
}

}  // namespace

TEST(StreamingRoot, BuildsAFormFromItsTextDescription) {
  auto form = MakeOwned<TTestForm>(nullptr);
  ReadRootComponentText(*form, kFormText);
  EXPECT_EQ(form->Name(), "Form1");
  ASSERT_NE(form->Panel1, nullptr);
  ASSERT_NE(form->Button1, nullptr);
  TTestWidget& p = *form->Panel1;
  TTestWidget& b = *form->Button1;
  EXPECT_EQ(form->ComponentCount(), 2);
  EXPECT_EQ(b.Owner(), form.get());
  EXPECT_EQ(b.parent_, &p);
  EXPECT_EQ(p.parent_, form.get());
  EXPECT_EQ(p.Width, 300);
  EXPECT_EQ(p.Caption, "Панель");
  EXPECT_EQ(p.Font.Height, -13);
  EXPECT_EQ(p.Font.Style, (TSet<TStyle>{TStyle::fsBold, TStyle::fsUnderline}));
  EXPECT_EQ(p.Font.Color, clRed);
  EXPECT_EQ(p.Items.Table, (std::vector<std::uint8_t>{0, 1, 2, 3}));
  ASSERT_EQ(p.Items.Count(), 2);
  auto* first = static_cast<TTestItem*>(p.Items.Items(0));
  EXPECT_EQ(first->Name, "first");
  EXPECT_EQ(first->Value, 5);
  EXPECT_EQ(first->Kind, TKind::kdLeft);
  EXPECT_EQ(first->Target, &b);  // a reference to a component read later
  ASSERT_EQ(first->Children.Count(), 1);
  EXPECT_EQ(static_cast<TTestItem*>(first->Children.Items(0))->Name, "inner");
  EXPECT_EQ(static_cast<TTestItem*>(first->Children.Items(0))->Kind, TKind::kdRight);
  EXPECT_EQ(b.Width, -70000);
  EXPECT_EQ(b.Big, 5000000000);
  EXPECT_EQ(b.Caption, "It's\r\nOK");
  EXPECT_EQ(b.Ratio, 1.5L);
  EXPECT_EQ(b.Buddy, &p);
  EXPECT_EQ(b.Data, (std::vector<std::uint8_t>{0xDE, 0xAD, 0xBE, 0xEF}));
  ASSERT_TRUE(static_cast<bool>(b.OnClick));
  EXPECT_EQ(b.OnClick.MethodName(), "Button1Click");
  b.OnClick(&b);
  EXPECT_EQ(form->clicks_, 1);
  EXPECT_EQ(form->last_sender_, &b);
}

TEST(StreamingRoot, LoadedComesAfterReferencesAndEndsLoading) {
  auto form = MakeOwned<TTestForm>(nullptr);
  ReadRootComponentText(*form, kFormText);
  TTestWidget& b = *form->Button1;
  EXPECT_EQ(b.loaded_calls_, 1);
  EXPECT_EQ(b.buddy_at_loaded_, form->Panel1);
  EXPECT_TRUE(b.state_at_loaded_.Contains(csLoading));
  EXPECT_FALSE(b.state_at_loaded_.Contains(csReading));
  EXPECT_TRUE(b.enabled_while_loading_);
  EXPECT_TRUE(b.Enabled());  // took effect only in Loaded
  for (TComponent* c : {static_cast<TComponent*>(form.get()), static_cast<TComponent*>(&b)}) {
    EXPECT_FALSE(c->ComponentState().Contains(csLoading));
    EXPECT_FALSE(c->ComponentState().Contains(csReading));
  }
}

TEST(StreamingRoundTrip, TextToObjectsToBinaryToObjectsToTextIsStable) {
  auto form = MakeOwned<TTestForm>(nullptr);
  ReadRootComponentText(*form, kFormText);
  const std::string text1 = ComponentToText(*form);

  TMemoryStream binary;
  WriteComponent(binary, *form);
  binary.SetPosition(0);
  auto again = MakeOwned<TTestForm>(nullptr);
  ReadRootComponent(*again, binary);
  const std::string text2 = ComponentToText(*again);
  EXPECT_EQ(text1, text2);

  auto third = MakeOwned<TTestForm>(nullptr);
  ReadRootComponentText(*third, text2);
  EXPECT_EQ(ComponentToText(*third), text1);
  // The binary form converts to the same text and back to the same bytes.
  EXPECT_EQ(ObjectBinaryToText(Bytes(binary)), text1);
  EXPECT_EQ(ObjectTextToBinary(text1), Bytes(binary));
}

