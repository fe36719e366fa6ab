#include "dx/Wave.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "dx/DXConsts.h"
#include "framework/ClassBuilder.h"

namespace dx {

FW_REGISTER(TWave, nullptr)
FW_REGISTER(TCustomWaveStream, nullptr)
FW_REGISTER(TCustomWaveStream2, nullptr)
FW_REGISTER(TWaveStream, nullptr)

namespace {

// Replaces Block (OldSize bytes) by one of NewSize bytes that starts with the old content;
// added bytes are zero. NewSize 0 frees it.
void Reallocate(std::unique_ptr<std::uint8_t[]>& Block, std::int64_t OldSize, std::int64_t NewSize) {
  if (NewSize <= 0) {
    Block.reset();
    return;
  }
  auto fresh = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(NewSize));
  if (Block && OldSize > 0)
    std::memcpy(fresh.get(), Block.get(), static_cast<std::size_t>(std::min(OldSize, NewSize)));
  Block = std::move(fresh);
}

constexpr char kRiff[4] = {'R', 'I', 'F', 'F'};
constexpr char kWave[4] = {'W', 'A', 'V', 'E'};
constexpr char kFmt[4] = {'f', 'm', 't', ' '};
constexpr char kData[4] = {'d', 'a', 't', 'a'};

std::uint32_t GetLE32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}

// A four-byte identifier followed by a little-endian 32-bit value: both the chunk headers and
// the second half of the RIFF header have this shape.
void WriteIdAndValue(fw::TStream& Stream, const char (&Id)[4], std::uint32_t Value) {
  std::uint8_t bytes[8];
  std::memcpy(bytes, Id, 4);
  for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<std::uint8_t>(Value >> (8 * i));
  Stream.WriteBuffer(bytes, sizeof bytes);
}

// Sizes in the file are 32-bit; a stream can never hold more than that in a chunk anyway.
std::uint32_t ToChunkSize(std::int64_t n) {
  return static_cast<std::uint32_t>(std::clamp<std::int64_t>(n, 0, std::numeric_limits<std::uint32_t>::max()));
}

[[noreturn]] void ReadError() { throw fw::EReadError(fw::msg::ReadError); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// TWave

void TWave::Assign(fw::TPersistent* Source) {
  if (auto* src = dynamic_cast<TWave*>(Source)) {
    if (src == this) return;
    SetSize(src->size_);
    SetFormatSize(src->format_size_);
    if (size_ > 0) std::memcpy(data_.get(), src->data_.get(), static_cast<std::size_t>(size_));
    if (format_size_ > 0)
      std::memcpy(format_.get(), src->format_.get(), static_cast<std::size_t>(format_size_));
    return;
  }
  if (!Source) {
    Clear();
    return;
  }
  inherited::Assign(Source);
}

void TWave::Clear() {
  data_.reset();
  format_.reset();
  size_ = 0;
  format_size_ = 0;
  capacity_ = 0;
}

void TWave::SetSize(int Value) {
  Value = std::max(Value, 0);
  const std::int64_t blocks = (std::int64_t{Value} + (kBlockSize - 1)) / kBlockSize;
  if (blocks != capacity_ / kBlockSize) {
    Reallocate(data_, capacity_, blocks * kBlockSize);
    capacity_ = blocks * kBlockSize;
  }
  size_ = Value;
}

void TWave::SetFormatSize(int Value) {
  Value = std::max(Value, 0);
  Reallocate(format_, format_size_, Value);
  format_size_ = Value;
}

void TWave::LoadFromStream(fw::TStream& Stream) {
  Clear();
  TWaveStream ws(&Stream);
  ws.Open(false);
  SetFormatSize(ws.FormatSize());
  if (format_size_ > 0) std::memcpy(format_.get(), ws.Format(), static_cast<std::size_t>(format_size_));
  // The "data" chunk's size is only a claim: never allocate for more samples than the stream
  // actually holds. Too few is a short read either way.
  const std::int64_t size = ws.Size();
  const std::int64_t present = std::max<std::int64_t>(Stream.Size() - ws.DataPosition(), 0);
  if (size > present || size > std::numeric_limits<int>::max()) ReadError();
  SetSize(static_cast<int>(size));
  ws.ReadBuffer(data_.get(), size_);
}

void TWave::SaveToStream(fw::TStream& Stream) {
  if (format_size_ <= 0 || size_ <= 0) return;
  TWaveStream ws(&Stream);
  ws.SetFormatSize(format_size_);
  std::memcpy(ws.Format(), format_.get(), static_cast<std::size_t>(format_size_));
  ws.Open(true);
  ws.WriteBuffer(data_.get(), size_);
}

void TWave::DefineProperties(fw::TFiler& Filer) {
  inherited::DefineProperties(Filer);
  Filer.DefineBinaryProperty(
      "WAVE", [this](fw::TStream& s) { LoadFromStream(s); },
      [this](fw::TStream& s) { SaveToStream(s); }, true);
}

// ---------------------------------------------------------------------------------------------
// TCustomWaveStream

std::int64_t TCustomWaveStream::Read(void* Buffer, std::int64_t Count) {
  Count = std::max<std::int64_t>(Count, 0);
  const std::int64_t size = Size();
  if (size >= 0) {
    position_ = std::min(position_, size);
    Count = std::min(Count, size - position_);
  }
  const std::int64_t n = ReadWave(Buffer, Count);
  if (n > 0) position_ += n;
  return n;
}

std::int64_t TCustomWaveStream::Write(const void* Buffer, std::int64_t Count) {
  Count = std::max<std::int64_t>(Count, 0);
  const std::int64_t size = Size();
  if (size >= 0) position_ = std::min(position_, size);
  const std::int64_t n = WriteWave(Buffer, Count);
  if (n > 0) position_ += n;
  return n;
}

std::int64_t TCustomWaveStream::Seek(std::int64_t Offset, fw::TSeekOrigin Origin) {
  std::int64_t base = 0;
  switch (Origin) {
    case fw::soBeginning: base = 0; break;
    case fw::soCurrent: base = position_; break;
    case fw::soEnd: base = Size(); break;
  }
  std::int64_t target;
  if (__builtin_add_overflow(base, Offset, &target))
    target = Offset > 0 ? std::numeric_limits<std::int64_t>::max() : 0;
  const std::int64_t size = Size();
  if (size >= 0) target = std::min(target, size);
  position_ = std::max<std::int64_t>(target, 0);
  return position_;
}

std::int64_t TCustomWaveStream::ReadWave(void*, std::int64_t) { return 0; }

std::int64_t TCustomWaveStream::WriteWave(const void*, std::int64_t) { return 0; }

// ---------------------------------------------------------------------------------------------
// TCustomWaveStream2

TCustomWaveStream2::~TCustomWaveStream2() { SetFormatSize(0); }

void TCustomWaveStream2::SetFormatSize(int Value) {
  Value = std::max(Value, 0);
  Reallocate(format_, format_size_, Value);
  format_size_ = Value;
}

// ---------------------------------------------------------------------------------------------
// TWaveStream

TWaveStream::TWaveStream(fw::TStream* Stream) : start_position_(Stream->Position()), stream_(Stream) {}

TWaveStream::~TWaveStream() {
  if (opened_ && !read_mode_ && headers_written_) {
    // A destructor cannot report; a stream that took the headers and samples takes their
    // rewrite in place as well.
    try {
      CloseWrite();
    } catch (...) {
    }
  }
}

void TWaveStream::Open(bool WriteMode) {
  if (WriteMode)
    WriteOpen();
  else
    ReadOpen();
}

void TWaveStream::ReadOpen() {
  if (opened_) throw EWaveStreamError(SStreamOpend);
  opened_ = true;
  read_mode_ = true;

  stream_->SetPosition(start_position_);
  std::uint8_t header[12];
  stream_->ReadBuffer(header, sizeof header);
  if (std::memcmp(header, kRiff, 4) != 0 || std::memcmp(header + 8, kWave, 4) != 0)
    throw EWaveStreamError(SInvalidWave);

  // Chunks follow one another without padding. A short header counts as what it holds; an
  // all-zero identifier (as at the end of the stream) ends the list.
  for (;;) {
    std::uint8_t chunk[8] = {};
    stream_->Read(chunk, sizeof chunk);
    if (GetLE32(chunk) == 0) break;
    const std::uint32_t size = GetLE32(chunk + 4);
    if (std::memcmp(chunk, kFmt, 4) == 0) {
      // The record is read whole; refuse a size the stream cannot hold before allocating it.
      const std::int64_t left = stream_->Size() - stream_->Position();
      if (std::int64_t{size} > left || size > static_cast<std::uint32_t>(std::numeric_limits<int>::max()))
        ReadError();
      SetFormatSize(static_cast<int>(size));
      stream_->ReadBuffer(Format(), size);
    } else if (std::memcmp(chunk, kData, 4) == 0) {
      data_size_ = size;
      data_position_ = stream_->Position();
      stream_->Seek(size, fw::soCurrent);
    } else {
      stream_->Seek(size, fw::soCurrent);
    }
  }
}

void TWaveStream::WriteOpen() {
  if (opened_) throw EWaveStreamError(SStreamOpend);
  if (FormatSize() == 0) throw EWaveStreamError(SInvalidWaveFormat);
  opened_ = true;

  stream_->SetPosition(start_position_);
  const std::uint8_t placeholder[12] = {};
  stream_->WriteBuffer(placeholder, sizeof placeholder);
  WriteIdAndValue(*stream_, kFmt, static_cast<std::uint32_t>(FormatSize()));
  stream_->WriteBuffer(Format(), FormatSize());
  data_header_position_ = stream_->Position();
  WriteIdAndValue(*stream_, kData, 0);
  data_position_ = stream_->Position();
  headers_written_ = true;
}

void TWaveStream::CloseWrite() {
  const std::int64_t end = stream_->Size();
  const std::int64_t samples = Size();
  stream_->SetPosition(start_position_);
  WriteIdAndValue(*stream_, kRiff, ToChunkSize(end - start_position_ - 8));
  stream_->WriteBuffer(kWave, 4);
  stream_->SetPosition(data_header_position_);
  WriteIdAndValue(*stream_, kData, ToChunkSize(samples));
  stream_->Seek(0, fw::soEnd);
}

void TWaveStream::CheckOpened() const {
  if (!opened_) throw EWaveStreamError(SStreamNotOpend);
}

std::int64_t TWaveStream::Size() {
  if (!opened_) return 0;
  if (read_mode_) return data_size_;
  return stream_->Size() - data_position_;
}

std::int64_t TWaveStream::ReadWave(void* Buffer, std::int64_t Count) {
  CheckOpened();
  if (Count <= 0) return 0;
  stream_->SetPosition(data_position_ + position_);
  return stream_->Read(Buffer, Count);
}

std::int64_t TWaveStream::WriteWave(const void* Buffer, std::int64_t Count) {
  CheckOpened();
  // Samples read from a file can be overwritten in place, not added to. The "data" chunk's
  // size may claim more than the stream holds; writing there would not overwrite samples but
  // grow the stream, so the bytes actually present bound the write as well.
  if (read_mode_) {
    const std::int64_t present = std::max<std::int64_t>(stream_->Size() - data_position_, 0);
    Count = std::min(Count, std::min(data_size_, present) - position_);
  }
  if (Count <= 0) return 0;
  stream_->SetPosition(data_position_ + position_);
  return stream_->Write(Buffer, Count);
}

}  // namespace dx
