"""Setting a context up and reading its diagnostics: the services, the
transport, the fake transport's routes, the time-out, reset.

The functions marked ``@per_context`` act on a context (and are also
``Session`` methods); the others act on what the whole process shares.
"""
from __future__ import annotations

import ctypes
from enum import IntEnum
from typing import Optional, Tuple, Union

from . import _native
from ._context import current, per_context
from ._errors import error_class, python_message
from ._reading import call, read_warnings, text
from ._transport import PythonTransport, Transport

__all__ = [
    "Service", "ServiceName", "service_of", "export_of", "version", "strerror", "last_rc",
    "last_error", "last_http_code", "warnings", "result_json", "reset", "configure", "base_url",
    "default_port", "configure_url", "set_url_base", "set_timeout_ms", "timeout_ms",
    "use_transport", "use_fake", "fake_reset", "fake_set", "fake_fail", "fake_calls",
    "fake_post_count", "fake_last_post_url", "fake_last_post_body",
]


class Service(IntEnum):
    """The services, with the library's kind numbers."""
    JACKETT = 0
    SONARR = 1
    RADARR = 2
    PROWLARR = 3


ServiceName = Union[str, Service]


def service_of(service: ServiceName) -> Service:
    if isinstance(service, Service):
        return service
    try:
        return Service[str(service).upper()]
    except KeyError:
        names = ", ".join(repr(s.name.lower()) for s in Service)
        raise ValueError(f"kova: unknown service {service!r}: use one of {names}") from None


def export_of(service: Service, what: str) -> str:
    # Each service's configure and test are kova_<service>_configure and
    # kova_<service>_test.
    return f"kova_{service.name.lower()}_{what}"


# ---------------------------------------------------------------------------
# Diagnostics and lifecycle
# ---------------------------------------------------------------------------
def version() -> str:
    """The library's version, e.g. "1.0.0"."""
    return _native.load().kova_version()


def strerror(rc: int) -> str:
    """The name of a result code ("OK", "ERR_AUTH"; "ERR_UNKNOWN" for others)."""
    return _native.load().kova_strerror(rc)


@per_context
def last_rc() -> int:
    """The value returned by the last operation (result code or library id)."""
    return _native.load().kova_last_rc()


@per_context
def last_error() -> Optional[str]:
    """The message of the last failure or partial success (as the errors
    carry it); None when none."""
    lib = _native.load()
    return python_message(lib.kova_last_rc(), lib.kova_last_error())


@per_context
def last_http_code() -> Optional[int]:
    """The HTTP status of the last request of the last operation; None when none."""
    return _native.load().kova_last_http_code() or None


@per_context
def warnings() -> Tuple[str, ...]:
    """The warnings of the last operation."""
    return read_warnings(_native.load())


@per_context
def result_json() -> str:
    """The current result as a compact JSON document."""
    return _native.load().kova_result_json()


@per_context
def reset() -> None:
    """Releases every result, unconfigures the services, removes the
    transport and disarms writes; the default context's reset also restores
    the default time-out (a session's leaves the time-out, which every
    context shares, alone). The fake transport's routes survive
    (``fake_reset`` clears them)."""
    ctx = current()
    _native.load().kova_reset()
    ctx.generation += 1
    ctx.drop_transport()


# ---------------------------------------------------------------------------
# Configuration
# ---------------------------------------------------------------------------
@per_context
def configure(service: ServiceName, host: str, port: Optional[int] = None, https: bool = False,
              api_key: str = "") -> None:
    """Configures a service: ``service`` is "jackett", "sonarr", "radarr"
    or "prowlarr" (Prowlarr needs a libkova that exports
    kova_prowlarr_configure); ``host`` a name, IPv4 or bare IPv6 address (no
    scheme, path or brackets); ``port`` None for the default (9117, 8989,
    7878, 9696); a non-empty ``api_key``. A refused configuration raises
    ``InvalidArgument`` and leaves the previous one in force."""
    call(export_of(service_of(service), "configure"), host, 0 if port is None else int(port),
         1 if https else 0, api_key)


@per_context
def base_url(service: ServiceName) -> Optional[str]:
    """"scheme://host:port" (and the URL base) of a configured service; None
    when it is not configured."""
    return text(_native.load().kova_base_url(service_of(service)))


def default_port(service: ServiceName) -> int:
    """The default port of a service (9117, 8989, 7878, 9696)."""
    return _native.load().kova_default_port(service_of(service))


@per_context
def configure_url(service: ServiceName, url: str, api_key: str) -> None:
    """Configures a service from its URL: http:// or https://, a host (IPv6
    in brackets), an optional port (absent: the scheme's, 80 or 443) and an
    optional path, the URL base ("https://media.lan/sonarr"). A URL with a
    query, a fragment or user information, or any refused part, raises
    ``InvalidArgument`` naming it and leaves the previous configuration in
    force. Needs a libkova that exports kova_configure_url."""
    call("kova_configure_url", int(service_of(service)), url, api_key)


@per_context
def set_url_base(service: ServiceName, path: Optional[str]) -> None:
    """Sets the path prefix of a service behind a reverse proxy ("/sonarr");
    None or "" removes it. Needs a libkova that exports kova_set_url_base
    (``FunctionUnavailableError`` otherwise)."""
    call("kova_set_url_base", int(service_of(service)), path)


def set_timeout_ms(ms: int) -> None:
    """Sets the request time-out in milliseconds, for every context; 0 or
    less restores 100000."""
    _native.load().kova_set_timeout_ms(ms)


def timeout_ms() -> int:
    """The request time-out in milliseconds, for transports to honour."""
    return _native.load().kova_timeout_ms()


# ---------------------------------------------------------------------------
# Transports
# ---------------------------------------------------------------------------
@per_context
def use_transport(obj: Optional[Transport]) -> None:
    """Installs a Python object as the transport (see ``kova.Transport``);
    None removes it. The binding keeps the object alive while it is
    installed. Requests are made on the calling thread, during the
    operation."""
    ctx = current()
    t = PythonTransport(obj) if obj is not None else None
    _native.load().kova_set_io(ctypes.byref(t.table) if t is not None else None)
    ctx.drop_transport()
    ctx.transport = t


@per_context
def use_fake() -> None:
    """Selects the library's fake transport, which answers from ``fake_set``
    routes: for a host's own tests, with no services and no network."""
    _native.load().kova_use_fake()
    current().drop_transport()


def fake_reset() -> None:
    """Removes every fake route, zeroes the counters, forgets the last POST."""
    _native.load().kova_fake_reset()


def fake_set(url: str, status: int, body: str) -> None:
    """Routes an exact URL (base URL, path, "?apikey=" and the key, then "&"
    and the query) to an HTTP status and body."""
    _raise_plain(_native.load().kova_fake_set(url, status, body))


def fake_fail(url: str, text: Optional[str] = None) -> None:
    """Makes requests to an exact URL fail at the transport with ``text``."""
    _raise_plain(_native.load().kova_fake_fail(url, text))


def fake_calls(url: Optional[str] = None) -> int:
    """Requests served for a URL's route; with None, all since fake_reset."""
    return _native.load().kova_fake_calls(url)


def fake_post_count() -> int:
    """Number of POST requests the fake transport received."""
    return _native.load().kova_fake_post_count()


def fake_last_post_url() -> Optional[str]:
    """URL of the last POST; None before the first."""
    return text(_native.load().kova_fake_last_post_url())


def fake_last_post_body() -> Optional[str]:
    """Body of the last POST; None before the first."""
    return text(_native.load().kova_fake_last_post_body())


def _raise_plain(rc: int) -> None:
    # For the calls that return a code without setting the last error.
    if rc < 0:
        raise error_class(rc)(rc, strerror(rc), None)
