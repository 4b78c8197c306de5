// A loopback fake of the Claude web service's voice stream
// (GET /api/ws/speech_to_text/voice_stream, a WebSocket of 16 kHz linear16 audio in, transcript
// messages out) and of its account endpoint (GET /api/account). Prints its port on standard
// output and exits when standard input closes. See ../README.md for the control endpoints.
import http from 'node:http';
import { WebSocketServer } from 'ws';

import { cookies, isMain, readBody, refuseSocket as refuse, runAsChild } from '../common/http.mjs';

export const STREAM_PATH = '/api/ws/speech_to_text/voice_stream';
export const USER_AGENT =
  'Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/17.0 Safari/605.1.15';
const QUERY = [
  ['encoding', 'linear16'],
  ['sample_rate', '16000'],
  ['channels', '1'],
  ['endpointing_ms', '300'],
  ['utterance_end_ms', '1000'],
  ['language', null],  // any language code
  ['use_conversation_engine', 'true'],
  ['stt_provider', 'deepgram-nova3'],
  ['client_platform', 'web_claude_ai'],
];
const MAX_RECORDED_MESSAGES = 10000;

/** The answer to audio when nothing was scripted: words after each second of audio. */
const DEFAULT_CONNECTION = {
  replies: [
    { afterAudioBytes: 16000, send: { type: 'TranscriptInterim', data: 'xin' } },
    { afterAudioBytes: 32000, send: { type: 'TranscriptText', data: 'xin chào' } },
    { afterAudioBytes: 32000, send: { type: 'TranscriptEndpoint' } },
  ],
};

/** Everything wrong with an upgrade request, as a list of problems (empty: it is what Veska sends). */
export function checkUpgrade(req, url, origin) {
  const problems = [];
  if (url.pathname !== STREAM_PATH) problems.push(`path ${url.pathname}`);
  const items = [...url.searchParams.entries()];
  const expected = QUERY.length + (url.searchParams.has('organization_uuid') ? 1 : 0);
  if (items.length !== expected) problems.push(`${items.length} query items, expected ${expected}`);
  QUERY.forEach(([key, value], i) => {
    const item = items[i];
    if (!item || item[0] !== key) problems.push(`query item ${i + 1} is ${item ? item[0] : 'missing'}, expected ${key}`);
    else if (value !== null && item[1] !== value) problems.push(`${key}=${item[1]}, expected ${value}`);
    else if (value === null && item[1] === '') problems.push(`${key} is empty`);
  });
  if (url.searchParams.has('organization_uuid')) {
    const last = items[items.length - 1];
    if (last[0] !== 'organization_uuid') problems.push('organization_uuid is not the last query item');
    if (last[1] === '') problems.push('organization_uuid is empty');
  }
  if (req.headers.origin !== origin) problems.push(`Origin ${req.headers.origin}, expected ${origin}`);
  if (req.headers['user-agent'] !== USER_AGENT) problems.push(`User-Agent ${req.headers['user-agent']}`);
  if (!req.headers.cookie) problems.push('no Cookie header');
  return problems;
}

export function startServer({ port = 0 } = {}) {
  const state = { sessionKey: 'test-session', queue: [], connections: [], account: null };
  const wss = new WebSocketServer({ noServer: true });
  const server = http.createServer((req, res) => control(req, res, state));

  server.on('upgrade', (req, socket, head) => {
    const origin = `http://127.0.0.1:${server.address().port}`;
    const url = new URL(req.url, origin);
    const behaviour = state.queue.length > 0 ? state.queue.shift() : DEFAULT_CONNECTION;
    const record = {
      path: url.pathname,
      query: [...url.searchParams.entries()],
      headers: { cookie: req.headers.cookie ?? null, origin: req.headers.origin ?? null, 'user-agent': req.headers['user-agent'] ?? null },
      problems: checkUpgrade(req, url, origin),
      outcome: 'opening',
      messages: [],
      audioBytes: 0,
      closeCode: null,
    };
    state.connections.push(record);
    if (record.problems.length > 0) {
      record.outcome = 'refused';
      refuse(socket, 400, `fake: ${record.problems.join('; ')}`);
      return;
    }
    if (cookies(req.headers.cookie).sessionKey !== state.sessionKey) {
      record.outcome = 'refused';
      refuse(socket, 401, '{"error":"unauthorized"}', { 'Content-Type': 'application/json' });
      return;
    }
    if (behaviour.refuse) {
      record.outcome = 'refused';
      refuse(socket, behaviour.refuse, behaviour.refuseBody ?? '', behaviour.refuseHeaders ?? {});
      return;
    }
    if (behaviour.closeBeforeOpen) {
      record.outcome = 'dropped';
      socket.destroy();
      return;
    }
    wss.handleUpgrade(req, socket, head, (ws) => serve(ws, record, behaviour));
  });

  return new Promise((resolve) => {
    server.listen(port, '127.0.0.1', () => resolve({ server, state, port: server.address().port }));
  });
}

/** One open voice stream: records what the client sends and answers as scripted. */
function serve(ws, record, behaviour) {
  record.outcome = 'open';
  const timers = [];
  const later = (ms, fn) => timers.push(setTimeout(fn, ms));
  const send = (message) => {
    if (ws.readyState !== ws.OPEN || record.closeStream) return;
    ws.send(typeof message === 'string' ? message : JSON.stringify(message));
  };
  const pending = [...(behaviour.replies ?? [])];
  if (behaviour.closeAfterOpenMs !== undefined) later(behaviour.closeAfterOpenMs, () => ws.close(behaviour.closeCode ?? 1011));
  if (behaviour.dropAfterOpenMs !== undefined) later(behaviour.dropAfterOpenMs, () => ws.terminate());

  ws.on('message', (data, isBinary) => {
    if (record.messages.length < MAX_RECORDED_MESSAGES) {
      record.messages.push(isBinary ? { binary: data.length } : { text: data.toString() });
    }
    if (isBinary) {
      if (record.closeStream) return;
      record.audioBytes += data.length;
      while (pending.length > 0 && record.audioBytes >= (pending[0].afterAudioBytes ?? 0)) {
        const reply = pending.shift();
        later(reply.delayMs ?? 0, () => send(reply.send));
      }
      return;
    }
    let message = null;
    try {
      message = JSON.parse(data.toString());
    } catch {
      record.problems.push(`text message is not JSON: ${data.toString().slice(0, 80)}`);
      return;
    }
    if (message?.type === 'CloseStream') {
      // After CloseStream only the scripted answer to it is sent; by default the fake goes silent.
      for (const reply of behaviour.onCloseStream ?? []) later(reply.delayMs ?? 0, () => ws.send(JSON.stringify(reply.send)));
      record.closeStream = true;
    } else if (message?.type !== 'KeepAlive') {
      record.problems.push(`unknown text message ${message?.type}`);
    }
  });
  ws.on('close', (code) => {
    record.outcome = 'closed';
    record.closeCode = code;
    timers.forEach(clearTimeout);
  });
  ws.on('error', () => {
    record.outcome = 'dropped';
  });
}

function reply(res, status, body, headers = { 'Content-Type': 'application/json' }) {
  const text = typeof body === 'string' ? body : JSON.stringify(body);
  res.writeHead(status, { ...headers, 'Content-Length': Buffer.byteLength(text) });
  res.end(text);
}

async function control(req, res, state) {
  const url = new URL(req.url, 'http://127.0.0.1');
  if (url.pathname === '/api/account' && req.method === 'GET') {
    if (cookies(req.headers.cookie).sessionKey !== state.sessionKey) return reply(res, 401, { error: 'unauthorized' });
    const account = state.account ?? { status: 200, body: { email_address: 'user@example.com', settings: {} } };
    return reply(res, account.status ?? 200, account.body ?? '', account.headers ?? { 'Content-Type': 'application/json' });
  }
  if (!url.pathname.startsWith('/__fake/')) return reply(res, 404, { error: 'not found' });
  const text = req.method === 'POST' ? await readBody(req) : '';
  let body = {};
  try {
    body = text ? JSON.parse(text) : {};
  } catch {
    return reply(res, 400, { error: 'fake: control body is not JSON' });
  }
  switch (url.pathname) {
    case '/__fake/script':
      state.queue.push(...(body.connections ?? []));
      return reply(res, 200, { queued: state.queue.length });
    case '/__fake/session':
      state.sessionKey = body.sessionKey ?? '';
      return reply(res, 200, {});
    case '/__fake/account':
      state.account = body;
      return reply(res, 200, {});
    case '/__fake/reset':
      state.queue = [];
      state.connections = [];
      state.account = null;
      state.sessionKey = 'test-session';
      return reply(res, 200, {});
    case '/__fake/connections':
      return reply(res, 200, { connections: state.connections });
    default:
      return reply(res, 404, { error: 'fake: unknown control endpoint' });
  }
}

if (isMain(import.meta.url)) {
  const { port } = await startServer();
  runAsChild(port);
}
