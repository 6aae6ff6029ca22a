"""tools/check-structure on small planted trees: each rule fails on the slip it
is there to catch, and passes on the shapes the program uses."""

import os
import subprocess
import sys
import tempfile
import textwrap
import unittest

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
CHECK = os.path.join(TOP, "tools", "check-structure")


def run_check(files):
    """Exit status and standard error of the check on a tree holding `files`."""
    with tempfile.TemporaryDirectory() as root:
        for path, text in files.items():
            full = os.path.join(root, path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "w", encoding="utf-8") as f:
                f.write(textwrap.dedent(text))
        r = subprocess.run([sys.executable, CHECK, "--root", root], capture_output=True,
                           text=True, check=False)
        return r.returncode, r.stderr


def params(n, name="f"):
    return f"void {name}(" + ", ".join(f"int a{i}" for i in range(n)) + ");\n"


class Includes(unittest.TestCase):
    def test_a_clean_layering_passes(self):
        status, err = run_check({
            "common/a.hpp": '#include "common/b.hpp"\n',
            "deck/d.hpp": '#include "common/a.hpp"\n',
            "driver/r.cpp": '#include "deck/d.hpp"\n#include "fem/f.hpp"\n',
            "cli/main.cpp": '#include "cli/c.hpp"\n#include "driver/r.hpp"\n',
            # Tests are not the program: they may include across folders.
            "tests/x.cpp": '#include "driver/r.hpp"\n#include "deck/d.hpp"\n',
            "deck/x.cpp": '#include "tests/x.hpp"\n',
        })
        self.assertEqual(status, 0, err)

    def test_common_reaching_up_is_named(self):
        status, err = run_check({"common/a.hpp": '#include "deck/d.hpp"\n'})
        self.assertEqual(status, 1)
        self.assertIn("common includes deck/ (common/a.hpp)", err)

    def test_a_folder_including_cli_is_named_even_a_test(self):
        status, err = run_check({"driver/r.cpp": '  #  include "cli/commands.hpp"\n',
                                 "tests/cli/t.cpp": '#include "cli/cli.hpp"\n'})
        self.assertEqual(status, 1)
        self.assertIn("driver includes cli/ (driver/r.cpp)", err)
        self.assertIn("tests includes cli/ (tests/cli/t.cpp)", err)

    def test_two_folders_including_each_other_are_named_with_a_file_each_way(self):
        status, err = run_check({"deck/d.cpp": '#include "model/m.hpp"\n',
                                 "model/m.cpp": '#include "deck/d.hpp"\n'})
        self.assertEqual(status, 1)
        self.assertIn("deck, model include each other", err)
        self.assertIn("deck -> model (deck/d.cpp)", err)
        self.assertIn("model -> deck (model/m.cpp)", err)

    def test_a_longer_cycle_is_a_cycle_too(self):
        status, err = run_check({"fem/a.hpp": '#include "sparse/b.hpp"\n',
                                 "sparse/b.hpp": '#include "results/c.hpp"\n',
                                 "results/c.hpp": '#include "fem/a.hpp"\n'})
        self.assertEqual(status, 1)
        self.assertIn("fem, results, sparse include each other", err)

    def test_includes_in_comments_and_system_headers_do_not_count(self):
        status, err = run_check({"common/a.hpp": '// #include "deck/d.hpp" was here\n'
                                                 '#include <deck/d.hpp>\n'})
        # A comment that starts the line is not a preprocessor line; the
        # system header is not one of ours.
        self.assertEqual(status, 0, err)


class Parameters(unittest.TestCase):
    def test_twelve_parameters_pass_and_thirteen_fail_with_file_and_line(self):
        self.assertEqual(run_check({"sparse/s.hpp": params(12)})[0], 0)
        status, err = run_check({"sparse/s.hpp": "#pragma once\n\n" + params(13, "md")})
        self.assertEqual(status, 1)
        self.assertIn("sparse/s.hpp:3: md takes 13 parameters", err)

    def test_definitions_qualified_names_and_references_are_declarations(self):
        status, err = run_check({"fem/k.cpp": textwrap.dedent("""\
            namespace {
            const double& tp::Kernel::run(const int& n, double* a, int b[3], std::map<int, int> m,
                       int c = f(1, 2), int d, int e, int g, int h, int i, int j, int k, int l) {
              return a[0];
            }
            }""")})
        self.assertEqual(status, 1)
        self.assertIn("fem/k.cpp:2: run takes 13 parameters", err)

    def test_commas_inside_templates_defaults_and_function_types_do_not_count(self):
        status, err = run_check({"deck/t.hpp": textwrap.dedent("""\
            void f(std::map<int, std::pair<int, int>> m, int a = g(1, 2, 3, 4, 5, 6, 7, 8, 9, 10,
                   11, 12, 13), void (*cb)(int, int, int, int, int, int, int, int, int, int, int,
                   int, int));
            """)})
        self.assertEqual(status, 0, err)

    def test_calls_of_many_arguments_are_not_declarations(self):
        status, err = run_check({"driver/p.cpp": textwrap.dedent("""\
            void report(int a) {
              std::printf("%d %d %d %d %d %d %d %d %d %d %d %d %d", a, a, a, a, a, a, a, a, a, a,
                          a, a, a);
              const int x = sum(a, a, a, a, a, a, a, a, a, a, a, a, a);
              return fill(a, a, a, a, a, a, a, a, a, a, a, a, a);
            }
            """)})
        self.assertEqual(status, 0, err)

    def test_parameters_in_comments_and_strings_are_not_read(self):
        status, err = run_check({"model/c.hpp": "/* " + params(13) + " */\n// " + params(13)
                                 + 'const char* s = "' + params(13).strip() + '";\n'})
        self.assertEqual(status, 0, err)


class ThisTree(unittest.TestCase):
    def test_the_program_keeps_every_rule(self):
        r = subprocess.run([sys.executable, CHECK], capture_output=True, text=True, check=False)
        self.assertEqual(r.returncode, 0, r.stderr)


if __name__ == "__main__":
    unittest.main()
