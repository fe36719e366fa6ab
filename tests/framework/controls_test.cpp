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
#include "framework/ExtCtrlsTesting.h"
#include "framework/Forms.h"
#include "framework/Mask.h"
#include "framework/Menus.h"
#include "framework/Spin.h"
#include "framework/StdCtrls.h"
#include "platform/win/QtWindows.h"
#include "platform/win/WinUserTesting.h"
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


void SendMouse(QWidget* w, QEvent::Type type, Qt::MouseButton button, QPoint pos) {
  QMouseEvent e(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button,
                type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

void Click(QWidget* w, QPoint pos = QPoint(2, 2)) {
  SendMouse(w, QEvent::MouseButtonPress, Qt::LeftButton, pos);
  SendMouse(w, QEvent::MouseButtonRelease, Qt::LeftButton, pos);
}

void TypeKey(QWidget* w, int key, const QString& text, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QKeyEvent press(QEvent::KeyPress, key, mods, text);
  QApplication::sendEvent(w, &press);
  QKeyEvent release(QEvent::KeyRelease, key, mods, text);
  QApplication::sendEvent(w, &release);
}

class ShownControls : public Controls {
 protected:
  void SetUp() override {
    Controls::SetUp();
    form->Show();
    form->Edit1->SetFocus();
    form->log.clear();
  }
};

TEST_F(ShownControls, MouseClicksReachHandlers) {
  TTestForm& f = *form;
  ASSERT_NE(f.Label1->WidgetIfMade(), nullptr);
  Click(f.Label1->WidgetIfMade());
  ASSERT_EQ(f.log, std::vector<std::string>{"Label1Click"});
  // A press inside and a release outside the control is no click.
  SendMouse(f.Label1->WidgetIfMade(), QEvent::MouseButtonPress, Qt::LeftButton, QPoint(2, 2));
  SendMouse(f.Label1->WidgetIfMade(), QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(-5, 2));
  EXPECT_EQ(f.log.size(), 1u);

  auto* button = qobject_cast<QPushButton*>(f.Button1->WidgetIfMade());
  ASSERT_NE(button, nullptr);
  button->click();
  EXPECT_EQ(f.log.back(), "Button1Click");
  EXPECT_EQ(button->text().toStdString(), "підтвердити дані");
  // The check box raises OnClick on every change of state, also set by the program.
  int clicks = 0;
  f.CheckBox1->OnClick = [&](TObject*) { ++clicks; };
  f.CheckBox1->SetChecked(true);
  f.CheckBox1->SetChecked(true);
  qobject_cast<QCheckBox*>(f.CheckBox1->WidgetIfMade())->click();
  EXPECT_FALSE(f.CheckBox1->Checked());
  EXPECT_EQ(clicks, 2);
}

TEST_F(ShownControls, ChangeEventsFireOncePerActualChange) {
  TTestForm& f = *form;
  f.Edit1->SetText("50");  // the text it has: nothing
  EXPECT_TRUE(f.log.empty());
  f.Edit1->SetText("539");
  EXPECT_EQ(f.log, std::vector<std::string>{"Edit1Change:539"});
  auto* line = f.Edit1->LineEdit();
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->text().toStdString(), "539");
  f.log.clear();
  line->end(false);
  TypeKey(line, Qt::Key_1, "1");
  EXPECT_EQ(f.log, (std::vector<std::string>{"FormKeyDown:49", "Edit1Change:5391"}));
  EXPECT_EQ(f.Edit1->Text(), "5391");
  f.log.clear();
  line->setText("5391");  // the widget told the same text again
  f.Edit1->SetText("");
  f.Edit1->SetText("");
  EXPECT_EQ(f.log, std::vector<std::string>{"Edit1Change:"});

  // The spin edit takes any typed text; Value and the buttons keep to the range.
  f.log.clear();
  QLineEdit* spin = f.Spin1->LineEdit();
  ASSERT_NE(spin, nullptr);
  spin->setText("31");
  EXPECT_EQ(f.log, std::vector<std::string>{"Spin1Change:31"});
  EXPECT_EQ(f.Spin1->Value(), 31);
  f.Spin1->UpClick();
  EXPECT_EQ(f.Spin1->Text(), "5");
  f.Spin1->UpClick();  // already at the top: the text stays, no event
  EXPECT_EQ(f.log.size(), 2u);
  f.Spin1->SetText("abc");
  EXPECT_EQ(f.Spin1->Value(), 1);
  f.Spin1->SetValue(0);
  EXPECT_EQ(f.Spin1->Text(), "1");
}

TEST_F(ShownControls, MenuCommandsAndInitMenu) {
  TTestForm& f = *form;
  QMenuBar* bar = f.WidgetIfMade()->findChild<QMenuBar*>();
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(bar->actions().size(), 1);
  EXPECT_EQ(bar->actions()[0]->text().toStdString(), "Меню");
  QMenu* menu = bar->actions()[0]->menu();
  ASSERT_NE(menu, nullptr);
  int initMenus = 0;
  TWndMethod old = f.WindowProc;
  f.WindowProc = [&](TMessage& m) {
    if (m.Msg == win::WM_INITMENU) ++initMenus;
    old(m);
  };
  emit menu->aboutToShow();
  EXPECT_EQ(initMenus, 1);
  menu->actions()[0]->trigger();
  EXPECT_EQ(f.log, std::vector<std::string>{"N2Click"});
  // A disabled item does nothing; the rebuilt bar shows it disabled.
  f.N2->SetEnabled(false);
  f.N2->Click();
  EXPECT_EQ(f.log.size(), 1u);
  menu = f.WidgetIfMade()->findChild<QMenuBar*>()->actions()[0]->menu();
  EXPECT_FALSE(menu->actions()[0]->isEnabled());
  f.WindowProc = old;

  // Another menu of the form's, then that menu freed: the form forgets it and drops the bar.
  auto other = MakeOwned<TMainMenu>(nullptr);
  auto* item = new TMenuItem(other.get());
  item->SetCaption("Інше");
  other->Items()->Add(item);
  f.SetMenu(other.get());
  bar = f.WidgetIfMade()->findChild<QMenuBar*>();
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->actions()[0]->text().toStdString(), "Інше");
  item->SetCaption("Ще інше");
  EXPECT_EQ(f.WidgetIfMade()->findChild<QMenuBar*>()->actions()[0]->text().toStdString(), "Ще інше");
  other.reset();
  EXPECT_EQ(f.Menu(), nullptr);
  EXPECT_EQ(f.WidgetIfMade()->findChild<QMenuBar*>(), nullptr);
  f.SetMenu(f.MainMenu1);
  EXPECT_NE(f.WidgetIfMade()->findChild<QMenuBar*>(), nullptr);
}

TEST_F(ShownControls, TimerTicksAreDrivenByTheVirtualClock) {
  TTestForm& f = *form;
  win::SetVirtualTimers(true);
  EXPECT_EQ(win::AdvanceTimers(1000), 0);  // disabled
  f.Timer1->SetEnabled(true);
  EXPECT_TRUE(f.Timer1->Running());
  EXPECT_EQ(win::AdvanceTimers(99), 0);
  EXPECT_EQ(win::AdvanceTimers(1), 1);
  EXPECT_EQ(win::AdvanceTimers(250), 2);
  EXPECT_EQ(f.log.size(), 3u);
  f.Timer1->SetEnabled(false);
  EXPECT_EQ(win::AdvanceTimers(1000), 0);

  // A failing tick reaches the default error handler's message box; the timer goes on.
  testsupport::MessageBoxRecorder boxes;
  f.throw_in_timer = true;
  f.Timer1->SetEnabled(true);
  EXPECT_EQ(win::AdvanceTimers(200), 2);
  ASSERT_EQ(boxes.Boxes.size(), 2u);
  EXPECT_EQ(boxes.Boxes[0].Text, "'x' is not a valid integer value");
  EXPECT_EQ(boxes.Boxes[0].Caption, Application->Title());
  EXPECT_EQ(boxes.Boxes[0].Type & 0x0F, win::MB_OK);
  f.Timer1->SetEnabled(false);
  win::SetVirtualTimers(false);
}

TEST_F(ShownControls, ContextPopupOnAShape) {
  TTestForm& f = *form;
  QWidget* w = f.Shape1->WidgetIfMade();
  ASSERT_NE(w, nullptr);
  QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(30, 40), w->mapToGlobal(QPoint(30, 40)));
  QApplication::sendEvent(w, &e);
  EXPECT_EQ(f.log, std::vector<std::string>{"Shape1ContextPopup:30,40"});
}

TEST_F(ShownControls, KeyPreviewSeesKeysFirstAndCanSwallowThem) {
  TTestForm& f = *form;
  QLineEdit* line = f.Edit1->LineEdit();
  line->end(false);
  TypeKey(line, Qt::Key_2, "2");
  ASSERT_EQ(f.log.size(), 2u);
  EXPECT_EQ(f.log[0], "FormKeyDown:50");
  EXPECT_EQ(f.log[1], "Edit1Change:502");
  f.log.clear();
  TypeKey(line, Qt::Key_Z, "z");  // the form's handler clears the key: the edit never sees it
  EXPECT_EQ(f.log, std::vector<std::string>{"FormKeyDown:90"});
  EXPECT_EQ(f.Edit1->Text(), "502");
  f.log.clear();
  TypeKey(line, Qt::Key_Return, "\r", Qt::AltModifier);
  EXPECT_EQ(f.log, std::vector<std::string>{"FormKeyDown:13+alt"});
  // The key table followed the keys.
  QKeyEvent down(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(line, &down);
  EXPECT_LT(win::GetAsyncKeyState(win::VK_ESCAPE), 0);
  QKeyEvent up(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(line, &up);
  EXPECT_EQ(win::GetAsyncKeyState(win::VK_ESCAPE), 0);
}

TEST_F(ShownControls, PagesLabelsAndAlignment) {
  TTestForm& f = *form;
  EXPECT_TRUE(f.TabSheet2->Visible());
  EXPECT_FALSE(f.TabSheet1->Visible());
  TRect d = f.PageControl1->DisplayRect();
  EXPECT_EQ(f.TabSheet1->Width(), d.right - d.left);
  int changes = 0;
  f.PageControl1->OnChange = [&](TObject*) { ++changes; };
  auto* tabs = f.PageControl1->WidgetIfMade()->findChild<QTabBar*>();
  ASSERT_NE(tabs, nullptr);
  EXPECT_EQ(tabs->tabText(0).toStdString(), "Властивості");
  tabs->setCurrentIndex(0);
  EXPECT_EQ(f.PageControl1->ActivePage(), f.TabSheet1);
  EXPECT_TRUE(f.TabSheet1->Visible());
  EXPECT_FALSE(f.TabSheet2->Visible());
  EXPECT_EQ(changes, 1);
  // An auto-sized label fits its caption; a longer caption widens it.
  int w = f.Label1->Width();
  EXPECT_GT(w, 0);
  f.Label1->SetCaption("Густина тіла та рідини");
  EXPECT_GT(f.Label1->Width(), w);
  // alClient fills the parent's client area and follows it.
  f.Panel1->SetAlign(alClient);
  EXPECT_EQ(f.Panel1->Left(), 0);
  EXPECT_EQ(f.Panel1->Width(), f.ClientWidth());
  EXPECT_EQ(f.Panel1->Height(), f.ClientHeight());
  f.SetBounds(f.Left(), f.Top(), 500, 400);
  EXPECT_EQ(f.Panel1->Width(), f.ClientWidth());
  f.TrackBar1->SetPosition(500);
  EXPECT_EQ(f.TrackBar1->Position(), 100);
}

TEST_F(ShownControls, FontFallsBackToACyrillicFamily) {
  TFont font;
  font.SetName("MS Sans Serif");  // not on this system
  EXPECT_EQ(font.ResolvedFamily(), TFont::FallbackFamily());
  font.SetHeight(-13);
  EXPECT_EQ(font.Size(), 10);
  int changes = 0;
  font.OnChange = [&](TObject*) { ++changes; };
  font.SetHeight(-13);
  font.SetStyle(TFontStyles{fsItalic});
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(font.ToQFont().italic());
  EXPECT_EQ(font.ToQFont().pixelSize(), 13);
}

TEST(ControlsDescription, NamesOfMissingThingsAreReported) {
  testsupport::EnsureApplication();
  auto expectError = [](std::string text, const std::string& needle) {
    try {
      auto f = MakeOwned<TTestForm>(nullptr, text);
      ADD_FAILURE() << "no error for " << needle;
    } catch (const Exception& e) {
      EXPECT_NE(std::string(e.Message()).find(needle), std::string::npos) << e.Message();
    }
  };
  std::string base = kDescription;
  auto replace = [&](const std::string& from, const std::string& to) {
    std::string s = base;
    s.replace(s.find(from), from.size(), to);
    return s;
  };
  expectError(replace("object Button1: TButton", "object Button1: TButtonX"), "TButtonX");
  expectError(replace("OnClick = Button1Click", "OnClick = Button9Click"), "Button9Click");
  expectError(replace("Caption = 'CheckBox1'", "Kaption = 'CheckBox1'"), "Kaption");
}

TEST_F(ShownControls, ScreenshotOfTheTestForm) {
  TTestForm& f = *form;
  f.Edit1->SetText("Ґанок їжака");
  f.PageControl1->SetActivePage(f.TabSheet1);
  QApplication::processEvents();
  std::string path = testsupport::SaveWidgetPng(f.WidgetIfMade(), "test_form.png");
  ASSERT_FALSE(path.empty());
  QImage img(QString::fromStdString(path));
  ASSERT_FALSE(img.isNull());
  EXPECT_EQ(img.width(), f.WidgetIfMade()->width());
  // The shape's brush colour is on the picture (R 6F, G 72, B B0 at a point of the shape).
  QPoint inShape = f.Shape1->WidgetIfMade()->mapTo(f.WidgetIfMade(), QPoint(100, 50));
  EXPECT_EQ(img.pixelColor(inShape), QColor(0x6F, 0x72, 0xB0));
}


TEST_F(ShownControls, ImageShowsItsPictureStretched) {
  TTestForm& f = *form;
  TBitmap bmp;
  bmp.SetPixelFormat(pf32bit);
  bmp.SetSize(2, 2);
  bmp.Canvas()->SetPixel(0, 0, clRed);
  bmp.Canvas()->SetPixel(1, 0, clLime);
  bmp.Canvas()->SetPixel(0, 1, clBlue);
  bmp.Canvas()->SetPixel(1, 1, clWhite);
  f.Image1->Picture()->SetGraphic(&bmp);
  ASSERT_EQ(f.Image1->Picture()->Width(), 2);
  std::vector<std::uint32_t> px = fw::TImageTesting::RenderPixels(*f.Image1);
  ASSERT_EQ(px.size(), 73u * 73u);
  auto at = [&](int x, int y) { return px[static_cast<std::size_t>(y) * 73 + x]; };
  EXPECT_EQ(at(5, 5), 0xFF0000u);    // red, stretched over the top left quarter
  EXPECT_EQ(at(70, 5), 0x00FF00u);   // lime
  EXPECT_EQ(at(5, 70), 0x0000FFu);   // blue
  EXPECT_EQ(at(70, 70), 0xFFFFFFu);  // white
  // Not stretched: the picture at its own size in the corner, the rest the parent's colour.
  f.Image1->SetStretch(false);
  px = fw::TImageTesting::RenderPixels(*f.Image1);
  EXPECT_EQ(at(1, 1), 0xFFFFFFu);
  EXPECT_EQ(at(40, 40), static_cast<std::uint32_t>(ColorToRGB(clBtnFace)));
  f.Image1->SetCenter(true);
  EXPECT_EQ(f.Image1->DestRect(), Bounds(35, 35, 2, 2));
  // Painted on screen as well.
  f.Image1->SetStretch(true);
  QImage shot = f.WidgetIfMade()->grab().toImage();
  QPoint inImage = f.Image1->WidgetIfMade()->mapTo(f.WidgetIfMade(), QPoint(60, 60));
  EXPECT_EQ(shot.pixelColor(inImage), QColor(255, 255, 255));
}

}  // namespace tf
