// The page: opens files chosen or dropped, shows an archive's members (a table to filter, sort
// and select from, a gallery of thumbnails made for what is in view, sounds, texts) or a picture,
// and saves what the user asks for. The converter runs in a worker behind window.quorvel; this
// thread only draws, so that the page never waits on a conversion.
"use strict";

const $ = (id) => document.getElementById(id);
const quorvel = createQuorvelInWorker("worker.js");
window.quorvel = quorvel;
// performance.now() of the last file chosen, its table shown, the thumbnails in view made.
window.quorvelTimings = {};

const THUMBNAIL_PIXELS = 160;
const CACHED_THUMBNAILS = 600;
const NAMES_IN_A_MESSAGE = 10;

// Everything that belongs to the file on view; replaced whole when another is opened.
let view = null;
const thumbnailCache = new Map(); // "index|choice" -> [{path, width, height, url}]
const openedFiles = [];           // every file chosen or dropped, in the list of opened files

function newView(file) {
  return {
    file,
    entries: [],
    facts: [],           // per entry: what facts() answered, once it has
    failed: new Map(),   // entry index -> why it cannot be read or converted
    selected: new Set(),
    shownOrder: [],      // entry indexes in the table's order, after the filter
    sort: { key: "index", down: false },
    wanted: [],          // gallery figures in view whose thumbnails are still to be made
    inView: new Set(),
    busy: false,
    factsNext: 0,
    urls: [],            // object URLs of this file's sounds and full pictures
  };
}

// --- small helpers ----------------------------------------------------------------------------

function element(tag, properties = {}, children = []) {
  const node = Object.assign(document.createElement(tag), properties);
  node.append(...children);
  return node;
}

function showMessage(text) {
  $("message").textContent = text;
  $("message").hidden = !text;
}

function setStatus(text) {
  $("status").textContent = text;
}

function objectUrl(bytes, type) {
  const url = URL.createObjectURL(bytes instanceof Blob ? bytes : new Blob([bytes], { type }));
  if (view) view.urls.push(url);
  return url;
}

function pictureChoice() {
  return { raw: $("alpha").checked, bgcolor: $("bgcolor").value };
}

function choiceKey() {
  const choice = pictureChoice();
  return choice.raw ? "raw" : choice.bgcolor;
}

function saveBlob(blob, name) {
  const url = URL.createObjectURL(blob);
  const link = element("a", { href: url, download: name });
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

function baseName(path) {
  return path.slice(path.lastIndexOf("/") + 1);
}

function stem(name) {
  return name.replace(/\.[^.]*$/, "");
}

const formatBytes = (n) => n.toLocaleString("en-US");

// Names of failures, at most a few, the rest counted.
function namesCut(names) {
  const shown = names.slice(0, NAMES_IN_A_MESSAGE).map((name) => name || "(no name)");
  const more = names.length - shown.length;
  return shown.join(", ") + (more > 0 ? ` and ${more} more` : "");
}

async function guarded(work) {
  try {
    await work();
  } catch (error) {
    showMessage(error.message);
  }
}

// --- work with progress and a cancel button ---------------------------------------------------

let cancelWork = null;

function showWork(text, done, total, cancel) {
  $("work").hidden = false;
  $("work-text").textContent = text;
  $("progress").max = Math.max(total, 1);
  $("progress").value = done;
  cancelWork = cancel;
}

function endWork() {
  $("work").hidden = true;
  cancelWork = null;
}

// --- saving -----------------------------------------------------------------------------------

// A picture as one PNG, or a series as a zip of its images.
async function savePicture(index, raw) {
  const entry = quorvel.entries[index];
  const files = await quorvel.files(index, { ...pictureChoice(), raw });
  if (files.length === 1) {
    saveBlob(new Blob([files[0].bytes], { type: "image/png" }), baseName(files[0].path));
    return;
  }
  const parts = [];
  await new Promise((resolve, reject) => {
    const zip = new fflate.Zip((error, chunk, final) => {
      if (error) return reject(error);
      parts.push(chunk);
      if (final) resolve();
    });
    for (const file of files) {
      const member = new fflate.ZipPassThrough(file.path);
      zip.add(member);
      member.push(file.bytes, true);
    }
    zip.end();
  });
  saveBlob(new Blob(parts, { type: "application/zip" }), stem(entry.name) + ".zip");
}

async function saveMember(index) {
  const entry = quorvel.entries[index];
  const type = entry.kind === "sound" ? "audio/wav" : "application/octet-stream";
  saveBlob(new Blob([await quorvel.member(index)], { type }), entry.name);
}

// The file a zip goes to where the browser lets the person choose one (not under test
// automation, which cannot answer the dialog); null: the worker writes it to the page's own
// storage, or hands its pieces over to be gathered here.
async function chosenZipFile(name) {
  if (!window.showSaveFilePicker || navigator.webdriver) return null;
  return window.showSaveFilePicker({ suggestedName: name });
}

// The entries given, as a conversion writes them, into a zip in a folder named after the archive.
async function saveZip(indexes) {
  const name = `${quorvel.outputName}.zip`;
  const file = await chosenZipFile(name);
  const pieces = [];
  const mine = view;
  showWork(`Making ${name}`, 0, indexes.length, () => quorvel.cancel());
  try {
    const answer = await quorvel.zip(indexes, {
      ...pictureChoice(),
      file,
      onChunk: (chunk) => pieces.push(new Blob([chunk])),
      onProgress: ({ done, total }) => showWork(`Making ${name}: ${done} of ${total}`, done, total,
                                                () => quorvel.cancel()),
    });
    if (answer.file) saveBlob(answer.file, name);
    else if (!file) saveBlob(new Blob(pieces, { type: "application/zip" }), name);
    if (mine !== view) return;
    setStatus(`Saved ${name} (${indexes.length - answer.failed.length} of ${indexes.length} members)`);
    if (answer.failed.length) {
      showMessage(`Not in the zip (damaged or unusable): ${namesCut(answer.failed.map((f) => f.name))}`);
    }
  } finally {
    pieces.splice(0);
    endWork();
  }
}

// --- the table --------------------------------------------------------------------------------

function sizeText(index) {
  const facts = view.facts[index];
  if (!facts) return "";
  if (facts.width !== undefined) {
    return `${facts.width} × ${facts.height}` + (facts.images > 1 ? ` (${facts.images})` : "");
  }
  return facts.seconds !== undefined && facts.seconds !== null ? `${facts.seconds.toFixed(1)} s` : "";
}

// What a column sorts by.
function sortValue(index, key) {
  const entry = view.entries[index];
  if (key === "index") return index;
  if (key === "dimensions") {
    const facts = view.facts[index] || {};
    return facts.width !== undefined ? facts.width * facts.height : facts.seconds ?? -1;
  }
  return entry[key];
}

function memberRow(index) {
  const entry = view.entries[index];
  const buttons = element("td");
  const add = (label, action) =>
    buttons.append(element("button", { type: "button", className: "small", textContent: label,
                                       onclick: () => guarded(action) }), " ");
  if (!entry.usable) {
    buttons.className = "failed";
    buttons.textContent = "name not usable as a file name";
  } else if (entry.kind === "picture") {
    add("View", () => openViewer(index, 0));
    add("PNG", () => savePicture(index, false));
    add("PNG with transparency", () => savePicture(index, true));
  } else {
    if (entry.kind === "text") add("View", () => showText(index));
    add(entry.kind === "sound" ? "WAV" : "Save", () => saveMember(index));
  }
  const tick = element("input", { type: "checkbox", checked: view.selected.has(index),
                                  title: `Select ${entry.name}` });
  tick.setAttribute("aria-label", `Select ${entry.name || "(no name)"}`);
  tick.addEventListener("click", (event) => selectClicked(index, tick.checked, event.shiftKey));
  const row = element("tr", {}, [
    element("td", {}, [tick]),
    element("td", { className: "number", textContent: String(index) }),
    element("td", { textContent: entry.name }),
    element("td", { textContent: entry.kind }),
    element("td", { className: "number dimensions", textContent: sizeText(index) }),
    element("td", { className: "number", textContent: formatBytes(entry.size) }),
    element("td", { className: "number", textContent: formatBytes(entry.storedSize) }),
    element("td", { textContent: entry.storage }),
    buttons,
  ]);
  row.dataset.index = index;
  if (view.failed.has(index)) row.classList.add("damaged");
  return row;
}

let lastTicked = null;

// A click ticks or clears one member; with shift, every member shown between it and the last.
function selectClicked(index, on, range) {
  let indexes = [index];
  if (range && lastTicked !== null) {
    const a = view.shownOrder.indexOf(lastTicked);
    const b = view.shownOrder.indexOf(index);
    if (a >= 0 && b >= 0) indexes = view.shownOrder.slice(Math.min(a, b), Math.max(a, b) + 1);
  }
  lastTicked = index;
  for (const i of indexes) on ? view.selected.add(i) : view.selected.delete(i);
  drawSelection();
}

function drawSelection() {
  for (const row of $("members").tBodies[0].rows) {
    row.cells[0].firstChild.checked = view.selected.has(Number(row.dataset.index));
  }
  const n = view.selected.size;
  $("save-selection").disabled = n === 0;
  $("save-selection").textContent = n ? `Save the selection as a zip (${n})` : "Save the selection as a zip";
}

// Rows, figures and sounds a batch at a time, the page drawn between batches: an archive of
// thousands of members never holds the page for long.
const DRAWN_AT_ONCE = 50;
let tableDrawing = 0;

const nextTask = () => new Promise((resolve) => setTimeout(resolve, 0));

// parent's children made from the items; false when stillWanted() stopped it on the way.
async function drawInBatches(parent, items, make, stillWanted) {
  parent.replaceChildren(...items.slice(0, DRAWN_AT_ONCE).map(make));
  for (let at = DRAWN_AT_ONCE; at < items.length; at += DRAWN_AT_ONCE) {
    await nextTask();
    if (!stillWanted()) return false;
    parent.append(...items.slice(at, at + DRAWN_AT_ONCE).map(make));
  }
  return true;
}

function drawRows(order, mine) {
  const drawing = ++tableDrawing;
  return drawInBatches($("members").tBodies[0], order, memberRow,
                       () => drawing === tableDrawing && mine === view);
}

async function drawTable() {
  const mine = view;
  const patterns = $("filter").value.trim();
  const matching = patterns ? new Set(await quorvel.matching(patterns)) : null;
  if (mine !== view) return;
  const { key, down } = view.sort;
  const order = [...view.entries.keys()].filter((i) => !matching || matching.has(i));
  order.sort((a, b) => {
    const x = sortValue(a, key);
    const y = sortValue(b, key);
    const by = typeof x === "string" ? x.localeCompare(y) : x - y;
    return (down ? -by : by) || a - b;
  });
  view.shownOrder = order;
  await drawRows(order, mine);
  if (mine !== view) return;
  for (const th of $("members").tHead.rows[0].cells) {
    if (!th.dataset.sort) continue;
    th.setAttribute("aria-sort", th.dataset.sort !== key ? "none" : down ? "descending" : "ascending");
  }
  $("filter-count").textContent = matching ? `${order.length} of ${view.entries.length} shown` : "";
  for (const figure of $("gallery").children) {
    figure.hidden = matching !== null && !matching.has(Number(figure.dataset.index));
  }
  for (const line of $("sounds").children) {
    line.hidden = matching !== null && !matching.has(Number(line.dataset.index));
  }
  drawSelection();
}

function updateRow(index) {
  const row = $("members").querySelector(`tbody tr[data-index="${index}"]`);
  if (!row) return;
  row.querySelector(".dimensions").textContent = sizeText(index);
  row.classList.toggle("damaged", view.failed.has(index));
}

// --- failures ---------------------------------------------------------------------------------

function noteFailure(index, error) {
  if (view.failed.has(index)) return;
  view.failed.set(index, error.message);
  updateRow(index);
  showFailures();
}

function showFailures() {
  // Each member with why it failed (the reason alone where it already starts with the name).
  const described = (i) => {
    const name = view.entries[i].name || "(no name)";
    const reason = view.failed.get(i);
    return reason.startsWith(name) ? reason : `${name}: ${reason}`;
  };
  const names = [...view.failed.keys()].sort((a, b) => a - b).map(described);
  showMessage(`${view.file.name} looks damaged: ${names.length} of ${view.entries.length} members ` +
              `cannot be read or converted (${namesCut(names)}). The others can be used.`);
}

// --- thumbnails, made for the gallery's figures in view ---------------------------------------

const galleryWatcher = new IntersectionObserver((changes) => {
  for (const change of changes) {
    const figure = change.target;
    if (change.isIntersecting) {
      view.inView.add(figure);
      if (figure.dataset.shown !== choiceKey()) want(figure);
    } else {
      view.inView.delete(figure);
      view.wanted = view.wanted.filter((f) => f !== figure);
    }
  }
  pump();
}, { rootMargin: "200px" });

function want(figure) {
  if (!view.wanted.includes(figure)) view.wanted.push(figure);
}

function galleryFigure(index) {
  const entry = view.entries[index];
  const figure = element("figure", {}, [
    element("div", { className: "placeholder" }),
    element("figcaption", { textContent: entry.name }),
  ]);
  figure.dataset.index = index;
  galleryWatcher.observe(figure);
  return figure;
}

function cacheThumbnails(key, images) {
  thumbnailCache.set(key, images);
  while (thumbnailCache.size > CACHED_THUMBNAILS) {
    const [oldest, old] = thumbnailCache.entries().next().value;
    for (const image of old) URL.revokeObjectURL(image.url);
    thumbnailCache.delete(oldest);
  }
}

async function thumbnailsOf(index) {
  const key = `${view.file.name}|${view.file.size}|${view.file.lastModified}|${index}|${choiceKey()}`;
  if (!thumbnailCache.has(key)) {
    const images = await quorvel.thumbnails(index, { ...pictureChoice(), size: THUMBNAIL_PIXELS });
    cacheThumbnails(key, images.map((image) => ({ ...image, url: URL.createObjectURL(image.blob) })));
  }
  return thumbnailCache.get(key);
}

function drawThumbnails(figure, images) {
  const index = Number(figure.dataset.index);
  const entry = view.entries[index];
  const buttons = images.map((image, n) => {
    const img = element("img", { src: image.url, alt: image.path, width: image.width,
                                 height: image.height });
    img.dataset.path = image.path;
    img.style.aspectRatio = `${image.width} / ${image.height}`;
    return element("button", { type: "button", className: "thumbnail", title: `${image.path}: ` +
                               `${image.width} × ${image.height}, click for the full picture`,
                               onclick: () => guarded(() => openViewer(index, n)) }, [img]);
  });
  const caption = element("figcaption", {
    textContent: images.length ? entry.name : `${entry.name}: no images` });
  figure.replaceChildren(...buttons, caption);
  figure.classList.toggle("alpha", $("alpha").checked);
  figure.dataset.shown = choiceKey();
}

async function makeThumbnails(figure) {
  const index = Number(figure.dataset.index);
  const shownFor = choiceKey();
  try {
    const images = await thumbnailsOf(index);
    if (figure.isConnected && shownFor === choiceKey()) drawThumbnails(figure, images);
  } catch (error) {
    figure.replaceChildren(element("figcaption", { className: "failed", textContent: error.message }));
    figure.dataset.shown = choiceKey();
    noteFailure(index, error);
  }
}

// One piece of work at a time goes to the worker: thumbnails in view first, then the facts of
// the table (sizes and lengths, which also find the members that cannot be read).
async function pump() {
  if (!view || view.busy) return;
  const mine = view;
  mine.busy = true;
  try {
    while (mine === view) {
      const figure = mine.wanted.shift();
      if (figure) {
        await makeThumbnails(figure);
        showThumbnailProgress();
        continue;
      }
      if (!window.quorvelTimings.thumbnails) markReady();
      if (mine.factsNext >= mine.entries.length) break;
      await nextFacts(mine);
    }
  } finally {
    mine.busy = false;
    if (mine === view) showThumbnailProgress();
  }
}

function showThumbnailProgress() {
  const left = view.wanted.length;
  if (left === 0) {
    if (cancelWork === cancelThumbnails) endWork();
    return;
  }
  const total = left + view.inView.size;
  if (!cancelWork || cancelWork === cancelThumbnails) {
    showWork(`Making thumbnails: ${left} to go`, total - left, total, cancelThumbnails);
  }
}

function cancelThumbnails() {
  view.wanted = [];
  endWork();
  setStatus("Thumbnails stopped; scroll or change the background to make them again.");
}

async function nextFacts(mine) {
  const index = mine.factsNext++;
  if (!mine.entries[index].usable) return;
  try {
    mine.facts[index] = await quorvel.facts(index);
    if (mine === view) updateRow(index);
  } catch (error) {
    if (mine === view) noteFailure(index, error);
  }
  if (mine === view && mine.factsNext === mine.entries.length) {
    document.body.dataset.facts = "done";
    if (view.sort.key === "dimensions") drawTable();
  }
}

function markReady() {
  window.quorvelTimings.thumbnails = performance.now();
  document.body.dataset.state = "ready";
}

// Only what is in view is drawn again; the rest when it comes into view.
function redraw() {
  if (!view) return;
  if (!$("picture").hidden) {
    drawPictureFile();
    return;
  }
  for (const figure of view.inView) if (figure.dataset.shown !== choiceKey()) want(figure);
  pump();
}

// --- sounds and texts -------------------------------------------------------------------------

// A line per sound; its player, with the WAVE read, when it is asked for (a player per sound
// up front would cost the page more than the rest of the archive).
function soundLine(index) {
  const entry = view.entries[index];
  const load = element("button", { type: "button", className: "small", textContent: "Play" });
  const line = element("div", {}, [element("span", { textContent: entry.name }), load]);
  line.dataset.index = index;
  const mine = view;
  load.onclick = async () => {
    try {
      const audio = element("audio", { controls: true });
      audio.dataset.index = index;
      audio.src = objectUrl(await quorvel.member(index), "audio/wav");
      if (mine !== view) return;
      load.replaceWith(audio);
      audio.play().catch(() => {});
      audio.focus();
    } catch (error) {
      if (mine !== view) return;
      line.replaceChildren(element("span", { className: "failed", textContent: error.message }));
      noteFailure(index, error);
    }
  };
  return line;
}

async function showText(index) {
  const bytes = await quorvel.member(index);
  $("text-title").textContent = quorvel.entries[index].name;
  $("text-body").textContent = new TextDecoder("shift_jis").decode(bytes);
  $("text-viewer").hidden = false;
}

// --- the full-size viewer ---------------------------------------------------------------------

let viewerReturn = null;

async function openViewer(index, image) {
  const entry = view.entries[index];
  const facts = view.facts[index] || (await quorvel.describe(index));
  const bytes = await quorvel.png(index, { ...pictureChoice(), image });
  const img = $("viewer-image");
  img.src = objectUrl(bytes, "image/png");
  img.alt = entry.name;
  await img.decode().catch(() => {});
  $("viewer-title").textContent = facts.images > 1 ? `${entry.name}, image ${image + 1} of ${facts.images}`
                                                   : entry.name;
  $("viewer-facts").textContent = `${facts.format}, ${img.naturalWidth} × ${img.naturalHeight} ` +
                                  `pixels, ${facts.depth} bits`;
  $("viewer-frame").classList.toggle("alpha", $("alpha").checked);
  viewerReturn = document.activeElement;
  $("viewer").hidden = false;
  zoom("fit");
  $("viewer-close").focus();
}

// "fit": shrunk smoothly to the window; a number: that many screen pixels per picture pixel,
// drawn as blocks only when enlarged.
function zoom(how) {
  const img = $("viewer-image");
  const fit = how === "fit";
  img.classList.toggle("fit", fit);
  img.style.width = fit ? "" : `${img.naturalWidth * Number(how)}px`;
  img.classList.toggle("enlarged", !fit && Number(how) > 1);
  for (const button of $("viewer").querySelectorAll("[data-zoom]")) {
    button.setAttribute("aria-pressed", String(button.dataset.zoom === how));
  }
}

function closeViewer() {
  if ($("viewer").hidden) return;
  $("viewer").hidden = true;
  $("viewer-image").removeAttribute("src");
  if (viewerReturn && viewerReturn.isConnected) viewerReturn.focus();
}

// --- opening ----------------------------------------------------------------------------------

// Everything of the previous file goes: its table, gallery, sounds, text, viewer, message.
function clearView() {
  if (view) for (const url of view.urls) URL.revokeObjectURL(url);
  galleryWatcher.disconnect();
  closeViewer();
  endWork();
  showMessage("");
  setStatus("");
  lastTicked = null;
  $("filter").value = "";
  $("filter-count").textContent = "";
  for (const id of ["members"]) $(id).tBodies[0].replaceChildren();
  for (const id of ["gallery", "sounds", "picture-view"]) $(id).replaceChildren();
  for (const id of ["archive-title", "picture-title", "picture-facts", "text-title", "text-body"]) {
    $(id).textContent = "";
  }
  for (const id of ["archive", "picture", "text-viewer"]) $(id).hidden = true;
  delete document.body.dataset.facts;
}

async function showArchive(entries) {
  const counts = {};
  for (const entry of entries) counts[entry.kind] = (counts[entry.kind] || 0) + 1;
  $("archive-title").textContent = view.file.name;
  $("archive").hidden = false;
  setStatus(`${view.file.name} is open: ${entries.length} members (` +
            Object.entries(counts).map(([kind, n]) => `${n} ${kind}`).join(", ") + ")");
  entries.forEach((entry, i) => {
    if (!entry.usable) view.failed.set(i, entry.damage || "name not usable as a file name");
  });
  if (view.failed.size) showFailures();
  const usable = (kind) => [...entries.keys()].filter((i) => entries[i].kind === kind && entries[i].usable);
  const mine = view;
  drawTable();
  window.quorvelTimings.table = performance.now();
  await nextTask();
  const stillMine = () => mine === view;
  if (!(await drawInBatches($("gallery"), usable("picture"), galleryFigure, stillMine))) return;
  if (!(await drawInBatches($("sounds"), usable("sound"), soundLine, stillMine))) return;
  // The gallery's watcher starts the work once it knows what is in view.
  if (!$("gallery").children.length) pump();
}

// A picture file: its images full size, or why they cannot be shown.
async function drawPictureFile() {
  const mine = view;
  $("picture-view").replaceChildren();
  $("picture-saves").hidden = false;
  document.body.dataset.state = "drawing";
  try {
    const files = await quorvel.files(0, pictureChoice());
    if (mine !== view) return;
    $("picture-view").classList.toggle("alpha", $("alpha").checked);
    $("picture-view").replaceChildren(...files.map((file, n) => {
      const img = element("img", { src: objectUrl(file.bytes, "image/png"), alt: file.path });
      img.dataset.path = file.path;
      return element("figure", {}, [
        element("button", { type: "button", className: "thumbnail", title: "Open in the viewer",
                            onclick: () => guarded(() => openViewer(0, n)) }, [img]),
        element("figcaption", { textContent: file.path })]);
    }));
    await Promise.all([...$("picture-view").querySelectorAll("img")].map((img) => img.decode()
      .catch(() => {})));
    if (mine !== view) return;
    setStatus(`${view.file.name} is open.`);
    markReady();
  } catch (error) {
    if (mine !== view) return;
    $("picture-saves").hidden = true;
    $("picture-view").replaceChildren(element("p", { className: "failed", textContent: error.message }));
    setStatus(`${view.file.name} cannot be shown.`);
    showMessage(error.message);
    document.body.dataset.state = "failed";
  }
}

async function showPictureFile() {
  $("picture-title").textContent = view.file.name;
  $("picture").hidden = false;
  const facts = await quorvel.describe(0);
  view.facts[0] = facts;
  const images = facts.images === 1 ? "" : `, ${facts.images} images`;
  $("picture-facts").textContent =
      `${facts.format}, ${facts.width} × ${facts.height} pixels, ${facts.depth} bits${images}`;
  await drawPictureFile();
}

async function openFile(file) {
  window.quorvelTimings = { chosen: performance.now() };
  clearView();
  view = newView(file);
  const mine = view;
  markOpened(file);
  document.body.dataset.state = "opening";
  setStatus(`Opening ${file.name}…`);
  try {
    const entries = await quorvel.open(file, file.name);
    if (mine !== view) return;
    view.entries = entries;
    window.quorvelTimings.opened = performance.now();
    if (/\.a$/i.test(file.name)) await showArchive(entries);
    else await showPictureFile();
  } catch (error) {
    if (mine !== view) return;
    document.body.dataset.state = "failed";
    setStatus(`${file.name} cannot be opened.`);
    showMessage(error.message);
  }
}

// --- several files ----------------------------------------------------------------------------

function markOpened(file) {
  for (const item of $("opened-list").children) {
    item.firstChild.setAttribute("aria-current", String(item.file === file));
  }
}

// The files join the list of opened files; the first of them is opened.
function addFiles(files) {
  files = [...files];
  if (!files.length) return;
  for (const file of files) {
    const button = element("button", { type: "button", className: "small", textContent: file.name,
                                       onclick: () => openFile(file) });
    const item = element("li", {}, [button]);
    item.file = file;
    openedFiles.push(file);
    $("opened-list").append(item);
  }
  $("opened").hidden = openedFiles.length < 2;
  openFile(files[0]).then(() => {
    if (files.length > 1 && view && view.file === files[0]) {
      setStatus(`${$("status").textContent} ${files.length} files were given: the others are in ` +
                "the list of opened files above.");
    }
  });
}

// --- wiring -----------------------------------------------------------------------------------

function wire() {
  $("open").addEventListener("click", () => $("file").click());
  $("file").addEventListener("change", (event) => {
    const files = [...event.target.files];
    event.target.value = "";  // the same file may be chosen again
    addFiles(files);
  });
  const drop = $("drop");
  for (const type of ["dragenter", "dragover"]) {
    drop.addEventListener(type, (event) => {
      event.preventDefault();
      drop.classList.add("over");
    });
  }
  for (const type of ["dragleave", "drop"]) {
    drop.addEventListener(type, () => drop.classList.remove("over"));
  }
  drop.addEventListener("drop", (event) => {
    event.preventDefault();
    addFiles(event.dataTransfer.files);
  });
  $("bgcolor").addEventListener("change", redraw);
  $("alpha").addEventListener("change", redraw);
  $("filter").addEventListener("input", () => view && drawTable());
  for (const th of $("members").tHead.rows[0].cells) {
    if (!th.dataset.sort) continue;
    th.querySelector("button").addEventListener("click", () => {
      if (!view) return;
      const same = view.sort.key === th.dataset.sort;
      view.sort = { key: th.dataset.sort, down: same && !view.sort.down };
      drawTable();
    });
  }
  $("select-shown").addEventListener("click", () => {
    for (const i of view.shownOrder) if (view.entries[i].usable) view.selected.add(i);
    drawSelection();
  });
  $("select-none").addEventListener("click", () => {
    view.selected.clear();
    drawSelection();
  });
  $("save-selection").addEventListener("click", () =>
    guarded(() => saveZip([...view.selected].sort((a, b) => a - b))));
  $("save-zip").addEventListener("click", () => guarded(() => saveZip([...view.entries.keys()])));
  $("save-picture").addEventListener("click", () => guarded(() => savePicture(0, false)));
  $("save-picture-alpha").addEventListener("click", () => guarded(() => savePicture(0, true)));
  $("cancel").addEventListener("click", () => cancelWork && cancelWork());
  for (const button of $("viewer").querySelectorAll("[data-zoom]")) {
    button.addEventListener("click", () => zoom(button.dataset.zoom));
  }
  $("viewer-close").addEventListener("click", closeViewer);
  document.addEventListener("keydown", (event) => {
    if (event.key === "Escape") closeViewer();
  });
}

// A page opened from a file:// address cannot start its worker.
if (location.protocol === "file:") {
  showMessage("This page must be served to work: run scripts/serve-web.sh in the project's " +
              "folder and open the address it prints (http://127.0.0.1:8000/).");
  for (const control of document.querySelectorAll("button, input")) control.disabled = true;
} else {
  wire();
}
