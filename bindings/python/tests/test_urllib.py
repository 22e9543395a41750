"""UrllibTransport against a loopback HTTP server: statuses, time-outs, and
what a reverse proxy asks for (extra headers, basic authentication, the API
key in a header), and a rate limit's reason reaching the library."""
import base64
import email.utils
import http.server
import threading
import time
import unittest

from fixtures import KEYS, kova, start
import fixtures

SECRET = "s3cr3t-value"


class _Handler(http.server.BaseHTTPRequestHandler):
    """Answers from the server's ``routes`` (path and query -> status, body,
    headers), after its ``delays``; records every request in ``seen``."""

    def do_GET(self):
        self.answer()

    do_POST = do_GET

    def answer(self):
        srv = self.server
        body = self.rfile.read(int(self.headers.get("Content-Length") or 0))
        srv.seen.append((self.command, self.path, self.headers, body))
        status, out, headers = srv.routes.get(self.path, (404, b"not here", {}))
        time.sleep(srv.delays.get(self.path, 0))
        try:
            self.send_response(status)
            for name, value in dict(headers, **{"Content-Length": str(len(out))}).items():
                self.send_header(name, value)
            self.end_headers()
            self.wfile.write(out)
        except ConnectionError:
            pass  # a client that stopped waiting

    def log_message(self, *args):
        pass


class Urllib(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), _Handler)
        cls.port = cls.server.server_address[1]
        threading.Thread(target=cls.server.serve_forever, daemon=True).start()

    @classmethod
    def tearDownClass(cls):
        cls.server.shutdown()
        cls.server.server_close()

    def setUp(self):
        start()
        self.server.routes, self.server.delays, self.server.seen = {}, {}, []
        for service in ("jackett", "radarr", "prowlarr"):
            kova.configure(service, "127.0.0.1", port=self.port, api_key=KEYS[service])
        self.use()

    def tearDown(self):
        kova.use_transport(None)

    def use(self, **options):
        t = kova.UrllibTransport(**options)
        kova.use_transport(t)
        return t

    def route(self, path, status, body, **headers):
        self.server.routes[path] = (status, body.encode(), headers)

    def route_radarr(self, query=f"?apikey={KEYS['radarr']}", base=""):
        """Radarr's answers to a connection test."""
        self.route(f"{base}/api/v3/rootfolder{query}", 200, fixtures.ROOTFOLDER)
        self.route(f"{base}/api/v3/qualityprofile{query}", 200, fixtures.PROFILES)

    def test_statuses_are_answers_and_redirects_are_not_followed(self):
        self.route_radarr()
        self.assertEqual(kova.connection_test("radarr").rootfolder, "/data/tv")
        cases = [(401, kova.AuthError), (500, kova.HttpError), (302, kova.HttpError)]
        for status, cls in cases:
            with self.subTest(status):
                self.route(f"/api/v3/rootfolder?apikey={KEYS['radarr']}", status, "",
                           Location="http://elsewhere.invalid/")
                with self.assertRaises(cls) as caught:
                    kova.connection_test("radarr")
                self.assertEqual(caught.exception.http_code, status)

    def test_an_answer_later_than_the_time_out_is_a_timeout_error(self):
        self.route_radarr()
        self.server.delays[f"/api/v3/rootfolder?apikey={KEYS['radarr']}"] = 0.5
        self.use(timeout=0.1)
        with self.assertRaises(kova.TransportTimeout) as caught:
            kova.connection_test("radarr")
        self.assertIsInstance(caught.exception, TimeoutError)
        self.assertNotIn(KEYS["radarr"], str(caught.exception))

    def test_a_refused_connection_is_a_transport_error_without_the_key(self):
        kova.configure("radarr", "127.0.0.1", port=1, api_key=KEYS["radarr"])
        with self.assertRaises(kova.TransportError) as caught:
            kova.connection_test("radarr")
        self.assertNotIn(KEYS["radarr"], str(caught.exception.__cause__))

    def test_extra_headers_go_with_every_request(self):
        self.route_radarr()
        self.route("/api/v3/movie", 201, "{}")
        t = self.use(headers={"X-Forwarded-User": "kodi", "CF-Access-Client-Secret": SECRET,
                              "X-Spaced": " \tinner  space \t"})
        kova.connection_test("radarr")
        t.post(f"http://127.0.0.1:{self.port}/api/v3/movie", "{}", "application/json")
        self.assertEqual([(m, h["X-Forwarded-User"], h["CF-Access-Client-Secret"], h["X-Spaced"], h["Content-Type"])
                          for m, _, h, _ in self.server.seen],
                         [("GET", "kodi", SECRET, "inner  space", None), ("GET", "kodi", SECRET, "inner  space", None),
                          ("POST", "kodi", SECRET, "inner  space", "application/json")])

    def test_headers_that_could_break_or_double_a_request_are_refused_without_their_value(self):
        own = "a header the transport writes itself"
        cases = [  # headers, other options, what the message says (the C transports' words)
            ({"X-A": SECRET + "\r\nInjected: 1"}, {}, "headers[0] (X-A: <redacted>): the value holds a line break"),
            ({"X-A": SECRET + "\0"}, {}, "(X-A: <redacted>): the value holds a control character"),
            ({"X-A": SECRET + "\x7f"}, {}, "(X-A: <redacted>): the value holds a control character"),
            ({"X-A\n": SECRET}, {}, "headers[0]: the name holds a line break (CR or LF)"),
            ({"": SECRET}, {}, "headers[0]: the name is empty"),
            ({"X-B": "1", "X A": SECRET}, {}, "headers[1]: the name holds a character other than letters"),
            ({"X-A": SECRET + "\u00e9"}, {}, "(X-A: <redacted>): the value holds a byte beyond ASCII"),
            ({"X-A": SECRET + "\u20ac"}, {}, "(X-A: <redacted>): the value holds a byte beyond ASCII"),
            ({"X-A": SECRET + "x" * 8192}, {}, "headers[0]: longer than 8192 bytes"),
            ({f"X-{i}": SECRET for i in range(65)}, {}, "headers: more than 64 lines"),
            ({"x-a": SECRET, "X-A": SECRET}, {}, "headers[1] (X-A: <redacted>): given twice"),
            ({"Host": SECRET}, {}, f"headers[0] (Host: <redacted>): {own}"),
            ({"content-length": SECRET}, {}, f"(content-length: <redacted>): {own}"),
            ({"TRANSFER-ENCODING": SECRET}, {}, f"(TRANSFER-ENCODING: <redacted>): {own}"),
            ({"Connection": SECRET}, {}, f"(Connection: <redacted>): {own}"),
            ({"Expect": SECRET}, {}, f"(Expect: <redacted>): {own}"),
            ({"te": SECRET}, {}, f"(te: <redacted>): {own}"),
            ({"Upgrade": SECRET}, {}, f"(Upgrade: <redacted>): {own}"),
            ({"Accept": SECRET}, {}, f"(Accept: <redacted>): {own}"),
            ({"Accept-Encoding": SECRET}, {}, f"(Accept-Encoding: <redacted>): {own}"),
            ({"Content-Type": SECRET}, {}, f"(Content-Type: <redacted>): {own}"),
            ({"User-Agent": SECRET}, {}, f"{own} (set user_agent instead)"),
            ({"Authorization": SECRET}, {"username": "u", "password": "p"},
             "headers: Authorization: <redacted> is set by the username and password options"),
            ({"X-Api-Key": SECRET}, {"key_in_header": True}, "headers: X-Api-Key: <redacted> is set by key_in_header"),
        ]
        for headers, options, said in cases:
            with self.subTest(said):
                with self.assertRaises(ValueError) as caught:
                    kova.UrllibTransport(headers=headers, **options)
                self.assertIn(said, str(caught.exception))
                self.assertNotIn(SECRET, str(caught.exception))
        # Without basic authentication or the key in a header, those are the caller's.
        kova.UrllibTransport(headers={"Authorization": "Bearer t", "X-Api-Key": "k"})

    def test_basic_authentication_goes_with_every_request_and_never_in_clear_text_unasked(self):
        self.route_radarr()
        credentials = dict(username="kodi", password=SECRET)
        self.use(**credentials)
        with self.assertRaises(kova.TransportError) as caught:
            kova.connection_test("radarr")
        said = caught.exception.transport_error
        self.assertIn("the password would travel in clear text", said)
        self.assertEqual((self.server.seen, SECRET in str(caught.exception), "kodi" in said), ([], False, False))
        # Over https it is not refused: here the handshake with a plain HTTP server fails instead.
        with self.assertRaises(OSError) as caught:
            kova.UrllibTransport(**credentials).get(f"https://127.0.0.1:{self.port}/")
        self.assertNotIn("clear text", str(caught.exception))

        self.use(allow_basic_over_http=True, **credentials)
        kova.connection_test("radarr")
        sent = "Basic " + base64.b64encode(f"kodi:{SECRET}".encode()).decode()
        self.assertEqual([h["Authorization"] for _, _, h, _ in self.server.seen], [sent, sent])

        # A username alone goes with an empty password; "" is none.
        for options, user in [(dict(username="kodi"), "kodi:"), (dict(username="kodi", password=""), "kodi:"),
                              (dict(username="", password=""), None)]:
            with self.subTest(options):
                self.server.seen.clear()
                self.use(allow_basic_over_http=True, **options)
                kova.connection_test("radarr")
                sent = user and "Basic " + base64.b64encode(user.encode()).decode()
                self.assertEqual([h["Authorization"] for _, _, h, _ in self.server.seen], [sent, sent])

        for options, said in [
                (dict(username="ko:di", password=SECRET), "the username holds a colon, which basic authentication"),
                (dict(password=SECRET), "a password without a username"),
                (dict(username="", password=SECRET), "a password without a username"),
                (dict(username="kodi", password=SECRET + "\n"), "a user name or password holds a control character"),
                (dict(username="ko\x7fdi"), "a user name or password holds a control character")]:
            with self.subTest(said):
                with self.assertRaises(ValueError) as caught:
                    kova.UrllibTransport(**options)
                self.assertIn(said, str(caught.exception))
                self.assertNotIn(SECRET, str(caught.exception))

    def test_the_key_in_a_header_for_sonarr_radarr_and_prowlarr_paths_only(self):
        key = "a+b/c=d&~"  # the library sends it percent-encoded
        kova.configure("radarr", "127.0.0.1", port=self.port, api_key=key)
        kova.set_url_base("radarr", "/radarr")
        self.route_radarr(query="", base="/radarr")
        self.route("/api/v1/indexer", 200, fixtures.PROWLARR_INDEXERS)
        self.route("/api/v1/indexerstatus", 200, fixtures.PROWLARR_STATUS)
        torznab = f"/api/v2.0/indexers/all/results/torznab/api?apikey={KEYS['jackett']}&t=indexers&configured=true"
        self.route(torznab, 200, fixtures.TORZNAB)
        self.use(key_in_header=True)
        for service in ("radarr", "prowlarr", "jackett"):
            kova.connection_test(service)
        self.assertEqual([(path, h["X-Api-Key"]) for _, path, h, _ in self.server.seen], [
            ("/radarr/api/v3/rootfolder", key), ("/radarr/api/v3/qualityprofile", key),
            ("/api/v1/indexer", KEYS["prowlarr"]), ("/api/v1/indexerstatus", KEYS["prowlarr"]),
            (torznab, None)])

    def test_the_first_api_segment_decides_and_a_key_a_header_cannot_carry_is_refused(self):
        t = self.use(key_in_header=True)
        url = f"http://127.0.0.1:{self.port}"
        cases = [  # path and query asked, path and query sent, X-Api-Key sent
            ("/api/v3/x?apikey=k1&a=1", "/api/v3/x?a=1", "k1"),
            ("/base/api/v1/x?APIKEY=k%2B2", "/base/api/v1/x", "k+2"),
            ("/api/v2.0/x/api/v3/y?apikey=k3", "/api/v2.0/x/api/v3/y?apikey=k3", None),
            ("/api/v3/x/api/v2.0/y?apikey=k4", "/api/v3/x/api/v2.0/y", "k4"),
            ("/api/v3/x?apikey&apikey=k5", "/api/v3/x?apikey", "k5"),  # no "=": another parameter
            ("/api/v3/x?apikey=&a=1", "/api/v3/x?a=1", None),  # an empty key goes nowhere
        ]
        for asked, path, key in cases:
            with self.subTest(asked):
                self.server.seen.clear()
                self.assertEqual(t.get(url + asked)[0], 404)
                self.assertEqual([(p, h["X-Api-Key"]) for _, p, h, _ in self.server.seen], [(path, key)])
        self.server.seen.clear()
        for bad in ("k%20y", "k%C3%A9y", "k%0D%0AX-Forged:%201", "k%7Fy", "k%00y"):
            with self.subTest(bad):
                with self.assertRaises(ValueError) as caught:
                    t.get(f"{url}/api/v3/x?apikey={bad}")
                self.assertIn("the API key holds a character a header cannot carry (a control character, a space "
                              "or a byte beyond ASCII); nothing was sent", str(caught.exception))
        self.assertEqual(self.server.seen, [])

    def test_a_rate_limit_is_an_answer_whose_reason_reaches_the_error(self):
        later = email.utils.formatdate(time.time() + 120, usegmt=True)
        cases = [  # Retry-After, the reason
            ({"Retry-After": "30"}, r"rate limited, retry after 30 s"),
            ({"Retry-After": later}, r"rate limited, retry after 1(19|20) s"),
            ({"Retry-After": "soon"}, r"rate limited\Z"),
            ({}, r"rate limited\Z"),
        ]
        path = f"/api/v3/rootfolder?apikey={KEYS['radarr']}"
        for headers, said in cases:
            with self.subTest(headers):
                self.server.seen.clear()
                self.route(path, 429, '{"message":"too many requests"}', **headers)
                with self.assertRaises(kova.HttpError) as caught:
                    kova.connection_test("radarr")
                self.assertEqual((caught.exception.http_code, len(self.server.seen)), (429, 1))
                self.assertRegex(caught.exception.transport_error, said)
                self.assertIn(caught.exception.transport_error, str(caught.exception))

    def test_a_401_that_asks_for_basic_credentials_says_so(self):
        asks = "the server asks for basic authentication"
        cases = [  # WWW-Authenticate, the reason (None: none)
            ('Basic realm="media"', asks + ' (realm "media")'),
            ('Negotiate, basic Realm=proxy, charset="UTF-8"', asks + ' (realm "proxy")'),
            ("Basic", asks),
            ('Basic realm="M\u00e9dia"', asks),  # beyond ASCII: no realm shown
            ('Basic realm="%s"' % ("r" * 65), asks),
            ('Digest realm="a, Basic b", nonce="1"', None),
            ('Bearer realm="api"', None),
            (None, None),  # the service's own 401 asks for nothing
        ]
        path = f"/api/v3/rootfolder?apikey={KEYS['radarr']}"
        for challenge, said in cases:
            with self.subTest(challenge):
                self.route(path, 401, "", **({"WWW-Authenticate": challenge} if challenge else {}))
                with self.assertRaises(kova.AuthError) as caught:
                    kova.connection_test("radarr")
                self.assertEqual(caught.exception.transport_error, said)


if __name__ == "__main__":
    unittest.main()
