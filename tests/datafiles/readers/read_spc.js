// Prints what spc-parser reads from an SPC file, as JSON.
//   node read_spc.js FILE
'use strict';
const fs = require('fs');
const { parse } = require('spc-parser');

const result = parse(fs.readFileSync(process.argv[2]));
const m = result.meta;
console.log(
  JSON.stringify({
    fileVersion: m.fileVersion,
    multiFile: m.parameters.multiFile,
    exponentY: m.exponentY,
    numberPoints: m.numberPoints,
    startingX: m.startingX,
    endingX: m.endingX,
    subFileCount: m.spectra,
    xUnits: m.xUnitsType,
    yUnits: m.yUnitsType,
    zUnits: m.zUnitsType,
    date: m.date,
    resolution: m.resolutionDescription,
    memo: m.memo,
    modifiedFlag: m.modifiedFlag,
    subFiles: result.spectra.map((s) => ({
      index: s.meta.indexNumber,
      exponentY: s.meta.exponentY,
      nextZ: s.meta.endingZ,
      x: Array.from(s.variables.x.data),
      y: Array.from(s.variables.y.data),
    })),
  }),
);
