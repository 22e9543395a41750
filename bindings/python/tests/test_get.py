"""The get with a host's choices and its report, the exact release search, and the
profile and root rules a host can apply itself."""
import dataclasses
import json
import unittest

from fixtures import kova, program_all, start, url
import fixtures

PATH = "/data/tv/thetwilightzone-tt0052520"
EPISODE = "The.Twilight.Zone.1959.S01E05.1080p.BluRay.x264"
SEASON = "The.Twilight.Zone.1959.S01.1080p.BluRay.x264"
FILM = "Night of the Living Dead 1968 REMASTERED 1080p BluRay x264"
NOTHING = (None, False, None, None, None, False)
TWO_ROOTS = '[{"path":"/data/tv/","freeSpace":1099511627776},{"path":"/mnt/usb\\\\"}]'


def report(obj):
    return tuple(getattr(obj, f.name) for f in dataclasses.fields(kova.GetReport))


class Get(unittest.TestCase):
    def setUp(self):
        start()
        program_all()
        kova.fake_set(url("sonarr", "/api/v3/release", "seriesId=12&seasonNumber=1"), 200,
                      '[{"guid":"s1","indexerId":2,"title":"%s","fullSeason":true}]' % SEASON)

    def tearDown(self):
        kova.disarm_library_writes()

    def test_each_choice_gives_its_rows_or_error_and_its_report(self):
        sonarr = "tt0052520"
        cases = [  # name, armed, call, titles or error, report, POSTs
            ("in the library, nothing to check or arm", False,
             lambda: kova.radarr_get("tt0063350", profile="none such", root="/nope"), [FILM],
             (31, False, None, None, None, False), 0),
            ("a dry run settles the add and searches nothing", False,
             lambda: kova.sonarr_get(sonarr, season=1, episode=5, profile="hd-1080p", dry_run=True), [],
             (None, True, "/data/tv", 4, PATH, False), 0),
            ("an add needs arming, once settled", False, lambda: kova.sonarr_get(sonarr, season=1, episode=5),
             kova.NotArmed, (None, False, "/data/tv", 1, PATH, False), 0),
            ("a root the service lacks", True, lambda: kova.sonarr_get(sonarr, season=1, root="/nope"),
             kova.InvalidArgument, NOTHING, 0),
            ("a profile the service lacks", True, lambda: kova.sonarr_get(sonarr, season=1, profile="4K"),
             kova.InvalidArgument, NOTHING, 0),
            ("no add", True, lambda: kova.sonarr_get(sonarr, season=1, no_add=True), kova.NotFound, NOTHING, 0),
            ("an add, then the episode", True, lambda: kova.sonarr_get(sonarr, None, 1, 5, "4", "/data/tv/"),
             [EPISODE], (12, True, "/data/tv", 4, PATH, False), 1),
            ("an episode Sonarr lacks: the season", True, lambda: kova.sonarr_get(sonarr, season=1, episode=9),
             [SEASON], (12, True, "/data/tv", 1, PATH, True), 1),
            ("an episode Sonarr lacks, exactly: added, then not found", True,
             lambda: kova.sonarr_get(sonarr, season=1, episode=9, exact=True), kova.NotFound,
             (12, True, "/data/tv", 1, PATH, False), 1),
        ]
        for name, armed, call, want, want_report, posts in cases:
            with self.subTest(name):
                self.setUp()
                kova.parse_jackett(fixtures.JACKETT_PARTIAL)  # rows a get must not return as its own
                if armed:
                    kova.arm_library_writes()
                if isinstance(want, list):
                    got = call()
                    self.assertIsInstance(got, kova.ResultSet)
                    self.assertEqual([r.title for r in got], want)
                    self.assertEqual(report(got), want_report)
                else:
                    with self.assertRaises(want) as caught:
                        call()
                    self.assertEqual(report(caught.exception.report), want_report)
                self.assertEqual(kova.fake_post_count(), posts)

    def test_a_release_search_that_finds_nothing_is_an_empty_result(self):
        # What comes before the search is still raised: the report tells the
        # steps apart by the library id.
        nothing = [
            (url("radarr", "/api/v3/release", "movieId=31"), "[]"),
            (url("sonarr", "/api/v3/release", "episodeId=8805"), "[]"),
        ]
        cases = [  # name, routes, call, None or the error, report
            ("in the library", nothing, lambda: kova.radarr_get("tt0063350"), None,
             (31, False, None, None, None, False)),
            ("added, then nothing", nothing, lambda: kova.sonarr_get("tt0052520", season=1, episode=5),
             None, (12, True, "/data/tv", 1, PATH, False)),
            ("no series", [(url("sonarr", "/api/v3/series/lookup", "term=tt0052520"), "[]")],
             lambda: kova.sonarr_get("tt0052520", season=1), kova.Empty, NOTHING),
            ("no root folder to add to", [(url("sonarr", "/api/v3/rootfolder"), "[]")],
             lambda: kova.sonarr_get("tt0052520", season=1), kova.Empty, NOTHING),
        ]
        for name, routes, call, error, want_report in cases:
            with self.subTest(name):
                self.setUp()
                for u, body in routes:
                    kova.fake_set(u, 200, body)
                with kova.arm_library_writes():
                    if error is None:
                        got = call()
                        self.assertEqual((len(got), got.rc, got.message), (0, kova.Empty.rc, kova.last_error()))
                        self.assertEqual(got.to_dict()["results"], [])
                    else:
                        with self.assertRaises(error) as caught:
                            call()
                        got = caught.exception.report
                self.assertEqual(report(got), want_report)

    def test_monitoring_reaches_the_add(self):
        kova.fake_set(url("radarr", "/api/v3/movie", "tmdbId=10331"), 200, "[]")
        kova.fake_set(url("radarr", "/api/v3/movie"), 201, '{"id":31}')
        cases = [  # call, members of the body sent
            (lambda: kova.sonarr_get("tt0052520", season=1, episode=5, monitor=True),
             {"monitored": True, "addOptions.searchForMissingEpisodes": True, "seasons.0.monitored": True}),
            (lambda: kova.radarr_get("tt0063350", monitor=True),
             {"monitored": True, "addOptions.searchForMovie": True}),
        ]
        kova.arm_library_writes()
        for call, members in cases:
            with self.subTest(members=members):
                self.assertEqual(report(call())[1], True)
                body = json.loads(kova.fake_last_post_body())
                for path, value in members.items():
                    node = body
                    for key in path.split("."):
                        node = node[int(key)] if isinstance(node, list) else node[key]
                    self.assertEqual(node, value, path)

    def test_an_exact_release_search_never_falls_back_to_the_season(self):
        rows = kova.sonarr_releases(12, 1, 9)
        self.assertEqual([r.title for r in rows], [SEASON])
        self.assertIn("Sonarr: episode S1E9 not found, searching the whole season", rows.warnings)
        self.assertEqual([r.title for r in kova.sonarr_releases(12, 1, 5, exact=True)], [EPISODE])
        with self.assertRaises(kova.NotFound) as caught:
            kova.sonarr_releases(12, 1, 9, exact=True)
        self.assertEqual(caught.exception.message, "Sonarr: episode S1E9 not found")


class Choices(unittest.TestCase):
    def setUp(self):
        start()
        program_all()

    def test_profiles_and_roots_are_found_by_the_gets_rules(self):
        with self.assertRaises(kova.Empty):
            kova.quality_profile_find("Any")  # nothing loaded yet
        kova.fake_set(url("sonarr", "/api/v3/rootfolder"), 200, TWO_ROOTS)
        report = kova.connection_test("sonarr")
        self.assertEqual(report.root_folders, (kova.RootFolder("/data/tv", 1099511627776),
                                               kova.RootFolder("/mnt/usb", None)))
        profiles = [(None, 1), ("", 1), ("4", 4), ("HD-1080p", 4), ("hd-1080p", 4),
                    ("04", kova.InvalidArgument), ("4K", kova.InvalidArgument)]
        for text, want in profiles:
            with self.subTest(profile=text):
                if isinstance(want, int):
                    self.assertEqual(kova.quality_profile_find(text), want)
                else:
                    with self.assertRaises(want) as caught:
                        kova.quality_profile_find(text)
                    self.assertIn("Any (1), HD-1080p (4)", caught.exception.message)
        roots = [("/data/tv", 0), ("/data/tv//", 0), ("/mnt/usb/", 1), ("/mnt", None), ("", None), (None, None)]
        for text, want in roots:
            with self.subTest(root=text):
                self.assertEqual(kova.rootfolder_find(text), want)


if __name__ == "__main__":
    unittest.main()
