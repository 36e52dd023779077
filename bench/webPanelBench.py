#!/usr/bin/env python3
"""webPanel.x over loopback, measured in a real headless Chromium (not a test):

  key to display   a key clicked in the page to the changed display in the
                   page (page -> webPanel.x -> pty -> doVA.x -> pty ->
                   webPanel.x -> page): median, p99, max over N keys
  CPU              webPanel.x's CPU share on the level-meter screen with 1
                   and with 10 pages open, and the display updates a page
                   draws per second

    python3 bench/webPanelBench.py [keys] [cpu seconds]    (defaults 200, 10)

The programs come from build/bin (or DOVA_BENCH_BIN) and run from a
private bin directory with a private status region, so the benchmark runs
beside a live system; everything it starts is stopped at the end.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools", "webPanel", "tests"))
from browser import Browser  # noqa: E402

SCREEN = "document.getElementById('screen').innerText"
# one key clicked in the page, resolved with the ms until the display changed
MEASURE = """new Promise(done => {
  const s = document.getElementById('screen'), before = s.innerText, t0 = performance.now();
  const ob = new MutationObserver(() => {
    if (s.innerText !== before) { ob.disconnect(); done(performance.now() - t0); }
  });
  ob.observe(s, {subtree: true, childList: true, characterData: true});
  document.getElementById('k-%s').click();
  setTimeout(() => { ob.disconnect(); done(-1); }, 3000);
})"""
# display changes a page draws in 3 s
UPDATES = """new Promise(done => {
  let n = 0; const ob = new MutationObserver(() => ++n);
  ob.observe(document.getElementById('screen'), {subtree: true, childList: true, characterData: true});
  setTimeout(() => { ob.disconnect(); done(n / 3); }, 3000);
})"""


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def wait_for(path, text, seconds):
    deadline = time.time() + seconds
    while time.time() < deadline:
        try:
            with open(path) as f:
                if text in f.read():
                    return
        except OSError:
            pass
        time.sleep(0.05)
    raise RuntimeError(f"'{text}' did not show in {path}")


def main():
    keys = int(sys.argv[1]) if len(sys.argv) > 1 else 200
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 10
    build = os.environ.get("DOVA_BENCH_BIN", os.path.join(ROOT, "build", "bin"))
    work = tempfile.mkdtemp(prefix="dova-webbench.")
    bindir = os.path.join(work, "bin")
    os.mkdir(bindir)
    for prog in ("doVA.x", "cfgMaster.x", "statusWriter.x", "webPanel.x"):
        os.symlink(os.path.join(build, prog), os.path.join(bindir, prog))
    shm = f"/dovaWebBench.{os.getpid()}"
    env = dict(os.environ, DOVA_STATUS_SHM=shm)
    procs = []
    browser = None

    def start(args, log, extra_env=None):
        out = open(os.path.join(work, log), "w")
        p = subprocess.Popen(args, cwd=bindir, stdout=out, stderr=subprocess.STDOUT,
                             stdin=subprocess.DEVNULL, env=dict(env, **(extra_env or {})))
        procs.append(p)
        return p

    try:
        start([os.path.join(bindir, "statusWriter.x"), "-shm", shm, "-lock", "0", "-q"], "writer.log")
        start([os.path.join(bindir, "cfgMaster.x"), "-C", work, "-T", "1"], "master.log")
        wait_for(os.path.join(work, "master.log"), "configuration master ready", 10)
        panel = start([os.path.join(bindir, "webPanel.x"), "-l", "127.0.0.1:0", "-o",
                       os.path.join(work, "lcd.dev")], "panel.log")
        wait_for(os.path.join(work, "panel.log"), "Web panel: ", 10)
        with open(os.path.join(work, "panel.log")) as f:
            url = f.read().split("Web panel: ")[1].split()[0]
        with open(os.path.join(work, "lcd.dev")) as f:
            device = f.read().strip()
        start([os.path.join(bindir, "doVA.x"), "-i"], "console.log", {"DOVA_LCD_DEVICE": device})
        browser = Browser()
        page = browser.open(url)
        ok, _ = browser.wait(page, 15000, SCREEN + ".includes('Edit Settings')")
        if not ok:
            raise RuntimeError("the menu did not show")
        time.sleep(1.5)  # the start-up log's last second

        times = []
        for i in range(keys):
            ms = browser.evaluate(page, MEASURE % ("down" if i % 2 == 0 else "up"))
            if ms >= 0:
                times.append(ms)
            time.sleep(0.1)  # a finger's pace: keys go out 80 ms apart
        times.sort()
        if times:
            print(f"key to display in the page: {len(times)}/{keys} keys, median "
                  f"{times[len(times) // 2]:.1f} ms, p99 {times[min(len(times) - 1, len(times) * 99 // 100)]:.1f}"
                  f" ms, max {times[-1]:.1f} ms")

        # the level-meter screen: View Status > Status and Alarms > ANALOG LEVELS
        for key in ("down", "right", "down", "down", "right"):
            browser.evaluate(page, MEASURE % key)
            time.sleep(0.15)
        ok, _ = browser.wait(page, 5000, SCREEN + ".includes('ANALOG LEVELS')")
        if not ok:
            raise RuntimeError("the level-meter screen did not show")
        for pages in (1, 10):
            while len(browser.pages) < pages:
                browser.open(url)
            time.sleep(1.0)
            before, t0 = cpu_seconds(panel.pid), time.time()
            time.sleep(seconds)
            share = (cpu_seconds(panel.pid) - before) / (time.time() - t0) * 100
            rate = browser.evaluate(page, UPDATES)
            print(f"webPanel.x CPU on the level-meter screen with {pages:2d} page(s): {share:.1f} % "
                  f"of one core; a page draws {rate:.0f} display changes/s")
    finally:
        if browser:
            browser.close()
        for p in reversed(procs):
            p.terminate()
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
        try:
            os.unlink("/dev/shm" + shm)
        except OSError:
            pass
        # the queues keyed on the private bin directory
        st = os.stat(bindir)
        for b in (65, 190, 104, 151):
            key = (((b << 24) | ((st.st_dev & 0xFF) << 16) | (st.st_ino & 0xFFFF)) + 99) & 0xFFFFFFFF
            subprocess.run(["ipcrm", "-Q", hex(key)], stderr=subprocess.DEVNULL)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
