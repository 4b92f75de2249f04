// Validates JSON documents against a draft-07 JSON schema, offline, with
// the pinned ajv: node validate-schema.js SCHEMA FILE...
'use strict';
const fs = require('node:fs');
const Ajv = require('ajv');
const addFormats = require('ajv-formats');

const [schemaFile, ...files] = process.argv.slice(2);
const ajv = new Ajv({ allErrors: true, strict: false });
addFormats(ajv);
// winget's name for a 64-bit integer, as installer return codes are.
ajv.addFormat('long', { type: 'number', validate: Number.isInteger });
const validate = ajv.compile(JSON.parse(fs.readFileSync(schemaFile, 'utf8')));
let valid = true;
for (const file of files) {
  if (validate(JSON.parse(fs.readFileSync(file, 'utf8')))) continue;
  valid = false;
  console.error(`${file}: not valid against ${schemaFile}:`);
  console.error(JSON.stringify(validate.errors, null, 2));
}
process.exit(valid ? 0 : 1);
