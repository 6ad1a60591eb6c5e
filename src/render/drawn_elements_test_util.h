// What a footprint file asks to be drawn, counted by a small S-expression
// reader of its own: the tests compare it with the drawing, so it shares
// nothing with the product's element finder or patterns.
#pragma once

#include <cctype>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct SNode {
  bool list = false;
  std::string atom;  // a symbol, or a string's content without quotes
  std::vector<SNode> items;

  std::string_view head() const {
    return list && !items.empty() && !items[0].list ? std::string_view(items[0].atom) : "";
  }
  // The first child list whose head is `name`.
  const SNode* child(std::string_view name) const {
    for (const SNode& n : items) {
      if (n.head() == name) return &n;
    }
    return nullptr;
  }
};

class SReader {
 public:
  explicit SReader(std::string_view text) : t_(text) {}

  // The first list of the text; nullopt when it does not close.
  std::optional<SNode> read() {
    skip_space();
    if (pos_ >= t_.size() || t_[pos_] != '(') return std::nullopt;
    return read_node();
  }

 private:
  std::optional<SNode> read_node() {
    SNode node;
    if (t_[pos_] == '(') {
      node.list = true;
      ++pos_;
      for (;;) {
        skip_space();
        if (pos_ >= t_.size()) return std::nullopt;
        if (t_[pos_] == ')') {
          ++pos_;
          return node;
        }
        std::optional<SNode> item = read_node();
        if (!item) return std::nullopt;
        node.items.push_back(std::move(*item));
      }
    }
    if (t_[pos_] == '"') {
      for (++pos_; pos_ < t_.size() && t_[pos_] != '"'; ++pos_) {
        if (t_[pos_] == '\\' && pos_ + 1 < t_.size()) ++pos_;
        node.atom += t_[pos_];
      }
      if (pos_ >= t_.size()) return std::nullopt;
      ++pos_;
      return node;
    }
    while (pos_ < t_.size() && !std::isspace(static_cast<unsigned char>(t_[pos_])) &&
           t_[pos_] != '(' && t_[pos_] != ')' && t_[pos_] != '"') {
      node.atom += t_[pos_++];
    }
    return node;
  }
  void skip_space() {
    while (pos_ < t_.size() && std::isspace(static_cast<unsigned char>(t_[pos_]))) ++pos_;
  }

  std::string_view t_;
  size_t pos_ = 0;
};

// Drawn elements per kind and layer: the renderer draws lines on the three
// front layers, rectangles on courtyard and fabrication, polygons on
// fabrication and silkscreen, arcs and circles on all three, and every pad
// with a number, a position and a size.
struct DrawnCounts {
  size_t lines = 0, rects = 0, polys = 0, arcs = 0, circles = 0, pads = 0;
  size_t courtyard = 0, fab = 0, silk = 0;  // elements per layer group

  void add(const DrawnCounts& o) {
    lines += o.lines, rects += o.rects, polys += o.polys, arcs += o.arcs;
    circles += o.circles, pads += o.pads;
    courtyard += o.courtyard, fab += o.fab, silk += o.silk;
  }
};

namespace drawn_elements {

inline std::string layer_of(const SNode& element) {
  const SNode* layer = element.child("layer");
  return layer && layer->items.size() > 1 ? layer->items[1].atom : "";
}

// True when a `first` list is directly followed by a `second` list.
inline bool adjacent(const SNode& element, std::string_view first, std::string_view second) {
  for (size_t i = 0; i + 1 < element.items.size(); ++i) {
    if (element.items[i].head() == first && element.items[i + 1].head() == second) return true;
  }
  return false;
}

inline bool has_point(const SNode& element) {
  const SNode* pts = element.child("pts");
  return pts && pts->child("xy");
}

}  // namespace drawn_elements

// nullopt when the file is no readable S-expression.
inline std::optional<DrawnCounts> count_drawn_elements(std::string_view text) {
  using namespace drawn_elements;
  std::optional<SNode> root = SReader(text).read();
  if (!root) return std::nullopt;
  DrawnCounts c;
  for (const SNode& e : root->items) {
    std::string_view kind = e.head();
    std::string layer = layer_of(e);
    bool cy = layer == "F.CrtYd", fab = layer == "F.Fab", silk = layer == "F.SilkS";
    size_t* group = cy ? &c.courtyard : fab ? &c.fab : silk ? &c.silk : nullptr;
    size_t* kind_count = nullptr;
    if (kind == "fp_line" && (cy || fab || silk) && adjacent(e, "start", "end")) {
      kind_count = &c.lines;
    } else if (kind == "fp_rect" && (cy || fab) && adjacent(e, "start", "end")) {
      kind_count = &c.rects;
    } else if (kind == "fp_poly" && (fab || silk) && has_point(e)) {
      kind_count = &c.polys;
    } else if (kind == "fp_arc" && group && e.child("start") && e.child("end")) {
      kind_count = &c.arcs;
    } else if (kind == "fp_circle" && group && e.child("center") && e.child("end")) {
      kind_count = &c.circles;
    } else if (kind == "pad" && e.items.size() > 3 && !e.items[1].atom.empty() &&
               e.child("at") && e.child("size")) {
      ++c.pads;
      continue;
    } else {
      continue;
    }
    ++*kind_count;
    ++*group;
  }
  return c;
}
