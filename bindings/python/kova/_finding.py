"""Where libkova is looked for: ``KOVA_LIBRARY``, a checkout's build tree,
the loader's own search, pkg-config's prefix and the usual directories, and
the error that names every place tried."""
from __future__ import annotations

import ctypes.util
import os
import shutil
import subprocess
import sys
import sysconfig
from pathlib import Path
from typing import Iterator, List, Optional, Sequence, Tuple

__all__ = ["LibraryNotFoundError", "candidates", "find_library_candidates"]


class LibraryNotFoundError(OSError):
    """No libkova could be loaded; ``tried`` lists each place and why it failed."""

    def __init__(self, tried: Sequence[Tuple[str, str]]):
        self.tried = list(tried)
        lines = "\n".join(f"  {where}: {why}" for where, why in self.tried)
        super().__init__("kova: cannot load libkova; tried:\n" + lines +
                         "\nSet KOVA_LIBRARY to the library's path (libkova.so.1 or kova.dll).")


_WINDOWS = sys.platform == "win32" or sys.platform == "cygwin"
_SYSTEM_NAME = "kova.dll" if _WINDOWS else "libkova.so.1"
# Build directories of a checkout that hold a library loadable by a plain
# interpreter (the sanitizer builds need their runtime preloaded, so they are
# left out).
_BUILD_DIRS = ("build/windows",) if _WINDOWS else ("build/dev", "build/release")


def _checkout_root() -> Optional[Path]:
    # bindings/python/kova/_finding.py -> the checkout's root, recognised by
    # its public header.
    root = Path(__file__).resolve().parents[3]
    return root if (root / "include" / "kova.h").is_file() else None


def _pkg_config_libdir() -> Optional[str]:
    """The libdir of the kova.pc that pkg-config finds (``make install``
    writes one naming the prefix installed to), None without either."""
    exe = shutil.which("pkg-config")
    if exe is None:
        return None
    try:
        out = subprocess.run([exe, "--variable=libdir", "kova"], capture_output=True, text=True,
                             timeout=10)
    except (OSError, subprocess.SubprocessError):
        return None
    libdir = out.stdout.strip()
    return libdir if out.returncode == 0 and libdir else None


def _usual_dirs() -> List[str]:
    """Where installs put libraries when the loader has not been told
    (``ldconfig`` not run, a prefix outside its configuration): this
    interpreter's prefix, then /usr/local and /usr, each with the platform's
    multiarch and lib64 variants."""
    multiarch = sysconfig.get_config_var("MULTIARCH") or ""
    out: List[str] = []
    for prefix in dict.fromkeys((sys.prefix, "/usr/local", "/usr")):
        for lib in ("lib/" + multiarch if multiarch else "", "lib64", "lib"):
            if lib:
                out.append(os.path.join(prefix, lib))
    return out


def candidates() -> Iterator[Tuple[str, str]]:
    env = os.environ.get("KOVA_LIBRARY")
    if env:
        # An explicit choice: falling back to another library would hide
        # that the one asked for does not load.
        yield ("KOVA_LIBRARY", env)
        return
    root = _checkout_root()
    if root is not None:
        for d in _BUILD_DIRS:
            yield ("build tree", str(root / d / _SYSTEM_NAME))
    # What a C host linked with -lkova loads: the loader's own search
    # (LD_LIBRARY_PATH, its cache; PATH and the system directories on Windows).
    yield ("system search", _SYSTEM_NAME)
    found = ctypes.util.find_library("kova")
    if found and found != _SYSTEM_NAME:
        yield ("find_library", found)
    if _WINDOWS:
        return
    # Installed where the loader does not look: the prefix pkg-config knows,
    # then the usual directories.
    libdir = _pkg_config_libdir()
    if libdir:
        yield ("pkg-config", os.path.join(libdir, _SYSTEM_NAME))
    for d in _usual_dirs():
        yield ("usual directory", os.path.join(d, _SYSTEM_NAME))


def find_library_candidates() -> List[Tuple[str, str]]:
    """The places tried, in order, as (kind, path-or-name) pairs:
    ``KOVA_LIBRARY`` alone when it is set; otherwise the build tree of a
    checkout, the system's search by name, ``ctypes.util.find_library``,
    the libdir of pkg-config's kova.pc, then the usual library directories."""
    return list(candidates())
