// Serves a folder on 127.0.0.1 (default build/web/site on port 8037):
//   node tools/web/serve.mjs [FOLDER] [PORT] [BYTES_PER_SECOND]
// Port 0 picks a free port. The first line printed is the address. With a
// rate, every file is sent at about that many bytes a second, as over a slow
// connection.
import { createServer } from 'node:http';
import { readFile } from 'node:fs/promises';
import { extname, isAbsolute, join, normalize, relative, resolve } from 'node:path';

const types = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.wasm': 'application/wasm',
  '.mp3': 'audio/mpeg',
  '.png': 'image/png',
};

const sendInterval = 50;  // milliseconds between the pieces of a slow send

// Sends `body` in pieces, `bytesPerSecond` bytes a second.
function sendSlowly(response, body, bytesPerSecond) {
  const piece = Math.max(1, Math.round((bytesPerSecond * sendInterval) / 1000));
  let at = 0;
  const next = () => {
    if (response.destroyed) return;
    response.write(body.subarray(at, at + piece));
    at += piece;
    if (at < body.length) setTimeout(next, sendInterval);
    else response.end();
  };
  next();
}

export function serveFolder(folder, port = 0, { bytesPerSecond = 0 } = {}) {
  const root = resolve(folder);
  const server = createServer(async (request, response) => {
    const path = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    const file = normalize(join(root, path.endsWith('/') ? `${path}index.html` : path));
    const inside = relative(root, file);
    if (inside.startsWith('..') || isAbsolute(inside)) {
      response.writeHead(403).end();
      return;
    }
    try {
      const body = await readFile(file);
      response.writeHead(200, {
        'Content-Type': types[extname(file)] ?? 'application/octet-stream',
        'Content-Length': body.length,
      });
      if (bytesPerSecond > 0) sendSlowly(response, body, bytesPerSecond);
      else response.end(body);
    } catch {
      response.writeHead(404).end('not found');
    }
  });
  return new Promise((done) => {
    server.listen(port, '127.0.0.1', () => done(server));
  });
}

if (import.meta.url === `file://${process.argv[1]}`) {
  const server = await serveFolder(process.argv[2] ?? 'build/web/site', Number(process.argv[3] ?? 8037),
    { bytesPerSecond: Number(process.argv[4] ?? 0) });
  console.log(`vantrel is playing at http://127.0.0.1:${server.address().port}/ (Ctrl+C stops)`);
}
