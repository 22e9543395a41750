"""The C ABI of libkova, declared once: binding every export of the loaded library.

Each export is one line of ``EXPORTS``: its name, its result type and its
argument types. ``Native`` binds them all with ``ctypes`` and wraps each one so
that texts cross the boundary as ``str`` (UTF-8 on the C side) and a text the
library returns is copied into a Python ``str`` before the wrapper returns:
the library's own buffer is replaced by the next call, the copy is not.

The library does not lock a context: a call of a function that acts on the
calling thread's context takes the lock of the context the binding entered
on that thread (``kova._context``; the default context's lock otherwise), so
that calls on one context never overlap while calls on different sessions
run side by side. The process-wide functions (``shared`` in the table) take
no context lock.
"""
from __future__ import annotations

import ctypes
import os
import threading
from dataclasses import dataclass
from typing import Any, Callable, Dict, List, Optional, Tuple

from ._finding import LibraryNotFoundError, candidates, find_library_candidates

__all__ = [
    "CType", "Export", "EXPORTS", "Native", "LibraryNotFoundError", "FunctionUnavailableError",
    "KovaIo", "KovaHandler", "GET_FN", "POST_FN", "RELEASE_FN", "VALIDATE_FN",
    "find_library_candidates", "load", "lock", "context_lock", "thread",
]

# The default context's lock, re-entrant so that a transport callback (which
# runs inside a library call on the same thread) may call accessors.
lock = threading.RLock()
# What each thread works in: ``thread.context`` is the context the binding
# entered on it (kova._context sets it), absent outside any.
thread = threading.local()
# The process-wide exports that hand out a text do so in one buffer for all
# threads, valid until the next call from any thread: they are serialised
# until the text is copied.
_shared_text_lock = threading.Lock()
_load_lock = threading.Lock()


def context_lock() -> Any:
    """The lock of the context the calling thread works in."""
    ctx = getattr(thread, "context", None)
    return lock if ctx is None else ctx.lock


# ---------------------------------------------------------------------------
# Structures of kova.h
# ---------------------------------------------------------------------------
# Output texts are declared as void** so that the callback stores the address
# of a buffer the binding owns; the library hands it back through `release`.
GET_FN = ctypes.CFUNCTYPE(ctypes.c_int32, ctypes.c_void_p, ctypes.c_char_p,
                          ctypes.POINTER(ctypes.c_void_p), ctypes.POINTER(ctypes.c_int32),
                          ctypes.POINTER(ctypes.c_void_p))
POST_FN = ctypes.CFUNCTYPE(ctypes.c_int32, ctypes.c_void_p, ctypes.c_char_p, ctypes.c_char_p,
                           ctypes.c_char_p, ctypes.POINTER(ctypes.c_void_p),
                           ctypes.POINTER(ctypes.c_int32), ctypes.POINTER(ctypes.c_void_p))
# The released text arrives as a plain address: c_char_p would copy it into
# bytes and lose the address the binding keys its buffers by.
RELEASE_FN = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_void_p)


class KovaIo(ctypes.Structure):
    """``kova_io``: the host transport table."""
    _fields_ = [("user", ctypes.c_void_p), ("get", GET_FN), ("post", POST_FN),
                ("release", RELEASE_FN)]


VALIDATE_FN = ctypes.CFUNCTYPE(ctypes.c_int32, ctypes.POINTER(KovaIo), ctypes.c_char_p,
                               ctypes.c_void_p, ctypes.c_int32)


class KovaHandler(ctypes.Structure):
    """``kova_handler``: a constant 64-byte settings-validation record."""
    _fields_ = [("name", ctypes.c_char_p), ("value", ctypes.c_int32),
                ("reserved0", ctypes.c_int32), ("validate", VALIDATE_FN),
                ("reserved", ctypes.c_void_p * 5)]


# ---------------------------------------------------------------------------
# Types of the table
# ---------------------------------------------------------------------------
@dataclass(frozen=True)
class CType:
    """A C type of the table: its spelling in kova.h and its ctypes type."""
    c: str
    ctype: Any


VOID = CType("void", None)
I32 = CType("int32_t", ctypes.c_int32)
I64 = CType("int64_t", ctypes.c_int64)
TEXT = CType("const char *", ctypes.c_char_p)  # in and out: str <-> UTF-8
U64_OUT = CType("uint64_t *", ctypes.POINTER(ctypes.c_uint64))
# A buffer from the C runtime's malloc that the library takes over, by address.
BUFFER = CType("char *", ctypes.c_void_p)
SIZE = CType("size_t", ctypes.c_size_t)
IO = CType("const kova_io *", ctypes.POINTER(KovaIo))
HANDLER = CType("const kova_handler *", ctypes.POINTER(KovaHandler))
# An opaque session, by address (None for NULL).
SESSION = CType("kova_session *", ctypes.c_void_p)


@dataclass(frozen=True)
class Export:
    """One exported function: name, result type, argument types; optional
    exports are bound only when the loaded library has them; shared ones act
    on no context (process-wide state, constants), so they take no context
    lock."""
    name: str
    result: CType
    args: Tuple[CType, ...] = ()
    optional: bool = False
    shared: bool = False


def _e(name: str, result: CType, *args: CType, optional: bool = False,
       shared: bool = False) -> Export:
    return Export(name, result, tuple(args), optional, shared)


# Every KOVA_API function of kova.h, grouped by family as the header's first
# sections are; an extension joins its family, optional since an older
# library lacks it. Process-wide functions are marked shared (the reference
# lists what lives outside every context). A new export is one line here
# (tests/test_binding.py compares this table with the header).
EXPORTS: Tuple[Export, ...] = (
    # Diagnostics and lifecycle
    _e("kova_version", TEXT, shared=True),
    _e("kova_strerror", TEXT, I32, shared=True),
    _e("kova_last_rc", I32),
    _e("kova_last_http_code", I32),
    _e("kova_last_error", TEXT),
    _e("kova_last_transport_error", TEXT, optional=True),
    _e("kova_warning_count", I32),
    _e("kova_warning", TEXT, I32),
    _e("kova_reset", VOID),
    _e("kova_arm_library_writes", VOID, I32),
    _e("kova_library_writes_armed", I32),
    # Service configuration
    _e("kova_jackett_configure", I32, TEXT, I32, I32, TEXT),
    _e("kova_sonarr_configure", I32, TEXT, I32, I32, TEXT),
    _e("kova_radarr_configure", I32, TEXT, I32, I32, TEXT),
    _e("kova_prowlarr_configure", I32, TEXT, I32, I32, TEXT, optional=True),
    _e("kova_base_url", TEXT, I32),
    _e("kova_default_port", I32, I32, shared=True),
    _e("kova_set_url_base", I32, I32, TEXT, optional=True),
    _e("kova_configure_url", I32, I32, TEXT, TEXT, optional=True),
    # Transport selection
    _e("kova_set_io", VOID, IO),
    _e("kova_use_curl", I32),
    _e("kova_use_fake", VOID),
    _e("kova_set_timeout_ms", VOID, I32, shared=True),
    _e("kova_timeout_ms", I32, shared=True),
    # Fake transport control
    _e("kova_fake_reset", VOID, shared=True),
    _e("kova_fake_set", I32, TEXT, I32, TEXT, shared=True),
    _e("kova_fake_fail", I32, TEXT, TEXT, shared=True),
    _e("kova_fake_calls", I32, TEXT, shared=True),
    _e("kova_fake_post_count", I32, shared=True),
    _e("kova_fake_last_post_url", TEXT, shared=True),
    _e("kova_fake_last_post_body", TEXT, shared=True),
    # IMDb number
    _e("kova_imdb_numeric", TEXT, TEXT),
    # Connection tests
    _e("kova_jackett_test", I32),
    _e("kova_sonarr_test", I32),
    _e("kova_radarr_test", I32),
    _e("kova_prowlarr_test", I32, optional=True),
    _e("kova_parse_torznab_indexers", I32, TEXT),
    # Jackett search
    _e("kova_jackett_search_imdb", I32, TEXT, TEXT, TEXT),
    _e("kova_jackett_search_query", I32, TEXT),
    _e("kova_parse_jackett", I32, TEXT),
    _e("kova_parse_jackett_take", I32, BUFFER, SIZE, optional=True),
    # Prowlarr search
    _e("kova_prowlarr_search", I32, TEXT, TEXT, TEXT, I32, I32, I32, optional=True),
    _e("kova_parse_prowlarr", I32, TEXT, optional=True),
    # Lookups and library find
    _e("kova_sonarr_lookup", I32, TEXT, TEXT),
    _e("kova_radarr_lookup_imdb", I32, TEXT),
    _e("kova_sonarr_library_find", I32, I32),
    _e("kova_radarr_library_find", I32, I32),
    # Release searches
    _e("kova_sonarr_releases", I32, I32, I32, I32),
    _e("kova_sonarr_releases_exact", I32, I32, I32, I32, optional=True),
    _e("kova_radarr_releases", I32, I32),
    _e("kova_parse_arr_releases", I32, TEXT),
    _e("kova_sonarr_grab_release", I32, I32, optional=True),
    _e("kova_radarr_grab_release", I32, I32, optional=True),
    _e("kova_prowlarr_grab_release", I32, I32, optional=True),
    # Library writes
    _e("kova_sonarr_add_series", I32, I32, TEXT, I32),
    _e("kova_radarr_add_movie", I32, I32, TEXT, I32),
    _e("kova_quality_profile_pick", I32, TEXT),
    _e("kova_quality_profile_find", I32, TEXT, optional=True),
    _e("kova_sonarr_search_or_add", I32, TEXT, TEXT, I32, I32, TEXT),
    _e("kova_radarr_search_or_add", I32, TEXT, TEXT),
    _e("kova_sonarr_get", I32, TEXT, TEXT, I32, I32, TEXT, TEXT, I32, optional=True),
    _e("kova_radarr_get", I32, TEXT, TEXT, TEXT, I32, optional=True),
    # Accessors
    _e("kova_test_log_count", I32),
    _e("kova_test_log_key", TEXT, I32),
    _e("kova_test_log_text", TEXT, I32),
    _e("kova_rootfolder", TEXT),
    _e("kova_rootfolder_count", I32, optional=True),
    _e("kova_rootfolder_path", TEXT, I32, optional=True),
    _e("kova_rootfolder_free_space", I64, I32, optional=True),
    _e("kova_rootfolder_find", I32, TEXT, optional=True),
    _e("kova_quality_profile_count", I32),
    _e("kova_quality_profile_id", I32, I32),
    _e("kova_quality_profile_name", TEXT, I32),
    _e("kova_get_library_id", I32, optional=True),
    _e("kova_get_added", I32, optional=True),
    _e("kova_get_root", TEXT, optional=True),
    _e("kova_get_profile_id", I32, optional=True),
    _e("kova_get_path", TEXT, optional=True),
    _e("kova_get_fallback", I32, optional=True),
    _e("kova_jackett_stage", I32),
    _e("kova_lookup_count", I32),
    _e("kova_lookup_match", I32),
    _e("kova_lookup_title", TEXT, I32),
    _e("kova_lookup_clean_title", TEXT, I32),
    _e("kova_lookup_imdb", TEXT, I32),
    _e("kova_lookup_tvdb", I32, I32),
    _e("kova_lookup_tmdb", I32, I32),
    _e("kova_lookup_year", I32, I32),
    _e("kova_lookup_library_id", I32, I32),
    _e("kova_result_count", I32),
    _e("kova_result_title", TEXT, I32),
    _e("kova_result_tracker", TEXT, I32),
    _e("kova_result_tracker_id", TEXT, I32),
    _e("kova_result_guid", TEXT, I32),
    _e("kova_result_link", TEXT, I32),
    _e("kova_result_details", TEXT, I32),
    _e("kova_result_magnet", TEXT, I32),
    _e("kova_result_info_hash", TEXT, I32),
    _e("kova_result_size", I32, I32, U64_OUT),
    _e("kova_result_seeders", I32, I32),
    _e("kova_result_peers", I32, I32),
    _e("kova_result_files", I32, I32),
    _e("kova_result_category_count", I32, I32),
    _e("kova_result_category", I32, I32, I32),
    _e("kova_result_category_desc", TEXT, I32),
    _e("kova_result_imdb", TEXT, I32),
    _e("kova_result_tmdb", TEXT, I32),
    _e("kova_result_tvdb", TEXT, I32),
    _e("kova_result_publish_date", I64, I32),
    _e("kova_result_download_volume_factor", I32, I32),
    _e("kova_result_season", I32, I32),
    _e("kova_result_episode", I32, I32),
    _e("kova_result_full_season", I32, I32),
    _e("kova_result_field", TEXT, I32, TEXT),
    _e("kova_result_quality", TEXT, I32, optional=True),
    _e("kova_result_resolution", I32, I32, optional=True),
    _e("kova_result_approved", I32, I32, optional=True),
    _e("kova_result_rejection_count", I32, I32, optional=True),
    _e("kova_result_rejection", TEXT, I32, I32, optional=True),
    _e("kova_result_languages", TEXT, I32, optional=True),
    _e("kova_result_custom_format_score", I32, I32, optional=True),
    _e("kova_result_protocol", TEXT, I32, optional=True),
    _e("kova_result_indexer_id", I32, I32, optional=True),
    _e("kova_result_path", TEXT, I32, TEXT, optional=True),
    _e("kova_indexer_count", I32),
    _e("kova_indexer_id", TEXT, I32),
    _e("kova_indexer_name", TEXT, I32),
    _e("kova_indexer_status", I32, I32),
    _e("kova_indexer_results", I32, I32),
    _e("kova_indexer_error", TEXT, I32),
    _e("kova_indexers_errored", I32),
    # Result document
    _e("kova_result_json", TEXT),
    # Runtime-type handler records
    _e("kova_rtchk_handler", HANDLER, TEXT, shared=True),
    _e("rtchk_get", HANDLER, shared=True),
    # Sessions: choosing a thread's context acts on none
    _e("kova_session_new", SESSION, optional=True, shared=True),
    _e("kova_session_bind", SESSION, SESSION, optional=True, shared=True),
    _e("kova_session_current", SESSION, optional=True, shared=True),
    _e("kova_session_free", VOID, SESSION, optional=True, shared=True),
    # The download queue and the calendar: lists of their own beside the result
    _e("kova_sonarr_queue", I32, I32, optional=True),
    _e("kova_radarr_queue", I32, I32, optional=True),
    _e("kova_queue_count", I32, optional=True),
    _e("kova_queue_id", I32, I32, optional=True),
    _e("kova_queue_title", TEXT, I32, optional=True),
    _e("kova_queue_library_id", I32, I32, optional=True),
    _e("kova_queue_season", I32, I32, optional=True),
    _e("kova_queue_episode", I32, I32, optional=True),
    _e("kova_queue_status", TEXT, I32, optional=True),
    _e("kova_queue_size", I32, I32, U64_OUT, optional=True),
    _e("kova_queue_left", I32, I32, U64_OUT, optional=True),
    _e("kova_queue_progress", I32, I32, optional=True),
    _e("kova_queue_eta", I64, I32, optional=True),
    _e("kova_queue_message", TEXT, I32, optional=True),
    _e("kova_queue_client", TEXT, I32, optional=True),
    _e("kova_queue_protocol", TEXT, I32, optional=True),
    _e("kova_sonarr_calendar", I32, I64, I64, optional=True),
    _e("kova_radarr_calendar", I32, I64, I64, optional=True),
    _e("kova_calendar_count", I32, optional=True),
    _e("kova_calendar_title", TEXT, I32, optional=True),
    _e("kova_calendar_series", TEXT, I32, optional=True),
    _e("kova_calendar_season", I32, I32, optional=True),
    _e("kova_calendar_episode", I32, I32, optional=True),
    _e("kova_calendar_date", I64, I32, optional=True),
    _e("kova_calendar_kind", TEXT, I32, optional=True),
    _e("kova_calendar_has_file", I32, I32, optional=True),
    _e("kova_calendar_monitored", I32, I32, optional=True),
    _e("kova_calendar_library_id", I32, I32, optional=True),
    _e("kova_calendar_imdb", TEXT, I32, optional=True),
)


class FunctionUnavailableError(NotImplementedError):
    """The loaded libkova lacks an optional export (it predates that function)."""

    def __init__(self, name: str, path: str):
        self.function = name
        super().__init__(f"kova: {name} is not exported by {path}: this function needs a "
                         f"newer libkova")


# ---------------------------------------------------------------------------
# Binding
# ---------------------------------------------------------------------------
def _to_c_text(value: Any) -> Optional[bytes]:
    if value is None:
        return None
    if isinstance(value, str):
        data = value.encode("utf-8")
    elif isinstance(value, (bytes, bytearray)):
        data = bytes(value)
    else:
        raise TypeError(f"kova: expected str or None, got {type(value).__name__}")
    if b"\0" in data:
        # C would silently cut the text at the NUL.
        raise ValueError("kova: texts cannot contain NUL characters")
    return data


def _from_c_text(value: Optional[bytes]) -> str:
    # ctypes has already copied the C text into `value`; decoding makes the
    # str the caller keeps. The header promises never NULL; "" if it were.
    return value.decode("utf-8", errors="replace") if value else ""


def _wrap(fn: Any, export: Export) -> Callable[..., Any]:
    text_args = [i for i, a in enumerate(export.args) if a is TEXT]
    text_result = export.result is TEXT
    nargs = len(export.args)
    name = export.name
    lock_of: Optional[Callable[[], Any]] = (
        context_lock if not export.shared else (lambda: _shared_text_lock) if text_result else None)

    def call(*args: Any) -> Any:
        if len(args) != nargs:
            raise TypeError(f"{name}() takes {nargs} arguments ({len(args)} given)")
        if text_args:
            args_l = list(args)
            for i in text_args:
                args_l[i] = _to_c_text(args_l[i])
            args = tuple(args_l)
        if lock_of is None:
            r = fn(*args)
        else:
            with lock_of():
                r = fn(*args)
        return _from_c_text(r) if text_result else r

    call.__name__ = name
    call.__qualname__ = name
    sig = ", ".join(a.c for a in export.args) or "void"
    call.__doc__ = f"{export.result.c} {name}({sig})"
    return call


def _unavailable(name: str, path: str) -> Callable[..., Any]:
    def call(*_args: Any) -> Any:
        raise FunctionUnavailableError(name, path)
    call.__name__ = name
    return call


class Native:
    """libkova with every export of ``EXPORTS`` bound as an attribute of the
    same name (``native.kova_version() -> str``). Texts go in and come out as
    ``str``; a call acting on a context takes the lock of the context the
    calling thread works in."""

    def __init__(self, cdll: Any, path: str):
        self.cdll = cdll
        self.path = path
        self.available: Dict[str, bool] = {}
        for export in EXPORTS:
            try:
                fn = getattr(cdll, export.name)
            except AttributeError:
                if not export.optional:
                    raise OSError(f"kova: {path} lacks {export.name}: not a libkova of this "
                                  f"binding's version") from None
                self.available[export.name] = False
                setattr(self, export.name, _unavailable(export.name, path))
                continue
            fn.restype = export.result.ctype
            fn.argtypes = [a.ctype for a in export.args]
            self.available[export.name] = True
            setattr(self, export.name, _wrap(fn, export))
        self.sessions = self.has("kova_session_bind")
        """True when the library has sessions (KOVA_1.5)."""

    def has(self, name: str) -> bool:
        """True when the loaded library exports ``name``."""
        return self.available.get(name, False)

    def __getattr__(self, name: str) -> Any:  # for type checkers: exports are set in __init__
        raise AttributeError(name)


_native: Optional[Native] = None


def load(path: Optional[str] = None) -> Native:
    """Loads libkova once (later calls return the same binding). With
    ``path``, exactly that file; otherwise ``find_library_candidates()`` in
    order. Raises ``LibraryNotFoundError`` naming every place tried."""
    global _native
    loaded = _native
    if loaded is not None and path is None:
        return loaded
    with _load_lock:
        if _native is not None and path is None:
            return _native
        places = [("argument", path)] if path else candidates()
        tried: List[Tuple[str, str]] = []
        for kind, where in places:
            if kind in ("build tree", "pkg-config", "usual directory") and not os.path.exists(where):
                tried.append((where, "not built" if kind == "build tree" else "absent"))
                continue
            try:
                cdll = ctypes.CDLL(where)
            except OSError as exc:
                tried.append((f"{where} ({kind})", str(exc) or "cannot be loaded"))
                continue
            _native = Native(cdll, where)
            return _native
        raise LibraryNotFoundError(tried)
