import ctypes
import logging
import os
import threading
import time
import unittest

import numpy as np

import orvex
from support import EmulatorCase


class CameraTest(EmulatorCase):
    def test_version_and_listing(self):
        self.assertEqual(orvex.version(), (1, 7, 5, 252))
        self.assertEqual(orvex.list_cameras(), ["OVX0001"])

    def test_maps_by_name_with_enumerations(self):
        with orvex.Camera("sys=k7cam_tq20") as cam:
            self.assertIn("CamMode", cam.maps)
            cam.maps["CamMode"] = "A16Z16"
            self.assertEqual(cam.maps["CamMode"], 4)
            self.assertEqual(cam.map("CamMode").name_of(4), "A16Z16")
            cam.maps["SensNFrames"] = 12
            self.assertEqual(cam.get("SensNFrames"), 12)
            with self.assertRaises(KeyError):
                cam.get("NoSuchMap")
            with self.assertRaises(ValueError):
                cam.maps["CamMode"] = "NotAnEnumName"

    def test_failed_open_raises_with_the_library_text(self):
        with self.assertRaises(orvex.OrvexError) as caught:
            orvex.Camera("sys=no_such_system regDesc=missing.xml")
        self.assertEqual(caught.exception.status, 0)
        self.assertIn("Could not open or parse file", caught.exception.text)

    def test_acquire_shapes_follow_the_shape_record(self):
        with orvex.Camera("sys=k7cam_tq20") as cam:
            cam.maps["CamMode"] = "IQ16"
            cam.maps["SensNFrames"] = 3
            header, raw = cam.acquire()
            self.assertEqual(header.syncWord, 0x5AA5)
            self.assertEqual(header.nFrames, 3)
            processed = cam.process()
            self.assertEqual(processed.shape, (3, 300, 300, 2))
            # A stack large enough for a second thread regroups to the same values.
            cam.maps["SensNFrames"] = 40
            cam.acquire()
            one = cam.process()
            cam.processing_threads = 2
            self.assertEqual(cam.processing_threads, 2)
            self.assertTrue(np.array_equal(cam.process(), one))

    def test_surface_matches_the_emulated_scene(self):
        with orvex.Camera("sys=k7cam_tq20") as cam:
            cam.maps["CamMode"] = "A16Z16"
            cam.acquire()
            surface, amplitude, phase = orvex.surface.extract(cam)
            self.assertEqual(surface.shape, (292, 280))
            self.assertAlmostEqual(float(surface[0, 0]), 8.0)
            self.assertAlmostEqual(float(surface[100, 100]), 16.6875)  # on the raised step
            self.assertAlmostEqual(float(amplitude[100, 100]), 1000.0)
            self.assertIsNone(phase)

    def test_window_mode_surface_and_phase(self):
        with orvex.Camera("sys=k7cam_tq20") as cam:
            cam.maps["CamMode"] = "Window"
            cam.maps["ExSimpMaxHwin"] = 3
            cam.acquire()
            surface, amplitude, phase = orvex.surface.extract(cam, method="centroid")
            self.assertLess(abs(float(surface[0, 0]) - 8.0), 0.01)
            self.assertIsNotNone(phase)

    def test_record_and_replay(self):
        stream = self.path("out.pvs")
        with orvex.Camera("sys=k7cam_tq20") as cam:
            cam.maps["CamMode"] = "A16Z16"
            cam.start_recording(stream)
            _, first = cam.acquire()
            cam.acquire()
            cam.stop_recording()
        self.assertGreater(os.path.getsize(stream), 2 * first.nbytes)
        with orvex.Camera.replay(stream) as replay:
            _, again = replay.acquire()
            np.testing.assert_array_equal(again, first)

    def test_timing_is_reported_as_rates(self):
        with orvex.Camera("sys=k7cam_tq20") as cam:
            fps, demod, _ = cam.timing()
            self.assertGreater(fps, 0)
            self.assertGreater(demod, fps)

    def test_messages_reach_logging(self):
        with self.assertLogs("orvex", level=logging.WARNING) as logs:
            with self.assertRaises(orvex.OrvexError):
                orvex.Camera("sys=k7cam_tq20 regDesc=missing.xml")
        self.assertTrue(any("Could not open or parse file" in line for line in logs.output))


class ThreadTest(EmulatorCase):
    def setUp(self):
        super().setUp()
        # The emulator read its configuration when this process first used it.
        self.emulator = ctypes.CDLL("libusb-0.1.so.4")
        self.assertEqual(self.emulator.orvex_emu_configure(b"cameras = 2\n", None, 0), 0)

    def tearDown(self):
        self.emulator.orvex_emu_configure(None, None, 0)
        super().tearDown()

    def test_threads_run_while_cameras_acquire_and_process(self):
        """Each camera in its own thread; the main thread keeps running Python
        meanwhile. A library call that held the GIL would stop the main thread
        for the whole call: the first acquisition in this mode takes hundreds of
        milliseconds, so the longest pause seen must be far shorter than that."""
        measuring = threading.Event()
        results, errors, durations = {}, [], []

        def use(serial):
            try:
                with orvex.Camera("sys=k7cam_tq20 serial=" + serial) as cam:
                    cam.maps["CamMode"] = "IQ16"
                    cam.maps["SensNFrames"] = 64
                    measuring.wait(60)
                    start = time.monotonic()
                    header, _ = cam.acquire()
                    processed = cam.process()
                    durations.append(time.monotonic() - start)
                    results[serial] = (header.syncWord, processed.shape)
            except Exception as error:  # reported by the main thread
                errors.append(error)

        threads = [threading.Thread(target=use, args=(s,)) for s in ("OVX0001", "OVX0002")]
        for thread in threads:
            thread.start()
        longest_pause, last = 0.0, time.monotonic()
        while any(thread.is_alive() for thread in threads):
            measuring.set()
            now = time.monotonic()
            longest_pause, last = max(longest_pause, now - last), now
        self.assertEqual(errors, [])
        self.assertEqual(results, {s: (0x5AA5, (64, 300, 300, 2)) for s in ("OVX0001", "OVX0002")})
        self.assertLess(longest_pause, min(durations) / 3, (longest_pause, durations))

if __name__ == "__main__":
    unittest.main()


IF_READ_EEPROM_SELECTED, IF_WRITE_EEPROM_SELECTED, IF_WRITE_SERIAL_SELECTED = 16, 17, 18


def _eeprom(selection, size=1024):
    """The first bytes of the boot EEPROM of the selected camera."""
    buffer = ctypes.create_string_buffer(size)
    status = orvex._lib.orvex().QV_InternalFunc(IF_READ_EEPROM_SELECTED, ctypes.c_char_p(selection.encode()),
                                                ctypes.c_uint32(0), buffer, ctypes.c_uint32(size))
    if status != 0:
        raise AssertionError("EEPROM read of %s failed" % selection)
    return buffer.raw


class StrictValueTest(EmulatorCase):
    def test_refused_values_write_nothing_and_name_the_choices(self):
        with orvex.Camera("sys=k7cam_tq20") as cam:
            cam.maps["CamMode"] = "Window"
            cam.maps["SensNFrames"] = 12
            for name, value, hint in (("CamMode", 9, "0..7"), ("CamMode", "Bogus", "A16Z16"),
                                      ("SensNFrames", -1, "1..2047"), ("SensNFrames", 2.5, "1..2047"),
                                      ("SensNFrames", 4096, "1..2047"), ("FpgaRev", 256, "0..255")):
                with self.assertRaises(orvex.OrvexError) as caught:
                    cam.maps[name] = value
                self.assertIsInstance(caught.exception, ValueError)
                self.assertIn(hint, str(caught.exception))
            self.assertEqual((cam.maps["CamMode"], cam.maps["SensNFrames"]), (5, 12))
            cam.maps["SensNFrames"] = 3.0  # a whole float is a whole number
            self.assertEqual(cam.maps["SensNFrames"], 3)

    def test_maps_behave_as_a_mapping(self):
        with orvex.Camera("sys=k7cam_tq20") as cam:
            names = list(cam.maps)
            self.assertEqual(len(cam.maps), len(names))
            self.assertEqual(len(set(names)), len(names))
            self.assertIn("CamMode", cam.maps)
            self.assertNotIn("NoSuchMap", cam.maps)
            self.assertEqual(dict(cam.maps.items())["CamMode"], cam.get("CamMode"))
            self.assertIsNone(cam.maps.get("NoSuchMap"))

    def test_package_surface(self):
        self.assertEqual(tuple(int(x) for x in orvex.__version__.split(".")), orvex.version())
        self.assertEqual(orvex.systems(), ["k7cam_tq20", "k7cam_sim"])
        for item in (orvex.Camera, orvex.Camera.acquire, orvex.Camera.process, orvex.Map.to_value, orvex.systems,
                     orvex.surface.extract, orvex.list_cameras):
            self.assertTrue(item.__doc__, item)
        with orvex.Camera("sys=k7cam_tq20") as cam:
            cam.maps["CamMode"] = "A16Z16"
            cam.acquire()
            with self.assertRaises(ValueError) as caught:
                orvex.surface.extract(cam, method="median")
            self.assertIn("centroid", str(caught.exception))
            cam.maps["CamMode"] = "Reserved"  # data mode 0: nothing to shape
            cam.acquire()
            with self.assertRaises(orvex.OrvexError):
                cam.process()

    def test_errors_name_the_path_and_the_reason(self):
        missing = self.path("missing.pvs")
        with self.assertRaises(orvex.OrvexError) as caught:
            orvex.Camera.replay(missing)
        self.assertEqual(caught.exception.path, missing)
        self.assertIn("No such file or directory", str(caught.exception))
        with self.assertRaises(orvex.OrvexError) as caught:
            orvex.Camera(mode=2)
        self.assertIn("holds no configuration", str(caught.exception))
        with self.assertRaises(orvex.OrvexError) as caught:
            orvex.Camera("sys=no_such_system")
        self.assertIn('unknown system "no_such_system"', caught.exception.text)
        self.assertIn("k7cam_tq20, k7cam_sim", caught.exception.text)


class DeviceServiceTest(EmulatorCase):
    """Two emulated cameras; the emulator of this process is reconfigured for each test."""

    def setUp(self):
        super().setUp()
        orvex._lib.orvex()
        self.emulator = ctypes.CDLL("libusb-0.1.so.4")
        self.assertEqual(self.emulator.orvex_emu_configure(b"cameras = 2\n", None, 0), 0)

    def tearDown(self):
        super().tearDown()
        self.emulator.orvex_emu_configure(None, None, 0)

    def test_service_writes_reach_only_the_selected_camera(self):
        lib = orvex._lib.orvex()
        first, second = _eeprom("serial=OVX0001"), _eeprom("serial=OVX0002")
        status = lib.QV_InternalFunc(IF_WRITE_SERIAL_SELECTED, ctypes.c_char_p(b"serial=OVX0002"),
                                     ctypes.c_char_p(b"K7-NEW"))
        self.assertEqual(status, 0)
        self.assertEqual(_eeprom("serial=OVX0001"), first)
        self.assertIn("K7-NEW".encode("utf-16-le"), _eeprom("serial=OVX0002"))
        self.assertNotEqual(_eeprom("serial=OVX0002"), second)
        # Without a selection two cameras are one too many.
        self.assertEqual(lib.QV_InternalFunc(IF_WRITE_SERIAL_SELECTED, ctypes.c_char_p(b""),
                                             ctypes.c_char_p(b"K7-ALL")), -1)

    def test_damaged_images_are_refused_before_anything_is_written(self):
        with open(os.path.join(self.tmp, "Tavrin", "devDesc", "i2c", "k7_fx2.iic"), "rb") as f:
            image = f.read()
        damaged = bytearray(image)
        damaged[300] ^= 0xFF  # inside the code, outside the serial slot
        for name, content in (("truncated.iic", image[:1500]), ("damaged.iic", bytes(damaged)),
                              ("noheader.iic", b"\x00" + image[1:])):
            path = self.path(name)
            with open(path, "wb") as f:
                f.write(content)
            before = _eeprom("serial=OVX0001", 4096)
            status = orvex._lib.orvex().QV_InternalFunc(IF_WRITE_EEPROM_SELECTED, ctypes.c_char_p(b"serial=OVX0001"),
                                                        ctypes.c_char_p(path.encode()))
            self.assertEqual(status, -1, name)
            self.assertEqual(_eeprom("serial=OVX0001", 4096), before, name)


if __name__ == "__main__":
    unittest.main()
