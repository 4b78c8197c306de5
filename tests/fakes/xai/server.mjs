// Loopback fake of the xAI console (proof-of-possession token, realtime client secrets, voices)
// and of the realtime WebSocket API, with the failures Veska must survive on demand.
import crypto from 'node:crypto';
import http from 'node:http';
import { WebSocketServer } from 'ws';

import { parseJson as parse, readBody, refuseSocket, runAsChild, sendJson } from '../common/http.mjs';

const MODEL = 'grok-voice-think-fast-2.0';
const PREFIX = 'xai-client-secret.';
const fresh = () => ({
  tokens: new Map(), // token -> jwk
  secrets: new Set(),
  jtis: new Set(),
  tokenAnswers: [], // scripted {status, body, headers} for the next token requests
  secretAnswers: [],
  voices: null, // a scripted body for /v1/tts/voices
  refuseTextOnly: false, // an error naming modalities while the session asks for text only
  refuseTools: false, // an error naming tools while the session has tools
  requests: [],
  sockets: [],
  issued: 0,
});
let state = fresh();

const b64u = (bytes) => Buffer.from(bytes).toString('base64url');
const sha256 = (text) => crypto.createHash('sha256').update(text, 'utf8').digest();

function publicKey(jwk) {
  if (!jwk || jwk.kty !== 'EC' || jwk.crv !== 'P-256' || typeof jwk.x !== 'string' || typeof jwk.y !== 'string') return null;
  if (jwk.x.length !== 43 || jwk.y.length !== 43) return null;
  try {
    return crypto.createPublicKey({ key: { kty: 'EC', crv: 'P-256', x: jwk.x, y: jwk.y }, format: 'jwk' });
  } catch {
    return null;
  }
}

function hasSession(req) {
  return /(?:^|;\s*)sso=[^;]+/.test(req.headers.cookie || '');
}

/** The problems of a request's token and proof for `method` and `path`. */
export function proofProblems(req, method, path, origin, seen = state) {
  const problems = [];
  const auth = req.headers.authorization || '';
  const token = auth.startsWith('DPoP ') ? auth.slice(5) : '';
  const bound = seen.tokens.get(token);
  if (!bound) problems.push('authorization is not a token of ours');
  const parts = (req.headers.dpop || '').split('.');
  if (parts.length !== 3) return [...problems, 'dpop is not a compact JWS'];
  const header = parse(Buffer.from(parts[0], 'base64url').toString('utf8'));
  const claims = parse(Buffer.from(parts[1], 'base64url').toString('utf8'));
  if (!header || !claims) return [...problems, 'dpop parts are not JSON'];
  if (header.typ !== 'dpop+jwt' || header.alg !== 'ES256') problems.push('dpop header');
  const key = publicKey(header.jwk);
  if (!key) problems.push('dpop jwk');
  else if (!crypto.verify('sha256', Buffer.from(`${parts[0]}.${parts[1]}`), { key, dsaEncoding: 'ieee-p1363' },
    Buffer.from(parts[2], 'base64url'))) problems.push('dpop signature');
  if (bound && header.jwk && (bound.x !== header.jwk.x || bound.y !== header.jwk.y)) problems.push('token bound to another key');
  if (claims.htm !== method) problems.push('dpop htm');
  if (claims.htu !== origin + path) problems.push('dpop htu');
  if (claims.ath !== b64u(sha256(token))) problems.push('dpop ath');
  if (!Number.isInteger(claims.iat) || Math.abs(Date.now() / 1000 - claims.iat) > 60) problems.push('dpop iat');
  if (typeof claims.jti !== 'string' || Buffer.from(claims.jti, 'base64url').length !== 16) problems.push('dpop jti');
  else if (seen.jtis.has(claims.jti)) problems.push('dpop jti reused');
  else seen.jtis.add(claims.jti);
  return problems;
}

function consoleProblems(req, origin) {
  const problems = [];
  if (!hasSession(req)) problems.push('no sso cookie');
  if (req.headers.origin !== origin) problems.push('origin');
  if (req.headers.referer !== origin + '/') problems.push('referer');
  if (!(req.headers['user-agent'] || '').startsWith('Mozilla/5.0')) problems.push('user-agent');
  return problems;
}

function scripted(res, queue) {
  const next = queue.shift();
  if (!next) return false;
  sendJson(res, next.status, next.body ?? '', next.headers ?? {});
  return true;
}

async function handle(req, res) {
  const url = new URL(req.url, 'http://x');
  const origin = `http://${req.headers.host}`;
  const body = await readBody(req);
  const record = { method: req.method, path: url.pathname, headers: req.headers, body, problems: [] };
  state.requests.push(record);

  if (url.pathname.startsWith('/__fake/')) return control(req, res, url.pathname, body);
  if (req.method === 'POST' && url.pathname === '/v1/dpop/token') {
    record.problems = consoleProblems(req, origin);
    if (scripted(res, state.tokenAnswers)) return;
    if (!hasSession(req)) return sendJson(res, 401, { error: 'unauthenticated' });
    const jwk = parse(body)?.jwk;
    if (!publicKey(jwk) || req.headers['content-type'] !== 'application/json') {
      record.problems.push('jwk or content type');
      return sendJson(res, 400, { error: 'fake: bad token request' });
    }
    state.issued += 1;
    const token = `tok-${state.issued}`;
    state.tokens.set(token, jwk);
    return sendJson(res, 200, { access_token: token, token_type: 'DPoP', expires_in: 300 });
  }
  if (req.method === 'POST' && url.pathname === '/v1/realtime/client_secrets') {
    record.problems = [...consoleProblems(req, origin), ...proofProblems(req, 'POST', url.pathname, origin)];
    if (scripted(res, state.secretAnswers)) return;
    if (record.problems.length) return sendJson(res, 401, { error: 'invalid proof', problems: record.problems });
    const model = parse(body)?.session?.model;
    if (model !== MODEL) return sendJson(res, 400, { error: 'fake: model' });
    const secret = `sec-${crypto.randomBytes(6).toString('hex')}`;
    state.secrets.add(secret);
    return sendJson(res, 200, { value: secret, expires_at: Math.floor(Date.now() / 1000) + 60 });
  }
  if (req.method === 'GET' && url.pathname === '/v1/tts/voices') {
    record.problems = [...consoleProblems(req, origin), ...proofProblems(req, 'GET', url.pathname, origin)];
    if (record.problems.length) return sendJson(res, 401, { error: 'invalid proof' });
    return sendJson(res, 200, state.voices ?? { voices: [{ voice_id: 'eve', name: 'Eve' }, { voice_id: 'sal' }] });
  }
  sendJson(res, 404, { error: 'not found' });
}

function control(req, res, path, body) {
  if (path === '/__fake/config') {
    Object.assign(state, parse(body) ?? {});
    return sendJson(res, 200, { ok: true });
  }
  if (path === '/__fake/reset') {
    for (const socket of state.sockets) socket.terminate?.();
    state = fresh();
    return sendJson(res, 200, { ok: true });
  }
  if (path === '/__fake/requests') {
    const requests = state.requests.filter((r) => !r.path.startsWith('/__fake/'));
    return sendJson(res, 200, { requests, sockets: state.sockets.map((s) => s.record) });
  }
  return sendJson(res, 404, { error: 'no such control' });
}

/** Answers one user message the way the realtime API would, honouring the session. */
function reply(ws, session, text) {
  const send = (event) => ws.send(JSON.stringify(event));
  if (state.refuseTextOnly && JSON.stringify(session.modalities) === '["text"]') {
    return send({ type: 'error', error: { type: 'invalid_request_error', message: "Modalities ['text'] are not supported" } });
  }
  if (state.refuseTools && session.tools?.length) {
    return send({ type: 'error', error: { type: 'invalid_request_error', message: 'Tool use is not supported' } });
  }
  const answer = `Echo: ${text}`;
  send({ type: 'response.created' });
  if (session.tools?.length && session.tool_choice === 'required') {
    const args = JSON.stringify({ text: answer });
    for (let i = 0; i < args.length; i += 7) send({ type: 'response.function_call_arguments.delta', delta: args.slice(i, i + 7) });
    send({ type: 'response.function_call_arguments.done', call_id: 'call-1', arguments: args });
  } else {
    for (let i = 0; i < answer.length; i += 5) send({ type: 'response.output_text.delta', delta: answer.slice(i, i + 5) });
    send({ type: 'response.output_text.done', text: answer });
  }
  send({ type: 'response.done' });
}

function realtime(wss) {
  wss.on('connection', (ws, req) => {
    const record = { path: req.url, protocol: ws.protocol, origin: req.headers.origin, events: [], closeCode: null };
    ws.record = record;
    state.sockets.push(ws);
    const session = {};
    let lastUser = '';
    ws.send(JSON.stringify({ type: 'session.created', session: { model: MODEL } }));
    ws.on('message', (data) => {
      const event = parse(data.toString('utf8'));
      record.events.push(event ?? null);
      if (!event) return;
      if (event.type === 'session.update') Object.assign(session, event.session);
      if (event.type === 'conversation.item.create' && event.item?.type === 'message') {
        lastUser = event.item.content?.[0]?.text ?? '';
      }
      if (event.type === 'response.create') reply(ws, session, lastUser);
    });
    ws.on('close', (code) => {
      record.closeCode = code;
    });
  });
}

function refuse(socket, status) {
  refuseSocket(socket, status, '{}', { 'Content-Type': 'application/json' });
}

const server = http.createServer((req, res) => {
  handle(req, res).catch(() => sendJson(res, 500, { error: 'fake failure' }));
});
const wss = new WebSocketServer({
  noServer: true,
  handleProtocols: (protocols) => [...protocols].find((p) => p.startsWith(PREFIX)) ?? false,
});
realtime(wss);
server.on('upgrade', (req, socket, head) => {
  const url = new URL(req.url, 'http://x');
  if (url.pathname !== '/v1/realtime' || url.searchParams.get('model') !== MODEL) return refuse(socket, 404);
  const offered = (req.headers['sec-websocket-protocol'] || '').split(',').map((p) => p.trim());
  const secret = offered.find((p) => p.startsWith(PREFIX))?.slice(PREFIX.length);
  if (!secret || !state.secrets.has(secret)) return refuse(socket, 401);
  wss.handleUpgrade(req, socket, head, (ws) => wss.emit('connection', ws, req));
});

server.listen(0, '127.0.0.1', () => runAsChild(server.address().port));
