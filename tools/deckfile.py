"""The deck's line forms and number grammar for scripts under tools/: the
package's deck module (python/threephase/deck.py), which holds them once."""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                "python"))
from threephase.deck import (FIXED_FORMS, HEAD, LAYER, MAX_LAYERS, Deck, DeckError,  # noqa: E402,F401
                             field_kind, field_names, normalize_name, parse_field, parse_int,
                             parse_real)
