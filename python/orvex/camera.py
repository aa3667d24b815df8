"""Cameras (and recorded streams) as Python objects."""

import collections.abc
import ctypes
import numbers

import numpy as np

from . import _lib
from .errors import OrvexError, ValueRefused
from .messages import router

HEADER_BYTES = 2048
FLAG_EXTERNAL, FLAG_PADDED, FLAG_HEADER, FLAG_COMPACT, FLAG_CROSS = 2, 4, 8, 16, 32

# Element type of each data mode's processed array (innermost dimension first in meta).
_PROCESSED_DTYPE = {1: np.uint16, 3: np.uint16, 4: np.uint8, 5: np.uint16, 6: np.uint16, 7: np.float32}


def _lib_orvex():
    """libOrvex with this package's message router installed."""
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


def systems():
    """The system ids the data folder offers (for open strings "sys=NAME")."""
    lib = _lib_orvex()
    size = lib.QV_GetSystemIds(None, 0)
    buffer = ctypes.create_string_buffer(size)
    if size <= 1 or lib.QV_GetSystemIds(buffer, size) != size:
        raise OrvexError("QV_GetSystemIds", 0, "the data folder offers no system description")
    return buffer.value.decode("latin-1").split()


def _text(ptr):
    """A C text as str (None for a null pointer)."""
    return ptr.decode("latin-1") if ptr else None


class Map:
    """One named map: a value spread over register bit fields, maybe with enumeration names."""

    def __init__(self, camera, entry):
        self._camera = camera
        self._entry = entry

    @property
    def name(self):
        """The map's name."""
        return _text(self._entry.contents.id)

    @property
    def enums(self):
        """Enumeration names and their values, in description order."""
        out = {}
        node = self._entry.contents.enumEntries
        while node:
            out[_text(node.contents.name)] = node.contents.value
            node = node.contents.next
        return out

    @property
    def value_bits(self):
        """The value bits the map's register fields can hold (0: no field limits it)."""
        bits = 0
        node = self._entry.contents.regEntries
        while node:
            entry = node.contents
            k = abs(entry.shift) % 32
            bits |= (entry.mask << k) if entry.shift < 0 else (entry.mask >> k)
            node = entry.next
        return bits

    @property
    def valid_range(self):
        """(lowest, highest) value the map accepts."""
        m = self._entry.contents
        if m.max > m.min:
            return m.min, m.max
        return 0, self.value_bits or 0xFFFFFFFF

    def _refuse(self, why):
        low, high = self.valid_range
        choices = "valid: %d..%d" % (low, high)
        if self.enums:
            choices += " or one of " + ", ".join(self.enums)
        raise ValueRefused(self.name, "%s (%s); nothing written" % (why, choices))

    def to_value(self, value):
        """The number for a value or enumeration name; ValueRefused when the map cannot hold it."""
        if isinstance(value, str):
            enums = self.enums
            if value in enums:
                return enums[value] & 0xFFFFFFFF
            try:
                value = int(value, 0)
            except ValueError:
                self._refuse("not a whole number or a name: %r" % value)
        elif isinstance(value, bool) or not isinstance(value, numbers.Real) or not float(value).is_integer():
            self._refuse("not a whole number: %r" % (value,))
        value = int(value)
        if value < 0:
            self._refuse("negative numbers are refused: %d" % value)
        low, high = self.valid_range
        bits = self.value_bits
        if value < low or value > high or (bits and value & ~bits):
            self._refuse("%d is out of range" % value)
        return value

    def name_of(self, value):
        """The enumeration name of a value, or None."""
        for name, number in self.enums.items():
            if number == value:
                return name
        return None


class _Registers(collections.abc.Mapping):
    """Maps (first) and registers by name, as a mapping; assignment writes them."""

    def __init__(self, camera):
        self._camera = camera

    def __getitem__(self, name):
        return self._camera.get(name)

    def __setitem__(self, name, value):
        self._camera.set(name, value)

    def __contains__(self, name):
        return name in self._camera.map_names or name in self._camera.register_names

    def __iter__(self):
        return iter(self.keys())

    def __len__(self):
        return len(self.keys())

    def keys(self):
        """Map names, then the names of registers that are not maps too."""
        return list(self._camera.map_names) + [r for r in self._camera.register_names
                                                if r not in self._camera.map_names]


class Camera:
    """An open system: a USB camera (mode 0 or 2), or a recorded stream (Camera.replay)."""

    def __init__(self, open_string="sys=k7cam_tq20", mode=0):
        """Opens a system by open string (mode 0 or 2), or a stream file (mode 1)."""
        self._lib = _lib_orvex()
        self._handle = _lib.Handle()
        router.take_last_text()
        ok = self._lib.QV_Open(ctypes.byref(self._handle), mode, str(open_string).encode("latin-1"))
        if ok != 1 or not self._handle:
            text = router.take_last_text()
            if mode == 2 and text and "GetAllReg" in text:
                text += ("; the FPGA does not answer: it holds no configuration, and mode 2 does not download one"
                         " (open in mode 0)")
            raise OrvexError("QV_Open", ok, text, str(open_string) if mode == 1 else None)
        self.maps = _Registers(self)
        self._index()

    @classmethod
    def replay(cls, path):
        """Opens a recorded stream file; acquisitions come from the file."""
        return cls(path, mode=1)

    def _index(self):
        """Looks up map and register names once."""
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
        """Closes the system; further calls raise OrvexError."""
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
        """The library handle of the open system."""
        if not self._handle:
            raise OrvexError("Camera", -1, "the camera is closed")
        return self._handle

    # -- descriptions -----------------------------------------------------------
    @property
    def map_names(self):
        """Names of the maps of the register description."""
        return self._maps.keys()

    @property
    def register_names(self):
        """Names of the registers of the register description."""
        return self._regs.keys()

    def map(self, name):
        """The Map object of a map name (KeyError when unknown)."""
        return Map(self, self._maps[name])

    def system_description(self):
        """The system description as nested dictionaries."""
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
        """The value of a map or register by name (KeyError when unknown)."""
        if name in self._maps:
            return self._lib.QV_GetMap(self.handle, self._maps[name])
        if name in self._regs:
            return self._lib.QV_GetReg(self.handle, self._regs[name])
        raise KeyError(name)

    def set(self, name, value):
        """Writes a map (number or enumeration name) or register by name.

        A value the map or register cannot hold raises ValueRefused (an
        OrvexError and a ValueError) and nothing is written.
        """
        if name in self._maps:
            number = Map(self, self._maps[name]).to_value(value)
            status = self._lib.QV_SetMap(self.handle, self._maps[name], number)
        elif name in self._regs:
            number = _register_value(name, value)
            status = self._lib.QV_SetReg(self.handle, self._regs[name], number)
        else:
            raise KeyError(name)
        if status != 0:
            raise OrvexError("set " + name, status, router.take_last_text())

    def get_register(self, address):
        """The value of a register by address."""
        return self._lib.QV_GetReg(self.handle, address)

    def set_register(self, address, value):
        """Writes a register by address (0..255)."""
        value = _register_value("register %s" % address, value)
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

    @property
    def processing_threads(self):
        """Threads process() may use for a record of 8 MB or more (1: the calling thread alone)."""
        previous = self._lib.QV_SetProcessingThreads(self.handle, 1)
        self._lib.QV_SetProcessingThreads(self.handle, previous)
        return previous

    @processing_threads.setter
    def processing_threads(self, threads):
        if isinstance(threads, bool) or not isinstance(threads, numbers.Integral) or not 0 <= threads <= 16:
            raise ValueRefused("processing_threads", "takes whole numbers 0..16, not %r" % (threads,))
        self._lib.QV_SetProcessingThreads(self.handle, int(threads))

    def _slot_arrays(self, slot, dtype, raw):
        """(header, samples) of a slot; processed samples shaped by the shape record."""
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
        if r.flags & FLAG_HEADER and len(data) >= HEADER_BYTES:
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
        if not shape or count == 0 or needed > len(data) - offset:
            raise OrvexError("QV_ProcessCamData", 0, "data mode %d has no processed shape (%d bytes for %s)"
                             % (r.mode, len(data) - offset, shape or "no shape"))
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
        """Sets the demodulation and frame periods in nanoseconds."""
        record = _lib.AcquTiming(demod_period_ns, 0, frame_period_ns)
        status = self._lib.QV_UpdateAcquTiming(self.handle, ctypes.byref(record), 1)
        if status != 0:
            raise OrvexError("QV_UpdateAcquTiming", status, router.take_last_text())

    # -- recording --------------------------------------------------------------
    def start_recording(self, path):
        """Records every following acquisition and register write to a stream file."""
        status = self._lib.QV_CreateStreamFile(self.handle, str(path).encode())
        if status != 0:
            raise OrvexError("QV_CreateStreamFile", status, router.take_last_text(), str(path))

    def stop_recording(self):
        """Closes the recording stream file."""
        status = self._lib.QV_CreateStreamFile(self.handle, None)
        if status != 0:
            raise OrvexError("QV_CreateStreamFile", status, router.take_last_text())


def _register_value(name, value):
    """A register value 0..255; ValueRefused for anything else."""
    try:
        number = int(value, 0) if isinstance(value, str) else value
    except ValueError:
        number = None
    if isinstance(number, bool) or not isinstance(number, numbers.Integral) or not 0 <= number <= 255:
        raise ValueRefused(name, "registers take whole numbers 0..255, not %r; nothing written" % (value,))
    return int(number)
