"""kova for Python: Jackett, Sonarr v3, Radarr v3 and Prowlarr through libkova.

A pure-Python binding (``ctypes``, standard library only) of libkova's C ABI.
The same package works with the Linux ``libkova.so.1`` and the Windows
``kova.dll``.

Quick start::

    import kova
    kova.configure("jackett", "127.0.0.1", api_key="0123abcd")
    kova.use_transport(kova.UrllibTransport())    # or your own kova.Transport
    rows = kova.jackett_search_imdb("tt0063350")
    for r in rows:
        print(r.title, r.size, r.seeders, r.published)

Finding the library: ``KOVA_LIBRARY`` (a path) alone when it is set;
otherwise the build tree when the package runs from a checkout, the system's
search by name, ``ctypes.util.find_library``, the libdir of pkg-config's
``kova.pc``, then the usual library directories. ``kova.load(path)`` loads a
given file instead. The library is loaded on first use;
``LibraryNotFoundError`` names every place tried.

Results: operations return immutable objects. A ``ResultSet`` is a sequence
of frozen ``Release`` rows, empty when a search found nothing, with
``stage``, ``indexers``, ``warnings``, ``http_code``, ``partial`` and
``to_dict()`` (the library's result document). A ``Lookup`` is a sequence
of ``LookupEntry``; a ``ConnectionReport`` is the test log; a ``Queue`` and a
``Calendar`` are sequences of ``QueueEntry`` and ``CalendarEntry``. A value the
service did not send is None; ids are int (an IMDb id as its number). Every
text is copied out of the library before the call returns.

Errors: a negative result code raises a subclass of ``KovaError``, which
also derives from the built-in exception for its kind (``TransportError`` is
a ``ConnectionError``, ``AuthError`` a ``PermissionError``, ``NotFound`` a
``LookupError``...). ``PARTIAL`` (some indexers failed) is not an error: the
result has ``partial == True``.

Contexts: the module's functions act on the process-wide default context.
A ``kova.Session`` is a context of its own with the same functions as
methods; give each worker thread its own session. The time-out, the fake
transport's routes and settings validation are shared by the whole process.
"""
from __future__ import annotations

from typing import Optional

from . import _native
from ._context import Session
from ._errors import (AuthError, Empty, HttpError, IndexersFailed, InvalidArgument, JsonError,
                      KovaError, NoTransport, NotArmed, NotConfigured, NotFound, OutOfMemory,
                      TransportError, TransportTimeout)
from ._native import FunctionUnavailableError, LibraryNotFoundError, Native
from ._operations import (SEARCH_ANY, SEARCH_MOVIE, SEARCH_TV, Validation, arm_library_writes,
                          connection_test, disarm_library_writes, imdb_numeric,
                          jackett_search_imdb, jackett_search_query, library_writes_armed,
                          parse_arr_releases, parse_jackett, parse_prowlarr,
                          parse_torznab_indexers, prowlarr_grab, prowlarr_grab_release,
                          prowlarr_search, prowlarr_test, quality_profile_find,
                          quality_profile_pick, radarr_add_movie,
                          radarr_get, radarr_grab_release, radarr_library_find, radarr_lookup,
                          radarr_releases, radarr_search_or_add, rootfolder_find,
                          sonarr_add_series, sonarr_get, sonarr_grab_release,
                          sonarr_library_find, sonarr_lookup, sonarr_releases,
                          sonarr_search_or_add, validate_settings)
from ._queue import radarr_calendar, radarr_queue, sonarr_calendar, sonarr_queue
from ._results import (Calendar, CalendarEntry, ConnectionReport, GetReport, GetResult, Indexer,
                       IndexerList, Lookup, LookupEntry, Outcome, QualityProfile, Queue,
                       QueueEntry, Release, ResultSet, RootFolder, TestLogEntry)
from ._setup import (Service, base_url, configure, configure_url, default_port, fake_calls,
                     fake_fail, fake_last_post_body, fake_last_post_url, fake_post_count,
                     fake_reset, fake_set, last_error, last_http_code, last_rc, reset,
                     result_json, set_timeout_ms, set_url_base, strerror, timeout_ms,
                     use_fake, use_transport, version, warnings)
from ._transport import Answer, Transport
from ._urllib import UrllibTransport

__all__ = [
    # loading
    "load", "native", "library_path", "LibraryNotFoundError", "FunctionUnavailableError", "Native",
    # contexts
    "Session",
    # diagnostics and lifecycle
    "version", "strerror", "reset", "last_rc", "last_error", "last_http_code", "warnings",
    "result_json",
    # configuration and transports
    "Service", "configure", "base_url", "default_port", "set_url_base", "use_fake",
    "use_transport", "Transport", "UrllibTransport", "Answer", "set_timeout_ms", "timeout_ms",
    "configure_url",
    # fake transport
    "fake_reset", "fake_set", "fake_fail", "fake_calls", "fake_post_count",
    "fake_last_post_url", "fake_last_post_body",
    # operations
    "imdb_numeric", "connection_test", "parse_torznab_indexers", "jackett_search_imdb",
    "jackett_search_query", "parse_jackett", "prowlarr_search", "parse_prowlarr",
    "prowlarr_grab_release", "prowlarr_grab", "prowlarr_test", "sonarr_lookup", "radarr_lookup",
    "sonarr_library_find", "radarr_library_find", "sonarr_releases", "radarr_releases",
    "parse_arr_releases", "sonarr_grab_release", "radarr_grab_release", "sonarr_add_series",
    "radarr_add_movie", "quality_profile_pick", "quality_profile_find", "rootfolder_find",
    "sonarr_search_or_add", "radarr_search_or_add", "sonarr_get", "radarr_get",
    "arm_library_writes", "disarm_library_writes", "library_writes_armed", "validate_settings",
    "Validation", "sonarr_queue", "radarr_queue", "sonarr_calendar", "radarr_calendar",
    # results
    "Outcome", "ResultSet", "Release", "Indexer", "IndexerList", "Lookup", "LookupEntry",
    "ConnectionReport", "TestLogEntry", "QualityProfile", "RootFolder", "GetReport", "GetResult",
    "Queue", "QueueEntry", "Calendar", "CalendarEntry",
    # errors
    "KovaError", "TransportError", "TransportTimeout", "HttpError", "AuthError", "JsonError",
    "NotConfigured", "NotFound", "Empty", "NotArmed", "NoTransport", "InvalidArgument",
    "OutOfMemory", "IndexersFailed",
]

# Named values of kova.h.
OK = 0
PARTIAL = 1
STAGE_NONE, STAGE_IMDB, STAGE_TITLE, STAGE_QUERY = 0, 1, 2, 3


def load(path: Optional[str] = None) -> Native:
    """Loads libkova now (from ``path``, or the usual places) and returns the
    raw binding. Other functions load it on first use."""
    return _native.load(path)


def native() -> Native:
    """The raw binding: every export of kova.h as an attribute of the same
    name, texts as ``str`` (``kova.native().kova_result_title(0)``). Its
    calls act on the calling thread's binding, as in C: the default context,
    or inside a ``Session`` method that session."""
    return _native.load()


def library_path() -> str:
    """The file the binding loaded."""
    return _native.load().path
