#include "eagle_library.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <vector>

namespace {

// EAGLE's numbers for the KiCad layers that a package can carry.
std::optional<int> eagle_layer(const std::string& kicad) {
  static const std::map<std::string, int> kLayers = {
      {"F.Cu", 1},        {"B.Cu", 16},        {"Edge.Cuts", 20},
      {"F.SilkS", 21},    {"F.Silkscreen", 21}, {"B.SilkS", 22},
      {"B.Silkscreen", 22}, {"F.Mask", 29},    {"B.Mask", 30},
      {"F.Paste", 31},    {"B.Paste", 32},     {"F.CrtYd", 39},
      {"F.Courtyard", 39}, {"B.CrtYd", 40},    {"B.Courtyard", 40},
      {"F.Fab", 51},      {"B.Fab", 52},
  };
  auto it = kLayers.find(kicad);
  if (it == kLayers.end()) return std::nullopt;
  return it->second;
}

// The layer table every EAGLE library carries (number, name, colour, fill).
struct LayerRow {
  int number;
  const char* name;
  int color;
  int fill;
};
constexpr LayerRow kLayerTable[] = {
    {1, "Top", 4, 1},       {16, "Bottom", 1, 1},   {17, "Pads", 2, 1},
    {18, "Vias", 2, 1},     {19, "Unrouted", 6, 1}, {20, "Dimension", 24, 1},
    {21, "tPlace", 7, 1},   {22, "bPlace", 7, 1},   {25, "tNames", 7, 1},
    {26, "bNames", 7, 1},   {27, "tValues", 7, 1},  {28, "bValues", 7, 1},
    {29, "tStop", 7, 3},    {30, "bStop", 7, 6},    {31, "tCream", 7, 4},
    {32, "bCream", 7, 5},   {39, "tKeepout", 4, 11}, {40, "bKeepout", 1, 11},
    {44, "Drills", 7, 1},   {45, "Holes", 7, 1},    {51, "tDocu", 7, 1},
    {52, "bDocu", 7, 1},    {91, "Nets", 2, 1},     {92, "Busses", 1, 1},
    {93, "Pins", 2, 1},     {94, "Symbols", 4, 1},  {95, "Names", 7, 1},
    {96, "Values", 7, 1},   {97, "Info", 7, 1},     {98, "Guide", 6, 1},
};

constexpr double kGrid = 2.54;  // symbol pin pitch

std::string num(double v) {
  if (std::fabs(v) < 5e-7) return "0";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.6f", v);
  std::string s = buffer;
  s.erase(s.find_last_not_of('0') + 1);
  if (s.back() == '.') s.pop_back();
  return s;
}

std::string xml_escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

// EAGLE names hold no blanks; pad lists in connects are blank-separated.
std::string eagle_name(const std::string& text) {
  std::string name = text;
  for (char& c : name)
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') c = '_';
  return name;
}

// " rot=\"R90\"" for a rotation, "" for none.
std::string rot_attr(double degrees) {
  double r = std::fmod(degrees, 360);
  if (r < 0) r += 360;
  if (std::fabs(r) < 1e-9 || std::fabs(r - 360) < 1e-9) return "";
  return " rot=\"R" + num(r) + "\"";
}

// Compares digit runs by value: "1" < "2" < "10" < "A1".
int natural_compare(const std::string& a, const std::string& b) {
  auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (digit(a[i]) && digit(b[j])) {
      size_t i2 = i, j2 = j;
      while (i2 < a.size() && digit(a[i2])) ++i2;
      while (j2 < b.size() && digit(b[j2])) ++j2;
      std::string da = a.substr(i, i2 - i), db = b.substr(j, j2 - j);
      da.erase(0, std::min(da.find_first_not_of('0'), da.size() - 1));
      db.erase(0, std::min(db.find_first_not_of('0'), db.size() - 1));
      if (da.size() != db.size()) return da.size() < db.size() ? -1 : 1;
      if (int c = da.compare(db)) return c;
      i = i2;
      j = j2;
    } else {
      if (a[i] != b[j]) return a[i] < b[j] ? -1 : 1;
      ++i;
      ++j;
    }
  }
  if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j ? -1 : 1;
  return 0;
}

// Natural order, with plain byte order between names like "01" and "1".
bool natural_less(const std::string& a, const std::string& b) {
  int c = natural_compare(a, b);
  return c != 0 ? c < 0 : a < b;
}

bool connectable(const FootprintPad& pad) {
  return pad.has_copper() && pad.kind != "np_thru_hole";
}

// Names of the package's copper pads, in footprint order (empty for pads
// that are not drawn as copper), and for each pin the pads it connects.
struct PadNaming {
  std::vector<std::string> pad_names;
  std::map<std::string, std::vector<std::string>, decltype(&natural_less)> pins{&natural_less};
};

PadNaming name_pads(const KicadFootprint& fp) {
  PadNaming naming;
  std::set<std::string> used;
  for (const FootprintPad& pad : fp.pads)
    if (connectable(pad) && !pad.number.empty()) used.insert(eagle_name(pad.number));
  std::map<std::string, int> repeats;
  int unnamed = 0;
  for (const FootprintPad& pad : fp.pads) {
    std::string name;
    if (connectable(pad)) {
      if (pad.number.empty()) {
        // Unnumbered copper (mounting pads) stays unconnected.
        do name = "MP" + std::to_string(++unnamed); while (used.count(name));
      } else {
        const std::string base = eagle_name(pad.number);
        int k = repeats[base]++;
        name = base;
        // EAGLE pad names are unique; repeats follow its own "@n" habit.
        while (k > 0 && used.count(name = base + "@" + std::to_string(k))) ++k;
        naming.pins[base].push_back(name);
      }
      used.insert(name);
    }
    naming.pad_names.push_back(name);
  }
  return naming;
}

class LibraryWriter {
 public:
  LibraryWriter(const KicadFootprint& fp, const std::string& name)
      : fp_(fp), name_(xml_escape(eagle_name(name))), naming_(name_pads(fp)) {}

  std::string write() {
    header();
    out_ += "<library>\n<description>" +
            xml_escape("Made by tovik-lbr from the KiCad footprint " + fp_.name) +
            "</description>\n";
    package();
    symbol();
    deviceset();
    out_ += "</library>\n</drawing>\n</eagle>\n";
    return std::move(out_);
  }

 private:
  static std::string y(double kicad_y) { return num(-kicad_y); }

  void header() {
    out_ += "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
            "<!DOCTYPE eagle SYSTEM \"eagle.dtd\">\n"
            "<eagle version=\"9.6.2\">\n<drawing>\n<settings>\n"
            "<setting alwaysvectorfont=\"no\"/>\n<setting verticaltext=\"up\"/>\n</settings>\n"
            "<grid distance=\"0.1\" unitdist=\"mm\" unit=\"mm\" style=\"lines\" multiple=\"1\" "
            "display=\"no\" altdistance=\"0.01\" altunitdist=\"mm\" altunit=\"mm\"/>\n<layers>\n";
    for (const LayerRow& l : kLayerTable)
      out_ += "<layer number=\"" + std::to_string(l.number) + "\" name=\"" + l.name +
              "\" color=\"" + std::to_string(l.color) + "\" fill=\"" + std::to_string(l.fill) +
              "\" visible=\"yes\" active=\"yes\"/>\n";
    out_ += "</layers>\n";
  }

  void package() {
    out_ += "<packages>\n<package name=\"" + name_ + "\">\n";
    if (!fp_.description.empty())
      out_ += "<description>" + xml_escape(fp_.description) + "</description>\n";
    for (size_t i = 0; i < fp_.pads.size(); ++i) pad(fp_.pads[i], naming_.pad_names[i]);
    for (const Graphic& g : fp_.graphics)
      if (std::optional<int> layer = eagle_layer(g.layer)) graphic(g, *layer);
    texts();
    out_ += "</package>\n</packages>\n";
  }

  void pad(const FootprintPad& p, const std::string& name) {
    const std::string at = " x=\"" + num(p.at.x) + "\" y=\"" + y(p.at.y) + "\"";
    if (p.kind == "np_thru_hole") {
      double drill = p.drill > 0 ? p.drill : std::min(p.width, p.height);
      out_ += "<hole" + at + " drill=\"" + num(drill) + "\"/>\n";
    } else if (!p.has_copper()) {
      // Paste and mask openings without copper stay openings on their layers.
      for (const char* layer : {"F.Paste", "F.Mask", "B.Paste", "B.Mask"})
        if (p.on_layer(layer) && p.kind == "smd") opening(p, *eagle_layer(layer));
    } else if (p.kind == "thru_hole") {
      through_hole_pad(p, name, at);
    } else {
      smd_pad(p, name, at);
    }
  }

  void opening(const FootprintPad& p, int layer) {
    out_ += "<rectangle x1=\"" + num(p.at.x - p.width / 2) + "\" y1=\"" +
            y(p.at.y + p.height / 2) + "\" x2=\"" + num(p.at.x + p.width / 2) + "\" y2=\"" +
            y(p.at.y - p.height / 2) + "\" layer=\"" + std::to_string(layer) + "\"" +
            rot_attr(p.rotation) + "/>\n";
  }

  void smd_pad(const FootprintPad& p, const std::string& name, const std::string& at) {
    int roundness = 0;
    if (p.shape == "circle" || p.shape == "oval") roundness = 100;
    if (p.shape == "roundrect") roundness = static_cast<int>(std::lround(std::clamp(p.rratio * 200, 0.0, 100.0)));
    const bool back = p.on_back_only();
    out_ += "<smd name=\"" + xml_escape(name) + "\"" + at + " dx=\"" + num(p.width) +
            "\" dy=\"" + num(p.height) + "\" layer=\"" + (back ? "16" : "1") + "\"";
    if (roundness > 0) out_ += " roundness=\"" + std::to_string(roundness) + "\"";
    out_ += rot_attr(p.rotation);
    if (!p.on_layer(back ? "B.Mask" : "F.Mask")) out_ += " stop=\"no\"";
    if (!p.on_layer(back ? "B.Paste" : "F.Paste")) out_ += " cream=\"no\"";
    out_ += "/>\n";
  }

  void through_hole_pad(const FootprintPad& p, const std::string& name, const std::string& at) {
    const bool square = std::fabs(p.width - p.height) < 1e-9;
    std::string shape;
    double rotation = p.rotation;
    if (square) {
      shape = p.shape == "circle" || p.shape == "oval" ? "round" : "square";
    } else {
      shape = "long";  // EAGLE's long pad lies along x
      if (p.height > p.width) rotation += 90;
    }
    const double diameter = std::min(p.width, p.height);
    const double drill = p.drill > 0 ? p.drill : diameter / 2;
    out_ += "<pad name=\"" + xml_escape(name) + "\"" + at + " drill=\"" + num(drill) +
            "\" diameter=\"" + num(diameter) + "\" shape=\"" + shape + "\"" +
            rot_attr(rotation) + "/>\n";
  }

  void wire(Point a, Point b, double width, int layer, std::optional<double> curve = {}) {
    out_ += "<wire x1=\"" + num(a.x) + "\" y1=\"" + y(a.y) + "\" x2=\"" + num(b.x) + "\" y2=\"" +
            y(b.y) + "\" width=\"" + num(width) + "\" layer=\"" + std::to_string(layer) + "\"";
    if (curve) out_ += " curve=\"" + num(*curve) + "\"";
    out_ += "/>\n";
  }

  void circle(Point centre, double radius, double width, int layer) {
    out_ += "<circle x=\"" + num(centre.x) + "\" y=\"" + y(centre.y) + "\" radius=\"" +
            num(radius) + "\" width=\"" + num(width) + "\" layer=\"" + std::to_string(layer) +
            "\"/>\n";
  }

  void outline(const std::vector<Point>& points, double width, int layer) {
    for (size_t i = 0; i + 1 < points.size(); ++i) wire(points[i], points[i + 1], width, layer);
    if (points.size() > 2) wire(points.back(), points.front(), width, layer);
  }

  void graphic(const Graphic& g, int layer) {
    const std::vector<Point>& p = g.points;
    // A zero width means "filled" to an EAGLE circle and "invisible" elsewhere.
    const double stroke = std::max(g.width, 0.01);
    switch (g.kind) {
      case Graphic::Kind::kLine:
        wire(p[0], p[1], stroke, layer);
        break;
      case Graphic::Kind::kRect:
        if (g.filled) {
          out_ += "<rectangle x1=\"" + num(std::min(p[0].x, p[1].x)) + "\" y1=\"" +
                  y(std::max(p[0].y, p[1].y)) + "\" x2=\"" + num(std::max(p[0].x, p[1].x)) +
                  "\" y2=\"" + y(std::min(p[0].y, p[1].y)) + "\" layer=\"" +
                  std::to_string(layer) + "\"/>\n";
        } else {
          outline({p[0], {p[1].x, p[0].y}, p[1], {p[0].x, p[1].y}}, stroke, layer);
        }
        break;
      case Graphic::Kind::kCircle:
        circle(p[0], std::hypot(p[1].x - p[0].x, p[1].y - p[0].y), g.filled ? 0 : stroke, layer);
        break;
      case Graphic::Kind::kArc:
        arc(p[0], p[1], p[2], stroke, layer);
        break;
      case Graphic::Kind::kPoly:
        if (g.filled && p.size() >= 3) {
          out_ += "<polygon width=\"" + num(stroke) + "\" layer=\"" + std::to_string(layer) +
                  "\">\n";
          for (const Point& v : p)
            out_ += "<vertex x=\"" + num(v.x) + "\" y=\"" + y(v.y) + "\"/>\n";
          out_ += "</polygon>\n";
        } else {
          outline(p, stroke, layer);
        }
        break;
    }
  }

  void arc(Point start, Point mid, Point end, double width, int layer) {
    if (std::hypot(end.x - start.x, end.y - start.y) < 1e-9) {
      // Start and end meet: a whole circle through the middle point.
      circle({(start.x + mid.x) / 2, (start.y + mid.y) / 2},
             std::hypot(mid.x - start.x, mid.y - start.y) / 2, width, layer);
      return;
    }
    ArcGeometry a = arc_through(start, mid, end);
    if (a.straight) return wire(start, end, width, layer);
    // A clockwise KiCad sweep (positive, y down) is a negative EAGLE curve.
    wire(start, end, width, layer, -a.sweep * 180 / M_PI);
  }

  // Where the footprint has no such text: 1 mm above or below its pads.
  TextSpot fallback_spot(bool above) const {
    double top = 0, bottom = 0;
    bool any = false;
    for (const FootprintPad& p : fp_.pads) {
      double half = std::max(p.width, p.height) / 2;
      top = any ? std::min(top, p.at.y - half) : p.at.y - half;
      bottom = any ? std::max(bottom, p.at.y + half) : p.at.y + half;
      any = true;
    }
    TextSpot spot;
    spot.at = {0, above ? top - 1 : bottom + 1};
    return spot;
  }

  void text(const TextSpot& spot, int layer, const char* content) {
    out_ += "<text x=\"" + num(spot.at.x) + "\" y=\"" + y(spot.at.y) + "\" size=\"" +
            num(spot.size) + "\" layer=\"" + std::to_string(layer) +
            "\" font=\"vector\" ratio=\"15\"" + rot_attr(spot.rotation) + " align=\"center\">" +
            content + "</text>\n";
  }

  void texts() {
    text(fp_.reference.value_or(fallback_spot(true)), 25, "&gt;NAME");
    text(fp_.value.value_or(fallback_spot(false)), 27, "&gt;VALUE");
  }

  void symbol() {
    const size_t n = naming_.pins.size();
    const size_t left = (n + 1) / 2;
    const double top = kGrid, bottom = -static_cast<double>(std::max<size_t>(left, 1)) * kGrid;
    const double half_width = 3 * kGrid;
    out_ += "<symbols>\n<symbol name=\"" + name_ + "\">\n";
    std::vector<Point> box = {{-half_width, top}, {half_width, top}, {half_width, bottom},
                              {-half_width, bottom}};
    for (size_t i = 0; i < 4; ++i) {
      Point a = box[i], b = box[(i + 1) % 4];
      out_ += "<wire x1=\"" + num(a.x) + "\" y1=\"" + num(a.y) + "\" x2=\"" + num(b.x) +
              "\" y2=\"" + num(b.y) + "\" width=\"0.254\" layer=\"94\"/>\n";
    }
    out_ += "<text x=\"" + num(-half_width) + "\" y=\"" + num(top + kGrid / 2) +
            "\" size=\"1.778\" layer=\"95\">&gt;NAME</text>\n";
    out_ += "<text x=\"" + num(-half_width) + "\" y=\"" + num(bottom - kGrid) +
            "\" size=\"1.778\" layer=\"96\">&gt;VALUE</text>\n";
    size_t i = 0;
    for (const auto& [pin, pads] : naming_.pins) {
      const bool on_left = i < left;
      const size_t row = on_left ? i : i - left;
      out_ += "<pin name=\"" + xml_escape(pin) + "\" x=\"" +
              num(on_left ? -half_width - kGrid : half_width + kGrid) + "\" y=\"" +
              num(-static_cast<double>(row) * kGrid) + "\" length=\"short\" direction=\"pas\"" +
              (on_left ? "" : " rot=\"R180\"") + "/>\n";
      ++i;
    }
    out_ += "</symbol>\n</symbols>\n";
  }

  void deviceset() {
    out_ += "<devicesets>\n<deviceset name=\"" + name_ + "\" prefix=\"U\">\n<gates>\n"
            "<gate name=\"G$1\" symbol=\"" + name_ + "\" x=\"0\" y=\"0\"/>\n</gates>\n"
            "<devices>\n<device name=\"\" package=\"" + name_ + "\">\n<connects>\n";
    for (const auto& [pin, pads] : naming_.pins) {
      std::string list;
      for (const std::string& p : pads) list += (list.empty() ? "" : " ") + p;
      out_ += "<connect gate=\"G$1\" pin=\"" + xml_escape(pin) + "\" pad=\"" + xml_escape(list) +
              "\"/>\n";
    }
    out_ += "</connects>\n<technologies>\n<technology name=\"\"/>\n</technologies>\n</device>\n"
            "</devices>\n</deviceset>\n</devicesets>\n";
  }

  const KicadFootprint& fp_;
  const std::string name_;
  const PadNaming naming_;
  std::string out_;
};

}  // namespace

size_t pin_count(const KicadFootprint& fp) { return name_pads(fp).pins.size(); }

std::string write_eagle_library(const KicadFootprint& fp, const std::string& name) {
  return LibraryWriter(fp, name).write();
}
