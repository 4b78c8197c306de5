// Starting a core on a free loopback port with a private configuration directory.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import http from 'node:http';

import { createCoreServer } from '../src/server.mjs';

export async function startCore(options = {}) {
  const configDir = fs.mkdtempSync(path.join(os.tmpdir(), 'veska-core-test-'));
  const server = createCoreServer({ configDir, chatgptURL: 'http://127.0.0.1:9', ...options });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const port = server.address().port;
  return {
    configDir,
    port,
    base: `http://127.0.0.1:${port}`,
    close: async () => {
      server.closeAllConnections();
      await new Promise((resolve) => server.close(resolve));
      fs.rmSync(configDir, { recursive: true, force: true });
    },
  };
}

/** A raw request (so tests choose every header, Host included). Resolves with status,
 *  headers and the body as text. */
export function request(core, method, pathName, { headers = {}, body } = {}) {
  return new Promise((resolve, reject) => {
    const req = http.request(
      { host: '127.0.0.1', port: core.port, method, path: pathName, headers: { Host: `127.0.0.1:${core.port}`, ...headers } },
      (res) => {
        const chunks = [];
        res.on('data', (c) => chunks.push(c));
        res.on('end', () => resolve({ status: res.statusCode, headers: res.headers, body: Buffer.concat(chunks).toString('utf8') }));
      },
    );
    req.on('error', reject);
    if (body !== undefined) req.write(body);
    req.end();
  });
}

export const putJSON = (core, pathName, value, headers = {}) =>
  request(core, 'PUT', pathName, { headers: { 'Content-Type': 'application/json', ...headers }, body: JSON.stringify(value) });

/** The upload the app sends, byte for byte. */
export function appUpload(audio, boundary = 'Boundary-6F1C2A9E-3B4D-4E5F-8A7B-1C2D3E4F5A6B') {
  const body = Buffer.concat([
    Buffer.from(`--${boundary}\r\nContent-Disposition: form-data; name="file"; filename="audio.m4a"\r\nContent-Type: audio/mp4\r\n\r\n`),
    audio,
    Buffer.from(`\r\n--${boundary}--\r\n`),
  ]);
  return { body, contentType: `multipart/form-data; boundary=${boundary}` };
}

/** An unsigned JWT with `claims`. */
export function jwt(claims) {
  const part = (value) => Buffer.from(JSON.stringify(value)).toString('base64url');
  return `${part({ alg: 'RS256', typ: 'JWT' })}.${part(claims)}.c2lnbmF0dXJl`;
}
