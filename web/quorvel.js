// The page's interface to the converter compiled to WebAssembly (quorvel-wasm.js):
//   await quorvel.open(source, name)          the entries of an archive, or one for a picture:
//                                             [{name, kind, size, storedSize, storage, usable,
//                                             damage}] (damage: why a member cannot be extracted)
//   await quorvel.describe(index)             a picture's {format, width, height, depth, images}
//   await quorvel.png(index, {raw, bgcolor, image})   PNG bytes, as `quorvel -png` writes them
//   await quorvel.files(index, {raw, bgcolor})        every file the conversion writes for the
//                                             entry: [{path, bytes}] (a series' images, a WAVE...)
//   await quorvel.member(index)               the bytes extraction delivers
//   await quorvel.matching(patterns)          the indexes of the entries that -only:patterns takes
// The source is the file's bytes (Uint8Array or ArrayBuffer, copied into the module), a File or
// Blob, or {size, read(position, count)} answering a Uint8Array. A Blob is read on demand where
// the thread can read one synchronously (a worker: FileReaderSync), a piece at a time, so that
// opening an archive reads its directory only; elsewhere it is read whole first.
// A failure rejects with an Error whose `code` names the result (UnknownFormat, ReadError,
// OutOfMemory, ...) and whose `reason` says why where the converter knows (also in its message).
// createQuorvel runs the module on the calling thread (a worker, Node); createQuorvelInWorker
// (the page's window.quorvel) answers the same calls from a worker.
(function (root) {
  "use strict";

  const RESULT_NAMES = {
    "-1": "NotImplemented", 1: "Cancelled", 2: "UnknownFormat", 4: "OutOfMemory",
    5: "LockFailed", 6: "ReadError", 8: "OtherError", 9: "WriteError",
  };
  const RESULT_TEXTS = {
    UnknownFormat: "is not an archive or picture of this game, or it is damaged",
    ReadError: "is damaged or cut short",
    OutOfMemory: "is too large for the browser's memory",
    LockFailed: "is too large for the browser's memory",
    WriteError: "cannot be written (its name is not usable as a file name)",
    Aborted: "stopped the converter; it has been restarted",
    Cancelled: "was cancelled",
  };
  // A module whose memory has grown past this is dropped after the call and the file reopened
  // in a fresh one when next needed: WebAssembly memory never shrinks, and opening reads only
  // an archive's directory.
  const RELEASE_MEMORY_BYTES = 256 * 1024 * 1024;

  class QuorvelError extends Error {
    constructor(code, what, reason = "") {
      super(`${what} ${RESULT_TEXTS[code] || `failed (${code})`}${reason ? `: ${reason}` : ""}`);
      this.name = "QuorvelError";
      this.code = code;
      this.reason = reason;
    }
  }

  // "00ff00", "#00ff00" or a number 0xRRGGBB; green when absent, as on the command line.
  function colourNumber(bgcolor) {
    if (typeof bgcolor === "number") return bgcolor & 0xffffff;
    const text = String(bgcolor === undefined ? "00ff00" : bgcolor).replace(/^#/, "");
    if (!/^[0-9a-fA-F]{6}$/.test(text)) throw new TypeError(`bgcolor ${bgcolor} is not rrggbb`);
    return parseInt(text, 16);
  }

  const isBlob = (source) => typeof Blob !== "undefined" && source instanceof Blob;
  const canReadBlobsNow = () => typeof FileReaderSync !== "undefined";

  // {size, read(position, count)} of a source read on demand, or null for bytes.
  function readerOf(source) {
    if (isBlob(source)) {
      const reader = new FileReaderSync();
      return {
        size: source.size,
        read: (at, count) => new Uint8Array(reader.readAsArrayBuffer(source.slice(at, at + count))),
      };
    }
    return source && typeof source.read === "function" ? source : null;
  }

  // options.releaseBytes: the module's memory past which it is dropped after a call.
  function createQuorvel(loadCore, options = {}) {
    const releaseBytes = options.releaseBytes ?? RELEASE_MEMORY_BYTES;
    let corePromise = null;
    let opened = null; // {source, name, entries, module}: reopened in a fresh module when needed

    function core() {
      if (!corePromise) corePromise = Promise.resolve(loadCore());
      return corePromise;
    }

    function drop() {
      corePromise = null;
      if (opened) opened.module = null;
    }

    // m given: the converter's reason for the failure goes with it.
    function check(result, what, m) {
      if (result === 0) return;
      const reason = m ? m.UTF8ToString(m._qv_failure()) : "";
      throw new QuorvelError(RESULT_NAMES[result] || String(result), what, reason);
    }

    function withString(m, text, work) {
      const size = m.lengthBytesUTF8(text) + 1;
      const address = m._malloc(size);
      if (!address) throw new QuorvelError("OutOfMemory", text);
      m.stringToUTF8(text, address, size);
      try {
        return work(address);
      } finally {
        m._free(address);
      }
    }

    function openBytes(m, bytes, name) {
      const address = m._malloc(Math.max(bytes.length, 1));
      if (!address) throw new QuorvelError("OutOfMemory", name);
      m.HEAPU8.set(bytes, address);
      try {
        withString(m, name, (nameAddress) => check(m._qv_open(address, bytes.length, nameAddress), name));
      } finally {
        m._free(address);
      }
    }

    function openReader(m, reader, name) {
      m.readExternal = (id, position, address, count) => {
        const bytes = reader.read(position, count);
        m.HEAPU8.set(bytes, address);
        return bytes.length;
      };
      withString(m, name, (nameAddress) => check(m._qv_open_external(0, reader.size, nameAddress), name));
    }

    function openIn(m, source, name) {
      const reader = readerOf(source);
      if (reader) openReader(m, reader, name);
      else openBytes(m, source, name);
    }

    // Runs work(module) on the opened file; a module that aborted (its memory exhausted by
    // something unchecked) or grew large is dropped, and the file reopened in a fresh one.
    async function run(work, what) {
      const m = await core();
      try {
        if (opened && opened.module !== m) {
          openIn(m, opened.source, opened.name);
          opened.module = m;
        }
        return work(m);
      } catch (error) {
        if (error instanceof QuorvelError) throw error;
        drop();
        throw new QuorvelError("Aborted", what);
      } finally {
        if (corePromise && m.HEAPU8.length > releaseBytes) drop();
      }
    }

    function takeFiles(m) {
      const files = [];
      for (let i = 0; i < m._qv_file_count(); ++i) {
        const at = m._qv_file_data(i);
        files.push({
          path: m.UTF8ToString(m._qv_file_path(i)),
          bytes: m.HEAPU8.slice(at, at + m._qv_file_size(i)),
        });
      }
      m._qv_release_files();
      return files;
    }

    function entryName(index) {
      const entry = opened && opened.entries[index];
      if (!entry) throw new RangeError(`no entry ${index}`);
      return entry.name;
    }

    function describeIn(m, index, what) {
      check(m._qv_describe(index), what, m);
      return JSON.parse(m.UTF8ToString(m._qv_text()));
    }

    // A picture refused for its size says how large it is and what the page takes.
    function tooLarge(m, index, what) {
      let facts = null;
      try {
        facts = describeIn(m, index, what);
      } catch (ignored) {
        return new QuorvelError("OutOfMemory", what);
      }
      const limit = m._qv_pixel_limit();
      return new QuorvelError("OutOfMemory", what,
                              `${facts.width} × ${facts.height} pixels, over the page's limit of ` +
                              `${Math.floor(limit / 1e6)} million pixels (for example ` +
                              `${Math.floor(Math.sqrt(limit))} × ${Math.floor(Math.sqrt(limit))})`);
    }

    const api = {
      QuorvelError,
      entries: [],
      // The folder an archive's members go into (its name without the extension).
      outputName: "",

      async open(source, name) {
        if (isBlob(source) && !canReadBlobsNow()) source = await source.arrayBuffer();
        if (!readerOf(source)) source = source instanceof Uint8Array ? source : new Uint8Array(source);
        name = String(name);
        opened = null;
        api.entries = [];
        return run((m) => {
          openIn(m, source, name);
          const entries = JSON.parse(m.UTF8ToString(m._qv_entries()));
          for (const entry of entries) entry.usable = entry.usable === 1;
          opened = { source, name, entries, module: m };
          api.entries = entries;
          api.outputName = m.UTF8ToString(m._qv_output_name());
          return entries;
        }, name);
      },

      async close() {
        const m = opened && opened.module;
        opened = null;
        api.entries = [];
        if (m) m._qv_close();
      },

      async describe(index) {
        const what = entryName(index);
        return run((m) => describeIn(m, index, what), what);
      },

      async files(index, options = {}) {
        const what = entryName(index);
        const background = colourNumber(options.bgcolor);
        return run((m) => {
          const result = m._qv_convert(index, options.raw ? 1 : 0, background, options.bmp ? 0 : 1);
          // A picture refused from its header: the converter's own words, else the page's.
          const refusal = result !== 0 ? m.UTF8ToString(m._qv_text()) : "";
          if (refusal) throw new QuorvelError(RESULT_NAMES[result] || String(result), what, refusal);
          if (result === 4 && opened.entries[index].kind === "picture") throw tooLarge(m, index, what);
          check(result, what, m);
          return takeFiles(m);
        }, what);
      },

      async png(index, options = {}) {
        const files = await api.files(index, options);
        const image = options.image || 0;
        const pictures = files.filter((file) => file.path.endsWith(".png"));
        if (!pictures[image]) throw new QuorvelError("UnknownFormat", entryName(index));
        return pictures[image].bytes;
      },

      async member(index) {
        const what = entryName(index);
        return run((m) => {
          check(m._qv_extract(index), what, m);
          return takeFiles(m)[0].bytes;
        }, what);
      },

      async matching(patterns) {
        if (!opened) return [];
        return run((m) => withString(m, String(patterns),
                                     (address) => JSON.parse(m.UTF8ToString(m._qv_matching(address)))),
                   String(patterns));
      },
    };
    return api;
  }

  // The same calls answered by a worker (worker.js) that runs createQuorvel; also
  //   quorvel.thumbnails(index, {raw, bgcolor, size})  [{path, width, height, blob}]: each image
  //                                             scaled to fit size × size pixels, as PNG
  //   quorvel.zip(indexes, {raw, bgcolor, file, onChunk, onProgress})   the files of the
  //                                             entries as one zip in a folder named after the
  //                                             archive, written to file (a FileSystemFileHandle)
  //                                             or to a file of the page's storage, answered as
  //                                             {failed: [{name, message}], file: File}; where
  //                                             neither can be written, handed to
  //                                             onChunk(Uint8Array) a piece at a time
  //   quorvel.facts(index)                      a picture's describe(), a sound's {seconds}, {}
  //                                             for others (whose bytes are read to check them)
  //   quorvel.cancel()                          stops a zip or thumbnails under way (Cancelled)
  // A worker that dies is started again and the file reopened.
  function createQuorvelInWorker(url) {
    let worker = null;
    let nextId = 1;
    const pending = new Map(); // id -> {resolve, reject, onChunk, onProgress}
    let opened = null; // [source, name]

    function start() {
      worker = new Worker(url);
      worker.onmessage = ({ data }) => {
        const call = pending.get(data.id);
        if (!call) return;
        if (data.chunk) return call.onChunk && call.onChunk(data.chunk);
        if (data.progress) return call.onProgress && call.onProgress(data.progress);
        pending.delete(data.id);
        if (data.error) {
          const error = new QuorvelError(data.error.code, "");
          error.message = data.error.message;
          if (data.error.name !== "QuorvelError") error.name = data.error.name;
          call.reject(error);
        } else {
          call.resolve(data.value);
        }
      };
      worker.onerror = (event) => {
        event.preventDefault();
        const calls = [...pending.values()];
        pending.clear();
        worker.terminate();
        start();
        if (opened) post("open", opened).catch(() => (opened = null));
        for (const call of calls) call.reject(new QuorvelError("Aborted", "the file"));
      };
    }

    function post(method, args, handlers = {}, transfer = []) {
      if (!worker) start();
      const id = nextId++;
      return new Promise((resolve, reject) => {
        pending.set(id, { resolve, reject, ...handlers });
        worker.postMessage({ id, method, args }, transfer);
      });
    }

    const api = {
      QuorvelError,
      entries: [],
      outputName: "",

      async open(source, name) {
        if (!isBlob(source) && !(source instanceof ArrayBuffer)) source = new Uint8Array(source);
        api.entries = [];
        opened = null;
        const answer = await post("open", [source, String(name)]);
        opened = [source, String(name)];
        api.entries = answer.entries;
        api.outputName = answer.outputName;
        return answer.entries;
      },
      close: () => {
        opened = null;
        api.entries = [];
        return post("close", []);
      },
      describe: (index) => post("describe", [index]),
      files: (index, options = {}) => post("files", [index, options]),
      png: (index, options = {}) => post("png", [index, options]),
      member: (index) => post("member", [index]),
      matching: (patterns) => post("matching", [patterns]),
      thumbnails: (index, options = {}) => post("thumbnails", [index, options]),
      facts: (index) => post("facts", [index]),
      zip(indexes, options = {}) {
        const { onChunk, onProgress, ...choice } = options;
        return post("zip", [indexes, choice], { onChunk, onProgress });
      },
      cancel: () => worker && worker.postMessage({ cancel: true }),
    };
    return api;
  }

  if (typeof module === "object" && module.exports) {
    module.exports = { createQuorvel, colourNumber };
  } else {
    root.createQuorvel = createQuorvel;
    root.createQuorvelInWorker = createQuorvelInWorker;
  }
})(typeof self !== "undefined" ? self : this);
