// Reads the PNG images the browser's screenshots are: 8 bits a channel, RGB or RGBA,
// not interlaced. Enough for the tests to look at pixels without a library.
'use strict';
const zlib = require('node:zlib');

function paeth(a, b, c) {
	const p = a + b - c;
	const pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
	return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// decodePng(buffer) -> { width, height, rgb(x, y) -> [r, g, b] }
function decodePng(buffer) {
	let width = 0, height = 0, channels = 0;
	const data = [];
	for (let at = 8; at < buffer.length;) {
		const length = buffer.readUInt32BE(at);
		const type = buffer.toString('latin1', at + 4, at + 8);
		const body = buffer.subarray(at + 8, at + 8 + length);
		if (type === 'IHDR') {
			width = body.readUInt32BE(0);
			height = body.readUInt32BE(4);
			const depth = body[8], colour = body[9], interlace = body[12];
			channels = { 2: 3, 6: 4 }[colour];
			if (depth !== 8 || !channels || interlace)
				throw new Error(`unsupported PNG: depth ${depth}, colour type ${colour}`);
		} else if (type === 'IDAT') {
			data.push(body);
		}
		at += 12 + length;
	}
	const raw = zlib.inflateSync(Buffer.concat(data));
	const stride = width * channels;
	const pixels = Buffer.alloc(stride * height);
	for (let y = 0; y < height; y++) {
		const filter = raw[y * (stride + 1)];
		const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
		for (let i = 0; i < stride; i++) {
			const left = i >= channels ? pixels[y * stride + i - channels] : 0;
			const up = y > 0 ? pixels[(y - 1) * stride + i] : 0;
			const corner = y > 0 && i >= channels ? pixels[(y - 1) * stride + i - channels] : 0;
			const predictor = [0, left, up, (left + up) >> 1, paeth(left, up, corner)][filter];
			pixels[y * stride + i] = (line[i] + predictor) & 0xff;
		}
	}
	return {
		width,
		height,
		rgb(x, y) {
			const at = y * stride + x * channels;
			return [pixels[at], pixels[at + 1], pixels[at + 2]];
		},
	};
}

module.exports = { decodePng };
