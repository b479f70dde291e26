#!/usr/bin/env python3
"""Scores the turn-and-turn-back results that bench/quality.sh made.

    quality.py table MANIFEST      prints the markdown tables
    quality.py check PICTURE.png   checks the registration on a picture of known shift

MANIFEST has one tab-separated row per result:
    psnr  VARIANT  PHOTO  ANGLE  ORIGINAL.png  BACK.png
    halo  VARIANT  -      ANGLE  -             TURNED.png

Registration: the original's central region (the middle half each way) is found in the
back-turned canvas by the least sum of squared luma differences, computed for every
integer offset at once from an FFT cross-correlation; then the fractional shift is the
one that minimises the mean squared difference between that region and the original
shifted by it. The original is shifted by the Fourier shift theorem on a mirror-padded
window a margin larger than the region, so the shift is exact for band-limited detail and
the window's own edges are too far away to ring into the region. PSNR is taken at that
shift, on Rec. 601 luma, over the central region only.
"""

import os
import subprocess
import sys

import numpy as np
from scipy import fft, ndimage, optimize, signal

PEAK = 255.0
MARGIN = 64  # of the original around the region, so that its shift does not ring into it
INSIDE = 8  # the halo ignores pixels nearer than this to the turned picture's outline
LOW, HIGH = 64.0, 192.0  # the step picture's two levels
CONVERT = os.environ.get("QUALITY_CONVERT", "convert")


def read_png(path):
    """The picture as an 8-bit array (H, W, 3), decoded by ImageMagick into PPM."""
    ppm = subprocess.run(
        [CONVERT, path, "+repage", "-background", "black", "-alpha", "remove",
         "-depth", "8", "ppm:-"],
        check=True, capture_output=True).stdout
    return parse_ppm(ppm)


def parse_ppm(data):
    fields, at = [], 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b"#":
            at = data.index(b"\n", at)
            continue
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    magic, width, height, top = fields[0], int(fields[1]), int(fields[2]), int(fields[3])
    if magic != b"P6" or top != 255:
        sys.exit(f"quality.py: not an 8-bit P6 picture ({magic!r}, max {top})")
    pixels = np.frombuffer(data, np.uint8, width * height * 3, at + 1)
    return pixels.reshape(height, width, 3)


def luma(rgb):
    rgb = rgb.astype(np.float64)
    return 0.299 * rgb[..., 0] + 0.587 * rgb[..., 1] + 0.114 * rgb[..., 2]


def central_box(height, width):
    """Rows y0:y1 and columns x0:x1 of the middle half in each direction."""
    y0, x0 = height // 4, width // 4
    return y0, y0 + height // 2, x0, x0 + width // 2


def psnr(mse):
    return float("inf") if mse <= 0 else 10.0 * np.log10(PEAK * PEAK / mse)


class ShiftedOriginal:
    """The original's central region, shifted by any fraction of a pixel."""

    def __init__(self, original):
        self.box = central_box(*original.shape)
        y0, y1, x0, x1 = self.box
        m = min(MARGIN, y0, x0)
        window = original[y0 - m:y1 + m, x0 - m:x1 + m]
        # Mirroring makes the window periodic without a jump, so the shift does not ring.
        periodic = np.pad(window, ((0, window.shape[0]), (0, window.shape[1])), "symmetric")
        self.shape = periodic.shape
        self.spectrum = fft.rfft2(periodic)
        self.ky = fft.fftfreq(periodic.shape[0])[:, None]
        self.kx = fft.rfftfreq(periodic.shape[1])[None, :]
        self.crop = (slice(m, m + y1 - y0), slice(m, m + x1 - x0))

    def at(self, sy, sx):
        """The region as the original moved down by sy and right by sx."""
        # The phase ramp is separable: two short exponentials, not one the picture's size.
        phase = np.exp(-2j * np.pi * self.ky * sy) * np.exp(-2j * np.pi * self.kx * sx)
        return fft.irfft2(self.spectrum * phase, self.shape)[self.crop]


def integer_offset(canvas, template):
    """Top-left of the best match of template in canvas, by least squared difference."""
    th, tw = template.shape
    cross = signal.fftconvolve(canvas, template[::-1, ::-1], mode="valid")
    squares = np.pad(canvas * canvas, ((1, 0), (1, 0))).cumsum(0).cumsum(1)
    energy = squares[th:, tw:] - squares[:-th, tw:] - squares[th:, :-tw] + squares[:-th, :-tw]
    ssd = energy - 2.0 * cross  # the template's own energy is the same at every offset
    return np.unravel_index(np.argmin(ssd), ssd.shape)


def register(original_luma, canvas_luma, shifted=None):
    """Where the original lies in the canvas, and the PSNR there.

    Returns (dy, dx, mse): the original's top-left pixel sits at (dy, dx) of the canvas
    (fractional), and mse is the central region's mean squared luma difference there.
    """
    shifted = shifted or ShiftedOriginal(original_luma)
    y0, y1, x0, x1 = shifted.box
    iy, ix = integer_offset(canvas_luma, original_luma[y0:y1, x0:x1])
    iy, ix = int(iy), int(ix)
    region = canvas_luma[iy:iy + y1 - y0, ix:ix + x1 - x0]

    def mse(s):
        return float(np.mean((region - shifted.at(s[0], s[1])) ** 2))

    # A coarse look first, so that a textured picture cannot trap the fine search.
    grid = [(sy, sx) for sy in (-0.5, 0.0, 0.5) for sx in (-0.5, 0.0, 0.5)]
    start = min(grid, key=mse)
    best = optimize.minimize(mse, start, method="Nelder-Mead",
                             options={"xatol": 1e-3, "fatol": 1e-9,
                                      "initial_simplex": [start, np.add(start, (0.1, 0)),
                                                          np.add(start, (0, 0.1))]})
    sy, sx = best.x
    # Canvas row iy holds the original's row y0 - sy, so the original's row 0 lies at iy - y0 + sy.
    return iy - y0 + sy, ix - x0 + sx, best.fun


def halo(turned_luma):
    """Overshoot, in levels, of the turned step beyond its two levels, inside the picture."""
    picture = ndimage.binary_fill_holes(turned_luma > LOW / 2)
    inside = ndimage.distance_transform_edt(picture) > INSIDE
    values = np.round(turned_luma[inside], 6)  # luma's weights sum to 1 only to rounding
    return max(0.0, values.max() - HIGH, LOW - values.min())


def read_manifest(path):
    with open(path) as rows:
        return [line.rstrip("\n").split("\t") for line in rows if line.strip()]


def score(manifest):
    """PSNR per (variant, photo, angle) and halo per variant; where each lay goes to stderr."""
    originals, results, halos = {}, {}, {}
    for kind, variant, photo, angle, original, result in manifest:
        if kind == "halo":
            halos[variant] = halo(luma(read_png(result)))
            continue
        if original not in originals:
            o = luma(read_png(original))
            originals[original] = (o, ShiftedOriginal(o))
        o, shifted = originals[original]
        dy, dx, mse = register(o, luma(read_png(result)), shifted)
        results[variant, photo, angle] = psnr(mse)
        print(f"  {variant:<22} {photo:<9} {angle:>3}°  at ({dy:8.3f}, {dx:8.3f})"
              f"  {psnr(mse):6.2f} dB", file=sys.stderr)
    return results, halos


def ordered(values):
    return list(dict.fromkeys(values))


def print_tables(results, halos):
    variants = ordered(v for v, _, _ in results)
    photos = ordered(p for _, p, _ in results)
    angles = ordered(a for _, _, a in results)

    def mean(pick):
        chosen = [value for key, value in results.items() if pick(*key)]
        return f"{np.mean(chosen):.2f}" if chosen else "-"

    print("| program | mean PSNR (dB) | " + " | ".join(photos) + " | halo (levels) |")
    print("| --- | ---: | " + " | ".join("---:" for _ in photos) + " | ---: |")
    for v in variants:
        cells = [mean(lambda vv, p, a: vv == v)]
        cells += [mean(lambda vv, pp, a, p=p: vv == v and pp == p) for p in photos]
        h = f"{halos[v]:.1f}" if v in halos else "-"
        print(f"| {v} | " + " | ".join(cells) + f" | {h} |")

    print()
    print("Per photo and angle (dB):")
    print()
    columns = [(p, a) for p in photos for a in angles]
    print("| program | " + " | ".join(f"{p} {a}°" for p, a in columns) + " |")
    print("| --- | " + " | ".join("---:" for _ in columns) + " |")
    for v in variants:
        print(f"| {v} | " + " | ".join(f"{results[v, p, a]:.2f}" for p, a in columns) + " |")


def fourier_shift(picture, sy, sx):
    """The whole picture moved down by sy and right by sx, band-limited, mirrored at its edges."""
    height, width = picture.shape
    periodic = np.pad(picture, ((0, height), (0, width)), "symmetric")
    ky = fft.fftfreq(periodic.shape[0])[:, None]
    kx = fft.fftfreq(periodic.shape[1])[None, :]
    moved = fft.ifft2(fft.fft2(periodic) * np.exp(-2j * np.pi * (ky * sy + kx * sx))).real
    return moved[:height, :width]


def check(path):
    """Registers the picture against itself moved by known amounts; prints what it found.

    A Fourier move must be found to the hundredth and score the same wherever it lies in
    its canvas; a spline move shows what one good but different interpolator costs.
    """
    o = luma(read_png(path))
    shifted = ShiftedOriginal(o)
    height, width = o.shape
    move = (0.37, -0.23)
    cases = [("Fourier", fourier_shift(o, *move), move, 41, 17),
             ("Fourier", fourier_shift(o, *move), move, 42, 20),
             ("quintic spline", ndimage.shift(o, move, order=5, mode="mirror"), move, 41, 17),
             ("quintic spline", ndimage.shift(o, (0.5, 0.5), order=5, mode="mirror"),
              (0.5, 0.5), 41, 17)]
    scores = []
    for how, moved, (my, mx), top, left in cases:
        canvas = np.zeros((height + 90, width + 70))
        canvas[top:top + height, left:left + width] = moved
        dy, dx, mse = register(o, canvas, shifted)
        miss = max(abs(dy - top - my), abs(dx - left - mx))
        print(f"- {os.path.basename(path)} moved by ({my}, {mx}) px ({how}) into a black canvas"
              f" at ({top}, {left}): found {miss:.3f} px off, {psnr(mse):.2f} dB")
        if how == "Fourier":
            scores.append(psnr(mse))
            if miss > 0.01 or scores[-1] < 60:
                sys.exit("quality.py: the registration missed a picture moved by a known amount")
    if abs(scores[0] - scores[1]) > 0.01:
        sys.exit("quality.py: the PSNR depends on where the picture lies in its canvas")


def main(argv):
    if len(argv) != 3 or argv[1] not in ("table", "check"):
        sys.exit(__doc__)
    if argv[1] == "check":
        check(argv[2])
        return
    results, halos = score(read_manifest(argv[2]))
    print_tables(results, halos)


if __name__ == "__main__":
    main(sys.argv)
