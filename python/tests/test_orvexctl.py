import os
import subprocess
import unittest

from pngread import read_rgb
from support import EmulatorCase

ORVEXCTL = os.environ.get("ORVEXCTL", os.path.join(os.path.dirname(__file__), "..", "..", "build", "bin",
                                                    "orvexctl"))


def run(*args):
    done = subprocess.run([ORVEXCTL, *args], capture_output=True, text=True, timeout=120)
    return done.returncode, done.stdout, done.stderr


class OrvexctlTest(EmulatorCase):
    def test_help_for_every_command_and_usage_errors(self):
        for command in ("list", "info", "get", "set", "acquire", "replay", "snapshot", "eeprom", "serial", "multi"):
            code, out, _ = run(command, "--help")
            self.assertEqual(code, 0, command)
            self.assertIn("usage: orvexctl", out)
        self.assertEqual(run("frobnicate")[0], 2)
        self.assertEqual(run("set", "CamMode")[0], 2)
        self.assertEqual(run("acquire", "-n", "zero")[0], 2)

    def test_list_info_get_set(self):
        code, out, _ = run("list")
        self.assertEqual(code, 0)
        self.assertIn("serial OVX0001", out)
        code, out, _ = run("info")
        self.assertEqual(code, 0)
        self.assertIn("system   k7cam_tq20", out)
        code, out, _ = run("set", "CamMode=Window", "SensNFrames=0x10")
        self.assertEqual((code, out), (0, "CamMode=5\nSensNFrames=16\n"))
        code, out, _ = run("--set", "CamMode=A16Z16", "get", "CamMode")
        self.assertIn("CamMode=4 (A16Z16)", out)
        self.assertEqual(run("get", "NoSuchName")[0], 4)
        self.assertEqual(run("set", "CamMode=NotAName")[0], 2)

    def test_unconnected_system_and_missing_camera(self):
        self.assertEqual(run("-s", "sys=k7cam_sim", "acquire", "-n", "2")[0], 0)
        code, _, err = run("-s", "sys=k7cam_tq20 serial=NOPE", "-q", "info")
        self.assertEqual(code, 3)
        self.assertIn("cannot open", err)

    def test_acquire_record_and_replay(self):
        stream = self.path("run.pvs")
        code, out, err = run("--set", "CamMode=A16Z16", "acquire", "-n", "3", "-r", stream)
        self.assertEqual(code, 0, err)
        self.assertIn("3 acquisition(s)", out)
        self.assertIn("acquisition 3/3", err)
        code, out, err = run("replay", stream)
        self.assertEqual(code, 0, err)
        self.assertIn("3 acquisition(s)", out)
        self.assertTrue(err.rstrip().endswith("acquisition 3  1.0 MB") or "acquisition 3 " in err, err)
        self.assertNotIn("acquisition 4", err)

    def test_snapshot_png_shows_the_step(self):
        code, out, err = run("--set", "CamMode=A16Z16", "snapshot", "-o", self.tmp)
        self.assertEqual(code, 0, err)
        width, height, rows = read_rgb(self.path("surface.png"))
        self.assertEqual(width, 280)
        self.assertGreater(height, 292)  # the colour scale bar below the image
        # The step (96 <= x, y < 192) is raised by 4 frames: across its left edge the
        # colour jumps, while two pixels side by side on the plane look alike.
        self.assertNotEqual(rows[150][94], rows[150][97])
        plane_jump = sum(abs(p - q) for p, q in zip(rows[150][60], rows[150][61]))
        step_jump = sum(abs(p - q) for p, q in zip(rows[150][95], rows[150][96]))
        self.assertGreater(step_jump, 5 * max(plane_jump, 1))
        with open(self.path("surface.csv")) as f:
            lines = f.read().splitlines()
        self.assertEqual(len(lines), 292)
        self.assertEqual(float(lines[0].split(";")[0]), 8.0)
        self.assertEqual(float(lines[100].split(";")[100]), 16.6875)

    def test_snapshot_needs_a_surface_mode(self):
        self.assertEqual(run("--set", "CamMode=IQ16", "snapshot", "-o", self.tmp)[0], 2)

    def test_serial_and_eeprom(self):
        code, out, _ = run("serial", "get")
        self.assertEqual((code, out), (0, "OVX0001\n"))
        image = self.path("eeprom.iic")
        code, out, _ = run("eeprom", "dump", image)
        self.assertEqual(code, 0)
        with open(image, "rb") as f:
            self.assertEqual(f.read(1), b"\xc2")
        self.assertEqual(run("serial", "set", "X" * 17)[0], 2)


class OrvexctlMultiTest(EmulatorCase):
    emulator_config = "cameras = 3\n"

    def test_every_listed_camera_in_its_own_thread(self):
        code, out, err = run("--set", "CamMode=A16Z16", "multi", "-n", "4")
        self.assertEqual(code, 0, err)
        for serial in ("OVX0001", "OVX0002", "OVX0003"):
            self.assertRegex(out, serial + r": 4 acquisition\(s\), 1\.3 MB, [0-9.]+ acquisitions/s")
        self.assertRegex(out, r"total: 3 camera\(s\), 12 acquisition\(s\) in [0-9.]+ s")

    def test_named_cameras_and_one_that_is_missing(self):
        code, out, _ = run("-q", "multi", "-n", "2", "OVX0003", "NOPE")
        self.assertEqual(code, 3)
        self.assertIn("OVX0003: 2 acquisition(s)", out)
        self.assertIn("NOPE: not opened after 0 acquisition(s): CFactory::BuildSysVA(): Could not open any USB device",
                      out)


if __name__ == "__main__":
    unittest.main()
