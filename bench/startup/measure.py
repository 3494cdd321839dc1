"""Starts each command cold (a fresh home folder) several times, alternating, and reports the
median time from exec to its "load finished: URL" line on standard error, and the resident
memory of its whole process tree (UI, web and network processes) once the page has loaded.

    measure.py RUNS URL NAME=COMMAND [NAME=COMMAND ...]
A command may name {serve} to run with the page's server started beside it."""
import os
import queue
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

LOAD_TIME_LIMIT = 60  # seconds from exec to the page's load-finished


def tree_rss_kib(root):
    parents = {}
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open(f"/proc/{name}/stat") as stat:
                text = stat.read()
        except OSError:
            continue
        parents[int(name)] = int(text[text.rfind(")") + 2:].split()[1])
    below = [root]
    for pid in below:
        below.extend(child for child, parent in parents.items() if parent == pid)
    total = 0
    for pid in below:
        try:
            with open(f"/proc/{pid}/status") as status:
                for line in status:
                    if line.startswith("VmRSS:"):
                        total += int(line.split()[1])
        except OSError:
            pass
    return total


def forward_lines(stream, into):
    for line in stream:
        into.put(line)
    into.put(None)  # the program ended


def one_start(command, url, serve):
    home = tempfile.mkdtemp(prefix="zevra-startup-")
    env = dict(os.environ, HOME=home, XDG_DATA_HOME=f"{home}/data", XDG_CONFIG_HOME=f"{home}/config",
               XDG_CACHE_HOME=f"{home}/cache", G_MESSAGES_DEBUG="ZEVRA")
    server = None
    if serve:
        server = subprocess.Popen(serve, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                  start_new_session=True)
        time.sleep(0.3)  # the server is up before the clock starts; its start is not measured
    started = time.monotonic()
    process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                               start_new_session=True, text=True)
    # Lines arrive through a thread, so a page that never loads ends the wait at the limit.
    lines = queue.Queue()
    threading.Thread(target=forward_lines, args=(process.stderr, lines), daemon=True).start()
    elapsed = None
    while elapsed is None:
        remaining = started + LOAD_TIME_LIMIT - time.monotonic()
        try:
            line = lines.get(timeout=max(remaining, 0))
        except queue.Empty:
            break
        if line is None:
            break
        if f"load finished: {url}" in line:
            elapsed = time.monotonic() - started
    time.sleep(1.0)  # let the page settle before reading memory
    rss = tree_rss_kib(process.pid)
    os.killpg(process.pid, signal.SIGKILL)
    process.wait()
    if server:
        os.killpg(server.pid, signal.SIGTERM)
        server.wait()
    shutil.rmtree(home, ignore_errors=True)
    return elapsed, rss


def main():
    runs, url = int(sys.argv[1]), sys.argv[2]
    programs = []
    for program in sys.argv[3:]:
        name, command = program.split("=", 1)
        serve = None
        if " {serve} " in command:
            command, serve = command.split(" {serve} ", 1)
            serve = serve.split()
        programs.append((name, command.split(), serve))
    results = {name: ([], []) for name, _, _ in programs}
    for _ in range(runs):
        for name, command, serve in programs:
            elapsed, rss = one_start(command, url, serve)
            if elapsed is None:
                print(f"{name}: the page did not finish loading within {LOAD_TIME_LIMIT} s",
                      file=sys.stderr)
                sys.exit(1)
            results[name][0].append(elapsed)
            results[name][1].append(rss)
    medians = {}
    for name, (times, memory) in results.items():
        medians[name] = (statistics.median(times), statistics.median(memory))
        print(f"{name}: start-up median {medians[name][0] * 1000:.0f} ms "
              f"(min {min(times) * 1000:.0f}, max {max(times) * 1000:.0f}), "
              f"resident memory median {medians[name][1] / 1024:.1f} MiB")
    names = list(medians)
    if len(names) == 2:
        (a, (ta, ma)), (b, (tb, mb)) = (names[0], medians[names[0]]), (names[1], medians[names[1]])
        print(f"{a}/{b}: start-up {ta / tb:.2f}x, memory {ma / mb:.2f}x")


if __name__ == "__main__":
    main()
