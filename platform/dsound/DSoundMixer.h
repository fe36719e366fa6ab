#pragma once
// The software mixer behind every sound buffer: voices that read PCM samples (8 or 16 bits,
// mono or stereo, any rate), resample them to the device rate by linear interpolation, apply
// volume and pan, and add up into signed 16-bit stereo frames with clipping.
//
// Threads. The mixer's Render runs on the audio thread (SDL's callback); everything else talks
// to it from the message-loop thread through one hand-over:
//   - Commands go in through Submit, which appends to a vector under a mutex. Render takes the
//     whole vector with try_lock and a swap, so the audio thread never waits, and the message
//     loop waits at most for that swap. Commands are plain values; they never own memory.
//   - What the audio thread reads (voices, sample blocks) is owned by the message-loop side and
//     freed only after the mixer has applied the command that let go of it: Applied() counts the
//     commands the audio thread has applied, and the owner keeps retired objects until then
//     (Graveyard).
//   - What the message loop wants to know (a voice ended, where it plays) comes back through the
//     voice's atomics.
// Sample blocks handed to the mixer are never written again; new samples go in a new block.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace dsound::detail {

// Samples as the buffer holds them, kept in 16-bit words so that 16-bit samples are read as
// what they are.
struct SampleBlock {
  explicit SampleBlock(const std::uint8_t* bytes, std::uint32_t size);
  const std::uint8_t* Bytes() const { return reinterpret_cast<const std::uint8_t*>(Storage.get()); }
  const std::int16_t* Words() const { return Storage.get(); }
  std::uint32_t Size;
  std::unique_ptr<std::int16_t[]> Storage;
};

inline constexpr std::int32_t kUnityGain = 1 << 15;

struct Voice {
  Voice(int channels, int bits) : Channels(channels), Bits(bits) {}
  // Fixed before the voice is first handed over.
  const int Channels;
  const int Bits;

  // Written by the audio thread, read by the message loop.
  std::atomic<std::uint32_t> StartedSeq{0};  // the last start applied
  std::atomic<std::uint32_t> EndedSeq{0};    // the last start that ran to its end by itself
  std::atomic<std::uint32_t> CursorFrame{0}; // where the last start plays now

  // The audio thread's own.
  Voice* Next = nullptr;
  bool Active = false;
  const SampleBlock* Data = nullptr;
  std::uint32_t Frames = 0;
  std::uint64_t Pos = 0;   // frames, 32.32 fixed point
  std::uint64_t Step = 0;  // frames per output frame, 32.32
  std::int32_t GainL = kUnityGain, GainR = kUnityGain;
  bool Loop = false;
  std::uint32_t Seq = 0;
};

struct Command {
  enum Kind : std::uint8_t { Start, Stop, SetPosition, SetParams, SetData, Remove };
  Kind What = Stop;
  Voice* Target = nullptr;
  const SampleBlock* Data = nullptr;  // Start, SetData
  std::uint32_t Frame = 0;            // Start, SetPosition
  std::uint64_t Step = 0;             // Start, SetParams
  std::int32_t GainL = 0, GainR = 0;  // Start, SetParams
  bool Loop = false;                  // Start
  std::uint32_t Seq = 0;              // Start
};

// Gains in 1/32768 for a volume and a pan in hundredths of a decibel.
void GainsFor(std::int32_t volume, std::int32_t pan, std::int32_t& left, std::int32_t& right);
// Source frames per output frame, 32.32.
std::uint64_t StepFor(std::uint32_t sourceRate, std::uint32_t deviceRate);

class Mixer {
 public:
  explicit Mixer(int rate) : rate_(rate) {}
  int Rate() const { return rate_; }

  // Message-loop thread. Returns the command's number (the first is 1).
  std::uint64_t Submit(const Command& command);
  // How many commands the audio thread has applied.
  std::uint64_t Applied() const { return applied_.load(std::memory_order_acquire); }

  // Audio thread: applies what was submitted, then mixes `frames` stereo frames.
  void Render(std::int16_t* out, int frames);

 private:
  void TakeCommands();
  void Apply(const Command& c);
  void Unlink(Voice* v);
  void MixChunk(std::int32_t* acc, int frames);

  const int rate_;
  std::mutex exchange_;
  std::vector<Command> pending_;  // guarded by exchange_
  std::uint64_t submitted_ = 0;   // guarded by exchange_
  std::atomic<std::uint64_t> applied_{0};
  std::vector<Command> batch_;    // audio thread
  Voice* active_ = nullptr;       // audio thread
};

// Objects the mixer may still read, kept until it has applied the command that dropped them.
class Graveyard {
 public:
  void Bury(std::uint64_t afterCommand, std::unique_ptr<Voice> v);
  void Bury(std::uint64_t afterCommand, std::unique_ptr<SampleBlock> b);
  // Frees what the mixer no longer reads.
  void Collect(std::uint64_t applied);
  void Clear();
  std::size_t Size() const { return voices_.size() + blocks_.size(); }

 private:
  std::vector<std::pair<std::uint64_t, std::unique_ptr<Voice>>> voices_;
  std::vector<std::pair<std::uint64_t, std::unique_ptr<SampleBlock>>> blocks_;
};

}  // namespace dsound::detail
