"""The manual's complete example (docs/python.md) runs as written."""
import os
import re
import subprocess
import sys
import unittest

from fixtures import PACKAGE_DIR, kova


class Readme(unittest.TestCase):
    def test_the_complete_example_runs(self):
        text = (PACKAGE_DIR.parent.parent / "docs" / "python.md").read_text(encoding="utf-8")
        section = text.split("## A complete example", 1)[1]
        code = re.search(r"```python\n(.*?)```", section, re.DOTALL).group(1)
        env = dict(os.environ, PYTHONPATH=str(PACKAGE_DIR), KOVA_LIBRARY=kova.library_path())
        out = subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, text=True)
        self.assertEqual(out.returncode, 0, out.stderr)
        self.assertIn("Night of the Living Dead 1968 1080p  8.0 GiB  212 seeders  2023-10-28  freeleech",
                      out.stdout)
        self.assertIn("partial:", out.stdout)


if __name__ == "__main__":
    unittest.main()
