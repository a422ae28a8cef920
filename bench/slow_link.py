"""A slow link for the download benchmark: two network namespaces, one for the meeting server and one for
the client, joined by a point-to-point link that delays every packet by the same time each way.

The link is a veth pair with netem on both ends. Kernels built without netem get, in its place, a pair of
TUN devices joined by a delay line in user space (this file run as a program), so that the numbers still
come from a real round trip: every packet waits its delay, TCP's handshakes, acknowledgements and slow
start included, as it would on the wire.

Making namespaces needs root (CAP_SYS_ADMIN and CAP_NET_ADMIN); SlowLink raises LinkUnavailable without.
"""
import collections
import fcntl
import os
import select
import struct
import subprocess
import sys
import time

SERVER_ADDRESS = "10.203.0.1"
CLIENT_ADDRESS = "10.203.0.2"


class LinkUnavailable(Exception):
    pass


def _ip(*args, check=True):
    result = subprocess.run(["ip", *args], capture_output=True, text=True)
    if check and result.returncode != 0:
        raise LinkUnavailable(f"ip {' '.join(args)}: {result.stderr.strip()}")
    return result


class SlowLink:
    """The two namespaces and the link between them; a context manager that takes all of it away again."""

    def __init__(self, delay_ms):
        self.delay_ms = delay_ms
        # Unique per run, so that a second benchmark (or the leftovers of a killed one) never collides.
        tag = f"{os.getpid()}-{time.monotonic_ns() % 100000}"
        self.server_ns = f"tarnwick-bench-{tag}-server"
        self.client_ns = f"tarnwick-bench-{tag}-client"
        self._ends = (f"tnw{os.getpid()}s", f"tnw{os.getpid()}c")  # 15 bytes at most
        self.kind = None
        self._line = None
        self._made = []

    def __enter__(self):
        return self.open()

    def __exit__(self, *_):
        self.close()

    def server(self, command):
        return ["ip", "netns", "exec", self.server_ns, *command]

    def client(self, command):
        return ["ip", "netns", "exec", self.client_ns, *command]

    def open(self):
        try:
            self._make()
        except BaseException:
            self.close()
            raise
        return self

    def _make(self):
        if os.geteuid() != 0:
            raise LinkUnavailable("network namespaces need root")
        for ns in (self.server_ns, self.client_ns):
            _ip("netns", "add", ns)
            self._made.append(ns)
            _ip("-n", ns, "link", "set", "lo", "up")
        server_end, client_end = self._ends
        _ip("link", "add", server_end, "netns", self.server_ns, "type", "veth",
            "peer", "name", client_end, "netns", self.client_ns)
        delay = f"{self.delay_ms:g}ms"
        netem = _ip("-n", self.server_ns, "qdisc", "add", "dev", server_end, "root", "netem", "delay", delay,
                    check=False)
        if netem.returncode == 0:
            _ip("-n", self.client_ns, "qdisc", "add", "dev", client_end, "root", "netem", "delay", delay)
            self.kind = f"veth, netem {delay} each way"
        else:
            _ip("-n", self.server_ns, "link", "del", server_end)
            self._start_delay_line(server_end, client_end)
            self.kind = f"TUN pair, delay line {delay} each way (this kernel has no netem)"
        for ns, end, here, there in ((self.server_ns, server_end, SERVER_ADDRESS, CLIENT_ADDRESS),
                                     (self.client_ns, client_end, CLIENT_ADDRESS, SERVER_ADDRESS)):
            _ip("-n", ns, "addr", "add", here, "peer", there, "dev", end)
            _ip("-n", ns, "link", "set", end, "up")

    def _start_delay_line(self, server_end, client_end):
        # The TUN devices belong to the delay line's process: made in this namespace, then moved, and gone
        # with it. Its standard input is ours, so it ends with this process however that ends.
        self._line = subprocess.Popen([sys.executable, os.path.abspath(__file__), str(self.delay_ms), server_end,
                                       client_end], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        if self._line.stdout.readline().strip() != "ready":
            raise LinkUnavailable("the delay line did not start (no /dev/net/tun?)")
        _ip("link", "set", server_end, "netns", self.server_ns)
        _ip("link", "set", client_end, "netns", self.client_ns)

    def close(self):
        # Processes still in a namespace keep it alive after "ip netns del": the caller stops its own
        # first; what is left in these namespaces of ours is ended here, by process id.
        for ns in self._made:
            pids = _ip("netns", "pids", ns, check=False).stdout.split()
            for pid in pids:
                try:
                    os.kill(int(pid), 9)
                except ProcessLookupError:
                    pass
            _ip("netns", "del", ns, check=False)
        self._made = []
        if self._line is not None:
            self._line.stdin.close()
            try:
                self._line.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self._line.kill()
                self._line.wait()
            self._line = None


def _open_tun(name):
    fd = os.open("/dev/net/tun", os.O_RDWR | os.O_NONBLOCK)
    tunsetiff, iff_tun, iff_no_pi = 0x400454CA, 0x0001, 0x1000
    fcntl.ioctl(fd, tunsetiff, struct.pack("16sH", name.encode(), iff_tun | iff_no_pi))
    return fd


def delay_line(delay_ms, names):
    """Copies every packet read from one device to the other after delay_ms; ends at end of input."""
    delay = delay_ms / 1000
    ends = [_open_tun(name) for name in names]
    waiting = [collections.deque(), collections.deque()]  # (due, packet) bound for ends[i], in order
    print("ready", flush=True)
    while True:
        now = time.monotonic()
        for end, queue in zip(ends, waiting):
            while queue and queue[0][0] <= now:
                try:
                    os.write(end, queue.popleft()[1])
                except OSError:
                    pass  # a device not up yet, or going away: the packet is lost, as on a wire
        due = min((queue[0][0] for queue in waiting if queue), default=None)
        readable, _, _ = select.select([*ends, sys.stdin], [], [],
                                       None if due is None else max(0.0, due - time.monotonic()))
        if sys.stdin in readable and not sys.stdin.read(1):
            return
        for i, end in enumerate(ends):
            if end in readable:
                while True:
                    try:
                        packet = os.read(end, 65536)
                    except (BlockingIOError, OSError):
                        break
                    waiting[1 - i].append((time.monotonic() + delay, packet))


if __name__ == "__main__":
    delay_line(float(sys.argv[1]), sys.argv[2:4])
