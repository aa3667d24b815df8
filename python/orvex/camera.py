"""Cameras (and recorded streams) as Python objects."""

import ctypes

import numpy as np

from . import _lib
from .errors import OrvexError
from .messages import router

HEADER_BYTES = 2048
FLAG_EXTERNAL, FLAG_PADDED, FLAG_HEADER, FLAG_COMPACT, FLAG_CROSS = 2, 4, 8, 16, 32

# Element type of each data mode's processed array (innermost dimension first in meta).
_PROCESSED_DTYPE = {1: np.uint16, 3: np.uint16, 4: np.uint8, 5: np.uint16, 6: np.uint16, 7: np.float32}


def _lib_orvex():
    lib = _lib.orvex()
    router.install()
    return lib


def version():
    """The library version as a tuple (major, minor, third, fourth)."""
    words = (ctypes.c_uint16 * 4)()
    status = _lib_orvex().QV_GetVersion(words)
    if status != 0:
        raise OrvexError("QV_GetVersion", status)
    return (words[3], words[2], words[1], words[0])


def list_cameras(max_cameras=16):
    """Serial numbers of the connected cameras."""
    buffer = ctypes.create_string_buffer(17 * max_cameras)
    count = _lib_orvex().QV_GetSerials(buffer)
    count = min(count, max_cameras)
    return [buffer.raw[17 * i:17 * (i + 1)].split(b"\0", 1)[0].decode("latin-1") for i in range(count)]


def _text(ptr):
    return ptr.decode("latin-1") if ptr else None


class Map:
    """One named map: a value spread over register bit fields, maybe with enumeration names."""

    def __init__(self, camera, entry):
        self._camera = camera
        self._entry = entry

    @property
    def name(self):
        return _text(self._entry.contents.id)

    @property
    def enums(self):
        out = {}
        node = self._entry.contents.enumEntries
        while node:
            out[_text(node.contents.name)] = node.contents.value
            node = node.contents.next
        return out

    def to_value(self, value):
        if isinstance(value, str):
            enums = self.enums
            if value in enums:
                return enums[value] & 0xFFFFFFFF
            return int(value, 0)
        return int(value) & 0xFFFFFFFF

    def name_of(self, value):
        for name, number in self.enums.items():
            if number == value:
                return name
        return None


class _Registers:
    """Dictionary-like access to maps (first) and registers by name."""

    def __init__(self, camera):
        self._camera = camera

    def __getitem__(self, name):
        return self._camera.get(name)

    def __setitem__(self, name, value):
        self._camera.set(name, value)

    def __contains__(self, name):
        return name in self._camera.map_names or name in self._camera.register_names

    def keys(self):
        return list(self._camera.map_names) + [r for r in self._camera.register_names
                                                if r not in self._camera.map_names]


class Camera:
    """An open system: a USB camera (mode 0 or 2), or a recorded stream (Camera.replay)."""

    def __init__(self, open_string="sys=k7cam_tq20", mode=0):
        self._lib = _lib_orvex()
        self._handle = _lib.Handle()
        ok = self._lib.QV_Open(ctypes.byref(self._handle), mode, open_string.encode("latin-1"))
        if ok != 1 or not self._handle:
            raise OrvexError("QV_Open", ok, router.take_last_text())
        self.maps = _Registers(self)
        self._index()

    @classmethod
    def replay(cls, path):
        return cls(path, mode=1)

    def _index(self):
        desc = self._lib.QV_GetRegDesc(self._handle)
        self._maps, self._regs = {}, {}
        if not desc:
            return
        d = desc.contents
        for i in range(d.mapCount):
            name = _text(d.maps[i].id)
            if name and name not in self._maps:
                self._maps[name] = ctypes.pointer(d.maps[i])
        for i in range(d.regCount):
            name = _text(d.regs[i].id)
            if name and name not in self._regs:
                self._regs[name] = d.regs[i].num

    # -- life cycle -------------------------------------------------------------
    def close(self):
        if self._handle:
            self._lib.QV_Close(self._handle)
            self._handle = _lib.Handle()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    @property
    def handle(self):
        if not self._handle:
            raise OrvexError("Camera", -1, "the camera is closed")
        return self._handle

    # -- descriptions -----------------------------------------------------------
    @property
    def map_names(self):
        return self._maps.keys()

    @property
    def register_names(self):
        return self._regs.keys()

    def map(self, name):
        return Map(self, self._maps[name])

    def system_description(self):
        desc = self._lib.QV_GetSysDesc(self.handle)
        if not desc:
            raise OrvexError("QV_GetSysDesc", 0, router.take_last_text())
        d = desc.contents
        info = {"sysId": _text(d.sysId)}
        for part in ("fpga", "sensor", "usb", "eth", "motion"):
            ptr = getattr(d, part)
            if not ptr:
                info[part] = None
                continue
            record = ptr.contents
            fields = {}
            for fname, _ in record._fields_:
                value = getattr(record, fname)
                if isinstance(value, bytes):
                    value = value.decode("latin-1")
                elif hasattr(value, "__len__"):
                    value = list(value)
                fields[fname] = value
            info[part] = fields
        return info

    # -- maps and registers -----------------------------------------------------
    def get(self, name):
        if name in self._maps:
            return self._lib.QV_GetMap(self.handle, self._maps[name])
        if name in self._regs:
            return self._lib.QV_GetReg(self.handle, self._regs[name])
        raise KeyError(name)

    def set(self, name, value):
        if name in self._maps:
            number = Map(self, self._maps[name]).to_value(value)
            status = self._lib.QV_SetMap(self.handle, self._maps[name], number)
        elif name in self._regs:
            number = int(value, 0) if isinstance(value, str) else int(value)
            if not 0 <= number <= 255:
                raise ValueError("register %s takes 0 to 255, not %d" % (name, number))
            status = self._lib.QV_SetReg(self.handle, self._regs[name], number)
        else:
            raise KeyError(name)
        if status != 0:
            raise OrvexError("set " + name, status, router.take_last_text())

    def get_register(self, address):
        return self._lib.QV_GetReg(self.handle, address)

    def set_register(self, address, value):
        status = self._lib.QV_SetReg(self.handle, address, value)
        if status != 0:
            raise OrvexError("QV_SetReg", status, router.take_last_text())

    # -- acquisition ------------------------------------------------------------
    def acquire(self):
        """One raw acquisition; returns (header, samples) as numpy arrays (copies)."""
        result = self._lib.QV_Acquire(self.handle)
        if result < 0:
            raise OrvexError("QV_Acquire", result, router.take_last_text())
        return self._slot_arrays(0, dtype=np.uint16, raw=True)

    def process(self, dest_mode=None, flags=0, slot=1):
        """Processes slot 0 into `slot`; returns the array shaped by the shape record."""
        source = self._lib.QV_GetCamData(self.handle, 0, 0, None)
        if not source:
            raise OrvexError("QV_ProcessCamData", 0, "no acquisition in slot 0")
        mode = dest_mode if dest_mode is not None else source.contents.mode
        record = self._lib.QV_AllocCamData(self.handle, slot, mode, flags, None, 0)
        if not record:
            raise OrvexError("QV_AllocCamData", 0, router.take_last_text())
        if not self._lib.QV_ProcessCamData(self.handle, slot, 0, None):
            raise OrvexError("QV_ProcessCamData", 0, router.take_last_text())
        return self._slot_arrays(slot, dtype=_PROCESSED_DTYPE.get(mode, np.uint16), raw=False)[1]

    def _slot_arrays(self, slot, dtype, raw):
        meta = _lib.CamDataMeta()
        record = self._lib.QV_GetCamData(self.handle, slot, 0, ctypes.byref(meta))
        if not record:
            raise OrvexError("QV_GetCamData", 0, "slot %d is empty" % slot)
        r = record.contents
        # A view of the library's block: the one copy below is numpy's, which
        # runs without the GIL, so other Python threads go on meanwhile.
        data = np.zeros(0, dtype=np.uint8)
        if r.size and r.data:
            data = np.ctypeslib.as_array((ctypes.c_uint8 * r.size).from_address(r.data))
        header = None
        offset = 0
        if r.flags & FLAG_HEADER:
            header = _lib.CamDataHdr.from_buffer_copy(bytes(data[:HEADER_BYTES]))
            offset = HEADER_BYTES
        shape = tuple(reversed([meta.dimSz[i] for i in range(meta.numDim)]))
        itemsize = np.dtype(dtype).itemsize
        count = 1
        for extent in shape:
            count *= extent
        if raw:
            samples = np.frombuffer(data, dtype=np.uint16, count=(r.size - offset) // 2, offset=offset)
            return header, samples.copy()
        needed = count * itemsize
        if count == 0 or needed > len(data) - offset:
            samples = np.frombuffer(data, dtype=dtype, count=(len(data) - offset) // itemsize, offset=offset)
        else:
            samples = np.frombuffer(data, dtype=dtype, count=count, offset=offset).reshape(shape)
        return header, samples.copy()

    # -- timing -----------------------------------------------------------------
    def timing(self):
        """(frame rate in Hz, demodulation frequency in Hz, calibration ns) from the maps."""
        record = _lib.AcquTiming()
        status = self._lib.QV_UpdateAcquTiming(self.handle, ctypes.byref(record), 2)
        if status != 0:
            raise OrvexError("QV_UpdateAcquTiming", status, router.take_last_text())
        fps = 1e9 / record.framePeriod if record.framePeriod else float("inf")
        demod = 1e9 / record.demodPeriod if record.demodPeriod else float("inf")
        return fps, demod, record.calDuration

    def set_timing(self, demod_period_ns, frame_period_ns):
        record = _lib.AcquTiming(demod_period_ns, 0, frame_period_ns)
        status = self._lib.QV_UpdateAcquTiming(self.handle, ctypes.byref(record), 1)
        if status != 0:
            raise OrvexError("QV_UpdateAcquTiming", status, router.take_last_text())

    # -- recording --------------------------------------------------------------
    def start_recording(self, path):
        status = self._lib.QV_CreateStreamFile(self.handle, str(path).encode())
        if status != 0:
            raise OrvexError("QV_CreateStreamFile", status, router.take_last_text())

    def stop_recording(self):
        status = self._lib.QV_CreateStreamFile(self.handle, None)
        if status != 0:
            raise OrvexError("QV_CreateStreamFile", status, router.take_last_text())
