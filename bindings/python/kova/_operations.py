"""The operations: connection tests, searches, lookups, library finds,
release searches, grabs, library writes, the gets, settings validation.

Each returns immutable Python values read in its context before it returns.
Every function here but ``validate_settings`` (which the library runs in a
private context) is ``@per_context``, so also a ``Session`` method.
"""
from __future__ import annotations

import ctypes
import dataclasses
import json as _json
from dataclasses import dataclass
from typing import Any, Dict, Optional, Union

from . import _native
from ._context import Context, current, entered, per_context
from ._errors import Empty, InvalidArgument, KovaError, NotFound
from ._reading import (as_id, call, outcome, read_get_report, read_indexers, read_lookup,
                       read_result, read_root_folders, text)
from ._results import ConnectionReport, GetResult, IndexerList, Lookup, QualityProfile, ResultSet
from ._setup import Service, ServiceName, export_of, service_of
from ._transport import PythonTransport, Transport

__all__ = [
    "SEARCH_ANY", "SEARCH_MOVIE", "SEARCH_TV", "imdb_numeric", "connection_test",
    "parse_torznab_indexers", "jackett_search_imdb", "jackett_search_query", "parse_jackett",
    "prowlarr_search", "parse_prowlarr", "prowlarr_grab_release", "prowlarr_grab",
    "prowlarr_test", "sonarr_lookup", "radarr_lookup", "sonarr_library_find",
    "radarr_library_find", "sonarr_releases", "radarr_releases", "parse_arr_releases",
    "sonarr_grab_release", "radarr_grab_release", "sonarr_add_series", "radarr_add_movie",
    "quality_profile_pick", "quality_profile_find", "rootfolder_find", "sonarr_search_or_add",
    "radarr_search_or_add", "sonarr_get", "radarr_get", "arm_library_writes",
    "disarm_library_writes", "library_writes_armed", "validate_settings", "Validation",
]

# What a Prowlarr search asks for: anything, films, series.
SEARCH_ANY, SEARCH_MOVIE, SEARCH_TV = 0, 1, 2

# The indexer services, whose connection test lists their indexers (Sonarr's
# and Radarr's load root folders and quality profiles).
_INDEXER_SERVICES = (Service.JACKETT, Service.PROWLARR)

# A search that finds nothing is an empty result, not a failure: for these
# calls the library's ERR_EMPTY means exactly "no rows".
_NOTHING_FOUND = (Empty.rc,)


def _imdb(imdb_id: Optional[str]) -> Optional[str]:
    """An IMDb id argument as the services write it ("63350" and "TT63350"
    are sent as "tt0063350"), by the library's own reading of one
    (kova_imdb_numeric); refused where that finds none. None and "" are
    absent, the call's to judge. The library compares the ids of what the
    services answer with the text it is given, so an id in another form
    would find its own item "for a different IMDb id"."""
    if not imdb_id:
        return imdb_id
    number = _native.load().kova_imdb_numeric(imdb_id)
    if not number:
        raise InvalidArgument(InvalidArgument.rc, "ERR_INVALID_ARG",
                              f"kova: invalid IMDb id {imdb_id!r}")
    return "tt" + number.zfill(7)


@per_context
def imdb_numeric(imdb_id: Optional[str]) -> Optional[int]:
    """The number of an IMDb id ("tt0000123" -> 123), as the library reads
    it; None when it is not one."""
    return as_id(_native.load().kova_imdb_numeric(imdb_id))


@per_context
def connection_test(service: ServiceName) -> ConnectionReport:
    """Tests a service's connection. Jackett: lists its configured indexers;
    Prowlarr: lists its enabled indexers, one held back after failures as
    failed (``Empty`` when none is enabled); Sonarr/Radarr: fetches the first
    root folder and the quality profiles (``Empty`` when either is missing),
    keeping every root folder. The report is the test log."""
    return _test(service_of(service))


@per_context
def prowlarr_test() -> ConnectionReport:
    """Prowlarr's connection test: ``connection_test("prowlarr")``."""
    return _test(Service.PROWLARR)


def _test(s: Service) -> ConnectionReport:
    rc = call(export_of(s, "test"))
    lib = _native.load()
    o = outcome(lib, rc)
    if s in _INDEXER_SERVICES:  # the other lists are left from earlier calls
        return ConnectionReport(items=o["test_log"], indexers=read_indexers(lib), **o)
    profiles = tuple(QualityProfile(lib.kova_quality_profile_id(i), text(lib.kova_quality_profile_name(i)))
                     for i in range(lib.kova_quality_profile_count()))
    return ConnectionReport(items=o["test_log"], rootfolder=text(lib.kova_rootfolder()),
                            root_folders=read_root_folders(lib), quality_profiles=profiles, **o)


@per_context
def parse_torznab_indexers(xml: str) -> IndexerList:
    """Parses a Torznab indexer list fetched by the host."""
    rc = call("kova_parse_torznab_indexers", xml)
    lib = _native.load()
    return IndexerList(items=read_indexers(lib), **outcome(lib, rc))


def _search(name: str, *args: Any) -> ResultSet:
    rc = call(name, *args, tolerate=_NOTHING_FOUND)
    return read_result(_native.load(), rc)


@per_context
def jackett_search_imdb(imdb_id: Optional[str], title: Optional[str] = None,
                        query: Optional[str] = None) -> ResultSet:
    """Staged Jackett search: by IMDb id, then by title (rows of other IMDb
    ids dropped), then by free query; each may be None. ``stage`` tells which
    produced the rows. Nothing at any stage: an empty set (``stage`` 0,
    ``rc`` -7, its ``warnings`` and ``test_log`` tell what each stage saw)."""
    return _search("kova_jackett_search_imdb", _imdb(imdb_id), title, query)


@per_context
def jackett_search_query(query: str) -> ResultSet:
    """Jackett search by free query; nothing found: an empty set."""
    return _search("kova_jackett_search_query", query)


@per_context
def parse_jackett(text: str) -> ResultSet:
    """Parses a Jackett results answer fetched by the host (no rows: an empty set)."""
    return _search("kova_parse_jackett", text)


@per_context
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
    any stage: an empty set. Needs a libkova that exports
    kova_prowlarr_search."""
    # The library checks the IMDb id itself here, with its own message.
    return _search("kova_prowlarr_search", imdb_id, title, query, type, season, episode)


@per_context
def parse_prowlarr(text: str) -> ResultSet:
    """Parses a Prowlarr search answer (a JSON array of releases) fetched by
    the host (no rows: an empty set). Needs a libkova that exports
    kova_parse_prowlarr."""
    return _search("kova_parse_prowlarr", text)


@per_context
def sonarr_lookup(imdb_id: Optional[str], title: Optional[str] = None) -> Lookup:
    """Looks a series up in Sonarr by IMDb id, then by title when the IMDb
    answer is empty; ``matched`` is the entry with that IMDb id (an IMDb id
    without one raises ``NotFound``). By title alone (``imdb_id`` None), the
    entries come back with ``matched`` None: the library matches by IMDb id
    only. Such a lookup that found entries succeeds (``rc`` 0, ``message``
    "Sonarr lookup: found N series, no IMDb id to match"), as it does in the
    CLI. No entries raise ``Empty``."""
    title_only = not imdb_id
    rc = call("kova_sonarr_lookup", _imdb(imdb_id), title,
              tolerate=(NotFound.rc,) if title_only else ())
    lookup = read_lookup(_native.load(), rc)
    if rc != NotFound.rc or not lookup:
        return lookup
    # The library fails a lookup without an IMDb id as if the id had matched
    # no entry ("none with that IMDb id"): what it found is the answer.
    return dataclasses.replace(lookup, rc=0,
                               message=f"Sonarr lookup: found {len(lookup)} series, no IMDb id to match")


@per_context
def radarr_lookup(imdb_id: str) -> Lookup:
    """Looks a film up in Radarr by IMDb id (none found: ``NotFound``)."""
    rc = call("kova_radarr_lookup_imdb", _imdb(imdb_id))
    return read_lookup(_native.load(), rc)


def _find(name: str, ident: int) -> Optional[int]:
    found = call(name, ident)
    return found if found > 0 else None


@per_context
def sonarr_library_find(tvdb_id: int) -> Optional[int]:
    """The Sonarr library id of the series with this TVDB id, None when absent."""
    return _find("kova_sonarr_library_find", tvdb_id)


@per_context
def radarr_library_find(tmdb_id: int) -> Optional[int]:
    """The Radarr library id of the film with this TMDb id, None when absent."""
    return _find("kova_radarr_library_find", tmdb_id)


@per_context
def sonarr_releases(series_id: int, season: int, episode: int = 0, *, exact: bool = False) -> ResultSet:
    """Releases Sonarr finds for an episode (0: the whole season) of a library
    series; none: an empty set. An episode Sonarr does not list is searched
    as the whole season, with a warning; with ``exact`` it raises ``NotFound``
    instead (needs a libkova that exports kova_sonarr_releases_exact)."""
    return _search("kova_sonarr_releases_exact" if exact else "kova_sonarr_releases",
                   series_id, season, episode)


@per_context
def radarr_releases(movie_id: int) -> ResultSet:
    """Releases Radarr finds for a library film; none: an empty set."""
    return _search("kova_radarr_releases", movie_id)


@per_context
def parse_arr_releases(text: str) -> ResultSet:
    """Parses a Sonarr/Radarr release list fetched by the host (no rows: an empty set)."""
    return _search("kova_parse_arr_releases", text)


@per_context
def sonarr_grab_release(index: int) -> None:
    """Sends release ``index`` of the current result set (from a Sonarr
    release search or search-or-add) to Sonarr's download client. A library
    write: needs armed writes. A refusal raises, with Sonarr's explanation in
    ``warnings``. Needs a libkova that exports kova_sonarr_grab_release."""
    call("kova_sonarr_grab_release", index)


@per_context
def radarr_grab_release(index: int) -> None:
    """Sends release ``index`` of the current result set (from a Radarr
    release search or search-or-add) to Radarr's download client. A library
    write: needs armed writes. A refusal raises, with Radarr's explanation in
    ``warnings``. Needs a libkova that exports kova_radarr_grab_release."""
    call("kova_radarr_grab_release", index)


@per_context
def prowlarr_grab_release(index: int) -> None:
    """Sends release ``index`` of the current result set (from a Prowlarr
    search, not a parsed answer) to Prowlarr's own download client. A
    library write: needs armed writes. Prowlarr forgets a search's releases
    after about half an hour: ``NotFound`` then says to search again; an
    indexer that fails to deliver the release is ``HttpError`` (409). Needs a
    libkova that exports kova_prowlarr_grab_release."""
    call("kova_prowlarr_grab_release", index)


@per_context
def prowlarr_grab(index: int) -> None:
    """``prowlarr_grab_release(index)``, under the name its search's family
    gives it (``prowlarr_search``, ``prowlarr_test``, ``prowlarr_grab``)."""
    call("kova_prowlarr_grab_release", index)


@per_context
def sonarr_add_series(tvdb_id: int, root: str, profile_id: int) -> int:
    """Adds a series to Sonarr, unmonitored; returns its library id. Needs
    armed writes (``NotArmed`` otherwise)."""
    return call("kova_sonarr_add_series", tvdb_id, root, profile_id)


@per_context
def radarr_add_movie(tmdb_id: int, root: str, profile_id: int) -> int:
    """Adds a film to Radarr, unmonitored; returns its library id. Needs
    armed writes."""
    return call("kova_radarr_add_movie", tmdb_id, root, profile_id)


@per_context
def quality_profile_pick(profile: Optional[str] = None) -> Optional[int]:
    """A quality profile id of the loaded list, chosen by decimal id, then
    exact name, else the first; None when no list is loaded."""
    pid = _native.load().kova_quality_profile_pick(profile)
    return None if pid == -1 else pid


@per_context
def quality_profile_find(profile: Optional[str] = None) -> int:
    """The id of the loaded quality profile that ``profile`` names, by the
    rule of the gets: None or "" the first; a decimal id that exists; a name
    exactly, else in any letter case when only one profile has it. Never a
    fallback: ``InvalidArgument`` (listing the names) when none or several
    match, ``Empty`` when no list is loaded. Needs a libkova that exports
    kova_quality_profile_find."""
    return call("kova_quality_profile_find", profile)


@per_context
def rootfolder_find(root: Optional[str]) -> Optional[int]:
    """The index (in ``ConnectionReport.root_folders``) of the loaded root
    folder that ``root`` names once both are trimmed (trailing backslashes,
    then slashes): the check a get makes of its root. None when none does.
    Needs a libkova that exports kova_rootfolder_find."""
    i = _native.load().kova_rootfolder_find(root)
    return None if i < 0 else i


@per_context
def sonarr_search_or_add(imdb_id: str, season: int, episode: int = 0, title: Optional[str] = None,
                         profile: Optional[str] = None) -> ResultSet:
    """From an IMDb id to Sonarr's releases for an episode (0: the season):
    lookup, library find or add, release search. Needs armed writes.
    ``Empty`` when no release was found, and also when the lookup found no
    series or an add found no root folder or profile: the library reports
    them all alike."""
    rc = call("kova_sonarr_search_or_add", _imdb(imdb_id), title, season, episode, profile)
    return read_result(_native.load(), rc)


@per_context
def radarr_search_or_add(imdb_id: str, profile: Optional[str] = None) -> ResultSet:
    """From an IMDb id to Radarr's releases for the film: lookup, library
    find or add, release search. Needs armed writes. ``Empty`` as for
    ``sonarr_search_or_add``."""
    rc = call("kova_radarr_search_or_add", _imdb(imdb_id), profile)
    return read_result(_native.load(), rc)


# The choices of a get, by keyword: KOVA_GET_* of kova.h.
_GET_FLAGS = {"no_add": 1, "exact": 2, "monitor": 4, "dry_run": 8}


def _get(name: str, *args: Any, **choices: bool) -> GetResult:
    flags = sum(bit for key, bit in _GET_FLAGS.items() if choices.get(key))
    lib = _native.load()
    try:
        rc = call(name, *args, flags)
    except KovaError as e:
        e.report = read_get_report(lib)
        # Once the item has a library id (found or added), the release
        # search is the only step left, so the library's ERR_EMPTY then
        # means "no releases": an empty result, as for the searches. A dry
        # run searches none; before the id, ERR_EMPTY is a lookup that found
        # nothing or an add with no root folder or profile.
        if not (isinstance(e, Empty) and e.report.library_id and not choices.get("dry_run")):
            raise
        rc = e.rc
    return read_result(lib, rc, GetResult, **dataclasses.asdict(read_get_report(lib)))


@per_context
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
    ``GetReport``). A release search that finds nothing: a result without
    rows (``rc`` -7, as an empty search's). ``Empty`` is raised for what
    comes before the search: a lookup that finds no series, an add without a
    root folder or quality profile. Needs a libkova that exports
    kova_sonarr_get."""
    return _get("kova_sonarr_get", _imdb(imdb_id), title, season, episode, profile, root,
                no_add=no_add, exact=exact, monitor=monitor, dry_run=dry_run)


@per_context
def radarr_get(imdb_id: str, profile: Optional[str] = None, root: Optional[str] = None, *,
               no_add: bool = False, monitor: bool = False, dry_run: bool = False) -> GetResult:
    """``sonarr_get`` for a Radarr film: ``monitor`` adds it monitored and
    lets Radarr search for it. Needs a libkova that exports kova_radarr_get."""
    return _get("kova_radarr_get", _imdb(imdb_id), profile, root, no_add=no_add, monitor=monitor,
                dry_run=dry_run)


class _WritesArmed:
    """What ``arm_library_writes`` returns: as a context manager, disarms
    the writes of the context it armed them in on exit, also when the block
    raises."""

    def __init__(self, ctx: Context):
        self._ctx = ctx

    def __enter__(self) -> "_WritesArmed":
        return self

    def __exit__(self, *exc: Any) -> None:
        with entered(self._ctx):
            _native.load().kova_arm_library_writes(0)


@per_context
def arm_library_writes() -> _WritesArmed:
    """Arms library writes (adds, search-or-add) now; as a context manager,
    disarms them on exit, also when the block raises::

        with kova.arm_library_writes():
            kova.radarr_search_or_add("tt0063350")
    """
    _native.load().kova_arm_library_writes(1)
    return _WritesArmed(current())


@per_context
def disarm_library_writes() -> None:
    """Disarms library writes."""
    _native.load().kova_arm_library_writes(0)


@per_context
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
                      transport: Transport) -> Validation:
    """Validates a settings object ({"Host","APIKey","UseHttps","Port","ID"},
    JSON strings) of "JACKETT", "SONARR", "RADARR" or "PROWLARR" with the
    library's handler record, over ``transport`` (a ``Transport``), in a
    private context that leaves every other one alone."""
    text = settings if isinstance(settings, str) else _json.dumps(settings)
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
