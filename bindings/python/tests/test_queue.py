"""The download queue and the calendar on the fake transport, with the
services' recorded answers: entries read whole, missing values, the moments
given and read back, and what the queue leaves alone."""
import dataclasses
import json
import unittest
from datetime import datetime, timedelta, timezone

from fixtures import kova, recorded, start, url
import fixtures
from kova import _native

RADARR_QUEUE = recorded("arr/radarr-queue-goodfellas-deluge-2022.json")
SONARR_QUEUE = recorded("arr/sonarr-v4-queue-stalled-qbittorrent-2026.json")  # 3 of 90 records
RADARR_CALENDAR = recorded("arr/radarr-calendar-raydonovan-notimetodie-2022.json")
UTC = timezone.utc


def radarr_queue_url():
    return url("radarr", "/api/v3/queue", "page=1&pageSize=250&includeUnknownMovieItems=true")


def sonarr_queue_url(page):
    return url("sonarr", "/api/v3/queue",
               f"page={page}&pageSize=250&includeUnknownSeriesItems=true&includeEpisode=true")


def calendar_url(service, span):
    extra = "&includeSeries=true" if service == "sonarr" else ""
    return url(service, "/api/v3/calendar", f"{span}&unmonitored=true{extra}")


class Queue(unittest.TestCase):
    def setUp(self):
        start()

    def test_a_recorded_radarr_entry_reads_whole_and_the_result_stays(self):
        kova.fake_set(radarr_queue_url(), 200, RADARR_QUEUE)
        rows = kova.parse_arr_releases(fixtures.EPISODE_RELEASES)
        with kova.Session() as s:
            s.use_fake()
            s.configure("radarr", fixtures.HOSTS["radarr"], api_key=fixtures.KEYS["radarr"])
            queues = [kova.radarr_queue(), s.radarr_queue(311)]
        want = kova.QueueEntry(
            id=1340002663, title="Goodfellas 1990 25th Anniversary REMASTERED BRRip x264 1080p-NPW",
            library_id=311, season=None, episode=None, status="downloading", size=6202395598,
            left=6193674427, progress=0.001, eta=datetime(2022, 7, 26, 10, 34, 55, tzinfo=UTC),
            message=None, client="deluge", protocol="torrent")
        for q in queues:
            self.assertEqual((q.rc, tuple(q)), (kova.OK, (want,)))
        self.assertIs(queues[0][0].eta.tzinfo, UTC)
        # The queue is a list of its own: the releases read before are still
        # the current result.
        self.assertEqual(rows[0].get("indexer"), "1337x")

    def test_sonarr_entries_the_series_filter_and_an_empty_queue(self):
        kova.fake_set(sonarr_queue_url(1), 200, SONARR_QUEUE)
        kova.fake_set(sonarr_queue_url(2), 200, SONARR_QUEUE)  # past the end, the same page again
        q = kova.sonarr_queue(14)
        self.assertEqual([(e.status, e.season, e.episode, e.library_id, e.eta, e.progress) for e in q],
                         [("warning", 1, None, 14, None, 0.755), ("warning", 1, None, 14, None, 0.105),
                          ("warning", 1, None, 14, None, 0.007)])
        self.assertEqual({e.message for e in q}, {"The download is stalled with no connections"})
        nothing = kova.sonarr_queue(5)
        self.assertEqual((len(nothing), bool(nothing), nothing.rc), (0, False, kova.OK))

    def test_a_record_that_says_little_reads_none_for_the_rest(self):
        kova.fake_set(radarr_queue_url(), 200,
                      '{"totalRecords":2,"records":[{"title":"x"},{"size":100,"sizeleft":200}]}')
        bare, odd = kova.radarr_queue()
        self.assertEqual(bare, kova.QueueEntry(**dict({f.name: None for f in dataclasses.fields(bare)},
                                                      title="x")))
        self.assertEqual((odd.size, odd.left, odd.progress), (100, 200, None))  # more left than the whole

    def test_a_failure_raises_the_librarys_error_and_no_earlier_test_log(self):
        kova.fake_set(url("radarr", "/api/v3/rootfolder"), 200, fixtures.ROOTFOLDER)
        kova.fake_set(url("radarr", "/api/v3/qualityprofile"), 200, fixtures.PROFILES)
        self.assertTrue(kova.connection_test("radarr").test_log)
        cases = [  # movie id, status, answer, error, message
            (-1, 200, "{}", kova.InvalidArgument, "Radarr queue: invalid movie id"),
            (0, 500, '{"message":"down"}', kova.HttpError, "Radarr queue: HTTP 500"),
            (0, 200, "nonsense", kova.JsonError, "Radarr queue: not JSON"),
        ]
        for movie_id, status, body, cls, message in cases:
            with self.subTest(message):
                kova.fake_set(radarr_queue_url(), status, body)
                with self.assertRaises(cls) as caught:
                    kova.radarr_queue(movie_id)
                self.assertEqual((caught.exception.message, caught.exception.test_log), (message, ()))


class Calendar(unittest.TestCase):
    def setUp(self):
        start()

    def test_radarr_films_with_a_span_given_in_another_zone(self):
        span = "start=2021-12-01T00:00:00Z&end=2022-01-31T00:00:00Z"
        kova.fake_set(calendar_url("radarr", span), 200, RADARR_CALENDAR)
        paris = timezone(timedelta(hours=1))
        # The same moments as 2021-12-01T00:00Z and 2022-01-31T00:00Z, the
        # first with a fraction of a second, which is dropped.
        cal = kova.radarr_calendar(datetime(2021, 12, 1, 1, 0, 0, 999999, tzinfo=paris),
                                   datetime(2022, 1, 31, tzinfo=UTC))
        day = lambda d: datetime(2021, 12, d, tzinfo=UTC)  # noqa: E731
        film = lambda title, date, kind, has_file, library_id, imdb: kova.CalendarEntry(  # noqa: E731
            title, None, None, None, date, kind, has_file, True, library_id, imdb)
        self.assertEqual(tuple(cal), (
            film("No Time to Die", day(16), "physical", True, 1352, 2382320),
            film("The Matrix Resurrections", day(16), "cinema", False, 1622, 10838180),
            film("Ray Donovan: The Movie", datetime(2022, 1, 14, tzinfo=UTC), "digital", True, 2041,
                 14124268)))
        self.assertEqual(cal.test_log, ())

    def test_sonarr_episodes_with_their_series(self):
        span = "start=2025-12-10T00:00:00Z&end=2025-12-17T00:00:00Z"
        episodes = [
            {"seriesId": 7, "seasonNumber": 2, "episodeNumber": 4, "title": "Later",
             "airDateUtc": "2025-12-14T02:00:00Z", "hasFile": False, "monitored": False,
             "series": {"title": "Show", "imdbId": "tt0944947"}},
            {"seriesId": 9, "seasonNumber": 1, "episodeNumber": 1, "title": "Pilot", "airDate": "2025-12-11"},
        ]
        kova.fake_set(calendar_url("sonarr", span), 200, json.dumps(episodes))
        start_ = datetime(2025, 12, 10, tzinfo=UTC)
        cal = kova.sonarr_calendar(start_, start_ + timedelta(days=7))
        self.assertEqual(tuple(cal), (
            kova.CalendarEntry("Pilot", None, 1, 1, datetime(2025, 12, 11, tzinfo=UTC), "episode", None,
                               None, 9, None),
            kova.CalendarEntry("Later", "Show", 2, 4, datetime(2025, 12, 14, 2, tzinfo=UTC), "episode",
                               False, False, 7, 944947)))

    def test_moments_without_a_zone_or_a_span_the_library_refuses_send_nothing(self):
        when = datetime(2025, 12, 10, tzinfo=UTC)
        cases = [  # start, end, error, text of its message
            (datetime(2025, 12, 10), when, kova.InvalidArgument, "start is a naive datetime"),
            (when, datetime(2025, 12, 11), kova.InvalidArgument, "end is a naive datetime"),
            (when, when - timedelta(seconds=1), kova.InvalidArgument,
             "Sonarr calendar: the end is before the start"),
            (when, when + timedelta(days=367), kova.InvalidArgument, "Sonarr calendar: the span is over a year"),
            (when.date(), when, TypeError, "must be a datetime, not date"),
        ]
        for start_, end, cls, text in cases:
            with self.subTest(text):
                with self.assertRaises(cls) as caught:
                    kova.sonarr_calendar(start_, end)
                self.assertIn(text, str(caught.exception))
        self.assertIsInstance(caught.exception, TypeError)
        self.assertEqual(kova.fake_calls(), 0)


class Accessors(unittest.TestCase):
    def test_every_accessor_of_an_entry_is_a_field_of_its_class(self):
        cases = [("queue", kova.QueueEntry), ("calendar", kova.CalendarEntry)]
        for family, cls in cases:
            with self.subTest(family):
                prefix = f"kova_{family}_"
                accessors = [e.name[len(prefix):] for e in _native.EXPORTS if e.name.startswith(prefix)]
                self.assertEqual(sorted(cls.__dataclass_fields__), sorted(set(accessors) - {"count"}))


if __name__ == "__main__":
    unittest.main()
