// Controls built from a stored description: binding, events, change notifications, painting.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabBar>
#include <QWidget>

#include "framework/ClassBuilder.h"
#include "framework/ComCtrls.h"
#include "framework/Dialogs.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/Mask.h"
#include "framework/Menus.h"
#include "framework/Spin.h"
#include "framework/StdCtrls.h"
#include "platform/win/QtWindows.h"
#include "tests/support/QtTestApp.h"

namespace tf {

using namespace fw;

constexpr const char* kDescription = R"(object TestForm: TTestForm
  Left = 40
  Top = 30
  Width = 640
  Height = 480
  Caption = 'Перевірка'
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  KeyPreview = True
  Menu = MainMenu1
  PixelsPerInch = 96
  OnKeyDown = FormKeyDown
  object Shape1: TShape
    Left = -10
    Top = 200
    Width = 300
    Height = 100
    Brush.Color = 11563631
    OnContextPopup = Shape1ContextPopup
  end
  object Label1: TLabel
    Left = 8
    Top = 8
    Cursor = crHandPoint
    Caption = 'Густина тіла'
    Font.Color = 14234103
    Font.Height = -13
    ParentFont = False
    OnClick = Label1Click
  end
  object Panel1: TPanel
    Left = 8
    Top = 40
    Width = 300
    Height = 120
    Color = 12370293
    object Edit1: TEdit
      Left = 8
      Top = 8
      Width = 65
      Height = 21
      Text = '50'
      OnChange = Edit1Change
    end
    object Edit2: TMaskEdit
      Left = 80
      Top = 8
      Width = 73
      Height = 21
      Text = '1000'
    end
    object Spin1: TSpinEdit
      Left = 8
      Top = 40
      Width = 121
      Height = 22
      MaxValue = 5
      MinValue = 1
      Value = 1
      OnChange = Spin1Change
    end
  end
  object Button1: TButton
    Left = 320
    Top = 40
    Width = 169
    Height = 25
    Caption = 'підтвердити дані'
    OnClick = Button1Click
  end
  object CheckBox1: TCheckBox
    Left = 320
    Top = 80
    Width = 97
    Height = 17
    Caption = 'CheckBox1'
    TabOrder = 1
  end
  object StaticText1: TStaticText
    Left = 320
    Top = 110
    Caption = 'Цегла'
  end
  object PageControl1: TPageControl
    Left = 320
    Top = 140
    Width = 300
    Height = 200
    ActivePage = TabSheet2
    MultiLine = True
    object TabSheet1: TTabSheet
      Caption = 'Властивості'
    end
    object TabSheet2: TTabSheet
      Caption = 'Насторйки'
      ImageIndex = 1
      object TrackBar1: TTrackBar
        Left = 0
        Top = 56
        Width = 150
        Height = 45
        Max = 100
      end
    end
  end
  object Image1: TImage
    Left = 8
    Top = 320
    Width = 73
    Height = 73
    Stretch = True
  end
  object Timer1: TTimer
    Enabled = False
    Interval = 100
    OnTimer = Timer1Timer
  end
  object MainMenu1: TMainMenu
    object N1: TMenuItem
      Caption = 'Меню'
      object N2: TMenuItem
        Caption = 'Вийти'
        OnClick = N2Click
      end
    end
  end
end
)";

class TTestForm : public TForm {
  FW_CLASS(TTestForm, TForm)
 public:
  explicit TTestForm(TComponent* AOwner, std::string_view text = kDescription) : TForm(AOwner) {
    LoadFromDescription(text);
  }
  TShape* Shape1 = nullptr;
  TLabel* Label1 = nullptr;
  TPanel* Panel1 = nullptr;
  TEdit* Edit1 = nullptr;
  TMaskEdit* Edit2 = nullptr;
  TSpinEdit* Spin1 = nullptr;
  TButton* Button1 = nullptr;
  TCheckBox* CheckBox1 = nullptr;
  TStaticText* StaticText1 = nullptr;
  TPageControl* PageControl1 = nullptr;
  TTabSheet* TabSheet1 = nullptr;
  TTabSheet* TabSheet2 = nullptr;
  TTrackBar* TrackBar1 = nullptr;
  TImage* Image1 = nullptr;
  TTimer* Timer1 = nullptr;
  TMainMenu* MainMenu1 = nullptr;
  TMenuItem* N1 = nullptr;
  TMenuItem* N2 = nullptr;

  std::vector<std::string> log;
  void Label1Click(TObject*) { log.push_back("Label1Click"); }
  void Edit1Change(TObject*) { log.push_back("Edit1Change:" + Edit1->Text()); }
  void Spin1Change(TObject*) { log.push_back("Spin1Change:" + Spin1->Text()); }
  void Button1Click(TObject*) { log.push_back("Button1Click"); }
  void Timer1Timer(TObject*) {
    log.push_back("Timer1Timer");
    if (throw_in_timer) throw EConvertError("'x' is not a valid integer value");
  }
  void N2Click(TObject*) { log.push_back("N2Click"); }
  void Shape1ContextPopup(TObject*, TPoint p, bool& handled) {
    log.push_back("Shape1ContextPopup:" + std::to_string(p.x) + "," + std::to_string(p.y));
    handled = true;
  }
  void FormKeyDown(TObject*, std::uint16_t& key, TShiftState shift) {
    log.push_back("FormKeyDown:" + std::to_string(key) + (shift.Contains(ssAlt) ? "+alt" : ""));
    if (key == 'Z') key = 0;
  }
  bool throw_in_timer = false;
};

FW_REGISTER(TTestForm, [](TClassBuilder<TTestForm>& b) {
  b.Field("Shape1", &TTestForm::Shape1);
  b.Field("Label1", &TTestForm::Label1);
  b.Field("Panel1", &TTestForm::Panel1);
  b.Field("Edit1", &TTestForm::Edit1);
  b.Field("Edit2", &TTestForm::Edit2);
  b.Field("Spin1", &TTestForm::Spin1);
  b.Field("Button1", &TTestForm::Button1);
  b.Field("CheckBox1", &TTestForm::CheckBox1);
  b.Field("StaticText1", &TTestForm::StaticText1);
  b.Field("PageControl1", &TTestForm::PageControl1);
  b.Field("TabSheet1", &TTestForm::TabSheet1);
  b.Field("TabSheet2", &TTestForm::TabSheet2);
  b.Field("TrackBar1", &TTestForm::TrackBar1);
  b.Field("Image1", &TTestForm::Image1);
  b.Field("Timer1", &TTestForm::Timer1);
  b.Field("MainMenu1", &TTestForm::MainMenu1);
  b.Field("N1", &TTestForm::N1);
  b.Field("N2", &TTestForm::N2);
  b.Method("Label1Click", &TTestForm::Label1Click);
  b.Method("Edit1Change", &TTestForm::Edit1Change);
  b.Method("Spin1Change", &TTestForm::Spin1Change);
  b.Method("Button1Click", &TTestForm::Button1Click);
  b.Method("Timer1Timer", &TTestForm::Timer1Timer);
  b.Method("N2Click", &TTestForm::N2Click);
  b.Method("Shape1ContextPopup", &TTestForm::Shape1ContextPopup);
  b.Method("FormKeyDown", &TTestForm::FormKeyDown);
})

class Controls : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::EnsureApplication();
    form = MakeOwned<TTestForm>(nullptr);
  }
  TOwned<TTestForm> form;
};

TEST_F(Controls, DescriptionLoadsAndBindsMembers) {
  TTestForm& f = *form;
  ASSERT_NE(f.Edit1, nullptr);
  ASSERT_NE(f.N2, nullptr);
  EXPECT_EQ(f.Caption(), "Перевірка");
  EXPECT_EQ(f.Edit1->Text(), "50");
  EXPECT_EQ(f.Edit1->Parent(), f.Panel1);
  EXPECT_EQ(f.Panel1->Color(), 12370293);
  EXPECT_EQ(f.Shape1->Brush()->Color(), 11563631);
  EXPECT_EQ(f.Shape1->Left(), -10);
  EXPECT_EQ(f.Label1->Cursor(), crHandPoint);
  EXPECT_EQ(f.Label1->Font()->Height(), -13);
  EXPECT_EQ(f.Label1->Font()->Name(), "MS Sans Serif");  // from the form, before ParentFont = False
  EXPECT_EQ(f.Spin1->Value(), 1);
  EXPECT_EQ(f.Spin1->MaxValue(), 5);
  EXPECT_EQ(f.PageControl1->ActivePage(), f.TabSheet2);
  EXPECT_EQ(f.PageControl1->PageCount(), 2);
  EXPECT_TRUE(f.PageControl1->MultiLine());
  EXPECT_EQ(f.TrackBar1->Max(), 100);
  EXPECT_EQ(f.Menu(), f.MainMenu1);
  EXPECT_EQ(f.MainMenu1->Items()->Count(), 1);
  EXPECT_EQ(f.N1->Items(0), f.N2);
  EXPECT_FALSE(f.Timer1->Enabled());
  EXPECT_FALSE(f.Timer1->Running());
  EXPECT_TRUE(f.log.empty()) << f.log.front();
}

}  // namespace tf
