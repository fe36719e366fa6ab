#include "platform/ddraw/DDrawPresent.h"

#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QPaintEvent>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstring>
#if defined(__SSE2__)
#include <immintrin.h>
#endif
#include <map>

#include "platform/ddraw/DDrawInternal.h"
#include "platform/ddraw/DDrawPresentTesting.h"
#include "platform/pixels/Pixels.h"
#include "platform/win/QtWindows.h"
#include "platform/win/WinUser.h"

namespace ddraw {

namespace {

using pixels::Intersect;
using pixels::IsEmpty;

// The client area of a window in screen coordinates.
bool ClientScreenRect(HWND window, RECT& out) {
  RECT c;
  if (!win::GetClientRect(window, &c)) return false;
  win::POINT p{0, 0};
  if (!win::ClientToScreen(window, &p)) return false;
  out = RECT{p.x, p.y, p.x + c.right, p.y + c.bottom};
  return true;
}

template <class ToArgb>
void ConvertRows(const Frame& f, const RECT& a, QImage& t, int x, int y, ToArgb toArgb) {
  const int w = a.right - a.left;
  for (LONG row = a.top; row < a.bottom; ++row) {
    const std::uint8_t* src = f.Bits + static_cast<std::ptrdiff_t>(row) * f.Pitch;
    auto* dst = reinterpret_cast<std::uint32_t*>(t.scanLine(y + (row - a.top))) + x;
    for (int i = 0; i < w; ++i) dst[i] = toArgb(src, a.left + i);
  }
}

// A row of 5-6-5 pixels to 0xFFRRGGBB, each channel widened by repeating its high bits. This is
// the frame's last step before the screen and runs over every pixel of every frame, so the wide
// path works on 8 or 16 pixels at once in 16-bit lanes (a channel fits one byte of a lane) and
// interleaves green-blue with alpha-red into 32-bit pixels; the scalar loop does the rest of the
// row. Loads and stores are unaligned: a row need not be aligned to anything.
void Row565Scalar(const std::uint8_t* src, std::uint32_t* dst, int n) {
  for (int i = 0; i < n; ++i) {
    std::uint16_t v;
    std::memcpy(&v, src + 2 * static_cast<std::ptrdiff_t>(i), 2);
    dst[i] = 0xFF000000u | pixels::Rgb565ToRgb(v);
  }
}

#if defined(__SSE2__)
// Eight pixels: blue, green and red widened in their own 16-bit lanes, then paired.
inline __m128i Widen565Gb(__m128i v) {
  const __m128i b = _mm_or_si128(_mm_and_si128(_mm_slli_epi16(v, 3), _mm_set1_epi16(0xF8)),
                                 _mm_and_si128(_mm_srli_epi16(v, 2), _mm_set1_epi16(0x07)));
  const __m128i g = _mm_or_si128(_mm_and_si128(_mm_slli_epi16(v, 5), _mm_set1_epi16(static_cast<short>(0xFC00))),
                                 _mm_and_si128(_mm_srli_epi16(v, 1), _mm_set1_epi16(0x0300)));
  return _mm_or_si128(b, g);
}
inline __m128i Widen565Ar(__m128i v) {
  const __m128i r = _mm_or_si128(_mm_and_si128(_mm_srli_epi16(v, 8), _mm_set1_epi16(0xF8)), _mm_srli_epi16(v, 13));
  return _mm_or_si128(r, _mm_set1_epi16(static_cast<short>(0xFF00)));
}

void Row565Sse2(const std::uint8_t* src, std::uint32_t* dst, int n) {
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * static_cast<std::ptrdiff_t>(i)));
    const __m128i gb = Widen565Gb(v), ar = Widen565Ar(v);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_unpacklo_epi16(gb, ar));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i + 4), _mm_unpackhi_epi16(gb, ar));
  }
  Row565Scalar(src + 2 * static_cast<std::ptrdiff_t>(i), dst + i, n - i);
}

#if defined(__GNUC__) || defined(__clang__)
#define FLOATBENCH_HAVE_AVX2_PATH 1
// Sixteen pixels; the unpacks work within 128-bit halves, so the quarters are put in order
// 0, 2, 1, 3 first and the low and high unpacks come out as pixels 0-7 and 8-15.
__attribute__((target("avx2"))) void Row565Avx2(const std::uint8_t* src, std::uint32_t* dst, int n) {
  int i = 0;
  for (; i + 16 <= n; i += 16) {
    __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 2 * static_cast<std::ptrdiff_t>(i)));
    v = _mm256_permute4x64_epi64(v, 0xD8);
    const __m256i b = _mm256_or_si256(_mm256_and_si256(_mm256_slli_epi16(v, 3), _mm256_set1_epi16(0xF8)),
                                      _mm256_and_si256(_mm256_srli_epi16(v, 2), _mm256_set1_epi16(0x07)));
    const __m256i g =
        _mm256_or_si256(_mm256_and_si256(_mm256_slli_epi16(v, 5), _mm256_set1_epi16(static_cast<short>(0xFC00))),
                        _mm256_and_si256(_mm256_srli_epi16(v, 1), _mm256_set1_epi16(0x0300)));
    const __m256i r =
        _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi16(v, 8), _mm256_set1_epi16(0xF8)), _mm256_srli_epi16(v, 13));
    const __m256i gb = _mm256_or_si256(b, g);
    const __m256i ar = _mm256_or_si256(r, _mm256_set1_epi16(static_cast<short>(0xFF00)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_unpacklo_epi16(gb, ar));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i + 8), _mm256_unpackhi_epi16(gb, ar));
  }
  Row565Sse2(src + 2 * static_cast<std::ptrdiff_t>(i), dst + i, n - i);
}
#endif
#endif

using Row565Fn = void (*)(const std::uint8_t*, std::uint32_t*, int);

Row565Fn ChooseRow565() {
#if defined(FLOATBENCH_HAVE_AVX2_PATH)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return &Row565Avx2;
#endif
#if defined(__SSE2__)
  return &Row565Sse2;
#else
  return &Row565Scalar;
#endif
}

Row565Fn& Row565Path() {
  static Row565Fn fn = ChooseRow565();
  return fn;
}

}  // namespace

void ConvertFrame(const Frame& f, const RECT& area, QImage& target, int x, int y) {
  if (!f.Bits || target.isNull() || target.depth() != 32) return;
  RECT a = Intersect(area, RECT{0, 0, static_cast<LONG>(f.Width), static_cast<LONG>(f.Height)});
  // Clip against the target, moving the source corner in step.
  RECT to{x, y, x + pixels::Width(a), y + pixels::Height(a)};
  if (!pixels::ClipCopy(to, a, RECT{0, 0, target.width(), target.height()}, a)) return;
  x = to.left;
  y = to.top;

  using pixels::Pixel;
  switch (f.BitCount) {
    case 8: {
      std::uint32_t lut[256];
      for (int i = 0; i < 256; ++i) {
        lut[i] = f.Palette ? 0xFF000000u | (std::uint32_t{f.Palette[i].peRed} << 16) |
                                 (std::uint32_t{f.Palette[i].peGreen} << 8) | f.Palette[i].peBlue
                           : 0xFF000000u;
      }
      ConvertRows(f, a, target, x, y, [&](const std::uint8_t* s, LONG i) { return lut[Pixel<8>::Load(s, i)]; });
      break;
    }
    case 16: {
      const Row565Fn row565 = Row565Path();
      for (LONG row = a.top; row < a.bottom; ++row) {
        const std::uint8_t* src = f.Bits + static_cast<std::ptrdiff_t>(row) * f.Pitch + 2 * std::ptrdiff_t{a.left};
        row565(src, reinterpret_cast<std::uint32_t*>(target.scanLine(y + (row - a.top))) + x, a.right - a.left);
      }
      break;
    }
    case 24:
      ConvertRows(f, a, target, x, y,
                  [](const std::uint8_t* s, LONG i) { return 0xFF000000u | Pixel<24>::Load(s, i); });
      break;
    case 32:
      ConvertRows(f, a, target, x, y,
                  [](const std::uint8_t* s, LONG i) { return 0xFF000000u | (Pixel<32>::Load(s, i) & 0xFFFFFF); });
      break;
    default:
      return;
  }
  if (f.Gamma) {
    const DDGAMMARAMP& g = *f.Gamma;
    for (LONG row = 0; row < a.bottom - a.top; ++row) {
      auto* d = reinterpret_cast<std::uint32_t*>(target.scanLine(y + row)) + x;
      for (LONG i = 0; i < a.right - a.left; ++i) {
        const std::uint32_t p = d[i];
        d[i] = 0xFF000000u | (std::uint32_t{static_cast<std::uint8_t>(g.red[(p >> 16) & 0xFF] >> 8)} << 16) |
               (std::uint32_t{static_cast<std::uint8_t>(g.green[(p >> 8) & 0xFF] >> 8)} << 8) |
               static_cast<std::uint8_t>(g.blue[p & 0xFF] >> 8);
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------

namespace {

// A layer over a window's client area that shows what was presented there. Windowed it holds
// the window's part of the desktop (parts never presented keep the window's background colour);
// full screen it holds the front buffer and scales it to fit, black around.
class PresentView final : public QWidget {
 public:
  PresentView(QWidget* parent, bool fullScreen) : QWidget(parent), full_(fullScreen) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // Opaque, as the screen is: repainting the view never repaints the window beneath it (whose
    // own painting may present again).
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    background_ = parent->palette().color(parent->backgroundRole());
    setFocusPolicy(Qt::NoFocus);
    parent->installEventFilter(this);
    setGeometry(parent->rect());
    show();
    raise();
  }

  QImage& Image() { return image_; }
  bool FullScreen() const { return full_; }

  // Windowed: the image follows the client size, keeping what it had.
  void FitImage(int w, int h) {
    if (image_.width() == w && image_.height() == h) return;
    QImage n(std::max(w, 0), std::max(h, 0), QImage::Format_RGB32);
    n.fill(background_);
    if (!image_.isNull()) {
      QPainter p(&n);
      p.setCompositionMode(QPainter::CompositionMode_Source);
      p.drawImage(0, 0, image_);
    }
    image_ = std::move(n);
  }

  // Full screen: a new mode starts black.
  void ResetImage(int w, int h) {
    image_ = QImage(std::max(w, 1), std::max(h, 1), QImage::Format_RGB32);
    image_.fill(Qt::black);
  }

  // Where the front buffer lies in the view: as large as fits, aspect ratio kept, centred.
  QRect Placement() const {
    if (image_.isNull() || image_.width() == 0 || image_.height() == 0) return rect();
    const double sx = static_cast<double>(width()) / image_.width();
    const double sy = static_cast<double>(height()) / image_.height();
    const double s = std::min(sx, sy);
    const int w = static_cast<int>(image_.width() * s + 0.5), h = static_cast<int>(image_.height() * s + 0.5);
    return QRect((width() - w) / 2, (height() - h) / 2, w, h);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == parentWidget()) {
      if (event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
      if (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildPolished) raise();
    }
    return false;
  }

  void paintEvent(QPaintEvent* e) override {
    QPainter p(this);
    if (full_) {
      p.fillRect(rect(), Qt::black);
      if (!image_.isNull()) p.drawImage(Placement(), image_);
    } else if (!image_.isNull()) {
      p.setClipRect(e->rect());
      p.drawImage(0, 0, image_);
    }
  }

 private:
  bool full_;
  QColor background_;
  QImage image_;
};

// Watches the full-screen window's activation so that DirectDraw learns when its exclusive
// owner goes to the background (and loses the display) or comes back.
std::map<HWND, win::WNDPROC>& PreviousProcs() {
  static std::map<HWND, win::WNDPROC> m;
  return m;
}

win::LRESULT ActivationProc(HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam) {
  auto& m = PreviousProcs();
  const auto it = m.find(hwnd);
  const win::WNDPROC prev = it != m.end() ? it->second : win::DefWindowProcA;
  if (msg == win::WM_ACTIVATEAPP) ActivateApp(hwnd, wParam != 0);
  if (msg == win::WM_NCDESTROY || msg == win::WM_DESTROY) {
    if (reinterpret_cast<win::WNDPROC>(win::GetWindowLongPtrA(hwnd, win::GWLP_WNDPROC)) == ActivationProc)
      win::SetWindowLongPtrA(hwnd, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(prev));
    m.erase(hwnd);
  }
  return win::CallWindowProcA(prev, hwnd, msg, wParam, lParam);
}

void WatchActivation(HWND hwnd) {
  auto& m = PreviousProcs();
  if (m.count(hwnd)) return;
  const auto prev = reinterpret_cast<win::WNDPROC>(
      win::SetWindowLongPtrA(hwnd, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&ActivationProc)));
  m[hwnd] = prev ? prev : win::DefWindowProcA;
}

WindowPresenter* g_installed = nullptr;
Presenter* g_set = nullptr;  // what this unit last installed

bool CurrentPresenterIs(const Presenter* p) { return g_set == p; }

}  // namespace

struct WindowPresenter::Impl {
  struct Entry {
    HWND Window;
    QPointer<PresentView> View;
  };
  std::vector<Entry> Windowed;
  HWND FullWindow = nullptr;
  QPointer<PresentView> FullView;
  DisplayMode FullMode;

  PresentView* WindowedView(HWND window) {
    for (auto& e : Windowed)
      if (e.Window == window) {
        if (!e.View) {
          QWidget* w = win::ClientWidget(window);
          if (!w) return nullptr;
          e.View = new PresentView(w, false);
        }
        return e.View;
      }
    QWidget* w = win::ClientWidget(window);
    if (!w) return nullptr;
    Windowed.push_back({window, new PresentView(w, false)});
    return Windowed.back().View;
  }

  void EnterFullScreen(HWND window, const DisplayMode& mode) {
    if (FullWindow && FullWindow != window) LeaveFullScreen();
    if (!win::IsWindow(window)) return;
    FullWindow = window;
    FullMode = mode;
    WatchActivation(window);
    win::SetFullScreenWindow(window, true);
    if (!FullView) {
      QWidget* w = win::ClientWidget(window);
      if (!w) return;
      FullView = new PresentView(w, true);
    }
    FullView->ResetImage(static_cast<int>(mode.Width), static_cast<int>(mode.Height));
    FullView->raise();
    FullView->update();
  }

  void LeaveFullScreen() {
    if (!FullWindow) return;
    delete FullView.data();
    FullView = nullptr;
    if (win::IsWindow(FullWindow)) win::SetFullScreenWindow(FullWindow, false);
    FullWindow = nullptr;
  }
};

WindowPresenter::WindowPresenter() : impl_(std::make_unique<Impl>()) {}

// The views belong to their windows' widgets and go with them.
WindowPresenter::~WindowPresenter() {
  if (CurrentPresenterIs(this)) SetPresenter(nullptr);
  if (g_installed == this) g_installed = nullptr;
}

HWND WindowPresenter::FullScreenWindow() const { return impl_->FullWindow; }

double WindowPresenter::ScreenRefreshRate() {
  QScreen* screen = nullptr;
  if (QWidget* w = impl_->FullWindow ? win::WindowWidget(impl_->FullWindow) : nullptr) screen = w->screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  return screen ? screen->refreshRate() : 0;
}

bool WindowPresenter::VisibleRects(HWND window, std::vector<RECT>& rects) {
  rects.clear();
  RECT r;
  if (!win::IsWindow(window) || !ClientScreenRect(window, r)) return false;
  // A window is seen only through its parents' client areas, and only while it is shown.
  if (win::IsWindowVisible(window)) {
    for (HWND p = win::GetParent(window); p; p = win::GetParent(p)) {
      RECT pr;
      if (!ClientScreenRect(p, pr)) break;
      r = Intersect(r, pr);
    }
    if (!IsEmpty(r)) rects.push_back(r);
  }
  impl_->WindowedView(window);  // from now on the window shows its part of the desktop
  return true;
}

void WindowPresenter::Present(const Frame& frame) {
  const auto start = std::chrono::steady_clock::now();
  const RECT whole{0, 0, static_cast<LONG>(frame.Width), static_cast<LONG>(frame.Height)};
  const RECT changed = Intersect(frame.Changed, whole);
  if (IsEmpty(changed)) return;
  if (frame.Exclusive) {
    if (frame.Window && frame.Window != impl_->FullWindow) {
      impl_->EnterFullScreen(frame.Window, DisplayMode{frame.Width, frame.Height, frame.BitCount});
    }
    PresentView* v = impl_->FullView;
    if (!v) return;
    if (v->Image().width() != static_cast<int>(frame.Width) || v->Image().height() != static_cast<int>(frame.Height))
      v->ResetImage(static_cast<int>(frame.Width), static_cast<int>(frame.Height));
    ConvertFrame(frame, changed, v->Image(), changed.left, changed.top);
    v->update();
  } else {
    auto& list = impl_->Windowed;
    list.erase(std::remove_if(list.begin(), list.end(),
                              [](const Impl::Entry& e) { return !win::IsWindow(e.Window) || !e.View; }),
               list.end());
    for (auto& e : list) {
      RECT client;
      if (!ClientScreenRect(e.Window, client)) continue;
      e.View->FitImage(client.right - client.left, client.bottom - client.top);
      std::vector<RECT> parts;
      VisibleRects(e.Window, parts);
      for (const RECT& part : parts) {
        const RECT a = Intersect(part, changed);
        if (IsEmpty(a)) continue;
        ConvertFrame(frame, a, e.View->Image(), a.left - client.left, a.top - client.top);
        e.View->update(QRect(a.left - client.left, a.top - client.top, a.right - a.left, a.bottom - a.top));
      }
    }
  }
  ++converted_frames_;
  conversion_ns_ += static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count());
}

void WindowPresenter::DisplayModeChanged(const DisplayMode& mode, bool exclusive, HWND window) {
  if (exclusive && window) {
    impl_->EnterFullScreen(window, mode);
  } else {
    impl_->LeaveFullScreen();
  }
}

WindowPresenter* InstalledWindowPresenter() { return g_installed; }

void EnsureWindowPresenter() {
  static bool tried = false;
  if (tried || detail::CurrentPresenter() || !qobject_cast<QApplication*>(QCoreApplication::instance())) return;
  tried = true;
  static WindowPresenter presenter;
  g_installed = &presenter;
  g_set = &presenter;
  SetPresenter(&presenter);
}

QImage GrabWindow(HWND window) {
  QWidget* w = win::ClientWidget(window);
  if (!w) return QImage();
  return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace ddraw
