"""Surfaces, amplitude and phase through libK7Hlp.

libK7Hlp exports C++ functions (one name is overloaded), so they are bound here by
their Itanium-ABI symbol names, which are fixed by the public header's signatures.
"""

import ctypes
from ctypes import POINTER, Structure, c_char_p, c_float, c_int, c_int32, c_uint16, c_uint32, c_void_p

import numpy as np

from . import _lib
from .errors import OrvexError
from .ply import write_ply


class Param(Structure):
    """One named integer parameter of a K7Hlp_Data record."""

    _fields_ = [("name", c_char_p), ("value", c_int32)]


class Data(Structure):
    """K7Hlp_Data: an image or raw block with its dimensions, header and parameters."""

    _fields_ = [("dataType", c_int32), ("dataSize", c_uint32), ("dim", c_uint32 * 4), ("data", c_void_p),
                ("headerType", c_int32), ("headerSize", c_uint32), ("header", c_void_p),
                ("param", Param * 6), ("unit", c_int32)]


_P = POINTER(Data)
_SYMBOLS = {
    "alloc": ("_Z11K7Hlp_allocP10K7Hlp_Data", [_P]),
    "free": ("_Z10K7Hlp_freeP10K7Hlp_Data", [_P]),
    "getLastError": ("_Z18K7Hlp_getLastErrorv", []),
    "getVersion": ("_Z16K7Hlp_getVersionPt", [POINTER(c_uint16)]),
    "assignRawData": ("_Z19K7Hlp_assignRawDataP7CPelSysPvP12_CamDataMetaP8_CamDataP10K7Hlp_Data",
                      [c_void_p, c_void_p, POINTER(_lib.CamDataMeta), POINTER(_lib.CamData), _P]),
    "extractSurface3": ("_Z20K7Hlp_extractSurfaceP10K7Hlp_Data18_K7Hlp_extractModePvS0_S0_S0_",
                        [_P, c_int32, c_void_p, _P, _P, _P]),
    "flipX": ("_Z11K7Hlp_flipXP10K7Hlp_DataS0_", [_P, _P]),
    "flipY": ("_Z11K7Hlp_flipYP10K7Hlp_DataS0_", [_P, _P]),
    "leveling": ("_Z14K7Hlp_levelingP10K7Hlp_DataS0_iPv", [_P, _P, c_int, c_void_p]),
    "interpolateCross": ("_Z22K7Hlp_interpolateCrossP10K7Hlp_DataS0_i", [_P, _P, c_int]),
    "scaleSurface": ("_Z18K7Hlp_scaleSurfaceP10K7Hlp_DataS0_15K7Hlp_scaleModePv", [_P, _P, c_int32, c_void_p]),
}

THRESHOLD, CENTROID, CENTROID_PHASE = 0, 1, 2
_METHODS = {"threshold": THRESHOLD, "centroid": CENTROID, "phase": CENTROID_PHASE}

_k7 = None


def k7hlp():
    """The bound libK7Hlp functions by short name, loaded on first use."""
    global _k7
    if _k7 is None:
        _lib.orvex()
        lib = _lib.load("libK7Hlp.so")
        funcs = {}
        for name, (symbol, argtypes) in _SYMBOLS.items():
            fn = getattr(lib, symbol)
            fn.argtypes = argtypes
            fn.restype = c_char_p if name == "getLastError" else c_int
            funcs[name] = fn
        _k7 = funcs
    return _k7


class Record:
    """A K7Hlp_Data record owned from alloc to free."""

    def __init__(self):
        self.data = Data()
        k7hlp()["alloc"](ctypes.byref(self.data))

    def __del__(self):
        if _k7 is not None:
            _k7["free"](ctypes.byref(self.data))

    @property
    def ptr(self):
        """A ctypes reference for passing the record to libK7Hlp."""
        return ctypes.byref(self.data)

    def image(self):
        """The record's float image as a (height, width) array copy, or None."""
        d = self.data
        if d.dataType != 2 or not d.data:
            return None
        width, height = d.dim[0], d.dim[1]
        values = np.ctypeslib.as_array(ctypes.cast(d.data, POINTER(c_float)), shape=(height * width,))
        return values.reshape(height, width).copy()


def _check(call, status):
    if status != 0:
        text = k7hlp()["getLastError"]()
        raise OrvexError(call, status, text.decode("latin-1") if text else None)


def _extract_records(camera, method, threshold):
    """Processes the acquisition in slot 0; the raw, surface, amplitude and phase records."""
    if method not in _METHODS:
        raise ValueError("unknown method %r; choose one of %s" % (method, ", ".join(sorted(_METHODS))))
    lib = _lib.orvex()
    handle = camera.handle
    raw = lib.QV_GetCamData(handle, 0, 0, None)
    if not raw:
        raise OrvexError("extract", -2, "no acquisition in slot 0")
    mode = raw.contents.mode
    if mode not in (5, 6):
        raise OrvexError("extract", -4, "surfaces need CamMode A16Z16 (4, 7) or Window (5)")
    if not lib.QV_AllocCamData(handle, 1, mode, 0, None, 0) or not lib.QV_ProcessCamData(handle, 1, 0, None):
        raise OrvexError("QV_ProcessCamData", 0, "processing failed")
    meta = _lib.CamDataMeta()
    processed = lib.QV_GetCamData(handle, 1, 0, ctypes.byref(meta))
    f = k7hlp()
    raw_record, surface, amplitude, phase = Record(), Record(), Record(), Record()
    _check("K7Hlp_assignRawData", f["assignRawData"](handle, raw.contents.data, ctypes.byref(meta), processed,
                                                     raw_record.ptr))
    value = c_float(threshold)
    _check("K7Hlp_extractSurface", f["extractSurface3"](raw_record.ptr, _METHODS[method], ctypes.byref(value),
                                                        surface.ptr, amplitude.ptr, phase.ptr))
    return raw_record, surface, amplitude, phase


def extract(camera, method="centroid", threshold=1.5):
    """Processes the acquisition in slot 0 and extracts (surface, amplitude, phase).

    The camera must deliver A16Z16 (CamMode 4 or 7) or window-mode (CamMode 5) data.
    Surface in frame units; phase is None for A16Z16 data.
    """
    _, surface, amplitude, phase = _extract_records(camera, method, threshold)
    return surface.image(), amplitude.image(), phase.image()


def version():
    """The libK7Hlp version as a tuple (major, minor, third, fourth)."""
    words = (c_uint16 * 4)()
    _check("K7Hlp_getVersion", k7hlp()["getVersion"](words))
    return (words[3], words[2], words[1], words[0])


class PointCloud:
    """Points of one acquisition: `points` is an (N, 4) float32 array of x, y, z and
    amplitude; `comments` says the units (the PLY writer puts them into the file)."""

    def __init__(self, points, comments):
        self.points = points
        self.comments = comments

    def write_ply(self, path, binary=True):
        write_ply(path, self.points, self.comments, binary)


def cloud_from_images(depth, surface, amplitude, pitch):
    """Points of the pixels with a value (finite surface and depth, amplitude above 0):
    x and y are column and row times the pixel pitch (x, y)."""
    rows, cols = np.indices(surface.shape)
    valid = np.isfinite(surface) & np.isfinite(depth) & (amplitude > 0)
    return np.stack([cols[valid] * np.float32(pitch[0]), rows[valid] * np.float32(pitch[1]), depth[valid],
                     amplitude[valid]], axis=1).astype(np.float32)


def _scale_depth(surface, amplitude, ztag, count_scale, frames):
    """z through the zTag table or the position counter, else frames: (record, unit comment)."""
    image = surface.image()
    values = np.ctypeslib.as_array(ctypes.cast(surface.data.data, POINTER(c_float)), shape=(image.size,))
    # Pixels without a value must not make the scaling fail; they are left out anyway.
    values[~(np.isfinite(image) & (amplitude > 0)).ravel()] = 0.0
    if frames:
        return surface, "z: frames (surface position, not scaled)"
    scaled = Record()
    if ztag is not None:
        path = ctypes.create_string_buffer(str(ztag).encode())
        _check("K7Hlp_scaleSurface", k7hlp()["scaleSurface"](surface.ptr, scaled.ptr, 0, path))
        return scaled, "z: units of the zTag table %s" % ztag
    scale = c_uint32(count_scale)
    if k7hlp()["scaleSurface"](surface.ptr, scaled.ptr, 1, ctypes.byref(scale)) == 0:
        return scaled, "z: position counter counts / %d (count scale %d)" % (count_scale // 1000, count_scale)
    return surface, "z: frames (surface position; the acquisition has no usable position counter)"


def point_cloud(camera, method="centroid", threshold=1.5, ztag=None, count_scale=1000, frames=False):
    """The acquisition in slot 0 as 3-D points in physical units.

    x and y come from the sensor's pixel pitch in the system description
    (micrometres); z is the surface scaled through the zTag table `ztag`, else
    through the acquisition's position counter (counts per unit x 1000 in
    `count_scale`), else left in frames, as the comments say. Pixels without a
    value are left out.
    """
    if count_scale < 1000:
        raise ValueError("count_scale is counts per unit x 1000, at least 1000")
    _, surface, amplitude_record, _ = _extract_records(camera, method, threshold)
    amplitude, extracted = amplitude_record.image(), surface.image()
    record, z_unit = _scale_depth(surface, amplitude, ztag, count_scale, frames)
    sensor = camera.system_description().get("sensor") or {}
    pitch = sensor.get("pixPitch") or [0, 0]
    if pitch[0] > 0 and pitch[1] > 0:
        xy_unit = "x, y: micrometres (column and row times the pixel pitch %g x %g of sensor %s)" % (
            pitch[0], pitch[1], sensor.get("id"))
    else:
        pitch, xy_unit = (1, 1), "x, y: pixels (the system description gives no pixel pitch)"
    points = cloud_from_images(record.image(), extracted, amplitude, pitch)
    comments = ["Orvex point cloud", xy_unit, z_unit, "amplitude: lock-in amplitude of the pixel"]
    return PointCloud(points, comments)
