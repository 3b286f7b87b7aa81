// What the browser benchmarks share: a watch in the page from a key to the moved piece in
// its canvas, a process's memory from /proc, and the statistics of the tables.
'use strict';
const fs = require('node:fs');
const { spawnSync } = require('node:child_process');

const CLOCK_TICKS = Number(spawnSync('getconf', ['CLK_TCK'], { encoding: 'utf8' }).stdout) || 100;
const MIB = 1024;             // kB in a MiB, as /proc gives kB

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Runs in the page. Watches every ArrowLeft and ArrowRight: from the key's event to the
// first look at the canvas whose field shows the piece moved that way. The field is read
// at the centre of each cell (pieces are its only colours); a piece that falls meanwhile
// leaves the sum of the coloured cells' columns as it was, a shift moves it by the piece's
// cells. A change in the number of coloured cells is a landing, and the move is left out.
function watchMoves({ left, top, cols, rows, cell, limit }) {
	const canvas = document.querySelector('#screen canvas');
	const context = canvas.getContext('2d', { willReadFrequently: true });
	const width = cols * cell;
	const cells = () => {
		const { data } = context.getImageData(left, top, width, rows * cell);
		let count = 0, columns = 0;
		for (let r = 0; r < rows; r++) {
			for (let c = 0; c < cols; c++) {
				const i = ((r * cell + cell / 2) * width + c * cell + cell / 2) * 4;
				if (data[i] !== data[i + 1] || data[i + 1] !== data[i + 2]) {
					count++;
					columns += c;
				}
			}
		}
		return { count, columns };
	};
	const bench = { cells, move: null, looks: 0, looking: 0 };
	window.dravikBench = bench;
	addEventListener('keydown', (event) => {
		const direction = { ArrowLeft: -1, ArrowRight: 1 }[event.key];
		if (!direction)
			return;
		const start = event.timeStamp, before = cells();
		bench.move = new Promise((resolve) => {
			const look = () => {
				const now = cells(), at = performance.now();
				bench.looks++;
				const done = (result) => {
					bench.looking += at - start;
					resolve(result);
				};
				if (now.count !== before.count)
					done({ landed: true });
				else if (Math.sign(now.columns - before.columns) === direction)
					done({ ms: at - start });
				else if (at - start > limit)
					done({ ms: null });
				else
					setTimeout(look, 1);
			};
			look();
		});
	}, true);   // before the VNC client sees the key
}

// A process's memory in MiB: peak and current resident (RSS), and its proportional share
// (PSS), in which a page shared by N processes counts 1/N for each.
function memory(pid) {
	const status = fs.readFileSync(`/proc/${pid}/status`, 'utf8');
	const kb = (field) => Number((status.match(new RegExp(`^${field}:\\s*(\\d+)`, 'm')) || [])[1]);
	const pss = fs.readFileSync(`/proc/${pid}/smaps_rollup`, 'utf8').match(/^Pss:\s*(\d+)/m);
	return { peak: kb('VmHWM') / MIB, now: kb('VmRSS') / MIB, pss: Number(pss[1]) / MIB };
}

function median(sorted) {
	const n = sorted.length, h = Math.floor(n / 2);
	return n % 2 ? sorted[h] : (sorted[h - 1] + sorted[h]) / 2;
}

const percentile95 = (sorted) => sorted[Math.max(0, Math.ceil(0.95 * sorted.length) - 1)];
const fixed = (x, digits = 1) => (x === undefined || Number.isNaN(x) ? '–' : x.toFixed(digits));

// Presses a shift in PAGE (left on even I, right on odd) and counts how it showed in MOVES
// ({ shown: [ms...], landed, never }), as watchMoves saw it.
async function pressAndCount(page, i, moves) {
	await page.keyboard.press(i % 2 ? 'ArrowRight' : 'ArrowLeft');
	const move = await page.evaluate(() => window.dravikBench.move);
	if (move.landed)
		moves.landed++;
	else if (move.ms === null)
		moves.never++;
	else
		moves.shown.push(move.ms);
}

module.exports = {
	CLOCK_TICKS, MIB, sleep, watchMoves, pressAndCount, memory, median, percentile95, fixed,
};
