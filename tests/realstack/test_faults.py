"""Faults on the real USB stack, each with its outcome."""

import os
import shutil
import subprocess
import time
import unittest

from realstack import RealStackCase, ctl, node_of, session_log

OPEN_FAILED = 3
A16Z16_BYTES = 329216  # one A16Z16 acquisition of 8 frames, header included


class UnplugAndTransferFaults(RealStackCase):
    def test_unplug_in_the_middle_of_acquiring(self):
        acquiring = self.start_orvexctl("run.log", "--set", "CamMode=A16Z16", "acquire", "-n", "100000",
                                        "-r", "run.pvs")
        self.wait_for_size("run.pvs", 2 * A16Z16_BYTES)
        ctl("unplug", "0")
        self.assertEqual(acquiring.wait(timeout=30), 1)
        self.assertEqual(node_of(0)[0], "-")
        self.assertEqual(self.orvexctl("list")[1], "0 camera(s)\n")
        ctl("plug", "0")
        code, out, err = self.orvexctl("-q", "--set", "CamMode=A16Z16", "acquire", "-n", "2")
        self.assertEqual(code, 0, err)

    def test_a_transfer_that_times_out_waits_its_full_time(self):
        ctl("set", "0", "read_timeouts", "1")
        code, _, err = self.orvexctl("-q", "--no-fpga", "--set", "CamMode=A16Z16", "acquire", "-n", "1")
        self.assertEqual(code, 1, err)
        self.assertGreaterEqual(self.elapsed, 1.0)  # a real time-out, not an at-once answer
        code, out, err = self.orvexctl("-q", "--no-fpga", "--set", "CamMode=A16Z16", "acquire", "-n", "1")
        self.assertEqual(code, 0, err)

    def test_a_stalled_data_endpoint_is_cleared_and_the_acquisition_completes(self):
        ctl("set", "0", "stalls", "1")
        code, out, err = self.orvexctl("-q", "--no-fpga", "--set", "CamMode=A16Z16", "acquire", "-n", "2")
        self.assertEqual(code, 0, err)
        self.assertIn("2 acquisition(s)", out)
        self.assertIn((0, "clear-halt", 0x82, 0), session_log())


class ControllerWithoutFirmware(RealStackCase):
    cameras = "eeprom = blank\n"

    def test_firmware_upload_and_re_enumeration(self):
        bare_node, identity = node_of(0)
        self.assertEqual(identity, "04b4:8613")
        code, out, err = self.orvexctl("-q", "get", "CamMode")
        self.assertEqual(code, 0, err)
        node, identity = node_of(0)
        self.assertEqual(identity, "0852:0081")
        self.assertNotEqual(node, bare_node)  # a new device number after the firmware started
        self.assertIn((0, "reset", 0, 0), session_log())

    def test_firmware_that_never_starts(self):
        ctl("set", "0", "firmware_failures", "always")
        code, _, err = self.orvexctl("get", "CamMode")
        self.assertEqual(code, OPEN_FAILED)
        self.assertIn("Could not open any USB device", err)


class RefusedCameras(RealStackCase):
    cameras = "cameras = 2\nfpga = configured\n[camera 0]\nserial = CAM-A\n[camera 1]\nserial = CAM-B\n"

    @unittest.skipUnless(shutil.which("setpriv"), "setpriv (util-linux) is needed to drop root's file access")
    def test_a_node_without_permission_is_named_with_the_rule_to_install(self):
        ctl("mode", "0", "444")
        # root passes any file mode; the program runs without that privilege
        prefix = ("setpriv", "--bounding-set=-dac_override,-dac_read_search", "--inh-caps=-all", "--") \
            if os.geteuid() == 0 else ()
        code, _, err = self.orvexctl("-s", "sys=k7cam_tq20 serial=CAM-A", "get", "CamMode", prefix=prefix)
        self.assertEqual(code, OPEN_FAILED)
        self.assertIn("Permission denied on the camera's USB device node %s" % node_of(0)[0], err)
        self.assertIn("60-orvex-camera.rules", err)
        self.assertEqual(self.orvexctl("-s", "sys=k7cam_tq20 serial=CAM-B", "get", "CamMode", prefix=prefix)[0], 0)

    def test_two_programs_acquire_from_two_cameras_while_others_list_and_knock(self):
        first = self.start_orvexctl("a.log", "-s", "sys=k7cam_tq20 serial=CAM-A", "--no-fpga",
                                    "--set", "CamMode=A16Z16", "acquire", "-n", "60", "-r", "a.pvs")
        second = self.start_orvexctl("b.log", "-s", "sys=k7cam_tq20 serial=CAM-B", "--no-fpga",
                                     "--set", "CamMode=A16Z16", "acquire", "-n", "60", "-r", "b.pvs")
        self.wait_for_size("a.pvs", A16Z16_BYTES)
        self.wait_for_size("b.pvs", A16Z16_BYTES)
        code, out, err = self.orvexctl("list")
        serials = sorted(line.split()[2] for line in out.splitlines()[1:])
        self.assertEqual((code, serials), (0, ["CAM-A", "CAM-B"]), err)
        code, _, err = self.orvexctl("-s", "sys=k7cam_tq20 serial=CAM-A", "--no-fpga", "get", "CamMode")
        self.assertEqual(code, OPEN_FAILED)
        self.assertIn("The camera at %s is in use by another program." % node_of(0)[0], err)
        self.assertEqual((first.wait(timeout=60), second.wait(timeout=60)), (0, 0))
        for name in ("a.log", "b.log"):
            with open(self.path(name)) as f:
                self.assertIn("60 acquisition(s)", f.read())
        self.assertEqual(self.orvexctl("-s", "sys=k7cam_tq20 serial=CAM-A", "--no-fpga", "get", "CamMode")[0], 0)


if __name__ == "__main__":
    unittest.main()
