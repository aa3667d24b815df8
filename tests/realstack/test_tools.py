"""The kit's programs on the real USB stack: Debian's libusb-0.1 on usbfs."""

import os
import subprocess
import unittest

import numpy as np

import orvex
from realstack import RealStackCase, ctl, node_of

TESTER = os.environ["ORVEX_TESTER"]


def scene_depth(x, y):
    """Ground truth of the emulated scene in frames (docs/emulator-scene.md)."""
    step = 96 <= x < 192 and 96 <= y < 192
    return (256 + x + y // 2 + (128 if step else 0)) / 32.0


class ToolsTest(RealStackCase):
    def test_the_system_libusb_is_loaded_under_the_umockdev_preload(self):
        self.assertEqual(orvex.list_cameras(), ["OVX0001"])
        with open("/proc/self/maps") as f:
            libraries = {line.split()[-1] for line in f if ".so" in line}
        libusb = [path for path in libraries if os.path.basename(path).startswith("libusb-0.1.so.4")]
        self.assertEqual(len(libusb), 1, libraries)
        self.assertTrue(libusb[0].startswith(("/usr/lib", "/lib")), libusb)
        self.assertTrue(any("libumockdev-preload" in path for path in libraries))
        self.assertEqual(node_of(0)[0][:16], "/dev/bus/usb/001")

    def test_list_info_get_set_and_every_mode_at_full_size(self):
        code, out, err = self.orvexctl("list")
        self.assertEqual((code, out), (0, "1 camera(s)\n  0: serial OVX0001  usb 0852:0081  firmware running\n"),
                         err)
        code, out, _ = self.orvexctl("info")
        self.assertIn("system   k7cam_tq20", out)
        code, out, _ = self.orvexctl("set", "CamMode=Window", "SensNFrames=0x10")
        self.assertEqual((code, out), (0, "CamMode=5\nSensNFrames=16\n"))
        # Raw acquisition bytes per mode with 32 frames and a half window of 3.
        sizes = {0: 32 * 360000, 1: 32 * 164688, 2: 32 * 164688, 3: 32 * 360000, 4: 327040, 5: 7 * 327040 + 163520,
                 7: 327040}
        for mode, data in sizes.items():
            code, out, err = self.orvexctl("-q", "--set", "CamMode=%d" % mode, "--set", "SensNFrames=32",
                                           "--set", "ExSimpMaxHwin=3", "acquire", "-n", "2")
            whole = (data + 2048 + 512) & ~511
            self.assertEqual(code, 0, err)
            self.assertIn("2 acquisition(s), %d bytes" % (2 * whole), out, "CamMode %d" % mode)

    def test_acquire_with_recording_replay_and_snapshot_against_the_scene(self):
        stream = self.path("run.pvs")
        code, out, err = self.orvexctl("-q", "--set", "CamMode=A16Z16", "acquire", "-n", "3", "-r", stream)
        self.assertEqual(code, 0, err)
        self.assertIn("3 acquisition(s)", out)
        code, out, err = self.orvexctl("-q", "replay", stream)
        self.assertEqual((code, "3 acquisition(s)" in out), (0, True), err)
        code, out, err = self.orvexctl("-q", "--set", "CamMode=A16Z16", "snapshot", "-m", "centroid", "-o", self.tmp)
        self.assertEqual(code, 0, err)
        with open(self.path("surface.csv")) as f:
            rows = [[float(v) for v in line.split(";")] for line in f.read().splitlines()]
        self.assertEqual((len(rows), len(rows[0])), (292, 280))
        # The file keeps six significant digits.
        wrong = [(x, y) for y, row in enumerate(rows) for x, v in enumerate(row) if abs(v - scene_depth(x, y)) > 1e-4]
        self.assertEqual(wrong, [])

    def test_serial_written_in_one_command_is_seen_after_a_power_cycle(self):
        code, out, _ = self.orvexctl("serial", "get")
        self.assertEqual((code, out), (0, "OVX0001\n"))
        self.assertEqual(self.orvexctl("serial", "set", "RS-4711")[0], 0)
        image = self.path("eeprom.iic")
        self.assertEqual(self.orvexctl("eeprom", "dump", image)[0], 0)
        with open(image, "rb") as f:
            content = f.read()
        self.assertEqual(content[0], 0xC2)
        self.assertIn("RS-4711".encode("utf-16-le"), content)
        self.assertEqual(self.orvexctl("serial", "get")[1], "OVX0001\n")  # the running code keeps its serial
        ctl("plug", "0")
        self.assertEqual(self.orvexctl("serial", "get")[1], "RS-4711\n")
        self.assertIn("0: serial RS-4711", self.orvexctl("list")[1])

    def test_python_acquire_process_and_surface(self):
        with orvex.Camera("sys=k7cam_tq20") as cam:
            cam.maps["CamMode"] = "IQ16"
            cam.maps["SensNFrames"] = 3
            header, raw = cam.acquire()
            self.assertEqual((header.syncWord, header.nFrames), (0x5AA5, 3))
            self.assertEqual(cam.process().shape, (3, 300, 300, 2))
            cam.maps["CamMode"] = "A16Z16"
            cam.acquire()
            surface, amplitude, _ = orvex.surface.extract(cam, method="centroid")
        expected = np.array([[scene_depth(x, y) for x in range(280)] for y in range(292)])
        np.testing.assert_allclose(surface, expected, atol=1e-6)
        self.assertAlmostEqual(float(amplitude[100, 100]), 1000.0)

    def test_tester_program_interface_and_processing(self):
        env = dict(os.environ)
        env.pop("DISPLAY", None)
        env.pop("WAYLAND_DISPLAY", None)
        done = subprocess.run([TESTER, "ub", "u7", "u9"], capture_output=True, text=True, timeout=300, cwd=self.tmp,
                              stdin=subprocess.DEVNULL, env=env)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn("Test Result: 7/7 passed", done.stdout)
        csv = os.path.join(self.tmp, "tester-out", "TAVRIN")
        self.assertEqual(len([n for n in os.listdir(csv) if n.endswith(".csv")]), 20)


if __name__ == "__main__":
    unittest.main()
