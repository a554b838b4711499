// Prints the records csv-parse reads from a CSV file, as JSON (an array of
// arrays of field texts). Strict parsing: every record must have as many
// fields as the first.
//   node read_csv.js FILE
'use strict';
const fs = require('fs');
const { parse } = require('csv-parse/sync');

const records = parse(fs.readFileSync(process.argv[2]), { record_delimiter: '\r\n' });
console.log(JSON.stringify({ records }));
