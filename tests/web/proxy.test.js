// The README's nginx site, taken from README.md, with Debian's nginx on loopback in front
// of a web seat: the page plays through it, its WebSocket upgraded.
'use strict';
const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const { describe, it, before, after } = require('node:test');
const { ROOT, waitFor, portTaken, freePort, Play, launchBrowser, Seat } = require('./rig.js');

const NGINX = '/usr/sbin/nginx';
const missing = !fs.existsSync(NGINX) && 'nginx is missing';
assert.ok(!missing || !process.env.DRAVIK_WEB_REQUIRED, missing);

describe('behind nginx', { skip: missing }, () => {
	let play, nginx, browser, dir, port, address;
	before(async () => {
		const seatPort = await freePort();
		play = new Play(['--port', String(seatPort), '-p1', 'anna'], process.env.DRAVIK_PROGRAM);
		[address] = await play.addresses(1);
		port = await freePort();
		const site = fs.readFileSync(`${ROOT}/README.md`, 'utf8').split('### Behind a reverse proxy')[1]
			.match(/(?:^ {4}.*\n)+/m)[0].replace(/^ {4}/gm, '')
			.replace('listen 80;', `listen 127.0.0.1:${port};`).replace(':8080;', `:${seatPort};`);
		dir = fs.mkdtempSync('/tmp/dravik-nginx-');
		fs.chmodSync(dir, 0o755);   /* for its workers, when it starts as root */
		fs.writeFileSync(`${dir}/conf`,
			`pid ${dir}/pid; daemon off; events {} http { access_log ${dir}/log; ${site} }`);
		nginx = spawn(NGINX, ['-p', dir, '-e', `${dir}/error.log`, '-c', `${dir}/conf`]);
		await waitFor('nginx to listen', () => portTaken(port));
		browser = await launchBrowser();
	});
	after(async () => {
		await browser?.close();
		nginx?.kill();
		await play?.stop();
		fs.rmSync(dir, { recursive: true, force: true });
	});

	it('SeatPlaysThroughTheProxyItsWebSocketUpgraded', async () => {
		const seat = await Seat.open(browser.context, address.replace(/:\d+\//, `:${port}/`));
		assert.equal(await seat.state(), 'playing');
		// nginx logs the upgraded request once its connection ends.
		await seat.page.close();
		await waitFor('the upgrade in nginx\'s log', () =>
			/"GET \S+ HTTP\/1\.1" 101 /.test(fs.readFileSync(`${dir}/log`, 'utf8')));
	});
});
