// Every caption of the three forms, measured in the font the framework shows it in, against the
// control that holds it: a label's text must lie inside its parent and keep clear of its
// neighbours, a button's or an edit's text must fit inside it. The forms were laid out for
// fonts this system does not have, so this is what tells whether the fallback fits them.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>
#include <QList>
#include <QString>

#include <algorithm>
#include <string>
#include <vector>

#include "app/Main.h"
#include "app/Unit3.h"
#include "app/Unit4.h"
#include "framework/ExtCtrls.h"
#include "framework/Fonts.h"
#include "framework/StdCtrls.h"
#include "platform/win/QtWindows.h"
#include "platform/win/WinUser.h"
#include "tests/support/ProgramForms.h"

using namespace app;

namespace {

// Blank pixels a label's text keeps from a neighbour beside it, and a button's or an edit's
// text from the control's edges, on each side.
constexpr int kGap = 3;
constexpr int kInset = 4;

struct Rect {
  int L, T, R, B;
  bool Meets(const Rect& o) const { return L < o.R && o.L < R && T < o.B && o.T < B; }
};

Rect BoundsOf(const fw::TControl& c) { return {c.Left(), c.Top(), c.Left() + c.Width(), c.Top() + c.Height()}; }

int TextWidth(const fw::TControl& c, const std::string& text) {
  return QFontMetrics(c.Font()->ToQFont()).horizontalAdvance(QString::fromStdString(text));
}

// What a panel's frame takes of each side of its client area; captions on it keep inside.
int FrameOf(const fw::TWinControl& parent) {
  const auto* p = dynamic_cast<const fw::TCustomPanel*>(&parent);
  if (!p) return 0;
  return (p->BorderStyle() == fw::TBorderStyle::bsSingle ? 1 : 0) + (p->BevelOuter() != fw::bvNone ? p->BevelWidth() : 0) +
         p->BorderWidth() + (p->BevelInner() != fw::bvNone ? p->BevelWidth() : 0);
}

// Letters the font has no glyph for would be drawn in some other font, or as boxes.
std::string MissingLetters(const fw::TControl& c, const std::string& text) {
  const QFontMetrics fm(c.Font()->ToQFont());
  std::string missing;
  for (char32_t ch : QString::fromStdString(text).toUcs4())
    if (!fm.inFontUcs4(ch)) missing += QString::fromUcs4(&ch, 1).toStdString();
  return missing;
}

// Pictures and shapes are backgrounds: captions lie on them by design.
bool IsBackground(const fw::TControl* c) {
  return dynamic_cast<const fw::TShape*>(c) || dynamic_cast<const fw::TImage*>(c);
}

class Captions : public ::testing::Test {
 protected:
  void SetUp() override { testsupport::MakeProgramForms(true); }
  void TearDown() override { testsupport::FreeProgramForms(); }

  // What is cut or crowded among the visible captions under `parent`, and how many were seen.
  void Check(const fw::TWinControl& parent, const std::string& where, std::vector<std::string>& bad, int& seen) {
    const int frame = FrameOf(parent);
    for (int i = 0; i < parent.ControlCount(); ++i) {
      const fw::TControl* c = parent.Controls(i);
      if (!c->Visible()) continue;
      const std::string name = where + "." + c->Name();
      if (const auto* label = dynamic_cast<const fw::TCustomLabel*>(c)) {
        const std::string text = label->Caption();
        if (text.empty()) continue;
        if (const std::string m = MissingLetters(*c, text); !m.empty())
          bad.push_back(name + " \"" + text + "\": the font has no " + m);
        const QFontMetrics fm(label->Font()->ToQFont());
        const Rect r{c->Left(), c->Top(), c->Left() + TextWidth(*c, text), c->Top() + fm.height()};
        // A label under a windowed control that covers all of it the parent shows is never seen.
        const Rect shown{std::max(r.L, 0), std::max(r.T, 0), std::min(r.R, parent.ClientWidth()),
                         std::min(r.B, parent.ClientHeight())};
        bool covered = false;
        for (int j = 0; j < parent.ControlCount(); ++j) {
          const fw::TControl* o = parent.Controls(j);
          const Rect b = BoundsOf(*o);
          covered |= o->Visible() && dynamic_cast<const fw::TWinControl*>(o) && b.L <= shown.L && b.T <= shown.T &&
                     shown.R <= b.R && shown.B <= b.B;
        }
        if (covered) continue;
        ++seen;
        if (r.L < frame || r.T < frame || r.R > parent.ClientWidth() - frame || r.B > parent.ClientHeight() - frame)
          bad.push_back(name + " \"" + text + "\" (" + std::to_string(r.R - r.L) + " wide at " + std::to_string(r.L) +
                        ") is cut by its parent, " + std::to_string(parent.ClientWidth()) + " wide with a frame of " +
                        std::to_string(frame));
        const Rect clear{r.L - kGap, r.T, r.R + kGap, r.B};
        for (int j = 0; j < parent.ControlCount(); ++j) {
          const fw::TControl* o = parent.Controls(j);
          if (o == c || !o->Visible() || IsBackground(o)) continue;
          Rect b = BoundsOf(*o);
          if (const auto* other = dynamic_cast<const fw::TCustomLabel*>(o))
            b = {o->Left(), o->Top(), o->Left() + TextWidth(*o, other->Caption()),
                 o->Top() + QFontMetrics(o->Font()->ToQFont()).height()};
          if (clear.Meets(b))
            bad.push_back(name + " \"" + text + "\" (" + std::to_string(r.L) + " to " + std::to_string(r.R) +
                          ") runs into " + o->Name());
        }
        continue;
      }
      std::string text;
      if (dynamic_cast<const fw::TButton*>(c) || dynamic_cast<const fw::TCustomCheckBox*>(c)) text = c->Caption();
      else if (dynamic_cast<const fw::TCustomEdit*>(c)) text = c->Text();
      if (!text.empty()) {
        ++seen;
        if (const std::string m = MissingLetters(*c, text); !m.empty())
          bad.push_back(name + " \"" + text + "\": the font has no " + m);
        const int room = c->Width() - 2 * kInset - (dynamic_cast<const fw::TCustomCheckBox*>(c) ? 16 : 0);
        if (TextWidth(*c, text) > room)
          bad.push_back(name + " \"" + text + "\" needs " + std::to_string(TextWidth(*c, text)) + " of " +
                        std::to_string(room));
      }
      if (const auto* w = dynamic_cast<const fw::TWinControl*>(c)) Check(*w, name, bad, seen);
    }
  }

  void CheckAll(const std::string& layout) {
    std::vector<std::string> bad;
    int seen = 0;
    Check(*Form1, "Form1", bad, seen);
    Check(*Form3, "Form3", bad, seen);
    Check(*form4, "form4", bad, seen);
    EXPECT_GT(seen, 40) << layout;
    for (const std::string& b : bad) ADD_FAILURE() << layout << ": " << b;
  }
};

TEST_F(Captions, EveryCaptionFitsItsControlInTheFallbackFont) {
  // The forms name fonts this system has not got; they are shown in the fallback, and it must
  // be the family the package depends on: in another one these measurements prove nothing.
  ASSERT_EQ(fw::TFont::FallbackFamily(), fw::kFallbackFamily)
      << "install " << fw::kFallbackPackage << ": " << fw::TFont::Fallback().Warning;
  for (const fw::TControl* c : {static_cast<const fw::TControl*>(Form1), static_cast<const fw::TControl*>(Form1->Label33),
                                static_cast<const fw::TControl*>(Form1->PageControl1)}) {
    EXPECT_EQ(c->Font()->ResolvedFamily(), fw::kFallbackFamily) << c->Name();
    EXPECT_EQ(QFontInfo(c->Font()->ToQFont()).family().toStdString(), fw::kFallbackFamily) << c->Name();
  }
  CheckAll("as stored");
  // Confirming a screen size lays the panels out for it; 800 x 600 gives them the least room
  // of the sizes with a preset (640 x 600 leaves the heading of the body's panel 143 pixels
  // for thirty letters, which no font sets).
  for (const char* size : {"800*600", "1024*768"}) {
    const std::string s = size;
    Form1->Edit8->SetText(s.substr(0, s.find('*')));
    Form1->Edit7->SetText(s.substr(s.find('*') + 1));
    win::GuardedCall([] { Form1->Button1->Click(); });
    ASSERT_EQ(Form1->Panel1->Width(), std::stoi(s) / 2 - 1);
    CheckAll(std::string("at ") + size);
  }
}

}  // namespace
