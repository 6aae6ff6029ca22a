"""Porosity fields for threephase: uniform, layered, fractal, from an image.

Every field is an (ny, nx) NumPy array whose element [k-1, j-1] is the
water volume fraction of cell (j, k): j = 1..nx along x from the left,
k = 1..ny along y from the bottom. So row 0 is the bottom row of the
sample; draw it with `origin="lower"`.

`write(field, path)` writes the field in the form the program reads from
porosity.frac: one value per line in the first 12 columns, x index
fastest, always with a decimal point (a value without one would carry 4
implied decimals).

A run refuses a cell without water (porosity 0: the cell's coefficients
divide by its water fraction) or without solid (porosity 1), so the
generators of random and image fields keep every cell inside
MIN_POROSITY..1 - MIN_POROSITY, moving the cells beyond onto the nearer
bound and saying how many they moved. (In the permafrost model a cell's
porosity must also stay below its layer's phi_a, which the deck holds.)
"""

import warnings

import numpy as np

from .deck import DeckError, parse_real

FRAC_WIDTH = 12
FRAC_IMPLIED = 4
# The smallest porosity the generators give a cell (and 1 - it the
# largest): one part in a thousand of water, which the run accepts and
# porosity.frac's ten decimals hold exactly.
MIN_POROSITY = 1e-3


def keep_runnable(field, what):
    """The field with every cell inside MIN_POROSITY..1 - MIN_POROSITY, and
    the share of cells moved onto those bounds; a warning naming `what`
    when some were."""
    moved = float(np.mean((field < MIN_POROSITY) | (field > 1.0 - MIN_POROSITY)))
    if moved > 0:
        warnings.warn("%s: %.1f %% of the cells clipped into %g..%g (a run refuses a cell "
                      "without water or without solid)"
                      % (what, 100 * moved, MIN_POROSITY, 1 - MIN_POROSITY), stacklevel=3)
    return np.clip(field, MIN_POROSITY, 1.0 - MIN_POROSITY), moved


def uniform(nx, ny, value):
    """A field of one porosity in every cell."""
    return np.full((ny, nx), float(value))


def layered(nx, ny, layers):
    """Horizontal layers from the bottom up: `layers` is a list of
    (thickness in cells, porosity); the last layer fills what is left."""
    field = np.empty((ny, nx))
    k = 0
    for n, (thickness, value) in enumerate(layers):
        top = ny if n == len(layers) - 1 else min(ny, k + int(thickness))
        field[k:top, :] = value
        k = top
    return field


def by_layer(nx, ny, thickness, water):
    """The field of a keyword deck's porosity = "by_layer": each row of cells
    takes the water proportion of its layer, rows 1..thickness[0] from the
    bottom layer 1, the next thickness[1] rows layer 2, repeating with period
    sum(thickness) up the sample."""
    period = sum(thickness)
    field = np.empty((ny, nx))
    for k in range(ny):
        field[k, :] = water[0] if k % period < thickness[0] else water[1]
    return field


def fractal(nx, ny, mean=0.2, std=0.05, correlation_length=4.0, hurst=0.5,
            seed=None, info=False, realization=None):
    """A von Karman self-affine random field by spectral synthesis.

    The power spectrum is P(k) ~ (1 + k^2 a^2)^-(hurst + 1) (2-D), with the
    correlation length `a` in cells (multiply by the cell side for metres).
    Beyond 1/a the spectrum falls as k^-(2 hurst + 2): hurst near 0 gives
    rough fields, near 1 smooth ones. The field is drawn on a grid twice the
    sample in each direction and cut, so it does not wrap around, then set
    to exactly `mean` and `std`; cells beyond MIN_POROSITY..1 - MIN_POROSITY
    (a run refuses porosity 0 and 1) are clipped onto those bounds, with a
    warning giving their share. `seed` draws the random medium, as NumPy's
    default_rng takes it: an integer (the same number gives the same field),
    a numpy.random.Generator (drawn from), or None (a new field each call);
    `realization` is another name for it. With info=True returns (field,
    clipped share of cells), without the warning.
    """
    if realization is not None:
        if seed is not None:
            raise ValueError("fractal: give seed or realization (its other name), not both")
        seed = realization
    if nx < 1 or ny < 1:
        raise ValueError("fractal: nx and ny must be at least 1")
    if correlation_length <= 0 or std < 0 or not 0 < hurst <= 1:
        raise ValueError("fractal: need correlation_length > 0, std >= 0, 0 < hurst <= 1")
    rng = np.random.default_rng(seed)
    mx, my = 2 * nx, 2 * ny
    kx = 2 * np.pi * np.fft.rfftfreq(mx)
    ky = 2 * np.pi * np.fft.fftfreq(my)
    k2 = ky[:, None] ** 2 + kx[None, :] ** 2
    amplitude = (1.0 + k2 * correlation_length ** 2) ** (-(hurst + 1.0) / 2.0)
    amplitude[0, 0] = 0.0  # the mean is set afterwards
    noise = np.fft.rfft2(rng.standard_normal((my, mx)))
    g = np.fft.irfft2(noise * amplitude, s=(my, mx))[:ny, :nx]
    g = g - g.mean()
    spread = g.std()
    g = g / spread if spread > 0 else g
    field = mean + std * g
    if info:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            return keep_runnable(field, "fractal porosity")
    return keep_runnable(field, "fractal porosity")[0]


def from_image(image, nx, ny, mapping="linear", low=MIN_POROSITY, high=0.4, threshold=0.5,
               pores="dark"):
    """A field from a grey-scale image (a CT slice): a PNG path (read with
    matplotlib) or a 2-D/3-D array, top row first as images are stored.

    Each cell takes the mean of the pixels over it. mapping="linear" maps
    the grey level g (0..1, pores dark unless pores="light") to
    low + (high - low) * pore_level; mapping="threshold" makes each pixel a
    pore (high) or grain (low) by comparing g with `threshold`, so a cell's
    value weighs high and low by its share of pore pixels. A grain pixel
    gets MIN_POROSITY by default, not 0, which a run refuses; cells outside
    MIN_POROSITY..1 - MIN_POROSITY are clipped onto those bounds with a
    warning.
    """
    grey = _grey_levels(image)
    pore_level = 1.0 - grey if pores == "dark" else grey
    if mapping == "threshold":
        pore_level = (pore_level > 1.0 - threshold if pores == "dark"
                      else pore_level > threshold).astype(float)
    elif mapping != "linear":
        raise ValueError("from_image: mapping is 'linear' or 'threshold'")
    pixels = low + (high - low) * pore_level
    # Image rows run top down; cell rows k run bottom up.
    return keep_runnable(_cell_means(pixels[::-1, :], nx, ny), "porosity from the image")[0]


def _grey_levels(image):
    if isinstance(image, (str, bytes)) or hasattr(image, "__fspath__"):
        import matplotlib.image
        image = matplotlib.image.imread(image)
    a = np.asarray(image, dtype=float)
    if a.ndim == 3:
        a = a[..., :3] @ np.array([0.299, 0.587, 0.114]) if a.shape[2] >= 3 else a[..., 0]
    if a.ndim != 2:
        raise ValueError("from_image: a grey-scale image is a 2-D array")
    top = a.max() if a.size else 1.0
    return a / 255.0 if top > 1.0 else a


def _cell_means(pixels, nx, ny):
    """Mean of the pixels falling in each of ny by nx cells."""
    rows = np.minimum((np.arange(pixels.shape[0]) * ny) // pixels.shape[0], ny - 1)
    cols = np.minimum((np.arange(pixels.shape[1]) * nx) // pixels.shape[1], nx - 1)
    sums = np.zeros((ny, nx))
    counts = np.zeros((ny, nx))
    np.add.at(sums, (rows[:, None], cols[None, :]), pixels)
    np.add.at(counts, (rows[:, None], cols[None, :]), 1.0)
    if np.any(counts == 0):
        raise ValueError("from_image: the image has fewer pixels than the grid has cells")
    return sums / counts


def write(field, path):
    """Write an (ny, nx) field as porosity.frac: one value a line, cells in
    the order k = 1..ny outer, j = 1..nx inner."""
    a = np.asarray(field, dtype=float)
    if a.ndim != 2:
        raise ValueError("porosity.write: the field must be an (ny, nx) array")
    if not np.all(np.isfinite(a)) or a.min() < 0.0 or a.max() > 1.0:
        raise ValueError("porosity.write: every value must be a porosity in 0..1")
    with open(path, "w") as f:
        for v in a.ravel():
            # 0.xxxxxxxxxx fills the 12 columns: ten decimals, a point always.
            f.write("%.10f\n" % v)


def read(path, nx, ny):
    """The (ny, nx) field of a porosity.frac, read as the program reads it:
    the first 12 columns of each line, 4 implied decimals without a point."""
    field = np.empty((ny, nx))
    with open(path) as f:
        lines = f.read().splitlines()
    if len(lines) < nx * ny:
        raise DeckError("%s: %d lines, the grid needs %d" % (path, len(lines), nx * ny))
    for n in range(nx * ny):
        field.flat[n] = parse_real(lines[n][:FRAC_WIDTH], implied=FRAC_IMPLIED)
    return field
