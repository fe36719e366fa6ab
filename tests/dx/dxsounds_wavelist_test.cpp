// The sound component and the wave list on a form: loading from a stored form, the life cycle
// and its listeners, named waves, duplicates up to each wave's limit, looping, and a lost device.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "dx/DXClass.h"
#include "dx/DXSounds.h"
#include "framework/ClassBuilder.h"
#include "platform/dsound/DSound.h"
#include "platform/dsound/DSoundTesting.h"
#include "tests/support/QtTestApp.h"

namespace {

using namespace dx;

class TSoundForm : public TDXForm {
  FW_CLASS(TSoundForm, TDXForm)
 public:
  explicit TSoundForm(fw::TComponent* AOwner) : TDXForm(AOwner) {
    LoadFromDescription(R"(object SoundForm: TSoundForm
  Left = 10
  Top = 10
  ClientHeight = 100
  ClientWidth = 100
  Caption = 'Sound'
  object DXWaveList: TDXWaveList
    DXSound = DXSound
    Items = <>
  end
  object DXSound: TDXSound
    AutoInitialize = True
    Options = []
    OnRestore = DXSoundRestore
  end
end
)");
  }
  void DXSoundRestore(fw::TObject*) { ++Restores; }

  TDXSound* DXSound = nullptr;
  TDXWaveList* DXWaveList = nullptr;
  int Restores = 0;
};

FW_REGISTER(TSoundForm, [](fw::TClassBuilder<TSoundForm>& b) {
  b.Field("DXSound", &TSoundForm::DXSound);
  b.Field("DXWaveList", &TSoundForm::DXWaveList);
  b.Method("DXSoundRestore", &TSoundForm::DXSoundRestore);
})

void FillWave(TWave& w, const std::vector<std::int16_t>& samples, int formatSize = 16) {
  dsound::WAVEFORMATEX f{};
  f.wFormatTag = dsound::WAVE_FORMAT_PCM;
  f.nChannels = 1;
  f.wBitsPerSample = 16;
  f.nSamplesPerSec = 44100;
  f.nBlockAlign = 2;
  f.nAvgBytesPerSec = 88200;
  w.SetFormatSize(formatSize);
  std::memcpy(w.Format(), &f, static_cast<std::size_t>(std::min(formatSize, 16)));
  w.SetSize(static_cast<int>(samples.size() * 2));
  std::memcpy(w.Data(), samples.data(), samples.size() * 2);
}

class DXSoundsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::EnsureApplication();
    dsound::DeviceConfig c;
    c.Manual = true;
    dsound::SetDeviceConfig(c);
  }
  void TearDown() override {
    form_.reset();
    EXPECT_EQ(dsound::LiveObjectCount(), 0);
    dsound::ResetDeviceConfig();
  }
  TSoundForm* Form() {
    if (!form_) form_ = fw::MakeOwned<TSoundForm>(nullptr);
    return form_.get();
  }
  TWaveCollectionItem* AddWave(const std::string& name, const std::vector<std::int16_t>& samples) {
    auto* item = static_cast<TWaveCollectionItem*>(Form()->DXWaveList->Items()->Add());
    item->SetName(name);
    FillWave(*item->Wave(), samples);
    item->Restore();  // a wave added to a running list joins it
    return item;
  }
  static std::vector<std::int16_t> Render(int frames) {
    std::vector<std::int16_t> out(static_cast<std::size_t>(frames) * 2);
    EXPECT_TRUE(dsound::RenderManual(out.data(), frames));
    return out;
  }

  fw::TOwned<TSoundForm> form_;
};

TEST_F(DXSoundsTest, TheStoredFormComesUpWithSoundAndAnEmptyLinkedWaveList) {
  TSoundForm* f = Form();
  ASSERT_NE(f->DXSound, nullptr);
  ASSERT_NE(f->DXWaveList, nullptr);
  EXPECT_TRUE(f->DXSound->Initialized());
  EXPECT_EQ(f->DXSound->Options(), TDXSoundOptions{});
  EXPECT_EQ(f->DXWaveList->DXSound(), f->DXSound);
  EXPECT_EQ(f->DXWaveList->Items()->Count(), 0);
  EXPECT_TRUE(f->DXWaveList->Items()->Initialized());
  EXPECT_EQ(f->Restores, 1);
  ASSERT_NE(f->DXSound->Primary(), nullptr);
  EXPECT_TRUE(f->DXSound->Primary()->Caps().dwFlags & dsound::DSBCAPS_PRIMARYBUFFER);
  try {
    f->DXWaveList->Items()->Lookup("snd");
    FAIL() << "no error";
  } catch (const EWaveCollectionError& e) {
    EXPECT_STREQ(e.what(), "Wave 'snd' not found");
  }
  // A wave called "snd" is found by any case of its name.
  TWaveCollectionItem* snd = AddWave("snd", {1, 2});
  EXPECT_EQ(f->DXWaveList->Items()->Lookup("SND"), snd);
}

TEST_F(DXSoundsTest, WithoutADeviceTheFormLoadsSilent) {
  dsound::DeviceConfig c;
  c.Available = false;
  dsound::SetDeviceConfig(c);
  TSoundForm* f = Form();
  EXPECT_FALSE(f->DXSound->Initialized());
  EXPECT_EQ(f->DXSound->DirectSound(), nullptr);
  TWaveCollectionItem* w = AddWave("snd", {1, 2, 3});
  EXPECT_NO_THROW(w->Play(false));
  EXPECT_FALSE(w->Initialized());
  EXPECT_THROW(f->DXSound->Initialize(), EDirectSoundError);
  EXPECT_FALSE(f->DXSound->Initialized());
}

TEST_F(DXSoundsTest, ListenersAreToldLastFirstAndANewOneHearsTheStateItMissed) {
  TSoundForm* f = Form();
  struct Log {
    std::vector<std::pair<int, TSoundNotifyType>> events;
  } log;
  struct Tag {
    Log* log;
    int id;
  } one{&log, 1}, two{&log, 2};
  auto handler = [](void* o, TCustomDXSound*, TSoundNotifyType t) {
    auto* tag = static_cast<Tag*>(o);
    tag->log->events.push_back({tag->id, t});
  };
  f->DXSound->RegisterNotifyEvent(handler, &one);
  EXPECT_EQ(log.events, (std::vector<std::pair<int, TSoundNotifyType>>{{1, sntInitialize}, {1, sntRestore}}));
  f->DXSound->RegisterNotifyEvent(handler, &two);
  log.events.clear();
  f->DXSound->Finalize();
  EXPECT_EQ(log.events, (std::vector<std::pair<int, TSoundNotifyType>>{{2, sntFinalize}, {1, sntFinalize}}));
  log.events.clear();
  f->DXSound->Initialize();
  EXPECT_EQ(log.events, (std::vector<std::pair<int, TSoundNotifyType>>{
                            {2, sntInitializing}, {1, sntInitializing}, {2, sntInitialize}, {1, sntInitialize},
                            {2, sntRestore}, {1, sntRestore}}));
  log.events.clear();
  f->DXSound->UnregisterNotifyEvent(handler, &one);
  EXPECT_EQ(log.events, (std::vector<std::pair<int, TSoundNotifyType>>{{1, sntFinalize}}));
  f->DXSound->UnregisterNotifyEvent(handler, &two);
}

TEST_F(DXSoundsTest, ExclusiveUseWaitsForTheNextInitialize) {
  TSoundForm* f = Form();
  f->DXSound->SetOptions(TDXSoundOptions{soExclusive, soStickyFocus});
  EXPECT_EQ(f->DXSound->NowOptions(), TDXSoundOptions{soStickyFocus});
  EXPECT_TRUE(f->DXSound->DirectSound()->StickyFocus());
  f->DXSound->Initialize();
  EXPECT_EQ(f->DXSound->NowOptions(), (TDXSoundOptions{soExclusive, soStickyFocus}));
  f->DXSound->SetOptions(TDXSoundOptions{});
  EXPECT_EQ(f->DXSound->NowOptions(), TDXSoundOptions{soExclusive});
  f->DXSound->Finalize();
  EXPECT_EQ(f->DXSound->NowOptions(), TDXSoundOptions{});
}

TEST_F(DXSoundsTest, RegisteringAListWithAnInitializedComponentFillsItsBuffers) {
  TSoundForm* f = Form();
  auto list = fw::MakeOwned<TDXWaveList>(nullptr);
  auto* item = static_cast<TWaveCollectionItem*>(list->Items()->Add());
  FillWave(*item->Wave(), {7, 8, 9});
  EXPECT_FALSE(item->Initialized());
  list->SetDXSound(f->DXSound);
  EXPECT_TRUE(item->Initialized());
  ASSERT_NE(item->MainBufferIfMade(), nullptr);
  EXPECT_NE(item->MainBufferIfMade()->IDSBuffer(), nullptr);
  EXPECT_EQ(item->MainBufferIfMade()->Caps().dwBufferBytes, 6u);
  // The component going away unlinks the list and lets go of its buffers.
  form_.reset();
  EXPECT_EQ(list->DXSound(), nullptr);
  EXPECT_FALSE(item->Initialized());
  EXPECT_EQ(item->MainBufferIfMade(), nullptr);
}

TEST_F(DXSoundsTest, AWaveOverlapsItselfUpToItsLimitRestartingTheOldestCopy) {
  std::vector<std::int16_t> long_sound(4000, 100);
  TWaveCollectionItem* w = AddWave("boom", long_sound);
  w->SetMaxPlayingCount(2);
  w->Play(false);
  w->Play(false);
  ASSERT_EQ(w->DuplicateCount(), 2);
  TDirectSoundBuffer* first = w->Duplicates(0);
  TDirectSoundBuffer* second = w->Duplicates(1);
  auto out = Render(10);
  EXPECT_EQ(out[0], 200);  // two copies at once
  w->Play(false);
  ASSERT_EQ(w->DuplicateCount(), 2);
  EXPECT_EQ(w->Duplicates(0), second);
  EXPECT_EQ(w->Duplicates(1), first);
  EXPECT_FALSE(w->MainBufferIfMade()->Playing());  // the main buffer never plays a one-shot sound

  // A new limit silences and frees every copy.
  w->SetMaxPlayingCount(5);
  EXPECT_EQ(w->DuplicateCount(), 0);
  out = Render(4);
  EXPECT_EQ(out[0], 0);
  w->SetMaxPlayingCount(-3);
  EXPECT_EQ(w->MaxPlayingCount(), 0);
}

TEST_F(DXSoundsTest, WithoutALimitCopiesGrowAndAFinishedOneIsUsedFirst) {
  TWaveCollectionItem* w = AddWave("tick", {1000, 1000, 1000, 1000});
  for (int i = 0; i < 3; ++i) w->Play(false);
  EXPECT_EQ(w->DuplicateCount(), 3);
  auto out = Render(8);
  EXPECT_EQ(out[0], 3000);
  EXPECT_EQ(out[8], 0);  // all three have ended
  TDirectSoundBuffer* first = w->Duplicates(0);
  w->SetVolume(-10000);
  w->Play(false);
  EXPECT_EQ(w->DuplicateCount(), 3);
  EXPECT_TRUE(first->Playing());
  out = Render(2);
  EXPECT_EQ(out[0], 0);  // the item's volume went with it
}

TEST_F(DXSoundsTest, ALoopedWaveRestartsFromTheStartAndSettingLoopedStopsIt) {
  TWaveCollectionItem* w = AddWave("hum", {10, 20, 30, 40, 50});
  w->SetLooped(true);
  w->Play(false);
  auto out = Render(3);
  EXPECT_EQ(out[4], 30);
  w->Play(false);
  out = Render(7);
  EXPECT_EQ(out[0], 10);
  EXPECT_EQ(out[2 * 5], 10);  // round again
  EXPECT_EQ(w->DuplicateCount(), 0);
  EXPECT_TRUE(w->MainBufferIfMade()->Playing());
  w->SetLooped(false);
  EXPECT_FALSE(w->MainBufferIfMade()->Playing());
  out = Render(2);
  EXPECT_EQ(out[0], 0);
}

TEST_F(DXSoundsTest, ALoopedWaveWithoutSamplesHasNoBufferToPlay) {
  auto* w = static_cast<TWaveCollectionItem*>(Form()->DXWaveList->Items()->Add());
  w->SetLooped(true);
  EXPECT_TRUE(w->Initialized() || true);
  w->Initialize();
  ASSERT_TRUE(w->Initialized());
  for (int i = 0; i < 2; ++i) {
    try {
      if (i == 0)
        w->Play(false);
      else
        w->Stop();
      FAIL() << "no error";
    } catch (const EDirectSoundBufferError& e) {
      EXPECT_STREQ(e.what(), "IDirectSoundBuffer not made");
    }
  }
}

TEST_F(DXSoundsTest, AWaveWhoseFormatIsTooShortIsRefusedWithoutReadingPastIt) {
  TSoundForm* f = Form();
  auto* w = static_cast<TWaveCollectionItem*>(f->DXWaveList->Items()->Add());
  FillWave(*w->Wave(), {1, 2, 3}, 4);
  try {
    f->DXSound->Restore();
    FAIL() << "no error";
  } catch (const EDirectSoundBufferError& e) {
    EXPECT_STREQ(e.what(), "Sound Buffer cannot be made");
  }
}

TEST_F(DXSoundsTest, ALostDeviceRestoresEveryWaveThroughOnRestore) {
  TSoundForm* f = Form();
  TWaveCollectionItem* a = AddWave("a", {500, 500, 500});
  TWaveCollectionItem* b = AddWave("b", {7, 7, 7});
  f->DXSound->Restore();
  a->Play(false);
  Render(4);
  const int before = f->Restores;
  dsound::LoseDevice();
  a->Play(false);  // its copy is lost: the failed start restores everything
  EXPECT_EQ(f->Restores, before + 1);
  EXPECT_EQ(b->MainBufferIfMade()->Status() & dsound::DSBSTATUS_BUFFERLOST, 0u);  // refilled anew
  EXPECT_EQ(a->DuplicateCount(), 1);
  a->Play(false);
  auto out = Render(2);
  EXPECT_EQ(out[0], 500);
  b->Play(false);
  out = Render(2);
  EXPECT_EQ(out[0], 507);  // the last frame of a with the first of b
  EXPECT_EQ(out[2], 7);
}

TEST_F(DXSoundsTest, PlayWithWaitReturnsWhenTheSoundHasEnded) {
  // On a real (dummy) device the audio thread plays the sound out while Play waits.
  dsound::ResetDeviceConfig();
  TSoundForm* f = Form();
  ASSERT_TRUE(f->DXSound->Initialized());
  TWaveCollectionItem* w = AddWave("short", std::vector<std::int16_t>(441, 1));  // 10 ms
  w->Play(true);
  EXPECT_FALSE(w->Duplicates(0)->Playing());
}

}  // namespace
