// The page's interface to the converter compiled to WebAssembly (quorvel-wasm.js):
//   await quorvel.open(bytes, name)           the entries of an archive, or one for a picture:
//                                             [{name, kind, size, storedSize, storage, usable,
//                                             damage}] (damage: why a member cannot be extracted)
//   await quorvel.describe(index)             a picture's {format, width, height, depth, images}
//   await quorvel.png(index, {raw, bgcolor, image})   PNG bytes, as `quorvel -png` writes them
//   await quorvel.files(index, {raw, bgcolor})        every file the conversion writes for the
//                                             entry: [{path, bytes}] (a series' images, a WAVE...)
//   await quorvel.member(index)               the bytes extraction delivers
// A failure rejects with an Error whose `code` names the result (UnknownFormat, ReadError,
// OutOfMemory, ...) and whose `reason` says why where the converter knows (also in its message). Works in the page (window.quorvel) and in Node (require).
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
  };

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

  function createQuorvel(loadCore) {
    let corePromise = null;
    let opened = null; // {bytes, name, entries}: reopened in a fresh module after an abort

    function core() {
      if (!corePromise) corePromise = Promise.resolve(loadCore());
      return corePromise;
    }

    // m given: the converter's reason for the failure goes with it.
    function check(result, what, m) {
      if (result === 0) return;
      const reason = m ? m.UTF8ToString(m._qv_failure()) : "";
      throw new QuorvelError(RESULT_NAMES[result] || String(result), what, reason);
    }

    function openIn(m, bytes, name) {
      const address = m._malloc(Math.max(bytes.length, 1));
      if (!address) throw new QuorvelError("OutOfMemory", name);
      m.HEAPU8.set(bytes, address);
      const nameBytes = m.lengthBytesUTF8(name) + 1;
      const nameAddress = m._malloc(nameBytes);
      m.stringToUTF8(name, nameAddress, nameBytes);
      try {
        check(m._qv_open(address, bytes.length, nameAddress), name);
      } finally {
        m._free(nameAddress);
        m._free(address);
      }
    }

    // Runs work(module); a module that aborted (its memory exhausted by something unchecked) is
    // dropped and the opened file reopened in a fresh one, so the page goes on.
    async function run(work, what) {
      const m = await core();
      try {
        return work(m);
      } catch (error) {
        if (error instanceof QuorvelError) throw error;
        corePromise = null;
        if (opened) {
          try {
            openIn(await core(), opened.bytes, opened.name);
          } catch (ignored) {
            opened = null;
          }
        }
        throw new QuorvelError("Aborted", what);
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

    const api = {
      QuorvelError,
      entries: [],
      // The folder an archive's members go into (its name without the extension).
      outputName: "",

      async open(bytes, name) {
        bytes = bytes instanceof Uint8Array ? bytes : new Uint8Array(bytes);
        opened = null;
        api.entries = [];
        return run((m) => {
          openIn(m, bytes, String(name));
          const entries = JSON.parse(m.UTF8ToString(m._qv_entries()));
          for (const entry of entries) entry.usable = entry.usable === 1;
          opened = { bytes, name: String(name), entries };
          api.entries = entries;
          api.outputName = m.UTF8ToString(m._qv_output_name());
          return entries;
        }, String(name));
      },

      async describe(index) {
        const what = entryName(index);
        return run((m) => {
          check(m._qv_describe(index), what, m);
          return JSON.parse(m.UTF8ToString(m._qv_text()));
        }, what);
      },

      async files(index, options = {}) {
        const what = entryName(index);
        const background = colourNumber(options.bgcolor);
        return run((m) => {
          check(m._qv_convert(index, options.raw ? 1 : 0, background, 1), what, m);
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
    };
    return api;
  }

  if (typeof module === "object" && module.exports) {
    module.exports = { createQuorvel, colourNumber };
  } else {
    root.createQuorvel = createQuorvel;
  }
})(typeof self !== "undefined" ? self : this);
