// The local core's HTTP server on 127.0.0.1: health, dashboard, preferences, secrets, status,
// transcription.
import http from 'node:http';
import crypto from 'node:crypto';

import { Store, InputError } from './store.mjs';
import { ServiceError, tokenStatus, transcribe } from './chatgpt.mjs';
import { boundaryOf, findPart } from './multipart.mjs';
import { dashboardPage } from './dashboard.mjs';

export const VERSION = '0.1.0';
/** Largest JSON body accepted. */
export const MAX_JSON_BYTES = 64 * 1024;
/** Largest upload accepted by default (a long dictation is a few megabytes). */
export const DEFAULT_MAX_UPLOAD_BYTES = 25 * 1024 * 1024;
/** Time the ChatGPT service gets for one transcription: under the app's 60-second limit. */
export const DEFAULT_TRANSCRIBE_TIMEOUT_MS = 55_000;

const LOOPBACK_HOSTS = new Set(['127.0.0.1', 'localhost', '[::1]']);

class HttpFailure extends Error {
  constructor(status, message) {
    super(message);
    this.status = status;
  }
}

function send(res, status, body, type) {
  const bytes = Buffer.from(body);
  res.writeHead(status, {
    'Content-Type': type,
    'Content-Length': bytes.length,
    'Cache-Control': 'no-store',
    'X-Content-Type-Options': 'nosniff',
    'X-Frame-Options': 'DENY',
    'Referrer-Policy': 'no-referrer',
  });
  res.end(bytes);
}

const sendJSON = (res, status, value) => send(res, status, JSON.stringify(value), 'application/json; charset=utf-8');
const sendError = (res, status, message) => send(res, status, message, 'text/plain; charset=utf-8');

/** The Host header names a loopback address (any port): a page reached through another name
 *  (DNS rebinding) is refused. */
function hostAllowed(host) {
  if (typeof host !== 'string') return false;
  const match = /^(\[[^\]]*\]|[^:]+)(?::(\d{1,5}))?$/.exec(host.trim().toLowerCase());
  return match !== null && LOOPBACK_HOSTS.has(match[1]);
}

/** A write from a web page of another origin: refused. The app sends neither header. */
function crossSite(req) {
  const site = req.headers['sec-fetch-site'];
  if (site !== undefined && site !== 'same-origin' && site !== 'none') return true;
  const origin = req.headers.origin;
  if (origin === undefined) return false;
  try {
    const url = new URL(origin);
    return url.protocol !== 'http:' || !hostAllowed(url.host) || url.host !== String(req.headers.host).toLowerCase();
  } catch {
    return true;
  }
}

function tokenMatches(req, token) {
  const header = req.headers.authorization;
  if (typeof header !== 'string' || !header.startsWith('Bearer ')) return false;
  const given = crypto.createHash('sha256').update(header.slice(7)).digest();
  const wanted = crypto.createHash('sha256').update(token).digest();
  return crypto.timingSafeEqual(given, wanted);
}

/** The request body, refused with 413 beyond `limit` bytes. */
function readBody(req, limit) {
  return new Promise((resolve, reject) => {
    const declared = Number(req.headers['content-length']);
    if (Number.isFinite(declared) && declared > limit) {
      reject(new HttpFailure(413, `Request body too large (limit ${limit} bytes)`));
      return;
    }
    const chunks = [];
    let size = 0;
    let failed = false;
    req.on('data', (chunk) => {
      if (failed) return;
      size += chunk.length;
      if (size > limit) {
        failed = true;
        reject(new HttpFailure(413, `Request body too large (limit ${limit} bytes)`));
        return;
      }
      chunks.push(chunk);
    });
    req.on('end', () => failed || resolve(Buffer.concat(chunks)));
    req.on('error', (error) => failed || reject(error));
  });
}

async function readJSONBody(req) {
  const type = String(req.headers['content-type'] ?? '').split(';')[0].trim().toLowerCase();
  if (type !== 'application/json') throw new HttpFailure(415, 'Expected Content-Type: application/json');
  const body = await readBody(req, MAX_JSON_BYTES);
  try {
    return JSON.parse(body.toString('utf8'));
  } catch {
    throw new HttpFailure(400, 'The body is not valid JSON');
  }
}

/**
 * Creates the server (not yet listening).
 * options: configDir, token ('' = none), chatgptURL, maxUploadBytes, transcribeTimeoutMs.
 */
export function createCoreServer(options) {
  const store = new Store(options.configDir);
  const token = options.token ?? '';
  const maxUpload = options.maxUploadBytes ?? DEFAULT_MAX_UPLOAD_BYTES;
  const timeoutMs = options.transcribeTimeoutMs ?? DEFAULT_TRANSCRIBE_TIMEOUT_MS;

  const status = () => {
    const prefs = store.prefs();
    const stt = tokenStatus(store.secret('CHATGPT_ACCESS_TOKEN'));
    return { ok: true, version: VERSION, stt: { provider: prefs.stt?.provider ?? 'claude_web', ...stt } };
  };

  const config = () => ({
    prefs: store.prefs(),
    ai: store.ai(),
    secrets: store.secretsPresent(),
    version: VERSION,
  });

  async function transcription(req, res) {
    const boundary = boundaryOf(req.headers['content-type']);
    if (!boundary) throw new HttpFailure(400, 'Expected a multipart/form-data upload');
    const accessToken = store.secret('CHATGPT_ACCESS_TOKEN');
    if (!accessToken) {
      // The upload is drained so the client reads the answer instead of a reset connection.
      req.resume();
      throw new HttpFailure(401, 'No ChatGPT access token — sign in to ChatGPT from the Veska menu');
    }
    const body = await readBody(req, maxUpload);
    const audio = findPart(body, boundary, 'file');
    if (!audio) throw new HttpFailure(400, 'The upload has no "file" part');
    if (audio.length === 0) throw new HttpFailure(400, 'The recording is empty');
    const text = await transcribe({ baseURL: options.chatgptURL, token: accessToken, audio, timeoutMs });
    sendJSON(res, 200, { text });
  }

  const routes = {
    'GET /healthz': (req, res) => sendJSON(res, 200, { ok: true, version: VERSION }),
    'GET /': (req, res) => send(res, 200, dashboardPage({ token }), 'text/html; charset=utf-8'),
    'GET /v1/config': (req, res) => sendJSON(res, 200, config()),
    'GET /v1/status': (req, res) => sendJSON(res, 200, status()),
    'PUT /v1/config/prefs': async (req, res) => {
      const patch = await readJSONBody(req);
      sendJSON(res, 200, { ok: true, prefs: store.mergePrefs(patch) });
    },
    'PUT /v1/config/secrets': async (req, res) => {
      store.saveSecrets(await readJSONBody(req));
      sendJSON(res, 200, { ok: true, secrets: store.secretsPresent() });
    },
    'PUT /v1/config/ai': async (req, res) => {
      const patch = await readJSONBody(req);
      sendJSON(res, 200, { ok: true, ai: store.mergeAI(patch) });
    },
    'POST /v1/audio/transcriptions': transcription,
  };

  async function handle(req, res) {
    if (!hostAllowed(req.headers.host)) throw new HttpFailure(421, 'Wrong host: the local core answers on 127.0.0.1 only');
    const url = new URL(req.url, 'http://127.0.0.1');
    const route = routes[`${req.method} ${url.pathname}`];
    if (!route) {
      const known = Object.keys(routes).some((key) => key.endsWith(` ${url.pathname}`));
      throw new HttpFailure(known ? 405 : 404, known ? 'Method not allowed' : 'Not found');
    }
    if (req.method !== 'GET' && crossSite(req)) throw new HttpFailure(403, 'Cross-site request refused');
    if (token && url.pathname !== '/healthz' && !tokenMatches(req, token)) {
      throw new HttpFailure(401, 'Missing or wrong local core token');
    }
    await route(req, res);
  }

  const server = http.createServer((req, res) => {
    handle(req, res).catch((error) => {
      if (res.headersSent) {
        res.destroy();
        return;
      }
      if (error instanceof HttpFailure || error instanceof ServiceError) sendError(res, error.status, error.message);
      else if (error instanceof InputError) sendError(res, 400, error.message);
      else sendError(res, 500, 'Local core error');
    });
  });
  server.requestTimeout = 120_000;
  server.headersTimeout = 20_000;
  server.maxHeadersCount = 64;
  return server;
}
