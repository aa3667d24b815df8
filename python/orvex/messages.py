"""Routes the library's message callback to Python's logging."""

import logging
import threading

from . import _lib

logger = logging.getLogger("orvex")

_LEVELS = {0: logging.DEBUG, 1: logging.INFO, 2: logging.WARNING, 3: logging.ERROR}


class MessageRouter:
    """Installed once per process; remembers the last error text for exceptions.

    The library reports on the thread whose call caused the report, so the last
    text is kept per thread: a camera used in one thread never sees the error
    of a camera used in another."""

    def __init__(self):
        self._local = threading.local()
        self.progress = None  # optional callable(position, action, text)
        self._callback = _lib.Callback(self._on_message)  # keep a reference alive

    @property
    def last_text(self):
        return getattr(self._local, "text", None)

    @last_text.setter
    def last_text(self, text):
        self._local.text = text

    def install(self):
        """Makes this router the library's message callback."""
        _lib.orvex().QV_SetCallback(self._callback)

    def take_last_text(self):
        """The last warning or error text since the previous call, then forgets it."""
        text, self.last_text = self.last_text, None
        return text

    def _on_message(self, handle, kind, value, text):
        decoded = text.decode("latin-1") if text else ""
        if kind == 1:
            level = _LEVELS.get(value & 0xFF, logging.ERROR)
            if level >= logging.WARNING:
                self.last_text = decoded
            logger.log(level, "%s", decoded, extra={"orvex_value": value})
        elif kind == 2:
            logger.debug("stream event %d (acquisition %d)", value & 0xFFFF, value >> 16)
        elif kind == 32:
            if self.progress:
                self.progress(value >> 16, value & 0xFFFF, decoded)
            logger.debug("progress %d%% %s", value >> 16, decoded)
        return 0


router = MessageRouter()
