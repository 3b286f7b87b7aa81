// The README's nginx site, taken from README.md, with Debian's nginx on loopback in front
// of a web seat: the page and the noVNC client come through it, and so does the seat's
// WebSocket upgrade, which the page needs to play.
'use strict';
const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const { describe, it, before, after } = require('node:test');
const { ROOT, waitFor, portTaken, freePort, Play, launchBrowser, Seat } = require('./rig.js');

const NGINX = '/usr/sbin/nginx';
const missing = !fs.existsSync(NGINX) && 'nginx is missing';
if (missing && process.env.DRAVIK_WEB_REQUIRED)
	throw new Error(missing);

// The site as the README gives it, listening on `listen` and passing to port `to`.
function readmeSite(listen, to) {
	const section = fs.readFileSync(path.join(ROOT, 'README.md'), 'utf8')
		.split('### Behind a reverse proxy')[1];
	const site = section.match(/(?:^ {4}.*\n)+/m)[0].replace(/^ {4}/gm, '');
	const ours = site.replace('listen 80;', `listen 127.0.0.1:${listen};`)
		.replace('http://127.0.0.1:8080;', `http://127.0.0.1:${to};`);
	assert.equal(ours.match(/127\.0\.0\.1:\d+;/g).length, 2, site);
	return ours;
}

describe('behind nginx', { skip: missing }, () => {
	let play, nginx, browser, dir, port, address;
	before(async () => {
		const seatPort = await freePort();
		play = new Play(['--port', String(seatPort), '-p1', 'anna'], process.env.DRAVIK_PROGRAM);
		[address] = await play.addresses(1);
		port = await freePort();
		dir = fs.mkdtempSync('/tmp/dravik-nginx-');
		fs.chmodSync(dir, 0o755);   /* for its workers, when it starts as root */
		fs.writeFileSync(path.join(dir, 'nginx.conf'), `pid ${dir}/nginx.pid;
daemon off;
events { worker_connections 64; }
http {
access_log ${dir}/access.log;
${readmeSite(port, seatPort)}
}
`);
		nginx = spawn(NGINX, ['-p', dir, '-c', `${dir}/nginx.conf`, '-e', `${dir}/error.log`],
			{ stdio: 'ignore' });
		await waitFor('nginx to listen', () => portTaken(port));
		browser = await launchBrowser();
	});
	after(async () => {
		await browser?.close();
		nginx?.kill('SIGTERM');
		await play?.stop();
		if (nginx)
			await waitFor('nginx to end', () => nginx.exitCode !== null || nginx.signalCode);
		fs.rmSync(dir, { recursive: true, force: true });
	});

	it('SeatPlaysThroughTheProxyItsWebSocketUpgraded', async () => {
		const proxied = address.replace(/:\d+\//, `:${port}/`);
		const seat = await Seat.open(browser.context, proxied);
		assert.equal(await seat.state(), 'playing');
		assert.equal(await seat.name(), 'dravik: anna');
		// nginx logs the upgraded request once its connection ends.
		await seat.page.close();
		await waitFor('the upgrade in nginx\'s log', () =>
			/"GET \S+ HTTP\/1\.1" 101 /.test(fs.readFileSync(path.join(dir, 'access.log'), 'utf8')));
	});
});
