// Loopback fake of the xAI console's speech side: the proof-of-possession token and the
// streamed text-to-speech endpoint, with every failure a reading must survive on demand.
import http from 'node:http';

import { readBody, runAsChild, sendJson, sleep } from '../common/http.mjs';

const state = { answers: [], requests: [], tokens: new Set(), issued: 0, tokenAnswers: [] };

function write(res, bytes) {
  return new Promise((resolve) => res.write(bytes, () => resolve()));
}

/** Sample `i` of the fake's speech: a sawtooth, so that a test can check every sample. */
export function sample(i) {
  return (i % 2000) * 8 - 8000;
}

function pcm(samples) {
  const bytes = Buffer.alloc(samples * 2);
  for (let i = 0; i < samples; i += 1) bytes.writeInt16LE(sample(i), i * 2);
  return bytes;
}

function b64uJson(part) {
  try {
    return JSON.parse(Buffer.from(part.replace(/-/g, '+').replace(/_/g, '/'), 'base64').toString('utf8'));
  } catch {
    return null;
  }
}

/** What is wrong with a speech request, as the console would see it. */
function speechProblems(req, body, origin) {
  const problems = [];
  const auth = req.headers.authorization || '';
  if (!auth.startsWith('DPoP ') || !state.tokens.has(auth.slice(5))) problems.push('authorization is not a token of ours');
  const proof = (req.headers.dpop || '').split('.');
  const claims = proof.length === 3 ? b64uJson(proof[1]) : null;
  const header = proof.length === 3 ? b64uJson(proof[0]) : null;
  if (!claims || !header) problems.push('dpop is not a compact JWS');
  else {
    if (header.typ !== 'dpop+jwt' || header.alg !== 'ES256') problems.push('dpop header');
    if (claims.htm !== 'POST') problems.push('dpop htm');
    if (claims.htu !== origin + '/v1/tts') problems.push(`dpop htu ${claims.htu}`);
    if (typeof claims.ath !== 'string' || typeof claims.jti !== 'string') problems.push('dpop ath or jti');
  }
  if (!req.headers['x-cluster']) problems.push('no x-cluster');
  if (!(req.headers['content-type'] || '').includes('application/json')) problems.push('content-type');
  if (!(req.headers.cookie || '').includes('sso=')) problems.push('no console cookie');
  if (!body || typeof body !== 'object') return problems.concat('body is not a JSON object');
  if (typeof body.text !== 'string' || body.text.length === 0) problems.push('text');
  if (typeof body.voice_id !== 'string') problems.push('voice_id');
  const format = body.output_format || {};
  if (format.codec !== 'pcm' || format.sample_rate !== 24000) problems.push('output_format');
  if (body.language !== 'auto') problems.push('language');
  if (body.speed !== 1) problems.push('speed');
  if (body.optimize_streaming_latency !== 0 && body.optimize_streaming_latency !== 1) problems.push('optimize_streaming_latency');
  if (body.text_normalization !== true) problems.push('text_normalization');
  const known = ['text', 'voice_id', 'output_format', 'language', 'speed', 'optimize_streaming_latency', 'text_normalization'];
  for (const key of Object.keys(body)) if (!known.includes(key)) problems.push(`unknown field ${key}`);
  return problems;
}

/**
 * ANSWER (scripted through /__fake/script, one per speech request, in order), every field optional:
 *   status       HTTP status (200); other statuses answer with `body` or a JSON error
 *   body         the exact body of a refusal
 *   headers      extra header fields
 *   samples      samples of speech (default: 100 per character of the text)
 *   pieceBytes   bytes per piece written (4801: pieces end inside samples)
 *   gapMs        pause between pieces (5)
 *   headDelayMs  wait before the head
 *   dropAfter    after this many pieces, destroy the connection
 *   silent       accept and never answer
 */
async function speak(req, res, record, body) {
  const answer = state.answers.length > 0 ? state.answers.shift() : {};
  if (answer.headDelayMs) await sleep(answer.headDelayMs);
  if (answer.silent) {
    record.outcome = 'silent';
    return;
  }
  const status = answer.status ?? 200;
  if (status !== 200) {
    const text = answer.body ?? JSON.stringify({ error: `status ${status}` });
    res.writeHead(status, { 'Content-Type': 'application/json', 'Content-Length': Buffer.byteLength(text), ...(answer.headers || {}) });
    res.end(text);
    return;
  }
  const audio = pcm(answer.samples ?? 100 * Array.from(body.text).length);
  const pieceBytes = answer.pieceBytes || 4801;
  res.writeHead(200, { 'Content-Type': 'application/octet-stream', ...(answer.headers || {}) });
  res.flushHeaders();
  let pieces = 0;
  for (let at = 0; at < audio.length; at += pieceBytes) {
    if (answer.dropAfter !== undefined && pieces >= answer.dropAfter) {
      record.outcome = 'dropped';
      res.socket.destroy();
      return;
    }
    if (pieces > 0) await sleep(answer.gapMs ?? 5);
    if (res.destroyed) return;
    await write(res, audio.subarray(at, at + pieceBytes));
    record.bytesSent += Math.min(pieceBytes, audio.length - at);
    pieces += 1;
  }
  if (answer.dropAfter !== undefined && pieces >= answer.dropAfter) {
    record.outcome = 'dropped';
    res.socket.destroy();
    return;
  }
  res.end();
}

async function control(req, res, path) {
  const text = await readBody(req);
  let body = {};
  try {
    body = text ? JSON.parse(text) : {};
  } catch {
    return sendJson(res, 400, { error: 'control body is not JSON' });
  }
  if (path === '/__fake/script' && req.method === 'POST') {
    state.answers = state.answers.concat(Array.isArray(body.answers) ? body.answers : []);
    state.tokenAnswers = state.tokenAnswers.concat(Array.isArray(body.tokens) ? body.tokens : []);
    return sendJson(res, 200, { queued: state.answers.length });
  }
  if (path === '/__fake/reset' && req.method === 'POST') {
    state.answers = [];
    state.tokenAnswers = [];
    state.requests = [];
    return sendJson(res, 200, { ok: true });
  }
  if (path === '/__fake/requests' && req.method === 'GET') return sendJson(res, 200, { requests: state.requests });
  return sendJson(res, 404, { error: 'no such control endpoint' });
}

async function serve(req, res) {
  const url = new URL(req.url, 'http://fake.invalid');
  if (url.pathname.startsWith('/__fake/')) return control(req, res, url.pathname);
  const text = await readBody(req);
  let body = null;
  try {
    body = JSON.parse(text);
  } catch {
    body = null;
  }
  const record = { method: req.method, path: url.pathname, headers: req.headers, body: text, problems: [], outcome: 'open', bytesSent: 0 };
  state.requests.push(record);
  res.on('close', () => {
    if (record.outcome === 'open' || record.outcome === 'silent') record.outcome = res.writableFinished ? 'completed' : 'aborted';
  });
  const origin = `http://${req.headers.host}`;
  if (req.method === 'POST' && url.pathname === '/v1/dpop/token') {
    const scripted = state.tokenAnswers.length > 0 ? state.tokenAnswers.shift() : null;
    if (scripted && scripted.status) return sendJson(res, scripted.status, scripted.body ?? { error: 'refused' });
    if (!(req.headers.cookie || '').includes('sso=')) return sendJson(res, 401, { error: 'not signed in' });
    const jwk = body && body.jwk;
    if (!jwk || jwk.kty !== 'EC' || jwk.crv !== 'P-256' || typeof jwk.x !== 'string' || typeof jwk.y !== 'string') {
      record.problems.push('jwk');
      return sendJson(res, 400, { error: 'fake: jwk' });
    }
    state.issued += 1;
    const token = `tok-${state.issued}`;
    state.tokens.add(token);
    return sendJson(res, 200, { access_token: token, token_type: 'DPoP' });
  }
  if (req.method === 'POST' && url.pathname === '/v1/tts') {
    record.problems = speechProblems(req, body, origin);
    if (record.problems.length > 0 && record.problems[0] === 'authorization is not a token of ours') {
      return sendJson(res, 401, { error: 'invalid token' });
    }
    if (record.problems.length > 0) return sendJson(res, 400, { error: `fake: ${record.problems.join('; ')}` });
    return speak(req, res, record, body);
  }
  return sendJson(res, 404, { error: `fake: nothing is served at ${url.pathname}` });
}

const server = http.createServer((req, res) => {
  serve(req, res).catch(() => res.destroy());
});
server.listen(0, '127.0.0.1', () => runAsChild(server.address().port));
