// Prints what jcampconverter reads from a JCAMP-DX file, as JSON: every
// block (the link block of a compound file first) with its spectra.
//   node read_jcamp.js FILE
//
// jcampconverter decodes (XY..XY) tables only under the PEAK TABLE label and
// skips ##XYPOINTS=(XY..XY), the label of a continuous curve of unevenly
// spaced points, whose table has the same syntax. The table is handed to it
// under the label it decodes; "relabelled" counts how often that was done.
'use strict';
const fs = require('fs');
const { convert } = require('jcampconverter');

let text = fs.readFileSync(process.argv[2], 'latin1');
const relabelled = (text.match(/^##XYPOINTS=/gm) || []).length;
text = text.replace(/^##XYPOINTS=/gm, '##PEAK TABLE=');

const result = convert(text, { keepRecordsRegExp: /.*/ });
console.log(
  JSON.stringify({
    relabelled,
    logs: result.logs,
    blocks: result.flatten.map((b) => ({
      title: b.title,
      dataType: b.dataType,
      jcampDX: b.jcampDX,
      info: b.info,
      spectra: b.spectra.map((s) => ({
        xUnits: s.xUnits,
        yUnits: s.yUnits,
        firstX: s.firstX,
        lastX: s.lastX,
        firstY: s.firstY,
        nbPoints: s.nbPoints,
        xFactor: s.xFactor,
        yFactor: s.yFactor,
        equallySpaced: Boolean(s.isXYdata),
        x: Array.from(s.data.x),
        y: Array.from(s.data.y),
      })),
    })),
  }),
);
