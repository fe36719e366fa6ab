// Force-feedback effect trees: names and paths, the setters and the records they fill, the stored
// form byte for byte, malformed streams, and effects reaching a force-feedback joystick.
#include <gtest/gtest.h>

#include <string>

#include "dx/DXInput.h"
#include "framework/Streaming.h"
#include "platform/dinput/DInput.h"
#include "platform/dinput/DInputTesting.h"
#include "tests/dx/DXInputTestForm.h"
#include "tests/support/QtTestApp.h"

namespace {

using namespace dx;
using inputtest::TEffectsForm;

// The stored form spelt out byte by byte.
std::string S(const std::string& s) { return std::string(1, static_cast<char>(s.size())) + s; }
std::string I8(int v) { return std::string{'\x02', static_cast<char>(v)}; }
std::string I16(int v) { return std::string{'\x03', static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; }
std::string Str(const std::string& s) { return "\x06" + S(s); }
std::string Ident(const std::string& s) { return "\x07" + S(s); }
const std::string Z(1, '\0');

std::string RootItem(const std::string& children) {
  std::string p = S("Name") + Str("Effects") + S("EffectType") + Ident("etNone") + S("Period") + I8(50) +
                  S("Power") + I16(10000) + S("Time") + I16(1000) + S("StartDelayTime") + I8(0);
  if (!children.empty()) p += S("Effects") + "\x0E" + children + Z;
  return "\x01" + p + Z;
}
std::string Eff1Item() {
  return "\x01" + S("Name") + Str("eff1") + S("EffectType") + Ident("etPeriodic") + S("ConstantX") + I16(10000) +
         S("ConstantY") + I16(-10000) + S("Period") + I8(30) + S("Power") + I16(10000) + S("Time") + I8(50) +
         S("StartDelayTime") + I8(0) + Z;
}
std::string Stored(const std::string& rootItem, const std::string& holderName = "_1",
                   const std::string& cls = "TForceFeedbackEffectComponent", const std::string& holderProps = "") {
  const std::string body = "TPF0" + S(cls) + S(holderName) + holderProps + S("Effects") + "\x0E" + rootItem + Z + Z + Z;
  const auto n = static_cast<std::uint32_t>(body.size());
  std::string head = std::string("\xFF\x0A\x00", 3) + "SPRIXFORCEFEEDBACKEFFECT" + Z + std::string("\x30\x10", 2);
  for (int i = 0; i < 4; ++i) head += static_cast<char>((n >> (8 * i)) & 0xFF);
  return head + body;
}

std::string Write(TForceFeedbackEffects& tree) {
  fw::TMemoryStream m;
  tree.WriteEffects(m);
  return std::string(static_cast<const char*>(m.Memory()), static_cast<std::size_t>(m.Size()));
}
void Read(TForceFeedbackEffects& tree, const std::string& bytes) {
  fw::TBytesStream s(bytes.data(), bytes.size());
  tree.ReadEffects(s);
}

class Effects : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::EnsureApplication();
    dinput::ResetConfig();
  }
  void TearDown() override { dinput::ResetConfig(); }
};

TEST_F(Effects, StoredTreesAreWrittenAndReadByteForByte) {
  TForceFeedbackEffects tree(nullptr);
  EXPECT_EQ(tree.Name(), "Effects");
  EXPECT_EQ(Write(tree), Stored(RootItem("")));

  TForceFeedbackEffect* eff1 = tree.Add();
  eff1->SetName("eff1");
  eff1->SetEffectType(etPeriodic);
  eff1->SetConstant({10000, -10000});
  eff1->SetPeriod(30);
  eff1->SetTime(50);
  const std::string joystick = Stored(RootItem(Eff1Item()));
  EXPECT_EQ(Write(tree), joystick);

  TForceFeedbackEffects back(nullptr);
  Read(back, joystick);
  ASSERT_EQ(back.Count(), 1);
  const TForceFeedbackEffect* e = back.Effects(0);
  EXPECT_EQ(e->Name(), "eff1");
  EXPECT_EQ(e->EffectType(), etPeriodic);
  EXPECT_EQ(e->Constant(), (win::POINT{10000, -10000}));
  EXPECT_EQ(e->Period(), 30);
  EXPECT_EQ(e->Power(), 10000);
  EXPECT_EQ(e->Time(), 50);
  EXPECT_EQ(Write(back), joystick);

  // Any holder name is accepted on reading; the tree is written back under its own.
  TForceFeedbackEffects renamed(nullptr);
  Read(renamed, Stored(RootItem(Eff1Item()), "Holder"));
  EXPECT_EQ(renamed.Count(), 1);
  EXPECT_EQ(Write(renamed), joystick);
}

TEST_F(Effects, MalformedStreamsAreRefusedAndLeaveTheTreeAsItWas) {
  TForceFeedbackEffects tree(nullptr);
  Read(tree, Stored(RootItem(Eff1Item())));
  const std::string before = Write(tree);
  const std::string good = Stored(RootItem(Eff1Item()));

  std::vector<std::string> bad = {
      good.substr(0, good.size() - 3),                      // truncated
      "\xFE" + good.substr(1),                               // not a resource header
      Stored(RootItem(Eff1Item()), "_1", "TForceFeedbackEffectItem"),  // another class
      Stored(RootItem(Eff1Item()).substr(0, 20)),            // lengths inside run past the end
      Stored(""),                                            // no root item
  };
  std::string lying = good;
  lying[31] = '\x7F';  // object stream length far past the end
  bad.push_back(lying);
  std::string deep = Eff1Item();
  for (int i = 0; i < 100; ++i) deep = "\x01" + S("Name") + Str("n") + S("Effects") + "\x0E" + deep + Z + Z;
  bad.push_back(Stored(RootItem(deep)));
  // The holder's own properties set before the damage must not stay behind either.
  bad.push_back(Stored(RootItem(Eff1Item()), "_1", "TForceFeedbackEffectComponent",
                      S("Name") + Str("Holder") + S("Tag") + I8(7) + S("Bogus") + I8(1)));
  std::string unknown_type = good;
  unknown_type.replace(unknown_type.find("etPeriodic"), 10, "etSquarish");
  bad.push_back(unknown_type);

  for (std::size_t i = 0; i < bad.size(); ++i) {
    EXPECT_THROW(Read(tree, bad[i]), fw::Exception) << "case " << i;
    EXPECT_EQ(Write(tree), before) << "case " << i;
  }
  // An empty holder collection is the list's index error.
  EXPECT_THROW(Read(tree, Stored("")), fw::EListError);
}

TEST_F(Effects, LookupFindsNamesExactlyAndFollowsDottedPaths) {
  TForceFeedbackEffects tree(nullptr);
  Read(tree, Stored(RootItem(Eff1Item())));
  EXPECT_EQ(tree.Lookup("eff1"), tree.Effects(0));
  try {
    tree.Lookup("EFF1");
    FAIL();
  } catch (const EForceFeedbackEffectError& e) {
    EXPECT_STREQ(e.what(), "Effect 'EFF1' not found");
  }

  TForceFeedbackEffect* a = tree.Add();
  a->SetName("a");
  TForceFeedbackEffect* b = a->Add();
  b->SetName("b");
  TForceFeedbackEffect* c = b->Add();
  c->SetName("c");
  EXPECT_EQ(tree.Lookup("a.b"), b);
  EXPECT_EQ(tree.Lookup("a.b.c"), c);
  EXPECT_THROW(tree.Lookup("a.x.c"), EForceFeedbackEffectError);
  EXPECT_THROW(tree.Lookup("a."), EForceFeedbackEffectError);
  // A child named with the full stop wins over the path.
  TForceFeedbackEffect* dotted = tree.Add();
  dotted->SetName("a.b");
  EXPECT_EQ(tree.Lookup("a.b"), dotted);
  // Among equal names the first.
  TForceFeedbackEffect* second = tree.Add();
  second->SetName("eff1");
  EXPECT_EQ(tree.Lookup("eff1"), tree.Effects(0));
}

TEST_F(Effects, SettersClampAndAssignCopiesWholeSubtrees) {
  TForceFeedbackEffects tree(nullptr);
  TForceFeedbackEffect* e = tree.Add();
  e->SetPower(20000);
  EXPECT_EQ(e->Power(), 10000);
  e->SetTime(-5);
  EXPECT_EQ(e->Time(), 0);
  e->SetTime(-1);
  EXPECT_EQ(e->Time(), -1);
  e->SetConstant({-20000, 5});
  EXPECT_EQ(e->Constant(), (win::POINT{-10000, 5}));
  e->SetCondition({20000, -20000});
  EXPECT_EQ(e->Condition(), (win::POINT{10000, -10000}));
  e->SetAttackLevel(-3);
  EXPECT_EQ(e->AttackLevel(), 0);
  e->SetPeriod(-3);
  EXPECT_EQ(e->Period(), 0);

  e->SetName("top");
  e->Add()->SetName("child");
  e->Effects(0)->Add()->SetName("grandchild");
  TForceFeedbackEffects copy(nullptr);
  copy.Add()->Assign(e);
  EXPECT_EQ(copy.Lookup("top.child.grandchild")->Name(), "grandchild");
  EXPECT_EQ(copy.Effects(0)->Time(), -1);
  // A node takes over its own child: the child is copied before the old children go.
  TForceFeedbackEffect* top = copy.Effects(0);
  top->Assign(top->Effects(0));
  EXPECT_EQ(top->Name(), "child");
  EXPECT_EQ(top->Effects(0)->Name(), "grandchild");
  EXPECT_THROW(top->Assign(nullptr), fw::Exception);
}

// The input component's block of the full-screen model's stored form.
constexpr const char* kModelInput = R"(    ActiveOnly = True
    Joystick.BindInputStates = True
    Joystick.Effects.Effects = {
      FF0A005350524958464F524345464545444241434B454646454354003010F100
      0000545046301D54466F726365466565646261636B456666656374436F6D706F
      6E656E74025F3107456666656374730E01044E616D650607456666656374730A
      45666665637454797065070665744E6F6E6506506572696F64023205506F7765
      720310270454696D6503E8030E537461727444656C617954696D650200074566
      66656374730E01044E616D650604656666310A45666665637454797065070A65
      74506572696F64696309436F6E7374616E745803102709436F6E7374616E7459
      03F0D806506572696F64021E05506F7765720310270454696D6502320E537461
      727444656C617954696D650200000000000000}
    Joystick.Enabled = True
    Joystick.ForceFeedback = True
    Joystick.AutoCenter = True
    Joystick.DeadZoneX = 50
    Joystick.DeadZoneY = 50
    Joystick.DeadZoneZ = 50
    Joystick.ID = 0
    Joystick.RangeX = 300
    Joystick.RangeY = 300
    Joystick.RangeZ = 300
    Keyboard.BindInputStates = True
    Keyboard.Effects.Effects = {
      FF0A005350524958464F524345464545444241434B4546464543540030107F00
      0000545046301D54466F726365466565646261636B456666656374436F6D706F
      6E656E74025F3107456666656374730E01044E616D650607456666656374730A
      45666665637454797065070665744E6F6E6506506572696F64023205506F7765
      720310270454696D6503E8030E537461727444656C617954696D650200000000
      00}
    Keyboard.Enabled = True
    Keyboard.ForceFeedback = False
    Mouse.BindInputStates = False
    Mouse.Effects.Effects = {
      FF0A005350524958464F524345464545444241434B4546464543540030107F00
      0000545046301D54466F726365466565646261636B456666656374436F6D706F
      6E656E74025F3107456666656374730E01044E616D650607456666656374730A
      45666665637454797065070665744E6F6E6506506572696F64023205506F7765
      720310270454696D6503E8030E537461727444656C617954696D650200000000
      00}
    Mouse.Enabled = False
    Mouse.ForceFeedback = False
    UseDirectInput = True
)";

TEST_F(Effects, TheModelFormsInputBlockLoadsItsThreeTreesAndWritesThemBack) {
  auto form = fw::MakeOwned<TEffectsForm>(nullptr, kModelInput);
  TDXInput* input = form->DXInput;
  TForceFeedbackEffect* eff1 = input->Joystick()->Effects()->Lookup("eff1");
  EXPECT_EQ(eff1->EffectType(), etPeriodic);
  EXPECT_EQ(eff1->Time(), 50);
  EXPECT_EQ(input->Joystick()->Range(4), 300);
  EXPECT_EQ(input->Joystick()->DeadZone(8), 50);
  EXPECT_TRUE(input->Joystick()->ForceFeedback());
  EXPECT_EQ(input->Keyboard()->Effects()->Count(), 0);
  EXPECT_EQ(input->Mouse()->Effects()->Count(), 0);
  // Without a controller the effect is still there; starting it does nothing.
  EXPECT_FALSE(eff1->Created());
  eff1->Start();
  EXPECT_EQ(Write(*input->Keyboard()->Effects()), Stored(RootItem("")));
  EXPECT_EQ(Write(*input->Joystick()->Effects()), Stored(RootItem(Eff1Item())));
  const std::string text = fw::ComponentToText(*input);
  EXPECT_NE(text.find("Joystick.Effects.Effects = {"), std::string::npos);
  EXPECT_NE(text.find("Mouse.Effects.Effects = {"), std::string::npos);
}

// A form whose joystick is a scripted one with recording actuators.
class FeedbackOnAJoystick : public Effects {
 protected:
  void SetUp() override {
    Effects::SetUp();
    stick_ = std::make_shared<dinput::ScriptedJoystick>(3, 8, 1);
    actuators_ = std::make_shared<dinput::RecordingActuators>();
    stick_->ForceFeedback = actuators_;
    dinput::InputConfig c = dinput::DefaultConfig();
    c.Devices.push_back(stick_);
    c.SystemJoysticks = false;
    dinput::SetConfig(c);
    form_ = fw::MakeOwned<TEffectsForm>(nullptr,
                                        "    Joystick.ForceFeedback = True\n"
                                        "    Joystick.Effects.Effects = {" + Hex(Stored(RootItem(Eff1Item()))) + "}\n");
    inputtest::Front(*form_);
  }
  static std::string Hex(const std::string& b) {
    static const char* d = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : b) out += {d[c >> 4], d[c & 15]};
    return out;
  }
  std::shared_ptr<dinput::ScriptedJoystick> stick_;
  std::shared_ptr<dinput::RecordingActuators> actuators_;
  fw::TOwned<TEffectsForm> form_;
};

TEST_F(FeedbackOnAJoystick, TheStoredEffectIsMadeAndStartedWithItsRecords) {
  TJoystick* j = form_->DXInput->Joystick();
  ASSERT_TRUE(j->Initialized());
  ASSERT_TRUE(j->ForceFeedbackDevice());
  TForceFeedbackEffect* eff1 = j->Effects()->Lookup("eff1");
  ASSERT_TRUE(eff1->Created());
  const dinput::DIEFFECT& r = eff1->Object(0).Eff;
  EXPECT_EQ(r.dwFlags, 0x12u);
  EXPECT_EQ(r.dwDuration, 50000u);
  EXPECT_EQ(r.dwGain, 10000u);
  EXPECT_EQ(r.dwTriggerButton, 0xFFFFFFFFu);
  EXPECT_EQ(r.cAxes, 2u);
  EXPECT_EQ(eff1->Object(0).Direction[0], -10000);
  EXPECT_EQ(eff1->Object(0).Direction[1], 10000);
  EXPECT_EQ(eff1->Object(0).Periodic.dwMagnitude, 14142u);
  EXPECT_EQ(eff1->Object(0).Periodic.dwPeriod, 30000u);
  EXPECT_EQ(eff1->Object(1).Effect, nullptr);

  // Not acquired yet: the start takes the device once and plays.
  eff1->Start();
  ASSERT_EQ(actuators_->Live().size(), 1u);
  const auto& played = *actuators_->Live()[0];
  EXPECT_TRUE(played.Playing);
  EXPECT_EQ(played.Params.Type, dinput::GUID_Sine);
  EXPECT_EQ(played.Params.Duration, 50000u);
  EXPECT_EQ(played.Params.Direction, (std::vector<win::LONG>{-10000, 10000}));
  dinput::DIPERIODIC p{};
  ASSERT_TRUE(played.Params.Specific(p));
  EXPECT_EQ(p.dwMagnitude, 14142u);
  EXPECT_TRUE(eff1->Playing());
  actuators_->FinishAll();
  EXPECT_FALSE(eff1->Playing());

  // Endless: attack as given, no fade; playing until stopped.
  eff1->SetAttackTime(200);
  eff1->SetFadeTime(10);
  eff1->SetFadeLevel(500);
  EXPECT_EQ(eff1->Object(0).Envelope.dwAttackTime, 50000u);  // no longer than the effect
  EXPECT_EQ(eff1->Object(0).Envelope.dwFadeTime, 10000u);
  eff1->SetTime(-1);
  EXPECT_EQ(eff1->Object(0).Eff.dwDuration, 0xFFFFFFFFu);
  EXPECT_EQ(eff1->Object(0).Envelope.dwAttackTime, 200000u);
  EXPECT_EQ(eff1->Object(0).Envelope.dwFadeLevel, 0u);
  EXPECT_EQ(eff1->Object(0).Envelope.dwFadeTime, 0u);
  eff1->Start();
  actuators_->FinishAll();
  EXPECT_TRUE(eff1->Playing());
  EXPECT_EQ(actuators_->Live()[0]->Params.Duration, 0xFFFFFFFFu);
  eff1->Stop();
  EXPECT_FALSE(eff1->Playing());
  EXPECT_FALSE(actuators_->Live()[0]->Playing);

  // Conditions use both objects, one axis each.
  eff1->SetCondition({4000, -2000});
  eff1->SetEffectType(etCondition);
  ASSERT_NE(eff1->Object(1).Effect, nullptr);
  EXPECT_EQ(eff1->Object(0).Condition.lPositiveCoefficient, 4000);
  EXPECT_EQ(eff1->Object(0).Condition.lNegativeCoefficient, -4000);
  EXPECT_EQ(eff1->Object(1).Axes[0], 4u);
  EXPECT_EQ(eff1->Object(1).Condition.lOffset, -10000);

  // Finalizing the device takes the effects down.
  j->Finalize();
  EXPECT_FALSE(eff1->Created());
  EXPECT_TRUE(actuators_->Live().empty());
}

TEST_F(FeedbackOnAJoystick, KeyboardAndMouseKeepTreesButNeverMakeEffects) {
  TKeyboard* k = form_->DXInput->Keyboard();
  TForceFeedbackEffect* e = k->Effects()->Add();
  e->SetName("k");
  e->SetEffectType(etConstantForce);
  k->SetForceFeedback(true);
  EXPECT_FALSE(e->Created());
  e->Start();
  for (const auto* live : actuators_->Live()) EXPECT_NE(live->Params.Type, dinput::GUID_ConstantForce);
  EXPECT_EQ(form_->DXInput->Mouse()->Effects()->Count(), 0);
}

}  // namespace
