#include "authoring/create_input.h"

#include "authoring/json_record.h"

namespace {

template <typename R, std::string R::*M>
Status text_field(const JsonNode& value, R& record) {
  ASSIGN_OR_RETURN(record.*M, read_json_string(value));
  return {};
}

template <typename R, double R::*M>
Status number_field(const JsonNode& value, R& record) {
  ASSIGN_OR_RETURN(record.*M, read_json_number(value));
  return {};
}

// Fields that may be null: null means absent.
template <typename R, std::optional<std::string> R::*M>
Status optional_text_field(const JsonNode& value, R& record) {
  if (value.kind == JsonNode::Kind::kNull) {
    (record.*M).reset();
    return {};
  }
  ASSIGN_OR_RETURN(record.*M, read_json_string(value));
  return {};
}

template <typename R, std::optional<double> R::*M>
Status optional_number_field(const JsonNode& value, R& record) {
  if (value.kind == JsonNode::Kind::kNull) {
    (record.*M).reset();
    return {};
  }
  ASSIGN_OR_RETURN(record.*M, read_json_number(value));
  return {};
}

const std::vector<RecordField<JsonRect>>& rect_fields() {
  static const auto* fields = new std::vector<RecordField<JsonRect>>{
      {"x1", {}, true, number_field<JsonRect, &JsonRect::x1>},
      {"y1", {}, true, number_field<JsonRect, &JsonRect::y1>},
      {"x2", {}, true, number_field<JsonRect, &JsonRect::x2>},
      {"y2", {}, true, number_field<JsonRect, &JsonRect::y2>},
  };
  return *fields;
}

const std::vector<RecordField<JsonPad>>& pad_fields() {
  static const auto* fields = new std::vector<RecordField<JsonPad>>{
      {"number", {}, true, text_field<JsonPad, &JsonPad::number>},
      {"x", {}, true, number_field<JsonPad, &JsonPad::x>},
      {"y", {}, true, number_field<JsonPad, &JsonPad::y>},
      {"dx", {}, true, number_field<JsonPad, &JsonPad::dx>},
      {"dy", {}, true, number_field<JsonPad, &JsonPad::dy>},
      {"shape", {}, false, optional_text_field<JsonPad, &JsonPad::shape>},
      {"angle", {}, false, optional_number_field<JsonPad, &JsonPad::angle>},
      {"layers", {}, false, optional_text_field<JsonPad, &JsonPad::layers>},
      {"mount", {"padType", "type"}, false, optional_text_field<JsonPad, &JsonPad::mount>},
      {"drill", {"drillDiameter", "hole"}, false, optional_number_field<JsonPad, &JsonPad::drill>},
  };
  return *fields;
}

template <std::optional<JsonRect> CreateInput::*M>
Status rect_field(const JsonNode& value, CreateInput& input) {
  if (value.kind == JsonNode::Kind::kNull) {
    (input.*M).reset();
    return {};
  }
  JsonRect rect;
  RETURN_IF_ERROR(read_json_record(value, rect_fields(), "struct JsonRect", rect));
  input.*M = rect;
  return {};
}

Status pads_field(const JsonNode& value, CreateInput& input) {
  if (value.kind != JsonNode::Kind::kArray) return json_type_error(value, "a sequence");
  input.pads.clear();
  input.pads.reserve(value.items.size());
  for (const JsonNode& item : value.items) {
    JsonPad pad;
    RETURN_IF_ERROR(read_json_record(item, pad_fields(), "struct JsonPad", pad));
    input.pads.push_back(std::move(pad));
  }
  return {};
}

const std::vector<RecordField<CreateInput>>& create_input_fields() {
  static const auto* fields = new std::vector<RecordField<CreateInput>>{
      {"footprintName", {}, true, text_field<CreateInput, &CreateInput::footprint_name>},
      {"pads", {}, false, pads_field},
      {"body", {}, false, rect_field<&CreateInput::body>},
      {"courtyard", {}, false, rect_field<&CreateInput::courtyard>},
      {"description", {}, false, text_field<CreateInput, &CreateInput::description>},
      {"tags", {}, false, text_field<CreateInput, &CreateInput::tags>},
      {"bodyShape", {"body_shape", "shape"}, false, optional_text_field<CreateInput, &CreateInput::body_shape>},
  };
  return *fields;
}

Result<CreateInput> read_from_node(const JsonNode& root) {
  CreateInput input;
  RETURN_IF_ERROR(read_json_record(root, create_input_fields(), "struct CreateInput", input));
  return input;
}

}  // namespace

Result<CreateInput> read_create_input(std::string_view text) {
  ASSIGN_OR_RETURN(JsonNode root, parse_json_node(text));
  return read_from_node(root);
}

Result<CreateInput> read_create_input(const Json& value) { return read_from_node(to_json_node(value)); }

Status validate_create_input(const CreateInput& input) {
  if (input.footprint_name.empty()) return Error("footprintName is required");
  if (input.pads.empty()) return Error("pads array is required");
  return {};
}
