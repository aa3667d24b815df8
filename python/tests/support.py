"""Test set-up: a private data folder and the emulated camera for every test."""

import os
import shutil
import tempfile
import unittest

SOURCE_DIR = os.environ.get("ORVEX_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))


class EmulatorCase(unittest.TestCase):
    """Each test gets its own copy of the data folder and a fresh emulator configuration."""

    emulator_config = None

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="orvex-py-")
        shutil.copytree(os.path.join(SOURCE_DIR, "data", "Tavrin"), os.path.join(self.tmp, "Tavrin"))
        self._saved = {k: os.environ.get(k) for k in ("XDG_DATA_DIRS", "ORVEX_EMULATOR_CONFIG")}
        os.environ["XDG_DATA_DIRS"] = self.tmp
        if self.emulator_config is not None:
            path = os.path.join(self.tmp, "emulator.conf")
            with open(path, "w") as f:
                f.write(self.emulator_config)
            os.environ["ORVEX_EMULATOR_CONFIG"] = path

    def tearDown(self):
        for key, value in self._saved.items():
            if value is None:
                os.environ.pop(key, None)
            else:
                os.environ[key] = value
        shutil.rmtree(self.tmp, ignore_errors=True)

    def path(self, name):
        return os.path.join(self.tmp, name)
