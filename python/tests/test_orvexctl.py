import os
import re
import signal
import subprocess
import time
import unittest

from pngread import read_rgb
from support import EmulatorCase

ORVEXCTL = os.environ.get("ORVEXCTL", os.path.join(os.path.dirname(__file__), "..", "..", "build", "bin",
                                                    "orvexctl"))


def run(*args):
    done = subprocess.run([ORVEXCTL, *args], capture_output=True, text=True, timeout=120)
    return done.returncode, done.stdout, done.stderr


def replayed_count(stream):
    code, out, err = run("replay", stream)
    if code != 0:
        raise AssertionError("replay failed: " + err)
    return int(re.match(r"(\d+) acquisition", out).group(1))


class OrvexctlTest(EmulatorCase):
    def test_help_for_every_command_and_usage_errors(self):
        for command in ("list", "systems", "info", "get", "set", "acquire", "replay", "snapshot", "cloud", "eeprom",
                        "multi", "serial"):
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


class CommandLineToolTest(EmulatorCase):
    def test_version_help_and_data_on_stdout_only(self):
        code, out, _ = run("--version")
        self.assertEqual(code, 0)
        self.assertRegex(out, r"^orvexctl 1\.7\.5\.252 \(libOrvex 1\.7\.5\.252\)$")
        _, out, _ = run("--help")
        for option in ("-S SERIAL", "--version", "--no-fpga", "systems", "5 interrupted"):
            self.assertIn(option, out)
        self.assertIn("-t THRESHOLD", run("snapshot", "--help")[1])
        code, out, err = run("--set", "CamMode=A16Z16", "get", "CamMode")
        self.assertEqual((code, out), (0, "CamMode=4 (A16Z16)\n"))
        self.assertIn("CamMode=4", err)
        self.assertEqual(run("systems")[1], "k7cam_tq20\nk7cam_sim\n")
        self.assertRegex(run("get", "--names", "CamMode")[1], r"^CamMode: 0\.\.7  IQ16, A16, .*A16Z16Iter\n$")
        code, out, _ = run("-s", "sys=k7cam_sim", "acquire", "-d", "0.3")
        self.assertEqual(code, 0)
        self.assertGreater(int(out.split()[0]), 1)  # a duration alone is not one acquisition

    def test_refused_values_write_nothing(self):
        for args, hint in ((("set", "SensNFrames=5", "CamMode=9"), "0..7"),
                           (("set", "SensNFrames=-3"), "negative"),
                           (("set", "SensNFrames=2.5"), "1..2047"),
                           (("set", "CamMode=Bogus"), "A16Z16Iter"),
                           (("set", "FpgaRev=256"), "0..255"),
                           (("--set", "SensNFrames=5", "--set", "CamMode=0x10", "get", "SensNFrames"), "0..7")):
            code, out, err = run(*args)
            self.assertEqual((code, out), (2, ""), args)
            self.assertIn(hint, err)
            self.assertIn("nothing written", err)

    def test_messages_name_what_is_wrong(self):
        code, _, err = run("-s", "sys=nosuch", "info")
        self.assertEqual(code, 3)
        self.assertIn('unknown system "nosuch"', err)
        self.assertIn("k7cam_tq20, k7cam_sim", err)
        missing = self.path("missing.pvs")
        code, _, err = run("replay", missing)
        self.assertEqual(code, 3)
        self.assertIn(missing + ": No such file or directory", err)
        self.assertNotIn("wrong signature", err)
        code, _, err = run("--no-fpga", "info")
        self.assertEqual(code, 3)
        self.assertIn("holds no configuration", err)

    def test_snapshot_of_a_recording(self):
        stream = self.path("one.pvs")
        self.assertEqual(run("--set", "CamMode=A16Z16", "acquire", "-r", stream)[0], 0)
        code, out, err = run("snapshot", "-i", stream, "-o", self.tmp)
        self.assertEqual((code, out), (0, ""), err)
        with open(self.path("surface.csv")) as f:
            self.assertEqual(float(f.readline().split(";")[0]), 8.0)

    def test_sigint_closes_the_recording_cleanly(self):
        stream = self.path("interrupted.pvs")
        # -d bounds the run should the signal go astray.
        process = subprocess.Popen([ORVEXCTL, "--set", "CamMode=A16Z16", "acquire", "-n", "0", "-d", "60",
                                    "-r", stream], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline and (not os.path.exists(stream) or os.path.getsize(stream) < 4 << 20):
            time.sleep(0.05)
        process.send_signal(signal.SIGINT)
        out, err = process.communicate(timeout=60)
        self.assertEqual(process.returncode, 5, err)
        self.assertIn("interrupted after", err)
        recorded = int(re.match(r"(\d+) acquisition", out).group(1))
        self.assertGreater(recorded, 0)
        self.assertEqual(replayed_count(stream), recorded)


class UnplugTest(EmulatorCase):
    # Enough transfers for the open, then the cable goes during the acquisitions.
    emulator_config = "unplug = 400+1\n"

    def test_unplug_while_recording_keeps_only_captured_acquisitions(self):
        stream = self.path("unplugged.pvs")
        code, _, err = run("-q", "--set", "CamMode=A16Z16", "acquire", "-n", "5000", "-r", stream)
        self.assertEqual(code, 1, err)
        failed = int(re.search(r"acquisition (\d+) failed", err).group(1))
        self.assertGreater(failed, 1)
        self.assertEqual(replayed_count(stream), failed - 1)


class TwoCameraTest(EmulatorCase):
    emulator_config = "cameras = 2\n"

    def test_device_services_act_on_the_chosen_camera(self):
        code, out, _ = run("list")
        self.assertEqual(code, 0)
        self.assertIn("serial OVX0002  usb 0852:0081  firmware running", out)
        for service in (("serial", "get"), ("serial", "set", "X"), ("eeprom", "dump")):
            code, out, err = run(*service)
            self.assertEqual((code, out), (2, ""), service)
            self.assertIn("choose one with -S SERIAL", err)
        self.assertEqual(run("-S", "OVX0002", "serial", "get")[1], "OVX0002\n")
        self.assertEqual(run("-s", "sys=k7cam_tq20 serial=OVX0002", "serial", "get")[1], "OVX0002\n")
        self.assertEqual(run("-S", "NOPE", "serial", "get")[0], 1)
        image = self.path("second.iic")
        self.assertEqual(run("-S", "OVX0002", "eeprom", "dump", image)[0], 0)
        with open(image, "rb") as f:
            self.assertIn("OVX0002".encode("utf-16-le"), f.read())
        self.assertEqual(run("-S", "OVX0002", "serial", "set", "K7-NEW")[0], 0)
        self.assertEqual(run("-S", "OVX0002", "info")[0], 0)

    def test_damaged_image_is_refused(self):
        with open(os.path.join(self.tmp, "Tavrin", "devDesc", "i2c", "k7_fx2.iic"), "rb") as f:
            image = f.read()
        truncated = self.path("truncated.iic")
        with open(truncated, "wb") as f:
            f.write(image[:1500])
        code, _, err = run("-S", "OVX0001", "eeprom", "write", truncated)
        self.assertEqual(code, 1)
        self.assertIn("truncated", err)


class NoCameraTest(EmulatorCase):
    emulator_config = "cameras = 0\n"

    def test_serial_get_without_a_camera_is_an_error(self):
        code, out, err = run("serial", "get")
        self.assertEqual((code, out), (1, ""))
        self.assertIn("no camera is connected", err)



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


if __name__ == "__main__":
    unittest.main()
