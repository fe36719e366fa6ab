#include "framework/Menus.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <algorithm>

#include "framework/ClassBuilder.h"
#include "framework/Controls.h"
#include "platform/win/QtWindows.h"
#include "platform/win/WinUser.h"

namespace fw {

FW_REGISTER(TMenuItem, [](TClassBuilder<TMenuItem>& b) {
  b.String("Caption", &TMenuItem::Caption, &TMenuItem::SetCaption);
  b.Boolean("Checked", &TMenuItem::Checked, &TMenuItem::SetChecked).WithDefault(0);
  b.Boolean("Enabled", &TMenuItem::Enabled, &TMenuItem::SetEnabled).WithDefault(1);
  b.String("Hint", &TMenuItem::Hint, &TMenuItem::SetHint);
  b.Integer("ImageIndex", &TMenuItem::ImageIndex, &TMenuItem::SetImageIndex).WithDefault(-1);
  b.Boolean("Visible", &TMenuItem::Visible, &TMenuItem::SetVisible).WithDefault(1);
  b.Event("OnClick", &TMenuItem::OnClick);
})
FW_REGISTER(TMenu, nullptr)
FW_REGISTER(TMainMenu, nullptr)

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}

TMenuItem::~TMenuItem() {
  // Sub-items go with their item; the owner frees those it owns.
  while (!items_.empty()) {
    TMenuItem* i = items_.back();
    items_.pop_back();
    i->parent_ = nullptr;
    if (!i->ComponentState().Contains(csDestroying)) i->Free();
  }
  if (parent_) parent_->Remove(this);
}

TMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* i = this;
  while (i->parent_) i = i->parent_;
  return i->menu_;
}

void TMenuItem::Changed() {
  if (TMenu* m = GetParentMenu()) m->MenuChanged();
}

void TMenuItem::SetCaption(const std::string& Value) {
  if (caption_ == Value) return;
  caption_ = Value;
  Changed();
}

void TMenuItem::SetEnabled(bool Value) {
  if (enabled_ == Value) return;
  enabled_ = Value;
  Changed();
}

void TMenuItem::SetVisible(bool Value) {
  if (visible_ == Value) return;
  visible_ = Value;
  Changed();
}

void TMenuItem::SetChecked(bool Value) {
  if (checked_ == Value) return;
  checked_ = Value;
  Changed();
}

void TMenuItem::Add(TMenuItem* Item) { Insert(Count(), Item); }

void TMenuItem::Insert(int Index, TMenuItem* Item) {
  if (!Item || Item == this) return;
  if (Item->parent_) Item->parent_->Remove(Item);
  Index = std::clamp(Index, 0, Count());
  items_.insert(items_.begin() + Index, Item);
  Item->parent_ = this;
  Changed();
}

void TMenuItem::Remove(TMenuItem* Item) {
  auto it = std::find(items_.begin(), items_.end(), Item);
  if (it == items_.end()) return;
  items_.erase(it);
  Item->parent_ = nullptr;
  Changed();
}

int TMenuItem::MenuIndex() const {
  if (!parent_) return -1;
  auto& v = parent_->items_;
  return static_cast<int>(std::find(v.begin(), v.end(), this) - v.begin());
}

void TMenuItem::Click() {
  if (!enabled_) return;
  if (OnClick) OnClick(this);
}

void TMenuItem::SetParentComponent(TComponent* Value) {
  if (auto* item = dynamic_cast<TMenuItem*>(Value)) item->Add(this);
  else if (auto* menu = dynamic_cast<TMenu*>(Value)) menu->Items()->Add(this);
}

TComponent* TMenuItem::GetParentComponent() const {
  if (parent_ && parent_->menu_) return parent_->menu_;
  return parent_;
}

void TMenuItem::GetChildren(const std::function<void(TComponent*)>& Proc, TComponent*) {
  for (TMenuItem* i : items_) Proc(i);
}

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner), items_(MakeOwned<TMenuItem>(nullptr)) {
  items_->menu_ = this;
}

TMenu::~TMenu() {
  // The items stay with their owner; only the root goes.
  for (TMenuItem* i : items_->items_) i->parent_ = nullptr;
  items_->items_.clear();
  items_->menu_ = nullptr;
  items_.reset();
}

void TMenu::GetChildren(const std::function<void(TComponent*)>& Proc, TComponent*) {
  for (TMenuItem* i : items_->items_) Proc(i);
}

TMainMenu::TMainMenu(TComponent* AOwner) : TMenu(AOwner) {}

TMainMenu::~TMainMenu() = default;

void TMainMenu::MenuChanged() {
  if (window_) window_->Perform(CM_MENUCHANGED, 0, 0);
}

namespace {

QString MenuText(const std::string& caption) { return QString::fromStdString(caption); }

void FillMenu(QMenu* menu, TMenuItem* item) {
  for (int i = 0; i < item->Count(); ++i) {
    TMenuItem* sub = item->Items(i);
    if (sub->Caption() == "-") {
      menu->addSeparator();
      continue;
    }
    if (sub->Count() > 0) {
      QMenu* m = menu->addMenu(MenuText(sub->Caption()));
      m->setEnabled(sub->Enabled());
      m->menuAction()->setVisible(sub->Visible());
      FillMenu(m, sub);
      continue;
    }
    QAction* a = menu->addAction(MenuText(sub->Caption()));
    a->setEnabled(sub->Enabled());
    a->setVisible(sub->Visible());
    a->setCheckable(sub->Checked());
    a->setChecked(sub->Checked());
    QObject::connect(a, &QAction::triggered, [sub] { win::GuardedCall([sub] { sub->Click(); }); });
  }
}

}  // namespace

void TMainMenu::BuildMenuBar(QMenuBar* Bar, TWinControl* Window) {
  Bar->clear();
  TMenuItem* root = Items();
  for (int i = 0; i < root->Count(); ++i) {
    TMenuItem* top = root->Items(i);
    if (top->Count() == 0) {
      QAction* a = Bar->addAction(MenuText(top->Caption()));
      a->setEnabled(top->Enabled());
      a->setVisible(top->Visible());
      QObject::connect(a, &QAction::triggered, [top] { win::GuardedCall([top] { top->Click(); }); });
      continue;
    }
    QMenu* m = Bar->addMenu(MenuText(top->Caption()));
    m->setEnabled(top->Enabled());
    m->menuAction()->setVisible(top->Visible());
    FillMenu(m, top);
    QObject::connect(m, &QMenu::aboutToShow, [Window] {
      if (Window && Window->HandleAllocated())
        win::GuardedCall([Window] { win::SendMessageA(Window->Handle(), win::WM_INITMENU, 0, 0); });
    });
  }
}

}  // namespace fw
