// Forms read from descriptions: client size and scrolling while loading, inherited fonts and
// colours, writing a form back, positions, focus, destruction and the real-time timer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>

#include "framework/ClassBuilder.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/FormsTesting.h"
#include "framework/Menus.h"
#include "framework/StdCtrls.h"
#include "framework/Streaming.h"
#include "platform/win/QtWindows.h"
#include "platform/win/WinUserTesting.h"
#include "tests/support/QtTestApp.h"

namespace fl {

using namespace fw;

constexpr const char* kForm4 = R"(object Form4: TLoadForm
  Left = 192
  Top = 107
  BorderIcons = [biSystemMenu, biMinimize]
  BorderStyle = bsSingle
  Caption = 'Sprix Sample'
  ClientHeight = 454
  ClientWidth = 640
  Color = clBtnFace
  Font.Charset = RUSSIAN_CHARSET
  Font.Color = clWindowText
  Font.Height = -12
  Font.Name = 'MS Sans Serif'
  Font.Style = [fsBold]
  HorzScrollBar.Position = 118
  KeyPreview = True
  Menu = MainMenu1
  Position = poDefaultPosOnly
  Scaled = False
  PixelsPerInch = 96
  TextHeight = 13
  object Panel1: TPanel
    Left = -134
    Top = 8
    Width = 300
    Height = 100
    object Label1: TLabel
      Left = 4
      Top = 4
      Caption = 'Виступ тіла над поверхнею '
    end
    object Label2: TLabel
      Left = 4
      Top = 24
      Caption = 'Швидкість'
      Font.Color = clRed
      ParentFont = False
    end
  end
  object Edit1: TEdit
    Left = 8
    Top = 200
    Width = 121
    Height = 21
    ReadOnly = True
    TabOrder = 0
    Text = '0'
    OnEnter = Edit1Enter
    OnExit = Edit1Exit
  end
  object Edit2: TEdit
    Left = 8
    Top = 230
    Width = 121
    Height = 21
    TabOrder = 1
  end
  object MainMenu1: TMainMenu
    object N1: TMenuItem
      Caption = 'Меню'
      object N2: TMenuItem
        Caption = 'Вийти'
        object N3: TMenuItem
          Caption = 'Глибше'
        end
      end
    end
  end
end
)";

class TLoadForm : public TForm {
  FW_CLASS(TLoadForm, TForm)
 public:
  explicit TLoadForm(TComponent* AOwner, std::string_view text = kForm4) : TForm(AOwner) {
    OnCreate = [this](TObject*) { log.push_back("create:" + std::to_string(Edit1 != nullptr)); };
    if (!text.empty()) LoadFromDescription(text);  // empty: read later, by the test
  }
  TPanel* Panel1 = nullptr;
  TLabel* Label1 = nullptr;
  TLabel* Label2 = nullptr;
  TEdit* Edit1 = nullptr;
  TEdit* Edit2 = nullptr;
  TMainMenu* MainMenu1 = nullptr;
  TMenuItem* N3 = nullptr;
  std::vector<std::string> log;
  void Edit1Enter(TObject*) { log.push_back("enter"); }
  void Edit1Exit(TObject*) { log.push_back("exit"); }
};

FW_REGISTER(TLoadForm, [](TClassBuilder<TLoadForm>& b) {
  b.Field("Panel1", &TLoadForm::Panel1);
  b.Field("Label1", &TLoadForm::Label1);
  b.Field("Label2", &TLoadForm::Label2);
  b.Field("Edit1", &TLoadForm::Edit1);
  b.Field("Edit2", &TLoadForm::Edit2);
  b.Field("MainMenu1", &TLoadForm::MainMenu1);
  b.Field("N3", &TLoadForm::N3);
  b.Method("Edit1Enter", &TLoadForm::Edit1Enter);
  b.Method("Edit1Exit", &TLoadForm::Edit1Exit);
})

struct FormsLoading : ::testing::Test {
  void SetUp() override { testsupport::EnsureApplication(); }
};

TEST_F(FormsLoading, ClientSizeBorderAndScrollingFromTheDescription) {
  auto f = MakeOwned<TLoadForm>(nullptr);
  EXPECT_EQ(f->log, std::vector<std::string>{"create:1"});
  EXPECT_EQ(f->BorderStyle(), bsSingle);
  EXPECT_EQ(f->ClientWidth(), 640);
  EXPECT_EQ(f->ClientHeight(), 454);
  win::RECT m = win::NonClientMargins(win::WS_CAPTION | win::WS_BORDER, 0, true);
  EXPECT_EQ(f->Width(), 640 + m.left + m.right);
  EXPECT_EQ(f->Height(), 454 + m.top + m.bottom);  // the menu bar counted in the frame
  EXPECT_FALSE(f->Scaled());
  EXPECT_EQ(f->Font()->Charset(), RUSSIAN_CHARSET);
  EXPECT_TRUE(f->Font()->Style().Contains(fsBold));
  // The stored position is that of the scrolled view: loading does not move the children.
  EXPECT_EQ(f->HorzScrollBar()->Position(), 118);
  EXPECT_EQ(f->Panel1->Left(), -134);
  f->Show();
  EXPECT_EQ(f->ClientWidth(), 640);
  win::RECT r;
  win::GetClientRect(f->Handle(), &r);
  EXPECT_EQ(r.right, 640);
  EXPECT_EQ(r.bottom, 454);
  // Scrolling at run time moves them.
  f->HorzScrollBar()->SetPosition(100);
  EXPECT_EQ(f->Panel1->Left(), -116);
  f->HorzScrollBar()->SetPosition(118);
  EXPECT_EQ(f->Panel1->Left(), -134);
}

TEST_F(FormsLoading, FontsAndColoursAreInherited) {
  auto f = MakeOwned<TLoadForm>(nullptr);
  EXPECT_TRUE(f->Label1->ParentFont());
  EXPECT_EQ(f->Label1->Font()->Height(), -12);
  EXPECT_FALSE(f->Label2->ParentFont());
  EXPECT_EQ(f->Label2->Font()->Color(), clRed);
  EXPECT_EQ(f->Label2->Font()->Height(), -12);  // the rest came from the parent before
  f->Font()->SetHeight(-16);
  EXPECT_EQ(f->Panel1->Font()->Height(), -16);
  EXPECT_EQ(f->Label1->Font()->Height(), -16);
  EXPECT_EQ(f->Label2->Font()->Height(), -12);
  // Labels take the colour of what they lie on.
  EXPECT_EQ(f->Label1->Color(), f->Panel1->Color());
  f->Panel1->SetColor(12370293);
  EXPECT_EQ(f->Label1->Color(), 12370293);
  f->Label1->SetColor(clWhite);
  f->Panel1->SetColor(clBlack);
  EXPECT_EQ(f->Label1->Color(), clWhite);
}

TEST_F(FormsLoading, AFormWrittenBackReadsTheSame) {
  auto f = MakeOwned<TLoadForm>(nullptr);
  std::string text = ComponentToText(*f);
  EXPECT_NE(text.find("Menu = MainMenu1"), std::string::npos) << text;
  EXPECT_NE(text.find("object Panel1: TPanel"), std::string::npos) << text;
  EXPECT_NE(text.find("object N3: TMenuItem"), std::string::npos) << text;
  EXPECT_NE(text.find("Caption = "), std::string::npos);
  auto g = MakeOwned<TLoadForm>(nullptr, text);
  EXPECT_EQ(g->Label2->Parent(), g->Panel1);
  EXPECT_EQ(g->Label1->Caption(), f->Label1->Caption());
  EXPECT_EQ(g->Edit1->ReadOnly(), true);
  EXPECT_EQ(g->Menu(), g->MainMenu1);
  ASSERT_NE(g->N3, nullptr);
  EXPECT_EQ(g->N3->Parent()->Caption(), "Вийти");
  EXPECT_EQ(g->Label2->Font()->Color(), clRed);
}

TEST_F(FormsLoading, FormsReadTheDescriptionsTheProgramRegistered) {
  // The framework brings none of its own, not even those of the model it is built with.
  EXPECT_TRUE(FindFormDescription("Main").empty());
  EXPECT_TRUE(FindFormDescription("Unit4").empty());
  auto f = MakeOwned<TLoadForm>(nullptr, "");
  EXPECT_THROW(f->LoadFromEmbeddedForm("Main"), EResNotFound);
  try {
    f->LoadFromEmbeddedForm("NoSuchUnit");
    ADD_FAILURE() << "loaded a form nobody registered";
  } catch (const EResNotFound& e) {
    EXPECT_STREQ(e.what(), "Resource NoSuchUnit not found");
  }

  {
    // The registry keeps its own copy: the program's text may go once it is registered.
    std::string text = kForm4;
    RegisterFormDescription("LoadUnit", text);
    text.assign(text.size(), 'x');
  }
  EXPECT_EQ(FindFormDescription("LoadUnit"), kForm4);
  EXPECT_TRUE(FindFormDescription("loadunit").empty());  // unit names are matched exactly
  f->LoadFromEmbeddedForm("LoadUnit");
  ASSERT_NE(f->Label2, nullptr);
  EXPECT_EQ(f->Caption(), "Sprix Sample");
  EXPECT_EQ(f->Label2->Parent(), f->Panel1);

  // Registering the unit again replaces its description.
  std::string changed = kForm4;
  changed.replace(changed.find("'Sprix Sample'"), 14, "'Registered'");
  RegisterFormDescription("LoadUnit", changed);
  auto g = MakeOwned<TLoadForm>(nullptr, FindFormDescription("LoadUnit"));
  EXPECT_EQ(g->Caption(), "Registered");
  RegisterFormDescription("LoadUnit", kForm4);
}

TEST_F(FormsLoading, MissingEmbeddedFormAndDefaultPosition) {
  auto f = MakeOwned<TForm>(nullptr);
  EXPECT_THROW(f->LoadFromEmbeddedForm("NoSuchUnit"), EResNotFound);
  auto g = MakeOwned<TLoadForm>(nullptr);
  g->Show();
  // The system's default position, not the stored one.
  EXPECT_NE(g->Left(), 192);
  EXPECT_GE(g->Left(), 0);
  EXPECT_EQ(g->Left(), g->Top());
}

TEST_F(FormsLoading, FocusRaisesEnterAndExit) {
  auto f = MakeOwned<TLoadForm>(nullptr);
  f->Show();
  f->log.clear();
  f->Edit1->SetFocus();
  EXPECT_TRUE(f->Edit1->Focused());
  f->Edit2->SetFocus();
  EXPECT_EQ(f->log, (std::vector<std::string>{"enter", "exit"}));
  EXPECT_EQ(f->ActiveControl(), f->Edit2);
}

TEST_F(FormsLoading, DestroyingAFormSendsDestroyThroughItsProcedureAndFreesItsWindows) {
  auto f = MakeOwned<TLoadForm>(nullptr);
  f->Show();
  win::HWND form = f->Handle();
  win::HWND edit = f->Edit1->Handle();
  std::vector<win::UINT> seen;
  TWndMethod saved = f->WindowProc;
  f->WindowProc = [&](TMessage& m) {
    seen.push_back(m.Msg);
    saved(m);
  };
  int destroyed = 0;
  f->OnDestroy = [&](TObject*) { ++destroyed; };
  f->DestroyHandle();
  EXPECT_NE(std::find(seen.begin(), seen.end(), win::WM_DESTROY), seen.end());
  EXPECT_FALSE(win::IsWindow(form));
  EXPECT_FALSE(win::IsWindow(edit));
  // Made again on next use, with a new handle and WM_CREATE.
  seen.clear();
  EXPECT_NE(f->Handle(), nullptr);
  EXPECT_NE(f->Handle(), form);
  EXPECT_EQ(seen.front(), win::WM_CREATE);
  f->WindowProc = saved;
  f.reset();
  EXPECT_EQ(destroyed, 1);
}

TEST_F(FormsLoading, ARealTimerTicksInTheMessageLoop) {
  TApplication* app = Application;
  auto f = MakeOwned<TForm>(nullptr);
  // The clock starts before the timer does: on a busy machine this thread may be put aside for
  // a while between the two, and the ticks are due from the timer's start.
  QElapsedTimer clock;
  clock.start();
  auto* t = new TTimer(f.get());
  t->SetInterval(15);
  int ticks = 0;
  t->OnTimer = [&](TObject*) {
    if (++ticks == 3) app->Terminate();
  };
  fw::TApplicationTesting::ResetTerminated(*app);
  app->Run();  // waits in the window system between ticks
  fw::TApplicationTesting::ResetTerminated(*app);
  EXPECT_EQ(ticks, 3);
  EXPECT_GE(clock.elapsed(), 40);
  t->SetEnabled(false);
}

TEST(KeyTable, VirtualKeysScanCodesAndPlaces) {
  EXPECT_EQ(win::MapVirtualKeyA('A', win::MAPVK_VK_TO_VSC), 0x1Eu);
  EXPECT_EQ(win::MapVirtualKeyA(0x1E, win::MAPVK_VSC_TO_VK), static_cast<win::UINT>('A'));
  EXPECT_EQ(win::MapVirtualKeyA(win::VK_ESCAPE, win::MAPVK_VK_TO_VSC), 1u);
  EXPECT_EQ(win::MapVirtualKeyA(0x1C, win::MAPVK_VSC_TO_VK), win::VK_RETURN);
  win::BYTE keys[256] = {};
  win::SetKeyboardState(keys);
  win::RecordKey(win::VK_LSHIFT, true);
  EXPECT_LT(win::GetKeyState(win::VK_SHIFT), 0);
  win::RecordKey(win::VK_RSHIFT, true);
  win::RecordKey(win::VK_LSHIFT, false);
  EXPECT_LT(win::GetKeyState(win::VK_SHIFT), 0) << "the right shift is still down";
  win::RecordKey(win::VK_RSHIFT, false);
  EXPECT_EQ(win::GetAsyncKeyState(win::VK_SHIFT), 0);
  win::RecordKey(win::VK_CAPITAL, true);
  win::RecordKey(win::VK_CAPITAL, false);
  EXPECT_EQ(win::GetKeyState(win::VK_CAPITAL) & 1, 1);  // toggled
  win::GetKeyboardState(keys);
  EXPECT_EQ(keys[win::VK_CAPITAL], 1);
  EXPECT_EQ(win::GetKeyState(300), 0);
}

}  // namespace fl
