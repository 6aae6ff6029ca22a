"""The Python package reads numbers as the program does: every case of
tests/common/number_cases.txt (shared with the C++ reader's test) gives the
listed value through threephase.deck.parse_field, or is refused."""

import math
import os
import sys
import unittest

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(TOP, "python"))
from threephase import deck  # noqa: E402


def number_cases():
    """(line number, form, expected, text) of every case of the shared file."""
    cases = []
    path = os.path.join(TOP, "tests", "common", "number_cases.txt")
    with open(path, encoding="utf-8") as f:
        for n, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            form, expected, rest = line.split(None, 2)
            text = rest.strip()[1:-1].replace("\\t", "\t")
            cases.append((n, form, expected, text))
    return cases


class NumberGrammar(unittest.TestCase):
    def test_every_shared_case_reads_as_listed(self):
        for n, form, expected, text in number_cases():
            with self.subTest(line=n, form=form, text=text):
                if expected == "error":
                    with self.assertRaises(deck.DeckError):
                        deck.parse_field(text, form)
                    continue
                got = deck.parse_field(text, form)
                if expected == "nan":
                    self.assertTrue(math.isnan(got))
                else:
                    self.assertEqual(got, float(expected))

    def test_shared_file_covers_every_form(self):
        forms = {form for _, form, _, _ in number_cases()}
        self.assertEqual(forms, {"free_real", "free_int", "i5", "f20", "f12"})


if __name__ == "__main__":
    unittest.main()
