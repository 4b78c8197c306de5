// The ChatGPT web service as the core uses it: the access token's account, and transcription.

/** The browser the requests present themselves as. */
export const USER_AGENT =
  'Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/17.0 Safari/605.1.15';
/** Path of the web application's dictation endpoint. */
export const TRANSCRIBE_PATH = '/backend-api/transcribe';

/** A failure to show the user: an HTTP status for the app and a message in plain words. */
export class ServiceError extends Error {
  constructor(status, message) {
    super(message);
    this.status = status;
  }
}

/** The claims of a JWT access token, or null when it is not one. The signature is not checked:
 *  the token came from the user's own session, and the service checks it anyway. */
export function tokenClaims(token) {
  const parts = typeof token === 'string' ? token.split('.') : [];
  if (parts.length !== 3) return null;
  try {
    const claims = JSON.parse(Buffer.from(parts[1], 'base64url').toString('utf8'));
    return claims !== null && typeof claims === 'object' && !Array.isArray(claims) ? claims : null;
  } catch {
    return null;
  }
}

/** Readiness of the ChatGPT speech source and the signed-in account, from the stored token. */
export function tokenStatus(token, nowSeconds = Date.now() / 1000) {
  if (!token) return { ready: false, account: { email: '' } };
  const claims = tokenClaims(token) ?? {};
  const profile = claims['https://api.openai.com/profile'];
  const email = typeof profile?.email === 'string' ? profile.email : typeof claims.email === 'string' ? claims.email : '';
  const expired = typeof claims.exp === 'number' && claims.exp <= nowSeconds;
  return { ready: !expired, account: { email }, ...(expired ? { expired: true } : {}) };
}

/** Sends `audio` (M4A bytes) to the service and returns the recognised text. */
export async function transcribe({ baseURL, token, audio, timeoutMs }) {
  const form = new FormData();
  form.append('file', new Blob([audio], { type: 'audio/mp4' }), 'audio.m4a');
  const origin = baseURL.replace(/\/+$/, '');
  let response;
  try {
    response = await fetch(`${origin}${TRANSCRIBE_PATH}`, {
      method: 'POST',
      body: form,
      headers: {
        Authorization: `Bearer ${token}`,
        'User-Agent': USER_AGENT,
        Referer: `${origin}/`,
        Accept: 'application/json',
      },
      redirect: 'error',
      signal: AbortSignal.timeout(timeoutMs),
    });
  } catch (error) {
    if (error?.name === 'TimeoutError') throw new ServiceError(504, 'ChatGPT transcription timed out');
    throw new ServiceError(502, 'ChatGPT unreachable');
  }
  let body;
  try {
    body = await response.text();
  } catch (error) {
    if (error?.name === 'TimeoutError') throw new ServiceError(504, 'ChatGPT transcription timed out');
    throw new ServiceError(502, 'ChatGPT transcription failed: the answer was cut off');
  }
  if (response.status === 401 || response.status === 403) {
    throw new ServiceError(401, `ChatGPT refused the access token (HTTP ${response.status}) — sign in to ChatGPT again`);
  }
  if (response.status === 429) throw new ServiceError(429, 'ChatGPT transcription rate limit — try again shortly');
  if (response.status === 413) throw new ServiceError(413, 'ChatGPT refused the recording as too large');
  if (response.status < 200 || response.status >= 300) {
    throw new ServiceError(502, `ChatGPT transcription failed (HTTP ${response.status})`);
  }
  let parsed;
  try {
    parsed = JSON.parse(body);
  } catch {
    throw new ServiceError(502, 'ChatGPT transcription failed: the answer is not JSON');
  }
  if (typeof parsed?.text !== 'string') throw new ServiceError(502, 'ChatGPT transcription failed: no text in the answer');
  return parsed.text;
}
