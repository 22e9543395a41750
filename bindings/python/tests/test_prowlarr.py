"""Prowlarr on the fake transport, with Prowlarr's recorded answers: its
indexers and their status, the staged search under each type, host answers
and the grab."""
import json
import unittest

from fixtures import (HOSTS, KEYS, PROWLARR_INDEXERS, PROWLARR_SEARCH, PROWLARR_STATUS, kova, recorded,
                      start, url)

RELEASES = json.loads(PROWLARR_SEARCH)
TITLES = [r["title"] for r in RELEASES]
TOKEN = "query=%7BImdbId%3Att0464196%7D"  # {ImdbId:tt0464196}
BY_ID = TOKEN + "&type=movie"
HELD_BACK = ("held back after failures since 2026-07-27T06:52:06Z "
             "until 2999-01-01T00:00:00Z")


def search_url(query):
    return url("prowlarr", "/api/v1/search", query)


def status_until(when):
    """The recorded status with its held-back indexer (LimeTorrents, id 3)
    held back until ``when``, so that the test does not hang on the clock."""
    entries = json.loads(PROWLARR_STATUS)
    entries[0]["disabledTill"] = when
    return json.dumps(entries)


def indexers_where(keep):
    """The recorded indexer list, with the indexers ``keep`` says are enabled."""
    return json.dumps([dict(i, enable=keep(i)) for i in json.loads(PROWLARR_INDEXERS)])


class Prowlarr(unittest.TestCase):
    def setUp(self):
        start()
        kova.fake_set(url("prowlarr", "/api/v1/indexer"), 200, PROWLARR_INDEXERS)
        kova.fake_set(url("prowlarr", "/api/v1/indexerstatus"), 200, status_until("2000-01-01T00:00:00Z"))

    def test_the_service_is_configured_like_the_others(self):
        self.assertEqual((kova.base_url("prowlarr"), kova.default_port(kova.Service.PROWLARR)),
                         ("http://prowlarr.lan:9696", 9696))
        kova.configure_url("prowlarr", "https://media.lan/prowlarr/", "k")
        self.assertEqual(kova.base_url(kova.Service.PROWLARR), "https://media.lan:443/prowlarr")

    def test_each_stage_asks_what_its_arguments_and_type_say(self):
        cases = [  # name, arguments, answers by query, stage, titles, warnings
            ("films by id", dict(imdb_id="tt0464196", type=kova.SEARCH_MOVIE),
             {BY_ID: PROWLARR_SEARCH}, kova.STAGE_IMDB, TITLES, ()),
            ("an episode by id", dict(imdb_id="464196", type=kova.SEARCH_TV, season=1, episode=2),
             {TOKEN + "%7BSeason%3A1%7D%7BEpisode%3A2%7D&type=tvsearch": PROWLARR_SEARCH},
             kova.STAGE_IMDB, TITLES, ()),
            ("anything by id: both types, their rows together", dict(imdb_id="tt0464196"),
             {BY_ID: PROWLARR_SEARCH, TOKEN + "&type=tvsearch": PROWLARR_SEARCH},
             kova.STAGE_IMDB, TITLES + TITLES, ()),
            ("the title, rows of other ids dropped",
             dict(imdb_id="tt0464196", title="Severance", query="sev", type=kova.SEARCH_MOVIE),
             {BY_ID: "[]", "query=Severance&type=movie": PROWLARR_SEARCH}, kova.STAGE_TITLE,
             TITLES[:1], ("Prowlarr: 2 rows of other IMDb ids dropped",)),
            ("the query alone, free text", dict(query="Severance 2006"),
             {"query=Severance%202006&type=search": PROWLARR_SEARCH}, kova.STAGE_QUERY, TITLES, ()),
        ]
        for name, args, answers, stage, titles, warnings in cases:
            with self.subTest(name):
                self.setUp()
                for query, body in answers.items():
                    kova.fake_set(search_url(query), 200, body)
                rows = kova.prowlarr_search(**args)
                self.assertEqual((rows.rc, rows.stage, [r.title for r in rows], rows.warnings),
                                 (kova.OK, stage, titles, warnings))
                self.assertEqual([kova.fake_calls(search_url(q)) for q in answers], [1] * len(answers))
                self.assertEqual(rows.test_log[-1].key, "ProwlarrV1_Indexer_Status")

    def test_rows_read_prowlarrs_members(self):
        kova.fake_set(search_url(BY_ID), 200, PROWLARR_SEARCH)
        rows = kova.prowlarr_search("tt0464196", type=kova.SEARCH_MOVIE)
        film, raw = rows[0], RELEASES[0]
        self.assertEqual((film.tracker, film.tracker_id, film.indexer_id, film.protocol),
                         ("YTS", "4", 4, "torrent"))
        self.assertEqual((film.size, film.seeders, film.peers, film.files),
                         (raw["size"], raw["seeders"], raw["seeders"] + raw["leechers"], None))
        # Categories by id, the description from their names; the
        # tracker's own category (100045) has no name.
        self.assertEqual((film.category, film.category_desc), ((2040, 100045), "Movies/HD"))
        self.assertEqual((film.imdb, film.tmdb, film.season, film.full_season), (464196, None, None, False))
        self.assertTrue(film.freeleech)  # indexerFlags ["freeleech"]
        self.assertIsNone(film.quality)  # Sonarr's and Radarr's details only
        self.assertEqual(rows.to_dict()["results"][0]["peers"], film.peers)
        self.assertEqual([(i.name, i.results, i.failed) for i in rows.indexers],
                         [("LimeTorrents", 0, False), ("Nyaa.si", 0, False), ("RuTor", 0, False),
                          ("The Pirate Bay", 2, False), ("YTS", 1, False)])

    def test_indexers_held_back_make_a_search_partial_or_failed(self):
        kova.fake_set(url("prowlarr", "/api/v1/indexerstatus"), 200, status_until("2999-01-01T00:00:00Z"))
        kova.fake_set(search_url(BY_ID), 200, PROWLARR_SEARCH)
        rows = kova.prowlarr_search("tt0464196", type=kova.SEARCH_MOVIE)
        self.assertTrue(rows.partial)
        self.assertEqual(rows.message, "Prowlarr: 1 of 5 indexers failed; 3 results from the rest")
        self.assertEqual([(i.name, i.error) for i in rows.indexers if i.failed], [("LimeTorrents", HELD_BACK)])
        self.assertEqual(rows.indexers_errored, 1)

        kova.fake_set(url("prowlarr", "/api/v1/indexer"), 200, indexers_where(lambda i: i["id"] == 3))
        kova.fake_set(search_url(BY_ID), 200, "[]")
        with self.assertRaises(kova.IndexersFailed) as caught:
            kova.prowlarr_search("tt0464196", type=kova.SEARCH_MOVIE)
        self.assertEqual(caught.exception.message, "Prowlarr: all 1 indexers failed; nothing was searched")

    def test_a_status_that_cannot_be_read_leaves_the_searchs_result(self):
        kova.fake_set(url("prowlarr", "/api/v1/indexerstatus"), 500, '{"message":"boom"}')
        kova.fake_set(search_url(BY_ID), 200, PROWLARR_SEARCH)
        rows = kova.prowlarr_search("tt0464196", type=kova.SEARCH_MOVIE)
        self.assertEqual((rows.rc, len(rows), rows.indexers), (kova.OK, 3, ()))
        self.assertEqual(rows.warnings, ("Prowlarr: the indexers' status is unknown "
                                         "(Prowlarr indexer status: HTTP 500)",))

    def test_the_connection_test_lists_the_enabled_indexers_and_who_is_held_back(self):
        kova.fake_set(url("prowlarr", "/api/v1/indexerstatus"), 200, status_until("2999-01-01T00:00:00Z"))
        report = kova.connection_test("prowlarr")
        self.assertEqual(report.rc, kova.OK)  # a test lists; it does not judge
        self.assertEqual([(i.id, i.name, i.failed, i.error) for i in report.indexers[:2]],
                         [("3", "LimeTorrents", True, HELD_BACK), ("6", "Nyaa.si", False, None)])
        self.assertEqual([e.key for e in report], ["ProwlarrV1_Test_Indexers", "ProwlarrV1_Indexers"])
        self.assertEqual(report[1].text, "indexers: LimeTorrents (held back), Nyaa.si, RuTor, "
                                         "The Pirate Bay, YTS")

        kova.fake_set(url("prowlarr", "/api/v1/indexer"), 200, indexers_where(lambda i: False))
        with self.assertRaises(kova.Empty) as caught:
            kova.connection_test(kova.Service.PROWLARR)
        self.assertEqual(caught.exception.message, "Prowlarr: no indexer is enabled")

    def test_host_answers_parse_like_a_search_without_indexers(self):
        rows = kova.parse_prowlarr(PROWLARR_SEARCH)
        self.assertEqual(([r.title for r in rows], rows.stage, rows.indexers), (TITLES, kova.STAGE_NONE, ()))
        empty = kova.parse_prowlarr("[]")
        self.assertEqual((len(empty), empty.message), (0, "Prowlarr: no results"))
        with self.assertRaises(kova.JsonError) as caught:
            kova.parse_prowlarr(recorded("prowlarr/system-status-2.6.5-linuxserver.json"))
        self.assertEqual(caught.exception.message, "Prowlarr: response is object, not an array")

    def test_arguments_are_refused_before_anything_is_sent(self):
        cases = [  # arguments, message
            (dict(imdb_id="tt0464196", type=3), "Prowlarr search: unknown type 3"),
            (dict(title="Severance"), "Prowlarr search: no IMDb id and no query"),
            (dict(imdb_id="tt0464196", type=kova.SEARCH_TV, episode=-1), "Prowlarr search: invalid season/episode"),
        ]
        for args, message in cases:
            with self.subTest(message):
                with self.assertRaises(kova.InvalidArgument) as caught:
                    kova.prowlarr_search(**args)
                self.assertEqual(caught.exception.message, message)
        self.assertEqual(kova.fake_calls(), 0)

    def test_a_grab_sends_a_listed_release_back_to_prowlarr(self):
        kova.fake_set(search_url(BY_ID), 200, PROWLARR_SEARCH)
        rows = kova.prowlarr_search("tt0464196", type=kova.SEARCH_MOVIE)
        grab = url("prowlarr", "/api/v1/search")
        with self.assertRaises(kova.NotArmed):
            kova.prowlarr_grab_release(0)
        cases = [  # status, class (None: sent), message
            (200, None, ""),
            (404, kova.NotFound, "Prowlarr grab: Prowlarr no longer knows release 0: search again"),
            (409, kova.HttpError, "Prowlarr grab: the indexer failed to deliver release 0 (HTTP 409)"),
        ]
        with kova.arm_library_writes():
            for status, cls, message in cases:
                with self.subTest(status):
                    kova.fake_set(grab, status, "{}")
                    if cls is None:
                        kova.prowlarr_grab_release(0)
                    else:
                        with self.assertRaises(cls) as caught:
                            kova.prowlarr_grab_release(0)
                        self.assertEqual(caught.exception.message, message)
                    self.assertEqual(kova.fake_last_post_url(), grab)
                    self.assertEqual(json.loads(kova.fake_last_post_body()),
                                     {"guid": rows[0].guid, "indexerId": rows[0].indexer_id})
            # Only a search's rows: a parsed answer is not Prowlarr's to grab.
            kova.parse_prowlarr(PROWLARR_SEARCH)
            with self.assertRaises(kova.InvalidArgument) as caught:
                kova.prowlarr_grab_release(0)
        self.assertEqual(caught.exception.message,
                         "Prowlarr grab: the current results are not from a Prowlarr search")


    def test_prowlarr_test_and_prowlarr_grab_are_its_test_and_its_grab(self):
        reports = [kova.connection_test("prowlarr"), kova.prowlarr_test()]
        with kova.Session() as s:
            s.use_fake()
            s.configure("prowlarr", HOSTS["prowlarr"], api_key=KEYS["prowlarr"])
            reports.append(s.prowlarr_test())
        first, *others = [(r.rc, tuple(r), r.indexers) for r in reports]
        self.assertEqual(others, [first, first])
        kova.fake_set(search_url(BY_ID), 200, PROWLARR_SEARCH)
        rows = kova.prowlarr_search("tt0464196", type=kova.SEARCH_MOVIE)
        kova.fake_set(url("prowlarr", "/api/v1/search"), 200, "{}")
        with self.assertRaises(kova.NotArmed):
            kova.prowlarr_grab(1)
        with kova.arm_library_writes():
            kova.prowlarr_grab(1)
        self.assertEqual(json.loads(kova.fake_last_post_body()),
                         {"guid": rows[1].guid, "indexerId": rows[1].indexer_id})

if __name__ == "__main__":
    unittest.main()
