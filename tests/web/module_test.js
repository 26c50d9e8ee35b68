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
