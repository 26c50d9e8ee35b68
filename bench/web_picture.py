#!/usr/bin/env python3
"""A 4096 x 4096 32-bit plain picture converted to PNG in the browser page (headless Chromium)
and by the native program, side by side in one run: medians and their ratio, blended and with
raw alpha. The browser's time is that of quorvel.png() on the opened picture (decode, PNG
encoding, copy out of the module); the native one that of the whole `quorvel -png` run (reading
and writing the file included).

Usage: bench/web_picture.py [rounds]   (after scripts/build-web.sh and a native build in build/)
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

here = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(here, "tests", "web"))
from web_driver import start_browser, start_server  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402

ROUNDS = int(sys.argv[1]) if len(sys.argv) > 1 else 7
BUILD = os.path.join(here, "build")


def native_ms(picture, switches):
    start = time.perf_counter()
    subprocess.run([os.path.join(BUILD, "quorvel"), "-png", *switches, picture], check=True,
                   stdout=subprocess.DEVNULL)
    return (time.perf_counter() - start) * 1000


def main():
    with tempfile.TemporaryDirectory() as work:
        picture = os.path.join(work, "big.px")
        subprocess.run([os.path.join(BUILD, "quorvel-make-samples"), "--plain32", picture, "4096",
                        "4096"], check=True)
        server = start_server(os.path.join(here, "build-web"))
        driver = start_browser(os.path.join(work, "profile"), work)
        try:
            driver.set_script_timeout(300)
            driver.get(f"http://127.0.0.1:{server.server_address[1]}/")
            driver.find_element(By.ID, "file").send_keys(picture)
            while driver.execute_script("return document.body.dataset.state") not in ("ready", "failed"):
                time.sleep(0.1)
            for label, raw, switches in (("blended", False, []), ("raw", True, ["-raw"])):
                browser, native = [], []
                for _ in range(ROUNDS):
                    browser.append(driver.execute_async_script(
                        "const done = arguments[arguments.length - 1], t = performance.now();"
                        "quorvel.png(0, {raw: arguments[0]}).then(() => done(performance.now() - t),"
                        " e => done(-1));", raw))
                    native.append(native_ms(picture, switches))
                b, n = statistics.median(browser), statistics.median(native)
                print(f"{label}: browser {b:.0f} ms, native {n:.0f} ms (median of {ROUNDS}), "
                      f"browser / native {b / n:.2f}")
        finally:
            driver.quit()
            server.shutdown()


if __name__ == "__main__":
    main()
