"""Exceptions that carry the library's status and its last reported text."""


class OrvexError(RuntimeError):
    """A libOrvex call failed. `status` is the call's result, `text` the library's message."""

    def __init__(self, call, status, text=None):
        self.call = call
        self.status = status
        self.text = text
        message = "%s failed (status %s)" % (call, status)
        if text:
            message += ": " + text
        super().__init__(message)
