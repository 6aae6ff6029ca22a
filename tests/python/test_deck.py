"""Decks through `Deck`: legacy and keyword forms round-trip, values keep
their meaning in the legacy line forms, bad keyword decks name the key."""

import os
import unittest

import support
from threephase import Deck, DeckError


class LegacyDeck(unittest.TestCase):
    def test_every_example_reads_and_writes_back_unchanged(self):
        for name in ("permafrost", "shaley_sand", "fractal"):
            path = os.path.join(support.EXAMPLES, name, "deck")
            text = support.read(path)
            deck = Deck.read(path)
            self.assertEqual(deck.form, "legacy")
            self.assertEqual(deck.text(), text, name)
            self.assertEqual(deck.check(), [], name)

    def test_every_example_round_trips_through_the_keyword_form(self):
        for name in ("permafrost", "shaley_sand", "fractal"):
            deck = Deck.read(os.path.join(support.EXAMPLES, name, "deck"))
            keyword = Deck(deck.keyword_text())
            self.assertEqual(keyword.form, "keyword")
            self.assertEqual(keyword.as_dict(), deck.as_dict(), name)
            back = Deck(keyword.legacy_text())
            self.assertEqual(back.as_dict(), deck.as_dict(), name)

    def test_a_value_set_on_a_fixed_line_keeps_its_meaning_and_the_note(self):
        # Without a decimal point the fixed field would carry 10 implied
        # decimals: 2650 would read as 2.65e-07.
        deck = support.small_deck()
        deck["ro1(2)"] = 2650
        line = deck.text().splitlines()[deck.where["ro1(2)"]]
        self.assertEqual(line[:20].strip(), "2650.0")
        self.assertIn("density of solid 1", line)
        self.assertEqual(Deck(deck.text())["ro1(2)"], 2650.0)
        deck["key_model"] = 1
        self.assertEqual(deck.text().splitlines()[6][:5], "    1")

    def test_names_are_those_of_the_deck_with_their_layer(self):
        deck = support.small_deck()
        self.assertEqual((deck.nx, deck["NX"], deck["akf( 2 )"]), (4, 4, 2.25e9))
        with self.assertRaisesRegex(DeckError, r"akf\(1\) or akf\(2\)"):
            deck["akf"]

    def test_check_names_the_values_the_program_refuses(self):
        deck = support.small_deck()
        deck["nx"], deck["phi_layer(1)"], deck["ro2(2)"] = 0, 1.5, 0.0
        problems = " | ".join(deck.check())
        for name in ("nx = 0", "phi_layer(1) = 1.5", "ro2(2) = 0.0"):
            self.assertIn(name, problems)
        self.assertIn("below phi_a(1)", problems)  # the ice model's stop 11


class KeywordDeck(unittest.TestCase):
    HEAD = "freq = 100.0\nfreq_max = 1e4\nn_freq = 1\ndomain_size = 0.3\nnx = 4\nny = 4\n" \
           "key_model = 0\nmodel = 0\nnmat = 2\n"

    def test_per_layer_arrays_and_layer_tables_read_alike(self):
        base = Deck.read(os.path.join(support.EXAMPLES, "permafrost", "deck")).keyword_text()
        tables = Deck(base)
        arrays = ["# per-layer values as arrays"] + [
            ln for ln in base.splitlines() if ln and not ln.startswith(("[", "#", "nl", "akf"))
            and "=" in ln and ln.split("=")[0].strip() in ("freq", "freq_max", "n_freq",
                                                             "domain_size", "nx", "ny",
                                                             "key_model", "model", "nmat")]
        for name in tables.names():
            if "(1)" in name:
                base_name = name[:-3]
                arrays.append("%s = [%r, %r]" % (base_name, tables[name],
                                                 tables[base_name + "(2)"]))
        self.assertEqual(Deck("\n".join(arrays) + "\n").as_dict(), tables.as_dict())

    def test_bad_keyword_decks_name_the_key(self):
        cases = {"unknown key 'frq'": self.HEAD + "frq = 1.0\n",
                 "akf.1. is given twice": self.HEAD + "akf = [1.0, 2.0]\n[layer.1]\nakf = 3.0\n",
                 "nx takes an integer": self.HEAD.replace("nx = 4", "nx = 4.5"),
                 "eta.1. = 'x' is not a number": self.HEAD + "eta = 'x'\n"}
        for message, text in cases.items():
            with self.assertRaisesRegex(DeckError, message.replace(".1.", r"\(1\)")):
                Deck(text)


if __name__ == "__main__":
    unittest.main()
