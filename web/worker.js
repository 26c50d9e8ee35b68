// The page's worker: runs the converter (createQuorvel of quorvel.js) off the page's thread and
// answers the calls of createQuorvelInWorker. Messages in: {id, method, args} or {cancel: true};
// out: {id, value}, {id, error: {name, code, message}}, and along a zip {id, chunk} and
// {id, progress: {done, total}}.
"use strict";
importScripts("quorvel-wasm.js", "quorvel.js", "fflate.js");

const quorvel = createQuorvel(() => createQuorvelCore());
let cancelled = false;

// Lets messages in (a cancel) between two pieces of work.
const breath = () => new Promise((resolve) => setTimeout(resolve, 0));

function checkCancelled(what) {
  if (!cancelled) return;
  cancelled = false;
  throw new quorvel.QuorvelError("Cancelled", what);
}

// Seconds of a WAVE file: its data chunk's size over the format chunk's bytes per second.
function waveSeconds(bytes) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  let byteRate = 0;
  for (let at = 12; at + 8 <= bytes.length;) {
    const id = String.fromCharCode(...bytes.subarray(at, at + 4));
    const size = view.getUint32(at + 4, true);
    if (id === "fmt " && at + 16 <= bytes.length) byteRate = view.getUint32(at + 16, true);
    if (id === "data" && byteRate > 0) return Math.min(size, bytes.length - at - 8) / byteRate;
    at += 8 + size + (size & 1);
  }
  return null;
}

// One image scaled smoothly to fit size × size (never enlarged), as PNG.
async function thumbnail(file, size) {
  const type = file.path.endsWith(".bmp") ? "image/bmp" : "image/png";
  const full = await createImageBitmap(new Blob([file.bytes], { type }));
  const scale = Math.min(1, size / Math.max(full.width, full.height, 1));
  const width = Math.max(1, Math.round(full.width * scale));
  const height = Math.max(1, Math.round(full.height * scale));
  const canvas = new OffscreenCanvas(width, height);
  const context = canvas.getContext("2d");
  context.imageSmoothingQuality = "high";
  context.drawImage(full, 0, 0, width, height);
  const answer = { path: file.path.replace(/\.bmp$/, ".png"), width: full.width, height: full.height,
                   blob: await canvas.convertToBlob({ type: "image/png" }) };
  full.close();
  return answer;
}

// The page's own storage, without the zips of earlier saves (downloaded long since).
async function storageFolder() {
  const folder = await navigator.storage.getDirectory();
  for await (const key of folder.keys()) {
    if (key.startsWith("zip-")) await folder.removeEntry(key).catch(() => {});
  }
  return folder;
}

// Where a zip's pieces go: {write(chunk), written(), finish() -> a File of the page's storage or
// null, abort()}.
async function zipTarget(chosen, id) {
  let folder = null;
  let handle = chosen;
  let stream = null;
  try {
    if (!handle) {
      folder = await storageFolder();
      handle = await folder.getFileHandle(`zip-${Date.now()}.zip`, { create: true });
    }
    stream = await handle.createWritable();
  } catch (error) {
    if (chosen) throw error;
  }
  if (!stream) {
    return {
      write(chunk) {
        // A piece is handed over, not copied, when it has its buffer to itself.
        const own = chunk.byteOffset === 0 && chunk.byteLength === chunk.buffer.byteLength;
        postMessage({ id, chunk: own ? chunk : chunk.slice() }, own ? [chunk.buffer] : []);
      },
      written: async () => {},
      finish: async () => null,
      abort: async () => {},
    };
  }
  let pending = Promise.resolve();
  return {
    write: (chunk) => (pending = pending.then(() => stream.write(chunk))),
    written: () => pending,
    async finish() {
      await pending;
      await stream.close();
      return folder ? handle.getFile() : null;
    },
    async abort() {
      await pending.catch(() => {});
      await stream.abort().catch(() => {});
      if (folder) await folder.removeEntry(handle.name).catch(() => {});
    },
  };
}

const methods = {
  async open(source, name) {
    cancelled = false;
    const entries = await quorvel.open(source, name);
    return { entries, outputName: quorvel.outputName };
  },
  close: () => quorvel.close(),
  describe: (index) => quorvel.describe(index),
  files: (index, options) => quorvel.files(index, options),
  png: (index, options) => quorvel.png(index, options),
  member: (index) => quorvel.member(index),
  matching: (patterns) => quorvel.matching(patterns),

  // What the table shows besides the directory: a picture's size and depth, a sound's length.
  async facts(index) {
    const entry = quorvel.entries[index];
    if (entry.kind === "picture") return quorvel.describe(index);
    const bytes = await quorvel.member(index);
    return entry.kind === "sound" ? { seconds: waveSeconds(bytes) } : {};
  },

  // Blended pictures are drawn from BMP (no deflate to wait for); kept transparency from PNG,
  // whose alpha every browser reads.
  async thumbnails(index, options) {
    const files = await quorvel.files(index, { ...options, bmp: !options.raw });
    const images = [];
    for (const file of files) images.push(await thumbnail(file, options.size || 160));
    return images;
  },

  // options.file: the file handle the person chose, or none. The pieces are written from here to
  // that file or to a file of the page's own storage (answered as `file` once complete), so that
  // neither the page nor this worker ever holds more than about one member; where neither can
  // be written, they go to the page ({id, chunk}).
  async zip(indexes, options, id) {
    cancelled = false;
    const failed = [];
    const folder = quorvel.outputName;
    const { file: chosen, ...choice } = options;
    const target = await zipTarget(chosen, id);
    const zip = new fflate.Zip((error, chunk) => {
      if (!error && chunk.length) target.write(chunk);
    });
    try {
      for (let n = 0; n < indexes.length; ++n) {
        postMessage({ id, progress: { done: n, total: indexes.length } });
        await target.written();
        await breath();
        if (cancelled) zip.terminate();
        checkCancelled(`${folder}.zip`);
        try {
          for (const file of await quorvel.files(indexes[n], choice)) {
            const stored = file.path.endsWith(".png");
            const member = stored ? new fflate.ZipPassThrough(`${folder}/${file.path}`)
                                  : new fflate.ZipDeflate(`${folder}/${file.path}`, { level: 6 });
            zip.add(member);
            member.push(file.bytes, true);
          }
        } catch (error) {
          failed.push({ name: quorvel.entries[indexes[n]].name, message: error.message });
        }
      }
      zip.end();
    } catch (error) {
      await target.abort();
      throw error;
    }
    postMessage({ id, progress: { done: indexes.length, total: indexes.length } });
    return { failed, file: await target.finish() };
  },
};

self.onmessage = async ({ data }) => {
  if (data.cancel) {
    cancelled = true;
    return;
  }
  try {
    const value = await methods[data.method](...data.args, data.id);
    const transfer = [];
    if (value && value.bytes instanceof Uint8Array) transfer.push(value.bytes.buffer);
    if (value instanceof Uint8Array) transfer.push(value.buffer);
    if (Array.isArray(value)) {
      for (const item of value) if (item && item.bytes instanceof Uint8Array) transfer.push(item.bytes.buffer);
    }
    postMessage({ id: data.id, value }, transfer);
  } catch (error) {
    postMessage({ id: data.id,
                  error: { name: error.name, code: error.code || "OtherError", message: error.message } });
  }
};
