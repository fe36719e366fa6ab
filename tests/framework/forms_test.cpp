// Forms and the application object: creation, showing, closing, placement, activation.
#include <gtest/gtest.h>

#include "framework/Forms.h"
#include "tests/support/QtTestApp.h"

namespace {

using namespace fw;

TEST(Forms, ShowHideAndClientSize) {
  testsupport::EnsureApplication();
  auto form = MakeOwned<TForm>(nullptr);
  form->SetBounds(10, 20, 300, 200);
  form->SetCaption("Моделювання");
  EXPECT_FALSE(form->Visible());
  form->Show();
  EXPECT_TRUE(form->Visible());
  EXPECT_TRUE(win::IsWindowVisible(form->Handle()));
  EXPECT_EQ(win::GetWindowText(form->Handle()), "Моделювання");
  win::RECT r;
  win::GetClientRect(form->Handle(), &r);
  EXPECT_EQ(r.right, form->ClientWidth());
  EXPECT_EQ(r.bottom, form->ClientHeight());
  EXPECT_EQ(form->ClientWidth(), 300 - 8);
  EXPECT_EQ(form->ClientHeight(), 200 - 8 - 19);
  form->Close();
  EXPECT_FALSE(form->Visible());
  EXPECT_FALSE(win::IsWindowVisible(form->Handle()));
}

}  // namespace
