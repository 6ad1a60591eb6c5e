"""Writes the create JSON of the start-up measurements to the path given:
two rows of ten pads with a body and a courtyard (SOIC-20)."""
import json
import sys

pads = [{"number": str(i + 1), "x": round(-5.715 + 1.27 * (i % 10), 3), "y": -2.7 if i < 10 else 2.7,
         "dx": 0.6, "dy": 1.5} for i in range(20)]
with open(sys.argv[1], "w") as out:
    json.dump({"footprintName": "SOIC-20", "description": "20-pin small outline", "tags": "soic",
               "pads": pads, "body": {"x1": -6.4, "y1": -3.75, "x2": 6.4, "y2": 3.75},
               "courtyard": {"x1": -7, "y1": -4, "x2": 7, "y2": 4}}, out)
