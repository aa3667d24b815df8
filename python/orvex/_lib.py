"""ctypes declarations of libOrvex's C ABI (orvex/include/Orvex.h)."""

import ctypes
import ctypes.util
import os
from ctypes import (POINTER, Structure, c_char, c_char_p, c_float, c_int8, c_int16,
                    c_int32, c_uint8, c_uint16, c_uint32, c_uint64, c_void_p)

Handle = c_void_p
Callback = ctypes.CFUNCTYPE(c_int32, c_void_p, c_uint32, c_uint32, c_char_p)


class FpgaDesc(Structure):
    _fields_ = [("id", c_char_p), ("regDesc", c_char_p), ("fpgaCfg", c_char_p),
                ("verStr", c_char_p), ("variant", c_char_p), ("numRegs", c_int16),
                ("verReg", c_int16), ("verRegBCD", c_int32), ("feature", c_uint32),
                ("frmMrk", c_int16), ("maxFrm", c_int16), ("maxFrmModeA", c_int16),
                ("mhtHdrSz", c_int16), ("zFrmBlkSz", c_int16)]


class SensorDesc(Structure):
    _fields_ = [("id", c_char_p), ("verStr", c_char_p), ("pixPitch", c_float * 2),
                ("size", c_int16 * 2), ("orientation", c_uint8)]


class UsbDesc(Structure):
    _fields_ = [("id", c_char_p), ("fx2FW", c_char_p), ("variant", c_char_p),
                ("verStr", c_char_p), ("productID", c_int16), ("vendorID", c_int16),
                ("feature", c_uint32), ("protocol", c_int32), ("verFx2", c_int32),
                ("config", c_uint8), ("iface", c_uint8), ("epCmdRead", c_uint8),
                ("epCmdWrite", c_uint8), ("epRead", c_uint8), ("epWrite", c_uint8),
                ("dataBlockSize", c_int16)]


class IdDesc(Structure):
    _fields_ = [("id", c_char_p)]


class SysDesc(Structure):
    _fields_ = [("sysId", c_char_p), ("fpgaFeatureNames", POINTER(c_char_p)),
                ("usbFeatureNames", POINTER(c_char_p)), ("fpga", POINTER(FpgaDesc)),
                ("sensor", POINTER(SensorDesc)), ("usb", POINTER(UsbDesc)),
                ("eth", POINTER(IdDesc)), ("motion", POINTER(IdDesc))]


class Reg(Structure):
    _fields_ = [("num", c_uint8), ("id", c_char_p), ("cmt", c_char_p)]


class RegEntry(Structure):
    pass


RegEntry._fields_ = [("shift", c_int8), ("mask", c_uint8), ("reg", POINTER(Reg)),
                     ("next", POINTER(RegEntry))]


class EnumEntry(Structure):
    pass


EnumEntry._fields_ = [("value", c_int32), ("name", c_char_p), ("next", POINTER(EnumEntry))]


class Map(Structure):
    _fields_ = [("id", c_char_p), ("cmt", c_char_p), ("mode", c_uint8),
                ("regEntries", POINTER(RegEntry)), ("enumEntries", POINTER(EnumEntry)),
                ("group", c_char_p), ("level", c_uint8), ("min", c_uint32), ("max", c_uint32),
                ("cachedValue", c_uint32), ("cammode", c_uint8)]


class RegDesc(Structure):
    _fields_ = [("regCount", c_uint16), ("regs", POINTER(Reg)), ("mapCount", c_uint16),
                ("maps", POINTER(Map))]


class CamData(Structure):
    _fields_ = [("size", c_uint32), ("mode", c_uint32), ("flags", c_uint16),
                ("refCount", c_uint16), ("data", c_void_p)]


class CamDataMeta(Structure):
    _fields_ = [("numDim", c_uint8), ("dimSz", c_uint32 * 5)]


class CamDataHdr(Structure):
    _pack_ = 1
    _fields_ = [("dummy0", c_uint16), ("syncWord", c_uint16), ("dummy1", c_uint16 * 14),
                ("zTags", c_uint16 * 512), ("dummy2", c_uint16 * 480), ("tmpOptics", c_uint16),
                ("tmpLaser", c_uint16), ("frmDur", c_uint32), ("scanDur", c_uint64),
                ("timeStamp", c_uint64), ("nFrames", c_uint16), ("dummy3", c_uint16),
                ("nVolume", c_uint32)]


class AcquTiming(Structure):
    _fields_ = [("demodPeriod", c_uint32), ("calDuration", c_uint32), ("framePeriod", c_uint32)]


assert ctypes.sizeof(CamDataHdr) == 2048

_PROTOTYPES = {
    "QV_SetCallback": (c_void_p, [Callback]),
    "QV_GetDefaultCallback": (c_void_p, []),
    "QV_GetVersion": (c_int32, [POINTER(c_uint16)]),
    "QV_GetSerials": (c_uint32, [c_char_p]),
    "QV_GetSystemIds": (c_uint32, [c_char_p, c_uint32]),
    "QV_Open": (c_int32, [POINTER(Handle), c_uint32, c_char_p]),
    "QV_Close": (c_int32, [Handle]),
    "QV_SetTimeout": (c_int32, [Handle, c_uint32]),
    "QV_GetSysDesc": (POINTER(SysDesc), [Handle]),
    "QV_GetRegDesc": (POINTER(RegDesc), [Handle]),
    "QV_SetReg": (c_int32, [Handle, c_uint8, c_uint8]),
    "QV_GetReg": (c_uint8, [Handle, c_uint8]),
    "QV_SetMap": (c_int32, [Handle, POINTER(Map), c_uint32]),
    "QV_GetMap": (c_uint32, [Handle, POINTER(Map)]),
    "QV_Acquire": (c_int32, [Handle]),
    "QV_AllocCamData": (POINTER(CamData), [Handle, c_uint8, c_uint32, c_uint16, c_void_p, c_uint32]),
    "QV_GetCamData": (POINTER(CamData), [Handle, c_uint8, c_int8, POINTER(CamDataMeta)]),
    "QV_FreeCamData": (POINTER(CamData), [Handle, c_uint32]),
    "QV_ProcessCamData": (POINTER(CamData), [Handle, c_uint8, c_uint32, c_void_p]),
    "QV_SetProcessingThreads": (c_int32, [Handle, c_uint32]),
    "QV_UpdateAcquTiming": (c_int32, [Handle, POINTER(AcquTiming), c_uint16]),
    "QV_CreateStreamFile": (c_int32, [Handle, c_char_p]),
    "QV_FileStreamCmd": (c_int32, [Handle, c_uint32, c_uint32, c_void_p]),
    "QV_InternalFunc": (c_int32, [c_int32]),  # variadic: arguments are passed explicitly
}


def _candidates(name):
    """Places to load a library from, in the order they are tried."""
    env = os.environ.get("ORVEX_LIB_DIR")
    here = os.path.dirname(os.path.abspath(__file__))
    dirs = [env] if env else []
    dirs.append(os.path.join(here, "..", "..", "build", "lib"))
    # An installed package sits in <prefix>/lib/pythonX/site-packages beside the libraries.
    dirs.append(os.path.join(here, "..", "..", ".."))
    for d in dirs:
        path = os.path.join(d, name)
        if os.path.exists(path):
            yield path
    found = ctypes.util.find_library(name[3:].split(".")[0])
    if found:
        yield found
    yield name


def load(name):
    """Loads a library from ORVEX_LIB_DIR, the source tree's build/lib, or the system."""
    errors = []
    for path in _candidates(name):
        try:
            return ctypes.CDLL(path, mode=ctypes.RTLD_GLOBAL)
        except OSError as error:
            errors.append(str(error))
    raise OSError("cannot load %s: %s" % (name, "; ".join(errors)))


_orvex = None


def orvex():
    """libOrvex with its prototypes declared, loaded on first use."""
    global _orvex
    if _orvex is None:
        lib = load("libOrvex.so")
        for fname, (restype, argtypes) in _PROTOTYPES.items():
            fn = getattr(lib, fname)
            fn.restype = restype
            if fname != "QV_InternalFunc":
                fn.argtypes = argtypes
        _orvex = lib
    return _orvex
