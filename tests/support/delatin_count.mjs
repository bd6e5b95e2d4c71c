// Runs the npm package delatin on a block of float cells (raw little-endian float32, row
// after row) to the given largest error and prints its triangle count and largest error:
//   node delatin_count.mjs DELATIN_INDEX_JS CELLS_FILE COLS ROWS MAX_ERROR
import { readFileSync } from 'node:fs';
import { pathToFileURL } from 'node:url';

const [modulePath, cellsPath, cols, rows, maxError] = process.argv.slice(2);
const { default: Delatin } = await import(pathToFileURL(modulePath).href);
const bytes = readFileSync(cellsPath);
const cells = new Float32Array(bytes.buffer, bytes.byteOffset, bytes.length / 4);
const started = process.hrtime.bigint();
const tin = new Delatin(Float64Array.from(cells), Number(cols), Number(rows));
tin.run(Number(maxError));
const seconds = Number(process.hrtime.bigint() - started) / 1e9;
console.log(`${tin.triangles.length / 3} ${tin.getMaxError()} ${seconds}`);
