// The README's nginx site, taken from README.md, with Debian's nginx on loopback in front
// of dravik-serve: a game started from the front page plays through it, its WebSocket
// upgraded.
'use strict';
const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const { describe, it, before, after } = require('node:test');
const { ROOT, waitFor, portTaken, freePort, launchBrowser } = require('./rig.js');

const NGINX = '/usr/sbin/nginx';
const missing = !fs.existsSync(NGINX) && 'nginx is missing';
assert.ok(!missing || !process.env.DRAVIK_WEB_REQUIRED, missing);

describe('behind nginx', { skip: missing }, () => {
	let server, nginx, browser, dir, port;
	before(async () => {
		const seatPort = await freePort();
		server = spawn(path.join(ROOT, 'web/dravik_serve.py'), ['--game', process.env.DRAVIK_PROGRAM,
			'--pages', path.join(ROOT, 'data/web'), '--novnc', '/usr/share/novnc',
			'--port', String(seatPort), '--trust-proxy'], { stdio: 'ignore' });
		await waitFor('the server to listen', () => portTaken(seatPort));
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
		server?.kill('SIGTERM');
		fs.rmSync(dir, { recursive: true, force: true });
	});

	it('GamePlaysThroughTheProxyItsWebSocketUpgraded', async () => {
		const page = await browser.context.newPage();
		await page.goto(`http://127.0.0.1:${port}/`);
		await page.fill('#name', 'anna');
		await page.click('button:text-is("Play alone")');
		await page.waitForFunction(() => document.body.dataset.state === 'playing', null, { timeout: 20000 });
		// nginx logs the upgraded request once its connection ends.
		await page.close();
		await waitFor('the upgrade in nginx\'s log', () =>
			/"GET \S+ HTTP\/1\.1" 101 /.test(fs.readFileSync(`${dir}/log`, 'utf8')));
	});
});
