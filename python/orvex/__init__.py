"""Python access to the Orvex lock-in depth camera kit (libOrvex, libK7Hlp)."""

from .camera import Camera, Map, list_cameras, version
from .errors import OrvexError
from . import surface

__all__ = ["Camera", "Map", "OrvexError", "list_cameras", "surface", "version"]
