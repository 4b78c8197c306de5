// A loopback fake of the Gemini API's streaming endpoint
// (POST /v1beta/models/MODEL:streamGenerateContent?alt=sse with "x-goog-api-key").
// Prints its port on standard output. See ../README.md for the control endpoints.
import { startFake, expectEqual } from '../common/streaming-fake.mjs';

const PREFIX = '/v1beta/models/';
const SUFFIX = ':streamGenerateContent';

/** Which thinking configurations a model accepts: Gemma none, 2.5 models a budget only. */
function acceptedThinking(model, models) {
  if (models[model] && Array.isArray(models[model].thinking)) return models[model].thinking;
  if (model.includes('gemma')) return [];
  if (model.includes('2.5')) return ['thinkingBudget'];
  return ['thinkingLevel', 'thinkingBudget'];
}

function checkThinking(config, problems) {
  if (config === undefined) return;
  const keys = Object.keys(config ?? {});
  const budget = JSON.stringify(config) === JSON.stringify({ thinkingBudget: 0 });
  const level = JSON.stringify(config) === JSON.stringify({ thinkingLevel: 'minimal' });
  if (keys.length !== 1 || !(budget || level)) problems.push(`thinkingConfig ${JSON.stringify(config)} is not one Veska sends`);
}

function parse(req, url, bodyText, state) {
  if (!url.pathname.startsWith(PREFIX) || !url.pathname.endsWith(SUFFIX)) return null;
  const model = decodeURIComponent(url.pathname.slice(PREFIX.length, -SUFFIX.length));
  const problems = [];
  if (req.method !== 'POST') problems.push(`method ${req.method}`);
  if (url.searchParams.get('alt') !== 'sse') problems.push('query alt=sse missing');
  if (req.headers['content-type'] !== 'application/json') problems.push(`content type ${req.headers['content-type']}`);
  let body = null;
  try {
    body = JSON.parse(bodyText);
  } catch {
    problems.push('body is not JSON');
  }
  let userText = '';
  let thinkingRejected = null;
  if (body && typeof body === 'object') {
    const system = body.systemInstruction?.parts;
    if (!Array.isArray(system) || system.length !== 1 || typeof system[0].text !== 'string') {
      problems.push('systemInstruction.parts must be one text part');
    }
    const contents = body.contents;
    if (!Array.isArray(contents) || contents.length !== 1 || contents[0].role !== 'user' ||
        !Array.isArray(contents[0].parts) || contents[0].parts.length !== 1 || typeof contents[0].parts[0].text !== 'string') {
      problems.push('contents must be one user message of one text part');
    } else {
      userText = contents[0].parts[0].text;
    }
    const generation = body.generationConfig ?? {};
    expectEqual(problems, 'generationConfig.temperature', generation.temperature, 0.2);
    const extra = Object.keys(generation).filter((k) => k !== 'temperature' && k !== 'thinkingConfig');
    if (extra.length > 0) problems.push(`generationConfig has ${extra.join(', ')}`);
    checkThinking(generation.thinkingConfig, problems);
    const thinking = generation.thinkingConfig;
    if (thinking) {
      const accepted = acceptedThinking(model, state.models);
      const asked = Object.keys(thinking)[0];
      if (!accepted.includes(asked)) {
        thinkingRejected = accepted.length === 0
          ? 'Thinking is not enabled for this model.'
          : `Unable to submit request because ${asked === 'thinkingLevel' ? 'Thinking level' : 'thinking budget'} is not supported by this model.`;
      }
    }
  }
  const keyOk = req.headers['x-goog-api-key'] === state.key && state.key !== '';
  return { model, userText, problems, keyOk, thinkingRejected };
}

function errorBody(status, message) {
  const names = { 400: 'INVALID_ARGUMENT', 403: 'PERMISSION_DENIED', 404: 'NOT_FOUND', 429: 'RESOURCE_EXHAUSTED', 500: 'INTERNAL', 503: 'UNAVAILABLE' };
  return { error: { code: status, message, status: names[status] ?? 'UNKNOWN' } };
}

function chunk(parts, model, last) {
  const candidate = { content: { parts, role: 'model' }, index: 0 };
  if (last) candidate.finishReason = 'STOP';
  const event = { candidates: [candidate], modelVersion: model, responseId: 'fake-response' };
  if (last) event.usageMetadata = { promptTokenCount: 12, candidatesTokenCount: 8, totalTokenCount: 20 };
  return `data: ${JSON.stringify(event)}`;
}

function events({ pieces, thought, model }) {
  const lines = [];
  if (thought) lines.push(chunk([{ text: thought, thought: true }], model, false));
  pieces.forEach((piece, i) => {
    // Now and then a thought part travels with the text, as thinking models do.
    const parts = thought && i === 0 ? [{ text: `${thought} (still thinking)`, thought: true }, { text: piece }] : [{ text: piece }];
    lines.push(chunk(parts, model, i === pieces.length - 1));
  });
  if (pieces.length === 0) lines.push(chunk([{ text: '' }], model, true));
  return lines;
}

function keyError(res) {
  const text = JSON.stringify(errorBody(400, 'API key not valid. Please pass a valid API key.'));
  res.writeHead(400, { 'Content-Type': 'application/json', 'Content-Length': Buffer.byteLength(text) });
  res.end(text);
}

startFake({ name: 'gemini', parse, errorBody, events, keyError, done: false, separator: '\r\n\r\n' });
