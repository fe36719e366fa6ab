// The picture holder, its registries of graphic classes, and the graphic and shared-image bases.
#include <algorithm>

#include "framework/Graphics.h"
#include "platform/clipboard/Clipboard.h"

namespace fw {

// ---- Shared images and graphics -----------------------------------------------------------

void TSharedImage::Release() {
  if (--ref_count_ <= 0) {
    FreeHandle();
    delete this;  // shared images are always made with new and live by their count
  }
}

void TGraphic::SetTransparent(bool Value) {
  if (Value == transparent_) return;
  transparent_ = Value;
  Changed(this);
}

void TGraphic::SetModified(bool Value) {
  if (Value) Changed(this);
  else modified_ = false;
}

void TGraphic::Changed(TObject*) {
  modified_ = true;
  if (OnChange) OnChange(this);
}

void TGraphic::DefineProperties(TFiler& Filer) {
  Filer.DefineBinaryProperty(
      "Data", [this](TStream& s) { ReadData(s); }, [this](TStream& s) { WriteData(s); }, !Empty());
}

// ---- Picture holder and its registries ------------------------------------------------------

namespace {

struct FileFormat {
  std::string Extension;
  std::string Description;
  TGraphicClass Class;
};

struct Registry {
  std::vector<TGraphicClass> classes;
  std::vector<FileFormat> files;
  std::vector<std::pair<win::UINT, TGraphicClass>> clipboard;
};

Registry& Reg() {
  static Registry* r = [] {
    auto* reg = new Registry;  // lives as long as the program
    const TGraphicClass bmp = GraphicClass<TBitmap>();
    reg->classes.push_back(bmp);
    reg->files.push_back({"bmp", "Bitmaps", bmp});
    reg->clipboard.emplace_back(win::CF_BITMAP, bmp);
    return reg;
  }();
  return *r;
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (!s.empty() && s[0] == '.') s.erase(0, 1);
  return s;
}

}  // namespace

const std::string& TGraphicClass::Name() const { return Info->Name; }

void TPicture::RegisterGraphicClass(const TGraphicClass& AGraphicClass) {
  Registry& r = Reg();
  for (auto& c : r.classes)
    if (c.Info == AGraphicClass.Info) {
      c = AGraphicClass;
      return;
    }
  r.classes.push_back(AGraphicClass);
}

void TPicture::RegisterFileFormat(const std::string& AExtension, const std::string& ADescription,
                                  const TGraphicClass& AGraphicClass) {
  RegisterGraphicClass(AGraphicClass);
  Reg().files.push_back({Lower(AExtension), ADescription, AGraphicClass});
}

void TPicture::RegisterClipboardFormat(win::UINT AFormat, const TGraphicClass& AGraphicClass) {
  RegisterGraphicClass(AGraphicClass);
  Reg().clipboard.emplace_back(AFormat, AGraphicClass);
}

void TPicture::UnregisterGraphicClass(const TClassInfo& AClass) {
  Registry& r = Reg();
  std::erase_if(r.classes, [&](const TGraphicClass& c) { return c.Info == &AClass; });
  std::erase_if(r.files, [&](const FileFormat& f) { return f.Class.Info == &AClass; });
  std::erase_if(r.clipboard, [&](const auto& c) { return c.second.Info == &AClass; });
}

const TGraphicClass* TPicture::FindGraphicClass(const std::string& AClassName) {
  for (const auto& c : Reg().classes)
    if (AnsiSameText(c.Info->Name, AClassName)) return &c;
  return nullptr;
}

const TGraphicClass* TPicture::FindFileFormat(const std::string& AExtension) {
  const std::string ext = Lower(AExtension);
  // The latest registration of an extension wins.
  const auto& files = Reg().files;
  for (auto it = files.rbegin(); it != files.rend(); ++it)
    if (it->Extension == ext) return &it->Class;
  return nullptr;
}

std::string TPicture::FileFormatDescription(const std::string& AExtension) {
  const std::string ext = Lower(AExtension);
  const auto& files = Reg().files;
  for (auto it = files.rbegin(); it != files.rend(); ++it)
    if (it->Extension == ext) return it->Description;
  return {};
}

const TGraphicClass* TPicture::FindClipboardFormat(win::UINT AFormat) {
  const auto& formats = Reg().clipboard;
  for (auto it = formats.rbegin(); it != formats.rend(); ++it)
    if (it->first == AFormat) return &it->second;
  return nullptr;
}

bool TPicture::SupportsClipboardFormat(win::UINT AFormat) { return FindClipboardFormat(AFormat) != nullptr; }

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::Changed(TObject*) {
  if (OnChange) OnChange(this);
}

void TPicture::Take(std::unique_ptr<TGraphic> g) {
  graphic_ = std::move(g);
  if (graphic_) graphic_->OnChange = [this](TObject* Sender) { Changed(Sender); };
  Changed(this);
}

void TPicture::SetGraphic(TGraphic* Value) {
  if (!Value) {
    Take(nullptr);
    return;
  }
  if (Value == graphic_.get()) return;
  const TGraphicClass* cls = FindGraphicClass(Value->ClassName());
  if (!cls || cls->Info != &Value->ClassType())
    throw EInvalidGraphic(Format(msg::ClassNotFound, Value->ClassName()));
  std::unique_ptr<TGraphic> g = cls->Create();
  g->Assign(Value);
  Take(std::move(g));
}

TBitmap* TPicture::Bitmap() {
  if (auto* b = dynamic_cast<TBitmap*>(graphic_.get())) return b;
  Take(std::make_unique<TBitmap>());
  return static_cast<TBitmap*>(graphic_.get());
}

void TPicture::Assign(TPersistent* Source) {
  if (!Source) {
    SetGraphic(nullptr);
  } else if (auto* p = dynamic_cast<TPicture*>(Source)) {
    if (p != this) SetGraphic(p->Graphic());
  } else if (auto* g = dynamic_cast<TGraphic*>(Source)) {
    SetGraphic(g);
  } else {
    TPersistent::Assign(Source);
  }
}

void TPicture::LoadFromClipboardFormat(win::UINT AFormat, win::HANDLE AData, win::HPALETTE APalette) {
  const TGraphicClass* cls = FindClipboardFormat(AFormat);
  if (!cls) throw EInvalidGraphic(msg::UnknownClipboardFormat);
  std::unique_ptr<TGraphic> g = cls->Create();
  g->LoadFromClipboardFormat(AFormat, AData, APalette);
  Take(std::move(g));
}

void TPicture::SaveToClipboardFormat(win::UINT& AFormat, win::HANDLE& AData, win::HPALETTE& APalette) {
  AFormat = 0;
  AData = nullptr;
  APalette = nullptr;
  if (graphic_) graphic_->SaveToClipboardFormat(AFormat, AData, APalette);
}

void TPicture::DefineProperties(TFiler& Filer) {
  Filer.DefineBinaryProperty(
      "Data", [this](TStream& s) { ReadData(s); }, [this](TStream& s) { WriteData(s); }, graphic_ != nullptr);
}

void TPicture::ReadData(TStream& Stream) {
  std::uint8_t len = 0;
  if (Stream.Read(&len, 1) != 1 || len == 0) {
    Take(nullptr);
    return;
  }
  std::string name(len, '\0');
  Stream.ReadBuffer(name.data(), len);
  const TGraphicClass* cls = FindGraphicClass(name);
  if (!cls) throw EClassNotFound(Format(msg::ClassNotFound, name));
  std::unique_ptr<TGraphic> g = cls->Create();
  g->ReadData(Stream);  // a failure frees the new graphic; the picture keeps its old one
  Take(std::move(g));
}

void TPicture::WriteData(TStream& Stream) {
  if (!graphic_) {
    Stream.WriteValue<std::uint8_t>(0);
    return;
  }
  const std::string& name = graphic_->ClassName();
  const std::uint8_t len = static_cast<std::uint8_t>(std::min<std::size_t>(name.size(), 255));
  Stream.WriteValue(len);
  Stream.WriteBuffer(name.data(), len);
  graphic_->WriteData(Stream);
}

}  // namespace fw
