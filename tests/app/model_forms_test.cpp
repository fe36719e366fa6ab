// The parameter form and the modelling window, driven as the pupil drives them: texts typed
// into the edits, clicks on presets and buttons, menu commands, timer ticks.
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QWidget>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/Main.h"
#include "app/Unit3.h"
#include "platform/win/QtWindows.h"
#include "platform/win/WinUser.h"
#include "platform/win/WinUserTesting.h"
#include "framework/FormsTesting.h"
#include "tests/support/ProgramForms.h"

using namespace app;

namespace {

struct Box {
  std::string Text;
  std::string Caption;
};

class ModelForms : public ::testing::Test {
 protected:
  void SetUp() override {
    win::SetMessageBoxHook([this](const std::string& text, const std::string& caption, win::UINT) {
      Boxes.push_back({text, caption});
      return win::IDOK;
    });
    testsupport::MakeProgramForms(false);
  }
  void TearDown() override {
    testsupport::FreeProgramForms();
    win::SetVirtualTimers(true);
    win::SetMessageBoxHook(nullptr);
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> t;
    for (const Box& b : Boxes) t.push_back(b.Text);
    return t;
  }
  // What the user does reaches the handlers the way the window system delivers it: an error
  // goes to the application's default handler, which shows it in the message box.
  static void Do(const std::function<void()>& f) { win::GuardedCall(f); }
  static void Type(fw::TControl* edit, const std::string& text) { Do([&] { edit->SetText(text); }); }
  static void Click(fw::TControl* c) { Do([&] { c->Click(); }); }
  static void Choose(fw::TMenuItem* item) { Do([&] { item->Click(); }); }
  static void Simulate() { Choose(Form1->N10); }
  static void Confirm() { Click(Form1->Button1); }
  // n ticks of 100 ms of every timer that is on.
  static void Tick(int n = 1) {
    for (int i = 0; i < n; ++i) win::AdvanceTimers(100);
  }
  int BodyTop() const { return Form3->Image1->Top(); }

  std::vector<Box> Boxes;
};

}  // namespace

TEST_F(ModelForms, StartsWithTheInitialParametersAndNothingRunning) {
  EXPECT_EQ(Form1->Caption(), "FloatBench");
  EXPECT_EQ(Form1->WindowState(), fw::wsMaximized);
  EXPECT_EQ(Form3->Caption(), "Моделювання");
  EXPECT_FALSE(Form3->Visible());
  const std::vector<std::pair<fw::TControl*, const char*>> initial = {
      {Form1->Edit1, "50"},  {Form1->Edit2, "50"},  {Form1->Edit3, "500"}, {Form1->Edit4, "1000"},
      {Form1->Edit5, "200"}, {Form1->Edit6, "400"}, {Form1->Edit8, "800"}, {Form1->Edit7, "600"},
      {Form1->Edit9, "0"},   {Form3->Edit1, "0"}};
  for (auto [edit, text] : initial) EXPECT_EQ(edit->Text(), text) << edit->Name();
  EXPECT_EQ(Form1->Tedit9->Value(), 1);
  EXPECT_FALSE(Form1->Timer1->Enabled());
  EXPECT_FALSE(Form1->Timer2->Enabled());
  EXPECT_EQ(Form1->Timer1->Interval(), 100);
  EXPECT_EQ(Form1->Timer2->Interval(), 100);
  EXPECT_EQ(RestTop, 0);
  EXPECT_FALSE(Form1->Label5->Visible());
  EXPECT_FALSE(Form1->Edit9->Visible());
  EXPECT_FALSE(Form1->Label16->Visible());
  EXPECT_FALSE(Form1->Label22->Visible());
  EXPECT_FALSE(Form1->Label23->Visible());
  EXPECT_TRUE(Form1->Label17->Visible());
  EXPECT_EQ(Form1->Label24->Cursor(), fw::crHandPoint);
  EXPECT_EQ(Form1->Label24->Font()->Color(), 12342601);
  EXPECT_EQ(Form1->Label17->Font()->Color(), 14883912);
  EXPECT_EQ(Form1->Panel1->Color(), 12370293);
  EXPECT_EQ(Form1->Shape4->Brush()->Color(), 7646580);
  EXPECT_EQ(Form3->Shape1->Brush()->Color(), 11563631);
  EXPECT_EQ(Form3->Shape2->Brush()->Color(), 14076888);
  EXPECT_EQ(Form3->HorzScrollBar()->Position(), 118);
  EXPECT_EQ(Form3->Label1->Caption(), "Виступ тіла над поверхнею ");
  // The stored body picture: a 50 x 50 JPEG, shown stretched.
  ASSERT_NE(Form3->Image1->Picture()->Graphic(), nullptr);
  EXPECT_EQ(Form3->Image1->Picture()->Graphic()->ClassName(), "TJPEGImage");
  EXPECT_EQ(Form3->Image1->Picture()->Width(), 50);
  EXPECT_EQ(Form3->Image1->Picture()->Height(), 50);
  EXPECT_TRUE(Form3->Image1->Stretch());
  EXPECT_EQ(Form3->Image1->BoundsRect(), fw::Bounds(322, 408, 73, 73));
  EXPECT_TRUE(Form3->Edit1->ReadOnly());
  EXPECT_FALSE(Form3->CheckBox1->Visible());
  EXPECT_EQ(Form3->BoundsRect(), fw::Bounds(255, 116, 798, 570));
  EXPECT_EQ(Form1->Label33->Font()->Height(), -16);
  EXPECT_EQ(Form1->Label17->Font()->Height(), -15);
  EXPECT_EQ(Form1->Label24->Font()->Height(), -13);
  EXPECT_EQ(Form1->Label24->Font()->Name(), "MS Sans Serif");
  EXPECT_EQ(Form1->Panel5->Font()->Style(), fw::TFontStyles{fw::fsItalic});
  EXPECT_EQ(Form1->Label6->Font()->Color(), fw::clRed);
  EXPECT_EQ(Form1->Tedit9->MinValue(), 1);
  EXPECT_EQ(Form1->Tedit9->MaxValue(), 5);
  EXPECT_EQ(Form1->PageControl1->ActivePage(), Form1->TabSheet2);
  EXPECT_EQ(Form1->TabSheet3->Caption(), "Насторйки");
  EXPECT_TRUE(Boxes.empty());
}

TEST_F(ModelForms, SimulatingTheDefaultsFloatsTheBodyTo75WithProtrusion25) {
  Confirm();
  Simulate();
  EXPECT_TRUE(Form3->Visible());
  EXPECT_EQ(RestTop, 75);
  EXPECT_EQ(Form1->Label5->Caption(), "75");
  EXPECT_EQ(Form3->Edit1->Text(), "25");
  EXPECT_TRUE(Form1->Timer1->Enabled());
  EXPECT_FALSE(Form1->Timer2->Enabled());
  EXPECT_EQ(Form3->Image1->Width(), 50);
  EXPECT_EQ(Form3->Image1->Height(), 50);
  EXPECT_EQ(BodyTop(), 400);

  // Speed 1: 325 ticks to reach 75, then it stays there and the timer keeps running.
  Tick(324);
  EXPECT_EQ(BodyTop(), 76);
  Tick();
  EXPECT_EQ(BodyTop(), 75);
  Tick(10);
  EXPECT_EQ(BodyTop(), 75);
  EXPECT_TRUE(Form1->Timer1->Enabled());
  EXPECT_TRUE(Boxes.empty());
}

TEST_F(ModelForms, AFasterBodyStopsAtTheFirstTopNotBelowItsRestingPlace) {
  Confirm();
  Type(Form1->Tedit9, "2");
  Simulate();
  Tick(400);
  EXPECT_EQ(BodyTop(), 74);
  // A floating body that starts above its resting place does not move.
  Form3->Image1->SetTop(20);
  Tick(5);
  EXPECT_EQ(BodyTop(), 20);
  EXPECT_TRUE(Form1->Timer1->Enabled());
}

TEST_F(ModelForms, PresetMaterialsAndLiquidsGiveTheirRestingPlacesAndProtrusions) {
  struct Case {
    fw::TLabel* Material;
    int RestTop;
    const char* Protrusion;
  };
  Confirm();
  // Paraffin; lithium, whose shown protrusion (round 23.05) differs from its resting place
  // (24 pixels out, truncated).
  for (const Case& c : {Case{Form1->Label31, 95, "5"}, Case{Form1->Label26, 76, "23"}}) {
    Click(c.Material);
    Simulate();
    EXPECT_EQ(RestTop, c.RestTop) << c.Material->Caption();
    EXPECT_EQ(Form3->Edit1->Text(), c.Protrusion) << c.Material->Caption();
  }
  EXPECT_EQ(Form1->Edit3->Text(), "539");
  Click(Form1->Label20);
  EXPECT_EQ(Form1->Edit4->Text(), "13546");
  // An exact half goes to the even neighbour: 2.5 shows "2".
  Click(Form1->Label17);
  Type(Form1->Edit3, "500");
  Type(Form1->Edit2, "5");
  Simulate();
  EXPECT_EQ(Form3->Edit1->Text(), "2");
  EXPECT_EQ(RestTop, 97);
}

TEST_F(ModelForms, SteelSinksToTheFirstTopPastTheStopLineAndSwitchesTimer2Off) {
  for (int speed : {1, 3}) {
    Click(Form1->Button2);
    Confirm();
    Click(Form1->Label28);
    Type(Form1->Tedit9, std::to_string(speed));
    Simulate();
    EXPECT_EQ(RestTop, 440);
    EXPECT_EQ(Form3->Edit1->Text(), "");
    EXPECT_FALSE(Form1->Timer1->Enabled());
    ASSERT_TRUE(Form1->Timer2->Enabled());
    int ticks = 0;
    while (Form1->Timer2->Enabled() && ticks < 1000) {
      Tick();
      ++ticks;
    }
    EXPECT_EQ(BodyTop(), speed == 1 ? 501 : 502);
  }
}

TEST_F(ModelForms, ARightClickOnTheLiquidRestartsSinkingOnlyForABodyBelowTheWindow) {
  auto rightClick = [] {
    QWidget* w = Form3->Shape1->Widget();
    ASSERT_NE(w, nullptr);
    QContextMenuEvent ev(QContextMenuEvent::Mouse, QPoint(10, 10), w->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(w, &ev);
  };
  Confirm();
  Simulate();  // a floating body
  Form3->Image1->SetTop(520);  // bottom at 570: not below the outer height
  rightClick();
  EXPECT_FALSE(Form1->Timer2->Enabled());
  Form3->Image1->SetTop(521);
  rightClick();
  EXPECT_TRUE(Form1->Timer2->Enabled());
  EXPECT_TRUE(Form1->Timer1->Enabled());
  EXPECT_TRUE(Boxes.empty());
}

TEST_F(ModelForms, EqualDensitiesStartNothingAndDenseThenLightLeavesBothTimersOn) {
  Confirm();
  Type(Form1->Edit3, "1000");
  Simulate();
  EXPECT_EQ(RestTop, 100);
  EXPECT_EQ(Form3->Edit1->Text(), "");
  EXPECT_FALSE(Form1->Timer1->Enabled());
  EXPECT_FALSE(Form1->Timer2->Enabled());

  Type(Form1->Edit3, "7800");
  Simulate();
  Type(Form1->Edit3, "500");
  Simulate();
  EXPECT_TRUE(Form1->Timer1->Enabled());
  EXPECT_TRUE(Form1->Timer2->Enabled());
  // "Зупинити процес" stops both.
  Choose(Form1->N3);
  EXPECT_FALSE(Form1->Timer1->Enabled());
  EXPECT_FALSE(Form1->Timer2->Enabled());
}

TEST_F(ModelForms, ABodyAsWideAsTheScreenIsRefusedAndOneAsHighStopsSilently) {
  Type(Form1->Edit1, "800");
  Simulate();
  EXPECT_EQ(Texts(), std::vector<std::string>{"інкорентні дані"});
  EXPECT_EQ(Boxes[0].Caption, "FloatBench");
  EXPECT_TRUE(Form3->Visible());
  EXPECT_EQ(Form3->Edit1->Text(), "");
  EXPECT_EQ(RestTop, 0);

  Boxes.clear();
  Form3->Hide();
  Type(Form1->Edit1, "50");
  Type(Form1->Edit2, "600");
  Simulate();
  EXPECT_TRUE(Boxes.empty());
  EXPECT_TRUE(Form3->Visible());
  EXPECT_EQ(RestTop, 0);
  EXPECT_FALSE(Form1->Timer1->Enabled());
}

TEST_F(ModelForms, BadNumbersStopTheActionWithTheFrameworkErrorKeepingWhatWasDone) {
  Confirm();
  Type(Form1->Edit3, "");
  Simulate();
  EXPECT_EQ(Texts(), std::vector<std::string>{"'' is not a valid integer value"});
  EXPECT_TRUE(Form3->Visible());
  EXPECT_EQ(Form3->Edit1->Text(), "");
  EXPECT_EQ(RestTop, 0);

  // A zero liquid density: the division fails after the picture was sized.
  Boxes.clear();
  Type(Form1->Edit3, "500");
  Type(Form1->Edit4, "0");
  Type(Form1->Edit1, "60");
  Simulate();
  EXPECT_EQ(Texts(), std::vector<std::string>{"Division by zero"});
  EXPECT_EQ(Form3->Image1->Width(), 60);
  EXPECT_EQ(RestTop, 0);
  EXPECT_FALSE(Form1->Timer1->Enabled());

  // Products past 32 bits wrap: 5000 x 5000 x 100 is -1 794 967 296 in 32 bits.
  Boxes.clear();
  Type(Form1->Edit4, "1000");
  Type(Form1->Edit1, "100");
  Type(Form1->Edit2, "5000");
  Type(Form1->Edit7, "6000");
  Type(Form1->Edit8, "6000");
  Type(Form1->Edit3, "5000");
  Simulate();
  EXPECT_TRUE(Boxes.empty());
  EXPECT_EQ(RestTop, -17949 + 100 - 5000);
  EXPECT_TRUE(Form1->Timer2->Enabled());
}

TEST_F(ModelForms, Confirming800x600LaysTheFormOutInATwoByTwoGrid) {
  Form1->Timer1->SetEnabled(true);
  Form1->Timer2->SetEnabled(true);
  Confirm();
  EXPECT_FALSE(Form1->Timer1->Enabled());
  EXPECT_FALSE(Form1->Timer2->Enabled());
  auto bounds = [](fw::TControl* c) {
    return std::vector<int>{c->Left(), c->Top(), c->Width(), c->Height()};
  };
  EXPECT_EQ(bounds(Form1->Panel1), (std::vector<int>{0, 25, 399, 200}));
  EXPECT_EQ(bounds(Form1->Panel2), (std::vector<int>{0, 225, 399, 200}));
  EXPECT_EQ(bounds(Form1->panel3), (std::vector<int>{399, 25, 399, 200}));
  EXPECT_EQ(bounds(Form1->panel4), (std::vector<int>{399, 225, 399, 200}));
  EXPECT_EQ(bounds(Form1->Shape4), (std::vector<int>{0, 201, 800, 375}));
  EXPECT_EQ(Form1->Button1->Top(), 475);
  EXPECT_EQ(Form1->Button2->Top(), 475);
  EXPECT_EQ(Form1->Button1->Left(), 512);
  EXPECT_EQ(Form1->Button2->Left(), 296);
  EXPECT_EQ(Form1->Panel5->Left(), 0);
  EXPECT_EQ(Form1->Panel5->Top(), 25);
  EXPECT_EQ(bounds(Form3->Image1), (std::vector<int>{200, 400, 50, 50}));
  EXPECT_TRUE(Boxes.empty());
}

TEST_F(ModelForms, ConfirmAcceptsOnlyItsListOfScreenSizes) {
  // The preset 1280*720 is offered but refused: the timers stop, nothing else changes.
  Form1->Timer1->SetEnabled(true);
  Click(Form1->label14);
  EXPECT_EQ(Form1->Edit8->Text(), "1280");
  EXPECT_EQ(Form1->Edit7->Text(), "720");
  Confirm();
  EXPECT_FALSE(Form1->Timer1->Enabled());
  EXPECT_EQ(Form1->Panel1->Width(), 537);
  EXPECT_EQ(Form1->Panel1->Top(), 296);
  EXPECT_TRUE(Boxes.empty());

  Type(Form1->Edit8, "640");
  Type(Form1->Edit7, "480");
  Confirm();
  EXPECT_EQ(Form1->Panel1->Width(), 537);
  Type(Form1->Edit7, "600");
  Confirm();
  EXPECT_EQ(Form1->Panel1->Width(), 319);
  EXPECT_EQ(Form1->Panel1->Height(), 200);
  EXPECT_EQ(Form1->panel3->Left(), 319);
  EXPECT_TRUE(Boxes.empty());
}

TEST_F(ModelForms, PositionsAreCheckedAgainstTheScreenWidth) {
  // Typing: equal to the width passes, one more gives the message.
  Type(Form1->Edit5, "800");
  EXPECT_TRUE(Boxes.empty());
  Type(Form1->Edit5, "801");
  EXPECT_EQ(Texts(), std::vector<std::string>{"перевірте розширення"});
  Boxes.clear();
  // The top is compared with the width too: 700 is below the screen but accepted.
  Type(Form1->Edit6, "700");
  EXPECT_TRUE(Boxes.empty());
  Type(Form1->Edit6, "801");
  EXPECT_EQ(Texts(), std::vector<std::string>{"Дане положення не можливе(перевірте розширення)"});
  Boxes.clear();
  // Confirm refuses the layout with one message.
  Confirm();
  EXPECT_EQ(Texts(), std::vector<std::string>{"перевірте розширення"});
  EXPECT_EQ(Form1->Panel1->Width(), 537);
  Boxes.clear();
  Type(Form1->Edit6, "700");
  Confirm();
  EXPECT_EQ(Texts(), std::vector<std::string>{"перевірте розширення"});
  Boxes.clear();
  Type(Form1->Edit5, "800");
  Confirm();
  EXPECT_TRUE(Boxes.empty());
  EXPECT_EQ(Form3->Image1->Left(), 800);
  EXPECT_EQ(Form3->Image1->Top(), 700);
}

TEST_F(ModelForms, ASpeedAbove30DisablesSimulateForGood) {
  // The arrows stay within 1 to 5; typing is not limited by them.
  for (int i = 0; i < 8; ++i) Do([] { Form1->Tedit9->UpClick(); });
  EXPECT_EQ(Form1->Tedit9->Text(), "5");
  for (int i = 0; i < 8; ++i) Do([] { Form1->Tedit9->DownClick(); });
  EXPECT_EQ(Form1->Tedit9->Text(), "1");
  EXPECT_TRUE(Boxes.empty());
  Type(Form1->Tedit9, "30");
  EXPECT_TRUE(Boxes.empty());
  EXPECT_TRUE(Form1->N10->Enabled());
  Type(Form1->Tedit9, "31");
  EXPECT_EQ(Texts(), std::vector<std::string>{"Для заданого значення відобразити моделювання не можливо"});
  EXPECT_FALSE(Form1->N10->Enabled());
  Type(Form1->Tedit9, "1");
  Click(Form1->Button2);
  Confirm();
  EXPECT_FALSE(Form1->N10->Enabled());
}

TEST_F(ModelForms, RestoreSetsTheTextsInOrderWithTheirReactions) {
  Type(Form1->Edit8, "100");
  Type(Form1->Edit5, "10");
  Type(Form1->Edit6, "20");
  Type(Form1->Edit1, "70");
  Form1->Timer1->SetEnabled(true);
  Form1->Timer2->SetEnabled(true);
  Boxes.clear();
  Click(Form1->Button2);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"перевірте розширення",
                                                "Дане положення не можливе(перевірте розширення)"}));
  EXPECT_FALSE(Form1->Timer1->Enabled());
  EXPECT_FALSE(Form1->Timer2->Enabled());
  EXPECT_EQ(Form1->Edit8->Text(), "800");
  EXPECT_EQ(Form1->Edit1->Text(), "50");
  EXPECT_EQ(Form3->Image1->Left(), 200);
  EXPECT_EQ(Form3->Image1->Top(), 400);
  EXPECT_EQ(Form3->Image1->Width(), 50);
  EXPECT_EQ(Form3->Image1->Height(), 50);
}

TEST_F(ModelForms, TicksReadTheirParametersEveryTime) {
  Confirm();
  Simulate();
  Tick(10);
  EXPECT_EQ(BodyTop(), 390);
  Type(Form1->Tedit9, "5");
  Tick();
  EXPECT_EQ(BodyTop(), 385);
  // A speed that is not a number raises the conversion error on every tick.
  Type(Form1->Tedit9, "x");
  Boxes.clear();
  Tick(2);
  EXPECT_EQ(Boxes.size(), 2u);
  EXPECT_EQ(BodyTop(), 385);
  // A sinking body at or below the screen height does not move, and its timer keeps running.
  Type(Form1->Tedit9, "1");
  Choose(Form1->N5);
  Form3->Image1->SetTop(600);
  Form1->Timer2->SetEnabled(true);
  Tick(3);
  EXPECT_EQ(BodyTop(), 600);
  EXPECT_TRUE(Form1->Timer2->Enabled());
}

TEST_F(ModelForms, TheMenuHoldsTheModelsCommandsAndExitEndsTheLoop) {
  EXPECT_EQ(Form1->Menu(), Form1->MainMenu1);
  EXPECT_EQ(Form1->N1->Caption(), "Меню");
  EXPECT_EQ(Form1->N2->Caption(), "Вийти");
  EXPECT_EQ(Form1->N4->Caption(), "Змоделювати");
  EXPECT_EQ(Form1->N10->Caption(), "змоделювати");
  EXPECT_EQ(Form1->N3->Caption(), "Зупинити процес");
  EXPECT_EQ(Form1->N5->Caption(), "відновити початкове положення");
  EXPECT_EQ(Form1->Sprix1->Caption(), "Модель_Sprix");
  // Its item presses the full-screen model's Start (unit4_scene_test).
  // "відновити початкове положення" only stops the timers; the body stays where it is.
  Confirm();
  Simulate();
  Tick(5);
  Choose(Form1->N5);
  EXPECT_FALSE(Form1->Timer1->Enabled());
  EXPECT_EQ(BodyTop(), 395);
  EXPECT_FALSE(fw::Application->Terminated());
  Choose(Form1->N2);
  EXPECT_TRUE(fw::Application->Terminated());
  fw::TApplicationTesting::ResetTerminated(*fw::Application);
}
