#pragma once
// What the components of this layer share: the form that can go full screen, the window
// procedure interceptor, the cached library loader, the base of the DirectX wrappers, the
// name-hashed collection, small integer and rectangle helpers, and the idle-driven frame timer.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "framework/Classes.h"
#include "framework/Controls.h"
#include "framework/Forms.h"
#include "framework/SysUtils.h"
#include "framework/Types.h"
#include "platform/kernel/Library.h"
#include "platform/win/WinTypes.h"

namespace dx {

// ---------------------------------------------------------------------------------------------
// Forms

// A form with a taskbar button of its own that can leave full screen and come back to the
// place it had. While any such form exists the application's hidden main window keeps out of
// the taskbar.
class TDXForm : public fw::TForm {
  FW_CLASS(TDXForm, fw::TForm)
 public:
  explicit TDXForm(fw::TComponent* AOwner);
  ~TDXForm() override;

  // Remembers the window's placement (PlacementSaved tells whether the window system gave it).
  void SavePlacement();
  // Puts the remembered placement back, once.
  void RestorePlacement();
  bool PlacementSaved() const { return placement_saved_; }

  // How many of these forms exist.
  static int InstanceCount();

 protected:
  void CreateParams(fw::TCreateParams& Params) override;
  void WMSysCommand(fw::TMessage& Message) override;

 private:
  win::WINDOWPLACEMENT placement_{};
  bool placement_saved_ = false;
};

// ---------------------------------------------------------------------------------------------
// Window procedure interceptor

// Sees every message of the control before the control does. The handler passes a message on,
// when it wants to and as often as it wants, by calling the procedure it is given.
using TControlSubClassProc =
    std::function<void(fw::TMessage& Message, const fw::TWndMethod& DefWindowProc)>;

class TControlSubClass {
 public:
  TControlSubClass(fw::TControl* Control, TControlSubClassProc WndProc);
  TControlSubClass(const TControlSubClass&) = delete;
  TControlSubClass& operator=(const TControlSubClass&) = delete;
  // Puts the control's previous procedure back. Interceptors of one control go in the reverse
  // order of their making.
  ~TControlSubClass();

  fw::TControl* Control() const { return control_; }

 private:
  struct Link;
  struct Thunk;
  void WndProc(fw::TMessage& Message);

  fw::TControl* control_;
  std::shared_ptr<Link> link_;  // shared with the procedure installed in the control
  TControlSubClassProc wnd_proc_;
};

// ---------------------------------------------------------------------------------------------
// Library loader

// The address of entry ProcName of library FileName. Each library is loaded once for the whole
// process (names compare without regard to case) and stays loaded until program end. A missing
// library or entry raises fw::Exception "%s not loaded" with the library name.
kernel::FARPROC LoadProc(const std::string& FileName, const std::string& ProcName);

// Frees every library the loader has loaded, in the order they were first loaded, and forgets
// them. Runs by itself at program end.
void FreeLoadedLibraries();

// ---------------------------------------------------------------------------------------------
// DirectX wrappers

// The error class of the DirectX wrappers; each family derives its own from it.
class EDirectXError : public fw::Exception {
 public:
  using fw::Exception::Exception;
};

// Base of every object that wraps a DirectX interface. Each call's result is recorded in
// LastResult; a failure also goes to Check, where a wrapper can react to it.
class TDirectX : public fw::TPersistent {
  FW_CLASS(TDirectX, fw::TPersistent)
 public:
  win::HRESULT LastResult() const { return last_result_; }
  void SetLastResult(win::HRESULT Value);

 protected:
  // Called for every non-zero result recorded.
  virtual void Check() {}

 private:
  win::HRESULT last_result_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Collections whose items are found by name

class THashCollection;

class THashCollectionItem : public fw::TCollectionItem {
  FW_CLASS(THashCollectionItem, fw::TCollectionItem)
 public:
  explicit THashCollectionItem(fw::TCollection* Collection);
  ~THashCollectionItem() override;

  // The bucket of a name: its length and two of its characters, in lower case, as ANSI bytes.
  static int NameHash(std::string_view Name);

  const std::string& Name() const { return name_; }
  void SetName(const std::string& Value);

  void SetIndex(int Value) override;
  void SetCollection(fw::TCollection* Value) override;
  void Assign(fw::TPersistent* Source) override;
  std::string GetDisplayName() const override;

 private:
  friend class THashCollection;
  void Link();
  void Unlink();
  // Every item behind this one moves up a place.
  void LowerFollowingIndices();

  std::string name_;
  int index_ = -1;
  int bucket_ = -1;
  THashCollectionItem* prev_ = nullptr;
  THashCollectionItem* next_ = nullptr;
  THashCollection* hash_ = nullptr;  // the collection whose bucket holds this item
};

class THashCollection : public fw::TCollection {
  FW_CLASS(THashCollection, fw::TCollection)
 public:
  explicit THashCollection(const fw::TClassInfo& ItemClass);
  ~THashCollection() override;

  // The position of the item called Name (without regard to case); -1 when there is none. Of
  // two items with the same name the one named last is found.
  int IndexOfName(const std::string& Name) const;

 private:
  friend class THashCollectionItem;
  // Renumbers every item's cached position from the collection's order.
  void Reindex();

  std::array<THashCollectionItem*, 256> heads_{};
};

// ---------------------------------------------------------------------------------------------
// Integers and rectangles

constexpr std::int32_t Max(std::int32_t a, std::int32_t b) { return a > b ? a : b; }
constexpr std::int32_t Min(std::int32_t a, std::int32_t b) { return a < b ? a : b; }

// Strict: rectangles that only touch do not overlap.
constexpr bool RectsOverlap(const fw::TRect& r1, const fw::TRect& r2) {
  return r1.left < r2.right && r2.left < r1.right && r1.top < r2.bottom && r2.top < r1.bottom;
}

// ---------------------------------------------------------------------------------------------
// Frame timer

using TDXTimerEvent = fw::TEvent<void(fw::TObject* Sender, std::int32_t LagCount)>;

// Runs a frame whenever the application's message queue is empty and at least Interval
// milliseconds have passed since the last one, telling the handler how many intervals went by
// (LagCount) so that movement keeps to real time. It takes over the application's idle
// handler: of several running timers the one started last gets the frames.
class TCustomDXTimer : public fw::TComponent {
  FW_CLASS(TCustomDXTimer, fw::TComponent)
 public:
  explicit TCustomDXTimer(fw::TComponent* AOwner);
  ~TCustomDXTimer() override;

  // Frames only while the application is the active one.
  bool ActiveOnly() const { return active_only_; }
  void SetActiveOnly(bool Value);
  // Takes effect at once, or when loading ends for a timer read from a stored form.
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool Value);
  // Milliseconds between frames; 0 is a frame on every idle pass.
  std::uint32_t Interval() const { return interval_; }
  void SetInterval(std::uint32_t Value);
  // Frames counted over the last second or so.
  std::int32_t FramesPerSecond() const { return frames_per_second_; }
  // Whether Enabled has taken effect.
  bool Initialized() const { return initialized_; }

  void Loaded() override;
  void Notification(fw::TComponent* AComponent, fw::TOperation Operation) override;

  fw::TNotifyEvent OnActivate;
  fw::TNotifyEvent OnDeactivate;
  TDXTimerEvent OnTimer;

 protected:
  virtual void DoActivate();
  virtual void DoDeactivate();
  virtual void DoTimer(std::int32_t LagCount);

 private:
  void Start();
  void Stop();
  void StartIdleLoop();
  void StopIdleLoop();
  void IdleStep(fw::TObject* Sender, bool& Done);
  bool AppHook(fw::TMessage& Message);
  bool AppActive() const;

  std::int32_t frames_per_second_ = 0;
  bool initialized_ = false;
  std::uint32_t interval_ = 0;
  std::uint32_t divisor_ = 1;
  std::uint32_t frame_count_ = 0;
  std::uint32_t old_time_ = 0;
  std::uint32_t old_time_fps_ = 0;
  bool active_only_ = true;
  bool enabled_ = true;
  fw::TApplication* app_ = nullptr;  // whose main window we hook; dropped when it goes
  int hook_id_ = -1;
};

class TDXTimer : public TCustomDXTimer {
  FW_CLASS(TDXTimer, TCustomDXTimer)
 public:
  using TCustomDXTimer::TCustomDXTimer;
};

}  // namespace dx
