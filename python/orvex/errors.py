"""Exceptions that carry the library's status and its last reported text."""


class OrvexError(RuntimeError):
    """A libOrvex call failed.

    `status` is the call's result, `text` the library's last message and
    `path` the file the call worked on, if any.
    """

    def __init__(self, call, status, text=None, path=None):
        self.call = call
        self.status = status
        self.text = text
        self.path = path
        message = "%s failed (status %s)" % (call, status)
        if path:
            message += " on %s" % path
        if text:
            message += ": " + text
        super().__init__(message)


class ValueRefused(OrvexError, ValueError):
    """A value a map or register cannot hold; nothing was written."""

    def __init__(self, name, text):
        super().__init__("set " + name, -1, text)
