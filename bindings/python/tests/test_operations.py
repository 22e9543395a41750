"""The main families on the fake transport: what each returns, as Python objects."""
import dataclasses
import datetime
import unittest

from fixtures import kova, program_all, release_fields, start, url
import fixtures


class Operations(unittest.TestCase):
    def setUp(self):
        start()
        program_all()

    def test_connection_tests_report_their_log_and_what_they_loaded(self):
        cases = [  # service, root folder, profiles, indexers
            ("jackett", None, (), ("1337x", "rutracker")),
            ("sonarr", "/data/tv", ((1, "Any"), (4, "HD-1080p")), ()),
            ("radarr", "/data/tv", ((1, "Any"), (4, "HD-1080p")), ()),
            ("prowlarr", None, (), ("3", "6", "8", "5", "4")),
        ]
        for service, root, profiles, indexers in cases:
            with self.subTest(service):
                report = kova.connection_test(service)
                self.assertEqual(report.rc, kova.OK)
                self.assertGreater(len(report), 0)
                self.assertTrue(all(isinstance(e, kova.TestLogEntry) and e.key for e in report))
                self.assertEqual(report.test_log, tuple(report))
                self.assertEqual(report.rootfolder, root)
                self.assertEqual(report.root_folders, (kova.RootFolder(root, None),) if root else ())
                self.assertEqual(tuple((p.id, p.name) for p in report.quality_profiles), profiles)
                self.assertEqual(tuple(i.id for i in report.indexers), indexers)

    def test_partial_jackett_search_is_a_result_with_rows_indexers_and_document(self):
        rows = kova.jackett_search_imdb("tt0063350", "Night of the Living Dead")
        self.assertTrue(rows.partial)
        self.assertEqual(rows.rc, kova.PARTIAL)
        self.assertIn("1 of 3", rows.message)
        self.assertEqual(rows.stage, kova.STAGE_IMDB)
        self.assertEqual(rows.http_code, 200)
        self.assertEqual(len(rows), 2)
        self.assertEqual(rows.indexers_errored, 1)
        self.assertEqual([(i.id, i.failed, i.error) for i in rows.indexers],
                         [("1337x", False, None), ("eztv", True, "timed out"), ("rutracker", False, None)])
        first, second = rows
        self.assertEqual(first.title, "Night of the Living Dead 1968 1080p BluRay x264")
        self.assertEqual((first.size, first.seeders, first.peers, first.files), (8589934592, 212, 231, 3))
        self.assertEqual(first.category, (2000, 2040))
        self.assertEqual((first.imdb, first.download_volume_factor, first.freeleech), (63350, 1000, False))
        self.assertEqual(first.published, datetime.datetime(2023, 10, 28, 19, 42, tzinfo=datetime.timezone.utc))
        self.assertEqual(first.publish_date, 1698522120000)
        # What the answer lacks is None, whatever the accessor's "none".
        self.assertEqual((second.files, second.publish_date, second.published, second.link, second.tmdb),
                         (None, None, None, None, None))
        self.assertTrue(second.freeleech)
        with self.assertRaises(dataclasses.FrozenInstanceError):
            first.title = "x"

    def test_rows_carry_the_documents_row_fields_with_the_same_values(self):
        rows = kova.jackett_search_imdb("tt0063350")
        doc = rows.to_dict()
        self.assertEqual(doc["rc"], rows.rc)
        self.assertEqual(doc["stage"], rows.stage)
        self.assertEqual(doc["warnings"], list(rows.warnings))
        fields = release_fields(details=False)
        # The document's "none" of each kind, and its ids as text.
        none = {"text": "", "count": -1, "date": -1, "size": None}
        for row, obj in zip(rows, doc["results"]):
            self.assertEqual([f.name for f in fields], list(obj))
            as_doc = {}
            for f in fields:
                v = getattr(row, f.name)
                if f.metadata.get("as_id"):
                    v = "" if v is None else str(v)
                elif v is None:
                    v = none[f.metadata["kind"]]
                as_doc[f.name] = list(v) if isinstance(v, tuple) else v
            self.assertEqual(as_doc, obj)

    def test_ids_are_ints_and_what_an_answer_lacks_is_none(self):
        cases = [  # name, parse, answer, (imdb, tmdb, tvdb) of its row
            ("Jackett", kova.parse_jackett,
             '{"Results":[{"Title":"a","Imdb":"tt0063350","TMDb":10331,"TVDBId":null}],"Indexers":[]}',
             (63350, 10331, None)),
            ("Jackett, zeros", kova.parse_jackett,
             '{"Results":[{"Title":"a","Imdb":0,"TMDb":0,"TVDBId":"0"}],"Indexers":[]}', (None, None, None)),
            ("Sonarr", kova.parse_arr_releases,
             '[{"title":"a","guid":"g","imdbId":"tt0052520","tmdbId":0,"tvdbId":73587}]', (52520, None, 73587)),
            ("Prowlarr", kova.parse_prowlarr, '[{"title":"a","guid":"g","imdbId":464196,"tmdbId":95396}]',
             (464196, 95396, None)),
        ]
        for name, parse, answer, ids in cases:
            with self.subTest(name):
                row = parse(answer)[0]
                self.assertEqual((row.imdb, row.tmdb, row.tvdb), ids)
                self.assertEqual((row.link, row.seeders, row.quality), (None, None, None))
        entry = kova.sonarr_lookup("tt0052520").matched
        self.assertEqual((entry.imdb, entry.tvdb, entry.tmdb, entry.library_id), (52520, 73587, None, None))

    def test_lookups_finds_and_release_searches(self):
        series = kova.sonarr_lookup("tt0052520")
        self.assertEqual(len(series), 2)
        self.assertEqual(series.match, 1)
        self.assertEqual((series.matched.title, series.matched.tvdb, series.matched.year),
                         ("The Twilight Zone", 73587, 1959))
        self.assertFalse(series.matched.in_library)
        film = kova.radarr_lookup("tt0063350")
        self.assertEqual((film.matched.tmdb, film.matched.library_id, film.matched.in_library),
                         (10331, 31, True))
        self.assertIsNone(kova.sonarr_library_find(73587))
        self.assertEqual(kova.radarr_library_find(10331), 31)
        episode = kova.sonarr_releases(12, 1, 5)
        self.assertEqual([(r.season, r.episode, r.peers, r.tracker) for r in episode], [(1, 5, 3, "1337x")])
        self.assertEqual([r.size for r in kova.radarr_releases(31)], [9126805504])

    def test_a_search_that_finds_nothing_is_an_empty_set(self):
        jackett = "/api/v2.0/indexers/all/results"
        nothing = '{"Results":[],"Indexers":[]}'
        for query in ("Query=tt0063350", "Query=Night", "Query=night%201968"):
            kova.fake_set(url("jackett", jackett, query), 200, nothing)
        kova.fake_set(url("prowlarr", "/api/v1/search", "query=Severance&type=search"), 200, "[]")
        kova.fake_set(url("sonarr", "/api/v3/release", "seriesId=12&seasonNumber=1"), 200, "[]")
        kova.fake_set(url("radarr", "/api/v3/release", "movieId=31"), 200, "[]")
        cases = [  # name, call
            ("Jackett, every stage", lambda: kova.jackett_search_imdb("tt0063350", "Night", "night 1968")),
            ("Jackett, a query", lambda: kova.jackett_search_query("Night")),
            ("Prowlarr", lambda: kova.prowlarr_search(query="Severance")),
            ("Sonarr's releases", lambda: kova.sonarr_releases(12, 1)),
            ("Radarr's releases", lambda: kova.radarr_releases(31)),
            ("a Jackett answer", lambda: kova.parse_jackett(nothing)),
            ("a Prowlarr answer", lambda: kova.parse_prowlarr("[]")),
            ("a release list", lambda: kova.parse_arr_releases("[]")),
        ]
        for name, search in cases:
            with self.subTest(name):
                rows = search()
                self.assertIsInstance(rows, kova.ResultSet)
                self.assertEqual((len(rows), rows.rc, rows.stage, rows.partial),
                                 (0, kova.Empty.rc, kova.STAGE_NONE, False))
                self.assertEqual(rows.message, kova.last_error())
                self.assertEqual(rows.to_dict()["results"], [])

    def test_a_lookup_by_title_alone_returns_its_entries_unmatched(self):
        by_title = url("sonarr", "/api/v3/series/lookup", "term=The%20Twilight%20Zone")
        kova.fake_set(by_title, 200, fixtures.SERIES_LOOKUP)
        kova.fake_set(url("sonarr", "/api/v3/series/lookup", "term=tt0000001"), 200, fixtures.SERIES_LOOKUP)
        lookup = kova.sonarr_lookup(None, "The Twilight Zone")
        self.assertEqual(([e.tvdb for e in lookup], lookup.match, lookup.matched), ([73977, 73587], -1, None))
        self.assertEqual((lookup.rc, lookup.message), (kova.OK, "Sonarr lookup: found 2 series, no IMDb id to match"))
        self.assertEqual(kova.sonarr_lookup("tt0052520").matched.tvdb, 73587)
        with self.assertRaises(kova.NotFound):  # an IMDb id no entry has
            kova.sonarr_lookup("tt0000001")
        kova.fake_set(by_title, 200, "[]")
        with self.assertRaises(kova.Empty):
            kova.sonarr_lookup(None, "The Twilight Zone")

    def test_an_imdb_id_the_library_cannot_read_is_refused_before_anything_is_sent(self):
        kova.connection_test("sonarr")  # the profiles a get would settle
        kova.fake_reset()
        cases = [  # name, call with "xyz" as the IMDb id, the message's start
            ("Jackett", lambda i: kova.jackett_search_imdb(i, "Night"), "kova: invalid IMDb id"),
            ("Sonarr lookup", lambda i: kova.sonarr_lookup(i, "The Twilight Zone"), "kova: invalid IMDb id"),
            ("Radarr lookup", kova.radarr_lookup, "kova: invalid IMDb id"),
            ("Sonarr search or add", lambda i: kova.sonarr_search_or_add(i, 1), "kova: invalid IMDb id"),
            ("Radarr search or add", kova.radarr_search_or_add, "kova: invalid IMDb id"),
            ("Sonarr get", lambda i: kova.sonarr_get(i, dry_run=True), "kova: invalid IMDb id"),
            ("Radarr get", lambda i: kova.radarr_get(i, dry_run=True), "kova: invalid IMDb id"),
            ("Prowlarr, by the library", kova.prowlarr_search, "Prowlarr search: invalid IMDb id"),
        ]
        with kova.arm_library_writes():
            for name, call, message in cases:
                with self.subTest(name):
                    with self.assertRaises(kova.InvalidArgument) as caught:
                        call("xyz")
                    self.assertTrue(caught.exception.message.startswith(message), caught.exception.message)
        self.assertEqual(kova.fake_calls(), 0)

    def test_an_imdb_id_goes_out_as_the_services_write_it(self):
        # The routes answer the "tt" and seven digits form alone, and the
        # library takes an answer for any other text as a different id's.
        cases = [  # name, call, what it found
            ("Jackett", lambda i: kova.jackett_search_imdb(i).stage, kova.STAGE_IMDB),
            ("Sonarr lookup", lambda i: kova.sonarr_lookup(i).matched.tvdb, 73587),
            ("Radarr lookup", lambda i: kova.radarr_lookup(i).matched.tmdb, 10331),
            ("Sonarr get", lambda i: kova.sonarr_get(i, season=1, dry_run=True).path,
             "/data/tv/thetwilightzone-tt0052520"),
            ("Radarr get", lambda i: kova.radarr_get(i)[0].seeders, 212),
            ("Radarr search or add", lambda i: kova.radarr_search_or_add(i)[0].seeders, 212),
        ]
        with kova.arm_library_writes():
            for name, call, want in cases:
                number = "52520" if name.startswith("Sonarr") else "63350"
                for given in (number, "0" + number, "TT" + number, "tt00" + number):
                    with self.subTest(name, id=given):
                        self.assertEqual(call(given), want)

    def test_search_or_add_needs_armed_writes_and_the_context_disarms(self):
        with self.assertRaises(kova.NotArmed):
            kova.sonarr_search_or_add("tt0052520", 1, 5)
        kova.connection_test("sonarr")  # loads the root folder and profiles an add uses
        with kova.arm_library_writes():
            self.assertTrue(kova.library_writes_armed())
            episode = kova.sonarr_search_or_add("tt0052520", 1, 5, profile="HD-1080p")
            film = kova.radarr_search_or_add("tt0063350")
        self.assertFalse(kova.library_writes_armed())
        self.assertEqual(episode[0].title, "The.Twilight.Zone.1959.S01E05.1080p.BluRay.x264")
        self.assertGreater(len(episode.test_log), 0)
        self.assertEqual(kova.fake_post_count(), 1)  # the series was added, the film found
        self.assertEqual(kova.fake_last_post_url(), url("sonarr", "/api/v3/series", "tvdbId=73587"))
        self.assertIn('"qualityProfileId":4', kova.fake_last_post_body())
        self.assertEqual(film[0].seeders, 212)
        with self.assertRaises(RuntimeError):
            with kova.arm_library_writes():
                raise RuntimeError("the block failed")
        self.assertFalse(kova.library_writes_armed())

    def test_adds_return_the_new_library_id(self):
        kova.fake_set(url("sonarr", "/api/v3/series/lookup", "term=tvdb%3A73587"), 200, fixtures.SERIES_LOOKUP)
        kova.connection_test("sonarr")
        self.assertEqual(kova.quality_profile_pick("HD-1080p"), 4)
        with kova.arm_library_writes():
            self.assertEqual(kova.sonarr_add_series(73587, "/data/tv", 4), 12)

    def test_host_fetched_answers_parse_into_the_same_objects(self):
        indexers = kova.parse_torznab_indexers(fixtures.TORZNAB)
        self.assertEqual([(i.name, i.status) for i in indexers], [("1337x", 2), ("RuTracker.org", 2)])
        self.assertEqual(len(kova.parse_jackett(fixtures.JACKETT_PARTIAL)), 2)
        self.assertEqual(kova.parse_arr_releases(fixtures.MOVIE_RELEASES)[0].seeders, 212)

    def test_configuration_and_small_helpers(self):
        kova.configure(kova.Service.SONARR, "::1", port=8990, https=True, api_key="k")
        self.assertEqual(kova.base_url("sonarr"), "https://[::1]:8990")
        self.assertEqual([kova.default_port(s) for s in ("jackett", "sonarr", "radarr", "prowlarr")],
                         [9117, 8989, 7878, 9696])
        self.assertEqual([kova.imdb_numeric(i) for i in ("tt0000123", " TT0063350 ", "xyz", None)],
                         [123, 63350, None, None])
        self.assertEqual(kova.strerror(-3), "ERR_AUTH")
        kova.set_timeout_ms(1500)
        self.assertEqual(kova.timeout_ms(), 1500)
        with self.assertRaises(ValueError):
            kova.configure("plex", "h", api_key="k")

    def test_a_service_is_configured_from_its_url_or_refused_as_it_was(self):
        cases = [  # URL, base URL or the refused part named in the message
            ("https://media.lan/sonarr/", "https://media.lan:443/sonarr"),
            ("HTTP://[::1]:8990", "http://[::1]:8990"),
            ("http://sonarr.lan", "http://sonarr.lan:80"),
            ("ftp://sonarr.lan", "scheme"), ("http://sonarr.lan/?page=1", "query"),
            ("http://sonarr.lan/#top", "fragment"), ("http://me@sonarr.lan", "user information"),
            ("http://sonarr.lan:70000", "port"), ("http:///sonarr", "host"),
        ]
        for text, want in cases:
            with self.subTest(text):
                kova.configure("sonarr", "before.lan", api_key="k")
                if "://" in want:
                    kova.configure_url("sonarr", text, "k")
                    self.assertEqual(kova.base_url("sonarr"), want)
                else:
                    with self.assertRaises(kova.InvalidArgument) as caught:
                        kova.configure_url("sonarr", text, "k")
                    self.assertIn(want, caught.exception.message)
                    self.assertEqual(kova.base_url("sonarr"), "http://before.lan:8989")


if __name__ == "__main__":
    unittest.main()
