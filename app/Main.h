#pragma once
// The parameter form: the model's parameters (its edits are their only store), the preset
// labels, the confirm and restore buttons, the main menu, the simulate action and the two
// animation timers that move the body picture of the modelling window.
#include <cstdint>

#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/Mask.h"
#include "framework/Menus.h"
#include "framework/Spin.h"
#include "framework/StdCtrls.h"

namespace app {

// Results carried from one handler to the next; zero when the program starts.
inline std::int32_t RestTop = 0;
inline std::int32_t MoveDir = 0;
inline std::int32_t TargetY = 0;
inline std::int32_t StartX = 0;
inline std::int32_t StartY = 0;
inline std::int32_t BodyWidth = 0;
inline std::int32_t BodyHeight = 0;
inline std::int32_t BodyDensity = 0;
inline std::int32_t LiquidDensity = 0;
inline std::int32_t ScreenWidth = 0;
inline std::int32_t ScreenHeight = 0;
inline std::int32_t ZBase = 0;

// Puts every shared integer back to zero (a fresh start, for tests and tools).
void ResetModelState();

// Gives the framework the stored descriptions of the model's three forms (kept in forms/);
// the program does this before it creates them.
void RegisterForms();

class TForm1 : public fw::TForm {
  FW_CLASS(TForm1, fw::TForm)
 public:
  explicit TForm1(fw::TComponent* AOwner);

  fw::TLabel* Label4 = nullptr;
  fw::TPageControl* PageControl1 = nullptr;
  fw::TTabSheet* TabSheet2 = nullptr;
  fw::TTabSheet* TabSheet3 = nullptr;
  fw::TLabel* Label5 = nullptr;
  fw::TShape* Shape4 = nullptr;
  fw::TPanel* Panel1 = nullptr;
  fw::TPanel* Panel2 = nullptr;
  fw::TPanel* panel3 = nullptr;
  fw::TPanel* panel4 = nullptr;
  fw::TPanel* Panel5 = nullptr;
  fw::TButton* Button1 = nullptr;
  fw::TButton* Button2 = nullptr;

  fw::TEdit* Edit1 = nullptr;      // body width
  fw::TEdit* Edit2 = nullptr;      // body height
  fw::TEdit* Edit3 = nullptr;      // body density
  fw::TMaskEdit* Edit4 = nullptr;  // liquid density
  fw::TEdit* Edit5 = nullptr;      // left
  fw::TEdit* Edit6 = nullptr;      // top
  fw::TEdit* Edit7 = nullptr;      // screen height
  fw::TEdit* Edit8 = nullptr;      // screen width
  fw::TEdit* Edit9 = nullptr;      // Z level of the next full-screen scene
  fw::TSpinEdit* Tedit9 = nullptr; // speed

  fw::TLabel* Label2 = nullptr;
  fw::TLabel* Label33 = nullptr;
  fw::TLabel* wight = nullptr;
  fw::TLabel* height = nullptr;
  fw::TLabel* gustina = nullptr;
  fw::TLabel* gustinawodu = nullptr;
  fw::TLabel* Label15 = nullptr;
  fw::TLabel* Label1 = nullptr;
  fw::TLabel* Label7 = nullptr;
  fw::TLabel* Label3 = nullptr;
  fw::TLabel* Label6 = nullptr;

  // Presets: materials, liquids, screen sizes.
  fw::TLabel* StaticText1 = nullptr;
  fw::TLabel* Label32 = nullptr;
  fw::TLabel* Label24 = nullptr;
  fw::TLabel* Label25 = nullptr;
  fw::TLabel* Label26 = nullptr;
  fw::TLabel* Label27 = nullptr;
  fw::TLabel* Label28 = nullptr;
  fw::TLabel* Label29 = nullptr;
  fw::TLabel* Label30 = nullptr;
  fw::TLabel* Label31 = nullptr;
  fw::TLabel* Label17 = nullptr;
  fw::TLabel* Label18 = nullptr;
  fw::TLabel* Label20 = nullptr;
  fw::TLabel* Label21 = nullptr;
  fw::TLabel* Label16 = nullptr;
  fw::TLabel* Label22 = nullptr;
  fw::TLabel* Label23 = nullptr;
  fw::TLabel* label8 = nullptr;
  fw::TLabel* label9 = nullptr;
  fw::TLabel* label10 = nullptr;
  fw::TLabel* label11 = nullptr;
  fw::TLabel* label12 = nullptr;
  fw::TLabel* label13 = nullptr;
  fw::TLabel* label14 = nullptr;

  fw::TTimer* Timer1 = nullptr;  // rising
  fw::TTimer* Timer2 = nullptr;  // sinking
  fw::TMainMenu* MainMenu1 = nullptr;
  fw::TMenuItem* N1 = nullptr;
  fw::TMenuItem* N2 = nullptr;
  fw::TMenuItem* N4 = nullptr;
  fw::TMenuItem* N10 = nullptr;
  fw::TMenuItem* N3 = nullptr;
  fw::TMenuItem* N5 = nullptr;
  fw::TMenuItem* Sprix1 = nullptr;

  // Simulate.
  void N10Click(fw::TObject* Sender);
  // Exit; stop the process; back to the start position; the full-screen model.
  void N2Click(fw::TObject* Sender);
  void N3Click(fw::TObject* Sender);
  void N5Click(fw::TObject* Sender);
  void Sprix1Click(fw::TObject* Sender);
  // Confirm and restore.
  void Button1Click(fw::TObject* Sender);
  void Button2Click(fw::TObject* Sender);
  // Change reactions of the position and speed fields.
  void Edit5Change(fw::TObject* Sender);
  void Edit6Change(fw::TObject* Sender);
  void Tedit9Change(fw::TObject* Sender);
  // Every preset label: writes its value(s) into the target edit(s).
  void PresetClick(fw::TObject* Sender);
  // Animation ticks.
  void Timer1Timer(fw::TObject* Sender);
  void Timer2Timer(fw::TObject* Sender);

 private:
  // One pass of the confirm button's layout.
  void LayoutPass();
};

extern TForm1* Form1;

}  // namespace app
