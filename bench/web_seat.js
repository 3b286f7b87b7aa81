// Measures a web seat of scripts/play as a player meets it in headless Chromium: the time
// from a key pressed in the page to the moved piece in the page's canvas, the bytes on the
// seat's WebSocket while playing and while idle, and the CPU and memory of the seat's
// processes, the memory also with SEATS seats open at once. Started by scripts/bench,
// which puts playwright-core on NODE_PATH.
//   node bench/web_seat.js [--fast] [--moves N] [--idle SECONDS] [--seats N] PROGRAM
// Without --fast it prints Markdown tables; with it, a short summary, and it fails when a
// move never showed or no byte flowed while playing.
'use strict';
const fs = require('node:fs');
const path = require('node:path');
const { ROOT, K, waitFor, freePort, Play, launchBrowser, Seat } = require('../tests/web/rig.js');
const {
	CLOCK_TICKS, MIB, sleep, watchMoves, pressAndCount, memory, median, percentile95, fixed,
} = require('./web_measure.js');

const TICK_MS = 50;
// A key waits for the game's next tick, at a uniformly random point of it: that wait
// alone has this median and 95th percentile.
const TICK_WAIT = { median: TICK_MS / 2, p95: TICK_MS * 0.95 };
// The aims: key to canvas on this machine's loopback at a load under 1, and the PSS of a
// seat, its share of the bridge included, with AIM_SEATS seats open.
const AIM = { median: 32, p95: 56, seatMiB: 20 };
const AIM_SEATS = 8;
const MOVE_WAIT_MS = 20000;   // a move not on the screen by then is counted as never shown
const USAGE = 'usage: web_seat.js [--fast] [--moves N] [--idle SECONDS] [--seats N] PROGRAM';
const SETTLE_MS = 3000;       // for the seats' pages to draw before their memory is read

function parseArguments(argv) {
	const options = { fast: false, moves: 300, idle: 20, seats: 8, program: null };
	for (let i = 0; i < argv.length; i++) {
		const a = argv[i];
		if (a === '--fast')
			Object.assign(options, { fast: true, moves: 20, idle: 2, seats: 1 });
		else if (a === '--moves' || a === '--idle' || a === '--seats')
			options[a.slice(2)] = Number(argv[++i]);
		else if (!options.program && !a.startsWith('-'))
			options.program = path.resolve(a);
		else
			throw new Error(USAGE);
	}
	if (!options.program || !(options.moves > 0) || !(options.idle > 0) || !(options.seats >= 1))
		throw new Error(USAGE);
	return options;
}

// The processes of the run's group that are measured, with their CPU ticks so far; the
// seats' X servers, each in a session of its own, are the bridge's children.
function processes(group, program) {
	const all = [];
	for (const entry of fs.readdirSync('/proc')) {
		if (!/^\d+$/.test(entry))
			continue;
		let stat, argv;
		try {
			stat = fs.readFileSync(`/proc/${entry}/stat`, 'utf8');
			argv = fs.readFileSync(`/proc/${entry}/cmdline`, 'utf8').split('\0');
		} catch {
			continue;   // gone meanwhile
		}
		const comm = stat.slice(stat.indexOf('(') + 1, stat.lastIndexOf(')'));
		const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
		const name = comm === 'Xvnc' ? 'Xvnc'
			: argv.some((a) => path.basename(a) === 'dravik_bridge.py') ? 'bridge'
			: argv[0] === program ? 'game' : null;
		if (name)
			all.push({ pid: Number(entry), ppid: Number(fields[1]), group: Number(fields[2]), name,
				ticks: Number(fields[11]) + Number(fields[12]) });
	}
	const bridges = new Set(all.filter((p) => p.name === 'bridge' && p.group === group).map((p) => p.pid));
	return all.filter((p) => p.group === group || (p.name === 'Xvnc' && bridges.has(p.ppid)))
		.map(({ group: _, ...p }) => p);
}


// The PSS of each kind of process, summed, and of the whole, with COUNT single seats
// served at once, each with its page open: MiB a seat.
async function seatsMemory(program, count) {
	const runs = [];
	const browser = await launchBrowser();
	try {
		for (let i = 0; i < count; i++) {
			runs.push(new Play(['--web', '--port', String(await freePort()), '-p1', `seat${i + 1}`], program));
			const [address] = await runs[i].addresses(1);   // its ports held before the next is sought
			const seat = await Seat.open(browser.context, address);
			if ((await seat.state()) !== 'playing')
				throw new Error(`seat ${i + 1}'s page is ${await seat.state()}, not playing`);
		}
		await sleep(SETTLE_MS);
		const share = { 'whole seat': 0 };
		for (const run of runs) {
			for (const p of processes(run.child.pid, program)) {
				const { pss } = memory(p.pid);
				share[p.name] = (share[p.name] || 0) + pss / count;
				share['whole seat'] += pss / count;
			}
		}
		return share;
	} finally {
		await browser.close();
		await Promise.all(runs.map((run) => run.stop()));
	}
}

// Runs body and returns what the seat carried and the processes spent meanwhile.
async function phase(group, program, traffic, body) {
	const before = { ...traffic, at: performance.now(), processes: processes(group, program) };
	const result = await body();
	const seconds = (performance.now() - before.at) / 1000;
	const cpu = {};
	for (const p of processes(group, program)) {
		const was = before.processes.find((q) => q.pid === p.pid);
		cpu[p.name] = (cpu[p.name] || 0) + (p.ticks - (was ? was.ticks : 0)) / CLOCK_TICKS / seconds * 100;
	}
	const rate = (what) => (traffic[what] - before[what]) / seconds;
	return { seconds, down: rate('down'), up: rate('up'), frames: rate('frames'), cpu, result };
}

// Shifts the piece left and right in turn, each key once the last one shows, after a
// random part of a tick so that the keys fall at every point of the game's tick.
async function play(seat, count) {
	const moves = { shown: [], landed: 0, never: 0 };
	for (let i = 0; moves.shown.length + moves.never < count && i < 2 * count; i++) {
		await pressAndCount(seat.page, i, moves);
		await sleep(Math.random() * TICK_MS);
	}
	return moves;
}

async function measure(options) {
	const port = await freePort();
	const run = new Play(['--web', '--port', String(port), '-p1', 'bench'], options.program);
	let browser;
	try {
		const [address] = await run.addresses(1);
		browser = await launchBrowser();
		// Frame payloads as the page's WebSocket gets and sends them: the VNC protocol,
		// without WebSocket, TCP or IP headers.
		const traffic = { down: 0, up: 0, frames: 0 };
		browser.context.on('page', (page) => page.on('websocket', (socket) => {
			socket.on('framereceived', ({ payload }) => {
				traffic.down += Buffer.byteLength(payload);
				traffic.frames++;
			});
			socket.on('framesent', ({ payload }) => {
				traffic.up += Buffer.byteLength(payload);
				traffic.frames++;
			});
		}));
		const seat = await Seat.open(browser.context, address);
		if ((await seat.state()) !== 'playing')
			throw new Error(`the seat's page is ${await seat.state()}, not playing`);
		await seat.page.evaluate(watchMoves, {
			left: K.WINDOW_BORDER + K.FIELD_X, top: K.WINDOW_BORDER + K.FIELD_Y,
			cols: K.BOARD_COLS, rows: K.START_FLOOR_ROW + 1, cell: K.CELL_PX, limit: MOVE_WAIT_MS,
		});
		await waitFor('the first piece in the page', () =>
			seat.page.evaluate(() => window.dravikBench.cells().count > 0));
		const group = run.child.pid;
		const playing = await phase(group, options.program, traffic, () => play(seat, options.moves));
		const idle = await phase(group, options.program, traffic, () => sleep(options.idle * 1000));
		const looks = await seat.page.evaluate(() => window.dravikBench.looking / window.dravikBench.looks);
		const memories = {};
		for (const p of processes(group, options.program))
			memories[p.name] = memory(p.pid);
		return { playing, idle, moves: playing.result, looks, memories };
	} finally {
		await browser?.close();
		await run.stop();
	}
}

const whole = (x) => Math.round(x).toLocaleString('en-US');

// The game's own X traffic in single play from the sections above on this page: bytes a
// second idle, and bytes a shift (medians), both ways.
function gameXTraffic() {
	let text;
	try {
		text = fs.readFileSync(path.join(ROOT, 'docs/performance.md'), 'utf8');
	} catch {
		return null;
	}
	const idle = text.match(/^\| single, playing, no key \|[^|]*\|[^|]*\| (\d+) \| (\d+) \|/m);
	const shift = text.match(/^\| shift by one column \| \d+ \|[^|]*\| (\d+)[^|]*\| (\d+)[^|]*\|/m);
	if (!idle || !shift)
		return null;
	return { idle: Number(idle[1]) + Number(idle[2]), shift: Number(shift[1]) + Number(shift[2]) };
}

function summary(m) {
	const sorted = [...m.moves.shown].sort((a, b) => a - b);
	return { sorted, median: median(sorted), p95: percentile95(sorted),
		rate: sorted.length / m.playing.seconds };
}

function printTables(m, options) {
	const s = summary(m);
	const within = s.sorted.filter((ms) => ms <= 100).length;
	console.log('### From a key to the screen\n');
	console.log('Milliseconds from the key\'s event in the page to the first look at the canvas that shows the piece moved; the page looks every ' +
		`${fixed(m.looks)} ms on average, which the figures may overstate by as much.\n`);
	console.log(`The game takes a key at its next tick: that wait alone, at a random point of its ${TICK_MS} ms tick, has a median of ${fixed(TICK_WAIT.median)} ms and a 95th percentile of ${fixed(TICK_WAIT.p95)} ms; "beyond the tick" is the figure less that wait, what the seat adds.\n`);
	console.log('| moves shown | median | 95th percentile | median, 95th percentile beyond the tick | fastest–slowest | within 100 ms | moves left out: landing, never shown |');
	console.log('| --- | --- | --- | --- | --- | --- | --- |');
	console.log(`| ${s.sorted.length} | ${fixed(s.median)} | ${fixed(s.p95)} | ${fixed(s.median - TICK_WAIT.median)}, ${fixed(s.p95 - TICK_WAIT.p95)} | ` +
		`${fixed(s.sorted[0])}–${fixed(s.sorted[s.sorted.length - 1])} | ${fixed(within / s.sorted.length * 100)} % | ${m.moves.landed}, ${m.moves.never} |\n`);

	console.log('### Traffic on the seat\'s connection\n');
	console.log('WebSocket frame payloads as the page gets (down) and sends (up) them, counted by the browser: the VNC protocol without the WebSocket, TCP and IP headers. ' +
		`Playing is the moves above, ${fixed(s.rate)} a second; idle is ${options.idle} s without a key after them, the piece still falling.\n`);
	console.log('| state | seconds | bytes/s down | bytes/s up | bytes/s both ways | frames/s |');
	console.log('| --- | --- | --- | --- | --- | --- |');
	for (const [state, p] of [['playing', m.playing], ['idle', m.idle]])
		console.log(`| ${state} | ${fixed(p.seconds)} | ${whole(p.down)} | ${whole(p.up)} | ${whole(p.down + p.up)} | ${fixed(p.frames)} |`);
	console.log();
	const x = gameXTraffic();
	if (x) {
		const own = x.idle + x.shift * s.rate;
		console.log(`The game's own X traffic at that pace, from the X traffic section above (single play: ${x.idle} bytes/s idle, ${x.shift} bytes a shift, both ways): ` +
			`${whole(own)} bytes/s while playing, against the seat's ${whole(m.playing.down + m.playing.up)} (${fixed(
				(m.playing.down + m.playing.up) / own)} times); idle ${x.idle} against ${whole(m.idle.down + m.idle.up)} (${fixed(
				(m.idle.down + m.idle.up) / x.idle)} times).\n`);
	}

	console.log('### CPU and memory\n');
	console.log('CPU time (utime + stime in /proc/PID/stat) per second of each state, as a percentage of one core; resident memory from /proc/PID/status at the end: the peak (VmHWM) and the current (VmRSS), and the proportional share (PSS, /proc/PID/smaps_rollup), in which a page that N processes share counts 1/N for each. Chromium is not counted.\n');
	console.log('| process | CPU % playing | CPU % idle | peak RSS MiB | RSS MiB | PSS MiB |');
	console.log('| --- | --- | --- | --- | --- | --- |');
	for (const name of ['game', 'Xvnc', 'bridge']) {
		const mem = m.memories[name] || {};
		console.log(`| ${name} | ${fixed(m.playing.cpu[name], 2)} | ${fixed(m.idle.cpu[name], 2)} | ${fixed(mem.peak, 2)} | ${fixed(mem.now, 2)} | ${fixed(mem.pss, 2)} |`);
	}
	console.log();
	const counts = Object.keys(m.shares);
	console.log(`### Memory a seat\n`);
	console.log(`PSS in MiB a seat, with ${counts.join(' and ')} single seats served at once by as many runs of \`scripts/play --web\`, each with its page open and its game running, read ${SETTLE_MS / 1000} s after the last page opened: what each seat costs the machine, the libraries that the seats share counted once.\n`);
	console.log(`| process | ${counts.map((n) => `${n} seat${n === '1' ? '' : 's'}`).join(' | ')} |`);
	console.log(`| --- | ${counts.map(() => '---').join(' | ')} |`);
	for (const name of ['game', 'Xvnc', 'bridge', 'whole seat'])
		console.log(`| ${name} | ${counts.map((n) => fixed(m.shares[n][name], 2)).join(' | ')} |`);
	console.log();
	const aims = [
		`${fixed(within / s.sorted.length * 100)} % of the moves on the screen within 100 ms (the aim: 95 %)`,
		`key to canvas median ${fixed(s.median)} ms and 95th percentile ${fixed(s.p95)} ms (the aims, at a load under 1: ${AIM.median} and ${AIM.p95})`,
	];
	if (m.shares[AIM_SEATS])
		aims.push(`a seat ${fixed(m.shares[AIM_SEATS]['whole seat'])} MiB PSS with ${AIM_SEATS} seats (the aim: at most ${AIM.seatMiB})`);
	if (x)
		aims.push(`the seat's traffic while playing ${fixed((m.playing.down + m.playing.up) / (x.idle + x.shift * s.rate))} times the game's own X traffic (the aim: a few times)`);
	console.log(`Against the aims: ${aims.join('; ')}.`);
}

// The quick form's figures and checks: every move shown, bytes while playing.
function printSummary(m, options) {
	const s = summary(m);
	console.log(`web seat: ${options.moves} moves: ${s.sorted.length} shown, ${m.moves.landed} left out for a landing, ` +
		`${m.moves.never} never shown; key to screen median ${fixed(s.median)} ms, 95th percentile ${fixed(s.p95)} ms`);
	console.log(`web seat: bytes/s down and up, playing ${whole(m.playing.down)} and ${whole(m.playing.up)}, idle ${whole(m.idle.down)} and ${whole(m.idle.up)}`);
	const cpu = Object.keys(m.memories).map((name) =>
		`${name} ${fixed(m.playing.cpu[name], 2)}/${fixed(m.idle.cpu[name], 2)} %, ${fixed(m.memories[name].peak, 1)}/${fixed(m.memories[name].pss, 1)} MiB`);
	console.log(`web seat: CPU playing/idle and peak RSS/PSS: ${cpu.join('; ')}`);
	const failures = [];
	if (m.moves.never || s.sorted.length < options.moves)
		failures.push(`${options.moves - s.sorted.length} of ${options.moves} moves never showed in the canvas`);
	if (!(m.playing.down > 0))
		failures.push('no byte reached the page while playing');
	for (const f of failures)
		console.error(`web seat: ${f}`);
	return failures.length === 0;
}

async function main() {
	const options = parseArguments(process.argv.slice(2));
	const m = await measure(options);
	if (options.fast)
		return printSummary(m, options);
	m.shares = {};
	for (const count of new Set([1, options.seats]))
		m.shares[count] = await seatsMemory(options.program, count);
	printTables(m, options);
	return true;
}

main().then((ok) => { process.exitCode = ok ? 0 : 1; }, (error) => {
	console.error(`web seat: ${error.stack || error}`);
	process.exitCode = 1;
});
