// Pieces of the `placement` command that are worth testing on their own.
#pragma once

#include "authoring/create_input.h"
#include "base/error.h"
#include "base/json.h"

// True when the document reads as a create JSON: an object whose `pads` is a
// non-empty array with an object first that has members `x` and `dx`.
// Everything else is taken for an extracted-footprint JSON.
bool is_create_json(const Json& document);

// The footprint a placement document describes, read by its kind: a create
// JSON (failures under "parsing create JSON"; not validated) or an extracted
// footprint (its failures as they are).
Result<CreateInput> placement_footprint(const Json& document);
