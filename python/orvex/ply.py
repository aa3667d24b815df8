"""PLY files of point clouds: x, y, z and amplitude as float properties."""

import numpy as np

_PROPERTIES = ("x", "y", "z", "amplitude")


def write_ply(path, points, comments=(), binary=True):
    """Writes an (N, 4) array of x, y, z, amplitude; binary little-endian or ASCII."""
    points = np.ascontiguousarray(points, dtype="<f4").reshape(-1, 4)
    lines = ["ply", "format %s 1.0" % ("binary_little_endian" if binary else "ascii")]
    # A line break inside a comment would end the header early.
    lines += ["comment " + " ".join(str(c).splitlines()) for c in comments]
    lines += ["element vertex %d" % len(points)] + ["property float " + p for p in _PROPERTIES] + ["end_header"]
    with open(path, "wb") as f:
        f.write(("\n".join(lines) + "\n").encode("utf-8"))
        if binary:
            f.write(points.tobytes())
        else:
            np.savetxt(f, points, fmt="%.9g")
