"""Contexts: the process-wide default one and sessions, each entered per call.

libkova acts, on each call, on the calling thread's binding: the session it
bound last, else the process-wide default context. The binding keeps beside
each context what it needs of its own: a lock (a context is not locked by
the library), the Python transport installed in it, and a count of the
calls that replaced its results (for the rows that read the library later).

Every module function that acts on a context is declared with
``@per_context``: called as ``kova.f(...)`` it enters the context the
calling thread works in (the default one outside a session's method), and
the same function becomes the method ``Session.f``, which enters that
session. Entering a context takes its lock, binds it on the calling thread
and restores the thread's previous binding afterwards, also when the call
raises.
"""
from __future__ import annotations

import functools
import inspect
import threading
import weakref
from typing import Any, Callable, Dict, Optional, TypeVar

from . import _native
from ._errors import OutOfMemory
from ._transport import PythonTransport, retired

__all__ = ["Context", "DEFAULT", "Session", "current", "entered", "per_context", "CALLS"]

F = TypeVar("F", bound=Callable[..., Any])
_retired_lock = threading.Lock()


class Context:
    """What the binding keeps of one library context."""

    def __init__(self, handle: Optional[int], lock: Any):
        self.handle = handle  # the kova_session address; None for the default context
        self.lock = lock
        self.closed = False
        self.transport: Optional[PythonTransport] = None
        self.generation = 0  # bumped by every call that replaces the results
        self.depth = 0  # calls in progress (on the thread that holds the lock)

    def drop_transport(self) -> None:
        """Forgets the Python transport; one the library still holds buffers
        of stays alive until it releases them."""
        with _retired_lock:  # every context's
            if self.transport is not None and self.transport.outstanding:
                retired.append(self.transport)
            retired[:] = [t for t in retired if t.outstanding]
        self.transport = None

    def free(self) -> None:
        """Releases the session in the library (once)."""
        with self.lock:
            if self.closed:
                return
            _native.load().kova_session_free(self.handle)
            self.handle = None
            self.closed = True
            self.drop_transport()


DEFAULT = Context(None, _native.lock)


def current() -> Context:
    """The context the calling thread works in: the one entered last, else the default."""
    return getattr(_native.thread, "context", None) or DEFAULT


class entered:
    """``with entered(ctx):`` runs a block in ``ctx``: its lock held, bound on
    the calling thread, the thread's previous binding restored on exit."""

    __slots__ = ("ctx", "before", "previous", "lib")

    def __init__(self, ctx: Context):
        self.ctx = ctx

    def __enter__(self) -> Context:
        ctx = self.ctx
        ctx.lock.acquire()
        try:
            if ctx.closed:
                raise RuntimeError("kova: this session is closed")
            self.lib = _native.load()
            # A library without sessions has only the default context.
            self.previous = self.lib.kova_session_bind(ctx.handle) if self.lib.sessions else None
        except BaseException:
            ctx.lock.release()
            raise
        self.before = getattr(_native.thread, "context", None)
        _native.thread.context = ctx
        ctx.depth += 1
        return ctx

    def __exit__(self, *exc: Any) -> None:
        ctx = self.ctx
        ctx.depth -= 1
        _native.thread.context = self.before
        try:
            if self.lib.sessions:
                self.lib.kova_session_bind(self.previous)
        finally:
            ctx.lock.release()


CALLS: Dict[str, Callable[..., Any]] = {}
"""The module functions that act on a context, by name: each is also a method of ``Session``."""


def per_context(fn: F) -> F:
    """Declares a module function that acts on a context: the module's
    function runs in the calling thread's context, and ``Session`` gets the
    method of the same name, which runs it in that session."""

    @functools.wraps(fn)
    def call(*args: Any, **kwargs: Any) -> Any:
        with entered(current()):
            return fn(*args, **kwargs)

    def method(self: "Session", *args: Any, **kwargs: Any) -> Any:
        with entered(self._context):
            return fn(*args, **kwargs)

    sig = inspect.signature(fn)
    params = [inspect.Parameter("self", inspect.Parameter.POSITIONAL_ONLY), *sig.parameters.values()]
    method.__signature__ = sig.replace(parameters=params)  # type: ignore[attr-defined]
    method.__name__ = fn.__name__
    method.__qualname__ = f"Session.{fn.__name__}"
    method.__doc__ = fn.__doc__
    method.__module__ = "kova"
    setattr(Session, fn.__name__, method)
    CALLS[fn.__name__] = call
    return call  # type: ignore[return-value]


class Session:
    """A context of its own: configurations, transport, arming, results.

    It has a method for every module function that acts on a context
    (``s.configure(...)``, ``s.jackett_search_imdb(...)``, see
    ``kova.Session.calls``), each run in this session: bound on the calling
    thread for the call, the thread's previous binding restored afterwards.
    The process-wide functions (time-out, fake routes, settings validation)
    stay module functions. Close it with ``close()``, or use it as a context
    manager; an unreachable session is closed when it is collected. A call
    after ``close()`` raises ``RuntimeError``.

    One session is for one thread at a time: calls on one session from two
    threads at once are the caller's error (the binding makes them wait for
    each other, but each replaces the session's current result, which a
    grab or a row's ``get`` of the other thread then reads). Different
    sessions run on different threads at the same time.
    """

    calls = CALLS

    def __init__(self) -> None:
        lib = _native.load()
        handle = lib.kova_session_new()
        if not handle:
            raise OutOfMemory(OutOfMemory.rc, lib.kova_strerror(OutOfMemory.rc),
                              "kova.Session: no memory for a new session")
        self._context = Context(handle, threading.RLock())
        self._finalizer = weakref.finalize(self, self._context.free)

    @property
    def closed(self) -> bool:
        return self._context.closed

    def close(self) -> None:
        """Frees the session in the library; every later call raises. Waits
        for a call another thread is making on it; inside one of its own
        calls (a transport callback) it raises ``RuntimeError``."""
        with self._context.lock:
            if self._context.depth:
                raise RuntimeError("kova: a session cannot be closed inside one of its own calls")
            self._finalizer()

    def __enter__(self) -> "Session":
        return self

    def __exit__(self, *exc: Any) -> None:
        self.close()

    def __repr__(self) -> str:
        return f"<kova.Session {'closed' if self.closed else hex(self._context.handle or 0)}>"
