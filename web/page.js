// The page: opens a file chosen or dropped, shows an archive's members (table, gallery, sounds,
// texts) or a picture, and saves what the user asks for. All work goes through window.quorvel.
"use strict";

const quorvel = createQuorvel(() => createQuorvelCore());
window.quorvel = quorvel;
// When the last file was chosen and when its gallery was complete (performance.now()).
window.quorvelTimings = {};

const $ = (id) => document.getElementById(id);
const shown = { pictures: [], sounds: [] };  // object URLs on view
let generation = 0;   // a newer file or choice stops the drawing of an older one

function showMessage(text) {
  $("message").textContent = text;
  $("message").hidden = !text;
}

function setStatus(text) {
  $("status").textContent = text;
}

function objectUrl(bytes, type, group) {
  const url = URL.createObjectURL(new Blob([bytes], { type }));
  shown[group].push(url);
  return url;
}

function forgetShown(group) {
  for (const url of shown[group]) URL.revokeObjectURL(url);
  shown[group] = [];
}

function pictureChoice() {
  return { raw: $("alpha").checked, bgcolor: $("bgcolor").value };
}

function save(bytes, name, type = "application/octet-stream") {
  const url = URL.createObjectURL(new Blob([bytes], { type }));
  const link = document.createElement("a");
  link.href = url;
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}

function baseName(path) {
  return path.slice(path.lastIndexOf("/") + 1);
}

function element(tag, properties = {}, children = []) {
  const node = Object.assign(document.createElement(tag), properties);
  node.append(...children);
  return node;
}

// Lets the browser draw between two pieces of work.
const nextFrame = () => new Promise((resolve) => setTimeout(resolve, 0));

// --- saving -----------------------------------------------------------------------------------

// A picture as one PNG, or a series as a zip of its images.
async function savePicture(index, raw) {
  const entry = quorvel.entries[index];
  const files = await quorvel.files(index, { ...pictureChoice(), raw });
  if (files.length === 1) {
    save(files[0].bytes, baseName(files[0].path), "image/png");
  } else {
    const zip = {};
    for (const file of files) zip[file.path] = file.bytes;
    save(fflate.zipSync(zip, { level: 0 }), entry.name.replace(/\.[^.]*$/, "") + ".zip",
         "application/zip");
  }
}

async function saveMember(index) {
  const entry = quorvel.entries[index];
  const type = entry.kind === "sound" ? "audio/wav" : "application/octet-stream";
  save(await quorvel.member(index), entry.name, type);
}

// Every member as a conversion writes it, in a folder named after the archive.
async function saveZip() {
  const zip = {};
  const failed = [];
  const choice = pictureChoice();
  for (let i = 0; i < quorvel.entries.length; ++i) {
    setStatus(`Preparing the zip: ${i + 1} of ${quorvel.entries.length}`);
    try {
      for (const file of await quorvel.files(i, choice)) {
        zip[`${quorvel.outputName}/${file.path}`] = file.bytes;
      }
    } catch (error) {
      failed.push(quorvel.entries[i].name);
    }
    await nextFrame();
  }
  save(fflate.zipSync(zip), `${quorvel.outputName}.zip`, "application/zip");
  setStatus(`Saved ${quorvel.outputName}.zip`);
  showMessage(failed.length ? `Not in the zip (damaged or unusable): ${failed.join(", ")}` : "");
}

async function guarded(work) {
  try {
    showMessage("");
    await work();
  } catch (error) {
    showMessage(error.message);
  }
}

// --- showing ----------------------------------------------------------------------------------

function formatBytes(n) {
  return n.toLocaleString("en-US");
}

function memberRow(entry, index) {
  const buttons = element("td");
  const add = (label, action) =>
    buttons.append(element("button", { type: "button", className: "small", textContent: label,
                                       onclick: () => guarded(action) }), " ");
  if (!entry.usable) {
    buttons.className = "failed";
    buttons.textContent = "name not usable as a file name";
  } else if (entry.kind === "picture") {
    add("PNG", () => savePicture(index, false));
    add("PNG with transparency", () => savePicture(index, true));
  } else {
    if (entry.kind === "text") add("View", () => showText(index));
    add(entry.kind === "sound" ? "WAV" : "Save", () => saveMember(index));
  }
  const cells = [
    element("td", { className: "number", textContent: String(index) }),
    element("td", { textContent: entry.name }),
    element("td", { textContent: entry.kind }),
    element("td", { className: "number", textContent: formatBytes(entry.size) }),
    element("td", { className: "number", textContent: formatBytes(entry.storedSize) }),
    element("td", { textContent: entry.storage }),
    buttons,
  ];
  return element("tr", {}, cells);
}

async function showText(index) {
  const bytes = await quorvel.member(index);
  $("text-title").textContent = quorvel.entries[index].name;
  $("text-body").textContent = new TextDecoder("shift_jis").decode(bytes);
  $("text-viewer").hidden = false;
}

// The images of one picture entry into a gallery; a failure is shown in place. True when shown.
async function drawPicture(gallery, index, mine) {
  const entry = quorvel.entries[index];
  const caption = (text, className = "") =>
    gallery.append(element("figure", {}, [element("figcaption", { textContent: text, className })]));
  try {
    const files = await quorvel.files(index, pictureChoice());
    if (mine !== generation) return true;
    for (const file of files) {
      const image = element("img", { src: objectUrl(file.bytes, "image/png", "pictures"), alt: file.path });
      image.dataset.index = index;
      image.dataset.path = file.path;
      gallery.append(element("figure", {}, [image, element("figcaption", { textContent: file.path })]));
    }
    if (files.length === 0) caption(`${entry.name}: no images`);
    return true;
  } catch (error) {
    if (mine === generation) caption(error.message, "failed");
    return false;
  }
}

// Draws the pictures of the entries given; answers the names of those that failed.
async function drawGallery(gallery, indexes) {
  const mine = ++generation;
  const failed = [];
  forgetShown("pictures");
  gallery.replaceChildren();
  gallery.classList.toggle("alpha", $("alpha").checked);
  document.body.dataset.state = "drawing";
  for (const index of indexes) {
    if (!(await drawPicture(gallery, index, mine))) failed.push(quorvel.entries[index].name);
    if (mine !== generation) return failed;
    await nextFrame();
  }
  document.body.dataset.state = "ready";
  window.quorvelTimings.galleryReady = performance.now();
  return failed;
}

// A player for each sound; answers the names of those that could not be read.
async function drawSounds(entries) {
  const list = $("sounds");
  const failed = [];
  forgetShown("sounds");
  list.replaceChildren();
  for (const [index, entry] of entries) {
    try {
      const audio = element("audio", { controls: true, preload: "metadata" });
      audio.src = objectUrl(await quorvel.member(index), "audio/wav", "sounds");
      audio.dataset.index = index;
      list.append(element("div", {}, [element("span", { textContent: entry.name }), audio]));
    } catch (error) {
      failed.push(entry.name);
      list.append(element("div", { className: "failed", textContent: error.message }));
    }
  }
  return failed;
}

// The names of the other members that cannot be read, as a conversion would list them.
async function readOthers(entries) {
  const failed = [];
  for (const [index, entry] of entries) {
    await quorvel.member(index).catch(() => failed.push(entry.name));
  }
  return failed;
}

function pictureIndexes() {
  return quorvel.entries.flatMap((entry, i) => (entry.kind === "picture" && entry.usable ? [i] : []));
}

function redraw() {
  const picture = !$("picture").hidden;
  drawGallery(picture ? $("picture-view") : $("gallery"), pictureIndexes());
}

async function showArchive(name, entries) {
  const counts = {};
  for (const entry of entries) counts[entry.kind] = (counts[entry.kind] || 0) + 1;
  $("archive-title").textContent = name;
  $("members").tBodies[0].replaceChildren(...entries.map(memberRow));
  $("text-viewer").hidden = true;
  $("archive").hidden = false;
  setStatus(`${name}: ${entries.length} members (` +
            Object.entries(counts).map(([kind, n]) => `${n} ${kind}`).join(", ") + ")");
  const numbered = [...entries.entries()];
  const unusable = entries.filter((entry) => !entry.usable).map((entry) => entry.name);
  const damage = new Map(entries.map((entry) => [entry.name, entry.damage]));
  const usable = numbered.filter(([, entry]) => entry.usable);
  const failed = [
    ...unusable,
    ...(await drawSounds(usable.filter(([, entry]) => entry.kind === "sound"))),
    ...(await readOthers(usable.filter(([, entry]) => entry.kind === "text" || entry.kind === "data"))),
    ...(await drawGallery($("gallery"), pictureIndexes())),
  ];
  if (failed.length) {
    const names = failed.map((failedName) => (failedName || "(no name)") +
                             (damage.get(failedName) ? `: ${damage.get(failedName)}` : "")).join(", ");
    showMessage(`${name} looks damaged: ${failed.length} of ${entries.length} members cannot be ` +
                `read or converted (${names}). The others are shown.`);
  }
}

async function showPicture(name) {
  $("picture-title").textContent = name;
  $("picture-facts").textContent = "";
  $("picture").hidden = false;
  const facts = await quorvel.describe(0);
  const images = facts.images === 1 ? "" : `, ${facts.images} images`;
  $("picture-facts").textContent =
      `${facts.format}, ${facts.width} × ${facts.height} pixels, ${facts.depth} bits${images}`;
  await drawGallery($("picture-view"), [0]);
}

async function openFile(file) {
  window.quorvelTimings = { chosen: performance.now() };
  ++generation;
  forgetShown("pictures");
  forgetShown("sounds");
  showMessage("");
  $("archive").hidden = $("picture").hidden = true;
  document.body.dataset.state = "opening";
  setStatus(`Opening ${file.name}…`);
  try {
    const entries = await quorvel.open(new Uint8Array(await file.arrayBuffer()), file.name);
    window.quorvelTimings.opened = performance.now();
    if (/\.a$/i.test(file.name)) await showArchive(file.name, entries);
    else await showPicture(file.name);
    setStatus($("status").textContent.replace(/^Opening.*/, `${file.name} is open.`));
  } catch (error) {
    document.body.dataset.state = "failed";
    setStatus("");
    showMessage(error.message);
  }
}

// --- wiring -----------------------------------------------------------------------------------

$("file").addEventListener("change", (event) => {
  const file = event.target.files[0];
  event.target.value = "";  // the same file may be chosen again
  if (file) openFile(file);
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
  const file = event.dataTransfer.files[0];
  if (file) openFile(file);
});
$("bgcolor").addEventListener("change", redraw);
$("alpha").addEventListener("change", redraw);
$("save-zip").addEventListener("click", () => guarded(saveZip));
$("save-picture").addEventListener("click", () => guarded(() => savePicture(0, false)));
$("save-picture-alpha").addEventListener("click", () => guarded(() => savePicture(0, true)));
