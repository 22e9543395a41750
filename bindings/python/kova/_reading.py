"""Running one operation, and reading what it left in its context into
Python values: a missing value is None, ids are int, texts are copies.

Everything here runs in a context the caller has entered (``_context``).
"""
from __future__ import annotations

import ctypes
import dataclasses
from datetime import datetime, timedelta, timezone
from typing import Any, Callable, Dict, Optional, Tuple, Type, TypeVar

from . import _native
from ._context import current, entered
from ._errors import TransportError, TransportTimeout, error_class, python_message
from ._native import Native
from ._results import (GetReport, Indexer, Lookup, LookupEntry, Release, ResultSet, RootFolder,
                       TestLogEntry)
from ._transport import TIMEOUTS

__all__ = ["EPOCH", "as_id", "call", "count", "current_row_text", "moment", "outcome",
           "read_entries", "read_get_report", "read_indexers", "read_lookup", "read_result",
           "read_root_folders", "read_warnings", "text"]

E = TypeVar("E")
EPOCH = datetime(1970, 1, 1, tzinfo=timezone.utc)


def text(value: str) -> Optional[str]:
    """A text the library gave, None for its "" (absent)."""
    return value or None


def count(value: int) -> Optional[int]:
    """A number the library gave, None for its -1 (absent)."""
    return None if value == -1 else value


def as_id(value: str) -> Optional[int]:
    """An id the library gave as decimal text, None when absent or 0 (the
    services number from 1, and 0 is the library's "none" for ids)."""
    return (int(value) or None) if value.isascii() and value.isdecimal() else None


def moment(seconds: int) -> Optional[datetime]:
    """A time the library gave in seconds since 1970 as an aware UTC
    datetime; None for its -1 (none), and for one beyond what a datetime
    holds (an answer's year 9999 with a zone west of UTC)."""
    if seconds == -1:
        return None
    try:
        return EPOCH + timedelta(seconds=seconds)
    except OverflowError:
        return None


def read_log(lib: Native) -> Tuple[TestLogEntry, ...]:
    return tuple(TestLogEntry(lib.kova_test_log_key(i), lib.kova_test_log_text(i))
                 for i in range(lib.kova_test_log_count()))


def read_warnings(lib: Native) -> Tuple[str, ...]:
    return tuple(lib.kova_warning(i) for i in range(lib.kova_warning_count()))


def outcome(lib: Native, rc: int, log: bool = True) -> Dict[str, Any]:
    """The ``Outcome`` fields of the last operation, which returned ``rc``;
    without ``log`` for one that keeps no test log (the log read would be an
    earlier operation's)."""
    return dict(rc=rc, message=python_message(rc, lib.kova_last_error()),
                http_code=lib.kova_last_http_code() or None, warnings=read_warnings(lib),
                test_log=read_log(lib) if log else ())


def _transport_error(lib: Native) -> Optional[str]:
    # A library that predates the transport's text has none to give.
    return text(lib.kova_last_transport_error()) if lib.has("kova_last_transport_error") else None


def call(name: str, *args: Any, tolerate: Tuple[int, ...] = (), beside: bool = False) -> int:
    """Runs operation ``name`` and raises its error, unless its code is one
    of ``tolerate``: the outcomes a function returns as a value. ``beside``:
    the operation fills a list of its own beside the result (the queue, the
    calendar), and leaves the current result and the test log alone."""
    ctx = current()
    lib = _native.load()
    t = ctx.transport
    if t is not None:
        t.take_failures()
    rc = getattr(lib, name)(*args)
    if not beside:
        ctx.generation += 1
    raised, interrupted = t.take_failures() if t is not None else (None, None)
    if interrupted is not None:
        raise interrupted
    if rc < 0 and rc not in tolerate:
        o = outcome(lib, rc, log=not beside)
        # Only a Python transport says which failure was a time-out: by the
        # exception it raised. The library's transports say it in text alone.
        timed_out = rc == TransportError.rc and isinstance(raised, TIMEOUTS)
        cls = TransportTimeout if timed_out else error_class(rc)
        raise cls(rc, lib.kova_strerror(rc), o["message"], o["http_code"], o["warnings"],
                  o["test_log"], _transport_error(lib)) from raised
    return rc


# What each kind's accessor gives for "none", as the release details of a
# library that predates them read on every row.
_NONE = {"text": "", "joined": "", "count": -1, "positive": 0, "score": 0, "tristate": -1,
         "texts": 0}
_TRISTATE = {1: True, 0: False}


def _accessor(lib: Native, fn: str, none: Any) -> Callable[..., Any]:
    return getattr(lib, fn) if lib.has(fn) else (lambda *_: none)


def _reader(lib: Native, fn: str, kind: str, is_id: bool = False) -> Callable[[int], Any]:
    """Reads a field of entry i of a list through its accessor ``fn`` (and
    ``fn``_count for a list of values), as its kind says."""
    get = _accessor(lib, fn, _NONE.get(kind))
    if is_id:
        return lambda i: as_id(get(i))
    if kind == "imdb":
        return lambda i: as_id(lib.kova_imdb_numeric(get(i)))
    if kind in ("text", "joined"):
        return lambda i: text(get(i))
    if kind == "score":
        return get
    if kind in ("count", "date"):
        return lambda i: count(get(i))
    if kind in ("positive", "id"):
        return lambda i: get(i) or None
    if kind == "thousandths":
        return lambda i: None if (v := get(i)) == -1 else v / 1000
    if kind == "seconds":
        return lambda i: moment(get(i))
    if kind == "tristate":
        return lambda i: _TRISTATE.get(get(i))
    if kind == "flag":
        return lambda i: get(i) == 1
    if kind == "size":
        size = ctypes.c_uint64()
        return lambda i: size.value if get(i, ctypes.byref(size)) == 0 else None
    if kind in ("categories", "texts"):
        n = _accessor(lib, fn + "_count", 0)
        return lambda i: tuple(get(i, j) for j in range(n(i)))
    raise AssertionError("unknown field kind " + kind)


def _read_rows(lib: Native, origin: Tuple[Any, int]) -> Tuple[Release, ...]:
    readers = {f.name: _reader(lib, "kova_result_" + f.metadata.get("accessor", f.name),
                               f.metadata["kind"], f.metadata.get("as_id", False))
               for f in dataclasses.fields(Release) if "kind" in f.metadata}
    return tuple(Release(**{name: read(i) for name, read in readers.items()},
                         _origin=origin, _index=i)
                 for i in range(lib.kova_result_count()))


def read_entries(lib: Native, cls: Type[E], family: str) -> Tuple[E, ...]:
    """The entries of a list of the context's own (``family`` "queue" or
    "calendar") as ``cls``, each field through ``kova_<family>_<field>``."""
    readers = {f.name: _reader(lib, f"kova_{family}_{f.name}", f.metadata["kind"])
               for f in dataclasses.fields(cls)}  # type: ignore[arg-type]
    return tuple(cls(**{name: read(i) for name, read in readers.items()})
                 for i in range(getattr(lib, f"kova_{family}_count")()))


def read_indexers(lib: Native) -> Tuple[Indexer, ...]:
    return tuple(Indexer(text(lib.kova_indexer_id(i)), text(lib.kova_indexer_name(i)),
                         lib.kova_indexer_status(i), lib.kova_indexer_results(i),
                         text(lib.kova_indexer_error(i)))
                 for i in range(lib.kova_indexer_count()))


def read_result(lib: Native, rc: int, cls: Any = ResultSet, **extra: Any) -> Any:
    """The context's current result set as ``cls``."""
    ctx = current()
    origin = (ctx, ctx.generation)
    return cls(items=_read_rows(lib, origin), stage=lib.kova_jackett_stage(),
               indexers=read_indexers(lib), indexers_errored=lib.kova_indexers_errored(),
               json=lib.kova_result_json(), _origin=origin, **outcome(lib, rc), **extra)


def read_lookup(lib: Native, rc: int) -> Lookup:
    """The context's lookup entries; the IMDb id's number is the library's
    (kova_imdb_numeric), as rows carry it."""
    items = tuple(LookupEntry(text(lib.kova_lookup_title(i)), text(lib.kova_lookup_clean_title(i)),
                              as_id(lib.kova_imdb_numeric(lib.kova_lookup_imdb(i))),
                              lib.kova_lookup_tvdb(i) or None, lib.kova_lookup_tmdb(i) or None,
                              lib.kova_lookup_year(i) or None, lib.kova_lookup_library_id(i) or None)
                  for i in range(lib.kova_lookup_count()))
    return Lookup(items=items, match=lib.kova_lookup_match(), **outcome(lib, rc))


def read_root_folders(lib: Native) -> Tuple[RootFolder, ...]:
    if not lib.has("kova_rootfolder_count"):
        return ()
    return tuple(RootFolder(text(lib.kova_rootfolder_path(i)), count(lib.kova_rootfolder_free_space(i)))
                 for i in range(lib.kova_rootfolder_count()))


def read_get_report(lib: Native) -> GetReport:
    return GetReport(library_id=lib.kova_get_library_id() or None, added=lib.kova_get_added() == 1,
                     root=text(lib.kova_get_root()), profile_id=lib.kova_get_profile_id() or None,
                     path=text(lib.kova_get_path()), fallback=lib.kova_get_fallback() == 1)


def current_row_text(origin: Optional[Tuple[Any, int]], index: int, accessor: str,
                     arg: str) -> Optional[str]:
    """A text accessor of row ``index`` that reads the library's own row: in
    the row's context, and only while the set read there is still its
    current result."""
    if origin is None:
        raise RuntimeError("kova: this row was not read from the library")
    ctx, generation = origin
    with entered(ctx):
        if generation != ctx.generation:
            raise RuntimeError("kova: this result set is no longer the library's current "
                               "result; read fields before the next operation")
        return text(getattr(_native.load(), accessor)(index, arg))
