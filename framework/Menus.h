#pragma once
// Menus: the main menu of a form and its items. An item has a caption, can be enabled, visible
// and checked, holds sub-items and raises OnClick when chosen. Stored forms nest the items inside
// the menu's object.
#include <string>
#include <vector>

#include "framework/Classes.h"

class QMenuBar;
class QMenu;
class QAction;

namespace fw {

class TMenu;
class TWinControl;
class TCustomForm;

class TMenuItem : public TComponent {
  FW_CLASS(TMenuItem, TComponent)
 public:
  explicit TMenuItem(TComponent* AOwner);
  ~TMenuItem() override;

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& Value);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool Value);
  bool Visible() const { return visible_; }
  void SetVisible(bool Value);
  bool Checked() const { return checked_; }
  void SetChecked(bool Value);
  int ImageIndex() const { return image_index_; }
  void SetImageIndex(int Value) { image_index_ = Value; }
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& Value) { hint_ = Value; }

  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem* Items(int Index) const { return items_.at(static_cast<std::size_t>(Index)); }
  void Add(TMenuItem* Item);
  void Insert(int Index, TMenuItem* Item);
  void Remove(TMenuItem* Item);
  TMenuItem* Parent() const { return parent_; }
  TMenu* GetParentMenu() const;
  int MenuIndex() const;

  // What choosing the item does: OnClick, if the item is enabled.
  virtual void Click();

  TNotifyEvent OnClick;

  void SetParentComponent(TComponent* Value) override;
  TComponent* GetParentComponent() const override;
  bool HasParent() const override { return true; }
  void GetChildren(const std::function<void(TComponent*)>& Proc, TComponent* Root) override;

 private:
  friend class TMenu;
  void Changed();
  std::string caption_;
  bool enabled_ = true;
  bool visible_ = true;
  bool checked_ = false;
  int image_index_ = -1;
  std::string hint_;
  std::vector<TMenuItem*> items_;
  TMenuItem* parent_ = nullptr;
  TMenu* menu_ = nullptr;  // set on the root item
};

class TMenu : public TComponent {
  FW_CLASS(TMenu, TComponent)
 public:
  explicit TMenu(TComponent* AOwner);
  ~TMenu() override;
  // The invisible root item; the menu's top-level items are its sub-items.
  TMenuItem* Items() const { return items_.get(); }
  void GetChildren(const std::function<void(TComponent*)>& Proc, TComponent* Root) override;
  // Something about the items changed (the form showing the menu rebuilds it).
  virtual void MenuChanged() {}

 private:
  // Owned by the menu alone (it has no owner component); the items under it are their owners'.
  TOwned<TMenuItem> items_;
};

class TMainMenu : public TMenu {
  FW_CLASS(TMainMenu, TMenu)
 public:
  explicit TMainMenu(TComponent* AOwner);
  ~TMainMenu() override;
  // Fills a menu bar with the items; chosen actions click the items. The control whose window
  // the bar belongs to is sent WM_INITMENU when a menu opens.
  void BuildMenuBar(QMenuBar* Bar, TWinControl* Window);
  // Tells the window showing the menu (CM_MENUCHANGED), which builds its bar again.
  void MenuChanged() override;

 private:
  friend class TCustomForm;
  // The window showing the menu (a form sets itself here); it forgets the menu when the menu
  // goes, through the notification of its removal.
  TWinControl* window_ = nullptr;
};

}  // namespace fw
