"""Result codes as exceptions: one base class, one subclass per code.

Each class also derives from the built-in exception Python code already
catches for that kind of failure (``ConnectionError``, ``PermissionError``,
``LookupError``, ``ValueError``, ``MemoryError``), so that a host can handle
kova's failures with the handlers it has.
"""
from __future__ import annotations

from typing import Dict, Optional, Tuple, Type, TYPE_CHECKING

if TYPE_CHECKING:
    from ._results import GetReport, TestLogEntry

__all__ = [
    "KovaError", "TransportError", "TransportTimeout", "HttpError", "AuthError", "JsonError",
    "NotConfigured", "NotFound", "Empty", "NotArmed", "NoTransport", "InvalidArgument",
    "OutOfMemory", "IndexersFailed", "error_class", "python_message",
]


class KovaError(Exception):
    """A kova operation failed with a negative result code.

    Attributes: ``rc`` (the code), ``name`` (its name, "ERR_AUTH"),
    ``message`` (the library's last error text, or the binding's when the
    library's names C calls), ``http_code`` (status of the last request,
    None when none reached the transport), ``warnings`` and ``test_log``
    (what the operation logged on its way), ``transport_error`` (what the
    transport said of its failure, API keys redacted: None unless the
    transport failed with a text, or gave its reason for a refusal) and
    ``report`` (a get's ``GetReport``, None for other operations). When a
    Python transport raised, that exception is ``__cause__``.
    """

    rc: int = 0
    report: "Optional[GetReport]" = None
    python_message: Optional[str] = None
    """The binding's text for a code whose library message names C calls."""

    def __init__(self, rc: int, name: str, message: Optional[str], http_code: Optional[int] = None,
                 warnings: Tuple[str, ...] = (), test_log: "Tuple[TestLogEntry, ...]" = (),
                 transport_error: Optional[str] = None):
        self.rc = rc
        self.name = name
        self.message = self.python_message or message or None
        self.http_code = http_code or None
        self.warnings = tuple(warnings)
        self.test_log = tuple(test_log)
        self.transport_error = transport_error or None
        text = self.message or name
        if self.transport_error:
            text = f"{text}: {self.transport_error}"
        super().__init__(f"{text} ({name}, HTTP {http_code})" if http_code else f"{text} ({name})")


class TransportError(KovaError, ConnectionError):
    """The transport failed: no answer (refused, time-out, TLS, a raising Python transport)."""
    rc = -1


class TransportTimeout(TransportError, TimeoutError):
    """The transport failed because a Python transport's request timed out
    (it raised ``TimeoutError``, as ``socket.timeout`` is; ``UrllibTransport``
    does). The library's own transports report a time-out only as text, so
    their time-outs are plain ``TransportError``."""


class HttpError(KovaError):
    """An HTTP status outside 2xx other than 401/403; see ``http_code``."""
    rc = -2


class AuthError(KovaError, PermissionError):
    """The API key was rejected (401, 403, Torznab error 100)."""
    rc = -3


class JsonError(KovaError):
    """The answer was not JSON or not of the expected shape."""
    rc = -4


class NotConfigured(KovaError):
    """The service is not configured: call kova.configure first."""
    rc = -5


class NotFound(KovaError, LookupError):
    """The item asked for was not found."""
    rc = -6


class Empty(KovaError):
    """The answer held nothing usable (no root folder, no profiles, no
    series); a search that finds nothing returns an empty ``ResultSet``
    instead."""
    rc = -7


class NotArmed(KovaError):
    """Library writes are not armed: use ``with kova.arm_library_writes():``."""
    rc = -8
    python_message = "library writes are not armed: use kova.arm_library_writes()"


class NoTransport(KovaError):
    """No usable transport is installed: kova.use_transport or kova.use_fake."""
    rc = -9
    python_message = "no transport: call kova.use_transport(...) or kova.use_fake()"


class InvalidArgument(KovaError, ValueError):
    """An argument was missing or out of range."""
    rc = -10


class OutOfMemory(KovaError, MemoryError):
    """An allocation failed inside the library."""
    rc = -11


class IndexersFailed(KovaError):
    """Every Jackett or Prowlarr indexer failed (and no rows came)."""
    rc = -12


_BY_RC: Dict[int, Type[KovaError]] = {
    cls.rc: cls for cls in (TransportError, HttpError, AuthError, JsonError, NotConfigured,
                            NotFound, Empty, NotArmed, NoTransport, InvalidArgument,
                            OutOfMemory, IndexersFailed)
}


def error_class(rc: int) -> Type[KovaError]:
    """The exception class of a negative result code (``KovaError`` for a code
    this binding does not know yet)."""
    return _BY_RC.get(rc, KovaError)


def python_message(rc: int, message: str) -> Optional[str]:
    """The message of a result code as the binding shows it: the library's,
    unless it names C calls; None for none."""
    return (error_class(rc).python_message if rc < 0 else None) or message or None
