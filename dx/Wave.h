#pragma once
// Wave data: one sound held in memory (TWave) and the RIFF WAVE streams it is stored as.
//
// The format record is kept as raw bytes and handed on unchanged; nothing here looks inside it
// or at the samples.
#include <cstdint>
#include <memory>

#include "framework/Classes.h"
#include "framework/SysUtils.h"

namespace dx {

class EWaveStreamError : public fw::Exception {
 public:
  using Exception::Exception;
};

// One sound: a format record and a block of samples. Its stored form is a RIFF WAVE stream
// in the binary property "WAVE".
class TWave : public fw::TPersistent {
  FW_CLASS(TWave, fw::TPersistent)
 public:
  // Samples are kept in whole blocks of this many bytes, so that growing a sound a little at a
  // time does not copy it each time.
  static constexpr int kBlockSize = 8096;

  TWave() = default;
  ~TWave() override = default;

  // Another wave's format and samples; null empties this wave.
  void Assign(fw::TPersistent* Source) override;
  void Clear();
  // Reads a RIFF WAVE stream from the current position of Stream. The wave is emptied first, so
  // a failed load leaves it empty or with the format only.
  void LoadFromStream(fw::TStream& Stream);
  // Writes a RIFF WAVE stream at the current position of Stream; an empty wave writes nothing.
  void SaveToStream(fw::TStream& Stream);

  // Null when empty.
  std::uint8_t* Data() { return data_.get(); }
  const std::uint8_t* Data() const { return data_.get(); }
  std::uint8_t* Format() { return format_.get(); }
  const std::uint8_t* Format() const { return format_.get(); }
  int FormatSize() const { return format_size_; }
  int Size() const { return size_; }
  // Bytes allocated for samples: Size rounded up to whole blocks.
  std::int64_t Capacity() const { return capacity_; }

  // Changes the number of sample bytes, keeping the ones that stay; the memory is reallocated
  // only when the number of blocks changes. Values below 0 count as 0.
  void SetSize(int Value);
  // Reallocates the format record to exactly Value bytes (0 frees it), keeping its start.
  void SetFormatSize(int Value);

  // "WAVE": the whole RIFF WAVE stream, or nothing for an empty wave.
  void DefineProperties(fw::TFiler& Filer) override;

 private:
  std::unique_ptr<std::uint8_t[]> data_;
  std::unique_ptr<std::uint8_t[]> format_;
  int format_size_ = 0;
  int size_ = 0;
  std::int64_t capacity_ = 0;
};

// A stream of samples with a format. Position runs over the samples only.
class TCustomWaveStream : public fw::TStream {
  FW_CLASS(TCustomWaveStream, fw::TStream)
 public:
  // Reads are limited to Size unless Size is negative (no limit).
  std::int64_t Read(void* Buffer, std::int64_t Count) override;
  std::int64_t Write(const void* Buffer, std::int64_t Count) override;
  // The result is kept within 0 ... Size and becomes the position.
  std::int64_t Seek(std::int64_t Offset, fw::TSeekOrigin Origin) override;
  // The size of a wave stream follows from its content; setting it does nothing.
  void SetSize(std::int64_t) override {}

  virtual std::uint8_t* Format() { return nullptr; }
  virtual int FormatSize() { return 0; }
  // Bytes of samples; -1 when unknown.
  std::int64_t Size() override { return -1; }
  virtual void SetFormatSize(int Value) = 0;

 protected:
  // Transfer samples at Position; return how many bytes moved.
  virtual std::int64_t ReadWave(void* Buffer, std::int64_t Count);
  virtual std::int64_t WriteWave(const void* Buffer, std::int64_t Count);

  std::int64_t position_ = 0;
};

// A wave stream that keeps its own format record.
class TCustomWaveStream2 : public TCustomWaveStream {
  FW_CLASS(TCustomWaveStream2, TCustomWaveStream)
 public:
  ~TCustomWaveStream2() override;
  std::uint8_t* Format() override { return format_.get(); }
  int FormatSize() override { return format_size_; }
  // Reallocates the record to exactly Value bytes (0 frees it), keeping its start.
  void SetFormatSize(int Value) override;

 private:
  std::unique_ptr<std::uint8_t[]> format_;
  int format_size_ = 0;
};

// The samples of a RIFF WAVE file lying in another stream, from that stream's position at the
// time the wave stream is made. It opens once, for reading or for writing; a stream opened for
// writing completes the file's headers when it is destroyed.
class TWaveStream : public TCustomWaveStream2 {
  FW_CLASS(TWaveStream, TCustomWaveStream2)
 public:
  // Stream is not owned and must outlive the wave stream.
  explicit TWaveStream(fw::TStream* Stream);
  ~TWaveStream() override;

  // Reads the headers, or (WriteMode) writes them for the format already given.
  void Open(bool WriteMode);
  // 0 before Open; the "data" chunk's size when reading; what has been written when writing.
  std::int64_t Size() override;

  bool Opened() const { return opened_; }
  bool ReadMode() const { return read_mode_; }
  // Position in the underlying stream of the first sample byte.
  std::int64_t DataPosition() const { return data_position_; }

 protected:
  std::int64_t ReadWave(void* Buffer, std::int64_t Count) override;
  std::int64_t WriteWave(const void* Buffer, std::int64_t Count) override;

 private:
  void ReadOpen();
  void WriteOpen();
  void CloseWrite();
  void CheckOpened() const;

  std::int64_t data_position_ = 0;
  std::int64_t data_header_position_ = 0;
  bool opened_ = false;
  std::int64_t start_position_ = 0;
  bool read_mode_ = false;
  std::int64_t data_size_ = 0;
  fw::TStream* stream_;
  // Set once the write opening has put every header in place; only then do the headers
  // point where completion may write.
  bool headers_written_ = false;
};

}  // namespace dx
