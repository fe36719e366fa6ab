#include "framework/Jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include <jpeglib.h>

#include "framework/ClassBuilder.h"

namespace fw {

namespace {

// Progressive files may consist of very many tiny scans; more than this is not a picture.
constexpr int kMaxScans = 500;

struct ErrorManager {
  jpeg_error_mgr Pub;
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
  bool TooLarge;
  int Width, Height;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->Message);
  std::longjmp(err->Jump, 1);
}

// Warnings (premature end of data, corrupt entropy data, ...) mean the picture is damaged: they
// are errors here, so that a truncated picture is refused instead of being shown half grey.
void EmitMessage(j_common_ptr cinfo, int level) {
  if (level < 0) ErrorExit(cinfo);
}

void OutputMessage(j_common_ptr) {}

void ProgressMonitor(j_common_ptr cinfo) {
  if (cinfo->is_decompressor) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) {
      auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
      std::snprintf(err->Message, sizeof err->Message, "more than %d scans", kMaxScans);
      std::longjmp(err->Jump, 1);
    }
  }
}

enum class Stage { Header, Pixels };

// Everything between setjmp and a possible longjmp lives behind pointers that do not change,
// so nothing needs to be volatile.
bool Decode(const std::uint8_t* data, std::size_t size, Stage stage, ErrorManager* err,
            jpeg_decompress_struct* cinfo, jpeg_progress_mgr* progress, std::vector<std::uint8_t>* scratch,
            TJpegPixels* out) {
  cinfo->err = jpeg_std_error(&err->Pub);
  err->Pub.error_exit = ErrorExit;
  err->Pub.emit_message = EmitMessage;
  err->Pub.output_message = OutputMessage;
  err->Message[0] = 0;
  err->TooLarge = false;
  if (setjmp(err->Jump)) {
    jpeg_destroy_decompress(cinfo);
    return false;
  }
  jpeg_create_decompress(cinfo);
  cinfo->mem->max_memory_to_use = 512L * 1024 * 1024;
  progress->progress_monitor = ProgressMonitor;
  cinfo->progress = progress;
  jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(cinfo, TRUE);
  out->Width = static_cast<int>(cinfo->image_width);
  out->Height = static_cast<int>(cinfo->image_height);
  if (std::int64_t{out->Width} * out->Height > kMaxJpegPixels) {
    err->TooLarge = true;
    jpeg_destroy_decompress(cinfo);
    return false;
  }
  if (stage == Stage::Header) {
    jpeg_destroy_decompress(cinfo);
    return true;
  }
  const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
  cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  jpeg_start_decompress(cinfo);
  const std::size_t width = cinfo->output_width;
  const std::size_t components = static_cast<std::size_t>(cinfo->output_components);
  out->Width = static_cast<int>(cinfo->output_width);
  out->Height = static_cast<int>(cinfo->output_height);
  out->Rgb.assign(width * cinfo->output_height * 3, 0);
  scratch->assign(width * components, 0);
  while (cinfo->output_scanline < cinfo->output_height) {
    const std::size_t y = cinfo->output_scanline;
    JSAMPROW line = scratch->data();
    if (jpeg_read_scanlines(cinfo, &line, 1) != 1) continue;
    std::uint8_t* dst = out->Rgb.data() + y * width * 3;
    const std::uint8_t* src = scratch->data();
    if (components == 3) {
      std::memcpy(dst, src, width * 3);
    } else if (components == 4) {
      // Adobe writes CMYK inverted: the stored values are already 255 - ink.
      for (std::size_t x = 0; x < width; ++x, src += 4, dst += 3) {
        const unsigned k = src[3];
        dst[0] = static_cast<std::uint8_t>(src[0] * k / 255);
        dst[1] = static_cast<std::uint8_t>(src[1] * k / 255);
        dst[2] = static_cast<std::uint8_t>(src[2] * k / 255);
      }
    } else {
      for (std::size_t x = 0; x < width; ++x, dst += 3) dst[0] = dst[1] = dst[2] = src[x];
    }
  }
  jpeg_finish_decompress(cinfo);
  jpeg_destroy_decompress(cinfo);
  return true;
}

struct Session {
  ErrorManager Errors{};
  jpeg_decompress_struct Decompress{};
  jpeg_progress_mgr Progress{};
  std::vector<std::uint8_t> Scratch;
};

void Run(const std::uint8_t* data, std::size_t size, Stage stage, TJpegPixels& out) {
  if (!data || size == 0) throw EInvalidGraphic(Format(msg::JpegError, "no data"));
  auto s = std::make_unique<Session>();
  if (!Decode(data, size, stage, &s->Errors, &s->Decompress, &s->Progress, &s->Scratch, &out)) {
    if (s->Errors.TooLarge) throw EInvalidGraphic(Format(msg::JpegTooLarge, out.Width, out.Height));
    throw EInvalidGraphic(Format(msg::JpegError, std::string(s->Errors.Message)));
  }
}

}  // namespace

TJpegPixels DecodeJpeg(const std::uint8_t* Data, std::size_t Size) {
  TJpegPixels out;
  Run(Data, Size, Stage::Pixels, out);
  return out;
}

void ReadJpegSize(const std::uint8_t* Data, std::size_t Size, int& Width, int& Height) {
  TJpegPixels out;
  Run(Data, Size, Stage::Header, out);
  Width = out.Width;
  Height = out.Height;
}

namespace {
// Bytes from the position to the end of the stream, refusing a count the stream cannot hold
// before anything is allocated for it.
std::vector<std::uint8_t> ReadBytes(TStream& Stream, std::int64_t Count) {
  const std::int64_t left = Stream.Size() - Stream.Position();
  if (Count < 0 || Count > left) throw EReadError(msg::ReadError);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(Count));
  if (Count > 0) Stream.ReadBuffer(bytes.data(), Count);
  return bytes;
}
}  // namespace

TJPEGImage::TJPEGImage() = default;
TJPEGImage::~TJPEGImage() = default;

void TJPEGImage::LoadFromBytes(const std::uint8_t* Data, std::size_t Size) {
  TJpegPixels pixels = DecodeJpeg(Data, Size);
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf24bit);
  bitmap->SetSize(pixels.Width, pixels.Height);
  for (int y = 0; y < pixels.Height; ++y) {
    auto* dst = static_cast<std::uint8_t*>(bitmap->ScanLine(y));
    const std::uint8_t* src = pixels.Rgb.data() + static_cast<std::size_t>(y) * pixels.Width * 3;
    for (int x = 0; x < pixels.Width; ++x, src += 3, dst += 3) {
      dst[0] = src[2];
      dst[1] = src[1];
      dst[2] = src[0];
    }
  }
  data_.assign(Data, Data + Size);
  bitmap_ = std::move(bitmap);
  width_ = pixels.Width;
  height_ = pixels.Height;
  PaletteModified = true;
  Changed(this);
}

void TJPEGImage::Assign(TPersistent* Source) {
  if (auto* jpeg = dynamic_cast<TJPEGImage*>(Source)) {
    if (jpeg == this) return;
    if (jpeg->data_.empty()) {
      data_.clear();
      bitmap_.reset();
      width_ = height_ = 0;
      Changed(this);
    } else {
      LoadFromBytes(jpeg->data_.data(), jpeg->data_.size());
    }
    return;
  }
  TGraphic::Assign(Source);
}

void TJPEGImage::AssignTo(TPersistent* Dest) {
  if (auto* bmp = dynamic_cast<TBitmap*>(Dest)) {
    if (bitmap_)
      bmp->Assign(bitmap_.get());
    else
      bmp->SetSize(0, 0);
    return;
  }
  TGraphic::AssignTo(Dest);
}

void TJPEGImage::Draw(TCanvas& ACanvas, const TRect& Rect) {
  if (bitmap_) ACanvas.StretchDraw(Rect, bitmap_.get());
}

void TJPEGImage::ReadData(TStream& Stream) {
  const auto count = Stream.ReadValue<std::uint32_t>();
  const std::vector<std::uint8_t> bytes = ReadBytes(Stream, count);
  LoadFromBytes(bytes.data(), bytes.size());
}

void TJPEGImage::WriteData(TStream& Stream) {
  Stream.WriteValue(static_cast<std::uint32_t>(data_.size()));
  SaveToStream(Stream);
}

void TJPEGImage::LoadFromStream(TStream& Stream) {
  const std::vector<std::uint8_t> bytes = ReadBytes(Stream, Stream.Size() - Stream.Position());
  LoadFromBytes(bytes.data(), bytes.size());
}

void TJPEGImage::SaveToStream(TStream& Stream) {
  if (!data_.empty()) Stream.WriteBuffer(data_.data(), static_cast<std::int64_t>(data_.size()));
}

void TJPEGImage::LoadFromClipboardFormat(win::UINT, win::HANDLE, win::HPALETTE) {
  throw EInvalidGraphicOperation(msg::InvalidGraphicOperation);
}

void TJPEGImage::SaveToClipboardFormat(win::UINT& AFormat, win::HANDLE& AData,
                                       win::HPALETTE& APalette) {
  if (!bitmap_) throw EInvalidGraphicOperation(msg::InvalidGraphicOperation);
  bitmap_->SaveToClipboardFormat(AFormat, AData, APalette);
}

FW_REGISTER(TJPEGImage, nullptr)

void RegisterJpegImage() {
  if (TPicture::FindGraphicClass("TJPEGImage")) return;
  const TGraphicClass cls = GraphicClass<TJPEGImage>();
  TPicture::RegisterGraphicClass(cls);
  TPicture::RegisterFileFormat("jpg", "JPEG Image File", cls);
  TPicture::RegisterFileFormat("jpeg", "JPEG Image File", cls);
}

namespace {
const bool registered = (RegisterJpegImage(), true);
}  // namespace

}  // namespace fw
