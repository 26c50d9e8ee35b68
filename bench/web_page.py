#!/usr/bin/env python3
"""The browser page at the scale of a game, in headless Chromium: how soon a generated game
archive (about 60 MB, 150 members) shows its table and the thumbnails in view, the page's long
tasks (PerformanceObserver, over 50 ms) meanwhile, and the browser's memory while a large sparse
archive (1.5 GB, made here) opens and while 1 GB of random bytes is saved as a zip. Medians of a few rounds.
The browser tests (tests/web/browser_test.py) use the same functions.

Usage: bench/web_page.py [rounds]   (after scripts/build-web.sh and a native build in build/)
"""
import os
import statistics
import struct
import subprocess
import sys
import tempfile
import threading
import time

here = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(here, "tests", "web"))
from web_driver import start_browser, start_server  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402

BUILD = os.path.join(here, "build")
MIB = 1024 * 1024


def write_sparse_archive(path, members, pictures=(), random=False):
    """An archive whose members are stored plain: (name, size) members of zeros, left as holes
    of a sparse file (random bytes, which no zip compresses, with random=True), then (name, bytes)
    pictures. Answers its size."""
    count = len(members) + len(pictures)
    records = bytearray(struct.pack("<HH", 0xAF1E, count))
    offset = 0
    for name, size in list(members) + [(name, len(data)) for name, data in pictures]:
        records += name.encode("ascii").ljust(24, b"\0") + struct.pack("<II", size, offset)
        offset += size
    with open(path, "wb") as f:
        f.write(records)
        f.truncate(len(records) + sum(size for _, size in members))
        for _ in range(sum(size for _, size in members) // (4 * MIB) if random else 0):
            f.write(os.urandom(4 * MIB))
        f.seek(0, os.SEEK_END)
        for _, data in pictures:
            f.write(data)
    return os.path.getsize(path)


def make_game_archive(folder):
    """One archive of the generated game (pictures, sprites, sheets, sounds, texts)."""
    os.makedirs(folder, exist_ok=True)
    subprocess.run([os.path.join(BUILD, "quorvel-make-samples"), "--game", folder, "1"], check=True,
                   stdout=subprocess.DEVNULL)
    archives = sorted(n for n in os.listdir(folder) if n.endswith(".a"))
    return os.path.join(folder, archives[0])


def make_large_archive(path, total=1536 * MIB, member=16 * MIB, picture=None, random=False):
    """A sparse archive of total bytes in members of zeros, with one real picture at its end;
    random=True: members of random bytes named like PNG files (stored in a zip, as the page
    stores the PNG files it converts)."""
    name = "data{:04}.png" if random else "data{:04}.dat"
    members = [(name.format(i), member) for i in range(total // member)]
    pictures = [("title.px", picture)] if picture else []
    return write_sparse_archive(path, members, pictures, random)


class MemorySampler:
    """The browser's resident memory (every process under chromedriver), sampled until stopped:
    the peak of the total and of the largest process (the page's renderer with its worker)."""

    def __init__(self, driver):
        self.root = driver.service.process.pid
        self.peak_total = self.peak_process = 0
        self.running = False

    def processes(self):
        children = {}
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open(f"/proc/{pid}/stat") as f:
                    parent = int(f.read().rsplit(")", 1)[1].split()[1])
                children.setdefault(parent, []).append(int(pid))
            except (OSError, ValueError, IndexError):
                pass
        found, todo = [], [self.root]
        while todo:
            pid = todo.pop()
            found.append(pid)
            todo += children.get(pid, [])
        return found

    def sample(self):
        sizes = []
        for pid in self.processes():
            try:
                with open(f"/proc/{pid}/statm") as f:
                    sizes.append(int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE"))
            except (OSError, ValueError):
                pass
        self.peak_total = max(self.peak_total, sum(sizes))
        self.peak_process = max([self.peak_process] + sizes)

    def __enter__(self):
        self.running = True
        self.thread = threading.Thread(target=self.loop, daemon=True)
        self.thread.start()
        return self

    def loop(self):
        while self.running:
            self.sample()
            time.sleep(0.05)

    def __exit__(self, *args):
        self.running = False
        self.thread.join()


def wait_for(driver, script, *args, seconds=120):
    end = time.time() + seconds
    while time.time() < end:
        value = driver.execute_script(script, *args)
        if value:
            return value
        time.sleep(0.02)
    return None


def watch_long_tasks(driver):
    """From now on the page records its long tasks (over 50 ms) in window.longTasks."""
    driver.execute_script(
        "window.longTasks = [];"
        "if (!window.longTaskObserver) {"
        "  window.longTaskObserver = new PerformanceObserver((list) => {"
        "    for (const e of list.getEntries()) window.longTasks.push(e.duration); });"
        "  window.longTaskObserver.observe({type: 'longtask'}); }")


def open_file(driver, path, seconds=120):
    """Chooses a file and waits until its table and the thumbnails in view are shown: the state,
    {table, thumbnails} in ms from the choice, and the long tasks meanwhile (ms)."""
    watch_long_tasks(driver)
    driver.execute_script("document.body.dataset.state = ''")
    driver.find_element(By.ID, "file").send_keys(path)
    state = wait_for(driver, "const s = document.body.dataset.state;"
                             "return s === 'ready' || s === 'failed' ? s : null", seconds=seconds)
    t = driver.execute_script("return window.quorvelTimings")
    times = {key: t[key] - t["chosen"] for key in ("table", "thumbnails", "opened") if key in t}
    return state, times, driver.execute_script("return window.longTasks")


def save_zip(driver, button, downloads, name, seconds=600):
    """Clicks a save button and waits for the zip's download; answers its path and the long
    tasks meanwhile."""
    watch_long_tasks(driver)
    path = os.path.join(downloads, name)
    if os.path.exists(path):
        os.remove(path)
    driver.find_element(By.ID, button).click()
    end = time.time() + seconds
    while not os.path.exists(path) and time.time() < end:
        time.sleep(0.1)
    size = -1
    while time.time() < end and os.path.exists(path) and os.path.getsize(path) != size:
        size = os.path.getsize(path)
        time.sleep(0.5)
    return path, driver.execute_script("return window.longTasks")


def main():
    rounds = int(sys.argv[1]) if len(sys.argv) > 1 else 3
    with tempfile.TemporaryDirectory(dir=os.environ.get("BENCH_DIR", BUILD)) as work:
        game = make_game_archive(os.path.join(work, "game"))
        with open(os.path.join(here, "samples", "alpha32.px"), "rb") as f:
            picture = f.read()
        large = os.path.join(work, "large.a")
        make_large_archive(large, picture=picture)
        zip_source = os.path.join(work, "gigabyte.a")
        make_large_archive(zip_source, total=1024 * MIB, random=True)
        downloads = os.path.join(work, "downloads")
        os.makedirs(downloads)
        server = start_server(os.path.join(here, "build-web"))
        driver = start_browser(os.path.join(work, "profile"), downloads)
        try:
            driver.get(f"http://127.0.0.1:{server.server_address[1]}/")
            wait_for(driver, "return !!window.quorvel")
            print(f"game archive: {os.path.getsize(game) / MIB:.0f} MiB")
            tables, thumbs, longest, counts = [], [], [], []
            for _ in range(rounds):
                state, times, tasks = open_file(driver, game)
                tables.append(times["table"])
                thumbs.append(times["thumbnails"])
                longest.append(max(tasks, default=0))
                counts.append(len(tasks))
            print(f"  table {statistics.median(tables):.0f} ms, thumbnails in view "
                  f"{statistics.median(thumbs):.0f} ms, longest task {statistics.median(longest):.0f} ms "
                  f"({statistics.median(counts):.0f} long tasks), median of {rounds}")
            with MemorySampler(driver) as memory:
                state, times, tasks = open_file(driver, large)
            print(f"large archive ({os.path.getsize(large) / MIB:.0f} MiB): {state}, table "
                  f"{times.get('table', -1):.0f} ms, peak memory {memory.peak_process / MIB:.0f} MiB in "
                  f"one process, {memory.peak_total / MIB:.0f} MiB in all")
            open_file(driver, zip_source)
            with MemorySampler(driver) as memory:
                start = time.time()
                path, tasks = save_zip(driver, "save-zip", downloads, "gigabyte.zip")
            print(f"zip of 1 GiB: {time.time() - start:.1f} s, {os.path.getsize(path) / MIB:.0f} MiB, "
                  f"peak memory {memory.peak_process / MIB:.0f} MiB in one process, "
                  f"{memory.peak_total / MIB:.0f} MiB in all, longest task {max(tasks, default=0):.0f} ms")
        finally:
            driver.quit()
            server.shutdown()


if __name__ == "__main__":
    main()
