#pragma once
// Sound for the components: the DirectSound object and its buffers, the sound component that
// opens DirectSound for its form, and the wave list whose named waves fill buffers and play,
// overlapping themselves through duplicate buffers up to each wave's limit.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dx/DXClass.h"
#include "dx/Wave.h"
#include "framework/Classes.h"
#include "framework/Forms.h"
#include "framework/Sets.h"
#include "platform/dsound/DSoundTypes.h"

namespace dx {

class TDirectSoundBuffer;
class TCustomDXSound;
class TWaveCollection;
class TCustomDXWaveList;

class EDirectSoundError : public EDirectXError {
 public:
  using EDirectXError::EDirectXError;
};
FW_DECLARE_EXCEPTION(EDirectSoundBufferError, EDirectSoundError);
class EDXSoundError : public fw::Exception {
 public:
  using fw::Exception::Exception;
};
class EWaveCollectionError : public fw::Exception {
 public:
  using fw::Exception::Exception;
};

// ---------------------------------------------------------------------------------------------
// The DirectSound object

class TDirectSound : public TDirectX {
  FW_CLASS(TDirectSound, TDirectX)
 public:
  // Opens the driver (null: the default sound device); raises EDirectSoundError when there is
  // no DirectSound object to be had.
  explicit TDirectSound(win::GUID* GUID);
  // Buffers still made on it lose their platform buffer and this object.
  ~TDirectSound() override;

  int BufferCount() const { return static_cast<int>(buffers_.size()); }
  TDirectSoundBuffer* Buffers(int Index) const { return buffers_.at(static_cast<std::size_t>(Index)); }

  dsound::IDirectSound* IDSound() const { return idsound_; }
  // The same, raising EDirectSoundError "%s not made" when absent.
  dsound::IDirectSound* ISound() const;

  bool GlobalFocus() const { return global_focus_; }
  void SetGlobalFocus(bool Value) { global_focus_ = Value; }
  bool StickyFocus() const { return sticky_focus_; }
  void SetStickyFocus(bool Value) { sticky_focus_ = Value; }
  bool InRestoreBuffer() const { return in_restore_buffer_; }

 protected:
  // A buffer found itself lost: refill whatever the owner keeps.
  virtual void DoRestoreBuffer() {}

 private:
  friend class TDirectSoundBuffer;
  void BufferLost();

  std::vector<TDirectSoundBuffer*> buffers_;
  bool global_focus_ = false;
  dsound::IDirectSound* idsound_ = nullptr;
  bool in_restore_buffer_ = false;
  bool sticky_focus_ = false;
};

// The DirectSound object of a sound component: a lost buffer restores the whole component.
class TDXSoundDirectSound : public TDirectSound {
  FW_CLASS(TDXSoundDirectSound, TDirectSound)
 public:
  TDXSoundDirectSound(TCustomDXSound* ADXSound, win::GUID* GUID);
  TCustomDXSound* DXSound() const { return dxsound_; }

 protected:
  void DoRestoreBuffer() override;

 private:
  TCustomDXSound* dxsound_;
};

// ---------------------------------------------------------------------------------------------
// Sound buffers

class TDirectSoundBuffer : public TDirectX {
  FW_CLASS(TDirectSoundBuffer, TDirectX)
 public:
  explicit TDirectSoundBuffer(TDirectSound* ADirectSound);
  ~TDirectSoundBuffer() override;

  // From null: no platform buffer. From a TWave: its samples. From another buffer: a platform
  // duplicate sharing its samples (a failed duplicate keeps what this buffer had).
  void Assign(fw::TPersistent* Source) override;
  // Makes the platform buffer the description asks for; false when DirectSound refuses.
  bool CreateBuffer(const dsound::DSBUFFERDESC& BufferDesc);
  // A buffer of Size bytes in Format with frequency, pan and volume control; raises
  // EDirectSoundBufferError when it cannot be made.
  void CreateBuffer(const dsound::WAVEFORMATEX* Format, win::DWORD Size);
  // A buffer in Format filled with Size bytes of Data (none when Data is null).
  void LoadFromMemory(const dsound::WAVEFORMATEX* Format, const void* Data, win::DWORD Size);
  void LoadFromWave(TWave* Wave);
  // One region of the ring at a time: false when there is no buffer or a lock is outstanding.
  bool Lock(win::DWORD LockPosition, win::DWORD LockSize, void*& AudioPtr1, win::DWORD& AudioSize1,
            void*& AudioPtr2, win::DWORD& AudioSize2);
  void Unlock();
  bool Play(bool Loop = false);
  void Stop();
  bool Playing();
  win::DWORD Status();
  void SetPosition(win::DWORD Value);
  void SetFrequency(std::int32_t Value);
  void SetPan(std::int32_t Value);
  void SetVolume(std::int32_t Value);

  TDirectSound* DSound() const { return dsound_; }
  const std::uint8_t* Format() const { return format_.get(); }
  int FormatSize() const { return format_size_; }
  const dsound::DSBCAPS& Caps() const { return caps_; }
  dsound::IDirectSoundBuffer* IDSBuffer() const { return idsbuffer_; }
  // The same, raising EDirectSoundBufferError "%s not made" when absent.
  dsound::IDirectSoundBuffer* IBuffer() const;
  // Takes a platform buffer (its reference passes to this object); null lets go of the one held.
  void SetIDSBuffer(dsound::IDirectSoundBuffer* Value);

 protected:
  // A lost buffer restores everything made on its DirectSound object.
  void Check() override;

 private:
  friend class TDirectSound;
  struct LockRecord {
    void* AudioPtr1 = nullptr;
    void* AudioPtr2 = nullptr;
    win::DWORD AudioSize1 = 0;
    win::DWORD AudioSize2 = 0;
  };

  TDirectSound* dsound_;
  dsound::IDirectSoundBuffer* idsbuffer_ = nullptr;
  dsound::DSBCAPS caps_{};
  std::unique_ptr<std::uint8_t[]> format_;
  int format_size_ = 0;
  LockRecord lock_;
  int lock_count_ = 0;
};

// ---------------------------------------------------------------------------------------------
// The sound component

enum class TDXSoundOption { soGlobalFocus, soStickyFocus, soExclusive };
using enum TDXSoundOption;
using TDXSoundOptions = fw::TSet<TDXSoundOption>;

enum class TSoundNotifyType { sntDestroying, sntInitializing, sntInitialize, sntFinalize, sntRestore };
using enum TSoundNotifyType;

// A listener: called as Callback(Object, component, kind). Callback and object together name it.
using TDXSoundNotifyEvent = void (*)(void* Object, TCustomDXSound* Sender, TSoundNotifyType NotifyType);

class TCustomDXSound : public fw::TComponent {
  FW_CLASS(TCustomDXSound, fw::TComponent)
 public:
  explicit TCustomDXSound(fw::TComponent* AOwner);
  ~TCustomDXSound() override;

  void Initialize();
  void Finalize();
  void Restore();
  void RegisterNotifyEvent(TDXSoundNotifyEvent Callback, void* Object);
  void UnregisterNotifyEvent(TDXSoundNotifyEvent Callback, void* Object);

  bool AutoInitialize() const { return auto_initialize_; }
  void SetAutoInitialize(bool Value) { auto_initialize_ = Value; }
  TDXSoundOptions Options() const { return options_; }
  void SetOptions(TDXSoundOptions Value);
  // The options in force: soExclusive changes only with the next Initialize.
  TDXSoundOptions NowOptions() const { return now_options_; }
  bool Initialized() const { return initialized_; }
  TDXSoundDirectSound* DirectSound() const { return dsound_.get(); }
  TDirectSoundBuffer* Primary() const { return primary_.get(); }
  fw::TCustomForm* Form() const { return form_; }
  win::GUID* DriverGUID() const { return driver_guid_; }

  fw::TNotifyEvent OnFinalize;
  fw::TNotifyEvent OnInitialize;
  fw::TNotifyEvent OnInitializing;
  fw::TNotifyEvent OnRestore;

  void Loaded() override;

 protected:
  virtual void DoFinalize();
  virtual void DoInitialize();
  virtual void DoInitializing();
  virtual void DoRestore();

 private:
  struct Listener {
    TDXSoundNotifyEvent Callback;
    void* Object;
  };

  void NotifyEventList(TSoundNotifyType Kind);
  void AttachForm(fw::TCustomForm* Form);
  void FormWndProc(fw::TMessage& Message, const fw::TWndMethod& Default);

  bool auto_initialize_ = true;
  bool called_do_initialize_ = false;
  win::GUID* driver_guid_ = nullptr;
  std::unique_ptr<TDXSoundDirectSound> dsound_;
  fw::TCustomForm* form_ = nullptr;
  bool initialized_ = false;
  bool internal_initialized_ = false;
  std::vector<Listener> listeners_;
  TDXSoundOptions now_options_;
  TDXSoundOptions options_;
  std::unique_ptr<TDirectSoundBuffer> primary_;
  std::unique_ptr<TControlSubClass> subclass_;
};

class TDXSound : public TCustomDXSound {
  FW_CLASS(TDXSound, TCustomDXSound)
 public:
  using TCustomDXSound::TCustomDXSound;
};

// ---------------------------------------------------------------------------------------------
// The wave list

class TWaveCollectionItem : public THashCollectionItem {
  FW_CLASS(TWaveCollectionItem, THashCollectionItem)
 public:
  explicit TWaveCollectionItem(fw::TCollection* Collection);
  ~TWaveCollectionItem() override;

  void Assign(fw::TPersistent* Source) override;
  // Plays the wave on a duplicate buffer (a looped wave on its main buffer); Wait blocks until
  // the sound has ended.
  void Play(bool Wait);
  void Stop();
  void Restore();
  void Initialize();
  void Finalize();

  TWaveCollection* WaveCollection() const;
  bool Initialized() const { return initialized_; }
  // Made and filled on first use.
  TDirectSoundBuffer* MainBuffer();
  TDirectSoundBuffer* MainBufferIfMade() const { return main_buffer_.get(); }
  int DuplicateCount() const { return static_cast<int>(duplicates_.size()); }
  TDirectSoundBuffer* Duplicates(int Index) const { return duplicates_.at(static_cast<std::size_t>(Index)).get(); }

  std::int32_t Frequency() const { return frequency_; }
  void SetFrequency(std::int32_t Value) { frequency_ = Value; }
  std::int32_t Pan() const { return pan_; }
  void SetPan(std::int32_t Value) { pan_ = Value; }
  std::int32_t Volume() const { return volume_; }
  void SetVolume(std::int32_t Value) { volume_ = Value; }
  bool Looped() const { return looped_; }
  void SetLooped(bool Value);
  std::int32_t MaxPlayingCount() const { return max_playing_count_; }
  void SetMaxPlayingCount(std::int32_t Value);
  TWave* Wave() const { return wave_.get(); }
  void SetWave(TWave* Value) { wave_->Assign(Value); }

 private:
  std::unique_ptr<TDirectSoundBuffer> CreateBuffer();
  TCustomDXSound* Sound() const;

  std::unique_ptr<TDirectSoundBuffer> main_buffer_;
  std::vector<std::unique_ptr<TDirectSoundBuffer>> duplicates_;
  std::int32_t frequency_ = 0;
  bool initialized_ = false;
  bool looped_ = false;
  std::int32_t max_playing_count_ = 0;
  std::int32_t pan_ = 0;
  std::int32_t volume_ = 0;
  std::unique_ptr<TWave> wave_;
};

class TWaveCollection : public THashCollection {
  FW_CLASS(TWaveCollection, THashCollection)
 public:
  explicit TWaveCollection(TCustomDXWaveList* AOwner);

  TWaveCollectionItem* Items(int Index) const;
  // The wave called Name (without regard to case); raises EWaveCollectionError when none is.
  TWaveCollectionItem* Lookup(const std::string& Name) const;
  void Initialize(TCustomDXSound* DXSound);
  void Finalize();
  void Restore();
  bool Initialized() const;
  TCustomDXSound* DXSound() const { return dxsound_; }
  TPersistent* GetOwner() override;

 private:
  TCustomDXSound* dxsound_ = nullptr;
  TCustomDXWaveList* owner_;
};

class TCustomDXWaveList : public fw::TComponent {
  FW_CLASS(TCustomDXWaveList, fw::TComponent)
 public:
  explicit TCustomDXWaveList(fw::TComponent* AOwner);
  ~TCustomDXWaveList() override;

  TCustomDXSound* DXSound() const { return dxsound_; }
  void SetDXSound(TCustomDXSound* Value);
  TWaveCollection* Items() const { return items_.get(); }
  void SetItems(TWaveCollection* Value) { items_->Assign(Value); }

  void Notification(fw::TComponent* AComponent, fw::TOperation Operation) override;

 private:
  static void DXSoundNotifyEvent(void* Object, TCustomDXSound* Sender, TSoundNotifyType NotifyType);

  TCustomDXSound* dxsound_ = nullptr;
  std::unique_ptr<TWaveCollection> items_;
};

class TDXWaveList : public TCustomDXWaveList {
  FW_CLASS(TDXWaveList, TCustomDXWaveList)
 public:
  using TCustomDXWaveList::TCustomDXWaveList;
};

}  // namespace dx
