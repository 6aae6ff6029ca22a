"""Decks through `Deck`: legacy and keyword forms round-trip and convert as
the program converts them, values keep their meaning in the legacy line
forms, the run plan is the keyword deck's, bad keyword decks name the key."""

import os
import re
import subprocess
import unittest

import support
import threephase
from threephase import Deck, DeckError
from threephase.deck import fixed_field_text, format_real, legacy_text, parse_field


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
    EXAMPLES = ("permafrost", "shaley_sand", "fractal")

    def layered_deck(self):
        """The shaley-sand twin made truly layered: per-layer materials and
        water, porosity by layer."""
        deck = Deck.read(os.path.join(support.EXAMPLES, "shaley_sand", "deck.toml"))
        deck.materials, deck.water_proportion, deck.porosity_source = \
            "layered", [0.1, 0.25], "by_layer"
        return deck

    def test_every_twin_reads_to_its_legacy_deck_and_round_trips(self):
        for name in self.EXAMPLES:
            legacy = Deck.read(os.path.join(support.EXAMPLES, name, "deck"))
            twin = Deck.read(os.path.join(support.EXAMPLES, name, "deck.toml"))
            self.assertEqual(twin.form, "keyword")
            self.assertEqual(twin.as_dict(), legacy.as_dict(), name)
            self.assertEqual(twin.run_plan(), legacy.run_plan(), name)
            self.assertEqual(twin.check(), [], name)
            again = Deck(twin.text())
            self.assertEqual((again.as_dict(), again.run_plan()),
                             (twin.as_dict(), twin.run_plan()), name)
            self.assertEqual(again.text(), twin.text(), name)

    def test_legacy_to_keyword_is_the_converters_twin_and_converts_back_to_the_values(self):
        # The committed twins are the converter's output below their first
        # comment line; the legacy deck written back reads to the same values.
        for name in self.EXAMPLES:
            legacy = Deck.read(os.path.join(support.EXAMPLES, name, "deck"))
            twin = support.read(os.path.join(support.EXAMPLES, name, "deck.toml"))
            self.assertEqual(legacy.keyword_text().splitlines()[1:], twin.splitlines()[1:], name)
            back = Deck(Deck(twin).legacy_text())
            self.assertEqual(back.form, "legacy")
            self.assertEqual(back.as_dict(), legacy.as_dict(), name)

    def test_conversions_agree_with_the_programs_convert_command(self):
        program = threephase.find_program(build_if_missing=False)
        # A program without the subcommand would run on empty input (or
        # print its usage): in a scratch folder, so that nothing lands
        # beside the tests.
        probe = subprocess.run([program, "convert", os.path.join(support.EXAMPLES, "fractal",
                                                                 "deck")],
                               capture_output=True, text=True, stdin=subprocess.DEVNULL,
                               cwd=support.scratch(self))
        if probe.returncode != 0 or not probe.stdout.startswith("# threephase keyword deck"):
            self.skipTest("this build of the program has no convert command")
        decks = [os.path.join(support.EXAMPLES, n, f) for n in self.EXAMPLES
                 for f in ("deck", "deck.toml")]
        layered = os.path.join(support.scratch(self), "layered.toml")
        # The plane-strain form: a line of [run] both converters write and
        # a difference both name.
        plane = self.layered_deck()
        plane.elastic_form = "plane_strain"
        plane.write(layered)
        for path in decks + [layered]:
            deck = Deck.read(path)
            for args, mine in ((["convert", path], deck.keyword_text()),
                               (["convert", "--legacy", path], legacy_text(deck.as_dict()))):
                out = subprocess.run([program] + args, capture_output=True, text=True)
                self.assertEqual(out.stdout, mine, " ".join(args))
            warned = [ln.split(": ", 3)[-1] for ln in out.stderr.splitlines()]
            self.assertEqual(warned, deck.plan_differences(), path)

    def test_a_deck_without_the_values_its_run_does_not_use_reads_as_the_program_reads_it(self):
        # The sweep, the layer count, the water proportion beside a constant
        # porosity, and per layer what the permafrost model does not consult,
        # the thickness and phi_layer: the program's convert writes the
        # values it reads for them.
        program = threephase.find_program(build_if_missing=False)
        left_out = ("freq_max", "n_freq", "nmat", "water_proportion", "s3", "rs1", "rs3", "nl",
                    "phi_layer")
        text = support.read(os.path.join(support.EXAMPLES, "permafrost", "deck.toml"))
        lean = "\n".join(ln for ln in text.splitlines()
                         if ln.split(" = ")[0] not in left_out) + "\n"
        path = os.path.join(support.scratch(self), "lean.toml")
        with open(path, "w", encoding="utf-8") as f:
            f.write(lean)
        out = subprocess.run([program, "convert", path], capture_output=True, text=True)
        if out.returncode != 0 or not out.stdout.startswith("# threephase keyword deck"):
            self.skipTest("this build of the program reads no lean keyword deck")
        self.assertEqual(Deck.read(path).keyword_text(), out.stdout)

    def test_reals_are_written_in_the_programs_shortest_exact_forms(self):
        # (value, keyword text, legacy 20-column text or None when none fits)
        cases = [(2.25e9, "2.25e9", "2.25e9"), (1e5, "1.0e5", "1.0e5"),
                 (10000.0, "10000.0", "10000.0"), (0.001, "0.001", "0.001"),
                 (1e-4, "1.0e-4", "1.0e-4"), (5e-324, "5.0e-324", "5.0e-324"),
                 (-0.0, "-0.0", "-0.0"), (1.2345678901234567e-7, "1.2345678901234566e-7",
                                          "1.2345678901234566-7"),
                 (2.0 ** 70, "1180591620717411303424.0", None)]
        for value, keyword, legacy in cases:
            self.assertEqual(format_real(value), keyword)
            self.assertEqual(fixed_field_text(value), legacy)
            if legacy:
                self.assertEqual(repr(parse_field(legacy, "fixed20")), repr(value))

    def test_run_plan_is_read_written_and_refused_on_a_legacy_deck(self):
        deck = Deck(self.layered_deck().text())
        self.assertEqual((deck.materials, deck.water_proportion, deck.porosity_source,
                          deck.solver, deck.output), ("layered", [0.1, 0.25], "by_layer",
                                                      "default", None))
        self.assertIn('water_proportion = [0.1, 0.25]', deck.text())
        self.assertEqual(len(deck.plan_differences()), 3)  # materials, water(2), by_layer
        legacy = Deck.read(os.path.join(support.EXAMPLES, "fractal", "deck"))
        self.assertEqual(legacy.porosity_source, {"file": "porosity.frac"})
        with self.assertRaisesRegex(DeckError, "as_keyword"):
            legacy.materials = "layered"
        with self.assertRaisesRegex(DeckError, r"water_proportion\(2\) = 1.5 is outside"):
            deck.water_proportion = [0.1, 1.5]
        keyword = legacy.as_keyword()
        keyword.porosity_source = 0.2
        self.assertIn('model = "fractal" takes the porosity from a file', keyword.check()[0])

    def test_bad_keyword_decks_name_the_key(self):
        twin = support.read(os.path.join(support.EXAMPLES, "permafrost", "deck.toml"))
        cases = {
            "unknown key 'frq'": "frq = 1.0\n" + twin,
            "write each layer as": twin.replace("[[layer]]", "[layer.1]", 1)
                                       .replace("[[layer]]", "[layer.2]", 1),
            "nmat = 1 but the deck has 2": twin.replace("nmat = 2", "nmat = 1"),
            "nx must be an integer": twin.replace("nx = 20", "nx = 20.0"),
            "unknown key 'rho1' in \\[\\[layer\\]\\] 2": "\nrho1 =".join(
                twin.rsplit("\nro1 =", 1)),
            "no \\[run\\] table": re.sub(r"\[run\].*?\n\n", "", twin, flags=re.S),
            "water_proportion has 3 values": twin.replace("water_proportion = 0.1",
                                                          "water_proportion = [0.1, 0.1, 0.1]"),
            'porosity = "graded"': twin.replace("porosity = 0.1", 'porosity = "graded"'),
            'key_model = "ice"': twin.replace('"permafrost"', '"ice"', 1)}
        for message, text in cases.items():
            with self.assertRaisesRegex(DeckError, message, msg=message):
                Deck(text)


class Attributes(unittest.TestCase):
    def test_attribute_assignment_of_a_deck_value_changes_the_deck_that_runs(self):
        # A shadow attribute would read back 40 while the run used the old value.
        for deck in (support.small_deck(), support.small_deck().as_keyword()):
            deck.nx, deck.freq = 40, 1000.0
            again = Deck(deck.text())
            self.assertEqual((again["nx"], again["freq"]), (40, 1000.0), deck.form)
            self.assertNotIn("nx", vars(deck))
            with self.assertRaisesRegex(DeckError, "did you mean 'nx'"):
                deck.nxx = 40
            with self.assertRaisesRegex(DeckError, r'per-layer.*ro1\(1\)'):
                deck.ro1 = 2650.0
            with self.assertRaisesRegex(DeckError, "integer"):
                deck.ny = 4.5
            deck.model = "fractal"  # a choice by its name, as the keyword form writes it
            self.assertEqual(Deck(deck.text())["model"], 1)


class Locations(unittest.TestCase):
    def test_deck_errors_name_the_file_and_line(self):
        base = support.scratch(self)
        legacy = os.path.join(base, "deck")
        lines = support.read(os.path.join(support.EXAMPLES, "permafrost", "deck")).splitlines()
        lines[4] = "4O                  nx"  # a letter O for a zero
        with open(legacy, "w") as f:
            f.write("\n".join(lines) + "\n")
        with self.assertRaisesRegex(DeckError, "^%s, line 5: nx: '4O'" % re.escape(legacy)):
            Deck.read(legacy).nx
        text = support.read(os.path.join(support.EXAMPLES, "permafrost", "deck.toml"))
        for bad, line in (("ro3 = 920.0", 'ro3 = "920"'), ("nx = 20", "nx = 20 20")):
            path = os.path.join(base, "deck.toml")
            with open(path, "w") as f:
                f.write(text.replace(bad, line, 1))
            n = 1 + text[:text.index(bad)].count("\n")
            with self.assertRaises(DeckError) as caught:
                Deck.read(path)
            self.assertTrue(str(caught.exception).startswith("%s, line %d: " % (path, n)),
                            str(caught.exception))


if __name__ == "__main__":
    unittest.main()
