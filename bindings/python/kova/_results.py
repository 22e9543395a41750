"""What operations return: immutable Python copies of the library's results."""
from __future__ import annotations

import json
from collections.abc import Sequence
from dataclasses import dataclass, field as dc_field
from datetime import datetime, timezone
from typing import Any, Dict, Iterator, Optional, Tuple, TypeVar, overload

__all__ = [
    "Release", "Indexer", "LookupEntry", "TestLogEntry", "QualityProfile", "RootFolder",
    "Outcome", "ResultSet", "Lookup", "ConnectionReport", "IndexerList", "GetReport", "GetResult",
    "QueueEntry", "CalendarEntry", "Queue", "Calendar",
]

T = TypeVar("T")


def _row(kind: str, as_id: bool = False) -> Any:
    """A row field of the given kind (the library's, in parse/row_fields.h):
    how ``_read_rows`` reads it through the accessors (``kova_result_<name>``)
    and what a missing value becomes; ``as_id``: a text the binding hands
    out as an int id."""
    meta = {"kind": kind, "as_id": True} if as_id else {"kind": kind}
    return dc_field(metadata=meta)


def _detail(kind: str, accessor: str = "") -> Any:
    """A release detail of the given kind: read like a row field, through
    ``kova_result_<accessor>`` (the field's own name when not given), but not
    a member of the result document."""
    meta = {"kind": kind, "detail": True}
    if accessor:
        meta["accessor"] = accessor
    return dc_field(metadata=meta)


@dataclass(frozen=True)
class Release:
    """One result row: a Jackett or Prowlarr result, or a Sonarr/Radarr release.

    The row fields come first, named as the rows of the result document
    (``ResultSet.to_dict()["results"]``) and in its order; the release
    details follow (what Sonarr and Radarr say beyond them, in their
    accessors' order; Jackett rows have none of them but ``protocol``,
    Prowlarr rows none but ``protocol`` and ``indexer_id``). Each
    field's kind says how it is read. A value the answer did not carry is
    ``None`` (where the C accessor gives its "none": ``""``, -1, 0 as its
    kind says); the IMDb, TMDb and TVDB ids are ``int``.
    """
    title: Optional[str] = _row("text")
    tracker: Optional[str] = _row("text")
    tracker_id: Optional[str] = _row("text")
    """Jackett's indexer id (a name), or the service's indexer number as text."""
    guid: Optional[str] = _row("text")
    link: Optional[str] = _row("text")
    details: Optional[str] = _row("text")
    magnet: Optional[str] = _row("text")
    info_hash: Optional[str] = _row("text")
    category_desc: Optional[str] = _row("text")
    imdb: Optional[int] = _row("text", as_id=True)
    """The IMDb id's number (63350 for tt0063350)."""
    tmdb: Optional[int] = _row("text", as_id=True)
    tvdb: Optional[int] = _row("text", as_id=True)
    size: Optional[int] = _row("size")
    """Size in bytes."""
    seeders: Optional[int] = _row("count")
    peers: Optional[int] = _row("count")
    """Peers (Jackett), seeders and leechers together (Prowlarr), or leechers
    (Sonarr/Radarr)."""
    files: Optional[int] = _row("count")
    category: Tuple[int, ...] = _row("categories")
    publish_date: Optional[int] = _row("date")
    """Milliseconds since 1970-01-01T00:00:00Z."""
    download_volume_factor: Optional[int] = _row("count")
    """In thousandths: 1000 full, 0 freeleech."""
    season: Optional[int] = _row("count")
    episode: Optional[int] = _row("count")
    full_season: bool = _row("flag")
    quality: Optional[str] = _detail("text")
    """The service's name of the quality ("WEBDL-1080p")."""
    resolution: Optional[int] = _detail("positive")
    approved: Optional[bool] = _detail("tristate")
    """Whether the service would take it; None when it did not say."""
    rejections: Tuple[str, ...] = _detail("texts", accessor="rejection")
    """The service's reasons for not taking it."""
    languages: Optional[str] = _detail("joined")
    """Language names joined with ", "."""
    custom_format_score: int = _detail("score")
    """0 when the service gave none: the library reads no score and a score
    of 0 alike, and 0 is the neutral score."""
    protocol: Optional[str] = _detail("text")
    """"torrent" or "usenet"; None when unknown."""
    indexer_id: Optional[int] = _detail("count")
    # Where the row was read from, for get(): its context and that context's
    # count of calls that replace the results then, and the row's index.
    _origin: Any = dc_field(default=None, repr=False, compare=False)
    _index: int = dc_field(default=-1, repr=False, compare=False)

    @property
    def published(self) -> Optional[datetime]:
        """``publish_date`` as an aware UTC datetime, or None."""
        if self.publish_date is None:
            return None
        return datetime.fromtimestamp(self.publish_date / 1000, tz=timezone.utc)

    @property
    def freeleech(self) -> bool:
        """True when downloading it counts for nothing."""
        return self.download_volume_factor == 0

    def get(self, path: str) -> Optional[str]:
        """Any member of this row's answer object by a dotted path
        ("quality.revision.version", "languages.0.name": each key exact, then
        in any letter case; a number indexes an array) as text, None when
        absent. It reads the library's row, in the context (session) the row
        came from, so only while this row's set is still that context's
        current result: after another operation there it raises
        ``RuntimeError``. Needs a libkova that exports kova_result_path."""
        from ._reading import current_row_text
        return current_row_text(self._origin, self._index, "kova_result_path", path)


@dataclass(frozen=True)
class Indexer:
    """A per-indexer status entry of a Jackett or Prowlarr search or test, or
    of a Torznab list."""
    id: Optional[str]
    """Jackett's and Torznab's ids are names ("1337x"); Prowlarr's number as text."""
    name: Optional[str]
    status: int
    """1 failed (Prowlarr: held back after failures, ``error`` saying since
    and until when); 2 an entry of a Torznab list; otherwise what Jackett
    sent (0 for Prowlarr's others)."""
    results: int
    error: Optional[str]

    @property
    def failed(self) -> bool:
        return self.status == 1


@dataclass(frozen=True)
class LookupEntry:
    """One entry of a Sonarr/Radarr lookup; None for what the service did not
    send. ``imdb`` is the IMDb id's number (944947 for tt0944947);
    ``library_id`` is set when the item is in the library."""
    title: Optional[str]
    clean_title: Optional[str]
    imdb: Optional[int]
    tvdb: Optional[int]
    tmdb: Optional[int]
    year: Optional[int]
    library_id: Optional[int]

    @property
    def in_library(self) -> bool:
        return self.library_id is not None


@dataclass(frozen=True)
class TestLogEntry:
    """One step of a test, search or workflow: a key and its text."""
    key: str
    text: str


@dataclass(frozen=True)
class QualityProfile:
    id: int
    name: Optional[str]


@dataclass(frozen=True)
class RootFolder:
    """A Sonarr/Radarr root folder, its path trimmed as an add uses it."""
    path: Optional[str]
    free_space: Optional[int]
    """Bytes; None when the service did not say."""


class _Rows(Sequence):  # type: ignore[type-arg]
    """Sequence behaviour over the ``items`` tuple of a container."""
    items: Tuple[Any, ...]

    @overload
    def __getitem__(self, i: int) -> Any: ...
    @overload
    def __getitem__(self, i: slice) -> Tuple[Any, ...]: ...

    def __getitem__(self, i: Any) -> Any:
        return self.items[i]

    def __len__(self) -> int:
        return len(self.items)

    def __iter__(self) -> Iterator[Any]:
        return iter(self.items)


@dataclass(frozen=True)
class Outcome:
    """What every operation reports besides its data."""
    rc: int
    """The result code: 0 OK, 1 PARTIAL; or the code of an outcome the call
    returns rather than raises: -7 (``Empty.rc``) for a search that found
    nothing."""
    message: Optional[str]
    """The library's message: None after a clean success, the summary of a
    PARTIAL, what an empty search says; for a lookup by title alone, that it
    found entries and had no IMDb id to match."""
    http_code: Optional[int]
    """The status of the operation's last request; None when none was answered."""
    warnings: Tuple[str, ...]
    test_log: Tuple[TestLogEntry, ...]

    @property
    def partial(self) -> bool:
        """True when some indexers (Jackett's, Prowlarr's) failed; the rows of
        the others are here."""
        return self.rc == 1


@dataclass(frozen=True, eq=False)
class ResultSet(Outcome, _Rows):
    """Rows of a search or release list: a sequence of ``Release``, empty
    when the search found nothing.

    Also ``stage`` (1 IMDb id, 2 title, 3 query, 0 none), ``indexers``,
    ``indexers_errored``, and ``to_dict()``/``json`` from the library's
    result document.
    """
    items: Tuple[Release, ...] = ()
    stage: int = 0
    indexers: Tuple[Indexer, ...] = ()
    indexers_errored: int = 0
    json: str = "{}"
    """The result document as the library wrote it (compact JSON)."""
    _origin: Any = dc_field(default=None, repr=False, compare=False)

    def to_dict(self) -> Dict[str, Any]:
        """The result document: {"stage","rc","results","indexers","indexers_errored","warnings"}."""
        return json.loads(self.json)

    def field(self, index: int, name: str) -> Optional[str]:
        """Any member of row ``index``'s JSON object by key (exact, then
        case-insensitive) as text, None when absent. Like ``Release.get``,
        only while this is still its context's current result: after
        another operation there it raises ``RuntimeError``."""
        from ._reading import current_row_text
        return current_row_text(self._origin, index, "kova_result_field", name)


@dataclass(frozen=True, eq=False)
class Lookup(Outcome, _Rows):
    """A Sonarr/Radarr lookup: a sequence of ``LookupEntry``; ``match`` is the
    index of the entry with the IMDb id asked for (-1 none), ``matched`` that
    entry (None for none, always so for a lookup by title alone)."""
    items: Tuple[LookupEntry, ...] = ()
    match: int = -1

    @property
    def matched(self) -> Optional[LookupEntry]:
        return self.items[self.match] if 0 <= self.match < len(self.items) else None


@dataclass(frozen=True, eq=False)
class ConnectionReport(Outcome, _Rows):
    """A connection test: a sequence of ``TestLogEntry`` (the test log), with
    the Sonarr/Radarr root folders (``rootfolder`` the first one's path) and
    quality profiles, or Jackett's or Prowlarr's indexers."""
    items: Tuple[TestLogEntry, ...] = ()
    rootfolder: Optional[str] = None
    root_folders: Tuple[RootFolder, ...] = ()
    quality_profiles: Tuple[QualityProfile, ...] = ()
    indexers: Tuple[Indexer, ...] = ()


@dataclass(frozen=True, eq=False)
class IndexerList(Outcome, _Rows):
    """A parsed Torznab indexer list: a sequence of ``Indexer``."""
    items: Tuple[Indexer, ...] = ()


@dataclass(frozen=True)
class GetReport:
    """What a get did: the item's library id (after the add when it added
    one), whether it added the item (or would have, in a dry run), the root
    folder, quality profile id and folder path of that add, and whether the
    whole season stood in for an episode Sonarr does not list. None where
    nothing was settled. A get that fails carries it as ``KovaError.report``:
    an add may have happened before the failure."""
    library_id: Optional[int] = None
    added: bool = False
    root: Optional[str] = None
    profile_id: Optional[int] = None
    path: Optional[str] = None
    fallback: bool = False


@dataclass(frozen=True)
class GetResult(GetReport, ResultSet):
    """The releases a get found, with its report: none in a dry run, which
    searches none, and none (``rc`` -7) when its release search found none."""


def _entry(kind: str) -> Any:
    """A field of a queue or calendar entry, read through the accessor of
    its own name (``kova_queue_<name>``, ``kova_calendar_<name>``) as its
    kind says: "text", "id" (0 none), "count" (-1 none), "size" (bytes),
    "thousandths" (a fraction), "seconds" (a moment), "tristate", "imdb"."""
    return dc_field(metadata={"kind": kind})


@dataclass(frozen=True)
class QueueEntry:
    """One download of Sonarr's or Radarr's queue; None where the service
    did not say."""
    id: Optional[int] = _entry("id")
    """The entry's own id in the service's queue."""
    title: Optional[str] = _entry("text")
    """The release title."""
    library_id: Optional[int] = _entry("id")
    """The series or film id; None when the service has not matched the download to one."""
    season: Optional[int] = _entry("count")
    """None for films."""
    episode: Optional[int] = _entry("count")
    """None for films."""
    status: Optional[str] = _entry("text")
    """One word to map: "queued", "downloading", "paused", "importing",
    "imported", "completed", "warning", "failed", "delay", or the service's
    own status lower-cased."""
    size: Optional[int] = _entry("size")
    """Bytes of the whole download."""
    left: Optional[int] = _entry("size")
    """Bytes still to come."""
    progress: Optional[float] = _entry("thousandths")
    """How far it is, from 0.0 to 1.0 (the library's thousandths: 0.755)."""
    eta: Optional[datetime] = _entry("seconds")
    """When it should be done, an aware UTC datetime."""
    message: Optional[str] = _entry("text")
    """What went wrong: the service's error, or its status messages joined with "; "."""
    client: Optional[str] = _entry("text")
    """The download client ("qBittorrent")."""
    protocol: Optional[str] = _entry("text")
    """"torrent" or "usenet"."""


@dataclass(frozen=True)
class CalendarEntry:
    """An episode that airs (Sonarr) or a film that comes out (Radarr) in the
    span asked for; None where the service did not say."""
    title: Optional[str] = _entry("text")
    """The episode's or the film's title."""
    series: Optional[str] = _entry("text")
    """The series' title; None for films."""
    season: Optional[int] = _entry("count")
    episode: Optional[int] = _entry("count")
    date: Optional[datetime] = _entry("seconds")
    """An aware UTC datetime: the episode's air time; the film's earliest
    release inside the span (``kind`` says which)."""
    kind: Optional[str] = _entry("text")
    """"episode", "cinema", "digital" or "physical"; None for a film with no
    release inside the span."""
    has_file: Optional[bool] = _entry("tristate")
    monitored: Optional[bool] = _entry("tristate")
    library_id: Optional[int] = _entry("id")
    """The series or film id."""
    imdb: Optional[int] = _entry("imdb")
    """The IMDb id's number of the series or film (944947 for tt0944947)."""


@dataclass(frozen=True, eq=False)
class Queue(Outcome, _Rows):
    """A download queue, every page of it: a sequence of ``QueueEntry``
    (empty for an empty queue). ``warnings`` says when the reading stopped
    at its bound; ``test_log`` is empty (the queue keeps none)."""
    items: Tuple[QueueEntry, ...] = ()


@dataclass(frozen=True, eq=False)
class Calendar(Outcome, _Rows):
    """A calendar: a sequence of ``CalendarEntry`` in date order (the
    service's order among equal dates, entries without a date last);
    ``test_log`` is empty."""
    items: Tuple[CalendarEntry, ...] = ()
