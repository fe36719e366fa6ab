#include "platform/dsound/DSoundMixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace dsound::detail {

SampleBlock::SampleBlock(const std::uint8_t* bytes, std::uint32_t size)
    : Size(size), Storage(std::make_unique<std::int16_t[]>(size / 2 + 1)) {
  if (size) std::memcpy(Storage.get(), bytes, size);
}

void GainsFor(std::int32_t volume, std::int32_t pan, std::int32_t& left, std::int32_t& right) {
  auto gain = [](std::int32_t hundredthsDb) -> std::int32_t {
    if (hundredthsDb <= -10000) return 0;
    if (hundredthsDb >= 0) return kUnityGain;
    return static_cast<std::int32_t>(std::lround(std::pow(10.0, hundredthsDb / 2000.0) * kUnityGain));
  };
  // Pan to the right attenuates the left channel, and the other way round.
  left = gain(volume - std::max(pan, 0));
  right = gain(volume + std::min(pan, 0));
}

std::uint64_t StepFor(std::uint32_t sourceRate, std::uint32_t deviceRate) {
  if (deviceRate == 0) return 0;
  return (static_cast<std::uint64_t>(sourceRate) << 32) / deviceRate;
}

// ---------------------------------------------------------------------------------------------
// Kernels

namespace {

constexpr int kChunk = 256;  // frames mixed at a time; the accumulator stays in the first-level cache
constexpr std::uint64_t kOne = std::uint64_t{1} << 32;

template <int Bits>
inline std::int32_t Sample(const SampleBlock* d, std::uint32_t index) {
  if constexpr (Bits == 16)
    return d->Words()[index];
  else
    return (static_cast<std::int32_t>(d->Bytes()[index]) - 128) * 256;
}

// Frames at the device rate: frames [first, first + n) added to acc.
template <int Channels, int Bits, bool Unity>
void MixDirect(const SampleBlock* d, std::uint32_t first, int n, std::int32_t* __restrict acc, std::int32_t gl,
               std::int32_t gr) {
  if constexpr (Bits == 16 && Channels == 2 && Unity) {
    const std::int16_t* __restrict s = d->Words() + std::size_t{first} * 2;
    for (int i = 0; i < 2 * n; ++i) acc[i] += s[i];
  } else if constexpr (Bits == 16 && Channels == 2) {
    const std::int16_t* __restrict s = d->Words() + std::size_t{first} * 2;
    for (int i = 0; i < n; ++i) {
      acc[2 * i] += (s[2 * i] * gl) >> 15;
      acc[2 * i + 1] += (s[2 * i + 1] * gr) >> 15;
    }
  } else {
    for (int i = 0; i < n; ++i) {
      const std::uint32_t f = (first + static_cast<std::uint32_t>(i)) * Channels;
      const std::int32_t l = Sample<Bits>(d, f);
      const std::int32_t r = Channels == 2 ? Sample<Bits>(d, f + 1) : l;
      if constexpr (Unity) {
        acc[2 * i] += l;
        acc[2 * i + 1] += r;
      } else {
        acc[2 * i] += (l * gl) >> 15;
        acc[2 * i + 1] += (r * gr) >> 15;
      }
    }
  }
}

// Any other rate: linear interpolation between neighbouring frames. Stops at the end of the
// samples; returns the frames made.
template <int Channels, int Bits>
int MixResampled(Voice* v, int n, std::int32_t* acc) {
  const SampleBlock* d = v->Data;
  const std::uint32_t frames = v->Frames;
  int i = 0;
  for (; i < n; ++i) {
    const std::uint32_t index = static_cast<std::uint32_t>(v->Pos >> 32);
    if (index >= frames) break;
    const std::int32_t frac = static_cast<std::int32_t>((v->Pos >> 17) & 0x7FFF);
    const std::uint32_t next = index + 1 < frames ? index + 1 : (v->Loop ? 0 : index);
    std::int32_t s[2];
    for (int c = 0; c < Channels; ++c) {
      const std::int32_t a = Sample<Bits>(d, index * Channels + c);
      const std::int32_t b = Sample<Bits>(d, next * Channels + c);
      s[c] = a + (((b - a) * frac) >> 15);
    }
    if constexpr (Channels == 1) s[1] = s[0];
    acc[2 * i] += (s[0] * v->GainL) >> 15;
    acc[2 * i + 1] += (s[1] * v->GainR) >> 15;
    v->Pos += v->Step;
  }
  return i;
}

template <int Channels, int Bits>
int MixFormat(Voice* v, int n, std::int32_t* acc) {
  const std::uint32_t index = static_cast<std::uint32_t>(v->Pos >> 32);
  if (v->Step == kOne && static_cast<std::uint32_t>(v->Pos) == 0) {
    const int got = static_cast<int>(std::min<std::uint32_t>(static_cast<std::uint32_t>(n), v->Frames - index));
    if (v->GainL == kUnityGain && v->GainR == kUnityGain)
      MixDirect<Channels, Bits, true>(v->Data, index, got, acc, v->GainL, v->GainR);
    else
      MixDirect<Channels, Bits, false>(v->Data, index, got, acc, v->GainL, v->GainR);
    v->Pos += static_cast<std::uint64_t>(got) << 32;
    return got;
  }
  return MixResampled<Channels, Bits>(v, n, acc);
}

// Adds n frames of the voice; false when it has ended.
bool MixVoice(Voice* v, std::int32_t* acc, int n) {
  int done = 0;
  while (done < n) {
    if (!v->Data || v->Frames == 0 || v->Step == 0) return false;
    if ((v->Pos >> 32) >= v->Frames) {
      if (!v->Loop) return false;
      v->Pos %= static_cast<std::uint64_t>(v->Frames) << 32;
      continue;
    }
    if (v->GainL == 0 && v->GainR == 0 && v->Step == kOne) {
      // Silent: only the position moves.
      const std::uint32_t left = v->Frames - static_cast<std::uint32_t>(v->Pos >> 32);
      const int got = static_cast<int>(std::min<std::uint32_t>(static_cast<std::uint32_t>(n - done), left));
      v->Pos += static_cast<std::uint64_t>(got) << 32;
      done += got;
      continue;
    }
    std::int32_t* at = acc + 2 * done;
    const int rest = n - done;
    int got;
    if (v->Bits == 16)
      got = v->Channels == 2 ? MixFormat<2, 16>(v, rest, at) : MixFormat<1, 16>(v, rest, at);
    else
      got = v->Channels == 2 ? MixFormat<2, 8>(v, rest, at) : MixFormat<1, 8>(v, rest, at);
    done += got;
  }
  // A sound that used its last frame in this chunk has ended now, not at the next one.
  return v->Loop || (v->Pos >> 32) < v->Frames;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Mixer

std::uint64_t Mixer::Submit(const Command& command) {
  std::lock_guard lock(exchange_);
  pending_.push_back(command);
  return ++submitted_;
}

void Mixer::TakeCommands() {
  std::uint64_t taken;
  {
    std::unique_lock lock(exchange_, std::try_to_lock);
    if (!lock.owns_lock()) return;  // the message loop is appending; next time
    if (pending_.empty()) return;
    batch_.swap(pending_);
    taken = submitted_;
  }
  for (const Command& c : batch_) Apply(c);
  batch_.clear();
  applied_.store(taken, std::memory_order_release);
}

void Mixer::Unlink(Voice* v) {
  if (!v->Active) return;
  for (Voice** link = &active_; *link; link = &(*link)->Next) {
    if (*link == v) {
      *link = v->Next;
      break;
    }
  }
  v->Next = nullptr;
  v->Active = false;
}

void Mixer::Apply(const Command& c) {
  Voice* v = c.Target;
  auto setData = [v](const SampleBlock* d) {
    v->Data = d;
    const std::uint32_t frameBytes = static_cast<std::uint32_t>(v->Channels * v->Bits / 8);
    v->Frames = d && frameBytes ? d->Size / frameBytes : 0;
  };
  switch (c.What) {
    case Command::Start:
      setData(c.Data);
      v->Pos = static_cast<std::uint64_t>(c.Frame) << 32;
      v->Step = c.Step;
      v->GainL = c.GainL;
      v->GainR = c.GainR;
      v->Loop = c.Loop;
      v->Seq = c.Seq;
      v->CursorFrame.store(c.Frame, std::memory_order_relaxed);
      v->StartedSeq.store(c.Seq, std::memory_order_release);
      if (!v->Active) {
        v->Next = active_;
        active_ = v;
        v->Active = true;
      }
      break;
    case Command::Stop:
    case Command::Remove:
      Unlink(v);
      break;
    case Command::SetPosition:
      v->Pos = static_cast<std::uint64_t>(c.Frame) << 32;
      v->CursorFrame.store(c.Frame, std::memory_order_relaxed);
      break;
    case Command::SetParams:
      v->Step = c.Step;
      v->GainL = c.GainL;
      v->GainR = c.GainR;
      break;
    case Command::SetData:
      setData(c.Data);
      break;
  }
}

void Mixer::Render(std::int16_t* out, int frames) {
  TakeCommands();
  alignas(64) std::int32_t acc[kChunk * 2];
  for (int done = 0; done < frames;) {
    const int n = std::min(kChunk, frames - done);
    std::memset(acc, 0, sizeof(std::int32_t) * 2 * static_cast<std::size_t>(n));
    for (Voice** link = &active_; *link;) {
      Voice* v = *link;
      if (MixVoice(v, acc, n)) {
        link = &v->Next;
        continue;
      }
      *link = v->Next;
      v->Next = nullptr;
      v->Active = false;
      v->CursorFrame.store(0, std::memory_order_relaxed);
      v->EndedSeq.store(v->Seq, std::memory_order_release);
    }
    std::int16_t* o = out + 2 * done;
    for (int i = 0; i < 2 * n; ++i) o[i] = static_cast<std::int16_t>(std::clamp(acc[i], -32768, 32767));
    done += n;
  }
  for (Voice* v = active_; v; v = v->Next)
    v->CursorFrame.store(static_cast<std::uint32_t>(v->Pos >> 32), std::memory_order_relaxed);
}

// ---------------------------------------------------------------------------------------------
// Graveyard

void Graveyard::Bury(std::uint64_t afterCommand, std::unique_ptr<Voice> v) {
  if (v) voices_.emplace_back(afterCommand, std::move(v));
}

void Graveyard::Bury(std::uint64_t afterCommand, std::unique_ptr<SampleBlock> b) {
  if (b) blocks_.emplace_back(afterCommand, std::move(b));
}

void Graveyard::Collect(std::uint64_t applied) {
  std::erase_if(voices_, [applied](const auto& e) { return e.first <= applied; });
  std::erase_if(blocks_, [applied](const auto& e) { return e.first <= applied; });
}

void Graveyard::Clear() {
  voices_.clear();
  blocks_.clear();
}

}  // namespace dsound::detail
