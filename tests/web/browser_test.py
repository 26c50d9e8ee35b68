#!/usr/bin/env python3
"""The page in headless Chromium, driven through its file input like a person would.

Usage: browser_test.py <built page folder> <test output folder>
The output folder holds what scripts/test-web.sh made: inputs/ (the samples) and reference/
(the native program's -png files; only/ those of sample.a with -only:ONLY). Screenshots and
downloads land in it as well.
"""
import base64
import io
import os
import re
import shutil
import struct
import sys
import tempfile
import time
import zipfile

from PIL import Image
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

from web_driver import start_browser, start_server

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench"))
from web_page import (MIB, MemorySampler, make_game_archive, make_large_archive,  # noqa: E402
                      open_file, save_zip, wait_for)

PAGE, OUT = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
INPUTS = os.path.join(OUT, "inputs")
REFERENCE = os.path.join(OUT, "reference")
DOWNLOADS = os.path.join(OUT, "downloads")
ONLY = "*.px;*.wav"
failures = []
passed = 0


def check(condition, what):
    global passed
    if condition:
        passed += 1
    else:
        failures.append(what)
        print("FAILED:", what)


def fetch_bytes(driver, url):
    encoded = driver.execute_async_script(
        "const done = arguments[arguments.length - 1];"
        "fetch(arguments[0]).then(r => r.arrayBuffer()).then(b => {"
        "  let s = ''; for (const x of new Uint8Array(b)) s += String.fromCharCode(x);"
        "  done(btoa(s)); }, e => done(''));", url)
    return base64.b64decode(encoded)


def native(folder, relative):
    with open(os.path.join(folder, relative), "rb") as f:
        return f.read()


def check_png(driver, image, native_path, label):
    """An image shown equals the native PNG, file and pixels, and the browser decoded it."""
    shown = fetch_bytes(driver, image.get_attribute("src"))
    if not os.path.exists(native_path):
        check(False, f"{label}: {native_path} has no native file")
        return
    expected = native(os.path.dirname(native_path), os.path.basename(native_path))
    check(shown == expected, f"{label}: the native PNG byte for byte")
    with Image.open(io.BytesIO(shown)) as a, Image.open(io.BytesIO(expected)) as b:
        check(a.size == b.size and a.mode == b.mode and a.tobytes() == b.tobytes(),
              f"{label}: the native PNG's pixels")
        width = wait_for(driver, "return arguments[0].naturalWidth", image)
        check(width == a.size[0], f"{label}: the browser decoded it")


def check_picture_view(driver, reference_folder, label):
    """Every full picture of a picture file equals the native PNG."""
    images = driver.find_elements(By.CSS_SELECTOR, "#picture-view img")
    check(len(images) > 0, f"{label}: the picture is shown")
    for image in images:
        relative = image.get_attribute("data-path")
        check_png(driver, image, os.path.join(reference_folder, relative), f"{label}: {relative}")


def table(driver):
    rows = driver.find_elements(By.CSS_SELECTOR, "#members tbody tr")
    return [[cell.text for cell in row.find_elements(By.TAG_NAME, "td")] for row in rows]


def zip_listing(path):
    with zipfile.ZipFile(path) as archive:
        return {name: archive.read(name) for name in archive.namelist()}


def check_zip(path, reference, names, label):
    """The zip holds exactly the native files of names (relative to reference), byte for byte."""
    files = zip_listing(path) if os.path.exists(path) else {}
    check(sorted(files) == sorted(names), f"{label}: the zip holds {sorted(files)}, not {sorted(names)}")
    for name in names:
        if name in files:
            check(files[name] == native(reference, name), f"{label}: {name} is the native file")


def files_below(folder, prefix=""):
    found = []
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        found += files_below(path, prefix + name + "/") if os.path.isdir(path) else [prefix + name]
    return found


def click(driver, element):
    driver.execute_script("arguments[0].scrollIntoView({block: 'center'})", element)
    element.click()


def test_archive(driver):
    sample = os.path.join(INPUTS, "sample.a")
    state, times, _ = open_file(driver, sample)
    check(state == "ready", "sample.a opens")
    print(f"sample.a: table in {times['table']:.0f} ms, thumbnails in view in {times['thumbnails']:.0f} ms")
    blended = os.path.join(REFERENCE, "blended", "sample")
    expected = sorted(os.listdir(blended))
    rows = table(driver)
    names = sorted(r[2][:-3] + ".png" if r[2].endswith(".px") else r[2] for r in rows)
    check(names == expected, f"member table names {names} match the native files {expected}")
    for row in rows:
        if row[3] != "picture":
            size = os.path.getsize(os.path.join(blended, row[2]))
            check(row[5].replace(",", "") == str(size), f"{row[2]}: size {row[5]} is {size}")
        check(row[7] in ("plain", "LZSS", "LZSS + pixel delta", "wave"), f"{row[2]}: storage {row[7]}")
    check(any(r[2] == "タイトル.txt" for r in rows), "the Japanese member name is shown right")

    # The facts of every member: width x height of pictures, the length of sounds.
    check(wait_for(driver, "return document.body.dataset.facts === 'done'"), "the members' facts are read")
    for row in table(driver):
        if row[3] == "picture":
            check(re.fullmatch(r"\d+ × \d+( \(\d+\))?", row[4]), f"{row[2]}: picture size '{row[4]}'")
        if row[3] == "sound":
            check(re.fullmatch(r"\d+\.\d s", row[4]), f"{row[2]}: sound length '{row[4]}'")

    # Thumbnails: one per image, small; the viewer shows the native PNG.
    thumbnails = driver.find_elements(By.CSS_SELECTOR, "#gallery img")
    pictures = [r for r in rows if r[3] == "picture"]
    check(len(thumbnails) >= len(pictures), f"{len(thumbnails)} thumbnails for {len(pictures)} pictures")
    sizes = driver.execute_script("return [...document.querySelectorAll('#gallery img')]"
                                  ".map(i => Math.max(i.naturalWidth, i.naturalHeight))")
    check(all(0 < s <= 160 for s in sizes), f"thumbnails are at most 160 pixels ({sizes})")
    for thumbnail in driver.find_elements(By.CSS_SELECTOR, "#gallery button.thumbnail"):
        relative = thumbnail.find_element(By.TAG_NAME, "img").get_attribute("data-path")
        click(driver, thumbnail)
        wait_for(driver, "return !document.getElementById('viewer').hidden")
        check_png(driver, driver.find_element(By.ID, "viewer-image"), os.path.join(blended, relative),
                  f"viewer: {relative}")
        facts = driver.find_element(By.ID, "viewer-facts").text
        check(re.search(r"\d+ × \d+ pixels, \d+ bits", facts), f"viewer: {relative} facts ({facts})")
        driver.find_element(By.CSS_SELECTOR, "[data-zoom='4']").click()
        check("enlarged" in driver.find_element(By.ID, "viewer-image").get_attribute("class"),
              "400 % is drawn as blocks")
        driver.find_element(By.CSS_SELECTOR, "[data-zoom='fit']").click()
        check("enlarged" not in driver.find_element(By.ID, "viewer-image").get_attribute("class"),
              "fit is drawn smoothly")
        ActionChains(driver).send_keys(Keys.ESCAPE).perform()
        check(wait_for(driver, "return document.getElementById('viewer').hidden"), "Escape closes the viewer")

    # Sounds: loaded when asked for, each knows its duration and plays.
    for button in driver.find_elements(By.CSS_SELECTOR, "#sounds button"):
        click(driver, button)
    # Each player appears once its sound is decoded by the worker, so wait for all of them.
    sounds = sum(r[3] == "sound" for r in rows)
    wait_for(driver, "return document.querySelectorAll('#sounds audio').length >= arguments[0]",
             sounds, seconds=60)
    audios = driver.find_elements(By.CSS_SELECTOR, "#sounds audio")
    check(len(audios) == sounds, "a player for every sound")
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
    for row in driver.find_elements(By.CSS_SELECTOR, "#members tbody tr"):
        cells = row.find_elements(By.TAG_NAME, "td")
        if cells[2].text == "タイトル.txt":
            click(driver, cells[8].find_element(By.XPATH, ".//button[text()='View']"))
    shown = wait_for(driver, "return document.getElementById('text-body').textContent")
    check(shown == native(blended, "タイトル.txt").decode("cp932"), "the Japanese text is shown decoded")
    driver.save_screenshot(os.path.join(OUT, "gallery.png"))

    # Everything as a zip: the native program's folder, file for file.
    path, _ = save_zip(driver, "save-zip", DOWNLOADS, "sample.zip")
    check_zip(path, os.path.join(REFERENCE, "blended"), ["sample/" + n for n in expected], "everything")

    # Another background colour redraws the thumbnails in view and the viewer as -bgcolor would.
    before = driver.execute_script("return document.querySelector('#gallery img').src")
    driver.execute_script("const c = document.getElementById('bgcolor'); c.value = '#336699';"
                          "c.dispatchEvent(new Event('change'));")
    check(wait_for(driver, "return document.querySelector('#gallery img').src !== arguments[0]", before),
          "the thumbnails in view are drawn again")
    first = driver.find_element(By.CSS_SELECTOR, "#gallery button.thumbnail")
    relative = first.find_element(By.TAG_NAME, "img").get_attribute("data-path")
    click(driver, first)
    wait_for(driver, "return !document.getElementById('viewer').hidden")
    check_png(driver, driver.find_element(By.ID, "viewer-image"),
              os.path.join(REFERENCE, "background", "sample", relative), f"bgcolor viewer: {relative}")
    driver.find_element(By.ID, "viewer-close").click()
    driver.execute_script("const c = document.getElementById('bgcolor'); c.value = '#00ff00';"
                          "c.dispatchEvent(new Event('change'));")


def test_table(driver):
    """Filter, sort and a selection saved as a zip, against -only: of the command line."""
    open_file(driver, os.path.join(INPUTS, "sample.a"))
    all_names = [r[2] for r in table(driver)]
    box = driver.find_element(By.ID, "filter")
    box.send_keys(ONLY)
    shown = wait_for(driver, "const n = [...document.querySelectorAll('#members tbody tr')].length;"
                             "return n < arguments[0] ? n : null", len(all_names), seconds=10)
    only = files_below(os.path.join(REFERENCE, "only"))
    check(shown is not None, f"the filter {ONLY} leaves fewer rows ({shown})")
    rows = table(driver)
    stems = sorted(r[2][:-3] if r[2].endswith(".px") else r[2] for r in rows)
    native_stems = sorted({re.sub(r"\.png$", "", n.split("/")[1]) for n in only})
    check(stems == native_stems, f"the filter shows {stems}, -only: writes {native_stems}")

    # Sorting by name, then the other way; by size of the bytes.
    sort = lambda column: click(driver, driver.find_element(By.CSS_SELECTOR, f"th[data-sort={column}] button"))
    box.clear()
    box.send_keys(Keys.BACKSPACE)
    wait_for(driver, "return document.querySelectorAll('#members tbody tr').length === arguments[0]",
             len(all_names))
    sort("name")
    names = [r[2] for r in table(driver)]
    check(names == sorted(names, key=lambda n: (n.lower(), n)) or names == sorted(names),
          f"sorted by name: {names}")
    sort("name")
    check([r[2] for r in table(driver)] == names[::-1], "sorted by name the other way")
    sort("size")
    sizes = [int(r[5].replace(",", "")) for r in table(driver)]
    check(sizes == sorted(sizes), f"sorted by size: {sizes}")
    sort("index")

    # Shift-click ticks a range; "select all shown" what the filter shows; the selection's zip.
    ticks = driver.find_elements(By.CSS_SELECTOR, "#members tbody input[type=checkbox]")
    click(driver, ticks[0])
    ActionChains(driver).key_down(Keys.SHIFT).click(ticks[2]).key_up(Keys.SHIFT).perform()
    selected = driver.execute_script("return document.querySelectorAll('#members tbody input:checked').length")
    check(selected == 3, f"shift-click ticks the range ({selected})")
    click(driver, driver.find_element(By.ID, "select-none"))
    box.send_keys(ONLY)
    wait_for(driver, "return document.querySelectorAll('#members tbody tr').length === arguments[0]", len(rows))
    click(driver, driver.find_element(By.ID, "select-shown"))
    path, _ = save_zip(driver, "save-selection", DOWNLOADS, "sample.zip")
    check_zip(path, os.path.join(REFERENCE, "only"), only, "the selection")


def test_pictures(driver):
    for name in sorted(n for n in os.listdir(INPUTS) if n.endswith(".px")):
        state, _, _ = open_file(driver, os.path.join(INPUTS, name))
        check(state == "ready", f"{name} opens")
        facts = driver.find_element(By.ID, "picture-facts").text
        check("pixels" in facts, f"{name}: sub-format and size shown ({facts})")
        check_picture_view(driver, os.path.join(REFERENCE, "blended"), name)


def test_interface(driver):
    """window.quorvel, answered by the worker, takes a File as well as bytes."""
    picture = native(INPUTS, "title8.px")
    expected = native(os.path.join(REFERENCE, "blended"), "title8.png")
    for form in ("new File([bytes], 'title8.px')", "bytes"):
        encoded = driver.execute_async_script(
            "const done = arguments[arguments.length - 1];"
            "const bytes = Uint8Array.from(atob(arguments[0]), (c) => c.charCodeAt(0));"
            f"quorvel.open({form}, 'title8.px').then(() => quorvel.png(0)).then((png) => {{"
            "  let s = ''; for (const x of png) s += String.fromCharCode(x); done(btoa(s)); },"
            "  (e) => done(String(e)));", base64.b64encode(picture).decode())
        check(base64.b64decode(encoded) == expected, f"quorvel.open({form.split('(')[0]}) then png()")


def message(driver):
    shown = driver.find_element(By.ID, "message")
    return shown.text if shown.is_displayed() else ""


def test_bad_input(driver, scratch):
    """What is left of an earlier file, and the messages of damaged ones."""
    with open(os.path.join(INPUTS, "sample.a"), "rb") as f:
        data = f.read()
    damaged = os.path.join(scratch, "damaged.a")
    with open(damaged, "wb") as f:
        f.write(data[:40])
    state, _, _ = open_file(driver, damaged)
    check(message(driver), f"a damaged archive says so ({message(driver)})")
    open_file(driver, os.path.join(INPUTS, "sample.a"))
    check(not message(driver), f"the next archive clears the message ({message(driver)})")

    # A picture cut short whose header reads: shown as damaged, with nothing of the one before.
    open_file(driver, os.path.join(INPUTS, "title8.px"))
    with open(os.path.join(INPUTS, "title8.px"), "rb") as f:
        picture = f.read()
    cut = os.path.join(scratch, "cut.px")
    with open(cut, "wb") as f:
        f.write(picture[:len(picture) // 2])
    state, _, _ = open_file(driver, cut)
    check(state == "failed", f"a cut picture is not reported as open ({state})")
    check("cut.px" in message(driver), f"a cut picture says why ({message(driver)})")
    check(driver.find_element(By.ID, "picture-title").text == "cut.px", "its own title")
    check(not driver.find_elements(By.CSS_SELECTOR, "#picture-view img"), "no picture of the one before")
    check(not driver.find_element(By.ID, "save-picture").is_displayed(), "no save buttons for it")

    # An archive cut in its directory: its failures counted, not all named.
    many = os.path.join(scratch, "many.a")
    records = bytearray(struct.pack("<HH", 0xAF1E, 150))
    for i in range(150):
        records += f"m{i:03}.dat".encode().ljust(24, b"\0") + struct.pack("<II", 1000, i * 1000)
    with open(many, "wb") as f:
        f.write(records + b"x" * 5000)
    open_file(driver, many)
    wait_for(driver, "return document.body.dataset.facts === 'done'")
    text = message(driver)
    check("145 of 150" in text and "and 135 more" in text, f"a cut archive counts its failures ({text})")

    huge = os.path.join(scratch, "huge.px")
    header = bytearray(64)
    for at in (0, 4, 20, 24):
        header[at:at + 4] = (20000).to_bytes(4, "little")
    header[16:20] = (0x00200001).to_bytes(4, "little")
    with open(huge, "wb") as f:
        f.write(header)
    open_file(driver, huge)
    shown = driver.find_element(By.ID, "picture-view").text
    check(re.search(r"too large for the browser's memory: 20000 [x×] 20000 pixels", shown) is not None,
          f"a huge picture says its size and the limit ({shown})")
    state, _, _ = open_file(driver, os.path.join(INPUTS, "title8.px"))
    check(state == "ready", "the page goes on afterwards")
    check(not message(driver), "the message is gone")


def test_several_files(driver):
    names = ["title8.px", "sample.a"]
    driver.execute_script("document.body.dataset.state = ''")
    driver.find_element(By.ID, "file").send_keys("\n".join(os.path.join(INPUTS, n) for n in names))
    wait_for(driver, "return document.body.dataset.state === 'ready'")
    listed = [b.text for b in driver.find_elements(By.CSS_SELECTOR, "#opened-list button")]
    check(listed[-2:] == names, f"the opened files are listed ({listed})")
    check(driver.find_element(By.ID, "picture-title").text == "title8.px", "the first one is opened")
    status = driver.find_element(By.ID, "status").text
    check("2 files" in status, f"the page says what it did with the others ({status})")
    driver.execute_script("document.body.dataset.state = ''")
    click(driver, driver.find_elements(By.CSS_SELECTOR, "#opened-list button")[-1])
    wait_for(driver, "return document.body.dataset.state === 'ready'")
    check(driver.find_element(By.ID, "archive-title").text == "sample.a", "another is opened from the list")


def test_keyboard(driver):
    """Tab reaches every control, with a visible focus; the Open button comes first."""
    driver.get(driver.current_url)
    wait_for(driver, "return !!window.quorvel")
    open_file(driver, os.path.join(INPUTS, "sample.a"))
    # Tab goes on from the page's heading.
    driver.execute_script("const h = document.querySelector('h1'); h.tabIndex = -1; h.focus()")
    reached, unmarked = [], []
    for _ in range(40):
        ActionChains(driver).send_keys(Keys.TAB).perform()
        focused = driver.execute_script(
            "const e = document.activeElement, s = getComputedStyle(e);"
            "return [e.id || e.textContent.trim().slice(0, 20) || e.type, s.outlineStyle, s.outlineWidth]")
        reached.append(focused[0])
        if focused[1] == "none" or focused[2] == "0px":
            unmarked.append(focused[0])
    check(reached[0] == "open", f"the first Tab stop is the Open button ({reached[:3]})")
    check("file" not in reached, "the file input is reached through the Open button only")
    for control in ("bgcolor", "alpha", "filter", "select-shown", "save-zip"):
        check(control in reached, f"Tab reaches {control} ({reached})")
    check(not unmarked, f"the focus is visible on every control ({unmarked})")
    # Sorting from the keyboard.
    header = driver.find_element(By.CSS_SELECTOR, "th[data-sort=name] button")
    driver.execute_script("arguments[0].focus()", header)
    ActionChains(driver).send_keys(Keys.ENTER).perform()
    check(driver.find_element(By.CSS_SELECTOR, "th[data-sort=name]").get_attribute("aria-sort")
          == "ascending", "Enter on a column's header sorts by it")


def test_scale(driver, scratch):
    """A game archive opens without a long task over 100 ms; a 1.5 GB one in bounded memory."""
    game = make_game_archive(os.path.join(scratch, "game"))
    state, times, tasks = open_file(driver, game)
    print(f"game archive: table in {times['table']:.0f} ms, thumbnails in view in "
          f"{times['thumbnails']:.0f} ms, long tasks {[round(t) for t in tasks]}")
    check(state == "ready", "the game archive opens")
    check(max(tasks, default=0) <= 100, f"no long task over 100 ms ({tasks})")
    large = os.path.join(scratch, "large.a")
    make_large_archive(large, picture=native(INPUTS, "title8.px"))
    with MemorySampler(driver) as memory:
        state, times, tasks = open_file(driver, large)
    print(f"1.5 GiB archive: table in {times.get('table', -1):.0f} ms, peak "
          f"{memory.peak_process / MIB:.0f} MiB in one process")
    check(state == "ready", "the 1.5 GiB archive opens")
    check(memory.peak_process < 1024 * MIB, f"it opens in bounded memory ({memory.peak_process / MIB:.0f} MiB)")
    check(len(table(driver)) == 97, "all its members are listed")

    # Its zip is stopped with Cancel: said so, nothing saved.
    before = set(os.listdir(DOWNLOADS))
    click(driver, driver.find_element(By.ID, "save-zip"))
    check(wait_for(driver, "return !document.getElementById('work').hidden", seconds=30), "the zip shows progress")
    click(driver, driver.find_element(By.ID, "cancel"))
    text = wait_for(driver, "const m = document.getElementById('message');"
                            "return m.hidden ? null : m.textContent", seconds=60)
    check(text and "cancelled" in text, f"a cancelled zip says so ({text})")
    check(driver.find_element(By.ID, "work").is_displayed() is False, "the progress bar is gone")
    time.sleep(1)
    check(set(os.listdir(DOWNLOADS)) == before, "a cancelled zip saves nothing")


def test_file_page(driver):
    driver.get("file://" + os.path.join(PAGE, "index.html"))
    text = wait_for(driver, "return document.getElementById('message').textContent", seconds=10)
    check(text and "scripts/serve-web.sh" in text, f"a file:// page says how to serve it ({text})")


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
            test_table(driver)
            test_pictures(driver)
            test_interface(driver)
            test_bad_input(driver, scratch)
            test_several_files(driver)
            test_keyboard(driver)
            test_scale(driver, scratch)
            test_no_outside_requests(driver, origin)
            logs = [e for e in driver.get_log("browser") if e["level"] == "SEVERE"]
            check(not logs, f"no errors in the console ({logs})")
            test_file_page(driver)
        finally:
            driver.quit()
            server.shutdown()
    print(f"browser: {passed} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
