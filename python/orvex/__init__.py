"""Python access to the Orvex lock-in depth camera kit (libOrvex, libK7Hlp)."""

from .camera import Camera, Map, list_cameras, systems, version
from .errors import OrvexError, ValueRefused
from . import surface

__version__ = "1.7.5.252"

__all__ = ["Camera", "Map", "OrvexError", "ValueRefused", "list_cameras", "surface", "systems", "version",
           "__version__"]
