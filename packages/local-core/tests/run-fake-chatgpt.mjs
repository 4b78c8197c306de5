#!/usr/bin/env node
// Runs the fake ChatGPT transcription endpoint for tests in other languages:
// `node run-fake-chatgpt.mjs PORT [TEXT]` answers every transcription with TEXT.
import http from 'node:http';

import { boundaryOf, findPart } from '../src/multipart.mjs';

const port = Number(process.argv[2]);
const text = process.argv[3] ?? 'xin chào';
http.createServer((req, res) => {
  const chunks = [];
  req.on('data', (c) => chunks.push(c));
  req.on('end', () => {
    const body = Buffer.concat(chunks);
    const boundary = boundaryOf(req.headers['content-type']);
    const audio = boundary ? findPart(body, boundary, 'file') : null;
    const ok = req.method === 'POST' && req.url === '/backend-api/transcribe' &&
      req.headers.authorization?.startsWith('Bearer ') && audio !== null;
    if (!ok) {
      res.writeHead(400, { 'Content-Type': 'application/json' }).end('{"detail":"bad request"}');
      return;
    }
    // The answer names how many bytes of audio arrived, so a caller can check the whole file came.
    res.writeHead(200, { 'Content-Type': 'application/json' }).end(JSON.stringify({ text: `${text} (${audio.length} bytes)` }));
  });
}).listen(port, '127.0.0.1');
process.on('SIGTERM', () => process.exit(0));
