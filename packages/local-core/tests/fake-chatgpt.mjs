// A loopback fake of the ChatGPT web service's transcription endpoint, with every way it fails.
import http from 'node:http';

/**
 * Starts the fake. `behaviour` (changeable through `fake.behaviour`):
 *   { kind: 'text', text }        200 {"text": text}
 *   { kind: 'status', status, body }
 *   { kind: 'hang' }              accepts the upload and never answers
 *   { kind: 'badjson' }           200 with a body that is not JSON
 *   { kind: 'drop' }              resets the connection after reading the upload
 * Every request is recorded: method, url, headers, the body's bytes.
 */
export async function startFakeChatGPT(behaviour = { kind: 'text', text: 'xin chào' }) {
  const fake = { behaviour, requests: [], sockets: new Set() };
  const server = http.createServer((req, res) => {
    const chunks = [];
    req.on('data', (chunk) => chunks.push(chunk));
    req.on('end', () => {
      fake.requests.push({ method: req.method, url: req.url, headers: req.headers, body: Buffer.concat(chunks) });
      const b = fake.behaviour;
      if (req.url !== '/backend-api/transcribe' || req.method !== 'POST') {
        res.writeHead(404).end('{"detail":"Not Found"}');
      } else if (b.kind === 'text') {
        res.writeHead(200, { 'Content-Type': 'application/json' }).end(JSON.stringify({ text: b.text }));
      } else if (b.kind === 'status') {
        res.writeHead(b.status, { 'Content-Type': 'application/json' }).end(b.body ?? '{"detail":"error"}');
      } else if (b.kind === 'badjson') {
        res.writeHead(200, { 'Content-Type': 'text/html' }).end('<html>challenge</html>');
      } else if (b.kind === 'drop') {
        req.socket.destroy();
      }
      // 'hang': nothing is sent.
    });
  });
  server.on('connection', (socket) => {
    fake.sockets.add(socket);
    socket.on('close', () => fake.sockets.delete(socket));
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  fake.url = `http://127.0.0.1:${server.address().port}`;
  fake.close = () =>
    new Promise((resolve) => {
      for (const socket of fake.sockets) socket.destroy();
      server.close(resolve);
    });
  return fake;
}
