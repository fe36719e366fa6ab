#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "framework/ClassBuilder.h"
#include "framework/Streaming.h"
#include "tests/support/StreamClasses.h"

using namespace fw;

using namespace streamclasses;

// The classes only these tests use.
namespace streamtest {}
using namespace streamtest;

namespace {

// A colour table in which every byte differs from its neighbours and each quarter from the others.
std::vector<std::uint8_t> SampleColorTable() {
  std::vector<std::uint8_t> table(kColorTableSize);
  for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
  return table;
}

std::string HexLines(const std::vector<std::uint8_t>& bytes, const char* indent) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i % 32 == 0) text += std::string("\n") + indent;
    text += kHex[bytes[i] >> 4];
    text += kHex[bytes[i] & 15];
  }
  return text;
}

const std::string kFormText = R"(object Form1: TFuzzForm
  Caption = 'Параметри'
  object Panel1: TFuzzWidget
    Width = 300
    Caption = 'Панель'
    Font.Height = -13
    Font.Style = [fsBold, fsUnderline]
    Font.Color = clRed
    Items.ColorTable = {)" + HexLines(SampleColorTable(), "      ") + R"(}
    Items = <
      item
        Name = 'first'
        Value = 5
        Kind = fkLeft
        Font.Color = clBtnFace
        Target = Button1
        Children = <
          item
            Name = 'inner'
            Kind = fkRight
          end>
      end
      item
        Kind = fkNone
      end>
    object Button1: TFuzzWidget
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
      Values = (
        1
        -200
        70000)
    end
  end
end
)";

std::string Bytes(TMemoryStream& s) {
  return std::string(static_cast<const char*>(s.Memory()), static_cast<std::size_t>(s.Size()));
}

}  // namespace

TEST(StreamingRoot, BuildsAFormFromItsTextDescription) {
  auto form = MakeOwned<TFuzzForm>(nullptr);
  ReadRootComponentText(*form, kFormText);
  EXPECT_EQ(form->Name(), "Form1");
  ASSERT_NE(form->Panel1, nullptr);
  ASSERT_NE(form->Button1, nullptr);
  TFuzzWidget& p = *form->Panel1;
  TFuzzWidget& b = *form->Button1;
  EXPECT_EQ(form->ComponentCount(), 2);
  EXPECT_EQ(b.Owner(), form.get());
  EXPECT_EQ(b.Parent, &p);
  EXPECT_EQ(p.Parent, form.get());
  EXPECT_EQ(p.Width, 300);
  EXPECT_EQ(p.Caption, "Панель");
  EXPECT_EQ(p.Font.Height, -13);
  EXPECT_EQ(p.Font.Style, (TSet<TFuzzStyle>{TFuzzStyle::fsBold, TFuzzStyle::fsUnderline}));
  EXPECT_EQ(p.Font.Color, clRed);
  EXPECT_EQ(form->Caption, "Параметри");
  EXPECT_EQ(p.Items.Table, SampleColorTable());
  ASSERT_EQ(p.Items.Count(), 2);
  auto* first = static_cast<TFuzzItem*>(p.Items.Items(0));
  EXPECT_EQ(first->Name, "first");
  EXPECT_EQ(first->Value, 5);
  EXPECT_EQ(first->Kind, TFuzzKind::fkLeft);
  EXPECT_EQ(first->Font.Color, clBtnFace);
  EXPECT_EQ(first->Font.Height, -11);
  EXPECT_EQ(first->Target, &b);  // a reference to a component read later
  ASSERT_EQ(first->Children.Count(), 1);
  EXPECT_EQ(static_cast<TFuzzItem*>(first->Children.Items(0))->Name, "inner");
  EXPECT_EQ(static_cast<TFuzzItem*>(first->Children.Items(0))->Kind, TFuzzKind::fkRight);
  EXPECT_EQ(b.Width, -70000);
  EXPECT_EQ(b.Big, 5000000000);
  EXPECT_EQ(b.Caption, "It's\r\nOK");
  EXPECT_EQ(b.Ratio, 1.5L);
  EXPECT_EQ(b.Buddy, &p);
  EXPECT_EQ(b.Data, (std::vector<std::uint8_t>{0xDE, 0xAD, 0xBE, 0xEF}));
  EXPECT_EQ(b.Values, (std::vector<std::int32_t>{1, -200, 70000}));
  ASSERT_TRUE(static_cast<bool>(b.OnClick));
  EXPECT_EQ(b.OnClick.MethodName(), "Button1Click");
  b.OnClick(&b);
  EXPECT_EQ(form->clicks_, 1);
  EXPECT_EQ(form->last_sender_, &b);
}

TEST(StreamingRoot, LoadedComesAfterReferencesAndEndsLoading) {
  auto form = MakeOwned<TFuzzForm>(nullptr);
  ReadRootComponentText(*form, kFormText);
  TFuzzWidget& b = *form->Button1;
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
  auto form = MakeOwned<TFuzzForm>(nullptr);
  ReadRootComponentText(*form, kFormText);
  const std::string text1 = ComponentToText(*form);

  TMemoryStream binary;
  WriteComponent(binary, *form);
  binary.SetPosition(0);
  auto again = MakeOwned<TFuzzForm>(nullptr);
  ReadRootComponent(*again, binary);
  const std::string text2 = ComponentToText(*again);
  EXPECT_EQ(text1, text2);

  auto third = MakeOwned<TFuzzForm>(nullptr);
  ReadRootComponentText(*third, text2);
  EXPECT_EQ(ComponentToText(*third), text1);
  // The binary form converts to the same text and back to the same bytes.
  EXPECT_EQ(ObjectBinaryToText(Bytes(binary)), text1);
  EXPECT_EQ(ObjectTextToBinary(text1), Bytes(binary));
}


// ---------------------------------------------------------------------------------------------
// A holder whose collection nests items recursively, stored with the resource header.

namespace streamtest {

enum class TEffectKind { etNone, etConstantForce, etPeriodic, etCondition };

class TTestEffectItem : public TCollectionItem {
  FW_CLASS(TTestEffectItem, TCollectionItem)
 public:
  explicit TTestEffectItem(TCollection* c) : TCollectionItem(c), Effects(this, StaticClass()) {}
  std::string Name;
  TEffectKind EffectType = TEffectKind::etNone;
  int AttackLevel = 0, Period = 0, Power = 0, Time = 0, StartDelayTime = 0;
  TOwnedCollection Effects;
  TOwnedCollection* GetEffects() const { return const_cast<TOwnedCollection*>(&Effects); }
};

class TTestEffectHolder : public TComponent {
  FW_CLASS(TTestEffectHolder, TComponent)
 public:
  explicit TTestEffectHolder(TComponent* AOwner)
      : TComponent(AOwner), Effects(this, TTestEffectItem::StaticClass()) {}
  TOwnedCollection Effects;
  TOwnedCollection* GetEffects() const { return const_cast<TOwnedCollection*>(&Effects); }
};

FW_REGISTER(TTestEffectItem, [](TClassBuilder<TTestEffectItem>& b) {
  b.String("Name", &TTestEffectItem::Name, &TTestEffectItem::Name);
  b.Enum("EffectType", {"etNone", "etConstantForce", "etPeriodic", "etCondition"}, &TTestEffectItem::EffectType,
         &TTestEffectItem::EffectType);
  b.Integer("AttackLevel", &TTestEffectItem::AttackLevel, &TTestEffectItem::AttackLevel).WithDefault(0);
  b.Integer("Period", &TTestEffectItem::Period, &TTestEffectItem::Period);
  b.Integer("Power", &TTestEffectItem::Power, &TTestEffectItem::Power);
  b.Integer("Time", &TTestEffectItem::Time, &TTestEffectItem::Time);
  b.Integer("StartDelayTime", &TTestEffectItem::StartDelayTime, &TTestEffectItem::StartDelayTime);
  b.Object("Effects", &TTestEffectItem::GetEffects).StoredIf([](const TPersistent& p) {
    return static_cast<const TTestEffectItem&>(p).Effects.Count() > 0;
  });
})
FW_REGISTER(TTestEffectHolder, [](TClassBuilder<TTestEffectHolder>& b) {
  b.Object("Effects", &TTestEffectHolder::GetEffects);
})

}  // namespace streamtest

namespace {

TTestEffectItem* AddEffect(TCollection& c, const char* name, TEffectKind kind, int period, int power, int time) {
  auto* i = static_cast<TTestEffectItem*>(c.Add());
  i->Name = name;
  i->EffectType = kind;
  i->Period = period;
  i->Power = power;
  i->Time = time;
  return i;
}

std::string Str(const std::string& s) { return std::string(1, static_cast<char>(s.size())) + s; }

}  // namespace

TEST(StreamingResource, HeaderAndObjectStreamAreExact) {
  auto holder = MakeOwned<TTestEffectHolder>(nullptr);
  holder->SetName("_1");
  AddEffect(holder->Effects, "Effects", TEffectKind::etNone, 50, 10000, 1000);
  TMemoryStream s;
  WriteComponentRes(s, "SprixForceFeedbackEffect", *holder);
  const std::string bytes = Bytes(s);

  const std::string body = std::string("TPF0") + Str("TTestEffectHolder") + Str("_1") + Str("Effects") + "\x0E" +
                           "\x01" + Str("Name") + "\x06" + Str("Effects") + Str("EffectType") + "\x07" +
                           Str("etNone") + Str("Period") + "\x02\x32" + Str("Power") + "\x03\x10\x27" + Str("Time") +
                           "\x03\xE8\x03" + Str("StartDelayTime") + std::string("\x02\x00", 2) +
                           std::string(4, '\0');
  std::string header = std::string("\xFF\x0A\x00", 3) + "SPRIXFORCEFEEDBACKEFFECT" + std::string(1, '\0') + "\x30\x10";
  const auto n = static_cast<std::uint32_t>(body.size());
  header += std::string{static_cast<char>(n), static_cast<char>(n >> 8), static_cast<char>(n >> 16),
                        static_cast<char>(n >> 24)};
  EXPECT_EQ(bytes, header + body);
}

TEST(StreamingResource, NestedCollectionsRoundTripIntoAHolderOfAnyName) {
  auto holder = MakeOwned<TTestEffectHolder>(nullptr);
  holder->SetName("_1");
  auto* root = AddEffect(holder->Effects, "Effects", TEffectKind::etNone, 50, 10000, 1000);
  auto* eff1 = AddEffect(root->Effects, "eff1", TEffectKind::etPeriodic, 30, 10000, 50);
  AddEffect(eff1->Effects, "deep", TEffectKind::etCondition, 1, 2, 3)->AttackLevel = -5;
  AddEffect(root->Effects, "eff2", TEffectKind::etConstantForce, 0, 0, -1);
  TMemoryStream s;
  WriteComponentRes(s, "SprixForceFeedbackEffect", *holder);
  s.WriteBuffer("tail", 4);
  s.SetPosition(0);

  auto other = MakeOwned<TTestEffectHolder>(nullptr);
  other->SetName("Keeper");
  AddEffect(other->Effects, "stale", TEffectKind::etNone, 0, 0, 0);
  ReadComponentRes(s, *other);
  EXPECT_EQ(other->Name(), "Keeper");
  EXPECT_EQ(s.Position(), s.Size() - 4);  // exactly the announced length was taken
  ASSERT_EQ(other->Effects.Count(), 1);
  auto* r = static_cast<TTestEffectItem*>(other->Effects.Items(0));
  EXPECT_EQ(r->Name, "Effects");
  EXPECT_EQ(r->Time, 1000);
  ASSERT_EQ(r->Effects.Count(), 2);
  auto* e1 = static_cast<TTestEffectItem*>(r->Effects.Items(0));
  EXPECT_EQ(e1->Name, "eff1");
  EXPECT_EQ(e1->EffectType, TEffectKind::etPeriodic);
  EXPECT_EQ(e1->Period, 30);
  ASSERT_EQ(e1->Effects.Count(), 1);
  auto* deep = static_cast<TTestEffectItem*>(e1->Effects.Items(0));
  EXPECT_EQ(deep->AttackLevel, -5);
  EXPECT_EQ(deep->EffectType, TEffectKind::etCondition);
  EXPECT_EQ(static_cast<TTestEffectItem*>(r->Effects.Items(1))->Time, -1);
  EXPECT_EQ(ComponentToText(*other).substr(0, 33), "object Keeper: TTestEffectHolder\n");
}

TEST(StreamingResource, MalformedHeadersAreRefused) {
  auto holder = MakeOwned<TTestEffectHolder>(nullptr);
  TMemoryStream good;
  WriteComponentRes(good, "X", *holder);
  std::string bytes = Bytes(good);
  auto expect_error = [&](std::string data, const char* message) {
    TBytesStream in(data.data(), data.size());
    try {
      ReadComponentRes(in, *holder);
      ADD_FAILURE() << "accepted";
    } catch (const EReadError& e) {
      EXPECT_EQ(e.Message(), message);
    }
  };
  std::string wrong_type = bytes;
  wrong_type[1] = 11;
  expect_error(wrong_type, "Invalid stream format");
  std::string too_long = bytes;
  too_long[10] = '\x7F';  // length far beyond the data
  expect_error(too_long, "Stream read error");
  expect_error(bytes.substr(0, 3), "Stream read error");
  expect_error(std::string("\xFF\x0A\x00", 3) + std::string(2000, 'A'), "Invalid stream format");
  // The object inside must end within the announced length.
  std::string short_len = bytes;
  short_len[7] = static_cast<char>(short_len[7] - 1);
  expect_error(short_len, "Stream read error");
}

// ---------------------------------------------------------------------------------------------
// Bad input

namespace {

// Reads the text into a fresh form; returns the error message ("" when it was accepted) and
// checks that a failed read left nothing behind.
std::string ReadError(const std::string& text) {
  auto form = MakeOwned<TFuzzForm>(nullptr);
  try {
    ReadRootComponentText(*form, text);
  } catch (const Exception& e) {
    EXPECT_EQ(form->ComponentCount(), 0) << text;
    EXPECT_EQ(form->Button1, nullptr);
    EXPECT_EQ(form->Panel1, nullptr);
    EXPECT_FALSE(form->ComponentState().Contains(csLoading));
    EXPECT_FALSE(form->ComponentState().Contains(csReading));
    return e.Message();
  }
  return "";
}

std::string WithButton(const std::string& props) {
  return "object Form1: TFuzzForm\n  object Panel1: TFuzzWidget\n  end\n  object Button1: TFuzzWidget\n" + props +
         "\n  end\nend\n";
}

}  // namespace

TEST(StreamingErrors, NameWhatIsMissingAndFreeWhatWasCreated) {
  EXPECT_EQ(ReadError(WithButton("Bogus = 1")), "Property Bogus does not exist");
  EXPECT_EQ(ReadError(WithButton("Font.Bogus = 1")), "Property Font.Bogus does not exist");
  EXPECT_EQ(ReadError(WithButton("Width.Bogus = 1")), "Property Width.Bogus does not exist");
  EXPECT_EQ(ReadError(WithButton("OnClick = NoSuchHandler")), "Handler NoSuchHandler not found");
  EXPECT_EQ(ReadError(WithButton("OnClick = Wrong")), "Handler Wrong does not match event OnClick");
  EXPECT_EQ(ReadError(WithButton("Buddy = Nobody")), "Component Nobody not found");
  EXPECT_EQ(ReadError("object Form1: TFuzzForm\n object X: TNoSuchClass\n end\nend"), "Class TNoSuchClass not found");
  EXPECT_EQ(ReadError("object Form1: TFuzzForm\n object Button1: TComponent\n end\nend"),
            "Field Button1 is not a TFuzzWidget");
  EXPECT_EQ(ReadError("object Form1: TFuzzForm\n object A: TFuzzWidget\n end\n object a: TFuzzWidget\n end\nend"),
            "A component named a already exists");
  EXPECT_EQ(ReadError("object Form1: TFuzzWidget\nend"), "Invalid stream format");
  EXPECT_EQ(ReadError("hello"), "Invalid stream format");
  EXPECT_EQ(ReadError(""), "Invalid stream format");
}

TEST(StreamingErrors, ValuesOfTheWrongKind) {
  for (const char* bad : {"Width = 'text'", "Width = 5000000000", "Width = True", "Width = clNoColour",
                          "Enabled = 1", "Caption = 12", "Font.Style = [fsBold, fsNothing]", "Font = 3",
                          "Items = 3", "Font = <>", "Ratio = 'x'", "Buddy = 5", "OnClick = 'Button1Click'",
                          "Font.Color = Maroon"}) {
    EXPECT_EQ(ReadError(WithButton(bad)), "Invalid property value") << bad;
  }
  EXPECT_EQ(ReadError(WithButton("Items = < item Kind = fkBogus end >")), "Invalid property value");
  EXPECT_EQ(ReadError(WithButton("Items = < item Nope = 1 end >")), "Property Nope does not exist");
  // A defined property whose own reader fails (a colour table cut short) fails the whole read.
  EXPECT_EQ(ReadError(WithButton("Items.ColorTable = {00010203}")), "Stream read error");
}

TEST(StreamingErrors, TextSyntax) {
  EXPECT_EQ(ReadError("object Form1: TFuzzForm\n  Tag = 1\n"), "Line 3: 'end' expected");
  EXPECT_EQ(ReadError(WithButton("Caption = 'open")), "Line 5: closing quote expected");
  EXPECT_EQ(ReadError(WithButton("Data = { 0A0 }")), "Line 5: invalid binary value");
  EXPECT_EQ(ReadError(WithButton("Data = { 0X }")), "Line 5: invalid binary value");
  EXPECT_EQ(ReadError("object Form1: TFuzzForm\n  Data = { 0A\n"), "Line 3: '}' expected");
  EXPECT_EQ(ReadError(WithButton("Width 5")), "Line 5: '=' expected");
  EXPECT_EQ(ReadError(WithButton("Width = )")), "Line 5: value expected");
  EXPECT_EQ(ReadError(WithButton("Width = 12abc")), "Line 5: invalid number");
  EXPECT_EQ(ReadError(WithButton("Caption = #")), "Line 5: character code expected");
  EXPECT_EQ(ReadError(WithButton("Caption = #1114112")), "Line 5: invalid character code");
  EXPECT_EQ(ReadError(WithButton("Caption = 'a' + 5")), "Line 5: string expected");
  EXPECT_EQ(ReadError(WithButton("Items = < thing end >")), "Line 5: 'item' expected");
  EXPECT_EQ(ReadError(WithButton("Font.Style = [fsBold fsItalic]")), "Line 5: ',' expected");
  EXPECT_EQ(ReadError(WithButton(std::string(300, 'A') + " = 1")), "Line 5: name too long");
}

TEST(StreamingErrors, NestingIsBounded) {
  std::string lists = "Width = " + std::string(10000, '(') + std::string(10000, ')');
  EXPECT_EQ(ReadError(WithButton(lists)), "Stored objects nested too deeply");
  std::string objects = "object Form1: TFuzzForm\n";
  for (int i = 0; i < 200; ++i) objects += "object W" + std::to_string(i) + ": TFuzzWidget\n";
  for (int i = 0; i < 201; ++i) objects += "end\n";
  EXPECT_EQ(ReadError(objects), "Stored objects nested too deeply");
  std::string items = "Items = ";
  for (int i = 0; i < 200; ++i) items += "< item Children = ";
  items += "<>";
  for (int i = 0; i < 200; ++i) items += " end >";
  EXPECT_EQ(ReadError(WithButton(items)), "Stored objects nested too deeply");
  // Within the bound, deep trees of objects and collections are read.
  std::string fine = "object Form1: TFuzzForm\n";
  for (int i = 0; i < 20; ++i) fine += "object W" + std::to_string(i) + ": TFuzzWidget\n";
  for (int i = 0; i < 21; ++i) fine += "end\n";
  EXPECT_EQ(ReadError(fine), "");
}

TEST(StreamingErrors, EveryTruncationAndByteFlipOfABinaryFormFailsCleanly) {
  auto form = MakeOwned<TFuzzForm>(nullptr);
  ReadRootComponentText(*form, kFormText);
  TMemoryStream full;
  WriteComponent(full, *form);
  const std::string bytes = Bytes(full);
  auto attempt = [](const std::string& data) {
    auto f = MakeOwned<TFuzzForm>(nullptr);
    TBytesStream in(data.data(), data.size());
    try {
      ReadRootComponent(*f, in);
    } catch (const Exception&) {
      EXPECT_EQ(f->ComponentCount(), 0);
      EXPECT_EQ(f->Button1, nullptr);
      return false;
    }
    return true;
  };
  for (std::size_t n = 0; n < bytes.size(); ++n) EXPECT_FALSE(attempt(bytes.substr(0, n))) << n;
  EXPECT_TRUE(attempt(bytes));
  // Inside the colour table every byte is plain data: flipping the bytes at its edges is enough.
  const std::vector<std::uint8_t> table = SampleColorTable();
  const std::size_t payload = bytes.find(std::string(table.begin(), table.end()));
  ASSERT_NE(payload, std::string::npos);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i >= payload + 4 && i < payload + table.size() - 4) continue;
    for (unsigned char v : {0x00, 0x01, 0x0E, 0x7F, 0xFF}) {
      std::string mutated = bytes;
      mutated[i] = static_cast<char>(v);
      attempt(mutated);  // accepted or refused, but never a crash, leak or stray read
      std::string text;
      try {
        text = ObjectBinaryToText(mutated);
      } catch (const Exception&) {
        continue;
      }
      try {
        EXPECT_EQ(ObjectTextToBinary(text).size() > 0, true);
      } catch (const Exception& e) {
        ADD_FAILURE() << "text of an accepted binary stream refused: " << e.Message() << "\n" << text;
      }
    }
  }
}

TEST(StreamingErrors, AbsurdLengthsAreRefusedBeforeAllocating) {
  auto read = [](const std::string& data, auto&& what) -> std::string {
    TBytesStream in(data.data(), data.size());
    TReader r(in);
    try {
      what(r);
    } catch (const EReadError& e) {
      return e.Message();
    }
    return "";
  };
  auto str = [](TReader& r) { r.ReadString(); };
  EXPECT_EQ(read(std::string("\x0C\xF0\xFF\xFF\xFF", 5) + "abc", str), "Stream read error");
  EXPECT_EQ(read(std::string("\x14\xFF\xFF\xFF\x7F", 5), str), "Stream read error");
  EXPECT_EQ(read(std::string("\x12\xFF\xFF\xFF\x7F", 5), str), "Stream read error");
  EXPECT_EQ(read(std::string("\x06\x05", 2) + "abc", str), "Stream read error");
  EXPECT_EQ(read(std::string("\x0A\x10\x00\x00\x00", 5) + "short", [](TReader& r) { r.ReadBinary(); }),
            "Stream read error");
  EXPECT_EQ(read(std::string("\x0A\xFF\xFF\xFF\xFF", 5), [](TReader& r) { r.SkipValue(); }), "Stream read error");
  EXPECT_EQ(read("\x15", str), "Invalid property value");
  EXPECT_EQ(read("\xFE", [](TReader& r) { r.SkipValue(); }), "Invalid property value");
  EXPECT_EQ(read("", [](TReader& r) { r.ReadInteger(); }), "Stream read error");
  EXPECT_EQ(read("\x04\x01\x02", [](TReader& r) { r.ReadInteger(); }), "Stream read error");
  // Not a number to store: infinities and NaNs.
  EXPECT_EQ(read(std::string("\x05\0\0\0\0\0\0\0\x80\xFF\x7F", 11), [](TReader& r) { r.ReadFloat(); }),
            "Invalid property value");
}

namespace streamtest {
// Known to the reader by name only: nothing else in this program asks for its class.
class TLazyWidget : public TComponent {
  FW_CLASS(TLazyWidget, TComponent)
 public:
  explicit TLazyWidget(TComponent* AOwner) : TComponent(AOwner) {}
  int Size = 0;
};
FW_REGISTER(TLazyWidget, [](TClassBuilder<TLazyWidget>& b) { b.Integer("Size", &TLazyWidget::Size, &TLazyWidget::Size); })
}  // namespace streamtest

TEST(StreamingRoot, ClassesAreFoundByNameBeforeAnythingUsedThem) {
  auto form = MakeOwned<TFuzzForm>(nullptr);
  ReadRootComponentText(*form, "object Form1: TFuzzForm\n  object Lazy: tlazywidget\n    Size = 4\n  end\nend\n");
  ASSERT_EQ(form->ComponentCount(), 1);
  EXPECT_EQ(form->Components(0)->ClassName(), "TLazyWidget");
  EXPECT_EQ(static_cast<TLazyWidget*>(form->Components(0))->Size, 4);
}

// ---------------------------------------------------------------------------------------------
// Values

namespace {

std::string Written(const std::function<void(TWriter&)>& f) {
  TMemoryStream s;
  TWriter w(s);
  f(w);
  return Bytes(s);
}

}  // namespace

TEST(StreamingValues, IntegersTakeTheSmallestTag) {
  EXPECT_EQ(Written([](TWriter& w) { w.WriteInteger(-128); }), std::string("\x02\x80", 2));
  EXPECT_EQ(Written([](TWriter& w) { w.WriteInteger(127); }), std::string("\x02\x7F", 2));
  EXPECT_EQ(Written([](TWriter& w) { w.WriteInteger(128); }), std::string("\x03\x80\x00", 3));
  EXPECT_EQ(Written([](TWriter& w) { w.WriteInteger(-32769); }), std::string("\x04\xFF\x7F\xFF\xFF", 5));
  EXPECT_EQ(Written([](TWriter& w) { w.WriteInteger(10000); }), std::string("\x03\x10\x27", 3));
  EXPECT_EQ(Written([](TWriter& w) { w.WriteInteger(std::int64_t{1} << 32); }),
            std::string("\x13\x00\x00\x00\x00\x01\x00\x00\x00", 9));
  for (std::int64_t v : {std::int64_t{0}, std::int64_t{-1}, std::int64_t{40000}, std::int64_t{-2147483648LL},
                         std::int64_t{INT64_MIN}, std::int64_t{INT64_MAX}}) {
    const std::string b = Written([v](TWriter& w) { w.WriteInteger(v); });
    TBytesStream in(b.data(), b.size());
    TReader r(in);
    EXPECT_EQ(r.ReadInt64(), v);
  }
  const std::string big = Written([](TWriter& w) { w.WriteInteger(std::int64_t{1} << 31); });
  TBytesStream in(big.data(), big.size());
  TReader r(in);
  EXPECT_THROW(r.ReadInteger(), EReadError);
}

TEST(StreamingValues, ExtendedIsTheTenByteFormat) {
  EXPECT_EQ(Written([](TWriter& w) { w.WriteFloat(1.5L); }),
            std::string("\x05\x00\x00\x00\x00\x00\x00\x00\xC0\xFF\x3F", 11));
  EXPECT_EQ(Written([](TWriter& w) { w.WriteFloat(-2.0L); }),
            std::string("\x05\x00\x00\x00\x00\x00\x00\x00\x80\x00\xC0", 11));
  EXPECT_THROW(Written([](TWriter& w) { w.WriteFloat(std::numeric_limits<long double>::infinity()); }), EWriteError);
  for (long double v : {0.0L, -0.0L, 0.1L, 1e-300L, 1e4000L, -123456789.125L, 3.14159265358979323846L}) {
    const std::string b = Written([v](TWriter& w) { w.WriteFloat(v); });
    TBytesStream in(b.data(), b.size());
    TReader r(in);
    const long double back = r.ReadFloat();
    EXPECT_EQ(back, v);
    EXPECT_EQ(std::signbit(back), std::signbit(v));
  }
}

TEST(StreamingValues, StringsByContentAndCodePage) {
  // ASCII as short or long strings, anything else as UTF-8.
  EXPECT_EQ(Written([](TWriter& w) { w.WriteString("ab"); }), "\x06\x02" "ab");
  EXPECT_EQ(Written([](TWriter& w) { w.WriteString(std::string(300, 'x')); }).substr(0, 5),
            std::string("\x0C\x2C\x01\x00\x00", 5));
  EXPECT_EQ(Written([](TWriter& w) { w.WriteString("вода"); }), std::string("\x14\x08\x00\x00\x00", 5) + "вода");
  EXPECT_EQ(Written([](TWriter& w) { w.WriteIdent("true"); }), "\x09");
  EXPECT_EQ(Written([](TWriter& w) { w.WriteIdent("nil"); }), "\x0D");
  // Short strings of other writers are code page 1251; wide strings are UTF-16.
  const std::string cp = std::string("\x06\x04\xE2\xEE\xE4\xE0", 6);
  const std::string wide = std::string("\x12\x03\x00\x00\x00\x34\x04\x3D\xD8\x00\xDE", 11);
  TBytesStream in1(cp.data(), cp.size());
  EXPECT_EQ(TReader(in1).ReadString(), "вода");
  TBytesStream in2(wide.data(), wide.size());
  EXPECT_EQ(TReader(in2).ReadString(), "д\xF0\x9F\x98\x80");
}

TEST(StreamingText, LongStringsAreSplitAndJoined) {
  auto form = MakeOwned<TFuzzForm>(nullptr);
  auto* w = new TFuzzWidget(form.get());
  w->SetName("W");
  std::string cyrillic;
  for (int i = 0; i < 60; ++i) cyrillic += "я";
  w->Caption = std::string(100, 'a') + "\t" + cyrillic + "'";
  const std::string text = ComponentToText(*form);
  EXPECT_NE(text.find("' +\n"), std::string::npos);
  EXPECT_NE(text.find("#9"), std::string::npos);
  auto again = MakeOwned<TFuzzForm>(nullptr);
  ReadRootComponentText(*again, text);
  EXPECT_EQ(static_cast<TFuzzWidget*>(again->Components(0))->Caption, w->Caption);
  // Hand-written forms: #-codes, $-hex and blanks anywhere.
  auto hand = MakeOwned<TFuzzForm>(nullptr);
  ReadRootComponentText(*hand, "\xEF\xBB\xBF  OBJECT Form1 : TFuzzForm\r\n object W: TFuzzWidget Width=$10 Caption='a'#$44'b'+\r\n 'c' end END");
  auto* hw = static_cast<TFuzzWidget*>(hand->Components(0));
  EXPECT_EQ(hw->Width, 16);
  EXPECT_EQ(hw->Caption, "aDbc");
}

// A class name's length byte of 0xF0 or more is the prefix byte's pattern: such names are stored
// behind an empty prefix, and come back as they were.
TEST(StreamingText, ClassNamesOf240CharactersOrMoreSurviveTheBinaryForm) {
  for (std::size_t length : {239u, 240u, 241u, 255u}) {
    const std::string cls = "T" + std::string(length - 1, 'Q');
    const std::string text = "object Form1: " + cls + "\n  object W: TFuzzWidget\n  end\nend\n";
    const std::string binary = ObjectTextToBinary(text);
    ASSERT_GE(binary.size(), 6u);
    if (length < 240) {
      EXPECT_EQ(static_cast<std::uint8_t>(binary[4]), length) << length;
    } else {
      EXPECT_EQ(static_cast<std::uint8_t>(binary[4]), 0xF0) << length;
      EXPECT_EQ(static_cast<std::uint8_t>(binary[5]), length) << length;
    }
    const std::string back = ObjectBinaryToText(binary);
    EXPECT_NE(back.find(cls + "\n"), std::string::npos) << length;
    EXPECT_NE(back.find("object W: TFuzzWidget"), std::string::npos) << length;
    EXPECT_EQ(ObjectTextToBinary(back), binary) << length;
  }
  const std::string too_long = "object Form1: T" + std::string(255, 'Q') + "\nend\n";
  EXPECT_THROW(ObjectTextToBinary(too_long), EParserError);
}

TEST(StreamingWriter, LeavesOutDefaultsEmptyValuesAndTheName) {
  auto form = MakeOwned<TFuzzForm>(nullptr);
  form->SetName("Form1");
  auto* w = new TFuzzWidget(form.get());
  w->SetName("W");
  EXPECT_EQ(ComponentToText(*form),
            "object Form1: TFuzzForm\n  object W: TFuzzWidget\n    Font.Height = -11\n    Items = <>\n  end\nend\n");
  w->SetTag(7);
  w->Font.Color = clBtnFace;
  w->Font.Height = 0;
  w->Ratio = 0.25L;
  EXPECT_EQ(ComponentToText(*form),
            "object Form1: TFuzzForm\n  object W: TFuzzWidget\n    Tag = 7\n    Ratio = 0.25\n    Font.Height = 0\n"
            "    Font.Color = clBtnFace\n    Items = <>\n  end\nend\n");
}

TEST(StreamingReader, InheritedObjectsChangeExistingComponents) {
  auto form = MakeOwned<TFuzzForm>(nullptr);
  auto* made = new TFuzzWidget(form.get());
  made->SetName("Made");
  ReadRootComponentText(*form, "object Form1: TFuzzForm\n  inherited Made: TFuzzWidget\n    Width = 9\n  end\nend\n");
  EXPECT_EQ(form->ComponentCount(), 1);
  EXPECT_EQ(made->Width, 9);
  EXPECT_EQ(made->loaded_calls_, 1);
  EXPECT_EQ(ReadError("object Form1: TFuzzForm\n  inherited Missing: TFuzzWidget\n  end\nend\n"),
            "Component Missing not found");
}

TEST(StreamingReader, ReadComponentCreatesByClassAndFreesOnFailure) {
  auto owner = MakeOwned<TComponent>(nullptr);
  const std::string good = ObjectTextToBinary("object Made: TFuzzWidget\n  Width = 3\nend\n");
  TBytesStream in(good.data(), good.size());
  TComponent* c = ReadComponent(in, nullptr, owner.get());
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->Owner(), owner.get());
  EXPECT_EQ(c->Name(), "Made");
  EXPECT_EQ(static_cast<TFuzzWidget*>(c)->Width, 3);
  const std::string bad = ObjectTextToBinary("object Other: TFuzzWidget\n  Width = 'x'\nend\n");
  TBytesStream in2(bad.data(), bad.size());
  EXPECT_THROW(ReadComponent(in2, nullptr, owner.get()), EReadError);
  EXPECT_EQ(owner->ComponentCount(), 1);
}

TEST(StreamingReader, DefinedPropertiesAreReadUnderEveryNameTheyDefine) {
  auto form = MakeOwned<TFuzzForm>(nullptr);
  ReadRootComponentText(*form, WithButton("OldData = {0102}"));
  EXPECT_EQ(form->Button1->Data, (std::vector<std::uint8_t>{1, 2}));
  const std::string text = ComponentToText(*form);
  EXPECT_EQ(text.find("OldData"), std::string::npos);
  EXPECT_NE(text.find("Data = {\n      0102}"), std::string::npos);
}

namespace streamtest {
class TFailingLoad : public TComponent {
  FW_CLASS(TFailingLoad, TComponent)
 public:
  explicit TFailingLoad(TComponent* AOwner) : TComponent(AOwner) {}
  void Loaded() override {
    TComponent::Loaded();
    throw EInvalidOperation("cannot start");
  }
};
FW_REGISTER(TFailingLoad, nullptr)
}  // namespace streamtest

TEST(StreamingRoot, AnErrorInLoadedKeepsTheTreeAndEndsLoadingEverywhere) {
  auto form = MakeOwned<TFuzzForm>(nullptr);
  try {
    ReadRootComponentText(*form, "object Form1: TFuzzForm\n  object Bad: TFailingLoad\n  end\n"
                                 "  object Button1: TFuzzWidget\n  end\nend\n");
    FAIL();
  } catch (const EInvalidOperation& e) {
    EXPECT_EQ(e.Message(), "cannot start");
  }
  // The tree was read in full; only the after-load step of one component failed.
  EXPECT_EQ(form->ComponentCount(), 2);
  ASSERT_NE(form->Button1, nullptr);
  for (int i = 0; i < form->ComponentCount(); ++i)
    EXPECT_FALSE(form->Components(i)->ComponentState().Contains(csLoading));
}
