"""Result codes as exceptions, UTF-8 texts both ways, and the lifetime of returned texts."""
import unittest

from fixtures import KEYS, kova, program_all, start, url


def search():
    return kova.jackett_search_imdb("tt0063350")


class Errors(unittest.TestCase):
    def setUp(self):
        start()

    def test_each_failure_raises_its_class_with_the_librarys_diagnostics(self):
        jackett = url("jackett", "/api/v2.0/indexers/all/results", "Query=tt0063350")
        rootfolder = url("sonarr", "/api/v3/rootfolder")
        cases = [  # name, setup, call, class, the built-in one it also is, rc, http code
            ("transport", lambda: kova.fake_fail(jackett, "refused"), search, kova.TransportError,
             ConnectionError, -1, None),
            ("http", lambda: kova.fake_set(jackett, 500, "oops"), search, kova.HttpError, None, -2, 500),
            ("auth", lambda: kova.fake_set(rootfolder, 401, ""), lambda: kova.connection_test("sonarr"),
             kova.AuthError, PermissionError, -3, 401),
            ("json", lambda: kova.fake_set(jackett, 200, "<html>"), search, kova.JsonError, None, -4, 200),
            ("not configured", kova.reset, search, kova.NotConfigured, None, -5, None),
            ("not found", lambda: kova.fake_set(jackett, 404, ""), search, kova.NotFound, LookupError, -6, 404),
            ("empty", None, lambda: kova.quality_profile_find("Any"), kova.Empty, None, -7, None),
            ("not armed", None, lambda: kova.radarr_add_movie(10331, "/m", 1), kova.NotArmed, None, -8, None),
            ("no transport", lambda: kova.use_transport(None), search, kova.NoTransport, None, -9, None),
            ("invalid", None, lambda: kova.jackett_search_query(""), kova.InvalidArgument, ValueError,
             -10, None),
            ("indexers", lambda: kova.fake_set(jackett, 200, '{"Results":[],"Indexers":'
                                               '[{"ID":"a","Name":"A","Status":1,"Error":"down"}]}'),
             search, kova.IndexersFailed, None, -12, 200),
        ]
        for name, setup, call, cls, builtin, rc, http in cases:
            with self.subTest(name):
                start()
                if setup:
                    setup()
                with self.assertRaises(cls) as caught:
                    call()
                e = caught.exception
                self.assertIsInstance(e, kova.KovaError)
                if builtin is not None:
                    self.assertIsInstance(e, builtin)
                self.assertEqual((e.rc, e.name, e.http_code), (rc, kova.strerror(rc), http))
                self.assertEqual(e.message, kova.last_error())
                self.assertIn(e.message, str(e))
                self.assertNotRegex(str(e), r"kova_\w+")  # Python's calls, not C's
                self.assertEqual(e.transport_error, "refused" if cls is kova.TransportError else None)

    def test_errors_a_python_call_fixes_name_that_call(self):
        cases = [  # setup, call, the call the message names
            (lambda: kova.use_transport(None), search, "kova.use_transport("),
            (None, lambda: kova.radarr_add_movie(10331, "/m", 1), "kova.arm_library_writes()"),
        ]
        for setup, call, named in cases:
            with self.subTest(named):
                start()
                if setup:
                    setup()
                with self.assertRaises(kova.KovaError) as caught:
                    call()
                self.assertIn(named, caught.exception.message)

    def test_the_transports_own_text_comes_with_its_error_with_keys_redacted(self):
        jackett = url("jackett", "/api/v2.0/indexers/all/results", "Query=tt0063350")
        kova.fake_fail(jackett, f"connection refused: {jackett}")
        with self.assertRaises(kova.TransportError) as caught:
            search()
        e = caught.exception
        self.assertEqual(e.transport_error, "connection refused: " + jackett.replace(KEYS["jackett"], "***"))
        self.assertIn(e.transport_error, str(e))
        self.assertNotIn(KEYS["jackett"], str(e))

    def test_configure_refuses_with_invalid_argument(self):
        with self.assertRaises(ValueError):
            kova.configure("sonarr", "http://host/with/scheme", api_key="k")
        with self.assertRaises(kova.InvalidArgument):
            kova.configure("radarr", "host", api_key="")

    def test_warnings_travel_with_results_and_errors(self):
        # The IMDb stage finds nothing; the title stage's only row has another
        # IMDb id and is dropped, with a warning: an empty set. A 500 says
        # what went wrong in its body: an error, with that as a warning.
        results = "/api/v2.0/indexers/all/results"
        kova.fake_set(url("jackett", results, "Query=tt0063350"), 200, '{"Results":[],"Indexers":[]}')
        kova.fake_set(url("jackett", results, "Query=Night"), 200,
                      '{"Results":[{"Title":"Other film","Imdb":1234,"Size":1}],"Indexers":[]}')
        rows = kova.jackett_search_imdb("tt0063350", "Night")
        self.assertEqual((len(rows), len(rows.test_log)), (0, 2))
        self.assertEqual(rows.warnings, ("stage2: dropped 1 rows with a different Imdb",))
        kova.fake_set(url("jackett", results, "Query=tt0063350"), 500, '{"message":"database is locked"}')
        with self.assertRaises(kova.HttpError) as caught:
            kova.jackett_search_imdb("tt0063350", "Night")
        self.assertEqual(len(caught.exception.warnings), 1)
        self.assertIn("database is locked", caught.exception.warnings[0])
        self.assertEqual(caught.exception.warnings, kova.warnings())


class Texts(unittest.TestCase):
    def setUp(self):
        start()

    def test_non_ascii_texts_round_trip(self):
        title = "Amélie – Ночь – 東京物語 🎬"
        query = url("jackett", "/api/v2.0/indexers/all/results", "Query=tt0063350")
        kova.fake_set(query, 200, '{"Results":[{"Title":"%s","Tracker":"Ü","Size":1}],"Indexers":[]}' % title)
        row = kova.jackett_search_imdb("tt0063350")[0]
        self.assertEqual((row.title, row.tracker), (title, "Ü"))
        self.assertEqual(kova.jackett_search_imdb("tt0063350").to_dict()["results"][0]["title"], title)
        kova.fake_fail(query, "Zeitüberschreitung")
        with self.assertRaises(kova.TransportError):
            kova.jackett_search_imdb("tt0063350")
        raw = kova.native()
        self.assertEqual(raw.kova_imdb_numeric("tt0063350"), "63350")
        with self.assertRaises(ValueError):
            kova.fake_set("http://a/\0b", 200, "")

    def test_returned_texts_are_copies_that_outlive_the_next_call(self):
        program_all()
        raw = kova.native()
        first = kova.jackett_search_imdb("tt0063350")
        title, doc = raw.kova_result_title(0), raw.kova_result_json()
        kova.radarr_releases(31)  # replaces every row and the document
        self.assertNotEqual(raw.kova_result_title(0), title)
        self.assertEqual(title, first[0].title)
        self.assertEqual(doc, first.json)
        self.assertEqual(first.to_dict()["results"][1]["tracker"], "RuTracker.org")
        kova.reset()
        self.assertEqual(first[1].size, 61203283968)

    def test_a_row_field_reads_only_while_its_set_is_current(self):
        program_all()
        rows = kova.jackett_search_imdb("tt0063350")
        self.assertEqual(rows.field(0, "TrackerId"), "1337x")
        self.assertIsNone(rows.field(0, "grabs"))
        kova.radarr_releases(31)
        with self.assertRaises(RuntimeError):
            rows.field(0, "TrackerId")


if __name__ == "__main__":
    unittest.main()
