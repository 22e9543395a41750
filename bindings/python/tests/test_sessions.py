"""Sessions: contexts of their own, bound for each call, side by side on threads."""
import contextlib
import gc
import threading
import unittest

from fixtures import KEYS, kova, start
import fixtures
from kova import _native

SEASON = "seriesId=12&seasonNumber=1"
# A Sonarr's or Radarr's answers to a connection test, by the path's last part.
SETTINGS = {"rootfolder": fixtures.ROOTFOLDER, "qualityprofile": fixtures.PROFILES}


def settings_answer(url):
    return 200, SETTINGS[url.split("?")[0].rsplit("/", 1)[1]]


def sonarr_session(host):
    """A session on the fake transport whose Sonarr is ``host``; the fake's
    routes are the whole process's, so each host answers with its own name."""
    s = kova.Session()
    s.use_fake()
    s.configure("sonarr", host, api_key=KEYS["sonarr"])
    base = f"{s.base_url('sonarr')}/api/v3/%s?apikey={KEYS['sonarr']}&%s"
    kova.fake_set(base % ("series/lookup", "term=tt0052520"), 200,
                  '[{"title":"%s","tvdbId":73587,"imdbId":"tt0052520"}]' % host)
    kova.fake_set(base % ("release", SEASON), 200, '[{"guid":"%s","title":"%s"}]' % (host, host))
    return s


class SpyLibrary:
    """The loaded library, recording the sessions made and freed; with
    ``no_memory``, kova_session_new fails as it does when memory runs out."""

    def __init__(self, cdll, no_memory=False):
        self.cdll, self.no_memory = cdll, no_memory
        self.made, self.freed = [], []

    def __getattr__(self, name):
        real = getattr(self.cdll, name)
        if name == "kova_session_new":
            return lambda: None if self.no_memory else self.made.append(real()) or self.made[-1]
        if name == "kova_session_free":
            return lambda s: self.freed.append(s) or real(s)
        return real


@contextlib.contextmanager
def spied(no_memory=False):
    current = kova.native()
    spy = SpyLibrary(current.cdll, no_memory)
    _native._native = _native.Native(spy, current.path)
    try:
        yield spy
    finally:
        _native._native = current


class Sessions(unittest.TestCase):
    def setUp(self):
        start()
        kova.reset()  # the default context: nothing configured

    def test_two_sessions_on_two_threads_each_get_their_own_results(self):
        hosts = ("sonarr-a.lan", "sonarr-b.lan")
        sessions = [sonarr_session(h) for h in hosts]
        for s in sessions:
            self.addCleanup(s.close)
        line = threading.Barrier(len(sessions), timeout=10)
        failures, last = [], {}

        def work(s, host):
            try:
                line.wait()
                for _ in range(200):
                    lookup, rows = s.sonarr_lookup("tt0052520"), s.sonarr_releases(12, 1)
                    got = (s.base_url("sonarr"), lookup.matched.title, rows[0].title, rows.field(0, "guid"))
                    if got != (f"http://{host}:8989", host, host, host):
                        failures.append(got)
                        return
                last[host] = rows
            except Exception as e:  # noqa: BLE001 - reported below
                failures.append(e)

        threads = [threading.Thread(target=work, args=(s, h)) for s, h in zip(sessions, hosts)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertEqual(failures, [])
        # A row reads the library in its own session, from any thread.
        self.assertEqual([last[h][0].get("guid") for h in hosts], list(hosts))
        self.assertIsNone(kova.base_url("sonarr"))
        with self.assertRaises(kova.NotConfigured):
            kova.sonarr_lookup("tt0052520")

    def test_calls_on_two_sessions_run_at_the_same_time(self):
        # Each request waits for the other session's: the calls must overlap.
        meet = threading.Barrier(2, timeout=10)

        class Meets:
            def get(self, url):
                meet.wait()
                return settings_answer(url)

            def post(self, url, body, content_type):
                raise AssertionError("no POST expected")

        reports, sessions = [], [kova.Session(), kova.Session()]
        for s in sessions:
            self.addCleanup(s.close)
            s.configure("radarr", fixtures.HOSTS["radarr"], api_key=KEYS["radarr"])
            s.use_transport(Meets())
        threads = [threading.Thread(target=lambda s=s: reports.append(s.connection_test("radarr")))
                   for s in sessions]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertEqual([r.rootfolder for r in reports], ["/data/tv", "/data/tv"])

    def test_the_binding_is_restored_when_a_call_raises_inside_another_sessions_call(self):
        a, b = kova.Session(), kova.Session()
        self.addCleanup(a.close)
        self.addCleanup(b.close)
        raised = []

        class AsksB:
            def get(self, url):
                try:
                    b.sonarr_lookup("tt0052520")  # b has nothing configured
                except kova.NotConfigured as e:
                    raised.append(e)
                return 200, fixtures.SERIES_LOOKUP

            post = get

        a.configure("sonarr", fixtures.HOSTS["sonarr"], api_key=KEYS["sonarr"])
        a.use_transport(AsksB())
        self.assertEqual(a.sonarr_lookup("tt0052520").matched.tvdb, 73587)  # a's, after b raised
        self.assertEqual(len(raised), 1)
        with self.assertRaises(kova.NotConfigured):
            b.sonarr_lookup("tt0052520")
        self.assertIsNone(kova.native().kova_session_current())

    def test_a_session_is_freed_by_its_with_block_or_when_collected_and_then_refuses_calls(self):
        with spied() as spy:
            with kova.Session() as s:
                s.use_fake()
                rows = s.parse_arr_releases(fixtures.EPISODE_RELEASES)
                self.assertEqual(rows.field(0, "indexer"), "1337x")
            dropped = kova.Session()
            del dropped
            gc.collect()
            self.assertEqual(spy.freed, spy.made)
            self.assertEqual(len(spy.made), 2)
        self.assertTrue(s.closed)
        calls = [("a method", lambda: s.base_url("sonarr")), ("a row", lambda: rows[0].get("guid")),
                 ("the set", lambda: rows.field(0, "guid"))]
        for name, call in calls:
            with self.subTest(name):
                with self.assertRaisesRegex(RuntimeError, "closed"):
                    call()
        s.close()  # again: nothing to do

    def test_a_session_cannot_close_itself_inside_its_own_call(self):
        s = kova.Session()
        self.addCleanup(s.close)
        refused = []

        class Closes:
            def get(self, url):
                try:
                    s.close()
                except RuntimeError as e:
                    refused.append(e)
                return settings_answer(url)

            post = get

        s.configure("radarr", fixtures.HOSTS["radarr"], api_key=KEYS["radarr"])
        s.use_transport(Closes())
        self.assertEqual(s.connection_test("radarr").rootfolder, "/data/tv")
        self.assertEqual(len(refused), 2)
        self.assertFalse(s.closed)

    def test_no_memory_for_a_session_is_a_memory_error(self):
        with spied(no_memory=True):
            with self.assertRaises(MemoryError) as caught:
                kova.Session()
        self.assertIsInstance(caught.exception, kova.OutOfMemory)

    def test_writes_armed_in_a_session_are_disarmed_there_on_exit(self):
        with kova.Session() as s, kova.arm_library_writes():
            with s.arm_library_writes():
                self.assertTrue(s.library_writes_armed())
            self.assertEqual((s.library_writes_armed(), kova.library_writes_armed()), (False, True))


if __name__ == "__main__":
    unittest.main()
