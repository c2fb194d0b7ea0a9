#!/usr/bin/env python3
"""Checks plan documents against the plan schema.

Usage: validate_plan.py SCHEMA DOCUMENT...
Exit status 0 when every document is valid, 1 when one is not, 77 when the
jsonschema module is not installed.
"""
import json
import sys

try:
    import jsonschema
except ImportError:
    sys.exit(77)

with open(sys.argv[1], encoding="utf-8") as f:
    schema = json.load(f)
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema)

invalid = 0
for path in sys.argv[2:]:
    with open(path, encoding="utf-8") as f:
        document = json.load(f)
    errors = sorted(validator.iter_errors(document), key=str)
    for error in errors:
        print(f"{path}: {list(error.absolute_path)}: {error.message}", file=sys.stderr)
    invalid += bool(errors)
sys.exit(1 if invalid else 0)
