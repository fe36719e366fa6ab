#include "app/Main.h"

#include <array>
#include <string_view>
#include <utility>

#include "app/MainArith.h"
#include "app/Unit3.h"
#include "app/Unit4.h"
#include "forms/Embedded.h"
#include "framework/ClassBuilder.h"

namespace app {

TForm1* Form1 = nullptr;

namespace {

// Every parameter is read again as decimal text at the moment it is used.
std::int32_t Num(const fw::TControl* Edit) { return fw::StrToInt(Edit->Text()); }

// The plain message box: one OK button, the application's title as caption.
void Message(const std::string& Text) { fw::Application->MessageBox(Text, "", win::MB_OK); }

constexpr const char* kCheckResolution = "перевірте розширення";
constexpr const char* kPositionImpossible = "Дане положення не можливе(перевірте розширення)";
constexpr const char* kSpeedTooHigh = "Для заданого значення відобразити моделювання не можливо";
constexpr const char* kIncorrectData = "інкорентні дані";

// Screen sizes the confirm button lays the form out for, in the order they are tested.
constexpr std::array<std::pair<std::int32_t, std::int32_t>, 8> kAcceptedSizes{{
    {800, 600}, {640, 600}, {848, 480}, {1024, 768}, {1152, 864}, {1280, 768}, {1280, 960}, {1280, 1024}}};

// A preset label writes its texts into its edits, in this order.
struct Preset {
  std::string_view Label;
  std::string_view Edit;
  std::string_view Text;
  std::string_view Edit2 = {};
  std::string_view Text2 = {};
};
constexpr Preset kPresets[] = {
    // Materials: the body density.
    {"StaticText1", "Edit3", "1800"}, {"Label32", "Edit3", "690"}, {"Label24", "Edit3", "2700"},
    {"Label25", "Edit3", "8800"},     {"Label26", "Edit3", "539"}, {"Label27", "Edit3", "968"},
    {"Label28", "Edit3", "7800"},     {"Label29", "Edit3", "7133"}, {"Label30", "Edit3", "1070"},
    {"Label31", "Edit3", "900"},
    // Liquids: the liquid density.
    {"Label17", "Edit4", "1000"}, {"Label18", "Edit4", "800"}, {"Label20", "Edit4", "13546"},
    {"Label21", "Edit4", "800"},  {"Label16", "Edit4", "800"}, {"Label22", "Edit4", "1345"},
    {"Label23", "Edit4", "910"},
    // Screen sizes: the width first, then the height.
    {"label8", "Edit8", "800", "Edit7", "600"},    {"label9", "Edit8", "1024", "Edit7", "768"},
    {"label10", "Edit8", "1152", "Edit7", "864"},  {"label11", "Edit8", "1280", "Edit7", "768"},
    {"label12", "Edit8", "1280", "Edit7", "960"},  {"label13", "Edit8", "1280", "Edit7", "1024"},
    {"label14", "Edit8", "1280", "Edit7", "720"},
};

}  // namespace

void ResetModelState() {
  RestTop = MoveDir = TargetY = StartX = StartY = 0;
  BodyWidth = BodyHeight = BodyDensity = LiquidDensity = 0;
  ScreenWidth = ScreenHeight = ZBase = 0;
}

void RegisterForms() {
  for (const char* unit : {"Main", "Unit3", "Unit4"}) fw::RegisterFormDescription(unit, forms::FindEmbeddedForm(unit));
}

TForm1::TForm1(fw::TComponent* AOwner) : fw::TForm(AOwner) { LoadFromEmbeddedForm("Main"); }

void TForm1::N10Click(fw::TObject*) {
  TForm3& view = *Form3;
  view.Edit1->SetText("");
  view.Show();
  if (Num(Edit1) >= Num(Edit8)) {
    Message(kIncorrectData);
    return;
  }
  if (Num(Edit2) >= Num(Edit7)) return;
  view.Image1->SetWidth(Num(Edit1));
  view.Image1->SetHeight(Num(Edit2));

  std::int32_t a = Mul32(Num(Edit3), Num(Edit1));
  a = Mul32(a, Num(Edit2));
  const std::int32_t b = Mul32(Num(Edit1), Num(Edit4));
  const std::int32_t q = Div32(a, b);
  RestTop = Sub32(Add32(q, 100), Num(Edit2));
  Label5->SetCaption(fw::IntToStr(RestTop));

  if (Num(Edit3) < Num(Edit4)) {
    Timer1->SetEnabled(true);
    const std::int32_t rhoBody = Num(Edit3);
    const std::int32_t rhoLiquid = Num(Edit4);
    const std::int64_t p = Protrusion(Num(Edit2), rhoBody, rhoLiquid);
    view.Edit1->SetText(fw::IntToStr(p));
  }
  if (Num(Edit3) > Num(Edit4)) Timer2->SetEnabled(true);
}

void TForm1::N2Click(fw::TObject*) { fw::Application->Terminate(); }

void TForm1::N3Click(fw::TObject*) {
  Timer2->SetEnabled(false);
  Timer1->SetEnabled(false);
}

void TForm1::N5Click(fw::TObject*) {
  Timer1->SetEnabled(false);
  Timer2->SetEnabled(false);
}

void TForm1::Sprix1Click(fw::TObject*) { form4->Button3->Click(); }

void TForm1::Button1Click(fw::TObject*) {
  Timer2->SetEnabled(false);
  Timer1->SetEnabled(false);
  const std::pair<std::int32_t, std::int32_t> size{Num(Edit8), Num(Edit7)};
  bool accepted = false;
  for (const auto& s : kAcceptedSizes) accepted = accepted || s == size;
  if (!accepted) return;
  if (Num(Edit6) > Num(Edit8)) {
    Message(kCheckResolution);
    return;
  }
  if (Num(Edit5) > Num(Edit8)) {
    Message(kCheckResolution);
    return;
  }
  // Each pass reads the positions the previous one left; the tenth pass's state is the layout.
  for (int pass = 0; pass < 10; ++pass) LayoutPass();
}

void TForm1::LayoutPass() {
  const std::int32_t a = Sub32(Div32(Num(Edit8), 2), 1);
  const std::int32_t b = Div32(Num(Edit7), 3);
  Timer1->SetEnabled(false);
  Timer2->SetEnabled(false);
  for (fw::TPanel* p : {Panel1, Panel2, panel3, panel4}) {
    p->SetWidth(a);
    p->SetHeight(b);
  }
  fw::TImage* body = Form3->Image1;
  body->SetWidth(Num(Edit1));
  body->SetHeight(Num(Edit2));
  body->SetLeft(Num(Edit5));
  body->SetTop(Num(Edit6));
  Shape4->SetWidth(Num(Edit8));
  Shape4->SetHeight(Sub32(Num(Edit7), Panel2->Top()));
  Shape4->SetLeft(0);
  Shape4->SetTop(Sub32(Num(Edit7), Panel1->Width()));
  Panel1->SetLeft(0);
  Panel1->SetTop(25);
  Panel2->SetLeft(0);
  Panel2->SetTop(Add32(Panel1->Top(), Panel1->Height()));
  panel3->SetLeft(a);
  panel3->SetTop(Panel1->Top());
  panel4->SetLeft(a);
  panel4->SetTop(Panel2->Top());
  Panel5->SetLeft(0);
  Panel5->SetTop(25);
  const std::int32_t buttons = Add32(Add32(panel4->Top(), 50), panel4->Height());
  Button1->SetTop(buttons);
  Button2->SetTop(buttons);
}

void TForm1::Button2Click(fw::TObject*) {
  Timer2->SetEnabled(false);
  Timer1->SetEnabled(false);
  // Each change fires its reaction at once, against the fields as they are at that moment.
  Edit1->SetText("50");
  Edit2->SetText("50");
  Edit3->SetText("500");
  Edit4->SetText("1000");
  Edit5->SetText("200");
  Edit6->SetText("400");
  Edit7->SetText("600");
  Edit8->SetText("800");
  fw::TImage* body = Form3->Image1;
  body->SetWidth(Num(Edit1));
  body->SetHeight(Num(Edit2));
  body->SetLeft(Num(Edit5));
  body->SetTop(Num(Edit6));
}

void TForm1::Edit5Change(fw::TObject*) {
  if (Loading()) return;
  if (Num(Edit5) > Num(Edit8)) Message(kCheckResolution);
}

void TForm1::Edit6Change(fw::TObject*) {
  if (Loading()) return;
  // Compared with the screen width, as the left position is.
  if (Num(Edit6) > Num(Edit8)) Message(kPositionImpossible);
}

void TForm1::Tedit9Change(fw::TObject*) {
  if (Loading()) return;
  // The field's value: what is typed, whatever the arrows' limits; text that is not (yet) a
  // number counts as the lowest speed.
  std::int32_t value = 0;
  if (!fw::TryStrToInt(Tedit9->Text(), value)) value = Tedit9->MinValue();
  if (value > 30) {
    Message(kSpeedTooHigh);
    N10->SetEnabled(false);
  }
}

void TForm1::PresetClick(fw::TObject* Sender) {
  auto* label = dynamic_cast<fw::TComponent*>(Sender);
  if (!label) return;
  for (const Preset& p : kPresets) {
    if (label->Name() != p.Label) continue;
    if (auto* edit = dynamic_cast<fw::TControl*>(FindComponent(std::string(p.Edit))))
      edit->SetText(std::string(p.Text));
    if (!p.Edit2.empty())
      if (auto* edit = dynamic_cast<fw::TControl*>(FindComponent(std::string(p.Edit2))))
        edit->SetText(std::string(p.Text2));
    return;
  }
}

void TForm1::Timer1Timer(fw::TObject*) {
  const std::int32_t s = Num(Tedit9);
  fw::TImage* body = Form3->Image1;
  if (body->Top() > RestTop) body->SetTop(Sub32(body->Top(), s));
}

void TForm1::Timer2Timer(fw::TObject*) {
  const std::int32_t s = Num(Tedit9);
  const std::int32_t h = Num(Edit2);
  const std::int32_t H = Num(Edit7);
  fw::TImage* body = Form3->Image1;
  if (body->Top() < H) {
    body->SetTop(Add32(body->Top(), s));
    // The stop line comes from the screen height on this form, not from the window's.
    if (Sub32(H, Mul32(2, h)) < body->Top()) Timer2->SetEnabled(false);
  }
}

FW_REGISTER(TForm1, [](fw::TClassBuilder<TForm1>& b) {
  b.Field("Label4", &TForm1::Label4);
  b.Field("PageControl1", &TForm1::PageControl1);
  b.Field("TabSheet2", &TForm1::TabSheet2);
  b.Field("TabSheet3", &TForm1::TabSheet3);
  b.Field("Label5", &TForm1::Label5);
  b.Field("Shape4", &TForm1::Shape4);
  b.Field("Panel1", &TForm1::Panel1);
  b.Field("Panel2", &TForm1::Panel2);
  b.Field("panel3", &TForm1::panel3);
  b.Field("panel4", &TForm1::panel4);
  b.Field("Panel5", &TForm1::Panel5);
  b.Field("Button1", &TForm1::Button1);
  b.Field("Button2", &TForm1::Button2);
  b.Field("Edit1", &TForm1::Edit1);
  b.Field("Edit2", &TForm1::Edit2);
  b.Field("Edit3", &TForm1::Edit3);
  b.Field("Edit4", &TForm1::Edit4);
  b.Field("Edit5", &TForm1::Edit5);
  b.Field("Edit6", &TForm1::Edit6);
  b.Field("Edit7", &TForm1::Edit7);
  b.Field("Edit8", &TForm1::Edit8);
  b.Field("Edit9", &TForm1::Edit9);
  b.Field("Tedit9", &TForm1::Tedit9);
  b.Field("Label2", &TForm1::Label2);
  b.Field("Label33", &TForm1::Label33);
  b.Field("wight", &TForm1::wight);
  b.Field("height", &TForm1::height);
  b.Field("gustina", &TForm1::gustina);
  b.Field("gustinawodu", &TForm1::gustinawodu);
  b.Field("Label15", &TForm1::Label15);
  b.Field("Label1", &TForm1::Label1);
  b.Field("Label7", &TForm1::Label7);
  b.Field("Label3", &TForm1::Label3);
  b.Field("Label6", &TForm1::Label6);
  b.Field("StaticText1", &TForm1::StaticText1);
  b.Field("Label32", &TForm1::Label32);
  b.Field("Label24", &TForm1::Label24);
  b.Field("Label25", &TForm1::Label25);
  b.Field("Label26", &TForm1::Label26);
  b.Field("Label27", &TForm1::Label27);
  b.Field("Label28", &TForm1::Label28);
  b.Field("Label29", &TForm1::Label29);
  b.Field("Label30", &TForm1::Label30);
  b.Field("Label31", &TForm1::Label31);
  b.Field("Label17", &TForm1::Label17);
  b.Field("Label18", &TForm1::Label18);
  b.Field("Label20", &TForm1::Label20);
  b.Field("Label21", &TForm1::Label21);
  b.Field("Label16", &TForm1::Label16);
  b.Field("Label22", &TForm1::Label22);
  b.Field("Label23", &TForm1::Label23);
  b.Field("label8", &TForm1::label8);
  b.Field("label9", &TForm1::label9);
  b.Field("label10", &TForm1::label10);
  b.Field("label11", &TForm1::label11);
  b.Field("label12", &TForm1::label12);
  b.Field("label13", &TForm1::label13);
  b.Field("label14", &TForm1::label14);
  b.Field("Timer1", &TForm1::Timer1);
  b.Field("Timer2", &TForm1::Timer2);
  b.Field("MainMenu1", &TForm1::MainMenu1);
  b.Field("N1", &TForm1::N1);
  b.Field("N2", &TForm1::N2);
  b.Field("N4", &TForm1::N4);
  b.Field("N10", &TForm1::N10);
  b.Field("N3", &TForm1::N3);
  b.Field("N5", &TForm1::N5);
  b.Field("Sprix1", &TForm1::Sprix1);

  b.Method("N10Click", &TForm1::N10Click);
  b.Method("N2Click", &TForm1::N2Click);
  b.Method("N3Click", &TForm1::N3Click);
  b.Method("N5Click", &TForm1::N5Click);
  b.Method("Sprix1Click", &TForm1::Sprix1Click);
  b.Method("Button1Click", &TForm1::Button1Click);
  b.Method("Button2Click", &TForm1::Button2Click);
  b.Method("Edit5Change", &TForm1::Edit5Change);
  b.Method("Edit6Change", &TForm1::Edit6Change);
  b.Method("Tedit9Change", &TForm1::Tedit9Change);
  b.Method("Timer1Timer", &TForm1::Timer1Timer);
  b.Method("Timer2Timer", &TForm1::Timer2Timer);
  // Every preset label's click goes to the one preset handler.
  for (const Preset& p : kPresets) b.Method(std::string(p.Label) + "Click", &TForm1::PresetClick);
})

}  // namespace app
