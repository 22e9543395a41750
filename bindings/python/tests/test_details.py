"""Release details: what Sonarr and Radarr say about a release beyond the row fields."""
import unittest

from fixtures import kova, program_all, start
import fixtures

# One release of each shape the services send, and one that says nothing.
RELEASES = """[
 {"title":"v4","guid":"g1","indexerId":2,"protocol":"torrent","customFormatScore":35,
  "quality":{"quality":{"name":"WEBDL-1080p","resolution":1080},"revision":{"version":2}},
  "approved":false,"rejections":["Not an upgrade",{"reason":"permanent","message":"Blocklisted"}],
  "languages":[{"id":1,"name":"English"},{"id":2,"name":"French"}]},
 {"title":"v3","guid":"g2","indexerId":"4","protocol":1,"approved":true,"rejections":[],
  "quality":{"quality":{"name":"HDTV-720p","resolution":"720"}},"language":{"id":1,"name":"English"}},
 {"title":"bare","guid":"g3"}]"""


def details(row):
    return tuple(getattr(row, f.name) for f in fixtures.release_fields(details=True))


class Details(unittest.TestCase):
    def setUp(self):
        start()
        program_all()

    def test_each_shape_reads_into_the_releases_details(self):
        cases = [  # quality, resolution, approved, rejections, languages, score, protocol, indexer
            ("WEBDL-1080p", 1080, False, ("Not an upgrade", "Blocklisted"), "English, French", 35, "torrent", 2),
            ("HDTV-720p", 720, True, (), "English", 0, "usenet", 4),
            (None, None, None, (), None, 0, None, None),
        ]
        for row, want in zip(kova.parse_arr_releases(RELEASES), cases):
            with self.subTest(row.title):
                self.assertEqual(details(row), want)
        jackett = kova.jackett_search_imdb("tt0063350")[0]
        self.assertEqual(details(jackett), (None, None, None, (), None, 0, "torrent", None))

    def test_a_member_by_path_reads_only_while_its_set_is_current(self):
        first = kova.parse_arr_releases(RELEASES)[0]
        cases = [  # path, text
            ("quality.revision.version", "2"), ("LANGUAGES.1.name", "French"),
            ("rejections.1.reason", "permanent"), ("quality", None), ("quality.nope", None), ("", None),
        ]
        for path, text in cases:
            with self.subTest(path):
                self.assertEqual(first.get(path), text)
        kova.radarr_releases(31)
        with self.assertRaises(RuntimeError):
            first.get("title")


if __name__ == "__main__":
    unittest.main()
