"""Point clouds from `orvexctl cloud` and orvex.surface.point_cloud(), read back from
their PLY files and compared with the emulated scene's geometry in physical units."""

import os
import subprocess
import tempfile
import unittest

import numpy as np

import orvex
from orvex import surface

WIDTH, HEIGHT, PITCH = 280, 292, 40.0  # sensor k7_280x292, pixel pitch 40 x 40 micrometres
# The emulated position counter: 65000 + 250 i at frame i, frame centres 125 counts earlier.
COUNTS_AT_FRAME_0, COUNTS_PER_FRAME = 64875.0, 250.0


def scene_depth(cols, rows):
    step = (cols >= 96) & (cols < 192) & (rows >= 96) & (rows < 192)
    return (256 + cols + rows // 2 + np.where(step, 128, 0)) / 32.0


def scene_amplitude(cols, rows):
    step = (cols >= 96) & (cols < 192) & (rows >= 96) & (rows < 192)
    return np.where(step, 1000.0, 500.0)


def window_amplitude(cols, rows):
    """Window mode gives the lock-in amplitude of the frame nearest the surface."""
    depth = scene_depth(cols, rows)
    middle = np.floor(depth + 0.5)
    return scene_amplitude(cols, rows) * np.sqrt(np.maximum(0, 1 - np.abs(middle - depth) / 2))


def read_ply(path):
    """(comments, (N, 4) points) of a PLY file with x, y, z, amplitude floats."""
    with open(path, "rb") as f:
        lines = []
        while not lines or lines[-1] != "end_header":
            lines.append(f.readline().decode("ascii").rstrip("\n"))
        body = f.read()
    assert lines[0] == "ply", lines[0]
    count = int(next(l.split()[2] for l in lines if l.startswith("element vertex")))
    properties = [l.split()[2] for l in lines if l.startswith("property float")]
    assert properties == ["x", "y", "z", "amplitude"], properties
    if "format binary_little_endian 1.0" in lines:
        points = np.frombuffer(body, dtype="<f4").reshape(-1, 4)
    else:
        assert "format ascii 1.0" in lines
        points = np.loadtxt(body.decode("ascii").splitlines(), dtype=np.float64, ndmin=2)
    assert len(points) == count, (len(points), count)
    return [l[len("comment "):] for l in lines if l.startswith("comment ")], points


class PointCloudTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.tmp.cleanup()

    def path(self, name):
        return os.path.join(self.tmp.name, name)

    def orvexctl_cloud(self, settings, *args):
        command = [os.environ["ORVEXCTL"], "-q"]
        for s in settings:
            command += ["--set", s]
        out = self.path("cloud.ply")
        subprocess.run(command + ["cloud", "-o", out] + list(args), check=True, capture_output=True, timeout=60)
        return read_ply(out)

    def check_grid(self, points, depth_to_z, tolerance, amplitude=scene_amplitude):
        """Every pixel present once, at its place, with the scene's depth and amplitude."""
        self.assertEqual(len(points), WIDTH * HEIGHT)
        cols, rows = np.rint(points[:, 0] / PITCH), np.rint(points[:, 1] / PITCH)
        np.testing.assert_allclose(points[:, 0], cols * PITCH, atol=1e-3)
        np.testing.assert_allclose(points[:, 1], rows * PITCH, atol=1e-3)
        self.assertEqual(len(set(zip(cols, rows))), WIDTH * HEIGHT)
        np.testing.assert_allclose(points[:, 2], depth_to_z(scene_depth(cols, rows)), atol=tolerance)
        np.testing.assert_allclose(points[:, 3], amplitude(cols, rows), atol=1 / 16)

    def test_orvexctl_writes_binary_and_ascii_clouds_in_physical_units(self):
        a16z16 = ["CamMode=A16Z16", "SensNFrames=32"]
        comments, binary = self.orvexctl_cloud(a16z16)
        self.check_grid(binary, lambda d: COUNTS_AT_FRAME_0 + COUNTS_PER_FRAME * d, 0.01)
        self.assertTrue(any("micrometres" in c and "40 x 40" in c for c in comments), comments)
        self.assertTrue(any(c.startswith("z: position counter counts") for c in comments), comments)
        _, ascii_points = self.orvexctl_cloud(a16z16, "--ascii")
        np.testing.assert_allclose(ascii_points, binary, rtol=1e-6)
        # Four frames give too few counter samples to scale: z stays in frames and the header says so.
        comments, frames = self.orvexctl_cloud(["CamMode=A16Z16", "SensNFrames=4"])
        self.check_grid(frames, lambda d: d, 1e-6)
        self.assertTrue(any(c.startswith("z: frames") for c in comments), comments)

    def test_python_cloud_through_a_ztag_table_from_window_data(self):
        table = self.path("table.ztag")
        with open(table, "w") as f:
            f.write("0 0\n50 -250\n100 -500\n")  # z = 5 units per frame (the library negates z)
        with orvex.Camera() as cam:
            cam.maps["CamMode"] = "Window"
            cam.maps["SensNFrames"] = 32
            cam.set("ExSimpMaxHwin", 3)
            cam.acquire()
            cloud = surface.point_cloud(cam, method="centroid", ztag=table)
            frames = surface.point_cloud(cam, frames=True)
        self.assertIn("z: units of the zTag table " + table, cloud.comments)
        for binary in (True, False):
            cloud.write_ply(self.path("py.ply"), binary=binary)
            comments, points = read_ply(self.path("py.ply"))
            self.assertEqual(comments, cloud.comments)
            self.check_grid(points, lambda d: 5 * d, 5 * 0.002, window_amplitude)
        self.check_grid(frames.points, lambda d: d, 0.002, window_amplitude)

    def test_pixels_without_a_value_are_left_out(self):
        depth = np.array([[1.0, 2.0], [3.0, np.nan]], dtype=np.float32)
        extracted = np.array([[1.0, np.nan], [3.0, 4.0]], dtype=np.float32)
        amplitude = np.array([[5.0, 5.0], [0.0, 5.0]], dtype=np.float32)
        points = surface.cloud_from_images(depth, extracted, amplitude, (40, 50))
        np.testing.assert_array_equal(points, [[0, 0, 1, 5]])


if __name__ == "__main__":
    unittest.main()
