// Footprints extracted from datasheets by vornel (`<mpn>-footprint.extracted.json`).
// The reader is lenient: only `pads` must be there; a member of the wrong JSON
// type counts as absent and unknown members are ignored.
#pragma once

#include "authoring/create_input.h"
#include "base/error.h"
#include "base/json.h"

// The create input the document describes: pads from `at`/`size` arrays, a
// body centred on the origin from `bodyDimensions`, the courtyard, the
// description and the body shape; tags empty and no pad layers. Fails with
// "footprint JSON has no pads[]" when `pads` is missing or not an array (or
// the document is not an object) and with "footprint extraction has no pads"
// when it is empty. The result is not validated.
Result<CreateInput> convert_extracted_footprint(const Json& document);
