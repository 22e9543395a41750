"""kova for Python: Jackett, Sonarr v3, Radarr v3 and Prowlarr through libkova.

A pure-Python binding (``ctypes``, standard library only) of libkova's C ABI.
The same package works with the Linux ``libkova.so.1`` and the Windows
``kova.dll``.

Quick start::

    import kova
    kova.configure("jackett", "127.0.0.1", api_key="0123abcd")
    kova.use_transport(kova.UrllibTransport())    # or your own get/post object
    rows = kova.jackett_search_imdb("tt0063350")
    for r in rows:
        print(r.title, r.size, r.seeders, r.published)

Finding the library: ``KOVA_LIBRARY`` (a path) first, then the build tree
when the package runs from a checkout (``build/dev``, ``build/release``;
``build/windows`` on Windows), then the system's search (``libkova.so.1``,
``kova.dll``). ``kova.load(path)`` loads a given file instead. The library is
loaded on first use; ``LibraryNotFoundError`` names every place tried.

Results: operations return immutable objects. A ``ResultSet`` is a sequence
of frozen ``Release`` rows (sizes and dates as ``int``, ``None`` where the
answer had none) with ``stage``, ``indexers``, ``warnings``, ``http_code``,
``partial`` and ``to_dict()`` (the library's result document). A ``Lookup``
is a sequence of ``LookupEntry``; a ``ConnectionReport`` is the test log.
Every text is copied out of the library before the call returns.

Errors: a negative result code raises a subclass of ``KovaError``
(``NotConfigured``, ``AuthError``, ``NotFound``, ``Empty``,
``TransportError``...). ``PARTIAL`` (some indexers failed) is not an
error: the result has ``partial == True``. A Jackett or Prowlarr search
that finds nothing at any stage raises ``Empty``, as the library reports it.

Threads: libkova keeps one process-wide context and does not lock it. The
binding serialises its calls with one lock, and an operation reads its whole
result under that lock, so threads may share the module; but they share one
configuration, one transport and one "current result" too. Make one call at a
time per process in spirit: configure once, then call from one place.
"""
from __future__ import annotations

import ctypes
import json as _json
import re as _re
import ssl as _ssl
import urllib.error as _urlerror
import urllib.request as _urlrequest
import dataclasses
from dataclasses import dataclass
from enum import IntEnum
from typing import Any, Callable, Dict, Iterator, Optional, Tuple, Union

from . import _native
from ._errors import (AuthError, Empty, HttpError, IndexersFailed, InvalidArgument, JsonError,
                      KovaError, NoTransport, NotArmed, NotConfigured, NotFound, OutOfMemory,
                      TransportError, error_class)
from ._native import FunctionUnavailableError, LibraryNotFoundError, Native
from ._results import (ConnectionReport, GetReport, GetResult, Indexer, IndexerList, Lookup,
                       LookupEntry, Outcome, QualityProfile, Release, ResultSet, RootFolder,
                       TestLogEntry)
from ._transport import Answer, PythonTransport, retired as _retired

__all__ = [
    # loading
    "load", "native", "library_path", "LibraryNotFoundError", "FunctionUnavailableError", "Native",
    # diagnostics and lifecycle
    "version", "strerror", "reset", "last_rc", "last_error", "last_http_code", "warnings",
    "result_json",
    # configuration and transports
    "Service", "configure", "base_url", "default_port", "set_url_base", "use_fake",
    "use_transport", "UrllibTransport", "Answer", "set_timeout_ms", "timeout_ms", "configure_url",
    # fake transport
    "fake_reset", "fake_set", "fake_fail", "fake_calls", "fake_post_count",
    "fake_last_post_url", "fake_last_post_body",
    # operations
    "imdb_numeric", "connection_test", "parse_torznab_indexers", "jackett_search_imdb",
    "jackett_search_query", "parse_jackett", "prowlarr_search", "parse_prowlarr",
    "prowlarr_grab_release", "sonarr_lookup", "radarr_lookup",
    "sonarr_library_find", "radarr_library_find", "sonarr_releases", "radarr_releases",
    "parse_arr_releases", "sonarr_grab_release", "radarr_grab_release", "sonarr_add_series",
    "radarr_add_movie", "quality_profile_pick", "quality_profile_find", "rootfolder_find",
    "sonarr_search_or_add", "radarr_search_or_add", "sonarr_get", "radarr_get",
    "arm_library_writes", "disarm_library_writes", "library_writes_armed", "validate_settings",
    "Validation",
    # results
    "Outcome", "ResultSet", "Release", "Indexer", "IndexerList", "Lookup", "LookupEntry",
    "ConnectionReport", "TestLogEntry", "QualityProfile", "RootFolder", "GetReport", "GetResult",
    # errors
    "KovaError", "TransportError", "HttpError", "AuthError", "JsonError", "NotConfigured",
    "NotFound", "Empty", "NotArmed", "NoTransport", "InvalidArgument", "OutOfMemory",
    "IndexersFailed",
]

# Named values of kova.h.
OK = 0
PARTIAL = 1
STAGE_NONE, STAGE_IMDB, STAGE_TITLE, STAGE_QUERY = 0, 1, 2, 3
# What a Prowlarr search asks for: anything, films, series.
SEARCH_ANY, SEARCH_MOVIE, SEARCH_TV = 0, 1, 2


class Service(IntEnum):
    """The services, with the library's kind numbers."""
    JACKETT = 0
    SONARR = 1
    RADARR = 2
    PROWLARR = 3


# The indexer services, whose connection test lists their indexers (Sonarr's
# and Radarr's load root folders and quality profiles).
_INDEXER_SERVICES = (Service.JACKETT, Service.PROWLARR)


def _export(service: Service, what: str) -> str:
    # Each service's configure and test are kova_<service>_configure and
    # kova_<service>_test.
    return f"kova_{service.name.lower()}_{what}"


ServiceName = Union[str, Service]


def _service(service: ServiceName) -> Service:
    if isinstance(service, Service):
        return service
    try:
        return Service[str(service).upper()]
    except KeyError:
        names = ", ".join(repr(s.name.lower()) for s in Service)
        raise ValueError(f"kova: unknown service {service!r}: use one of {names}") from None


# ---------------------------------------------------------------------------
# Loading and the raw table
# ---------------------------------------------------------------------------
def load(path: Optional[str] = None) -> Native:
    """Loads libkova now (from ``path``, or the usual places) and returns the
    raw binding. Other functions load it on first use."""
    return _native.load(path)


def native() -> Native:
    """The raw binding: every export of kova.h as an attribute of the same
    name, texts as ``str`` (``kova.native().kova_result_title(0)``). It reads
    and replaces the same process-wide context as the functions of this
    module."""
    return _native.load()


def library_path() -> str:
    """The file the binding loaded."""
    return _native.load().path


# ---------------------------------------------------------------------------
# One operation call: the lock, the transport's exceptions, the result code
# ---------------------------------------------------------------------------
_transport: Optional[PythonTransport] = None
_generation = 0  # bumped by every call that replaces the library's results


def _read_log(lib: Native) -> Tuple[TestLogEntry, ...]:
    return tuple(TestLogEntry(lib.kova_test_log_key(i), lib.kova_test_log_text(i))
                 for i in range(lib.kova_test_log_count()))


def _read_warnings(lib: Native) -> Tuple[str, ...]:
    return tuple(lib.kova_warning(i) for i in range(lib.kova_warning_count()))


def _outcome(lib: Native, rc: int) -> Dict[str, Any]:
    return dict(rc=rc, message=lib.kova_last_error(), http_code=lib.kova_last_http_code(),
                warnings=_read_warnings(lib), test_log=_read_log(lib))


def _transport_error(lib: Native) -> str:
    # A library that predates the transport's text has none to give.
    return lib.kova_last_transport_error() if lib.has("kova_last_transport_error") else ""


def _call(name: str, *args: Any) -> int:
    """Runs one operation (the caller holds the lock) and raises its error."""
    global _generation
    lib = _native.load()
    t = _transport
    if t is not None:
        t.take_failures()
    rc = getattr(lib, name)(*args)
    _generation += 1
    raised, interrupted = t.take_failures() if t is not None else (None, None)
    if interrupted is not None:
        raise interrupted
    if rc < 0:
        o = _outcome(lib, rc)
        err = error_class(rc)(rc, lib.kova_strerror(rc), o["message"], o["http_code"],
                              o["warnings"], o["test_log"], _transport_error(lib))
        raise err from raised
    return rc


def _opt(v: int) -> Optional[int]:
    return None if v == -1 else v


# What each kind's accessor gives for "none", as the release details of a
# library that predates them read on every row.
_NONE = {"text": "", "joined": "", "count": -1, "positive": 0, "score": 0, "tristate": -1,
         "texts": 0}
_TRISTATE = {1: True, 0: False}


def _accessor(lib: Native, name: str, none: Any) -> Callable[..., Any]:
    fn = "kova_result_" + name
    return getattr(lib, fn) if lib.has(fn) else (lambda *_: none)


def _row_reader(lib: Native, name: str, kind: str) -> Callable[[int], Any]:
    """Reads row field or release detail ``name`` of row i through its accessor(s)."""
    get = _accessor(lib, name, _NONE.get(kind))
    if kind in ("text", "joined", "score"):
        return get
    if kind in ("count", "date"):
        return lambda i: _opt(get(i))
    if kind == "positive":
        return lambda i: get(i) or None
    if kind == "tristate":
        return lambda i: _TRISTATE.get(get(i))
    if kind == "flag":
        return lambda i: get(i) == 1
    if kind == "size":
        size = ctypes.c_uint64()
        return lambda i: size.value if get(i, ctypes.byref(size)) == 0 else None
    if kind in ("categories", "texts"):
        count = _accessor(lib, name + "_count", 0)
        return lambda i: tuple(get(i, j) for j in range(count(i)))
    raise AssertionError("unknown row field kind " + kind)


def _read_rows(lib: Native) -> Tuple[Release, ...]:
    readers = {f.name: _row_reader(lib, f.metadata.get("accessor", f.name), f.metadata["kind"])
               for f in dataclasses.fields(Release) if "kind" in f.metadata}
    return tuple(Release(**{name: read(i) for name, read in readers.items()},
                         _generation=_generation, _index=i)
                 for i in range(lib.kova_result_count()))


def _read_indexers(lib: Native) -> Tuple[Indexer, ...]:
    return tuple(Indexer(lib.kova_indexer_id(i), lib.kova_indexer_name(i),
                         lib.kova_indexer_status(i), lib.kova_indexer_results(i),
                         lib.kova_indexer_error(i))
                 for i in range(lib.kova_indexer_count()))


def _read_result(lib: Native, rc: int, cls: Any = ResultSet, **extra: Any) -> Any:
    """The library's current result set as ``cls`` (the caller holds the lock)."""
    return cls(items=_read_rows(lib), stage=lib.kova_jackett_stage(), indexers=_read_indexers(lib),
               indexers_errored=lib.kova_indexers_errored(), json=lib.kova_result_json(),
               _generation=_generation, **_outcome(lib, rc), **extra)


def _result_set(name: str, *args: Any) -> ResultSet:
    with _native.lock:
        rc = _call(name, *args)
        return _read_result(_native.load(), rc)


def _current_row_text(generation: int, index: int, accessor: str, arg: str) -> str:
    """A text accessor of row ``index`` that reads the library's own row, so
    only while the set read at ``generation`` is still its current result."""
    with _native.lock:
        if generation != _generation:
            raise RuntimeError("kova: this result set is no longer the library's current "
                               "result; read fields before the next operation")
        return getattr(_native.load(), accessor)(index, arg)


# ---------------------------------------------------------------------------
# Diagnostics and lifecycle
# ---------------------------------------------------------------------------
def version() -> str:
    """The library's version, e.g. "1.0.0"."""
    return _native.load().kova_version()


def strerror(rc: int) -> str:
    """The name of a result code ("OK", "ERR_AUTH"; "ERR_UNKNOWN" for others)."""
    return _native.load().kova_strerror(rc)


def last_rc() -> int:
    """The value returned by the last operation (result code or library id)."""
    return _native.load().kova_last_rc()


def last_error() -> str:
    """The message of the last failure or partial success; "" when none."""
    return _native.load().kova_last_error()


def last_http_code() -> int:
    """The HTTP status of the last request of the last operation; 0 when none."""
    return _native.load().kova_last_http_code()


def warnings() -> Tuple[str, ...]:
    """The warnings of the last operation."""
    with _native.lock:
        return _read_warnings(_native.load())


def result_json() -> str:
    """The library's current result as a compact JSON document."""
    return _native.load().kova_result_json()


def reset() -> None:
    """Releases every result, unconfigures the services, removes the
    transport, disarms writes and restores the default time-out. The fake
    transport's routes survive (``fake_reset`` clears them)."""
    global _generation
    with _native.lock:
        _native.load().kova_reset()
        _generation += 1
        _drop_transport()


# ---------------------------------------------------------------------------
# Configuration
# ---------------------------------------------------------------------------
def configure(service: ServiceName, host: str, port: Optional[int] = None, https: bool = False,
              api_key: str = "") -> None:
    """Configures a service: ``service`` is "jackett", "sonarr", "radarr"
    or "prowlarr" (Prowlarr needs a libkova that exports
    kova_prowlarr_configure); ``host`` a name, IPv4 or bare IPv6 address (no
    scheme, path or brackets); ``port`` None for the default (9117, 8989,
    7878, 9696); a non-empty ``api_key``. A refused configuration raises
    ``InvalidArgument`` and leaves the previous one in force."""
    fn = _export(_service(service), "configure")
    with _native.lock:
        _call(fn, host, 0 if port is None else int(port), 1 if https else 0, api_key)


def base_url(service: ServiceName) -> str:
    """"scheme://host:port" of a configured service; "" when unconfigured."""
    return _native.load().kova_base_url(_service(service))


def default_port(service: ServiceName) -> int:
    """The default port of a service (9117, 8989, 7878, 9696)."""
    return _native.load().kova_default_port(_service(service))


def configure_url(service: ServiceName, url: str, api_key: str) -> None:
    """Configures a service from its URL: http:// or https://, a host (IPv6
    in brackets), an optional port (absent: the scheme's, 80 or 443) and an
    optional path, the URL base ("https://media.lan/sonarr"). A URL with a
    query, a fragment or user information, or any refused part, raises
    ``InvalidArgument`` naming it and leaves the previous configuration in
    force. Needs a libkova that exports kova_configure_url."""
    with _native.lock:
        _call("kova_configure_url", int(_service(service)), url, api_key)


def set_url_base(service: ServiceName, path: Optional[str]) -> None:
    """Sets the path prefix of a service behind a reverse proxy ("/sonarr");
    None or "" removes it. Needs a libkova that exports kova_set_url_base
    (``FunctionUnavailableError`` otherwise)."""
    with _native.lock:
        _call("kova_set_url_base", int(_service(service)), path)


def set_timeout_ms(ms: int) -> None:
    """Sets the request time-out in milliseconds; 0 or less restores 100000."""
    _native.load().kova_set_timeout_ms(ms)


def timeout_ms() -> int:
    """The request time-out in milliseconds, for transports to honour."""
    return _native.load().kova_timeout_ms()


# ---------------------------------------------------------------------------
# Transports
# ---------------------------------------------------------------------------
def _drop_transport() -> None:
    global _transport
    if _transport is not None and _transport.outstanding:
        _retired.append(_transport)
    _retired[:] = [t for t in _retired if t.outstanding]
    _transport = None


def use_transport(obj: Any) -> None:
    """Installs a Python object as the transport; None removes it.

    The object has ``get(url) -> (status, body)`` and
    ``post(url, body, content_type) -> (status, body)``; the body may be
    ``str`` (sent as UTF-8) or ``bytes``. Return any HTTP status you
    received; raise when no exchange took place: the operation then fails
    with ``TransportError`` whose ``__cause__`` is your exception. The
    binding keeps the object alive while it is installed. Requests are made
    on the calling thread, during the operation.
    """
    global _transport
    with _native.lock:
        lib = _native.load()
        t = PythonTransport(obj) if obj is not None else None
        lib.kova_set_io(ctypes.byref(t.table) if t is not None else None)
        _drop_transport()
        _transport = t


def use_fake() -> None:
    """Selects the library's fake transport, which answers from ``fake_set``
    routes: for a host's own tests, with no services and no network."""
    with _native.lock:
        _native.load().kova_use_fake()
        _drop_transport()


def fake_reset() -> None:
    """Removes every fake route, zeroes the counters, forgets the last POST."""
    _native.load().kova_fake_reset()


def fake_set(url: str, status: int, body: str) -> None:
    """Routes an exact URL (base URL, path, "?apikey=" and the key, then "&"
    and the query) to an HTTP status and body."""
    with _native.lock:
        _raise_plain(_native.load().kova_fake_set(url, status, body))


def fake_fail(url: str, text: Optional[str] = None) -> None:
    """Makes requests to an exact URL fail at the transport with ``text``."""
    with _native.lock:
        _raise_plain(_native.load().kova_fake_fail(url, text))


def fake_calls(url: Optional[str] = None) -> int:
    """Requests served for a URL's route; with None, all since fake_reset."""
    return _native.load().kova_fake_calls(url)


def fake_post_count() -> int:
    """Number of POST requests the fake transport received."""
    return _native.load().kova_fake_post_count()


def fake_last_post_url() -> str:
    """URL of the last POST; "" before the first."""
    return _native.load().kova_fake_last_post_url()


def fake_last_post_body() -> str:
    """Body of the last POST; "" before the first."""
    return _native.load().kova_fake_last_post_body()


def _raise_plain(rc: int) -> None:
    # For the calls that return a code without setting the last error.
    if rc < 0:
        raise error_class(rc)(rc, strerror(rc), "")


_APIKEY = _re.compile(r"(apikey=)[^&\s]*", _re.IGNORECASE)


class _NoRedirect(_urlrequest.HTTPRedirectHandler):
    # The API key travels in the query string: never hand it to whatever a
    # Location header names. The 3xx comes back as an answer instead.
    def redirect_request(self, *args: Any, **kwargs: Any) -> None:
        return None


class UrllibTransport:
    """An HTTP(S) transport on the standard library's ``urllib.request``.

    Redirects are not followed; any status comes back as an answer; the
    time-out is ``timeout`` seconds, or ``kova.timeout_ms()`` at each request
    when None; answers above ``max_response_bytes`` fail the request. Pass an
    ``ssl.SSLContext`` for a private CA (``ssl.create_default_context(cafile=...)``).
    Error texts have every ``apikey=`` value replaced by ``***``.
    """

    def __init__(self, context: Optional[_ssl.SSLContext] = None, timeout: Optional[float] = None,
                 user_agent: Optional[str] = None, max_response_bytes: int = 256 << 20):
        self.timeout = timeout
        self.user_agent = user_agent or f"kova-python/{version()}"
        self.max_response_bytes = max_response_bytes
        self._opener = _urlrequest.build_opener(_NoRedirect(),
                                                _urlrequest.HTTPSHandler(context=context))

    def get(self, url: str) -> Answer:
        return self._send(_urlrequest.Request(url, method="GET"))

    def post(self, url: str, body: str, content_type: str) -> Answer:
        req = _urlrequest.Request(url, data=body.encode("utf-8"), method="POST")
        if body:
            req.add_header("Content-Type", content_type)
        return self._send(req)

    def _send(self, req: _urlrequest.Request) -> Answer:
        req.add_header("User-Agent", self.user_agent)
        timeout = self.timeout if self.timeout is not None else timeout_ms() / 1000.0
        try:
            try:
                resp = self._opener.open(req, timeout=timeout)
            except _urlerror.HTTPError as answer:
                resp = answer  # a completed exchange with a non-2xx status
            with resp:
                data = resp.read(self.max_response_bytes + 1)
                code = resp.status if resp.status is not None else resp.code
        except Exception as exc:
            raise OSError(_APIKEY.sub(r"\1***", str(exc))) from None
        if len(data) > self.max_response_bytes:
            raise OSError(f"answer larger than {self.max_response_bytes} bytes")
        return int(code), data


# ---------------------------------------------------------------------------
# Operations
# ---------------------------------------------------------------------------
def imdb_numeric(imdb_id: Optional[str]) -> str:
    """The number of an IMDb id ("tt0000123" -> "123"); "" when invalid."""
    return _native.load().kova_imdb_numeric(imdb_id)


def connection_test(service: ServiceName) -> ConnectionReport:
    """Tests a service's connection. Jackett: lists its configured indexers;
    Prowlarr: lists its enabled indexers, one held back after failures as
    failed (``Empty`` when none is enabled); Sonarr/Radarr: fetches the first
    root folder and the quality profiles (``Empty`` when either is missing),
    keeping every root folder. The report is the test log."""
    s = _service(service)
    with _native.lock:
        rc = _call(_export(s, "test"))
        lib = _native.load()
        profiles = tuple(QualityProfile(lib.kova_quality_profile_id(i),
                                        lib.kova_quality_profile_name(i))
                         for i in range(lib.kova_quality_profile_count()))
        o = _outcome(lib, rc)
        if s in _INDEXER_SERVICES:  # the other lists are left from earlier calls
            return ConnectionReport(items=o["test_log"], indexers=_read_indexers(lib), **o)
        return ConnectionReport(items=o["test_log"], rootfolder=lib.kova_rootfolder(),
                                root_folders=_read_root_folders(lib), quality_profiles=profiles,
                                **o)


def _read_root_folders(lib: Native) -> Tuple[RootFolder, ...]:
    if not lib.has("kova_rootfolder_count"):
        return ()
    return tuple(RootFolder(lib.kova_rootfolder_path(i), _opt(lib.kova_rootfolder_free_space(i)))
                 for i in range(lib.kova_rootfolder_count()))


def parse_torznab_indexers(xml: str) -> IndexerList:
    """Parses a Torznab indexer list fetched by the host."""
    with _native.lock:
        rc = _call("kova_parse_torznab_indexers", xml)
        lib = _native.load()
        return IndexerList(items=_read_indexers(lib), **_outcome(lib, rc))


def jackett_search_imdb(imdb_id: Optional[str], title: Optional[str] = None,
                        query: Optional[str] = None) -> ResultSet:
    """Staged Jackett search: by IMDb id, then by title (rows of other IMDb
    ids dropped), then by free query; each may be None. ``stage`` tells which
    produced the rows. Nothing at any stage raises ``Empty``."""
    return _result_set("kova_jackett_search_imdb", imdb_id, title, query)


def jackett_search_query(query: str) -> ResultSet:
    """Jackett search by free query."""
    return _result_set("kova_jackett_search_query", query)


def parse_jackett(text: str) -> ResultSet:
    """Parses a Jackett results answer fetched by the host."""
    return _result_set("kova_parse_jackett", text)


def prowlarr_search(imdb_id: Optional[str] = None, title: Optional[str] = None,
                    query: Optional[str] = None, type: int = SEARCH_ANY, season: int = 0,
                    episode: int = 0) -> ResultSet:
    """Staged Prowlarr search: the IMDb id as Prowlarr's token (with the
    season and episode, when above 0, for series), then the title (rows of
    other IMDb ids dropped), then the query; ``imdb_id`` and ``query`` may
    not both be None. ``type`` is ``SEARCH_ANY``, ``SEARCH_MOVIE`` or
    ``SEARCH_TV``. The indexers' status follows the search, so that the
    result is ``partial`` when some are held back after failures (and
    ``IndexersFailed`` is raised when all are and nothing came); nothing at
    any stage raises ``Empty``. Needs a libkova that exports
    kova_prowlarr_search."""
    return _result_set("kova_prowlarr_search", imdb_id, title, query, type, season, episode)


def parse_prowlarr(text: str) -> ResultSet:
    """Parses a Prowlarr search answer (a JSON array of releases) fetched by
    the host (no rows: ``Empty``). Needs a libkova that exports
    kova_parse_prowlarr."""
    return _result_set("kova_parse_prowlarr", text)


def _lookup(name: str, *args: Any) -> Lookup:
    with _native.lock:
        rc = _call(name, *args)
        lib = _native.load()
        items = tuple(LookupEntry(lib.kova_lookup_title(i), lib.kova_lookup_clean_title(i),
                                  lib.kova_lookup_imdb(i), lib.kova_lookup_tvdb(i),
                                  lib.kova_lookup_tmdb(i), lib.kova_lookup_year(i),
                                  lib.kova_lookup_library_id(i))
                      for i in range(lib.kova_lookup_count()))
        return Lookup(items=items, match=lib.kova_lookup_match(), **_outcome(lib, rc))


def sonarr_lookup(imdb_id: Optional[str], title: Optional[str] = None) -> Lookup:
    """Looks a series up in Sonarr by IMDb id, then by title when the IMDb
    answer is empty; ``matched`` is the entry with that IMDb id."""
    return _lookup("kova_sonarr_lookup", imdb_id, title)


def radarr_lookup(imdb_id: str) -> Lookup:
    """Looks a film up in Radarr by IMDb id."""
    return _lookup("kova_radarr_lookup_imdb", imdb_id)


def _find(name: str, ident: int) -> Optional[int]:
    with _native.lock:
        found = _call(name, ident)
    return found if found > 0 else None


def sonarr_library_find(tvdb_id: int) -> Optional[int]:
    """The Sonarr library id of the series with this TVDB id, None when absent."""
    return _find("kova_sonarr_library_find", tvdb_id)


def radarr_library_find(tmdb_id: int) -> Optional[int]:
    """The Radarr library id of the film with this TMDb id, None when absent."""
    return _find("kova_radarr_library_find", tmdb_id)


def sonarr_releases(series_id: int, season: int, episode: int = 0, *, exact: bool = False) -> ResultSet:
    """Releases Sonarr finds for an episode (0: the whole season) of a library
    series. An episode Sonarr does not list is searched as the whole season,
    with a warning; with ``exact`` it raises ``NotFound`` instead (needs a
    libkova that exports kova_sonarr_releases_exact)."""
    name = "kova_sonarr_releases_exact" if exact else "kova_sonarr_releases"
    return _result_set(name, series_id, season, episode)


def radarr_releases(movie_id: int) -> ResultSet:
    """Releases Radarr finds for a library film."""
    return _result_set("kova_radarr_releases", movie_id)


def parse_arr_releases(text: str) -> ResultSet:
    """Parses a Sonarr/Radarr release list fetched by the host (no rows: ``Empty``)."""
    return _result_set("kova_parse_arr_releases", text)


def _grab(name: str, index: int) -> None:
    with _native.lock:
        _call(name, index)


def sonarr_grab_release(index: int) -> None:
    """Sends release ``index`` of the current result set (from a Sonarr
    release search or search-or-add) to Sonarr's download client. A library
    write: needs armed writes. A refusal raises, with Sonarr's explanation in
    ``warnings``. Needs a libkova that exports kova_sonarr_grab_release."""
    _grab("kova_sonarr_grab_release", index)


def radarr_grab_release(index: int) -> None:
    """Sends release ``index`` of the current result set (from a Radarr
    release search or search-or-add) to Radarr's download client. A library
    write: needs armed writes. A refusal raises, with Radarr's explanation in
    ``warnings``. Needs a libkova that exports kova_radarr_grab_release."""
    _grab("kova_radarr_grab_release", index)


def prowlarr_grab_release(index: int) -> None:
    """Sends release ``index`` of the current result set (from a Prowlarr
    search, not a parsed answer) to Prowlarr's own download client. A
    library write: needs armed writes. Prowlarr forgets a search's releases
    after about half an hour: ``NotFound`` then says to search again; an
    indexer that fails to deliver the release is ``HttpError`` (409). Needs a
    libkova that exports kova_prowlarr_grab_release."""
    _grab("kova_prowlarr_grab_release", index)


def sonarr_add_series(tvdb_id: int, root: str, profile_id: int) -> int:
    """Adds a series to Sonarr, unmonitored; returns its library id. Needs
    armed writes (``NotArmed`` otherwise)."""
    with _native.lock:
        return _call("kova_sonarr_add_series", tvdb_id, root, profile_id)


def radarr_add_movie(tmdb_id: int, root: str, profile_id: int) -> int:
    """Adds a film to Radarr, unmonitored; returns its library id. Needs
    armed writes."""
    with _native.lock:
        return _call("kova_radarr_add_movie", tmdb_id, root, profile_id)


def quality_profile_pick(profile: Optional[str] = None) -> Optional[int]:
    """A quality profile id of the loaded list, chosen by decimal id, then
    exact name, else the first; None when no list is loaded."""
    pid = _native.load().kova_quality_profile_pick(profile)
    return None if pid == -1 else pid


def quality_profile_find(profile: Optional[str] = None) -> int:
    """The id of the loaded quality profile that ``profile`` names, by the
    rule of the gets: None or "" the first; a decimal id that exists; a name
    exactly, else in any letter case when only one profile has it. Never a
    fallback: ``InvalidArgument`` (listing the names) when none or several
    match, ``Empty`` when no list is loaded. Needs a libkova that exports
    kova_quality_profile_find."""
    with _native.lock:
        return _call("kova_quality_profile_find", profile)


def rootfolder_find(root: Optional[str]) -> Optional[int]:
    """The index (in ``ConnectionReport.root_folders``) of the loaded root
    folder that ``root`` names once both are trimmed (trailing backslashes,
    then slashes): the check a get makes of its root. None when none does.
    Needs a libkova that exports kova_rootfolder_find."""
    i = _native.load().kova_rootfolder_find(root)
    return None if i < 0 else i


def sonarr_search_or_add(imdb_id: str, season: int, episode: int = 0, title: Optional[str] = None,
                         profile: Optional[str] = None) -> ResultSet:
    """From an IMDb id to Sonarr's releases for an episode (0: the season):
    lookup, library find or add, release search. Needs armed writes."""
    return _result_set("kova_sonarr_search_or_add", imdb_id, title, season, episode, profile)


def radarr_search_or_add(imdb_id: str, profile: Optional[str] = None) -> ResultSet:
    """From an IMDb id to Radarr's releases for the film: lookup, library
    find or add, release search. Needs armed writes."""
    return _result_set("kova_radarr_search_or_add", imdb_id, profile)


# The choices of a get, by keyword: KOVA_GET_* of kova.h.
_GET_FLAGS = {"no_add": 1, "exact": 2, "monitor": 4, "dry_run": 8}


def _read_get_report(lib: Native) -> Dict[str, Any]:
    return dict(library_id=lib.kova_get_library_id() or None, added=lib.kova_get_added() == 1,
                root=lib.kova_get_root() or None, profile_id=lib.kova_get_profile_id() or None,
                path=lib.kova_get_path() or None, fallback=lib.kova_get_fallback() == 1)


def _get(name: str, *args: Any, **choices: bool) -> GetResult:
    flags = sum(bit for key, bit in _GET_FLAGS.items() if choices.get(key))
    with _native.lock:
        try:
            rc = _call(name, *args, flags)
        except KovaError as e:
            e.report = GetReport(**_read_get_report(_native.load()))
            raise
        lib = _native.load()
        return _read_result(lib, rc, GetResult, **_read_get_report(lib))


def sonarr_get(imdb_id: str, title: Optional[str] = None, season: int = 0, episode: int = 0,
               profile: Optional[str] = None, root: Optional[str] = None, *, no_add: bool = False,
               exact: bool = False, monitor: bool = False, dry_run: bool = False) -> GetResult:
    """From an IMDb id to Sonarr's releases of an episode (0: the whole
    season), with a host's choices: lookup (``title`` when the IMDb id finds
    nothing), library find, an add when the series is absent, release search.

    An add goes under ``root`` (None: the first root folder; otherwise one of
    the service's, else ``InvalidArgument`` listing them) with the quality
    profile ``profile`` names (as ``quality_profile_find``). ``no_add``: a
    series not in the library raises ``NotFound``; ``exact``: so does an
    episode Sonarr does not list, instead of a search of the whole season;
    ``monitor``: the series is added monitored (that season, all for season
    0) and Sonarr searches; ``dry_run``: everything is settled, nothing is
    added or searched. Only an add needs armed writes, checked once the root
    and profile are settled. The result has the report's fields (see
    ``GetReport``). Needs a libkova that exports kova_sonarr_get."""
    return _get("kova_sonarr_get", imdb_id, title, season, episode, profile, root, no_add=no_add,
                exact=exact, monitor=monitor, dry_run=dry_run)


def radarr_get(imdb_id: str, profile: Optional[str] = None, root: Optional[str] = None, *,
               no_add: bool = False, monitor: bool = False, dry_run: bool = False) -> GetResult:
    """``sonarr_get`` for a Radarr film: ``monitor`` adds it monitored and
    lets Radarr search for it. Needs a libkova that exports kova_radarr_get."""
    return _get("kova_radarr_get", imdb_id, profile, root, no_add=no_add, monitor=monitor,
                dry_run=dry_run)


class arm_library_writes:
    """Arms library writes (adds, search-or-add) now; as a context manager,
    disarms them on exit, also when the block raises::

        with kova.arm_library_writes():
            kova.radarr_search_or_add("tt0063350")
    """

    def __init__(self) -> None:
        _native.load().kova_arm_library_writes(1)

    def __enter__(self) -> "arm_library_writes":
        return self

    def __exit__(self, *exc: Any) -> None:
        disarm_library_writes()


def disarm_library_writes() -> None:
    """Disarms library writes."""
    _native.load().kova_arm_library_writes(0)


def library_writes_armed() -> bool:
    """True when library writes are armed."""
    return _native.load().kova_library_writes_armed() == 1


@dataclass(frozen=True)
class Validation:
    """The answer of a settings validation: ``code`` (0 valid, -1 key
    rejected, -2 not found, -3 too many requests, -4 unreachable, -5
    unexpected answer, -8 invalid settings) and the answer document."""
    code: int
    answer: Dict[str, Any]

    @property
    def ok(self) -> bool:
        return self.code == 0


def validate_settings(runtime_type: str, settings: Union[str, Dict[str, Any]],
                      transport: Any) -> Validation:
    """Validates a settings object ({"Host","APIKey","UseHttps","Port","ID"},
    JSON strings) of "JACKETT", "SONARR", "RADARR" or "PROWLARR" with the
    library's handler record, over ``transport`` (an object as for
    ``use_transport``), in a private context that leaves the process-wide one
    alone."""
    text = settings if isinstance(settings, str) else _json.dumps(settings)
    with _native.lock:
        lib = _native.load()
        handler = lib.kova_rtchk_handler(runtime_type)
        if not handler:
            names = ", ".join(s.name for s in Service)
            raise ValueError(f"kova: no handler for {runtime_type!r}: use one of {names}")
        t = PythonTransport(transport)
        answer = ctypes.create_string_buffer(64 * 1024)
        code = handler.contents.validate(ctypes.byref(t.table), text.encode("utf-8"),
                                         ctypes.addressof(answer), len(answer))
        _, interrupted = t.take_failures()
    if interrupted is not None:
        raise interrupted
    raw = answer.value.decode("utf-8", "replace")
    return Validation(code, _json.loads(raw) if raw else {})
