"""The table against kova.h, finding the library, and exports a library may lack."""
import dataclasses
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import unittest.mock
from pathlib import Path

from fixtures import PACKAGE_DIR, header_path, kova, program_all, release_fields, start
import fixtures
from kova import _native

DECL = re.compile(r"^KOVA_API\s+(?P<result>[^;(]*?)\s*\b(?P<name>\w+)\s*\((?P<args>[^)]*)\)\s*;",
                  re.MULTILINE)


def c_type(spelling: str) -> str:
    """A parameter's or result's type without its name, spaced as the table spells it."""
    s = re.sub(r"\s+", " ", spelling.strip())
    s = re.sub(r"\s*\*\s*\w*$", " *", s) if "*" in s else re.sub(r"\s+\w+$", "", s) if " " in s else s
    return s


class Table(unittest.TestCase):
    def test_every_header_function_is_in_the_table_with_its_types(self):
        path = header_path()
        if not path.is_file():
            self.skipTest(f"no kova.h at {path} (set KOVA_HEADER)")
        header = {m["name"]: m for m in DECL.finditer(path.read_text())}
        table = {e.name: e for e in _native.EXPORTS}
        self.assertGreaterEqual(len(header), 99)
        self.assertEqual(sorted(set(header) - set(table)), [], "exports missing from the table")
        self.assertEqual(sorted(n for n in set(table) - set(header) if not table[n].optional), [],
                         "table entries kova.h does not declare")
        for name, m in header.items():
            with self.subTest(name):
                args = [c_type(a) for a in m["args"].split(",") if a.strip() != "void"]
                self.assertEqual((c_type(m["result"] + " x"), args),
                                 (table[name].result.c, [a.c for a in table[name].args]))

    def test_release_has_the_library_row_fields_and_details_with_their_kinds(self):
        fields = header_path().parent.parent / "parse" / "row_fields.h"
        if not fields.is_file():
            self.skipTest(f"no library sources beside {header_path()}")
        cases = [  # the binding's declarations, the library's list (KV_ROW_FIELDS, KV_ROW_DETAILS)
            ("row fields", False, r"^\s*X\((\w+), (\w+), "),
            ("release details", True, r"^\s*X\((\w+), (\w+)\)"),
        ]
        for name, details, line in cases:
            with self.subTest(name):
                listed = re.findall(line, fields.read_text(), re.MULTILINE)
                self.assertGreater(len(listed), 0)
                self.assertEqual([(f.metadata.get("accessor", f.name), f.metadata["kind"])
                                  for f in release_fields(details)], listed)

    def test_the_loaded_library_binds_every_required_export(self):
        raw = kova.native()
        for e in _native.EXPORTS:
            self.assertTrue(e.optional or raw.has(e.name), e.name)
            self.assertTrue(callable(getattr(raw, e.name)))


class Lacking:
    """The library as one without the optional functions: an older libkova."""

    def __init__(self, real):
        self.real = real

    def __getattr__(self, name):
        if any(e.optional and e.name == name for e in _native.EXPORTS):
            raise AttributeError(name)
        return getattr(self.real, name)


class Optional_(unittest.TestCase):
    def test_a_missing_optional_export_raises_a_clear_error(self):
        old = kova.native().cdll
        lacking = _native.Native(Lacking(old), "/old/libkova.so.1")
        self.assertFalse(lacking.has("kova_set_url_base"))
        with self.assertRaises(kova.FunctionUnavailableError) as caught:
            lacking.kova_sonarr_grab_release(0)
        self.assertIn("kova_sonarr_grab_release", str(caught.exception))
        self.assertIn("/old/libkova.so.1", str(caught.exception))

    def test_an_older_library_reads_what_it_lacks_as_missing(self):
        current = kova.native()
        _native._native = _native.Native(Lacking(current.cdll), "/old/libkova.so.1")
        try:
            start()
            program_all()
            row = kova.parse_arr_releases(fixtures.EPISODE_RELEASES)[0]
            self.assertEqual(tuple(getattr(row, f.name) for f in release_fields(details=True)),
                             (None, None, None, (), None, 0, None, None))
            self.assertEqual(kova.connection_test("sonarr").root_folders, ())
            kova.fake_fail(fixtures.url("sonarr", "/api/v3/rootfolder"), "refused")
            with self.assertRaises(kova.TransportError) as caught:
                kova.connection_test("sonarr")
            self.assertIsNone(caught.exception.transport_error)
            with self.assertRaises(kova.FunctionUnavailableError):
                kova.Session()
        finally:
            _native._native = current

    def test_the_url_base_reaches_every_request_when_the_library_has_it(self):
        if not kova.native().has("kova_set_url_base"):
            self.skipTest("this libkova has no kova_set_url_base")
        kova.reset()
        kova.configure("sonarr", "proxy.lan", port=80, api_key="k")
        kova.set_url_base("sonarr", "/sonarr/")
        self.assertEqual(kova.base_url("sonarr"), "http://proxy.lan:80/sonarr")
        with self.assertRaises(kova.InvalidArgument):
            kova.set_url_base("sonarr", "/with space")


class Finding(unittest.TestCase):
    def run_outside_checkout(self, env_library, **env_extra):
        """Imports a copy of the package that is not in a checkout, with
        KOVA_LIBRARY set or not, and returns what loading printed."""
        with tempfile.TemporaryDirectory() as tmp:
            shutil.copytree(PACKAGE_DIR / "kova", Path(tmp) / "kova")
            env = {k: v for k, v in os.environ.items()
                   if k not in ("KOVA_LIBRARY", "LD_LIBRARY_PATH", "PKG_CONFIG_PATH")}
            env.update(env_extra)
            if env_library:
                env["KOVA_LIBRARY"] = env_library
            code = "import kova\ntry:\n print(kova.version(), kova.library_path())\nexcept OSError as e:\n print(e)"
            return subprocess.run([sys.executable, "-c", code], cwd=tmp, env=env, capture_output=True,
                                  text=True, check=True).stdout

    def test_kova_library_is_used_alone_and_a_failure_names_what_was_tried(self):
        path = kova.library_path()
        self.assertEqual(self.run_outside_checkout(path).split(), [kova.version(), path])
        out = self.run_outside_checkout("/nonexistent/libkova.so.1")
        self.assertIn("/nonexistent/libkova.so.1", out)
        self.assertIn("KOVA_LIBRARY", out)
        if sys.platform != "win32" and not any(Path(d, "libkova.so.1").exists()
                                               for d in ("/lib", "/usr/lib", "/usr/local/lib")):
            out = self.run_outside_checkout(None)
            self.assertIn("system search", out)
            self.assertIn("libkova.so.1", out)

    def test_a_checkout_searches_its_build_tree_first_then_where_installs_go(self):
        if os.environ.get("KOVA_LIBRARY"):
            self.assertEqual([k for k, _ in _native.find_library_candidates()], ["KOVA_LIBRARY"])
        order = ["build tree", "system search", "find_library", "pkg-config", "usual directory"]
        with unittest.mock.patch.dict(os.environ):
            os.environ.pop("KOVA_LIBRARY", None)
            kinds = list(dict.fromkeys(k for k, _ in _native.find_library_candidates()))
        self.assertEqual(kinds, [k for k in order if k in kinds])
        self.assertEqual((kinds[0], kinds[1], kinds[-1]), ("build tree", "system search", "usual directory"))

    def test_an_installed_library_is_found_through_pkg_config(self):
        build = Path(kova.library_path()).parent
        if sys.platform == "win32" or not all(map(shutil.which, ("cmake", "pkg-config"))) or \
                not (build / "cmake_install.cmake").is_file():
            self.skipTest("needs cmake, pkg-config and the library's build directory")
        if "cannot load" not in self.run_outside_checkout(None):
            self.skipTest("a libkova is installed where the loader looks")
        with tempfile.TemporaryDirectory() as prefix:
            subprocess.run(["cmake", "--install", str(build), "--prefix", prefix], check=True,
                           capture_output=True)
            pc = next(Path(prefix).glob("**/pkgconfig/kova.pc"))
            out = self.run_outside_checkout(None, PKG_CONFIG_PATH=str(pc.parent))
            self.assertEqual(out.split(), [kova.version(), str(pc.parent.parent / "libkova.so.1")])


if __name__ == "__main__":
    unittest.main()
