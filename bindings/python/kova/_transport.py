"""Python objects as kova's transport: what one offers (``Transport``) and
the ``kova_io`` table around it (``UrllibTransport`` is in ``_urllib``)."""
from __future__ import annotations

import ctypes
import socket
from typing import Any, Dict, List, Optional, Protocol, Tuple, Union, runtime_checkable

from ._native import GET_FN, POST_FN, RELEASE_FN, KovaIo

__all__ = ["Transport", "PythonTransport", "Answer", "TIMEOUTS", "retired"]

Body = Union[str, bytes, bytearray, None]
Answer = Union[Tuple[int, Body], Tuple[int, Body, Optional[str]]]
"""What a transport's get/post returns: (HTTP status, body), or (HTTP
status, body, reason) with the transport's own words about a refusal."""
TIMEOUTS = (socket.timeout, TimeoutError)  # one class since Python 3.10


@runtime_checkable
class Transport(Protocol):
    """What ``kova.use_transport`` installs: any object with these two methods.

    Each returns the HTTP status and the body of an exchange that took
    place, whatever the status (kova maps 401/403, 404, 5xx to its errors);
    the body may be ``str`` (sent as UTF-8) or ``bytes``. A third element,
    a ``str`` or None, is what the transport knows of a refusal that the
    body does not say ("rate limited, retry after 30 s"): with a status
    outside 2xx it becomes the error's ``transport_error``; with a success
    the library ignores it. When no exchange
    took place (refused, DNS, TLS), raise: the operation fails with
    ``kova.TransportError`` whose ``__cause__`` is your exception; raise
    ``TimeoutError`` (``socket.timeout`` is one) for a time-out, and it is
    ``kova.TransportTimeout``. A transport installed in several sessions is
    called from their threads at once.
    """

    def get(self, url: str) -> Answer:
        """GET ``url`` (the API key is in its query string)."""
        ...

    def post(self, url: str, body: str, content_type: str) -> Answer:
        """POST ``body`` (JSON, of type ``content_type``) to ``url``."""
        ...


def _as_bytes(body: Any) -> bytes:
    if body is None:
        return b""
    if isinstance(body, str):
        return body.encode("utf-8")
    if isinstance(body, (bytes, bytearray, memoryview)):
        return bytes(body)
    raise TypeError(f"body must be str or bytes, not {type(body).__name__}")


class PythonTransport:
    """The ``kova_io`` table of one Python transport object.

    Every text handed to the library is a ctypes buffer kept in
    ``outstanding`` until the library gives it back through ``release``, which
    this table always supplies (on Windows the library's own ``free`` belongs
    to another C runtime than Python's). The callbacks never let an exception
    cross into C: an ``Exception`` becomes a transport failure whose error
    text names it, and is kept in ``raised`` so that the operation's
    ``TransportError`` can carry it as its cause; anything else
    (KeyboardInterrupt, SystemExit) also fails the request and is kept in
    ``interrupted`` for the binding to raise once the library call returned.
    """

    def __init__(self, obj: Transport):
        if not callable(getattr(obj, "get", None)) or not callable(getattr(obj, "post", None)):
            raise TypeError("a kova transport needs get(url) and post(url, body, content_type) methods")
        self.obj = obj
        self.outstanding: Dict[int, Any] = {}
        self.raised: Optional[BaseException] = None
        self.interrupted: Optional[BaseException] = None
        # The CFUNCTYPE objects must outlive the table: ctypes frees the
        # trampolines with them.
        self._get = GET_FN(self._on_get)
        self._post = POST_FN(self._on_post)
        self._release = RELEASE_FN(self._on_release)
        self.table = KovaIo(None, self._get, self._post, self._release)

    # Each output is stored at most once per request and always through
    # _give, so the library gets every buffer once and releases it once.
    def _give(self, out: Any, data: bytes) -> None:
        buf = ctypes.create_string_buffer(data)  # NUL-terminated copy
        addr = ctypes.addressof(buf)
        self.outstanding[addr] = buf
        out[0] = addr

    def _answer(self, call: Any, body_out: Any, status: Any, error: Any) -> int:
        try:
            answer = call()
            if not isinstance(answer, tuple) or len(answer) not in (2, 3):
                raise TypeError(f"a transport must return (status, body) or (status, body, reason), "
                                f"not {answer!r:.80}")
            code, body, reason = answer if len(answer) == 3 else (*answer, None)
            if isinstance(code, bool) or not isinstance(code, int):
                raise TypeError(f"the status must be an int, not {type(code).__name__}")
            if reason is not None and not isinstance(reason, str):
                raise TypeError(f"the reason must be a str or None, not {type(reason).__name__}")
            data = _as_bytes(body)
        except Exception as exc:  # any failure of the host's code is a transport failure
            self.raised = exc
            self._give(error, f"{type(exc).__name__}: {exc}".encode("utf-8", "replace"))
            return 1
        except BaseException as exc:  # noqa: B902 - must not unwind through C
            self.interrupted = exc
            self._give(error, f"interrupted: {type(exc).__name__}".encode())
            return 1
        status[0] = code
        self._give(body_out, data)
        if reason:
            self._give(error, reason.encode("utf-8", "replace"))
        return 0

    def _on_get(self, _user: Any, url: Optional[bytes], body: Any, status: Any, error: Any) -> int:
        u = (url or b"").decode("utf-8", "replace")
        return self._answer(lambda: self.obj.get(u), body, status, error)

    def _on_post(self, _user: Any, url: Optional[bytes], req: Optional[bytes],
                 content_type: Optional[bytes], body: Any, status: Any, error: Any) -> int:
        u = (url or b"").decode("utf-8", "replace")
        b = (req or b"").decode("utf-8", "replace")
        ct = (content_type or b"").decode("utf-8", "replace")
        return self._answer(lambda: self.obj.post(u, b, ct), body, status, error)

    def _on_release(self, _user: Any, text: Optional[int]) -> None:
        if text:
            self.outstanding.pop(text, None)

    def take_failures(self) -> Tuple[Optional[BaseException], Optional[BaseException]]:
        """The exceptions kept since the last call, cleared."""
        raised, interrupted = self.raised, self.interrupted
        self.raised = self.interrupted = None
        return raised, interrupted


# Tables that were replaced while the library still held some of their
# buffers (only possible if a transport swaps transports from inside a
# request); kept so those buffers stay valid until released.
retired: List[PythonTransport] = []

