"""Wine for the Windows build's tests and benchmark: a prefix of the caller's own, its server started before
the first program and stopped at the end, programs run in it, and paths between the two systems.

As a command, for CTest's fixture of the shared prefix ($WINEPREFIX): `wine_prefix.py start` or `stop`.
"""
import os
import subprocess
import sys


def windows_path(path):
    """A Linux path as a Windows program under Wine sees it: the Linux root is drive Z:."""
    return "Z:" + os.path.realpath(path).replace("/", "\\")


class WinePrefix:
    """`wrap` turns a command into the one that runs it where the programs must run (a network namespace,
    say): Wine's server makes the programs' sockets, so it must be started there too."""

    def __init__(self, prefix, wrap=lambda command: command, display=True):
        self.env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all")
        if not display:
            # Without a display a program's windows cannot be made, and Wine asks for none.
            for name in ("DISPLAY", "WAYLAND_DISPLAY"):
                self.env.pop(name, None)
        self.prefix = prefix
        self.wrap = wrap

    def start(self):
        """Its server started and the prefix made (the first time takes seconds). A server of this prefix
        left over (another namespace, a killed run) would take our requests: it is stopped first."""
        os.makedirs(self.prefix, exist_ok=True)
        self.stop()
        self._quiet(self.wrap(["wineserver", "-p"]))
        self._quiet(self.wrap(["wine", "wineboot"]))

    def stop(self):
        """Its server and every program in it ended, before this returns."""
        self._quiet(self.wrap(["wineserver", "-k"]))
        self._quiet(["wineserver", "-w"])

    def run(self, *args, timeout=180):
        """A program run to its end; `.text` holds what it printed."""
        result = subprocess.run(self.wrap(["wine", *args]), env=self.env, capture_output=True, timeout=timeout)
        result.text = result.stdout.decode("utf-8", "replace") + result.stderr.decode("utf-8", "replace")
        return result

    def unix_path(self, windows):
        return subprocess.run(["winepath", "-u", windows], env=self.env, capture_output=True,
                              text=True).stdout.strip()

    def _quiet(self, command):
        subprocess.run(command, env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=300)


if __name__ == "__main__":
    if len(sys.argv) != 2 or sys.argv[1] not in ("start", "stop"):
        sys.exit("usage: wine_prefix.py start|stop  (the prefix is $WINEPREFIX)")
    wine = WinePrefix(os.environ["WINEPREFIX"])
    wine.start() if sys.argv[1] == "start" else wine.stop()
