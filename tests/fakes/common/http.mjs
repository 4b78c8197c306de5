// What every loopback fake does the same way: reading a request body, answering JSON, the
// cookies of a request, and the life of a fake started by a test (port on standard output,
// exit when standard input closes).
import http from 'node:http';

export function sleep(ms) {
  return new Promise((resolve) => setTimeout(resolve, ms));
}

/** The whole body of `req` as bytes. */
export function readBytes(req) {
  return new Promise((resolve, reject) => {
    const chunks = [];
    req.on('data', (chunk) => chunks.push(chunk));
    req.on('end', () => resolve(Buffer.concat(chunks)));
    req.on('error', reject);
  });
}

/** The whole body of `req` as UTF-8 text. */
export async function readBody(req) {
  return (await readBytes(req)).toString('utf8');
}

/** `text` parsed as JSON, or `undefined` when it is not JSON. */
export function parseJson(text) {
  try {
    return JSON.parse(text);
  } catch {
    return undefined;
  }
}

/** Answers `value` (a string is sent as it is, anything else as JSON) with its length. */
export function sendJson(res, status, value, headers = {}) {
  const text = typeof value === 'string' ? value : JSON.stringify(value);
  res.writeHead(status, { 'Content-Type': 'application/json', 'Content-Length': Buffer.byteLength(text), ...headers });
  res.end(text);
}

/** The cookies of a Cookie header, by name (the last of a repeated name wins). */
export function cookies(header) {
  const out = {};
  for (const part of (header ?? '').split(';')) {
    const at = part.indexOf('=');
    if (at > 0) out[part.slice(0, at).trim()] = part.slice(at + 1).trim();
  }
  return out;
}

/** Writes a raw HTTP refusal on a socket (for upgrades that are turned down). */
export function refuseSocket(socket, status, body = '', headers = {}) {
  const reason = http.STATUS_CODES[status] ?? 'Error';
  const lines = [`HTTP/1.1 ${status} ${reason}`, 'Connection: close', `Content-Length: ${Buffer.byteLength(body)}`];
  for (const [name, value] of Object.entries(headers)) lines.push(`${name}: ${value}`);
  socket.end(`${lines.join('\r\n')}\r\n\r\n${body}`);
}

/** Whether the module at `metaUrl` is the script node was started with. */
export function isMain(metaUrl) {
  return metaUrl === `file://${process.argv[1]}`;
}

/** A fake run by a test: prints its port alone on the first line of standard output and
 *  exits when standard input closes (the test holds the pipe) or on SIGTERM. */
export function runAsChild(port) {
  process.stdout.write(`${port}\n`);
  process.stdin.on('end', () => process.exit(0));
  process.stdin.on('close', () => process.exit(0));
  process.stdin.on('error', () => process.exit(0));
  process.stdin.resume();
  process.on('SIGTERM', () => process.exit(0));
}

/** Keeps the open sockets of `server`, so that closing the fake can cut them. */
export function trackSockets(server) {
  const sockets = new Set();
  server.on('connection', (socket) => {
    sockets.add(socket);
    socket.on('close', () => sockets.delete(socket));
  });
  return sockets;
}
