"""Python objects as the transport: answers, reasons, failures, buffer lifetime."""
import gc
import json
import socket
import unittest

from fixtures import KEYS, kova, start
import fixtures


class Recorder:
    """Answers from a dict of URL -> (status, body); records every request."""

    def __init__(self, answers):
        self.answers = answers
        self.requests = []

    def get(self, url):
        self.requests.append(("GET", url, None, None))
        return self.answers[url]

    def post(self, url, body, content_type):
        self.requests.append(("POST", url, body, content_type))
        return self.answers[url]


class Raising:
    """A transport whose every request raises ``exc``."""

    def __init__(self, exc):
        self.exc = exc

    def get(self, url):
        raise self.exc

    def post(self, url, body, content_type):
        raise self.exc


def installed_table():
    return kova._context.DEFAULT.transport


class PythonTransport(unittest.TestCase):
    def setUp(self):
        start()
        self.rootfolder = fixtures.url("radarr", "/api/v3/rootfolder")
        self.profiles = fixtures.url("radarr", "/api/v3/qualityprofile")

    def tearDown(self):
        kova.use_transport(None)

    def test_answers_in_str_or_bytes_reach_the_library_and_every_buffer_is_released(self):
        # No name of this test refers to the object: the binding keeps it alive.
        kova.use_transport(Recorder({self.rootfolder: (200, fixtures.ROOTFOLDER.encode()),
                                     self.profiles: (200, fixtures.PROFILES)}))
        gc.collect()
        report = kova.connection_test("radarr")
        self.assertEqual((report.rootfolder, len(report.quality_profiles)), ("/data/tv", 2))
        self.assertEqual([r[:2] for r in installed_table().obj.requests],
                         [("GET", self.rootfolder), ("GET", self.profiles)])
        self.assertEqual(installed_table().outstanding, {})

    def test_a_transport_is_any_object_with_get_and_post(self):
        class GetOnly:
            def get(self, url):
                return 200, ""

        for obj in (Recorder({}), kova.UrllibTransport()):
            self.assertIsInstance(obj, kova.Transport)
        self.assertNotIsInstance(GetOnly(), kova.Transport)
        with self.assertRaises(TypeError):
            kova.use_transport(GetOnly())

    def test_a_post_carries_its_body_and_content_type(self):
        movie = fixtures.url("radarr", "/api/v3/movie")
        lookup = fixtures.url("radarr", "/api/v3/movie/lookup/tmdb", "tmdbId=10331")
        t = Recorder({self.rootfolder: (200, fixtures.ROOTFOLDER), self.profiles: (200, fixtures.PROFILES),
                      lookup: (200, fixtures.MOVIE_LOOKUP.replace(',"id":31', "")),
                      movie: (201, '{"id":77,"title":"Night of the Living Dead"}')})
        kova.use_transport(t)
        kova.connection_test("radarr")
        with kova.arm_library_writes():
            self.assertEqual(kova.radarr_add_movie(10331, "/data/movies", 4), 77)
        method, url, body, content_type = t.requests[-1]
        self.assertEqual((method, url, content_type), ("POST", movie, "application/json"))
        self.assertEqual(json.loads(body)["tmdbId"], 10331)
        self.assertEqual(installed_table().outstanding, {})

    def test_a_failing_transport_is_a_transport_error_not_a_crash(self):
        class Refuses:
            def get(self, url):
                raise ConnectionRefusedError("nobody listens")

            def post(self, url, body, content_type):
                raise AssertionError("no POST expected")

        bad_answers = [  # what a get returns instead of (status, body)
            ("not a tuple", "200"), ("status not int", ("200", "")), ("body not text", (200, 12)),
        ]
        kova.use_transport(Refuses())
        with self.assertRaises(kova.TransportError) as caught:
            kova.connection_test("radarr")
        self.assertIsInstance(caught.exception.__cause__, ConnectionRefusedError)
        self.assertEqual(caught.exception.transport_error, "ConnectionRefusedError: nobody listens")
        for name, answer in bad_answers:
            with self.subTest(name):
                kova.use_transport(Recorder({self.rootfolder: answer}))
                with self.assertRaises(kova.TransportError) as caught:
                    kova.connection_test("radarr")
                self.assertIsInstance(caught.exception.__cause__, TypeError)
                self.assertEqual(installed_table().outstanding, {})

    def test_a_reason_beside_an_answer_explains_a_refusal_only(self):
        cases = [  # answer to the root folder request, error class (None: none), transport_error
            ((429, "", "rate limited, retry after 30 s"), kova.HttpError, "rate limited, retry after 30 s"),
            ((403, "", f"said apikey={KEYS['radarr']}"), kova.AuthError, "said apikey=***"),
            ((500, "", None), kova.HttpError, None),
            ((200, fixtures.ROOTFOLDER, "chatter"), None, None),
        ]
        for answer, cls, said in cases:
            with self.subTest(answer[0]):
                kova.use_transport(Recorder({self.rootfolder: answer, self.profiles: (200, fixtures.PROFILES)}))
                if cls is None:
                    self.assertEqual(kova.connection_test("radarr").rc, kova.OK)
                    continue
                with self.assertRaises(cls) as caught:
                    kova.connection_test("radarr")
                self.assertEqual((caught.exception.http_code, caught.exception.transport_error),
                                 (answer[0], said))
                self.assertEqual(installed_table().outstanding, {})
        kova.use_transport(Recorder({self.rootfolder: (429, "", b"not text")}))
        with self.assertRaises(kova.TransportError) as caught:
            kova.connection_test("radarr")
        self.assertIsInstance(caught.exception.__cause__, TypeError)

    def test_a_python_transports_time_out_is_a_timeout_error(self):
        cases = [  # what the transport raises, whether it is a time-out
            (TimeoutError("took too long"), True), (socket.timeout("timed out"), True),
            (ConnectionResetError("reset by peer"), False),
        ]
        for raised, timed_out in cases:
            with self.subTest(type(raised).__name__):
                kova.use_transport(Raising(raised))
                with self.assertRaises(kova.TransportError) as caught:
                    kova.connection_test("radarr")
                self.assertIs(caught.exception.__cause__, raised)
                self.assertEqual((isinstance(caught.exception, kova.TransportTimeout),
                                  isinstance(caught.exception, TimeoutError)), (timed_out, timed_out))

    def test_an_interrupt_inside_the_transport_reaches_the_caller(self):
        class Interrupted:
            def get(self, url):
                raise KeyboardInterrupt

            post = get

        kova.use_transport(Interrupted())
        with self.assertRaises(KeyboardInterrupt):
            kova.connection_test("radarr")
        kova.use_transport(Recorder({self.rootfolder: (200, fixtures.ROOTFOLDER),
                                     self.profiles: (200, fixtures.PROFILES)}))
        self.assertEqual(kova.connection_test("radarr").rc, kova.OK)

    def test_a_transport_may_read_the_time_out_during_a_request(self):
        seen = []

        class Reads(Recorder):
            def get(self, url):
                seen.append(kova.timeout_ms())
                return super().get(url)

        kova.set_timeout_ms(2500)
        kova.use_transport(Reads({self.rootfolder: (200, fixtures.ROOTFOLDER),
                                  self.profiles: (200, fixtures.PROFILES)}))
        kova.connection_test("radarr")
        self.assertEqual(seen, [2500, 2500])

    def test_settings_validation_runs_over_a_python_transport(self):
        cases = [  # runtime type, host, the connection test's answers by path
            ("RADARR", "radarr.lan:7878", {"/api/v3/rootfolder": fixtures.ROOTFOLDER,
                                           "/api/v3/qualityprofile": fixtures.PROFILES}),
            ("PROWLARR", "prowlarr.lan:9696", {"/api/v1/indexer": fixtures.PROWLARR_INDEXERS,
                                               "/api/v1/indexerstatus": fixtures.PROWLARR_STATUS}),
        ]
        for runtime_type, host, answers in cases:
            with self.subTest(runtime_type):
                t = Recorder({f"http://{host}{path}?apikey=k": (200, body) for path, body in answers.items()})
                name, port = host.split(":")
                settings = {"Host": name, "APIKey": "k", "UseHttps": "false", "Port": port, "ID": "1"}
                v = kova.validate_settings(runtime_type, settings, t)
                self.assertTrue(v.ok, v)
                self.assertEqual(v.answer, {"RuntimeType": runtime_type, "URL": f"http://{host}"})
        with self.assertRaises(ValueError):
            kova.validate_settings("PLEX", settings, t)


if __name__ == "__main__":
    unittest.main()
