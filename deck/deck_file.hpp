#pragma once
// A deck of either form read from a file: the entry of the commands that take
// a deck by name (run, check, convert).
#include <cstdio>
#include <string>
#include <vector>

#include "common/warnings.hpp"
#include "deck/deck_record.hpp"
#include "deck/keyword_deck.hpp"

namespace tp {

// The largest deck read: a deck is a few dozen lines, so anything past a few
// megabytes is not one (a device, an image, a log), and is not read whole.
constexpr long long kMaxDeckBytes = 4LL << 20;

// Reads the whole of the file `path` into text; false when it cannot be read
// (read_deck_file's refusals included).
bool read_text_file(const char* path, std::string& text);

// Reads the legacy deck `text` from the source named `name` into d (with a
// record, noting how each value was read), echoing it on standard output or
// not at all. Bad input ends the run with a message naming the line.
void read_legacy_text(const std::string& text, const char* name, Deck& d, bool echo,
                      DeckRecord* record = nullptr);

// Reads the deck file `path` into text. Returns 0, or kInputErrorStatus with
// why filled when it cannot be opened, is not a regular file (a folder, a
// pipe or process substitution, a device: a pipe is refused rather than read
// once here and found empty by a later reader), or passes kMaxDeckBytes.
int read_deck_file(const char* path, std::string& text, std::string& why);

// Reads standard input into text up to kMaxDeckBytes; false when it passes
// them (text then holds the first kMaxDeckBytes + 1 bytes).
bool read_bounded_stdin(std::string& text);

// Reads the deck `text` of either form (told apart by content) into d and
// plan: a keyword deck through its reader (returns its status, err filled),
// a legacy deck through the legacy reader with its echo discarded (which
// ends the run itself on bad input, as a legacy run would) and the plan of
// the legacy run. Returns 0 on success.
int read_deck_text(const std::string& text, Deck& d, RunPlan& plan, DeckError& err);

// Reads the deck `text` of either form, from the source named `name`
// ("standard input" for the legacy invocation, else the deck's file), into
// d and plan, and echoes it on standard output as the legacy reader does.
// Bad input ends the run with a message naming the source and line (and, in
// a keyword deck, the key). With a record, a legacy deck's values are noted
// in it as they are read, those a keyword deck gives once read, each with
// its line. Returns the form.
DeckForm read_deck_source(const std::string& text, const char* name, Deck& d, RunPlan& plan,
                          DeckRecord* record = nullptr);

// The deck on standard input (the legacy invocation) or in the file `path`
// (run) into text; a deck past the size bound, or a path that is no regular
// file, ends the run as bad input.
void read_stdin_text(std::string& text);
void read_named_deck(const char* path, std::string& text);

// Adds to `out` a warning of a first cell whose lambda1 or lambda3 is not
// positive, which a keyword deck's plan lets through.
void warn_first_cell_lambda(const Coefficients& co, const RunPlan& plan, Warnings& out);

// What `threephase convert` does: the deck of the other form of the file
// `path` into out (to the legacy form when to_legacy, else to the keyword
// form), with the warnings of what the legacy form cannot say. A deck already
// in the asked form is converted through its values all the same. Returns 0,
// or kInputErrorStatus with err filled (a file that cannot be read: line 0).
int convert_deck_file(const char* path, bool to_legacy, std::string& out,
                      std::vector<std::string>& warnings, DeckError& err);

// The body of `threephase convert DECK [--legacy] [-o FILE]`: writes the
// converted deck on standard output (out_path empty) or into out_path, the
// warnings of what the legacy form cannot say and any error on standard
// error ("threephase: DECK, line N: ..."). Returns the exit status: 0, or 2
// for a deck that cannot be read or converted or an output that cannot be
// written.
int convert_command(const std::string& deck, bool to_legacy, const std::string& out_path);

}  // namespace tp
