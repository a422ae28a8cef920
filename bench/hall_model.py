"""A meeting hall, simulated: participants click DownLoad within the same second against one meeting server
that takes a limited number of logins at once, in all and from one address. A participant let in holds its
login for the time of its run; one refused waits by the product's own rule, read from
src/platform/busy_wait.h (its constants; the rule's shape is the same here as there): pauses doubling from
the first to the longest, each drawn at random over its whole length, a last try when the time given ends.

    /usr/bin/python3 bench/hall_model.py                  the projection table
    /usr/bin/python3 bench/hall_model.py --participants 1000 --limit 64 --run-seconds 13 [--per-address 8
        --behind-one 50] [--rtt 0.05] [--seeds 20]

Prints, per hall, the share of participants that got the meeting, the time until the last had it (and its
ratio to the ideal: participants x run time / logins at once), the refused connection attempts per
participant, and the attempts per second that the server sees (on average while it is full, and at the
peak second).
"""
import argparse
import heapq
import os
import random
import re
import statistics
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
RULE_HEADER = os.path.join(HERE, "..", "src", "platform", "busy_wait.h")


def rule_constants(path=RULE_HEADER):
    """The waiting rule's constants as the product is built with them: {"kBusyFirstPauseMs": 2000, ...}."""
    with open(path, encoding="utf-8") as f:
        found = dict(re.findall(r"^inline constexpr int (k\w+) = (\d+);", f.read(), re.M))
    return {name: int(value) for name, value in found.items()}


class BusyWait:
    """The product's BusyWait: the pause before each next try, None when the waiting is spent."""

    def __init__(self, constants, budget=None, tries=0):
        self.first = constants["kBusyFirstPauseMs"] / 1000
        self.longest = constants["kBusyLongestPauseMs"] / 1000
        self.budget = constants["kDefaultBusyWaitSeconds"] if budget is None else budget
        self.tries = tries
        self.made = 1

    @staticmethod
    def ceiling(first, longest, next_try):
        return min(first * 2 ** (next_try - 2), longest)

    def next_pause(self, elapsed, draw):
        if (self.tries and self.made >= self.tries) or elapsed >= self.budget:
            return None
        self.made += 1
        return min(self.ceiling(self.first, self.longest, self.made) * draw(), self.budget - elapsed)


def simulate(participants, limit, run_seconds, rtt=0.001, per_address=0, behind_one=0, spread=1.0, budget=None,
             seed=0, constants=None):
    """One hall. `behind_one` participants share one address (the rest have one each), against `per_address`
    logins at once from one address (0: no such limit). A try costs a round trip before the server answers."""
    constants = constants or rule_constants()
    rng = random.Random(seed)
    address = [0 if n < behind_one else n + 1 for n in range(participants)]
    waits = [BusyWait(constants, budget) for _ in range(participants)]
    first = [rng.uniform(0, spread) for _ in range(participants)]
    events = [(first[n], 0, n) for n in range(participants)]  # (time, 0 a try / 1 the end of a run, who)
    heapq.heapify(events)
    in_all, from_address = 0, {}
    got, ended, refused = 0, 0.0, []
    while events:
        t, kind, n = heapq.heappop(events)
        a = address[n]
        if kind == 1:
            in_all -= 1
            from_address[a] -= 1
            got += 1
            ended = max(ended, t)
            continue
        if in_all < limit and (not per_address or from_address.get(a, 0) < per_address):
            in_all += 1
            from_address[a] = from_address.get(a, 0) + 1
            heapq.heappush(events, (t + rtt + run_seconds, 1, n))
            continue
        refused.append(t)
        pause = waits[n].next_pause(t + rtt - first[n], rng.random)
        if pause is not None:
            heapq.heappush(events, (t + rtt + pause, 0, n))
    full = [t for t in refused if t <= ended] or [0.0]
    per_second = {}
    for t in refused:
        per_second[int(t)] = per_second.get(int(t), 0) + 1
    at_once = min(limit, per_address or limit) if behind_one >= participants else limit
    return {
        "got": got / participants,
        "last": ended,
        "ideal": max(participants * run_seconds / at_once, run_seconds),
        "refused": len(refused) / participants,
        "rate": len(full) / max(ended, 1e-9),
        "peak": max(per_second.values(), default=0),
    }


def hall_in_the_server(log, participants):
    """A real hall as the test server's log (MeetingServer.log()) shows it: the seconds over which the
    participants' first tries came, from the first of them the seconds until the last login ended, and per
    login the seconds its connection was held."""
    began, ended, logged_in, tries = {}, {}, set(), []
    for when, session, event, *_ in log:
        seconds = int(when) / 1e9
        if event == "CONNECT" or (event == "REFUSED" and session not in began):
            tries.append(seconds)
        if event == "CONNECT":
            began[session] = seconds
        elif event == "DISCONNECT":
            ended[session] = seconds
        elif event == "LOGIN":
            logged_in.add(session)
    runs = [ended[s] - began[s] for s in logged_in if s in began and s in ended]
    return tries[participants - 1] - tries[0], max(ended.values()) - tries[0], runs


def averaged(seeds, **hall):
    runs = [simulate(seed=seed, **hall) for seed in range(seeds)]
    result = {key: statistics.mean(run[key] for run in runs) for key in runs[0]}
    result["got"] = min(run["got"] for run in runs)  # the worst hall of the seeds
    result["last"] = max(run["last"] for run in runs)
    return result


def row(label, result):
    return (f"{label:<34} {result['got'] * 100:6.1f} % {result['last']:8.1f} s {result['last'] / result['ideal']:6.2f}"
            f" {result['refused']:8.1f} {result['rate']:8.1f} {result['peak']:6.0f}")


HEADER = (f"{'hall':<34} {'got it':>8} {'last':>10} {'x ideal':>6} {'refused':>8} {'tries/s':>8} {'peak':>6}\n"
          f"{'':<34} {'(worst)':>8} {'(worst)':>10} {'':>6} {'/person':>8} {'(full)':>8} {'/s':>6}")


def projection(seeds, run_seconds, rtt):
    print(f"projection: {run_seconds:g} s a run (60 files over a {rtt * 1000:g} ms round trip), the product's "
          f"rule {rule_constants()}, {seeds} halls each")
    print(HEADER)
    for participants in (1000, 10000):
        for limit in (64, 200, 2000):
            result = averaged(seeds, participants=participants, limit=limit, run_seconds=run_seconds, rtt=rtt)
            print(row(f"{participants} against {limit}", result))
    result = averaged(seeds, participants=50, limit=64, per_address=8, behind_one=50, run_seconds=run_seconds,
                      rtt=rtt)
    print(row("50 behind one address, 8 each", result))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--participants", type=int)
    parser.add_argument("--limit", type=int, default=64, help="logins at once in all")
    parser.add_argument("--per-address", type=int, default=0, help="logins at once from one address")
    parser.add_argument("--behind-one", type=int, default=0, help="participants that share one address")
    parser.add_argument("--run-seconds", type=float, default=13.0, help="a run, once let in")
    parser.add_argument("--rtt", type=float, default=0.05, help="round trip in seconds")
    parser.add_argument("--budget", type=float, help="the time a participant waits (default: the product's)")
    parser.add_argument("--seeds", type=int, default=10)
    args = parser.parse_args()
    if args.participants is None:
        projection(args.seeds, args.run_seconds, args.rtt)
        return 0
    print(HEADER)
    result = averaged(args.seeds, participants=args.participants, limit=args.limit, per_address=args.per_address,
                      behind_one=args.behind_one, run_seconds=args.run_seconds, rtt=args.rtt, budget=args.budget)
    print(row(f"{args.participants} against {args.limit}", result))
    return 0


if __name__ == "__main__":
    sys.exit(main())
