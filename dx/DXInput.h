#pragma once
// The input component: keyboard, joystick and mouse turned into one set of abstract input states
// (four directions and 32 buttons) that frame-driven code reads once per frame. Each device reads
// through DirectInput when the component has it, and otherwise through the window system.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dx/DXClass.h"
#include "framework/Classes.h"
#include "framework/Forms.h"
#include "framework/Sets.h"
#include "platform/dinput/DInputTypes.h"
#include "platform/mm/MMSystem.h"

namespace dx {

enum class TInputState {
  stUp, stDown, stLeft, stRight,
  stButton1, stButton2, stButton3, stButton4, stButton5, stButton6, stButton7, stButton8,
  stButton9, stButton10, stButton11, stButton12, stButton13, stButton14, stButton15, stButton16,
  stButton17, stButton18, stButton19, stButton20, stButton21, stButton22, stButton23, stButton24,
  stButton25, stButton26, stButton27, stButton28, stButton29, stButton30, stButton31, stButton32
};
using enum TInputState;
using TInputStates = fw::TSet<TInputState>;
inline constexpr int kInputStateCount = 36;

class EDXInputError : public fw::Exception {
 public:
  using fw::Exception::Exception;
};

class TCustomDXInput;
class TCustomInput;

// ---------------------------------------------------------------------------------------------
// Force-feedback effects

enum class TForceFeedbackEffectType { etNone, etConstantForce, etPeriodic, etCondition };
using enum TForceFeedbackEffectType;

class EForceFeedbackEffectError : public fw::Exception {
 public:
  using fw::Exception::Exception;
};

// One platform effect of a node with the records it is described by. The records point into
// each other, so the object stays where it was made.
class TForceFeedbackEffectObject {
 public:
  TForceFeedbackEffectObject() = default;
  TForceFeedbackEffectObject(const TForceFeedbackEffectObject&) = delete;
  TForceFeedbackEffectObject& operator=(const TForceFeedbackEffectObject&) = delete;
  ~TForceFeedbackEffectObject() { Release(); }
  void Release();

  std::array<win::DWORD, 2> Axes{};
  win::DWORD AxesCount = 0;
  dinput::DIEFFECT Eff{};
  std::array<win::LONG, 2> Direction{};
  dinput::DIENVELOPE Envelope{};
  dinput::DICONSTANTFORCE ConstantForce{};
  dinput::DICONDITION Condition{};
  dinput::DIPERIODIC Periodic{};
  dinput::IDirectInputEffect* Effect = nullptr;
};

class TForceFeedbackEffects;

// A node of a device's effect tree. A node made with a parent belongs to it; the root is the
// device's TForceFeedbackEffects.
class TForceFeedbackEffect : public fw::TPersistent {
  FW_CLASS(TForceFeedbackEffect, fw::TPersistent)
 public:
  ~TForceFeedbackEffect() override;

  // A new last child of this node.
  TForceFeedbackEffect* Add();
  void Clear();
  int Count() const { return static_cast<int>(children_.size()); }
  TForceFeedbackEffect* Effects(int Index) const;
  TForceFeedbackEffect* Parent() const { return parent_; }
  TForceFeedbackEffects* Root() const { return root_; }

  // The child of that name; "a.b" walks down through "a", unless a child is called "a.b"
  // itself. Raises EForceFeedbackEffectError when there is none.
  TForceFeedbackEffect* Lookup(const std::string& Name);

  void Assign(fw::TPersistent* Source) override;

  // Starting a node starts its whole subtree; stopping it too.
  void Start();
  void Stop();
  bool Playing();

  // The platform effects of this node.
  void Initialize();
  void Finalize();
  // This node and then every node below it.
  void InitializeTree();
  // After the device was taken again.
  void Acquire();
  bool Created() const;

  int AttackLevel() const { return attack_level_; }
  void SetAttackLevel(int Value);
  int AttackTime() const { return attack_time_; }
  void SetAttackTime(int Value);
  win::POINT Condition() const { return condition_; }
  void SetCondition(win::POINT Value);
  win::POINT Constant() const { return constant_; }
  void SetConstant(win::POINT Value);
  TForceFeedbackEffectType EffectType() const { return effect_type_; }
  void SetEffectType(TForceFeedbackEffectType Value);
  int FadeLevel() const { return fade_level_; }
  void SetFadeLevel(int Value);
  int FadeTime() const { return fade_time_; }
  void SetFadeTime(int Value);
  const std::string& Name() const { return name_; }
  void SetName(const std::string& Value) { name_ = Value; }
  int Period() const { return period_; }
  void SetPeriod(int Value);
  int Power() const { return power_; }
  void SetPower(int Value);
  int Time() const { return time_; }
  void SetTime(int Value);
  int StartDelayTime() const { return start_delay_time_; }
  void SetStartDelayTime(int Value);

  // The first and second platform effect.
  const TForceFeedbackEffectObject& Object(int Index) const { return Index == 0 ? *object_ : *object2_; }

 protected:
  explicit TForceFeedbackEffect(TForceFeedbackEffect* AParent);
  void UpdateParameters();

 private:
  void FillRecords();
  void CreateEffects();
  bool FindEffect(win::DWORD Type);
  win::HRESULT StartObject(TForceFeedbackEffectObject& Object);

 protected:
  TForceFeedbackEffects* root_;

 private:
  TForceFeedbackEffect* parent_;
  std::vector<std::unique_ptr<TForceFeedbackEffect>> children_;
  int attack_level_ = 0;
  int attack_time_ = 0;
  win::POINT condition_{};
  win::POINT constant_{};
  TForceFeedbackEffectType effect_type_ = etNone;
  int fade_level_ = 0;
  int fade_time_ = 0;
  std::string name_;
  int period_ = 50;
  bool playing_ = false;
  int power_ = 10000;
  int time_ = 1000;
  int start_delay_time_ = 0;
  std::unique_ptr<TForceFeedbackEffectObject> object_;
  std::unique_ptr<TForceFeedbackEffectObject> object2_;
  bool find_ = false;
  win::GUID find_guid_{};
};

class TForceFeedbackEffectComponent;

// The root of a device's effects; stored with the device as the binary property "Effects".
class TForceFeedbackEffects : public TForceFeedbackEffect {
  FW_CLASS(TForceFeedbackEffects, TForceFeedbackEffect)
 public:
  explicit TForceFeedbackEffects(TCustomInput* Input);
  ~TForceFeedbackEffects() override;

  TCustomInput* Input() const { return input_; }
  void DefineProperties(fw::TFiler& Filer) override;
  // The stored tree: a resource named "SPRIXFORCEFEEDBACKEFFECT" holding an object stream of the
  // holder component, whose one collection item is the root. A stream that cannot be read
  // raises the stream's error and leaves the tree as it was.
  void ReadEffects(fw::TStream& Stream);
  void WriteEffects(fw::TStream& Stream);

 private:
  friend class TForceFeedbackEffect;
  TCustomInput* input_;
  fw::TOwned<TForceFeedbackEffectComponent> component_;
  // Set while a start retries after taking the device again, so that what that re-acquire
  // starts does not take it once more.
  bool reacquiring_ = false;
};

// The stored form of a node.
class TForceFeedbackEffectItem : public fw::TCollectionItem {
  FW_CLASS(TForceFeedbackEffectItem, fw::TCollectionItem)
 public:
  explicit TForceFeedbackEffectItem(fw::TCollection* Collection);
  ~TForceFeedbackEffectItem() override;

  // Copies a node, and one item per child, below.
  void CopyFrom(const TForceFeedbackEffect& Effect);
  // Sets a node, and one new child per item below.
  void CopyTo(TForceFeedbackEffect& Effect) const;

  std::string Name;
  TForceFeedbackEffectType EffectType = etNone;
  int AttackLevel = 0, AttackTime = 0, ConditionX = 0, ConditionY = 0, ConstantX = 0, ConstantY = 0;
  int FadeLevel = 0, FadeTime = 0, Period = 0, Power = 0, Time = 0, StartDelayTime = 0;
  fw::TCollection* Effects() const { return effects_.get(); }

 private:
  std::unique_ptr<fw::TCollection> effects_;
};

// Carries a tree through the object stream.
class TForceFeedbackEffectComponent : public fw::TComponent {
  FW_CLASS(TForceFeedbackEffectComponent, fw::TComponent)
 public:
  explicit TForceFeedbackEffectComponent(fw::TComponent* AOwner);
  ~TForceFeedbackEffectComponent() override;
  fw::TCollection* Effects() const { return effects_.get(); }
  // A fresh, empty collection.
  void Reset();

 private:
  std::unique_ptr<fw::TCollection> effects_;
};

// ---------------------------------------------------------------------------------------------
// Devices

// One input device of the component. It adds itself to the component's list when made and
// takes itself off when destroyed.
class TCustomInput : public fw::TPersistent {
  FW_CLASS(TCustomInput, fw::TPersistent)
 public:
  explicit TCustomInput(TCustomDXInput* DXInput);
  ~TCustomInput() override;

  // Opens the device; always closes it first.
  virtual void Initialize();
  // Closes the device.
  virtual void Finalize();
  // The DirectInput cooperative-level flags the device asks for.
  virtual win::DWORD GetCooperativeLevel();
  // Reads the device: States (and the device's own record) for this frame.
  virtual void Update() = 0;
  // Takes the device again after the form's window was activated.
  void Acquire();

  bool BindInputStates() const { return bind_input_states_; }
  void SetBindInputStates(bool Value) { bind_input_states_ = Value; }
  int ButtonCount() const { return button_count_; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool Value);
  bool ForceFeedback() const { return force_feedback_; }
  void SetForceFeedback(bool Value);
  bool ForceFeedbackDevice() const { return force_feedback_device_; }
  bool Initialized() const { return initialized_; }
  TInputStates States() const { return states_; }

  dinput::IDirectInputDevice* Device() const { return device_; }
  dinput::IDirectInputDevice2* Device2() const { return device2_; }
  TCustomDXInput* DXInput() const { return dxinput_; }

  TForceFeedbackEffects* Effects() const { return effects_.get(); }
  // Copies the given tree into the device's own.
  void SetEffects(TForceFeedbackEffects* Value) { effects_->Assign(Value); }

 protected:
  // Zeroes Data and fills it from the device; a lost or unacquired device is acquired and read
  // once more. False when there is no device or the read failed.
  bool GetDeviceState(void* Data, win::DWORD Size);
  // Whether the component wants states only while its form is in the foreground and the form
  // is not there.
  bool OutOfForeground() const;
  // The component is being designed or its form is being read.
  bool Designing() const;
  bool LoadingOrReading() const;
  // The device's data format, built in the block below; hands it to the device.
  win::HRESULT ApplyDataFormat();

  dinput::DIDATAFORMAT data_format_{};
  std::array<dinput::DIOBJECTDATAFORMAT, 256> data_format_objects_{};
  std::array<win::GUID, 256> data_format_guids_{};

  int button_count_ = 0;
  dinput::IDirectInputDevice* device_ = nullptr;
  dinput::IDirectInputDevice2* device2_ = nullptr;
  TCustomDXInput* dxinput_;
  bool force_feedback_device_ = false;
  bool initialized_ = false;
  TInputStates states_;

 private:
  std::unique_ptr<TForceFeedbackEffects> effects_;
  bool bind_input_states_ = true;
  bool enabled_ = true;
  bool force_feedback_ = false;
};

// Key codes of a state: up to three virtual keys per state, 0 for none.
using TKeyAssign = std::array<std::int32_t, 3>;
using TKeyAssignList = std::array<TKeyAssign, kInputStateCount>;

class TKeyboard : public TCustomInput {
  FW_CLASS(TKeyboard, TCustomInput)
 public:
  explicit TKeyboard(TCustomDXInput* DXInput);

  void Initialize() override;
  void Finalize() override;
  void Update() override;
  void DefineProperties(fw::TFiler& Filer) override;

  // Bit 7 of an entry (by virtual key) set: the key is down.
  const std::array<win::BYTE, 256>& KeyStates() const { return key_states_; }
  bool Keys(int Key) const { return Key >= 0 && Key < 256 && (key_states_[static_cast<std::size_t>(Key)] & 0x80); }

  TKeyAssignList Assigns;

  // The stored form of the table: 36 rows of three little-endian 32-bit codes, 432 bytes. A
  // block of any other length raises EReadError and leaves the table as it was.
  static constexpr std::int64_t kAssignsSize = kInputStateCount * 3 * 4;
  void ReadAssigns(fw::TStream& Stream);
  void WriteAssigns(fw::TStream& Stream) const;
  static TKeyAssignList DefaultAssigns();

 private:
  std::array<win::BYTE, 256> key_states_{};
};

// Until the joystick reads its device it stays uninitialized and reports nothing; its stored
// properties are kept.
class TJoystick : public TCustomInput {
  FW_CLASS(TJoystick, TCustomInput)
 public:
  explicit TJoystick(TCustomDXInput* DXInput);

  void Initialize() override;
  void Finalize() override;
  void Update() override;
  win::DWORD GetCooperativeLevel() override;

  bool AutoCenter() const { return auto_center_; }
  void SetAutoCenter(bool Value);
  int ID() const { return id_; }
  void SetID(int Value);
  int JoystickIndex() const { return joystick_index_; }
  // Per byte offset in the joystick's state record.
  int DeadZone(int Offset) const;
  void SetDeadZone(int Offset, int Value);
  int Range(int Offset) const;
  void SetRange(int Offset, int Value);

  static constexpr int kStateSize = 272;
  // The last record read.
  const dinput::DIJOYSTATE2& Joystate() const { return joy_state_; }

 private:
  bool OpenDevice(dinput::IDirectInput* DI);
  void ApplyDeadZone(int Offset);
  void ApplyRange(int Offset);

  dinput::DIJOYSTATE2 joy_state_{};
  bool auto_center_ = true;
  win::GUID device_guid_{};
  bool found_ = false;
  int counter_ = 0;
  int id_ = 0;
  int joystick_index_ = -1;
  mm::JOYCAPSA joy_caps_{};
  std::array<int, kStateSize> dead_zone_{};
  std::array<int, kStateSize> range_{};
};

// Made disabled and out of the component's states; without DirectInput it cannot be used.
class TMouse : public TCustomInput {
  FW_CLASS(TMouse, TCustomInput)
 public:
  explicit TMouse(TCustomDXInput* DXInput);

  void Initialize() override;
  void Finalize() override;
  void Update() override;
  // The last record read.
  const dinput::DIMOUSESTATE& MouseState() const { return mouse_state_; }

 private:
  dinput::DIMOUSESTATE mouse_state_{};
};

// ---------------------------------------------------------------------------------------------
// The component

class TCustomDXInput : public fw::TComponent {
  FW_CLASS(TCustomDXInput, fw::TComponent)
 public:
  // Raises EDXInputError ("Form not found") when no owner is a form.
  explicit TCustomDXInput(fw::TComponent* AOwner);
  ~TCustomDXInput() override;

  void Initialize();
  void Finalize();
  // Reads every device and updates States; call once per frame.
  void Update();
  void Loaded() override;

  bool ActiveOnly() const { return active_only_; }
  void SetActiveOnly(bool Value);
  bool UseDirectInput() const { return use_direct_input_; }
  void SetUseDirectInput(bool Value);

  // A state goes in when a device starts reporting it and out when the last one stops; what the
  // application takes out or puts in stays so until the next such change.
  TInputStates States() const { return states_; }
  void SetStates(TInputStates Value) { states_ = Value; }

  TJoystick* Joystick() const { return joystick_.get(); }
  TKeyboard* Keyboard() const { return keyboard_.get(); }
  TMouse* Mouse() const { return mouse_.get(); }
  // Stored forms set the devices' own properties; assigning a whole device is refused.
  void SetJoystick(TJoystick* Value);
  void SetKeyboard(TKeyboard* Value);
  void SetMouse(TMouse* Value);

  // Joystick, keyboard, mouse, in the order they were made.
  const std::vector<TCustomInput*>& Devices() const { return devices_; }
  dinput::IDirectInput* DInput() const { return dinput_; }
  fw::TCustomForm* Form() const { return form_; }

  // The process-wide DirectInput object: how many components hold it.
  static int DirectInputHoldCount();

 private:
  friend class TCustomInput;
  void SetCooperativeLevel();
  void FormWndProc(fw::TMessage& Message, const fw::TWndMethod& Default);

  bool active_only_ = true;
  std::vector<TCustomInput*> devices_;
  dinput::IDirectInput* dinput_ = nullptr;
  fw::TCustomForm* form_ = nullptr;
  std::unique_ptr<TJoystick> joystick_;
  std::unique_ptr<TKeyboard> keyboard_;
  std::unique_ptr<TMouse> mouse_;
  TInputStates old_states_;
  TInputStates states_;
  std::unique_ptr<TControlSubClass> subclass_;
  bool use_direct_input_ = true;
};

class TDXInput : public TCustomDXInput {
  FW_CLASS(TDXInput, TCustomDXInput)
 public:
  using TCustomDXInput::TCustomDXInput;
};

// DirectInput key code to the window system's virtual-key code; 0 for codes it does not name.
int ScanToVirtualKey(int Code);

// A multimedia joystick position (between Min and Max) as an axis of -Range .. Range with a dead
// zone of DeadZone percent of each half around the centre.
int ScaleAxis(int Position, int Max, int Min, int Range, int DeadZone);
// Value * Numerator / Denominator with the platform's rounding (halves away from zero); -1 when
// the denominator is 0.
int MulDiv(int Value, int Numerator, int Denominator);

}  // namespace dx
