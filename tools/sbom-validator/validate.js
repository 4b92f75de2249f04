// Validates CycloneDX 1.6 JSON documents strictly and offline, against the
// schemas that the CycloneDX library brings: node validate.js FILE...
'use strict';
const fs = require('node:fs');
const { Spec, Validation } = require('@cyclonedx/cyclonedx-library');

async function main(files) {
  const validator = new Validation.JsonStrictValidator(Spec.Version.v1dot6);
  let valid = true;
  for (const file of files) {
    const errors = await validator.validate(fs.readFileSync(file, 'utf8'));
    if (errors === null) {
      console.log(`${file}: valid CycloneDX 1.6`);
    } else {
      valid = false;
      console.error(`${file}: not valid CycloneDX 1.6:`);
      console.error(JSON.stringify(errors, null, 2));
    }
  }
  return valid;
}

main(process.argv.slice(2)).then(
    (valid) => process.exit(valid ? 0 : 1),
    (error) => {
      console.error(error);
      process.exit(2);
    });
