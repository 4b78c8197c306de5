// The core's files in the configuration directory: preferences, secrets, and the app's own
// v2.json ("ai" section) and v2.env (API keys), each written atomically.
import fs from 'node:fs';
import path from 'node:path';
import crypto from 'node:crypto';

/** Deepest nesting accepted in a preferences document. */
export const MAX_DEPTH = 16;
const FORBIDDEN_KEYS = new Set(['__proto__', 'prototype', 'constructor']);

/** Keys of secrets that live in v2.env, where the application reads them. */
export const ENV_SECRET_KEYS = ['GEMINI_API_KEY', 'DEEPSEEK_API_KEY'];
const SECRET_KEY = /^[A-Z][A-Z0-9_]{0,63}$/;
/** Longest secret value accepted. */
export const MAX_SECRET_LENGTH = 16 * 1024;

export const AI_SOURCES = ['grok', 'gemini', 'deepseek', 'chatgpt'];

export class InputError extends Error {}

const isObject = (value) => value !== null && typeof value === 'object' && !Array.isArray(value);

/** Throws InputError for documents too deep or holding keys that reach object prototypes. */
export function checkDocument(value, depth = 0) {
  if (depth > MAX_DEPTH) throw new InputError('Document nested too deeply');
  if (Array.isArray(value)) {
    for (const item of value) checkDocument(item, depth + 1);
  } else if (isObject(value)) {
    for (const [key, item] of Object.entries(value)) {
      if (FORBIDDEN_KEYS.has(key)) throw new InputError(`Key not allowed: ${key}`);
      checkDocument(item, depth + 1);
    }
  }
}

/** `patch` merged into a copy of `base`: objects merge key by key, null removes a key,
 *  anything else replaces. */
export function deepMerge(base, patch) {
  const out = isObject(base) ? { ...base } : {};
  for (const [key, value] of Object.entries(patch)) {
    if (value === null) delete out[key];
    else if (isObject(value)) out[key] = deepMerge(out[key], value);
    else out[key] = value;
  }
  return out;
}

/** Writes `text` to `file` through a temporary file and a rename, with `mode`. */
export function writeAtomic(file, text, mode = 0o600) {
  fs.mkdirSync(path.dirname(file), { recursive: true, mode: 0o700 });
  const temp = `${file}.tmp-${process.pid}-${crypto.randomBytes(4).toString('hex')}`;
  try {
    fs.writeFileSync(temp, text, { mode });
    fs.chmodSync(temp, mode);
    fs.renameSync(temp, file);
  } catch (error) {
    fs.rmSync(temp, { force: true });
    throw error;
  }
}

function readJSON(file) {
  try {
    const value = JSON.parse(fs.readFileSync(file, 'utf8'));
    return isObject(value) ? value : {};
  } catch {
    return {};
  }
}

function readText(file) {
  try {
    return fs.readFileSync(file, 'utf8');
  } catch {
    return null;
  }
}

/** Checks a preferences patch: the fields the application reads must keep their types. */
function checkPrefs(patch) {
  if (!isObject(patch)) throw new InputError('Preferences must be a JSON object');
  checkDocument(patch);
  const stt = patch.stt;
  if (stt !== undefined && stt !== null) {
    if (!isObject(stt)) throw new InputError('"stt" must be an object');
    if (stt.provider !== undefined && !['claude_web', 'chatgpt_web'].includes(stt.provider)) {
      throw new InputError('"stt.provider" must be "claude_web" or "chatgpt_web"');
    }
    if (stt.claudeLoggedIn !== undefined && typeof stt.claudeLoggedIn !== 'boolean') {
      throw new InputError('"stt.claudeLoggedIn" must be true or false');
    }
  }
  if (patch.locale !== undefined && patch.locale !== null && !['en', 'vi'].includes(patch.locale)) {
    throw new InputError('"locale" must be "en", "vi" or null');
  }
}

/** Checks a patch of v2.json's "ai" section. */
function checkAI(patch) {
  if (!isObject(patch)) throw new InputError('The AI settings must be a JSON object');
  checkDocument(patch);
  for (const task of ['translate', 'write', 'fix']) {
    const value = patch[task];
    if (value !== undefined && value !== null && !AI_SOURCES.includes(value)) {
      throw new InputError(`"${task}" must be one of ${AI_SOURCES.join(', ')}`);
    }
  }
  const gemini = patch.gemini;
  if (gemini !== undefined && gemini !== null) {
    const models = isObject(gemini) ? gemini.models : undefined;
    const ok = isObject(gemini) && (models === undefined || models === null ||
      (Array.isArray(models) && models.length <= 16 && models.every((m) => typeof m === 'string' && m.length > 0 && m.length <= 200)));
    if (!ok) throw new InputError('"gemini.models" must be a list of model names');
  }
  const deepseek = patch.deepseek;
  if (deepseek !== undefined && deepseek !== null) {
    const model = isObject(deepseek) ? deepseek.model : undefined;
    const ok = isObject(deepseek) && (model === undefined || model === null || (typeof model === 'string' && model.length <= 200));
    if (!ok) throw new InputError('"deepseek.model" must be a model name');
  }
}

/** Keeps every line of an env file except those of `key`, and adds `key=value` (unless empty). */
export function setEnvLine(text, key, value) {
  const lines = (text ?? '').split('\n').filter((line) => {
    const trimmed = line.replace(/^[ \t]+/, '');
    if (trimmed.startsWith('#')) return true;
    const eq = trimmed.indexOf('=');
    return eq < 0 || trimmed.slice(0, eq).trim() !== key;
  });
  while (lines.length && lines[lines.length - 1] === '') lines.pop();
  if (value !== '') lines.push(`${key}=${value}`);
  return lines.length ? `${lines.join('\n')}\n` : '';
}

/** The value of `key` in an env file (the last line wins), quotes removed; '' when absent. */
export function envValue(text, key) {
  let found = '';
  for (const raw of (text ?? '').split(/[\n\r\v\f\u0085\u2028\u2029]/)) {
    const line = raw.trim();
    if (!line || line.startsWith('#')) continue;
    const eq = line.indexOf('=');
    if (eq < 0 || line.slice(0, eq).trim() !== key) continue;
    found = line.slice(eq + 1).trim().replace(/^["']+|["']+$/g, '');
  }
  return found;
}

/** The configuration directory's files, read afresh at every call (the app writes some too). */
export class Store {
  constructor(configDir) {
    this.dir = configDir;
    this.prefsFile = path.join(configDir, 'local-core.json');
    this.secretsFile = path.join(configDir, 'local-core-secrets.json');
    this.v2JsonFile = path.join(configDir, 'v2.json');
    this.v2EnvFile = path.join(configDir, 'v2.env');
  }

  prefs() {
    const stored = readJSON(this.prefsFile);
    return deepMerge({ stt: { provider: 'claude_web', claudeLoggedIn: false }, locale: null }, isObject(stored.prefs) ? stored.prefs : {});
  }

  mergePrefs(patch) {
    checkPrefs(patch);
    const stored = readJSON(this.prefsFile);
    const merged = deepMerge(isObject(stored.prefs) ? stored.prefs : {}, patch);
    writeAtomic(this.prefsFile, `${JSON.stringify({ prefs: merged }, null, 2)}\n`);
    return this.prefs();
  }

  /** v2.json's "ai" section. */
  ai() {
    const root = readJSON(this.v2JsonFile);
    return isObject(root.ai) ? root.ai : {};
  }

  mergeAI(patch) {
    checkAI(patch);
    const root = readJSON(this.v2JsonFile);
    root.ai = deepMerge(isObject(root.ai) ? root.ai : {}, patch);
    writeAtomic(this.v2JsonFile, `${JSON.stringify(root, null, 2)}\n`);
    return root.ai;
  }

  /** The secret `key`, or '' when none is stored. */
  secret(key) {
    if (ENV_SECRET_KEYS.includes(key)) return envValue(readText(this.v2EnvFile), key);
    const value = readJSON(this.secretsFile)[key];
    return typeof value === 'string' ? value : '';
  }

  /** Which secrets are set, without their values. */
  secretsPresent() {
    const keys = new Set([...Object.keys(readJSON(this.secretsFile)), ...ENV_SECRET_KEYS]);
    return Object.fromEntries([...keys].sort().map((key) => [key, this.secret(key) !== '']));
  }

  /** Stores string secrets; an empty string removes one. */
  saveSecrets(patch) {
    if (!isObject(patch)) throw new InputError('Secrets must be a JSON object of strings');
    for (const [key, value] of Object.entries(patch)) {
      if (!SECRET_KEY.test(key)) throw new InputError(`Bad secret name: ${key.slice(0, 64)}`);
      if (typeof value !== 'string') throw new InputError(`Secret ${key} must be a string`);
      if (value.length > MAX_SECRET_LENGTH) throw new InputError(`Secret ${key} is too long`);
      if (/[\u0000-\u001f\u007f]/.test(value)) throw new InputError(`Secret ${key} holds control characters`);
    }
    const secrets = readJSON(this.secretsFile);
    let env = readText(this.v2EnvFile);
    let envChanged = false;
    let secretsChanged = false;
    for (const [key, value] of Object.entries(patch)) {
      if (ENV_SECRET_KEYS.includes(key)) {
        env = setEnvLine(env, key, value);
        envChanged = true;
      } else {
        if (value === '') delete secrets[key];
        else secrets[key] = value;
        secretsChanged = true;
      }
    }
    if (secretsChanged) writeAtomic(this.secretsFile, `${JSON.stringify(secrets, null, 2)}\n`);
    if (envChanged) writeAtomic(this.v2EnvFile, env);
  }
}
