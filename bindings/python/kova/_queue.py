"""After the add: Sonarr's and Radarr's download queues and calendars.

Each operation fills a list of the context's own and leaves its current
result alone, so that a host shows releases and the queue together (a
row's ``get`` stays valid across them). Each returns a copy of the list.
"""
from __future__ import annotations

from datetime import datetime, timedelta

from . import _native
from ._context import per_context
from ._errors import InvalidArgument
from ._reading import EPOCH, call, outcome, read_entries
from ._results import Calendar, CalendarEntry, Queue, QueueEntry

__all__ = ["sonarr_queue", "radarr_queue", "sonarr_calendar", "radarr_calendar"]


def _queue(name: str, item_id: int) -> Queue:
    rc = call(name, item_id, beside=True)
    lib = _native.load()
    return Queue(items=read_entries(lib, QueueEntry, "queue"), **outcome(lib, rc, log=False))


@per_context
def sonarr_queue(series_id: int = 0) -> Queue:
    """Sonarr's download queue, every page of it, with the downloads Sonarr
    has not matched to a series; only that series' entries when
    ``series_id`` is above 0. An empty queue is an empty ``Queue``. Needs a
    libkova that exports kova_sonarr_queue."""
    return _queue("kova_sonarr_queue", series_id)


@per_context
def radarr_queue(movie_id: int = 0) -> Queue:
    """Radarr's download queue, like ``sonarr_queue``; only that film's
    entries when ``movie_id`` is above 0."""
    return _queue("kova_radarr_queue", movie_id)


def _seconds(when: datetime, name: str) -> int:
    """A moment for the library: whole seconds since 1970 UTC, rounded down.

    A naive datetime is refused rather than taken as UTC or as local time:
    either guess shifts the span by the offset nobody stated, and a
    calendar a few hours off drops the episodes at its ends without a word.
    """
    if not isinstance(when, datetime):
        raise TypeError(f"kova: the calendar's {name} must be a datetime, not {type(when).__name__}")
    if when.utcoffset() is None:
        raise InvalidArgument(InvalidArgument.rc, "ERR_INVALID_ARG",
                              f"kova: the calendar's {name} is a naive datetime: give it a zone "
                              f"(datetime.now(timezone.utc), or tzinfo=...)")
    return (when - EPOCH) // timedelta(seconds=1)


def _calendar(name: str, start: datetime, end: datetime) -> Calendar:
    rc = call(name, _seconds(start, "start"), _seconds(end, "end"), beside=True)
    lib = _native.load()
    return Calendar(items=read_entries(lib, CalendarEntry, "calendar"), **outcome(lib, rc, log=False))


@per_context
def sonarr_calendar(start: datetime, end: datetime) -> Calendar:
    """The episodes that air from ``start`` to ``end`` (aware datetimes),
    monitored or not, with their series. The library refuses a span that
    is reversed, longer than 366 days or outside the years 1970 to 9999
    (``InvalidArgument``). Needs a libkova that exports kova_sonarr_calendar."""
    return _calendar("kova_sonarr_calendar", start, end)


@per_context
def radarr_calendar(start: datetime, end: datetime) -> Calendar:
    """The films with a release (in cinemas, digital, physical) from
    ``start`` to ``end``, monitored or not; each entry's ``date`` is its
    earliest release inside the span and ``kind`` says which. As
    ``sonarr_calendar`` otherwise."""
    return _calendar("kova_radarr_calendar", start, end)
