"""Wine test harness: Xvfb displays and one Wine prefix shared by the Wine tests, and helpers
that run our host player with a plug-in and read what it reports.

Run as a program for the ctest fixture:
    harness.py setup   --state FILE --work DIR --windows DIR --build win32|win64
    harness.py cleanup --state FILE
    harness.py list    TEST_FILE.py          (prints Class.method of every test, for ctest)

The tests run one Windows build: win32, the product, where this machine runs 32-bit code, and
win64 (the same sources built for x86-64, under the 64-bit Wine loader named directly) where
it does not; scripts/windows_build.py decides and names the Wine programs of each.

setup starts four Xvfb servers (1024x768 at 24 bits, which Wine shows as a 32-bit desktop, at 16
and at 8 bits, and 1920x1080 at 24 bits: SCREENS); each picks a free display number itself through -displayfd and runs with -nolisten
tcp), creates a fresh Wine prefix under DIR, keeps `wineserver -p` running for it and writes
the state file (build, Wine programs, display numbers, prefix, process ids). cleanup ends exactly those processes,
by process id, and runs `wineserver -k` for the prefix.

Tests import this module; it finds the state through the environment:
    QUORBEL_WINE_STATE   the state file written by setup
    QUORBEL_WINDOWS_DIR  the Windows build folder (host/host.exe, player/, ...)
    QUORBEL_SOURCE_DIR   the source tree (data folders)
"""

import json
import os
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__)))), "scripts"))
import windows_build  # noqa: E402

DEPTHS = (24, 16, 8)
# The Xvfb screens, by the name a test passes as depth: one 1024x768 screen of each depth, and a
# 1920x1080 one of 24 bits (a 32-bit desktop under Wine) for full screen on today's monitors.
SCREENS = {24: "1024x768x24", 16: "1024x768x16", 8: "1024x768x8", "hd": "1920x1080x24"}
# Screens whose tests run in a prefix of their own (Env(state, screen), Env.for_screen).
OWN_PREFIX_SCREENS = ("hd",)
WINE_ENV = {"WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="}
QUORBEL_KEY = "Software\\Quorbel"
SETTINGS_KEY = "HKLM\\Software\\Quorbel\\Quorbel-4-Winamp"


class HarnessError(Exception):
    pass


# ---------------------------------------------------------------------------------------------
# Process helpers


def _alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        return True
    return True


def _command_of(pid):
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            return f.read().replace(b"\0", b" ").decode(errors="replace")
    except OSError:
        return ""


def _end_process(pid, expected_name, grace=5.0):
    """Ends pid if it is still the process we started (its command names expected_name)."""
    if not pid or not _alive(pid) or expected_name not in _command_of(pid):
        return
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        return
    deadline = time.monotonic() + grace
    while time.monotonic() < deadline:
        try:
            finished, _ = os.waitpid(pid, os.WNOHANG)
            if finished == pid:
                return
        except ChildProcessError:
            if not _alive(pid):
                return
        time.sleep(0.05)
    try:
        os.kill(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass


def _run_logged(command, env, log_path, timeout):
    """Runs command with its output going to log_path (never a pipe: Wine's helper processes
    inherit the output and would keep a pipe open). Returns the exit code."""
    with open(log_path, "ab") as log:
        proc = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL, stdout=log,
                                stderr=subprocess.STDOUT, start_new_session=True)
        try:
            return proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            _kill_group(proc)
            raise HarnessError(f"{command[0]} did not finish within {timeout} s (log {log_path})")


def _kill_group(proc):
    try:
        os.killpg(proc.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    proc.wait()


def _start_xvfb(depth, log_path, timeout=30.0):
    read_end, write_end = os.pipe()
    log = open(log_path, "ab")
    proc = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", SCREENS[depth],
         "-nolisten", "tcp"],
        pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
        start_new_session=True)
    os.close(write_end)
    log.close()
    # Xvfb writes the display number once it accepts connections.
    data = b""
    deadline = time.monotonic() + timeout
    try:
        while not data.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0:
                break
            ready, _, _ = select.select([read_end], [], [], left)
            if not ready:
                break
            chunk = os.read(read_end, 64)
            if not chunk:
                break
            data += chunk
    finally:
        os.close(read_end)
    if not data.strip().isdigit():
        _end_process(proc.pid, "Xvfb")
        raise HarnessError(f"Xvfb ({depth}-bit) did not start; see {log_path}")
    return int(data.strip()), proc.pid


# ---------------------------------------------------------------------------------------------
# Fixture: setup and cleanup


def _set_managed(loader, env, log_path, managed):
    _run_logged([loader, "reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed",
                 "/t", "REG_SZ", "/d", "Y" if managed else "N", "/f"], env, log_path, 120)


def _write_state(path, state):
    tmp = path + ".tmp"
    with open(tmp, "w") as f:
        json.dump(state, f, indent=2)
    os.replace(tmp, path)


def wine_env(prefix, display, build, extra=None):
    env = dict(os.environ)
    env.update(WINE_ENV)
    env.update(windows_build.wine_environment(build))
    env["WINEPREFIX"] = prefix
    env["DISPLAY"] = f":{display}"
    env.pop("WAYLAND_DISPLAY", None)
    if extra:
        env.update(extra)
    return env


def setup(state_path, work_dir, windows_dir, build):
    loader, server = windows_build.wine_programs(build)
    for tool in (loader, server, "Xvfb"):
        if not shutil.which(tool):
            raise HarnessError(f"{tool} is not installed (scripts/setup.sh installs it)")
    for needed in ("host/host.exe", "host/test_plugins/vis_probe.dll"):
        if not os.path.isfile(os.path.join(windows_dir, needed)):
            raise HarnessError(f"the {build} build is missing {needed} in {windows_dir} "
                               f"(cmake --preset {build} && cmake --build --preset {build})")
    if os.path.exists(state_path):
        cleanup(state_path)

    os.makedirs(work_dir, exist_ok=True)
    prefix = os.path.join(work_dir, "prefix")
    state = {"prefix": prefix, "work": work_dir, "windows": os.path.abspath(windows_dir),
             "build": build, "loader": loader, "server": server, "displays": {}, "pids": {},
             "screen_prefixes": {}}
    _write_state(state_path, state)
    for depth in SCREENS:
        display, pid = _start_xvfb(depth, os.path.join(work_dir, f"xvfb{depth}.log"))
        state["displays"][str(depth)] = display
        state["pids"][f"Xvfb{depth}"] = pid
        _write_state(state_path, state)

    _make_prefix(state, state_path, prefix, "24", "wineserver", loader, server)
    env_state = Env(state)
    _warm_up(env_state, [24, 16, 8])
    # The monitors a prefix's programs see are those of the display its desktop process
    # started on, so the 1920x1080 screen has a prefix of its own.
    for screen in OWN_PREFIX_SCREENS:
        own = os.path.join(work_dir, f"prefix-{screen}")
        state["screen_prefixes"][screen] = own
        _make_prefix(state, state_path, own, screen, f"wineserver-{screen}", loader, server)
        _warm_up(Env(state, screen), [screen])
    return state


def _make_prefix(state, state_path, prefix, screen, pid_name, loader, server):
    """A fresh prefix with its own `wineserver -p`, booted and set up for the tests on the
    display of screen."""
    work_dir = state["work"]
    shutil.rmtree(prefix, ignore_errors=True)
    os.makedirs(prefix)
    env = wine_env(prefix, state["displays"][str(screen)], state["build"])
    log_path = os.path.join(work_dir, "wine.log")
    with open(log_path, "ab") as log:
        process = subprocess.Popen([server, "-f", "-p"], env=env, stdin=subprocess.DEVNULL,
                                   stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
    state["pids"][pid_name] = process.pid
    _write_state(state_path, state)

    if _run_logged([loader, "wineboot", "-i"], env, log_path, 300) != 0:
        raise HarnessError(f"wineboot -i failed; see {log_path}")
    # Without a window manager Wine waits up to two seconds for every managed window that is
    # hidden or destroyed; unmanaged windows avoid that. Runs that expect dialogs switch back
    # to managed windows (see run_host).
    _set_managed(loader, env, log_path, False)
    # Wine's Direct3D layer hands drawing to a thread of its own by default, so a DirectDraw
    # Blt may reach the window only after the host has captured it (seen on the 64-bit build:
    # captures one frame behind). Drawing on the calling thread keeps captures exact.
    _run_logged([loader, "reg", "add", "HKCU\\Software\\Wine\\Direct3D", "/v", "csmt",
                 "/t", "REG_DWORD", "/d", "0", "/f"], env, log_path, 120)


def _warm_up(env_state, screens):
    """The first window a prefix shows starts its desktop process; do that here, once per
    display, so that no test pays for it."""
    for screen in screens:
        with tempfile.TemporaryDirectory(dir=env_state.state["work"]) as tmp:
            player = env_state.make_player(tmp)
            run = env_state.run_host(player, ["--fast", "--mute", "--frames", "1"],
                                     depth=screen, timeout=120)
            if run.code != 0:
                raise HarnessError(f"warm-up run on the {screen} display failed:\n"
                                   + run.output)


def cleanup(state_path):
    try:
        with open(state_path) as f:
            state = json.load(f)
    except (OSError, ValueError):
        return
    pids = state.get("pids", {})
    build = state.get("build", "win32")
    server = state.get("server") or windows_build.wine_programs(build)[1]
    prefixes = [(state.get("prefix"), "24", "wineserver")]
    prefixes += [(own, screen, f"wineserver-{screen}")
                 for screen, own in state.get("screen_prefixes", {}).items()]
    for prefix, screen, pid_name in prefixes:
        if prefix and os.path.isdir(prefix) and shutil.which(server):
            env = wine_env(prefix, state.get("displays", {}).get(screen, 0), build)
            try:
                _run_logged([server, "-k"], env, os.path.join(state["work"], "wine.log"), 60)
            except HarnessError:
                pass
        _end_process(pids.get(pid_name), "wineserver")
    for name, pid in pids.items():
        if name.startswith("Xvfb"):
            _end_process(pid, "Xvfb")
    os.remove(state_path)


# ---------------------------------------------------------------------------------------------
# Event lines

_FIELD = re.compile(r'([A-Za-z_][\w-]*)=("(?:[^"\\]|\\.)*"|\S*)')
_ESCAPE = re.compile(r'\\(x[0-9A-Fa-f]{2}|.)')


def unquote(text):
    if len(text) < 2 or text[0] != '"' or text[-1] != '"':
        return text

    def one(m):
        e = m.group(1)
        if e[0] == "x":
            return chr(int(e[1:], 16))
        return {"n": "\n", "r": "\r", "t": "\t"}.get(e, e)

    return _ESCAPE.sub(one, text[1:-1])


class Event:
    """One line "SOURCE NAME key=value ...", SOURCE being host or probe."""

    def __init__(self, source, name, fields, line):
        self.source = source
        self.name = name
        self.fields = fields
        self.line = line

    def __getitem__(self, key):
        return self.fields[key]

    def get(self, key, default=None):
        return self.fields.get(key, default)

    def int(self, key):
        return int(self.fields[key], 0)

    def __repr__(self):
        return self.line


def parse_line(line):
    line = line.rstrip("\r\n")
    parts = line.split(" ", 2)
    if len(parts) < 2 or parts[0] not in ("host", "probe"):
        return None
    rest = parts[2] if len(parts) > 2 else ""
    fields = {m.group(1): unquote(m.group(2)) for m in _FIELD.finditer(rest)}
    return Event(parts[0], parts[1], fields, line)


def _desktop_processes(prefix):
    """Process ids of the virtual-desktop explorers running in prefix."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                command = f.read().replace(b"\0", b" ").decode(errors="replace")
            with open(f"/proc/{entry}/environ", "rb") as f:
                environment = f.read().split(b"\0")
        except OSError:
            continue
        if "/desktop=quorbel_test" in command and \
                ("WINEPREFIX=" + prefix).encode() in environment:
            found.append(int(entry))
    return found


def _wait_for_desktop_end(prefix, limit=60.0):
    """Waits until the virtual desktop of a run has gone, so that the next run on the same
    display does not meet its windows while they are being destroyed. The limit is a safety
    net only."""
    deadline = time.monotonic() + limit
    while _desktop_processes(prefix) and time.monotonic() < deadline:
        time.sleep(0.1)


# What Wine's X11 driver prints when it ends a process over an X error of its own.
_X_DRIVER_FAULT = "X Error of failed request:  BadWindow"


class HostRun:
    def __init__(self, code, lines, output, timed_out):
        self.code = code
        self.lines = lines
        self.output = output
        self.timed_out = timed_out
        self.events = [e for e in (parse_line(l) for l in lines) if e]
        if code not in (0, None):
            # Wine says little on its own when a run fails; what the host logged last (a crash
            # line names the module, the thread and the plug-in call) goes with the output.
            tail = "\n".join(lines[-20:]) if lines else "(no events)"
            self.output += f"\n[harness: exit code {code}; the host's last events]\n{tail}\n"

    def host(self, name=None):
        return [e for e in self.events if e.source == "host" and (name is None or e.name == name)]

    def probe(self, name=None):
        return [e for e in self.events
                if e.source == "probe" and (name is None or e.name == name)]

    def one(self, name, source="host"):
        found = [e for e in self.events if e.source == source and e.name == name]
        if len(found) != 1:
            raise AssertionError(f"expected one '{source} {name}' line, found {len(found)}:\n"
                                 + self.output)
        return found[0]


# ---------------------------------------------------------------------------------------------
# Helpers for tests


def read_bmp(path):
    """Reads an uncompressed 24- or 32-bit BMP: (width, height, rows), rows top first, each a
    list of (r, g, b)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM":
        raise ValueError(f"{path}: not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    compression = struct.unpack_from("<I", data, 30)[0]
    if bits not in (24, 32) or compression != 0:
        raise ValueError(f"{path}: only uncompressed 24/32-bit BMP files are read")
    step = bits // 8
    stride = (width * step + 3) & ~3
    top_down = height < 0
    height = abs(height)
    rows = []
    for y in range(height):
        stored = y if top_down else height - 1 - y
        start = offset + stored * stride
        row = data[start:start + width * step]
        rows.append([(row[x * step + 2], row[x * step + 1], row[x * step])
                     for x in range(width)])
    return width, height, rows


def windows_path(path):
    """A Unix path as the Windows path Wine maps it to (drive Z: is the Unix root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Env:
    """The shared displays and prefix, as set up by the fixture."""

    def __init__(self, state=None, screen=None):
        if state is None:
            state_path = os.environ.get("QUORBEL_WINE_STATE")
            if not state_path or not os.path.isfile(state_path):
                raise HarnessError("no Wine test environment: the ctest fixture 'wine' "
                                   f"(wine.setup) has not run (state file {state_path!r})")
            with open(state_path) as f:
                state = json.load(f)
        self.state = state
        # The screen whose prefix this is: None for the shared prefix of the 1024x768 screens.
        self.screen = screen
        self.prefix = state["screen_prefixes"][screen] if screen else state["prefix"]
        # "win32" or "win64": the build under test, and the Wine loader that runs it.
        self.build = state["build"]
        self.wine = state["loader"]
        self.build_dir = os.environ.get("QUORBEL_WINDOWS_DIR") or state["windows"]
        self.source = os.environ.get(
            "QUORBEL_SOURCE_DIR",
            os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))

    # -- paths ------------------------------------------------------------------------------

    @property
    def host_exe(self):
        return os.path.join(self.build_dir, "host", "host.exe")

    @property
    def probe_dll(self):
        return os.path.join(self.build_dir, "host", "test_plugins", "vis_probe.dll")

    @property
    def player_dir(self):
        return os.path.join(self.build_dir, "player")

    def for_screen(self, screen):
        """The same build and displays with the prefix of screen (one of OWN_PREFIX_SCREENS),
        whose registry and runs are its own."""
        return Env(self.state, screen)

    def display(self, depth):
        return self.state["displays"][str(depth)]

    def env(self, depth=24, extra=None):
        return wine_env(self.prefix, self.display(depth), self.build, extra)

    # -- player folders ---------------------------------------------------------------------

    def write_builtin_tables(self, folder):
        """Writes the five built-in tables into folder (created when missing) with the native
        writer of the build, the reference for what the plug-in writes."""
        os.makedirs(folder, exist_ok=True)
        writer = os.path.join(os.path.dirname(self.state["work"]), "tests",
                              "write_builtin_tables")
        subprocess.run([writer, folder.rstrip("/") + "/"], check=True)

    def make_player(self, folder, plugin=None, data=(), tabs=True):
        """A fresh player folder inside folder: host.exe, Plugins/<plugin> (default: the
        probe), gbm.dll beside both when the build has it, the data folders named (copied
        from the built player folder, else from data/) and an empty tabs/. Returns its path."""
        player = os.path.join(folder, "player")
        os.makedirs(os.path.join(player, "Plugins"), exist_ok=True)
        if not os.path.isfile(self.host_exe):
            raise HarnessError(f"the {self.build} build has no host: {self.host_exe}")
        shutil.copy2(self.host_exe, player)
        plugin = plugin or self.probe_dll
        if not os.path.isfile(plugin):
            raise HarnessError(f"no such plug-in: {plugin}")
        shutil.copy2(plugin, os.path.join(player, "Plugins"))
        gbm = os.path.join(self.player_dir, "gbm.dll")
        if os.path.isfile(gbm):
            shutil.copy2(gbm, player)
            shutil.copy2(gbm, os.path.join(player, "Plugins"))
        for name in data:
            for source in (os.path.join(self.player_dir, name),
                           os.path.join(self.source, "data", name)):
                if os.path.isdir(source):
                    shutil.copytree(source, os.path.join(player, name))
                    break
            else:
                raise HarnessError(f"no data folder {name!r} in the build or in data/")
        if tabs:
            os.makedirs(os.path.join(player, "tabs"), exist_ok=True)
        return player

    @staticmethod
    def plugin_arg(player):
        names = sorted(n for n in os.listdir(os.path.join(player, "Plugins"))
                       if n.lower().startswith("vis_") and n.lower().endswith(".dll"))
        if not names:
            raise HarnessError(f"no vis_*.dll in {player}/Plugins")
        return "Plugins\\" + names[0]

    # -- running ----------------------------------------------------------------------------

    def run_host(self, player, args, depth=24, timeout=60, env=None, desktop=None,
                 plugin_args=None, program="host.exe"):
        """Runs player/host.exe (or player/program, our host under the player's name) under Wine on the display of that depth, in the player folder,
        with args followed by the plug-in (plugin_args, default the one in Plugins/). With
        desktop="WxH" it runs inside a Wine virtual desktop of that size. timeout is a safety
        net only: a run that exceeds it is killed and reported with timed_out set.

        Wine's X11 driver now and then ends a process with an X error of its own (BadWindow on
        X_UnmapWindow, while a window of another thread goes away: seen in about one run of
        thirty with dialogs). Such a run says nothing about the program under test; it is run
        once more, and the second result stands whatever it is."""
        run = self._run_host_once(player, args, depth, timeout, env, desktop, plugin_args,
                                  program)
        if _X_DRIVER_FAULT in run.output and not run.host("exit"):
            first = run.output
            run = self._run_host_once(player, args, depth, timeout, env, desktop, plugin_args,
                                      program)
            run.output = (f"[harness: the first run ended with Wine's X error; run again]\n"
                          f"{first}\n[harness: second run]\n{run.output}")
        return run

    def _run_host_once(self, player, args, depth, timeout, env, desktop, plugin_args, program):
        log_name = "host-events.log"
        log_path = os.path.join(player, log_name)
        if os.path.exists(log_path):
            os.remove(log_path)
        plugins = plugin_args if plugin_args is not None else [self.plugin_arg(player)]
        command = [self.wine]
        if desktop:
            command += ["explorer", f"/desktop=quorbel_test,{desktop}"]
        command += [program, "--log", log_name] + list(args) + list(plugins)
        extra = {"QUORBEL_PROBE_LOG": log_name}
        extra.update(env or {})
        output_path = os.path.join(player, "host-output.txt")
        # A dialog owned by a window of another thread (the plug-in's dialogs are owned by the
        # player's window) was seen to end the process with an X error (BadWindow on
        # X_UnmapWindow) in about one run of three while windows are unmanaged.
        with_dialogs = any(a in ("--dialog", "--dialog-optional") for a in args)
        if with_dialogs:
            _set_managed(self.wine, self.env(depth), os.path.join(player, "managed.log"), True)
        timed_out = False
        with open(output_path, "wb") as out:
            proc = subprocess.Popen(command, cwd=player, env=self.env(depth, extra),
                                    stdin=subprocess.DEVNULL, stdout=out,
                                    stderr=subprocess.STDOUT, start_new_session=True)
            try:
                code = proc.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                timed_out = True
                _kill_group(proc)
                code = None
        with open(output_path, "rb") as f:
            output = f.read().decode(errors="replace")
        lines = []
        if os.path.exists(log_path):
            with open(log_path, "rb") as f:
                lines = f.read().decode(errors="replace").splitlines()
        if with_dialogs:
            _set_managed(self.wine, self.env(depth), os.path.join(player, "managed.log"), False)
        if desktop:
            _wait_for_desktop_end(self.prefix)
        if desktop and not timed_out:
            # The desktop's explorer does not pass the program's exit code on.
            exits = [e for e in (parse_line(l) for l in lines) if e and e.name == "exit"
                     and e.source == "host"]
            code = int(exits[-1]["code"]) if exits else None
        if timed_out:
            output += f"\n[harness: killed after {timeout} s]\n"
        return HostRun(code, lines, output, timed_out)

    def run_program(self, args, cwd=None, timeout=300, depth=24):
        """Runs a Windows program (args[0], a Unix or Windows path) under Wine and waits for it:
        (exit code, output). The output goes through a file, never a pipe (see _run_logged)."""
        with tempfile.NamedTemporaryFile(dir=self.state["work"], suffix=".out.txt",
                                         delete=False) as out:
            path = out.name
        try:
            with open(path, "wb") as out:
                proc = subprocess.Popen([self.wine] + list(args), cwd=cwd, env=self.env(depth),
                                        stdin=subprocess.DEVNULL, stdout=out,
                                        stderr=subprocess.STDOUT, start_new_session=True)
                try:
                    code = proc.wait(timeout=timeout)
                except subprocess.TimeoutExpired:
                    _kill_group(proc)
                    raise HarnessError(f"{args[0]} did not finish within {timeout} s")
            with open(path, "rb") as f:
                return code, f.read().decode(errors="replace")
        finally:
            os.remove(path)

    # -- registry ---------------------------------------------------------------------------

    def _reg_once(self, args):
        with tempfile.NamedTemporaryFile(dir=self.state["work"], suffix=".reg.txt",
                                         delete=False) as out:
            path = out.name
        try:
            # The view of HKLM\Software that the plug-in of the build under test sees: a 32-bit
            # program's keys are apart from a 64-bit program's in a 64-bit prefix.
            view = "/reg:64" if self.build == "win64" else "/reg:32"
            code = _run_logged([self.wine, "reg"] + args + [view], self.env(self.screen or 24),
                               path, 120)
            with open(path, "rb") as f:
                text = f.read().decode(errors="replace")
        finally:
            os.remove(path)
        return code, text

    def _reg(self, args, check=True):
        code, text = self._reg_once(args)
        if code != 0 and not text.strip():
            # reg.exe that fails without a word did not get to the registry at all (seen on a
            # loaded machine, for edits and for queries, which then read as a missing value):
            # it is run once more. A failure it explains (a value not found) stands.
            code, text = self._reg_once(args)
        if check and code != 0:
            raise HarnessError(f"wine reg {' '.join(args)} failed ({code}):\n{text}")
        return code, text

    def reset_registry(self):
        """Deletes the plug-in's keys, HKLM and HKCU "Software\\Quorbel"."""
        for root in ("HKLM", "HKCU"):
            self._reg(["delete", f"{root}\\{QUORBEL_KEY}", "/f"], check=False)

    def reg_query(self, key, value):
        """(type, value) of a registry value, or None when it does not exist. REG_DWORD values
        come back as int, REG_SZ as str."""
        code, text = self._reg(["query", key, "/v", value], check=False)
        if code != 0:
            return None
        for line in text.splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[0] == value and parts[1].startswith("REG_"):
                data = parts[2] if len(parts) > 2 else ""
                if parts[1] == "REG_DWORD":
                    return parts[1], int(data, 16)
                return parts[1], data
        return None

    def reg_add(self, key, value, data, kind=None):
        """Sets a value; value None sets the key's default value."""
        kind = kind or ("REG_DWORD" if isinstance(data, int) else "REG_SZ")
        name = ["/ve"] if value is None else ["/v", value]
        self._reg(["add", key] + name + ["/t", kind, "/d", str(data), "/f"])

    def reg_delete_key(self, key):
        """Deletes key with everything under it; a missing key is no error."""
        self._reg(["delete", key, "/f"], check=False)

    def reg_key_exists(self, key):
        return self._reg(["query", key], check=False)[0] == 0

    def reg_subkeys(self, key):
        """The names of the keys right under key ([] when it does not exist)."""
        code, text = self._reg(["query", key], check=False)
        if code != 0:
            return []
        prefix = key.split("\\", 1)[1].lower() + "\\"
        names = []
        for line in text.splitlines():
            line = line.strip()
            if line.startswith("HKEY_") and "\\" in line:
                path = line.split("\\", 1)[1]
                if path.lower().startswith(prefix) and "\\" not in path[len(prefix):]:
                    names.append(path[len(prefix):])
        return names


# ---------------------------------------------------------------------------------------------
# Command line


def _list_tests(path):
    import importlib.util
    import unittest
    sys.path.insert(0, os.path.dirname(os.path.abspath(path)))
    found = importlib.util.spec_from_file_location(os.path.basename(path)[:-3], path)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    suite = unittest.defaultTestLoader.loadTestsFromModule(module)

    def walk(s):
        for t in s:
            if isinstance(t, unittest.TestSuite):
                yield from walk(t)
            else:
                yield t

    for test in walk(suite):
        cls = type(test).__name__
        print(f"{cls}.{test._testMethodName}")


def main(argv):
    import argparse
    parser = argparse.ArgumentParser(description="Wine test fixture")
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("setup")
    p.add_argument("--state", required=True)
    p.add_argument("--work", required=True)
    p.add_argument("--windows", required=True)
    p.add_argument("--build", required=True, choices=("win32", "win64"))
    p = sub.add_parser("cleanup")
    p.add_argument("--state", required=True)
    p = sub.add_parser("list")
    p.add_argument("file")
    args = parser.parse_args(argv)
    try:
        if args.command == "setup":
            started = time.monotonic()
            state = setup(args.state, args.work, args.windows, args.build)
            print(f"{state['build']} build under {state['loader']}, "
                  f"displays {state['displays']}, prefix {state['prefix']}, "
                  f"ready in {time.monotonic() - started:.1f} s")
        elif args.command == "cleanup":
            cleanup(args.state)
        else:
            _list_tests(args.file)
    except HarnessError as e:
        print(f"harness: {e}", file=sys.stderr)
        if args.command == "setup":
            cleanup(args.state)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
