// node validate_gltf.js <validator module folder> <file.glb>...
// Runs the Khronos glTF validator over each file; fails on any error or
// warning (infos and hints are fine). The models' bitmaps are referenced by
// name and shipped apart from the models, so every image the file names is
// given to the validator as a stand-in 1x1 PNG; a buffer it names is a fault.
'use strict';
const fs = require('fs');
const path = require('path');
const validator = require(process.argv[2]);
const kStandInImage = Buffer.from(
    'iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==', 'base64');

async function main() {
    let failed = false;
    for (const file of process.argv.slice(3)) {
        const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
            uri: path.basename(file),
            maxIssues: 0,
            writeTimestamp: false,
            externalResourceFunction: (uri) =>
                /\.bin$/i.test(uri) ? Promise.reject(new Error(`external buffer ${uri}`))
                                     : Promise.resolve(new Uint8Array(kStandInImage)),
        });
        const { numErrors, numWarnings, messages } = report.issues;
        console.log(`${file}: ${numErrors} errors, ${numWarnings} warnings, ${report.issues.numInfos} infos`);
        for (const m of messages) console.log(`  ${m.severity} ${m.code} ${m.pointer || ''}: ${m.message}`);
        if (numErrors > 0 || numWarnings > 0) failed = true;
    }
    process.exit(failed ? 1 : 0);
}
main().catch((e) => { console.error(e); process.exit(1); });
