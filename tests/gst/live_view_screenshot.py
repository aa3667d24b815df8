"""The documented live view on a private X server: orvexsrc, orvexfalsecolour and
ximagesink; a screenshot of the window must show the scene's depths in the
documented colours, and the colour bar below the picture.

Run through tests/gtk/run-under-xvfb.sh (DISPLAY set); exits 77 when the
tools it needs (gst-launch-1.0, ximagesink, xwd) are missing."""

import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xwd  # noqa: E402

WIDTH, HEIGHT = 280, 292
LOW, HIGH = 256, 832  # 8 to 26 frames in 1/32 frame
SCALE_ROWS = 24


def depth32(x, y):
    step = 96 <= x < 192 and 96 <= y < 192
    return 256 + x + y // 2 + (128 if step else 0)


def colour(t):
    """The false-colour scale: blue, cyan, green, yellow, red."""
    t = min(max(t, 0.0), 1.0)
    return tuple(round(255 * min(max(1.5 - abs(4 * t - c), 0.0), 1.0)) for c in (3, 2, 1))


def close(a, b, tolerance=3):
    return all(abs(p - q) <= tolerance for p, q in zip(a, b))


def main():
    if not shutil.which("gst-launch-1.0") or not shutil.which("xwd"):
        print("SKIPPED: gst-launch-1.0 or xwd (x11-apps) missing")
        return 77
    if subprocess.run(["gst-inspect-1.0", "ximagesink"], capture_output=True).returncode != 0:
        print("SKIPPED: ximagesink (gstreamer1.0-x) missing")
        return 77
    pipeline = ["gst-launch-1.0", "-q", "orvexsrc", "settings=CamMode=A16Z16 SensNFrames=32", "!",
                "orvexfalsecolour", "min=%d" % LOW, "max=%d" % HIGH, "scale=32", "!", "videoconvert", "!",
                "ximagesink"]
    points = [(0, 0), (10, 10), (120, 120), (50, 130), (279, 291), (150, 180)]
    expected = {p: colour((depth32(*p) - LOW) / (HIGH - LOW)) for p in points}
    # The colour bar: blue at its left end, red at its right end.
    bar_y = HEIGHT + 8
    expected[(0, bar_y)] = colour(0.0)
    expected[(WIDTH - 1, bar_y)] = colour(1.0)
    with tempfile.TemporaryDirectory() as scratch:
        shot_path = os.path.join(scratch, "shot.xwd")
        viewer = subprocess.Popen(pipeline, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        try:
            deadline, wrong = time.monotonic() + 30, None
            while time.monotonic() < deadline and viewer.poll() is None:
                time.sleep(0.5)
                with open(shot_path, "wb") as f:
                    subprocess.run(["xwd", "-root", "-silent"], stdout=f, check=True)
                shot = xwd.Screenshot(shot_path)
                # Without a window manager the window sits at the top left corner.
                wrong = {p: shot.rgb(*p) for p, c in expected.items() if not close(shot.rgb(*p), c)}
                if not wrong:
                    print("live view colours as expected at", sorted(expected))
                    return 0
        finally:
            if viewer.poll() is None:
                viewer.terminate()
            output = viewer.communicate(timeout=10)[0].decode(errors="replace")
    print("viewer output:\n" + output)
    print("wrong colours (point: seen) %s; expected %s" % (wrong, expected))
    return 1


if __name__ == "__main__":
    sys.exit(main())
