#!/usr/bin/env python3
"""The page in headless Chromium, driven through its file input like a person would.

Usage: browser_test.py <built page folder> <test output folder>
The output folder holds what scripts/test-web.sh made: inputs/ (the samples) and reference/
(the native program's -png files). Screenshots and downloads land in it as well.
"""
import base64
import io
import os
import shutil
import sys
import tempfile
import time
import zipfile

from PIL import Image
from selenium.webdriver.common.by import By

from web_driver import start_browser, start_server

PAGE, OUT = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
INPUTS = os.path.join(OUT, "inputs")
REFERENCE = os.path.join(OUT, "reference")
DOWNLOADS = os.path.join(OUT, "downloads")
failures = []
passed = 0


def check(condition, what):
    global passed
    if condition:
        passed += 1
    else:
        failures.append(what)
        print("FAILED:", what)


def wait_for(driver, script, *args, seconds=60):
    end = time.time() + seconds
    while time.time() < end:
        value = driver.execute_script(script, *args)
        if value:
            return value
        time.sleep(0.05)
    return None


def choose(driver, path):
    """Chooses a file in the page's file input and waits until the page has shown it."""
    driver.execute_script("document.body.dataset.state = ''")
    driver.find_element(By.ID, "file").send_keys(path)
    return wait_for(driver, "const s = document.body.dataset.state;"
                            "return s === 'ready' || s === 'failed' ? s : null")


def fetch_bytes(driver, url):
    encoded = driver.execute_async_script(
        "const done = arguments[arguments.length - 1];"
        "fetch(arguments[0]).then(r => r.arrayBuffer()).then(b => {"
        "  let s = ''; for (const x of new Uint8Array(b)) s += String.fromCharCode(x);"
        "  done(btoa(s)); }, e => done(''));", url)
    return base64.b64decode(encoded)


def check_gallery(driver, gallery_id, reference_folder, label):
    """Every picture shown equals the native PNG of the same member, file and pixels."""
    images = driver.find_elements(By.CSS_SELECTOR, f"#{gallery_id} img")
    check(len(images) > 0, f"{label}: the gallery shows pictures")
    for image in images:
        relative = image.get_attribute("data-path")
        shown = fetch_bytes(driver, image.get_attribute("src"))
        native_path = os.path.join(reference_folder, relative)
        if not os.path.exists(native_path):
            check(False, f"{label}: {relative} has no native file")
            continue
        with open(native_path, "rb") as f:
            native = f.read()
        check(shown == native, f"{label}: {relative} is the native PNG byte for byte")
        with Image.open(io.BytesIO(shown)) as a, Image.open(io.BytesIO(native)) as b:
            check(a.size == b.size and a.mode == b.mode and a.tobytes() == b.tobytes(),
                  f"{label}: {relative} has the native PNG's pixels")
            width = driver.execute_script("return arguments[0].naturalWidth", image)
            check(width == a.size[0], f"{label}: the browser decoded {relative}")
    return len(images)


def test_archive(driver):
    sample = os.path.join(INPUTS, "sample.a")
    check(choose(driver, sample) == "ready", "sample.a opens")
    timings = driver.execute_script("return window.quorvelTimings")
    print(f"sample.a: chosen to full gallery in {timings['galleryReady'] - timings['chosen']:.0f} ms")
    blended = os.path.join(REFERENCE, "blended", "sample")
    expected = sorted(os.listdir(blended))
    rows = driver.find_elements(By.CSS_SELECTOR, "#members tbody tr")
    table = [[cell.text for cell in row.find_elements(By.TAG_NAME, "td")] for row in rows]
    names = sorted(r[1][:-3] + ".png" if r[1].endswith(".px") else r[1] for r in table)
    check(names == expected, f"member table names {names} match the native files {expected}")
    for row in table:
        if row[2] != "picture":
            size = os.path.getsize(os.path.join(blended, row[1]))
            check(row[3].replace(",", "") == str(size), f"{row[1]}: size {row[3]} is {size}")
        check(row[5] in ("plain", "LZSS", "LZSS + pixel delta", "wave"), f"{row[1]}: storage {row[5]}")
    check(any(r[1] == "タイトル.txt" for r in table), "the Japanese member name is shown right")
    check_gallery(driver, "gallery", blended, "sample.a")

    # Sounds: each player knows its duration and plays.
    audios = driver.find_elements(By.CSS_SELECTOR, "#sounds audio")
    check(len(audios) == sum(r[2] == "sound" for r in table), "a player for every sound")
    for audio in audios:
        duration = wait_for(driver, "const a = arguments[0];"
                                    "return a.readyState >= 1 && a.duration > 0 ? a.duration : null",
                            audio)
        check(duration is not None, f"sound {audio.get_attribute('data-index')} reports a duration")
        played = driver.execute_async_script(
            "const a = arguments[0], done = arguments[arguments.length - 1];"
            "a.muted = true; a.play().then(() => done(true), e => done(String(e)));", audio)
        check(played is True, f"sound {audio.get_attribute('data-index')} plays ({played})")

    # The text viewer decodes code page 932.
    for row in rows:
        cells = row.find_elements(By.TAG_NAME, "td")
        if cells[1].text == "タイトル.txt":
            cells[6].find_element(By.XPATH, ".//button[text()='View']").click()
    shown = wait_for(driver, "return document.getElementById('text-body').textContent")
    with open(os.path.join(blended, "タイトル.txt"), "rb") as f:
        check(shown == f.read().decode("cp932"), "the Japanese text is shown decoded")

    driver.save_screenshot(os.path.join(OUT, "gallery.png"))

    # Everything as a zip: the native program's folder, file for file.
    driver.find_element(By.ID, "save-zip").click()
    zip_path = os.path.join(DOWNLOADS, "sample.zip")
    end = time.time() + 60
    while not os.path.exists(zip_path) and time.time() < end:
        time.sleep(0.1)
    time.sleep(0.5)
    with zipfile.ZipFile(zip_path) as archive:
        listed = sorted(archive.namelist())
        check(listed == sorted("sample/" + n for n in expected), f"the zip holds {listed}")
        for name in listed:
            with open(os.path.join(REFERENCE, "blended", name), "rb") as f:
                check(archive.read(name) == f.read(), f"zip member {name} is the native file")

    # Another background colour redraws the gallery as -bgcolor would.
    driver.execute_script("const c = document.getElementById('bgcolor'); c.value = '#336699';"
                          "document.body.dataset.state = '';"
                          "c.dispatchEvent(new Event('change'));")
    wait_for(driver, "return document.body.dataset.state === 'ready'")
    check_gallery(driver, "gallery", os.path.join(REFERENCE, "background", "sample"), "bgcolor")
    driver.execute_script("const c = document.getElementById('bgcolor'); c.value = '#00ff00';"
                          "c.dispatchEvent(new Event('change'));")
    wait_for(driver, "return document.body.dataset.state === 'ready'")


def test_pictures(driver):
    for name in sorted(n for n in os.listdir(INPUTS) if n.endswith(".px")):
        check(choose(driver, os.path.join(INPUTS, name)) == "ready", f"{name} opens")
        facts = driver.find_element(By.ID, "picture-facts").text
        check("pixels" in facts, f"{name}: sub-format and size shown ({facts})")
        check_gallery(driver, "picture-view", os.path.join(REFERENCE, "blended"), name)


def test_bad_input(driver, scratch):
    damaged = os.path.join(scratch, "damaged.a")
    with open(os.path.join(INPUTS, "sample.a"), "rb") as f:
        data = f.read()
    with open(damaged, "wb") as f:
        f.write(data[:40])
    choose(driver, damaged)
    message = driver.find_element(By.ID, "message")
    check(message.is_displayed() and message.text, f"a damaged archive says so ({message.text})")
    huge = os.path.join(scratch, "huge.px")
    header = bytearray(64)
    for at in (0, 4, 20, 24):
        header[at:at + 4] = (20000).to_bytes(4, "little")
    header[16:20] = (0x00200001).to_bytes(4, "little")
    with open(huge, "wb") as f:
        f.write(header)
    choose(driver, huge)
    shown = driver.find_element(By.ID, "picture-view").text
    check("too large for the browser's memory" in shown, f"a huge picture says so ({shown})")
    check(choose(driver, os.path.join(INPUTS, "title8.px")) == "ready", "the page goes on afterwards")
    check(not driver.find_element(By.ID, "message").is_displayed(), "the message is gone")


def test_no_outside_requests(driver, origin):
    urls = driver.execute_script(
        "return performance.getEntriesByType('resource').map(e => e.name)"
        ".concat([location.href])")
    outside = [u for u in urls if not (u.startswith(origin) or u.startswith("blob:"))]
    check(not outside, f"no request leaves the page's own folder ({outside})")


def main():
    shutil.rmtree(DOWNLOADS, ignore_errors=True)
    os.makedirs(DOWNLOADS)
    server = start_server(PAGE)
    origin = f"http://127.0.0.1:{server.server_address[1]}/"
    with tempfile.TemporaryDirectory() as scratch:
        driver = start_browser(os.path.join(scratch, "profile"), DOWNLOADS)
        try:
            driver.set_script_timeout(60)
            driver.get(origin)
            check(wait_for(driver, "return !!window.quorvel") is True, "window.quorvel is there")
            test_archive(driver)
            test_pictures(driver)
            test_bad_input(driver, scratch)
            test_no_outside_requests(driver, origin)
            logs = [e for e in driver.get_log("browser") if e["level"] == "SEVERE"]
            check(not logs, f"no errors in the console ({logs})")
        finally:
            driver.quit()
            server.shutdown()
    print(f"browser: {passed} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
