#include "authoring/extracted_footprint.h"

namespace {

const Json* member(const Json& object, const char* key) {
  if (!object.is_object()) return nullptr;
  auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

std::optional<double> number_member(const Json& object, const char* key) {
  const Json* value = member(object, key);
  if (value == nullptr || !value->is_number()) return std::nullopt;
  return value->get<double>();
}

std::optional<std::string> string_member(const Json& object, const char* key) {
  const Json* value = member(object, key);
  if (value == nullptr || !value->is_string()) return std::nullopt;
  return value->get<std::string>();
}

// The first of `keys` that the object has, whatever its type.
const Json* first_present(const Json& object, std::initializer_list<const char*> keys) {
  for (const char* key : keys)
    if (const Json* value = member(object, key)) return value;
  return nullptr;
}

std::optional<std::string> as_string(const Json* value) {
  if (value == nullptr || !value->is_string()) return std::nullopt;
  return value->get<std::string>();
}

std::optional<double> as_number(const Json* value) {
  if (value == nullptr || !value->is_number()) return std::nullopt;
  return value->get<double>();
}

// Element `i` of an array member as a number, 0 when missing or not a number.
double element_or_zero(const Json& object, const char* key, size_t i) {
  const Json* array = member(object, key);
  if (array == nullptr || !array->is_array() || i >= array->size()) return 0;
  return as_number(&(*array)[i]).value_or(0);
}

JsonPad convert_pad(const Json& element) {
  JsonPad pad;
  if (!element.is_object()) return pad;
  pad.number = string_member(element, "number").value_or("");
  pad.x = element_or_zero(element, "at", 0);
  pad.y = element_or_zero(element, "at", 1);
  pad.dx = element_or_zero(element, "size", 0);
  pad.dy = element_or_zero(element, "size", 1);
  pad.shape = string_member(element, "shape");
  // A rotation of the wrong type falls back to `angle`; the other "else"
  // chains stop at the first key that is present.
  pad.angle = number_member(element, "rotation");
  if (!pad.angle) pad.angle = number_member(element, "angle");
  pad.mount = as_string(first_present(element, {"mount", "type"}));
  pad.drill = as_number(first_present(element, {"drill", "drillDiameter", "hole"}));
  return pad;
}

std::optional<JsonRect> convert_body(const Json& document) {
  const Json* d = member(document, "bodyDimensions");
  if (d == nullptr) return std::nullopt;
  std::optional<double> w, h;
  if (d->is_array()) {
    if (d->size() < 2) return std::nullopt;
    w = as_number(&(*d)[0]);
    h = as_number(&(*d)[1]);
  } else if (d->is_object()) {
    w = as_number(first_present(*d, {"x", "w"}));
    h = as_number(first_present(*d, {"y", "h"}));
  }
  if (!w || !h) return std::nullopt;
  return JsonRect{-0.5 * *w, -0.5 * *h, 0.5 * *w, 0.5 * *h};
}

std::optional<JsonRect> convert_courtyard(const Json& document) {
  const Json* c = member(document, "courtyard");
  if (c == nullptr) return std::nullopt;
  auto x1 = number_member(*c, "x1"), y1 = number_member(*c, "y1");
  auto x2 = number_member(*c, "x2"), y2 = number_member(*c, "y2");
  if (!x1 || !y1 || !x2 || !y2) return std::nullopt;
  return JsonRect{*x1, *y1, *x2, *y2};
}

}  // namespace

Result<CreateInput> convert_extracted_footprint(const Json& document) {
  const Json* pads = member(document, "pads");
  if (pads == nullptr || !pads->is_array()) return Error("footprint JSON has no pads[]");
  CreateInput input;
  input.footprint_name = string_member(document, "footprintName").value_or("footprint");
  input.pads.reserve(pads->size());
  for (const Json& element : *pads) input.pads.push_back(convert_pad(element));
  if (input.pads.empty()) return Error("footprint extraction has no pads");
  input.body = convert_body(document);
  input.courtyard = convert_courtyard(document);
  input.description = string_member(document, "description").value_or("");
  input.body_shape = as_string(first_present(document, {"bodyShape", "shape"}));
  return input;
}
