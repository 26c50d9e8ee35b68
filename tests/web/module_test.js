// The WebAssembly module through the page's interface (web/quorvel.js), in Node:
// - every sample and writer-made file gives, entry by entry, exactly the files the native
//   program writes with -png (blended, -raw, and another background colour), and together no more;
// - every malformed file of every format opens, describes, converts and extracts without stopping
//   the module: each failure is a result of the converter;
// - a picture too large for the module's memory is refused and the module goes on.
// Environment: QUORVEL_WEB (the built page), QUORVEL_INPUTS (the files), QUORVEL_REFERENCE (the
// native outputs, one folder per variant as test-web.sh makes them), QUORVEL_MALFORMED.
"use strict";
const test = require("node:test");
const assert = require("node:assert");
const fs = require("node:fs");
const path = require("node:path");

const web = process.env.QUORVEL_WEB;
const createQuorvelCore = require(path.join(web, "quorvel-wasm.js"));
const { createQuorvel } = require(path.join(web, "quorvel.js"));
const wasmBinary = fs.readFileSync(path.join(web, "quorvel-wasm.wasm"));
const quorvel = createQuorvel(() => createQuorvelCore({ wasmBinary }));

const VARIANTS = {
  blended: {},
  raw: { raw: true },
  background: { bgcolor: "336699" },
};

// Every file below a folder, as paths relative to it.
function filesBelow(folder, prefix = "") {
  return fs.readdirSync(folder, { withFileTypes: true }).flatMap((entry) => {
    const relative = prefix + entry.name;
    return entry.isDirectory() ? filesBelow(path.join(folder, entry.name), relative + "/")
                               : [relative];
  });
}

const inputs = fs.readdirSync(process.env.QUORVEL_INPUTS).filter((n) => /\.(a|px)$/.test(n)).sort();

for (const [variant, options] of Object.entries(VARIANTS)) {
  test(`outputs equal the native program's with the ${variant} pictures`, async () => {
    const reference = path.join(process.env.QUORVEL_REFERENCE, variant);
    const expected = new Set(filesBelow(reference));
    const written = new Set();
    for (const name of inputs) {
      const entries = await quorvel.open(fs.readFileSync(path.join(process.env.QUORVEL_INPUTS, name)), name);
      const folder = name.endsWith(".a") ? quorvel.outputName + "/" : "";
      for (let i = 0; i < entries.length; ++i) {
        for (const file of await quorvel.files(i, options)) {
          const relative = folder + file.path;
          assert.ok(expected.has(relative), `${name}: ${relative} is not written natively`);
          assert.ok(Buffer.from(file.bytes).equals(fs.readFileSync(path.join(reference, relative))),
                    `${name}: ${relative} differs from the native file`);
          written.add(relative);
        }
      }
    }
    assert.deepStrictEqual([...expected].filter((f) => !written.has(f)), []);
  });
}

test("png() gives each image of a series, member() the extracted bytes", async () => {
  const entries = await quorvel.open(fs.readFileSync(path.join(process.env.QUORVEL_INPUTS, "series0b.px")),
                                     "series0b.px");
  assert.strictEqual(entries.length, 1);
  const facts = await quorvel.describe(0);
  assert.ok(facts.images > 1);
  const files = await quorvel.files(0);
  assert.strictEqual(files.length, facts.images);
  for (let image = 0; image < facts.images; ++image) {
    assert.deepStrictEqual(await quorvel.png(0, { image }), files[image].bytes);
  }
  await assert.rejects(quorvel.png(0, { image: facts.images }), { code: "UnknownFormat" });
  const archive = fs.readFileSync(path.join(process.env.QUORVEL_INPUTS, "sample.a"));
  const members = await quorvel.open(archive, "sample.a");
  const sound = members.findIndex((m) => m.storage === "wave");
  const wave = await quorvel.member(sound);
  assert.strictEqual(wave.length, members[sound].size);
  assert.strictEqual(Buffer.from(wave.subarray(0, 4)).toString(), "RIFF");
});

test("bad input and limits are answered, and the module goes on", async () => {
  await assert.rejects(quorvel.open(new Uint8Array([1, 2, 3]), "notes.doc"), { code: "UnknownFormat" });
  await assert.rejects(quorvel.open(new Uint8Array([0x1e, 0xaf, 0, 0]), "empty.a"), { code: "UnknownFormat" });
  await assert.rejects(quorvel.describe(0), RangeError);
  // A 32-bit plain picture that claims 20000 x 20000 pixels (1.6 GB decoded), without its pixels.
  const huge = new Uint8Array(64);
  const view = new DataView(huge.buffer);
  for (const at of [0, 20]) view.setInt32(at, 20000, true);
  for (const at of [4, 24]) view.setInt32(at, 20000, true);
  view.setUint32(16, 0x00200001, true);
  await quorvel.open(huge, "huge.px");
  await assert.rejects(quorvel.png(0), { code: "OutOfMemory" });
  await assert.rejects(quorvel.open(new Uint8Array([0x41]), "bad.px").then(() => quorvel.png(0)),
                       { code: "UnknownFormat" });
  const sample = await quorvel.open(fs.readFileSync(path.join(process.env.QUORVEL_INPUTS, "sample.a")), "sample.a");
  assert.ok((await quorvel.png(sample.findIndex((m) => m.kind === "picture"))).length > 0);
});

test("every malformed file is answered without stopping the module", async () => {
  const folder = process.env.QUORVEL_MALFORMED;
  const names = fs.readdirSync(folder).sort();
  assert.ok(names.length > 100);
  const expectFailure = (error) => {
    assert.ok(error instanceof quorvel.QuorvelError && error.code !== "Aborted", `${error.stack}`);
  };
  for (const name of names) {
    let entries;
    try {
      entries = await quorvel.open(fs.readFileSync(path.join(folder, name)), name);
    } catch (error) {
      expectFailure(error);
      continue;
    }
    for (let i = 0; i < entries.length; ++i) {
      for (const work of [() => quorvel.member(i), () => quorvel.files(i), () => quorvel.files(i, { raw: true }),
                          ...(entries[i].kind === "picture" ? [() => quorvel.describe(i)] : [])]) {
        await work().catch(expectFailure);
      }
    }
  }
});

// A file read through {size, read(position, count)}, counting what is read.
function countingReader(bytes) {
  const reader = {
    size: bytes.length,
    bytesRead: 0,
    read(position, count) {
      reader.bytesRead += count;
      return bytes.subarray(position, position + count);
    },
  };
  return reader;
}

// An archive of size bytes that exists only as its directory and a few members' bytes: zeros
// elsewhere, as a sparse file reads. members: [{name, bytes | size}] stored plain, in order.
function sparseArchive(members, size) {
  const records = new Uint8Array(4 + 32 * members.length);
  const view = new DataView(records.buffer);
  view.setUint16(0, 0xaf1e, true);
  view.setUint16(2, members.length, true);
  const pieces = [];
  let offset = 0;
  members.forEach((member, i) => {
    const at = 4 + 32 * i;
    records.set(Buffer.from(member.name, "latin1"), at);
    const length = member.bytes ? member.bytes.length : member.size;
    view.setUint32(at + 24, length, true);
    view.setUint32(at + 28, offset, true);
    if (member.bytes) pieces.push({ start: records.length + offset, bytes: member.bytes });
    offset += length;
  });
  pieces.push({ start: 0, bytes: records });
  const reader = {
    size: Math.max(size, records.length + offset),
    bytesRead: 0,
    read(position, count) {
      const end = Math.min(position + count, reader.size);
      const out = new Uint8Array(Math.max(0, end - position));
      for (const piece of pieces) {
        const from = Math.max(position, piece.start);
        const to = Math.min(end, piece.start + piece.bytes.length);
        if (from < to) out.set(piece.bytes.subarray(from - piece.start, to - piece.start), from - position);
      }
      reader.bytesRead += out.length;
      return out;
    },
  };
  return reader;
}

// A 32-bit plain picture header that claims width x height pixels, without its pixels.
function pictureClaiming(width, height) {
  const header = new Uint8Array(64);
  const view = new DataView(header.buffer);
  for (const at of [0, 20]) view.setInt32(at, width, true);
  for (const at of [4, 24]) view.setInt32(at, height, true);
  view.setUint32(16, 0x00200001, true);
  return header;
}

test("a file read on demand gives the same files, and opening reads its directory only", async () => {
  const inputs = process.env.QUORVEL_INPUTS;
  const archive = fs.readFileSync(path.join(inputs, "sample.a"));
  const reader = countingReader(archive);
  const entries = await quorvel.open(reader, "sample.a");
  assert.deepStrictEqual(entries, await createQuorvel(() => createQuorvelCore({ wasmBinary }))
    .open(archive, "sample.a"));
  for (let i = 0; i < entries.length; ++i) {
    for (const file of await quorvel.files(i)) {
      const native = fs.readFileSync(path.join(process.env.QUORVEL_REFERENCE, "blended", "sample", file.path));
      assert.ok(Buffer.from(file.bytes).equals(native), `${file.path} read on demand differs`);
    }
  }
  // 1.6 GB: a sample picture, a member of zeros and a picture over the limit.
  const picture = fs.readFileSync(path.join(inputs, "title8.px"));
  const big = sparseArchive([{ name: "title8.px", bytes: picture }, { name: "zeros.dat", size: 1.5e9 },
                             { name: "huge.px", bytes: pictureClaiming(16384, 16384) }], 1.6e9);
  const members = await quorvel.open(big, "big.a");
  assert.deepStrictEqual(members.map((m) => m.name), ["title8.px", "zeros.dat", "huge.px"]);
  assert.ok(big.bytesRead < 1024 * 1024, `opening read ${big.bytesRead} bytes`);
  const png = await quorvel.png(0);
  assert.ok(Buffer.from(png).equals(fs.readFileSync(path.join(process.env.QUORVEL_REFERENCE, "blended",
                                                               "title8.png"))));
  await assert.rejects(quorvel.png(2), (error) => error.code === "OutOfMemory" &&
                       /16384 (×|x) 16384 pixels.*(limit|more than the page)/.test(error.message));
  assert.strictEqual((await quorvel.files(0))[0].path, "title8.png", "the module goes on");
});

test("a module dropped after every call (its memory given back) reopens the file for the next", async () => {
  let modules = 0;
  const fresh = createQuorvel(() => (++modules, createQuorvelCore({ wasmBinary })), { releaseBytes: 0 });
  const archive = fs.readFileSync(path.join(process.env.QUORVEL_INPUTS, "sample.a"));
  const entries = await fresh.open(countingReader(archive), "sample.a");
  for (let i = 0; i < entries.length; ++i) {
    for (const file of await fresh.files(i)) {
      const native = fs.readFileSync(path.join(process.env.QUORVEL_REFERENCE, "blended", "sample", file.path));
      assert.ok(Buffer.from(file.bytes).equals(native), `${file.path} after a reopening differs`);
    }
  }
  assert.strictEqual(modules, entries.length + 1);
});

test("matching() takes the entries that -only: takes", async () => {
  const archive = fs.readFileSync(path.join(process.env.QUORVEL_INPUTS, "sample.a"));
  const entries = await quorvel.open(archive, "sample.a");
  const names = (indexes) => indexes.map((i) => entries[i].name);
  assert.deepStrictEqual(names(await quorvel.matching("")), entries.map((e) => e.name));
  assert.deepStrictEqual(names(await quorvel.matching("*.PX")),
                         entries.filter((e) => /\.px$/i.test(e.name)).map((e) => e.name));
  assert.deepStrictEqual(names(await quorvel.matching("タ*;nothing")), ["タイトル.txt"]);
  assert.deepStrictEqual(await quorvel.matching("?"), []);
});
