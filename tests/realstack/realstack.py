"""Set-up of the real-stack tests: they run inside one orvex-vcam session,
talk to its cameras through the system's libusb-0.1 and reconfigure the
session through its control socket before every test."""

import os
import shutil
import subprocess
import tempfile
import time
import unittest

SOURCE_DIR = os.environ["ORVEX_SOURCE_DIR"]
VCAM = os.environ["ORVEX_VCAM"]
ORVEXCTL = os.environ["ORVEXCTL"]


def ctl(*args):
    done = subprocess.run([VCAM, "ctl", *args], capture_output=True, text=True, timeout=30)
    if done.returncode != 0:
        raise AssertionError("orvex-vcam ctl %s: %s" % (" ".join(args), done.stdout + done.stderr))
    return done.stdout


def session_log():
    """The transaction log as (camera, kind, endpoint, result) tuples."""
    events = []
    for line in ctl("log").splitlines()[:-1]:
        fields = line.split()
        values = dict(f.split("=", 1) for f in fields[2:])
        events.append((int(fields[0]), fields[1], int(values["ep"], 16), int(values["result"])))
    return events


def node_of(camera):
    for line in ctl("list").splitlines()[:-1]:
        fields = line.split()
        if fields[0] == str(camera):
            return fields[2], fields[3]
    return None, None


class RealStackCase(unittest.TestCase):
    """A private data folder and freshly configured cameras for each test."""

    cameras = "fpga = configured\n"

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="orvex-realstack-")
        shutil.copytree(os.path.join(SOURCE_DIR, "data", "Tavrin"), os.path.join(self.tmp, "Tavrin"))
        os.environ["XDG_DATA_DIRS"] = self.tmp
        config = self.path("cameras.conf")
        with open(config, "w") as f:
            f.write(self.cameras)
        ctl("configure", config)
        ctl("log", "clear")

    def tearDown(self):
        shutil.rmtree(self.tmp, ignore_errors=True)

    def path(self, name):
        return os.path.join(self.tmp, name)

    def orvexctl(self, *args, timeout=120, prefix=()):
        started = time.monotonic()
        done = subprocess.run([*prefix, ORVEXCTL, *args], capture_output=True, text=True, timeout=timeout,
                              cwd=self.tmp)
        self.elapsed = time.monotonic() - started
        return done.returncode, done.stdout, done.stderr

    def start_orvexctl(self, name, *args):
        err = open(self.path(name), "w")
        return subprocess.Popen([ORVEXCTL, *args], stdout=err, stderr=subprocess.STDOUT, text=True, cwd=self.tmp)

    def wait_for_size(self, name, size, seconds=20):
        """Waits until a recording holds at least size bytes: proof of acquisitions
        under way (progress lines are only drawn on a terminal)."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if os.path.exists(self.path(name)) and os.path.getsize(self.path(name)) >= size:
                return
            time.sleep(0.05)
        self.fail("%s did not reach %d bytes" % (name, size))

    def wait_for_text(self, name, text, seconds=20):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            with open(self.path(name)) as f:
                if text in f.read():
                    return
            time.sleep(0.05)
        self.fail("no '%s' in %s" % (text, name))
