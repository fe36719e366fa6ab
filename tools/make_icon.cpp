// Draws the program's icon - a wooden block floating in a tank of water, with a few bubbles -
// and writes it into a hicolor icon tree: PNG at every fixed size and the same drawing as SVG.
//
//   make_icon <dir>      writes <dir>/hicolor/<n>x<n>/apps/<id>.png and
//                        <dir>/hicolor/scalable/apps/<id>.svg
//
// The drawing is kept as one list of shapes on a 256 x 256 canvas, painted by QPainter for the
// PNGs and printed as SVG elements, so the two can never drift apart. The icons in data/icons
// are this tool's output; run it again after changing the drawing.
#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr const char* kIconName = "org.floatbench.FloatBench";
constexpr int kCanvas = 256;
constexpr int kSizes[] = {16, 32, 48, 64, 128, 256};

struct Rgba {
  int R, G, B;
  double A = 1.0;
  bool operator==(const Rgba&) const = default;
};
constexpr Rgba kNone{0, 0, 0, 0.0};

// A path in canvas units: moves, lines, quadratic curves, round rectangles and circles.
struct Step {
  enum Kind { Move, Line, Quad, Close, RoundRect, Circle } Kind;
  double V[5];
};
using Path = std::vector<Step>;

struct Shape {
  Path Steps;
  Rgba FillTop = kNone;
  Rgba FillBottom = kNone;  // vertical gradient from fillTop at y0 to fillBottom at y1
  double Y0 = 0, Y1 = 0;
  Rgba Stroke = kNone;
  double StrokeWidth = 0;
  bool ClipToTank = true;
};

Path RoundRect(double x, double y, double w, double h, double r) {
  return {{Step::RoundRect, {x, y, w, h, r}}};
}
Path Circle(double cx, double cy, double r) { return {{Step::Circle, {cx, cy, r}}}; }

// The water surface: four half-waves across the tank, 10 units high.
constexpr double kSurface = 132;
Path Wave(bool closed) {
  Path p = {{Step::Move, {0, kSurface}},
            {Step::Quad, {32, kSurface - 10, 64, kSurface}},
            {Step::Quad, {96, kSurface + 10, 128, kSurface}},
            {Step::Quad, {160, kSurface - 10, 192, kSurface}},
            {Step::Quad, {224, kSurface + 10, 256, kSurface}}};
  if (closed) {
    p.push_back({Step::Line, {256, 256}});
    p.push_back({Step::Line, {0, 256}});
    p.push_back({Step::Close, {}});
  }
  return p;
}

const Path kTank = RoundRect(8, 8, 240, 240, 40);

std::vector<Shape> Drawing() {
  std::vector<Shape> s;
  // Air.
  s.push_back({kTank, {226, 245, 255}, {178, 224, 252}, 8, kSurface});
  // Water behind the block.
  s.push_back({Wave(true), {64, 168, 236}, {12, 78, 156}, kSurface - 10, 248});
  // The block: light wood, dark rim, rising half out of the water.
  s.push_back({RoundRect(76, 76, 104, 100, 12), {255, 196, 98}, {222, 120, 28}, 76, 176,
               {120, 62, 12}, 7});
  // Water in front of the block, so its lower part looks submerged.
  s.push_back({Wave(true), {40, 140, 225, 0.55}, {12, 78, 156, 0.55}, kSurface - 10, 248});
  // Light on the surface.
  s.push_back({Wave(false), kNone, kNone, 0, 0, {255, 255, 255, 0.85}, 5});
  // Bubbles.
  for (const auto& [x, y, r] : {std::tuple{54.0, 206.0, 11.0}, {40.0, 168.0, 7.0},
                                 {206.0, 212.0, 9.0}, {214.0, 176.0, 5.5}})
    s.push_back({Circle(x, y, r), {255, 255, 255, 0.3}, {255, 255, 255, 0.3}, 0, 0,
                 {255, 255, 255, 0.9}, 4});
  // The tank's rim, drawn last and never clipped.
  Shape rim{kTank, kNone, kNone, 0, 0, {22, 74, 122}, 8};
  rim.ClipToTank = false;
  s.push_back(rim);
  return s;
}

// ---- QPainter ----

QColor ToQt(const Rgba& c) { return QColor(c.R, c.G, c.B, static_cast<int>(c.A * 255 + 0.5)); }

QPainterPath ToQt(const Path& path) {
  QPainterPath q;
  for (const Step& st : path) {
    const double* v = st.V;
    switch (st.Kind) {
      case Step::Move: q.moveTo(v[0], v[1]); break;
      case Step::Line: q.lineTo(v[0], v[1]); break;
      case Step::Quad: q.quadTo(v[0], v[1], v[2], v[3]); break;
      case Step::Close: q.closeSubpath(); break;
      case Step::RoundRect: q.addRoundedRect(v[0], v[1], v[2], v[3], v[4], v[4]); break;
      case Step::Circle: q.addEllipse(QPointF(v[0], v[1]), v[2], v[2]); break;
    }
  }
  return q;
}

QImage Paint(int size) {
  QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(double(size) / kCanvas, double(size) / kCanvas);
  const QPainterPath tank = ToQt(kTank);
  for (const Shape& s : Drawing()) {
    p.save();
    if (s.ClipToTank) p.setClipPath(tank);
    const QPainterPath path = ToQt(s.Steps);
    if (s.FillTop == s.FillBottom && s.FillTop.A > 0) {
      p.fillPath(path, ToQt(s.FillTop));
    } else if (s.FillTop.A > 0) {
      QLinearGradient g(0, s.Y0, 0, s.Y1);
      g.setColorAt(0, ToQt(s.FillTop));
      g.setColorAt(1, ToQt(s.FillBottom));
      p.fillPath(path, g);
    }
    if (s.StrokeWidth > 0) {
      QPen pen(ToQt(s.Stroke), s.StrokeWidth);
      pen.setCapStyle(Qt::RoundCap);
      pen.setJoinStyle(Qt::RoundJoin);
      p.strokePath(path, pen);
    }
    p.restore();
  }
  return img.convertToFormat(QImage::Format_ARGB32);
}

// ---- SVG ----

std::string Num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

std::string Colour(const Rgba& c) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.R, c.G, c.B);
  return buf;
}

std::string Opacity(const char* attr, const Rgba& c) {
  return c.A < 1.0 ? std::string(" ") + attr + "=\"" + Num(c.A) + "\"" : "";
}

std::string Element(const Path& path) {
  const Step& first = path.front();
  const double* v = first.V;
  if (first.Kind == Step::RoundRect)
    return "<rect x=\"" + Num(v[0]) + "\" y=\"" + Num(v[1]) + "\" width=\"" + Num(v[2]) +
           "\" height=\"" + Num(v[3]) + "\" rx=\"" + Num(v[4]) + "\"";
  if (first.Kind == Step::Circle)
    return "<circle cx=\"" + Num(v[0]) + "\" cy=\"" + Num(v[1]) + "\" r=\"" + Num(v[2]) + "\"";
  std::string d;
  for (const Step& st : path) {
    const double* w = st.V;
    switch (st.Kind) {
      case Step::Move: d += "M" + Num(w[0]) + " " + Num(w[1]); break;
      case Step::Line: d += "L" + Num(w[0]) + " " + Num(w[1]); break;
      case Step::Quad:
        d += "Q" + Num(w[0]) + " " + Num(w[1]) + " " + Num(w[2]) + " " + Num(w[3]);
        break;
      case Step::Close: d += "Z"; break;
      default: break;
    }
  }
  return "<path d=\"" + d + "\"";
}

std::string Svg() {
  std::string defs, body;
  int n = 0;
  for (const Shape& s : Drawing()) {
    std::string attrs;
    if (s.FillTop == s.FillBottom && s.FillTop.A > 0) {
      attrs += " fill=\"" + Colour(s.FillTop) + "\"" + Opacity("fill-opacity", s.FillTop);
    } else if (s.FillTop.A > 0) {
      const std::string id = "g" + std::to_string(n++);
      defs += "    <linearGradient id=\"" + id + "\" gradientUnits=\"userSpaceOnUse\" x1=\"0\" y1=\"" +
              Num(s.Y0) + "\" x2=\"0\" y2=\"" + Num(s.Y1) + "\">\n" +
              "      <stop offset=\"0\" stop-color=\"" + Colour(s.FillTop) + "\"" +
              Opacity("stop-opacity", s.FillTop) + "/>\n" +
              "      <stop offset=\"1\" stop-color=\"" + Colour(s.FillBottom) + "\"" +
              Opacity("stop-opacity", s.FillBottom) + "/>\n    </linearGradient>\n";
      attrs += " fill=\"url(#" + id + ")\"";
    } else {
      attrs += " fill=\"none\"";
    }
    if (s.StrokeWidth > 0)
      attrs += " stroke=\"" + Colour(s.Stroke) + "\"" + Opacity("stroke-opacity", s.Stroke) +
               " stroke-width=\"" + Num(s.StrokeWidth) +
               "\" stroke-linecap=\"round\" stroke-linejoin=\"round\"";
    if (s.ClipToTank) attrs += " clip-path=\"url(#tank)\"";
    body += "  " + Element(s.Steps) + attrs + "/>\n";
  }
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
         "viewBox=\"0 0 256 256\">\n  <defs>\n    <clipPath id=\"tank\">\n      " +
         Element(kTank) + "/>\n    </clipPath>\n" + defs + "  </defs>\n" + body + "</svg>\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_icon <icon-theme-dir>\n");
    return 2;
  }
  namespace fs = std::filesystem;
  const fs::path root = fs::path(argv[1]) / "hicolor";
  for (int size : kSizes) {
    const std::string dim = std::to_string(size) + "x" + std::to_string(size);
    const fs::path dir = root / dim / "apps";
    fs::create_directories(dir);
    const fs::path file = dir / (std::string(kIconName) + ".png");
    if (!Paint(size).save(QString::fromStdString(file.string()), "PNG")) {
      std::fprintf(stderr, "make_icon: cannot write %s\n", file.c_str());
      return 1;
    }
  }
  const fs::path dir = root / "scalable" / "apps";
  fs::create_directories(dir);
  const fs::path file = dir / (std::string(kIconName) + ".svg");
  std::ofstream out(file, std::ios::binary);
  out << Svg();
  out.close();
  if (!out) {
    std::fprintf(stderr, "make_icon: cannot write %s\n", file.c_str());
    return 1;
  }
  std::printf("icons written under %s\n", root.c_str());
  return 0;
}
