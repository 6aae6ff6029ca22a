"""The deck's definition files are well formed, and the documents that quote
them are up to date: deck/fields.json (the field table read by the program's
build, its tests and the Python tools) and deck/stop_codes.json."""

import importlib.machinery
import importlib.util
import json
import os
import unittest

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
FORMS = {"free_real", "free_int", "i5", "f20"}
# Quantities whose typical span the table must give, by unit.
PHYSICAL_UNITS = {"Pa", "kg/m3", "Pa s", "m2", "m"}


def definition(name):
    with open(os.path.join(TOP, "deck", name + ".json"), encoding="utf-8") as f:
        return json.load(f)


class FieldTable(unittest.TestCase):
    def setUp(self):
        self.table = definition("fields")
        self.fields = self.table["fields"]

    def test_every_line_of_the_head_and_of_a_layer_has_one_field(self):
        for scope, count in (("head", self.table["head_lines"]),
                             ("layer", self.table["layer_lines"])):
            lines = sorted(f["line"] for f in self.fields if f["scope"] == scope)
            self.assertEqual(lines, list(range(1, count + 1)), scope)
        names = [f["name"] for f in self.fields]
        self.assertEqual(len(names), len(set(names)), "a name given twice")

    def test_every_field_has_a_known_form_a_unit_and_a_meaning(self):
        for f in self.fields:
            with self.subTest(field=f["name"]):
                self.assertIn(f["form"], FORMS)
                self.assertIn(f["form"], self.table["forms"])
                self.assertTrue(f["unit"])
                self.assertTrue(f["meaning"])
                self.assertTrue(set(f["models"]) <= {"ice", "sand"} and f["models"])
                self.assertEqual(f["scope"] == "layer" and f["line"] > 1, f["form"] == "f20")

    def test_rules_are_ranges_whose_conditions_name_head_integers_or_the_layer(self):
        head_ints = {f["name"] for f in self.fields
                     if f["scope"] == "head" and f["form"] in ("free_int", "i5")}
        for f in self.fields:
            for rule in f["allowed"]:
                with self.subTest(field=f["name"], rule=rule):
                    lo, hi = rule["min"], rule["max"]
                    self.assertTrue(lo is not None or hi is not None)
                    if lo is not None and hi is not None:
                        self.assertLess(lo, hi)
                    self.assertIsInstance(rule["min_exclusive"], bool)
                    self.assertIsInstance(rule["max_exclusive"], bool)
                    for clause in rule["when"]:
                        self.assertIn(clause["field"], head_ints | {"layer"})
                        self.assertIn(clause["op"], ("==", "!="))
                        self.assertIsInstance(clause["value"], int)
                    # A real's refusal gives its reason.
                    if f["form"] in ("free_real", "f20"):
                        self.assertTrue(rule["why"])

    def test_a_side_may_reach_the_longest_strip_of_32_bit_positions(self):
        for name in ("nx", "ny"):
            field = next(f for f in self.fields if f["name"] == name)
            self.assertEqual((field["allowed"][0]["min"], field["allowed"][0]["max"]), (1, 3900000))

    def test_densities_moduli_viscosity_permeabilities_and_grain_sizes_have_a_span(self):
        for f in self.fields:
            if f["scope"] != "layer" or f["unit"] not in PHYSICAL_UNITS:
                continue
            with self.subTest(field=f["name"]):
                span = f["physical"]
                self.assertIsNotNone(span)
                self.assertGreaterEqual(span["min"], 0)
                self.assertLess(span["min"], span["max"])
                # A value the reader accepts must be able to lie in the span.
                for rule in f["allowed"]:
                    if rule["min"] is not None:
                        self.assertGreaterEqual(span["max"], rule["min"])


class StopCodes(unittest.TestCase):
    def test_codes_are_unique_and_exit_with_their_low_eight_bits(self):
        codes = definition("stop_codes")["codes"]
        self.assertEqual(len({c["code"] for c in codes}), len(codes))
        for c in codes:
            with self.subTest(code=c["code"]):
                self.assertEqual(c["exit"], c["code"] % 256)
                self.assertIn(c["kind"], ("normal", "input", "check", "solver"))
                self.assertTrue(c["meaning"])
                # A silent stop prints nothing: its meaning comes from this list.
                if c["kind"] in ("check", "solver"):
                    self.assertEqual(c["silent"], c["message"] == "")

    def test_the_normal_end_is_40_and_input_errors_exit_with_2(self):
        kinds = {c["code"]: c["kind"] for c in definition("stop_codes")["codes"]}
        self.assertEqual(kinds[40], "normal")
        self.assertEqual(kinds[2], "input")


class Documents(unittest.TestCase):
    def test_the_tables_of_readme_and_deck_guide_equal_the_stop_code_list(self):
        path = os.path.join(TOP, "tools", "docs-tables")
        loader = importlib.machinery.SourceFileLoader("docs_tables", path)
        module = importlib.util.module_from_spec(importlib.util.spec_from_loader(loader.name, loader))
        loader.exec_module(module)
        self.assertEqual(module.stale_files(), [])


if __name__ == "__main__":
    unittest.main()
